#pragma once
// The game's camera options: which camera, at which size and rate, and a
// listing of the cameras there are. The scene's "VIDEO CAMERA" line stays as
// it is; these only say how that camera is opened.

#include <optional>
#include <string>

#include "app/video/camera_modes.h"

namespace CLI {
class App;
}

struct CameraOptions {
    CameraRequest request;
    bool listCameras = false;
};

// --camera-device PATH, --camera-size WxH, --camera-fps N, --list-cameras.
void addCameraOptions(CLI::App& app, CameraOptions& options);

// Reads the camera options from the whole command line, letting every other
// argument through. Returns the status to end with when the game should not
// start: 0 after --help, 2 after a bad value.
std::optional<int> readCameraOptions(int argc, const char* const* argv, CameraOptions& options);

// The cameras there are and what they offer, for --list-cameras.
std::string cameraListing();
