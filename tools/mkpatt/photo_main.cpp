#include "photo_main.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "command_line_glue.h"
#include "image_file.h"
#include "photo_pattern.h"
#include "tool_output.h"
#include "tracking/camera_setup.h"
#include "tracking/marker.h"

namespace {

struct PhotoOptions {
    std::vector<std::string> photos;
    std::string out;
    std::string camera;
    int threshold = -1;  // -1: try the usual threshold, then others
};

int fail(const std::string& message) {
    std::fprintf(stderr, "rovanta-mkpatt: %s\n", message.c_str());
    return 1;
}

// Halves the frame (2 x 2 averages) in place.
void halve(std::vector<uint8_t>& bgrx, int* width, int* height) {
    int w = *width / 2, h = *height / 2;
    std::vector<uint8_t> out(static_cast<size_t>(w) * h * 4);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            for (int c = 0; c < 4; ++c) {
                auto at = [&](int dx, int dy) { return bgrx[((static_cast<size_t>(2 * y + dy)) * *width + 2 * x + dx) * 4 + c]; };
                out[(static_cast<size_t>(y) * w + x) * 4 + c] = static_cast<uint8_t>((at(0, 0) + at(1, 0) + at(0, 1) + at(1, 1) + 2) / 4);
            }
    bgrx.swap(out);
    *width = w, *height = h;
}

// Installs the camera for the photo's size. A photo larger than the tracker
// takes, or one in which a marker filling it would have a longer outline than
// the tracker traces, is halved until it fits, as a camera of lower
// resolution would see it.
std::string installCamera(const CameraIntrinsics& camera, std::vector<uint8_t>& bgrx, int* width, int* height) {
    while (static_cast<long long>(*width) * *height > kMaxTrackerPixels ||
           4 * std::min(*width, *height) > kMaxContourPoints)
        halve(bgrx, width, height);
    return installCameraForFrames(camera, *width, *height);
}

int samplePhoto(const std::string& path, const CameraIntrinsics& camera, int threshold, PhotoSample* sample) {
    RgbPicture picture;
    std::string error;
    if (!readImageFile(path, &picture, &error)) return fail(path + ": " + error);
    std::vector<uint8_t> frame = toBgrx(picture);
    int width = picture.width, height = picture.height;
    error = installCamera(camera, frame, &width, &height);
    if (!error.empty()) return fail(path + ": " + error);
    std::string refused;
    if (!samplePhotoMarker(frame.data(), threshold, sample, &refused))
        return fail(path + ": no marker-like square found (a dark square border around a picture, whole in the photo)" +
                    (refused.empty() ? "" : ": " + refused));
    std::printf("%s: marker square of %d pixels found at threshold %d\n", path.c_str(), sample->area,
                sample->threshold);
    return 0;
}

int makePhotoPattern(const PhotoOptions& o) {
    CameraIntrinsics camera;
    if (const std::string problem = readCameraFile(o.camera.c_str(), &camera); !problem.empty())
        return fail("Camera parameter load error !! (" + o.camera + ": " + problem + ")");
    PatternAverage average;
    for (const std::string& photo : o.photos) {
        PhotoSample sample;
        if (int status = samplePhoto(photo, camera, o.threshold, &sample)) return status;
        addToAverage(sample, &average);
    }
    uint8_t values[kPatternFileValues];
    averageToPatternValues(average, values);
    const std::string& out = o.out;
    std::string why;
    if (savePatternFile(out.c_str(), values, &why) < 0) return fail(out + ": cannot write: " + why);
    std::printf("wrote %s from %d photos\n", out.c_str(), average.count);
    return 0;
}

}  // namespace

bool asksForPhotoPattern(int argc, char** argv) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--photo") == 0) return true;
    return false;
}

int photoPatternMain(int argc, char** argv) {
    CLI::App app("Makes a pattern file from photographs of a printed marker (PPM or BMP): the tracker finds\n"
                 "the marker in each, samples it as it does while tracking, and the photos are averaged.\n"
                 "The top of the first photo is the top of the pattern.",
                 "rovanta-mkpatt");
    setUpCommandLine(app, "rovanta-mkpatt --photo IMAGE... --camera CAMERA.dat [--threshold N] --out OUT.patt");
    PhotoOptions o;
    bool photo = false;
    app.add_flag("--photo", photo, "make the pattern from photographs")->required();
    app.add_option("--camera", o.camera, "camera file of the camera that took the photos")->required();
    addWholeNumber(app, "--threshold", o.threshold, 0, 255, "darkness threshold (default: 100, then others until found)");
    // Named, not taken from the end of the list: a forgotten name must not turn the last photo into the output.
    app.add_option("--out", o.out, "pattern file to write")->required();
    app.add_option("IMAGE", o.photos, "photographs of the printed marker")->required();
    app.callback([&o] {
        std::vector<std::string> inputs = o.photos;
        inputs.push_back(o.camera);
        if (const std::string problem = outputProblem(o.out, inputs, "the pattern"); !problem.empty())
            throw CLI::ValidationError(problem);
    });
    if (std::optional<int> status = parseCommandLine(app, argc, argv)) return *status;
    return makePhotoPattern(o);
}
