// Small hand-made frames for the labeling and extraction tests.
#pragma once

#include <cstdint>
#include <vector>

#include "tracking/camera.h"

struct TestFrame {
    int width, height;
    std::vector<uint8_t> pixels;

    TestFrame(int w, int h, uint8_t level = 255) : width(w), height(h), pixels(static_cast<size_t>(w) * h * 4, level) {}
    void set(int x, int y, uint8_t b, uint8_t g, uint8_t r) {
        uint8_t* p = &pixels[(static_cast<size_t>(y) * width + x) * 4];
        p[0] = b, p[1] = g, p[2] = r;
    }
    void dark(int x, int y) { set(x, y, 0, 0, 0); }
    void fill(int x0, int y0, int x1, int y1, uint8_t level = 0) {  // inclusive bounds
        for (int y = y0; y <= y1; y++)
            for (int x = x0; x <= x1; x++) set(x, y, level, level, level);
    }
    const uint8_t* data() const { return pixels.data(); }
};

// Camera whose distortion is the identity, so ideal and observed coordinates coincide.
inline CameraIntrinsics plainCamera(int width, int height) {
    CameraIntrinsics cam{};
    cam.width = width;
    cam.height = height;
    double projection[3][4] = {{500, 0, width / 2.0, 0}, {0, 500, height / 2.0, 0}, {0, 0, 1, 0}};
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++) cam.projection[r][c] = projection[r][c];
    cam.distortion[0] = width / 2.0;
    cam.distortion[1] = height / 2.0;
    cam.distortion[2] = 0.0;
    cam.distortion[3] = 1.0;
    return cam;
}

inline void installPlainCamera(int width, int height) {
    CameraIntrinsics cam = plainCamera(width, height);
    setTrackerCameraParams(&cam);
}
