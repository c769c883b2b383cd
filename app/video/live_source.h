#pragma once
// From what the player asked for to the live source the decoder opens: which
// camera, at which offered size, rate and pixel format.

#include <string>
#include <vector>

#include "app/video/camera_modes.h"
#include "app/video/video_decoder.h"

// A device named "lavfi:GRAPH" is an FFmpeg filter graph standing in for a
// camera, e.g. "lavfi:testsrc2=size=1280x720:rate=30,realtime", made of test
// pictures and plain picture filters only (see test_graph.h).
inline constexpr const char* kTestSourcePrefix = "lavfi:";

// False with a one-line reason naming the cameras there are when the device is
// unknown. `notes` gets a line for each request that could not be met exactly.
bool resolveLiveSource(const CameraRequest& request, LiveSource* source, std::vector<std::string>* notes,
                       std::string* error);

// "cameras: /dev/video0 (Integrated Camera), /dev/video2 (USB Camera)", or "no camera found".
std::string camerasText(const std::vector<CameraInfo>& cameras);
