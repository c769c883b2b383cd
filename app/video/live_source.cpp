#include "app/video/live_source.h"

#include "app/video/test_graph.h"

#include <utility>

namespace {

bool isTestSource(const std::string& device) { return device.rfind(kTestSourcePrefix, 0) == 0; }

LiveSource testSource(const CameraRequest& request) {
    LiveSource source;
    source.inputFormat = "lavfi";
    source.url = request.device.substr(std::string(kTestSourcePrefix).size());
    source.name = request.device;
    return source;
}

// The camera asked for, or the first one there is.
bool findCamera(const std::string& device, CameraInfo* camera, std::string* error) {
    if (device.empty()) {
        std::vector<CameraInfo> cameras = listCameras();
        if (cameras.empty()) {
            *error = "no camera found (no V4L2 capture device such as /dev/video0)";
            return false;
        }
        std::swap(*camera, cameras.front());
        return true;
    }
    std::string reason;
    if (queryCamera(device, camera, &reason)) return true;
    *error = reason + "; " + camerasText(listCameras());
    return false;
}

}  // namespace

std::string camerasText(const std::vector<CameraInfo>& cameras) {
    if (cameras.empty()) return "no camera found";
    std::string text = "cameras: ";
    for (size_t i = 0; i < cameras.size(); ++i)
        text += (i ? ", " : "") + cameras[i].device + " (" + cameras[i].name + ")";
    return text;
}

bool resolveLiveSource(const CameraRequest& request, LiveSource* source, std::vector<std::string>* notes,
                       std::string* error) {
    if (isTestSource(request.device)) {
        *source = testSource(request);
        const std::string problem = testGraphProblem(source->url);
        if (!problem.empty()) *error = "cannot open " + request.device + ": " + problem;
        return problem.empty();
    }
    CameraInfo camera;
    if (!findCamera(request.device, &camera, error)) return false;
    CameraChoice choice = chooseCameraMode(camera, request);
    *source = LiveSource{};
    source->url = source->name = camera.device;
    source->width = choice.width;
    source->height = choice.height;
    source->fps = choice.fps;
    source->pixelFormat = ffmpegInputFormat(choice.format);
    notes->insert(notes->end(), choice.notes.begin(), choice.notes.end());
    return true;
}
