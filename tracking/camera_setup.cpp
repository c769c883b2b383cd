#include "tracking/camera_setup.h"

namespace {

bool trackerTakes(int width, int height) {
    return width > 0 && height > 0 && static_cast<long long>(width) * height <= kMaxTrackerPixels;
}

std::string sizeText(int width, int height) { return std::to_string(width) + "x" + std::to_string(height); }

}  // namespace

std::string readCameraFile(const char* path, CameraIntrinsics* file) {
    if (loadCameraParams(path, 1, file) < 0) {
        const std::string problem = cameraFileProblem(path);
        return problem.empty() ? "cannot read camera parameters" : problem;
    }
    const std::string problem = cameraParamsProblem(*file);
    return problem.empty() ? problem : "unusable camera parameters: " + problem;
}

std::string installCameraForFrames(const CameraIntrinsics& file, int width, int height, CameraIntrinsics* installed) {
    if (!trackerTakes(width, height))
        return sizeText(width, height) + " frames exceed the tracker's " + std::to_string(kMaxTrackerPixels) +
               "-pixel capacity";
    CameraIntrinsics scaled;
    if (resizeCameraParams(&file, width, height, &scaled) < 0)
        return "camera parameters of width " + std::to_string(file.width) + " cannot be scaled";
    const std::string problem = cameraParamsProblem(scaled);
    if (!problem.empty()) return "camera parameters unusable for " + sizeText(width, height) + " frames: " + problem;
    setTrackerCameraParams(&scaled);
    if (installed) *installed = scaled;
    return {};
}

CameraSetup setUpTrackerCamera(const char* path, int width, int height) {
    CameraSetup setup;
    setup.problem = readCameraFile(path, &setup.file);
    if (setup.problem.empty()) setup.problem = installCameraForFrames(setup.file, width, height, &setup.installed);
    setup.fileUnusable = !setup.problem.empty() && trackerTakes(width, height);
    return setup;
}
