#include "tools/demovideo/camera_path.h"

#include <cmath>

namespace {

constexpr double kPi = 3.141592653589793;

void normalize(double v[3]) {
    const double n = std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]);
    for (int i = 0; i < 3; ++i) v[i] /= n;
}

void cross(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

// Rows right, down, forward; right-handed since right x down = forward.
void lookAt(const double eye[3], const double target[3], double pose[3][4]) {
    double forward[3] = {target[0] - eye[0], target[1] - eye[1], target[2] - eye[2]};
    normalize(forward);
    const double up[3] = {0, 0, 1};
    double right[3], down[3];
    cross(forward, up, right);
    normalize(right);
    cross(forward, right, down);
    const double* rows[3] = {right, down, forward};
    for (int r = 0; r < 3; ++r) {
        for (int c = 0; c < 3; ++c) pose[r][c] = rows[r][c];
        pose[r][3] = -(rows[r][0] * eye[0] + rows[r][1] * eye[1] + rows[r][2] * eye[2]);
    }
}

}  // namespace

void orbitPose(const OrbitSettings& orbit, double t, double pose[3][4]) {
    const double phase = 2.0 * kPi * t / orbit.seconds;
    const double azimuth = -0.5 * kPi + phase;  // starts looking along +y
    const double elevation =
        (orbit.elevationDeg + orbit.elevationSwingDeg * std::sin(3.0 * phase)) * kPi / 180.0;
    const double distance = orbit.distance + orbit.distanceSwing * std::sin(2.0 * phase);
    // A raised cosine bump, 1 at the end look's phase, 0 half a loop away;
    // at its top the look-at point lies about as far beyond the marker as
    // the camera stands before it.
    const double bump = std::pow(0.5 + 0.5 * std::cos(phase - orbit.endLookPhaseDeg * kPi / 180.0),
                                 orbit.endLookSharpness);
    const double reach = orbit.endLookReach * bump;
    const double target[3] = {orbit.targetSwing * std::sin(phase) - reach * std::cos(azimuth),
                              orbit.targetSwing * std::sin(2.0 * phase + 1.0) - reach * std::sin(azimuth), 0.0};
    const double eye[3] = {target[0] + distance * std::cos(elevation) * std::cos(azimuth),
                           target[1] + distance * std::cos(elevation) * std::sin(azimuth),
                           distance * std::sin(elevation)};
    lookAt(eye, target, pose);
}
