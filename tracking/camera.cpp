#include "tracking/camera.h"
#include "platform/file_path.h"
#include "platform/file_replace.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdarg>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <sys/stat.h>
#include <vector>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include "tracking/double_pair.h"

static_assert(sizeof(CameraIntrinsics) == kCameraRecordSize, "record must match the file layout");

namespace {

CameraIntrinsics installedParams{};
int installedWidth = 0;
int installedHeight = 0;

template <typename T>
T readBigEndian(const unsigned char* p) {
    unsigned char bytes[sizeof(T)];
    for (size_t i = 0; i < sizeof(T); i++)
        bytes[i] = std::endian::native == std::endian::big ? p[i] : p[sizeof(T) - 1 - i];
    T value;
    std::memcpy(&value, bytes, sizeof(T));
    return value;
}

template <typename T>
void writeBigEndian(T value, unsigned char* p) {
    unsigned char bytes[sizeof(T)];
    std::memcpy(bytes, &value, sizeof(T));
    for (size_t i = 0; i < sizeof(T); i++)
        p[i] = std::endian::native == std::endian::big ? bytes[i] : bytes[sizeof(T) - 1 - i];
}

void decodeRecord(const unsigned char* bytes, CameraIntrinsics* p) {
    p->width = readBigEndian<int32_t>(bytes);
    p->height = readBigEndian<int32_t>(bytes + 4);
    for (int i = 0; i < 12; i++) p->projection[i / 4][i % 4] = readBigEndian<double>(bytes + 8 + 8 * i);
    for (int i = 0; i < 4; i++) p->distortion[i] = readBigEndian<double>(bytes + 104 + 8 * i);
}

void encodeRecord(const CameraIntrinsics* p, unsigned char* bytes) {
    writeBigEndian<int32_t>(p->width, bytes);
    writeBigEndian<int32_t>(p->height, bytes + 4);
    for (int i = 0; i < 12; i++) writeBigEndian<double>(p->projection[i / 4][i % 4], bytes + 8 + 8 * i);
    for (int i = 0; i < 4; i++) writeBigEndian<double>(p->distortion[i], bytes + 104 + 8 * i);
}

}  // namespace

int loadCameraParams(const char* path, int count, ...) {
    if (count < 1) return -1;
    FILE* file = openFile(path, "rb");
    if (!file) return -1;
    va_list args;
    va_start(args, count);
    int status = 0;
    for (int i = 0; i < count; i++) {
        CameraIntrinsics* record = va_arg(args, CameraIntrinsics*);
        unsigned char bytes[kCameraRecordSize];
        if (std::fread(bytes, 1, kCameraRecordSize, file) != static_cast<size_t>(kCameraRecordSize)) {
            status = -1;
            break;
        }
        decodeRecord(bytes, record);
    }
    va_end(args);
    std::fclose(file);
    return status;
}

std::string cameraFileProblem(const char* path) {
    std::string problem = regularFileProblem(path);
    if (!problem.empty()) return problem;
    struct stat st {};
    if (::stat(portablePath(path).c_str(), &st) == 0 && st.st_size < kCameraRecordSize)
        return "shorter than one " + std::to_string(kCameraRecordSize) + "-byte record";
    return {};
}

