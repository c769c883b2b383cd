#pragma once
// Cameras and the picture sizes and frame rates they offer, and the choice of
// one of them for what the player asked. Free of FFmpeg: the choice is plain
// logic, the listing reads the V4L2 devices directly.

#include <string>
#include <vector>

struct CameraMode {
    std::string format;         // four-character code of the pixel format, e.g. "YUYV", "MJPG"
    int width = 0;
    int height = 0;
    std::vector<double> rates;  // frames per second offered at this size; empty when unknown
};

struct CameraInfo {
    std::string device;  // e.g. "/dev/video0"
    std::string name;    // what the driver calls the camera
    std::vector<CameraMode> modes;
};

// What the player asked for; zeros and an empty device leave the choice to us.
struct CameraRequest {
    std::string device;  // empty: the first camera
    int width = 0;       // 0: 640 x 480 when offered, else the camera's own default (with a
    int height = 0;      // rate asked for, the offered size nearest to 640 x 480)
    double fps = 0.0;    // 0: the fastest rate offered at the chosen size
};

struct CameraChoice {
    int width = 0;   // 0: leave the size to the camera
    int height = 0;
    double fps = 0.0;    // 0: leave the rate to the camera
    std::string format;  // four-character code, empty to leave it to the camera
    std::vector<std::string> notes;  // one line each where the request could not be met exactly
};

// "1280x720" -> 1280, 720. False for anything else (sizes 1..16384).
bool parseFrameSize(const std::string& text, int* width, int* height);

// Picks the offered mode nearest to the request: the exact size when offered,
// else the nearest offered size; then the requested rate, else the nearest
// offered one. Each departure from the request is explained in `notes`,
// naming what the camera offers.
CameraChoice chooseCameraMode(const CameraInfo& camera, const CameraRequest& request);

// "640x480 (YUYV 30 fps), 1280x720 (MJPG 30 fps, YUYV 10 fps)": every size once.
std::string describeOffers(const CameraInfo& camera);
// Several lines for --list-cameras: the device, its name, one line per size.
std::string describeCamera(const CameraInfo& camera);

// FFmpeg's name for a V4L2 pixel format code, empty when there is none to pass.
std::string ffmpegInputFormat(const std::string& fourcc);

// Every V4L2 capture device under /dev, in number order, with its offers.
std::vector<CameraInfo> listCameras();
// One device; false with a one-line reason when it is missing or no camera.
bool queryCamera(const std::string& device, CameraInfo* info, std::string* error);
