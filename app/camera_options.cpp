#include "app/camera_options.h"

#include "command_line_glue.h"

#include <vector>

namespace {

// "1280x720" into the request's width and height.
CLI::Option* addFrameSize(CLI::App& app, CameraRequest& request) {
    return app
        .add_option_function<std::string>(
            "--camera-size",
            [&request](const std::string& text) {
                if (!parseFrameSize(text, &request.width, &request.height))
                    throw CLI::ValidationError("--camera-size", "WIDTHxHEIGHT, e.g. 1280x720, not " + text);
            },
            "picture size to ask the camera for, e.g. 1280x720 (the nearest offered one is taken)")
        ->type_name("WxH");
}

}  // namespace

void addCameraOptions(CLI::App& app, CameraOptions& o) {
    app.add_option("--camera-device", o.request.device,
                   "camera to open, e.g. /dev/video2 (default: the first camera)")
        ->type_name("PATH");
    addFrameSize(app, o.request);
    addNumber(app, "--camera-fps", o.request.fps, {1.0, 240.0},
              "frame rate to ask the camera for (the nearest offered one is taken)")
        ->type_name("N");
    app.add_flag("--list-cameras", o.listCameras, "print the cameras and the sizes and rates they offer, then exit");
}

std::string cameraListing() {
    std::vector<CameraInfo> cameras = listCameras();
    if (cameras.empty()) return "no camera found (no V4L2 capture device such as /dev/video0)\n";
    std::string text;
    for (const CameraInfo& c : cameras) text += describeCamera(c);
    return text;
}