namespace {

std::string numberText(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%g", value);
    return text;
}

std::string sizeProblem(const char* name, int value) {
    if (value >= 1 && value <= kMaxCameraSide) return {};
    return std::string(name) + " " + std::to_string(value) + " is not between 1 and " + std::to_string(kMaxCameraSide);
}

std::string firstNonFinite(const CameraIntrinsics& p) {
    for (int i = 0; i < 12; i++) {
        double v = p.projection[i / 4][i % 4];
        if (!std::isfinite(v))
            return "projection[" + std::to_string(i / 4) + "][" + std::to_string(i % 4) + "] is " + numberText(v);
    }
    for (int i = 0; i < 4; i++)
        if (!std::isfinite(p.distortion[i])) return "distortion[" + std::to_string(i) + "] is " + numberText(p.distortion[i]);
    return {};
}

struct ValueRange {
    const char* name;
    double value, low, high;
};

// The range each value of a camera may take, relative to the image size where it is measured in
// pixels. Generous for any real lens; outside them a value only comes from a damaged file or a
// failed measurement, and the poses computed with it are nonsense. The tracker takes the
// projection as K [I | t] with K upper triangular and K[2][2] = 1.
std::vector<ValueRange> valueRanges(const CameraIntrinsics& p) {
    const double w = p.width, h = p.height, fx = p.projection[0][0], fy = p.projection[1][1];
    const double s = p.distortion[3], tiny = 1e-6;
    double farthest = 0.0;  // from the distortion centre to a corner of the picture
    for (double x : {0.0, w})
        for (double y : {0.0, h}) farthest = std::max(farthest, std::hypot(x - p.distortion[0], y - p.distortion[1]));
    // Barrel distortion folds back on itself 2/3 / sqrt(3 p) from its centre, where the inverse
    // mapping has no answer: the picture must end well inside that. Pincushion never folds.
    const double squared = farthest * farthest;
    return {{"projection[0][0] (the focal length in x)", fx, 0.1 * w, 100.0 * w},
            {"projection[1][1] (the focal length in y)", fy, 0.5 * fx, 2.0 * fx},
            {"projection[0][1] (the skew)", p.projection[0][1], -fx, fx},
            {"projection[0][2] (the principal point's x)", p.projection[0][2], -0.5 * w, 1.5 * w},
            {"projection[1][2] (the principal point's y)", p.projection[1][2], -0.5 * h, 1.5 * h},
            {"projection[0][3]", p.projection[0][3], -1e4 * w, 1e4 * w},
            {"projection[1][0]", p.projection[1][0], -tiny * fy, tiny * fy},
            {"projection[1][3]", p.projection[1][3], -1e4 * w, 1e4 * w},
            {"projection[2][0]", p.projection[2][0], -tiny, tiny},
            {"projection[2][1]", p.projection[2][1], -tiny, tiny},
            {"projection[2][2]", p.projection[2][2], 1.0 - tiny, 1.0 + tiny},
            {"projection[2][3]", p.projection[2][3], -tiny, tiny},
            {"distortion[0] (the distortion centre's x)", p.distortion[0], -0.5 * w, 1.5 * w},
            {"distortion[1] (the distortion centre's y)", p.distortion[1], -0.5 * h, 1.5 * h},
            {"distortion[3] (the scale)", s, 0.5, 2.0},
            {"distortion[2] (the coefficient)", p.distortion[2], -1e8 / squared, 0.95 * 4.0 / 27.0 * 1e8 / squared}};
}

}  // namespace

// Every check guards a division or a scale that would otherwise turn the
// poses into nonsense without any failure being reported.
std::string cameraParamsProblem(const CameraIntrinsics& p) {
    std::string problem = sizeProblem("width", p.width);
    if (problem.empty()) problem = sizeProblem("height", p.height);
    if (problem.empty()) problem = firstNonFinite(p);
    if (!problem.empty()) return problem;
    for (const ValueRange& r : valueRanges(p))
        if (!(r.value >= r.low && r.value <= r.high))
            return std::string(r.name) + " " + numberText(r.value) + " is not between " + numberText(r.low) + " and " +
                   numberText(r.high);
    return {};
}

int saveCameraParams(const char* path, const CameraIntrinsics* params, int count, std::string* why) {
    if (count < 1) return -1;
    std::vector<unsigned char> bytes(static_cast<size_t>(count) * kCameraRecordSize);
    for (int i = 0; i < count; i++) encodeRecord(&params[i], bytes.data() + static_cast<size_t>(i) * kCameraRecordSize);
    return replaceFile(path, bytes.data(), bytes.size(), why) ? 0 : -1;
}

int resizeCameraParams(const CameraIntrinsics* source, int width, int height, CameraIntrinsics* target) {
    if (source->width <= 0 || width <= 0 || height <= 0) return -1;
    double k = static_cast<double>(width) / source->width;
    target->width = width;
    target->height = height;
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 4; c++) target->projection[r][c] = r < 2 ? source->projection[r][c] * k : source->projection[r][c];
    target->distortion[0] = source->distortion[0] * k;
    target->distortion[1] = source->distortion[1] * k;
    target->distortion[2] = source->distortion[2] / (k * k);
    target->distortion[3] = source->distortion[3];
    return 0;
}

