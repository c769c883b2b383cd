#pragma once
// Where the demo camera sees a table point in a frame of the demo video, and
// whether one of the scene's boxes stands between the camera and the point.
#include <algorithm>
#include <cmath>
#include <vector>

#include "common/demo_poses.h"
#include "tracking/camera.h"
#include "world/records.h"
#include "world/vec3.h"

// Ideal image point of a world point; false when it lies behind the camera.
inline bool projectDemoPoint(const CameraIntrinsics& camera, const DemoPose& T, const Vec3& w, double* x,
                             double* y) {
    double c[3], p[3];
    for (int r = 0; r < 3; ++r) c[r] = T[r * 4] * w.x + T[r * 4 + 1] * w.y + T[r * 4 + 2] * w.z + T[r * 4 + 3];
    for (int r = 0; r < 3; ++r)
        p[r] = camera.projection[r][0] * c[0] + camera.projection[r][1] * c[1] + camera.projection[r][2] * c[2] +
               camera.projection[r][3];
    if (p[2] <= 0) return false;
    *x = p[0] / p[2];
    *y = p[1] / p[2];
    return true;
}

// The camera's centre in table coordinates (the demo camera's projection has
// no fourth column): -R^T t.
inline Vec3 demoCameraCentre(const DemoPose& T) {
    double c[3];
    for (int k = 0; k < 3; ++k) c[k] = -(T[k] * T[3] + T[4 + k] * T[7] + T[8 + k] * T[11]);
    return {c[0], c[1], c[2]};
}

// Does the open segment from `from` to `to` pass through the box?
inline bool segmentCrossesBox(const Vec3& from, const Vec3& to, const Vec3& centre, const Vec3& size) {
    const double o[3] = {from.x, from.y, from.z}, d[3] = {to.x - from.x, to.y - from.y, to.z - from.z};
    const double c[3] = {centre.x, centre.y, centre.z}, s[3] = {size.x, size.y, size.z};
    double near = 0.0, far = 1.0;
    for (int a = 0; a < 3; ++a) {
        const double lo = c[a] - s[a] / 2, hi = c[a] + s[a] / 2;
        if (d[a] == 0.0) {
            if (o[a] <= lo || o[a] >= hi) return false;
            continue;
        }
        double t0 = (lo - o[a]) / d[a], t1 = (hi - o[a]) / d[a];
        if (t0 > t1) std::swap(t0, t1);
        near = std::max(near, t0);
        far = std::min(far, t1);
        if (near >= far) return false;
    }
    return true;
}

inline bool hiddenByBoxes(const std::vector<Box>& boxes, const DemoPose& T, const Vec3& point) {
    const Vec3 eye = demoCameraCentre(T);
    for (const Box& box : boxes)
        if (segmentCrossesBox(eye, point, box.centre, box.size)) return true;
    return false;
}

// The eight corners of a car's box (its model fills -0.5..0.5 in x and y and
// 0..1 in z, turned by its heading), pulled in by `inset` of each half size.
inline std::vector<Vec3> carCorners(const Car& car, double inset = 0.0) {
    const double a = car.angle * kPi / 180.0, ca = std::cos(a), sa = std::sin(a);
    std::vector<Vec3> corners;
    for (double sx : {-0.5, 0.5})
        for (double sy : {-0.5, 0.5})
            for (double z : {0.0, 1.0}) {
                const double lx = sx * (1 - inset) * car.scale.x, ly = sy * (1 - inset) * car.scale.y;
                const double lz = (0.5 + (z - 0.5) * (1 - inset)) * car.scale.z;
                corners.push_back({car.position.x + ca * lx - sa * ly, car.position.y + sa * lx + ca * ly,
                                   car.position.z + lz});
            }
    return corners;
}
