#include "tracking/marker_levels.h"

#include <algorithm>
#include <cmath>

#include "tracking/camera.h"

namespace {

constexpr int kSamplesPerSide = 7;
constexpr double kInside = 0.1;   // a tenth of the side in: within the border, which is a quarter wide
constexpr double kOutside = 0.06;
constexpr double kSlack = 0.1;    // the extreme tenth of the samples is left out (noise, a stray object)
constexpr int kMostSamples = kMaxDetectedMarkers * 4 * kSamplesPerSide;

// Levels sampled on one side of the markers' outlines; fixed room, as this runs on every frame.
struct Samples {
    int levels[kMostSamples];
    int count = 0;
    void add(int level) {
        if (level >= 0 && count < kMostSamples) levels[count++] = level;
    }
    // The sample that `share` of the others lie below.
    int rank(double share) {
        std::sort(levels, levels + count);
        return levels[static_cast<int>(share * (count - 1))];
    }
};

// Level of the pixel at ideal image point (x, y), or -1 outside the frame.
int levelAt(const uint8_t* frame, double x, double y) {
    const CameraIntrinsics* camera = trackerCameraParams();
    double ox, oy;
    idealToObserved(camera->distortion, x, y, &ox, &oy);
    int px = static_cast<int>(std::lround(ox)), py = static_cast<int>(std::lround(oy));
    int width, height;
    trackerImageSize(&width, &height);
    if (px < 0 || py < 0 || px >= width || py >= height) return -1;
    const uint8_t* p = frame + (static_cast<size_t>(py) * width + px) * 4;
    return (p[0] + p[1] + p[2]) / 3;
}

void sampleMarker(const uint8_t* frame, const DetectedMarker& m, Samples& inside, Samples& outside) {
    double cx = 0, cy = 0;
    for (const auto& c : m.corners) cx += c[0] / 4, cy += c[1] / 4;
    for (int k = 0; k < 4; k++) {
        const double* a = m.corners[k];
        const double* b = m.corners[(k + 1) % 4];
        double side = std::hypot(b[0] - a[0], b[1] - a[1]);
        if (side < 4) return;
        double nx = -(b[1] - a[1]) / side, ny = (b[0] - a[0]) / side;  // a normal, turned towards the centre
        if (nx * (cx - a[0]) + ny * (cy - a[1]) < 0) nx = -nx, ny = -ny;
        double in = kInside * side, out = std::max(2.0, kOutside * side);
        for (int i = 1; i <= kSamplesPerSide; i++) {
            double t = 0.2 + 0.6 * (i - 1) / (kSamplesPerSide - 1);
            double x = a[0] + t * (b[0] - a[0]), y = a[1] + t * (b[1] - a[1]);
            inside.add(levelAt(frame, x + in * nx, y + in * ny));
            outside.add(levelAt(frame, x - out * nx, y - out * ny));
        }
    }
}

}  // namespace

bool measureMarkerLevels(const uint8_t* frame, const DetectedMarker* markers, int count, int* dark, int* light) {
    static Samples inside, outside;
    inside.count = outside.count = 0;
    for (int i = 0; i < count; i++)
        if (markers[i].id >= 0 && markers[i].confidence >= 0.5) sampleMarker(frame, markers[i], inside, outside);
    if (inside.count == 0 || outside.count == 0) return false;
    *dark = inside.rank(1.0 - kSlack);
    *light = outside.rank(kSlack);
    return true;
}
