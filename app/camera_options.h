#pragma once
// The game's camera options: which camera, at which size and rate, and a
// listing of the cameras there are. The scene's "VIDEO CAMERA" line stays as
// it is; these only say how that camera is opened.

#include <string>

#include "app/video/camera_modes.h"

namespace CLI {
class App;
}

struct CameraOptions {
    CameraRequest request;
    bool listCameras = false;
};

// --camera-device PATH, --camera-size WxH, --camera-fps N, --list-cameras
// (read with the game's other extra options, app/game_options.h).
void addCameraOptions(CLI::App& app, CameraOptions& options);

// The cameras there are and what they offer, for --list-cameras.
std::string cameraListing();
