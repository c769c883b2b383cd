#pragma once
// A lens for a camera nobody has measured: what a typical webcam sees.
#include "tracking/camera.h"

// Horizontal field of view of the typical lens, in degrees.
inline constexpr double kTypicalWebcamFieldOfView = 60.0;

// Frames of width x height through a typical webcam lens: the field of view
// above across the width, square pixels, the principal point in the middle of
// the frame and no distortion.
CameraIntrinsics typicalWebcamCamera(int width, int height);