int setTrackerCameraParams(const CameraIntrinsics* param) {
    if (param->width <= 0 || param->height <= 0) return -1;
    if (static_cast<long long>(param->width) * param->height > kMaxTrackerPixels) return -1;
    installedWidth = param->width;
    installedHeight = param->height;
    installedParams = *param;
    return 0;
}

const CameraIntrinsics* trackerCameraParams() { return &installedParams; }

void trackerImageSize(int* width, int* height) {
    *width = installedWidth;
    *height = installedHeight;
}

int printCameraParams(const CameraIntrinsics* param) {
    const char* rule = "--------------------------------------\n";
    std::printf("%s", rule);
    std::printf("SIZE = %d, %d\n", param->width, param->height);
    std::printf("Distortion factor = %f %f %f %f\n", param->distortion[0], param->distortion[1], param->distortion[2],
                param->distortion[3]);
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 4; c++) std::printf("%7.5f ", param->projection[r][c]);
        std::printf("\n");
    }
    std::printf("%s", rule);
    return 0;
}

int idealToObserved(const double distortion[4], double ix, double iy, double* ox, double* oy) {
    double cx = distortion[0], cy = distortion[1], p = distortion[2] / 100000000.0, s = distortion[3];
    double x = (ix - cx) * s, y = (iy - cy) * s;
    if (x == 0.0 && y == 0.0) {
        *ox = cx;
        *oy = cy;
        return 0;
    }
    double d = 1.0 - p * (x * x + y * y);
    *ox = cx + x * d;
    *oy = cy + y * d;
    return 0;
}

int observedToIdeal(const double distortion[4], double ox, double oy, double* ix, double* iy) {
    double cx = distortion[0], cy = distortion[1], p = distortion[2] / 100000000.0, s = distortion[3];
    double dx = ox - cx, dy = oy - cy;
    double r = std::sqrt(dx * dx + dy * dy);
    double z = r, q = r * r;
    for (int step = 0; step < 3; step++) {
        if (z == 0.0) {
            *ix = cx;
            *iy = cy;
            return 0;
        }
        double next = z - ((1.0 - p * q) * z - r) / (1.0 - 3.0 * p * q);
        dx = dx * next / z;
        dy = dy * next / z;
        q = dx * dx + dy * dy;
        z = std::sqrt(q);
    }
    *ix = cx + dx / s;
    *iy = cy + dy / s;
    return 0;
}

namespace {

DoublePair squareRoots(DoublePair v) {
#ifdef __SSE2__
    return _mm_sqrt_pd(v);
#else
    return DoublePair{std::sqrt(v[0]), std::sqrt(v[1])};
#endif
}

// observedToIdeal of two points at once, lane by lane the same operations; false when either
// reaches the distortion centre, which observedToIdeal maps on its own.
bool observedPairToIdeal(const double distortion[4], DoublePair* x, DoublePair* y) {
    double cx = distortion[0], cy = distortion[1], p = distortion[2] / 100000000.0, s = distortion[3];
    DoublePair dx = *x - cx, dy = *y - cy;
    DoublePair r = squareRoots(dx * dx + dy * dy);
    DoublePair z = r, q = r * r;
    for (int step = 0; step < 3; step++) {
        const auto centre = z == 0.0;
        if (centre[0] || centre[1]) return false;
        DoublePair next = z - ((1.0 - p * q) * z - r) / (1.0 - 3.0 * p * q);
        dx = dx * next / z;
        dy = dy * next / z;
        q = dx * dx + dy * dy;
        z = squareRoots(q);
    }
    *x = cx + dx / s;
    *y = cy + dy / s;
    return true;
}

}  // namespace

void observedToIdealPoints(const double distortion[4], double* points, int n) {
    int i = 0;
    for (; i + 2 <= n; i += 2) {
        double* a = points + 2 * i;
        DoublePair x = {a[0], a[2]}, y = {a[1], a[3]};
        if (observedPairToIdeal(distortion, &x, &y)) {
            a[0] = x[0], a[1] = y[0], a[2] = x[1], a[3] = y[1];
            continue;
        }
        observedToIdeal(distortion, a[0], a[1], &a[0], &a[1]);
        observedToIdeal(distortion, a[2], a[3], &a[2], &a[3]);
    }
    if (i < n) observedToIdeal(distortion, points[2 * i], points[2 * i + 1], &points[2 * i], &points[2 * i + 1]);
}
