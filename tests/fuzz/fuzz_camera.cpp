// The camera file reader on arbitrary bytes: the first record's worth of
// input is the file, the rest picks a frame size and image points. The read
// record is resized, installed in the tracker and used to map points both
// ways; refusals must leave their targets and the installed camera alone.
#include "fuzz_check.h"
#include "fuzz_memory_file.h"

#include "tracking/camera.h"

#include <array>
#include <climits>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstring>

namespace {

// Reads the rest of the input as values, repeating zeros once it runs out.
struct InputTail {
    const uint8_t* data;
    size_t size;
    size_t at = 0;

    template <typename T>
    T next()
    {
        unsigned char bytes[sizeof(T)] = {};
        for (size_t i = 0; i < sizeof(T) && at < size; ++i) {
            bytes[i] = data[at++];
        }
        T value;
        std::memcpy(&value, bytes, sizeof value);
        return value;
    }
};

bool sameRecord(const CameraIntrinsics& a, const CameraIntrinsics& b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool installable(const CameraIntrinsics& p)
{
    return p.width > 0 && p.height > 0 && static_cast<long long>(p.width) * p.height <= kMaxTrackerPixels;
}

void checkInstall(const CameraIntrinsics& param)
{
    const CameraIntrinsics before = *trackerCameraParams();
    int beforeWidth = 0;
    int beforeHeight = 0;
    trackerImageSize(&beforeWidth, &beforeHeight);
    const int status = setTrackerCameraParams(&param);
    fuzzCheck((status == 0) == installable(param), "install accepted or refused the wrong size");
    int width = 0;
    int height = 0;
    trackerImageSize(&width, &height);
    if (status == 0) {
        fuzzCheck(sameRecord(*trackerCameraParams(), param) && width == param.width && height == param.height,
                  "installed camera differs from the one given");
    } else {
        fuzzCheck(sameRecord(*trackerCameraParams(), before) && width == beforeWidth && height == beforeHeight,
                  "a refused install changed the tracker's camera");
    }
}

void mapPoint(const CameraIntrinsics& param, double x, double y)
{
    double ix = 0;
    double iy = 0;
    double ox = 0;
    double oy = 0;
    fuzzCheck(observedToIdeal(param.distortion, x, y, &ix, &iy) == 0, "observed to ideal failed");
    fuzzCheck(idealToObserved(param.distortion, ix, iy, &ox, &oy) == 0, "ideal to observed failed");
}

void resizeAndUse(const CameraIntrinsics& source, int width, int height, InputTail& tail)
{
    CameraIntrinsics target;
    std::memset(&target, 0xA5, sizeof target);
    const CameraIntrinsics untouched = target;
    const int status = resizeCameraParams(&source, width, height, &target);
    const bool valid = source.width > 0 && width > 0 && height > 0;
    fuzzCheck((status == 0) == valid, "resize accepted or refused the wrong sizes");
    if (status != 0) {
        fuzzCheck(sameRecord(target, untouched), "a refused resize wrote its target");
        return;
    }
    fuzzCheck(target.width == width && target.height == height, "resized to another size");
    checkInstall(target);
    mapPoint(target, 0, 0);
    mapPoint(target, target.distortion[0], target.distortion[1]);
    mapPoint(target, width - 1, height - 1);
    const double x = tail.next<double>();
    const double y = tail.next<double>();
    mapPoint(target, x, y);
}

}  // namespace

// The start-up check accepts a record only when the tracker can use it: every
// value finite and in a real camera's range, so that a frame of its own size
// installs and maps its corners to finite points near the picture.
void checkUsable(const CameraIntrinsics& source)
{
    if (!cameraParamsProblem(source).empty()) {
        return;
    }
    fuzzCheck(source.width >= 1 && source.width <= kMaxCameraSide && source.height >= 1 &&
                  source.height <= kMaxCameraSide && source.distortion[3] >= 0.5 && source.distortion[3] <= 2.0,
              "accepted a camera record with an unusable size or scale");
    double x = 0;
    double y = 0;
    observedToIdeal(source.distortion, source.distortion[0], source.distortion[1], &x, &y);
    fuzzCheck(x == source.distortion[0] && y == source.distortion[1], "distortion centre does not map to itself");
    const double reach = 8.0 * (source.width + source.height);
    for (const auto& corner : {std::array<double, 2>{0, 0}, {0.0 + source.width, 0.0 + source.height}}) {
        observedToIdeal(source.distortion, corner[0], corner[1], &x, &y);
        fuzzCheck(std::isfinite(x) && std::isfinite(y) && std::fabs(x) < reach && std::fabs(y) < reach,
                  "an accepted camera maps a corner of its picture far away");
    }
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static const FuzzMemoryFile file = createFuzzMemoryFile("rovanta-fuzz-camera");
    if (fuzzPicks(data, size, 5, 64)) {
        CameraIntrinsics unread;
        fuzzCheck(loadCameraParams(fuzzPipePath().c_str(), 1, &unread) == -1 &&
                      cameraFileProblem(fuzzPipePath().c_str()) == "a named pipe, not a regular file",
                  "a pipe was not refused unopened");
    }
    const size_t fileSize = size < static_cast<size_t>(kCameraRecordSize) ? size : kCameraRecordSize;
    writeFuzzMemoryFile(file, data, fileSize);
    CameraIntrinsics source;
    const int status = loadCameraParams(file.path.c_str(), 1, &source);
    fuzzCheck((status == 0) == (fileSize == static_cast<size_t>(kCameraRecordSize)),
              "short file read, or whole record refused");
    if (status != 0) {
        return 0;
    }
    checkInstall(source);
    checkUsable(source);
    InputTail tail{data + fileSize, size - fileSize};
    const int sizes[][2] = {{320, 240}, {640, 480}, {0, 0}, {1, 1}, {INT_MAX, INT_MAX}, {-320, 240},
                            {tail.next<int32_t>(), tail.next<int32_t>()}};
    for (const auto& frame : sizes) {
        resizeAndUse(source, frame[0], frame[1], tail);
    }
    return 0;
}
