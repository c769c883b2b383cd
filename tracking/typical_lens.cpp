#include "tracking/typical_lens.h"

#include <cmath>

CameraIntrinsics typicalWebcamCamera(int width, int height) {
    const double halfAngle = kTypicalWebcamFieldOfView / 2 * std::acos(-1.0) / 180;
    const double focal = width / 2.0 / std::tan(halfAngle);
    const double cx = width / 2.0, cy = height / 2.0;
    return CameraIntrinsics{width,
                            height,
                            {{focal, 0, cx, 0}, {0, focal, cy, 0}, {0, 0, 1, 0}},
                            {cx, cy, 0, 1}};
}
