// Marker detection and pose estimation on arbitrary frames, with the demo
// camera (resized to the frame) and the demo pattern installed.
//
// Input: byte 0 picks the frame size (bits 0-1), grey or raw pixels (bit 2)
// and a block scale of 1, 2 or 4 (bits 3-4); byte 1 is the threshold; the
// rest fills the frame, repeating. Grey input gives one byte per pixel so
// that small seeds can hold a whole marker; raw input gives the four bytes of
// each pixel directly.
#include "fuzz_check.h"

#include "tracking/auto_threshold.h"
#include "tracking/camera.h"
#include "tracking/marker.h"
#include "tracking/pose.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace {

struct FrameSize {
    int width;
    int height;
};

constexpr FrameSize kSizes[] = {{64, 48}, {160, 120}, {320, 240}, {64, 48}};

struct Setup {
    CameraIntrinsics camera{};
    int patternId = -1;
};

const Setup& demoSetup()
{
    static const Setup setup = [] {
        const std::string demo = ROVANTA_DEMO_DIR;
        Setup made;
        fuzzCheck(loadCameraParams((demo + "/camera/camera_para.dat").c_str(), 1, &made.camera) == 0,
                  "cannot read the demo camera");
        clearPatterns();
        made.patternId = loadPattern((demo + "/marker/marker.patt").c_str());
        fuzzCheck(made.patternId >= 0, "cannot read the demo pattern");
        return made;
    }();
    return setup;
}

void installCamera(const FrameSize& size)
{
    CameraIntrinsics resized;
    fuzzCheck(resizeCameraParams(&demoSetup().camera, size.width, size.height, &resized) == 0,
              "cannot resize the demo camera");
    fuzzCheck(setTrackerCameraParams(&resized) == 0, "cannot install the demo camera");
}

// The frame is exactly width * height * 4 bytes, so that any read past it is
// caught by the address checker.
std::vector<uint8_t> fillFrame(const FrameSize& size, bool grey, int scale, const uint8_t* data, size_t count)
{
    std::vector<uint8_t> frame(static_cast<size_t>(size.width) * size.height * 4, 0);
    if (count == 0) {
        return frame;
    }
    const int sourceWidth = size.width / scale;
    for (int y = 0; y < size.height; ++y) {
        for (int x = 0; x < size.width; ++x) {
            const size_t source = static_cast<size_t>(y / scale) * sourceWidth + x / scale;
            uint8_t* pixel = frame.data() + (static_cast<size_t>(y) * size.width + x) * 4;
            for (int k = 0; k < 4; ++k) {
                pixel[k] = grey ? data[source % count] : data[(source * 4 + k) % count];
            }
        }
    }
    return frame;
}

void checkMarker(const DetectedMarker& marker)
{
    fuzzCheck(marker.id >= -1 && marker.id < kMaxPatterns, "marker id out of range");
    fuzzCheck(marker.orientation >= -1 && marker.orientation < 4, "marker orientation out of range");
    fuzzCheck(marker.area >= 0, "negative marker area");
    double transform[3][4] = {};
    const double centre[2] = {0, 0};
    estimateMarkerPose(&marker, centre, 80.0, transform);
}

void detectAndEstimate(const std::vector<uint8_t>& frame, int threshold, bool automatic)
{
    DetectedMarker* markers = nullptr;
    int count = -1;
    const int status = automatic ? detectMarkersAuto(frame.data(), threshold, &markers, &count)
                                 : detectMarkers(frame.data(), threshold, &markers, &count);
    fuzzCheck(status == 0 || (status == -1 && count == 0), "failed detection reported markers");
    fuzzCheck(count >= 0 && count <= kMaxDetectedMarkers && markers != nullptr, "marker count out of range");
    for (int i = 0; i < count; ++i) {
        checkMarker(markers[i]);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 2) {
        return 0;
    }
    demoSetup();
    const FrameSize frameSize = kSizes[data[0] & 3];
    const bool grey = (data[0] & 4) != 0;
    const int scales[] = {1, 2, 4, 1};
    const int scale = scales[(data[0] >> 3) & 3];
    installCamera(frameSize);
    resetMarkerHistory();
    const std::vector<uint8_t> frame = fillFrame(frameSize, grey, scale, data + 2, size - 2);
    // Twice: the second frame meets the markers remembered from the first. Then with automatic
    // thresholding, which reads the frame's levels: first searching, then with the level it kept.
    detectAndEstimate(frame, data[1], false);
    detectAndEstimate(frame, data[1], false);
    resetAutoThreshold();
    detectAndEstimate(frame, data[1], true);
    detectAndEstimate(frame, data[1], true);
    return 0;
}
