#pragma once
// A camera file made ready for frames of one size: read, checked, scaled to
// the frames, checked again (extreme but finite values can overflow once
// scaled) and installed in the tracker. Every program that tracks goes
// through here, so they refuse and accept the same files.

#include <string>

#include "tracking/camera.h"

// Reads the first record of the camera file and checks its values. Empty on
// success; otherwise why, naming the bad value (not the file).
std::string readCameraFile(const char* path, CameraIntrinsics* file);

// Scales `file` to frames of width x height, checks the result and installs
// it in the tracker (and in `installed` when given). Empty on success;
// otherwise why, with nothing installed.
std::string installCameraForFrames(const CameraIntrinsics& file, int width, int height,
                                   CameraIntrinsics* installed = nullptr);

struct CameraSetup {
    CameraIntrinsics file{};       // as read from the file
    CameraIntrinsics installed{};  // scaled to the frames, installed in the tracker
    std::string problem;           // empty on success
    bool fileUnusable = false;     // the file's fault, rather than the frames'
};

// Both steps, for a camera that sees frames of one size.
CameraSetup setUpTrackerCamera(const char* path, int width, int height);
