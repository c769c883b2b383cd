// Listing cameras through the V4L2 device interface: which /dev/video* nodes
// capture pictures, and the formats, sizes and frame intervals each offers.
#include "app/video/camera_modes.h"

#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

namespace {

// Sizes tried within a range for cameras that name a range instead of a list.
constexpr int kStandardSizes[][2] = {{320, 240}, {640, 360}, {640, 480}, {800, 600}, {1024, 768},
                                     {1280, 720}, {1280, 960}, {1600, 1200}, {1920, 1080}, {2560, 1440},
                                     {3840, 2160}};
constexpr int kMaxEnumerated = 256;  // a driver that never ends its lists must not hang us

int query(int fd, unsigned long request, void* arg) {
    int r;
    do r = ioctl(fd, request, arg);
    while (r < 0 && errno == EINTR);
    return r;
}

std::string fourccText(unsigned code) {
    std::string s;
    for (int i = 0; i < 4; ++i) s.push_back(static_cast<char>((code >> (8 * i)) & 0xFF));
    while (!s.empty() && s.back() == ' ') s.pop_back();
    return s;
}

std::vector<double> frameRates(int fd, unsigned format, int width, int height) {
    std::vector<double> rates;
    for (unsigned i = 0; i < kMaxEnumerated; ++i) {
        v4l2_frmivalenum e{};
        e.index = i;
        e.pixel_format = format;
        e.width = width;
        e.height = height;
        if (query(fd, VIDIOC_ENUM_FRAMEINTERVALS, &e) < 0) break;
        // A range: its fastest and slowest ends are what a person can ask for.
        const v4l2_fract* ends[2] = {&e.discrete, nullptr};
        if (e.type != V4L2_FRMIVAL_TYPE_DISCRETE) ends[0] = &e.stepwise.min, ends[1] = &e.stepwise.max;
        for (const v4l2_fract* f : ends)
            if (f != nullptr && f->numerator > 0) rates.push_back(static_cast<double>(f->denominator) / f->numerator);
        if (e.type != V4L2_FRMIVAL_TYPE_DISCRETE) break;
    }
    std::sort(rates.rbegin(), rates.rend());
    return rates;
}

void addMode(int fd, unsigned format, int width, int height, CameraInfo* info) {
    info->modes.push_back(CameraMode{fourccText(format), width, height, frameRates(fd, format, width, height)});
}

void addStepwiseSizes(int fd, unsigned format, const v4l2_frmsize_stepwise& s, CameraInfo* info) {
    for (const auto& size : kStandardSizes) {
        unsigned w = size[0], h = size[1];
        bool inRange = w >= s.min_width && w <= s.max_width && h >= s.min_height && h <= s.max_height;
        bool onStep = (s.step_width == 0 || (w - s.min_width) % s.step_width == 0) &&
                      (s.step_height == 0 || (h - s.min_height) % s.step_height == 0);
        if (inRange && onStep) addMode(fd, format, w, h, info);
    }
}

void addSizes(int fd, unsigned format, CameraInfo* info) {
    for (unsigned i = 0; i < kMaxEnumerated; ++i) {
        v4l2_frmsizeenum e{};
        e.index = i;
        e.pixel_format = format;
        if (query(fd, VIDIOC_ENUM_FRAMESIZES, &e) < 0) break;
        if (e.type != V4L2_FRMSIZE_TYPE_DISCRETE) {
            addStepwiseSizes(fd, format, e.stepwise, info);
            break;
        }
        addMode(fd, format, e.discrete.width, e.discrete.height, info);
    }
}

void addFormats(int fd, CameraInfo* info) {
    for (unsigned i = 0; i < kMaxEnumerated; ++i) {
        v4l2_fmtdesc d{};
        d.index = i;
        d.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (query(fd, VIDIOC_ENUM_FMT, &d) < 0) break;
        addSizes(fd, d.pixelformat, info);
    }
}

unsigned deviceNumber(const std::string& name) { return static_cast<unsigned>(std::atoi(name.c_str() + 5)); }

}  // namespace

bool queryCamera(const std::string& device, CameraInfo* info, std::string* error) {
    int fd = open(device.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = device + ": " + std::strerror(errno);
        return false;
    }
    v4l2_capability cap{};
    bool ok = query(fd, VIDIOC_QUERYCAP, &cap) == 0;
    unsigned caps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (!ok || !(caps & V4L2_CAP_VIDEO_CAPTURE)) {
        close(fd);
        *error = device + " is not a camera";
        return false;
    }
    info->device = device;
    info->name = reinterpret_cast<const char*>(cap.card);
    info->modes.clear();
    addFormats(fd, info);
    close(fd);
    return true;
}

std::vector<CameraInfo> listCameras() {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto& entry : std::filesystem::directory_iterator("/dev", ec)) {
        std::string name = entry.path().filename().string();
        if (name.size() > 5 && name.compare(0, 5, "video") == 0 &&
            name.find_first_not_of("0123456789", 5) == std::string::npos)
            names.push_back(name);
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return deviceNumber(a) < deviceNumber(b); });
    std::vector<CameraInfo> cameras;
    for (const std::string& name : names) {
        CameraInfo info;
        std::string error;
        // Nodes that capture nothing (metadata nodes beside a webcam) are left out.
        if (queryCamera("/dev/" + name, &info, &error) && !info.modes.empty()) cameras.push_back(info);
    }
    return cameras;
}
