// Sub-pixel refinement on rendered frames: corners and poses against the truth the frames were
// rendered from, and markers that cannot be refined keep what detection found.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <new>
#include <vector>

#include "synth_fixture.h"
#include "tracking/pose.h"
#include "tracking/refine.h"

namespace {

long allocations = 0;

}  // namespace

void* operator new(std::size_t size) {
    ++allocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }

namespace {

constexpr double kRadToDeg = 180.0 / 3.141592653589793;

struct FrameCase {
    int width, height;
    double pixelWidth, tilt, yaw, spin, offsetX, offsetY;  // offsets as shares of the distance
    double noise;
    int blur;
};

struct Rendered {
    CameraIntrinsics camera;
    SynthFrame frame;
    double pose[3][4];
};

Rendered render(const FrameCase& c, const SynthPicture& picture, unsigned seed = 7) {
    Rendered r;
    r.camera = makeWebcamIntrinsics(c.width, c.height);
    double distance = r.camera.projection[0][0] * 80.0 / c.pixelWidth;
    SynthMarker marker;
    marker.picture = &picture;
    makeMarkerPose(distance, c.tilt, c.yaw, c.spin, c.offsetX * distance, c.offsetY * distance, marker.pose);
    SynthOptions options;
    options.noiseSigma = c.noise;
    options.blurPasses = c.blur;
    options.seed = seed;
    EXPECT_EQ(renderSynthFrame(r.camera, &marker, 1, options, &r.frame), 0);
    std::copy(&marker.pose[0][0], &marker.pose[0][0] + 12, &r.pose[0][0]);
    return r;
}

const DetectedMarker* detectOne(const Rendered& r, const SynthPicture& picture) {
    EXPECT_EQ(installCameraAndDefaultPattern(r.camera, picture), 0);
    DetectedMarker* list = nullptr;
    int count = 0;
    EXPECT_EQ(detectMarkers(r.frame.bgrx.data(), 100, &list, &count), 0);
    return count == 1 && list[0].id == 0 ? &list[0] : nullptr;
}

double rotationErrorDeg(const double a[3][4], const double b[3][4]) {
    double trace = 0.0;
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 3; k++) trace += a[k][i] * b[k][i];
    return std::acos(std::clamp((trace - 1.0) / 2.0, -1.0, 1.0)) * kRadToDeg;
}

double distanceError(const double found[3][4], const double truth[3][4]) {
    double f = std::hypot(std::hypot(found[0][3], found[1][3]), found[2][3]);
    double t = std::hypot(std::hypot(truth[0][3], truth[1][3]), truth[2][3]);
    return std::fabs(f - t) / t;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// Frame sizes, marker widths (pixels), tilts, noise and blur over the range the game meets.
const FrameCase kRange[] = {
    {640, 480, 190, 10, 5, 20, 0.02, -0.03, 2, 0},   {640, 480, 120, 45, -10, 75, -0.15, 0.08, 4, 1},
    {640, 480, 80, 60, 15, 160, 0.2, -0.12, 6, 0},   {640, 480, 56, 30, -20, 250, -0.25, 0.2, 3, 1},
    {320, 240, 130, 20, 10, 300, 0.05, 0.05, 5, 0},  {320, 240, 90, 50, 0, 40, -0.1, -0.05, 2, 1},
    {320, 240, 60, 35, -15, 110, 0.15, 0.1, 6, 0},   {320, 240, 56, 5, 0, 5, 0.0, 0.0, 4, 1},
};

TEST(Refinement, CornersAndPosesMatchTheRenderedTruth) {
    SynthPicture picture = defaultMarkerPicture();
    std::vector<double> corners, detectedCorners, distances, rotations;
    for (const FrameCase& c : kRange) {
        Rendered r = render(c, picture);
        const DetectedMarker* found = detectOne(r, picture);
        ASSERT_NE(found, nullptr) << c.width << " " << c.pixelWidth;
        DetectedMarker marker = *found;
        const double centre[2] = {0, 0};
        double searched[3][4], pose[3][4];
        long before = allocations;
        ASSERT_EQ(refineMarkerEdges(r.frame.bgrx.data(), &marker), 0) << c.width << " " << c.pixelWidth;
        EXPECT_EQ(allocations, before) << "refinement allocates";
        EXPECT_TRUE(marker.refined);
        ASSERT_GE(estimateMarkerPose(&marker, centre, 80.0, searched), 0);
        std::copy(&searched[0][0], &searched[0][0] + 12, &pose[0][0]);
        before = allocations;
        double polished = polishMarkerPose(&marker, centre, 80.0, pose);
        EXPECT_EQ(allocations, before) << "the polish allocates";
        // From a pose moved off by a twentieth of its distance the polish still runs to the end:
        // polishing its result again gains nothing more.
        double off[3][4];
        std::copy(&searched[0][0], &searched[0][0] + 12, &off[0][0]);
        off[0][3] += 0.05 * off[2][3];
        double first = polishMarkerPose(&marker, centre, 80.0, off);
        EXPECT_NEAR(polishMarkerPose(&marker, centre, 80.0, off), first, 1e-6 * first + 1e-9);
        EXPECT_NEAR(first, polished, 1e-3 * polished + 1e-6);

        for (int j = 0; j < 4; j++) {
            int k = (j + marker.orientation) % 4;
            const double* truth = &r.frame.idealCorners[0][2 * k];
            corners.push_back(std::hypot(marker.corners[j][0] - truth[0], marker.corners[j][1] - truth[1]));
            detectedCorners.push_back(std::hypot(found->corners[j][0] - truth[0], found->corners[j][1] - truth[1]));
            EXPECT_LT(corners.back(), 0.3) << c.width << " " << c.pixelWidth << " corner " << j;
        }
        rotations.push_back(rotationErrorDeg(pose, r.pose));
        distances.push_back(distanceError(pose, r.pose));
        EXPECT_LT(rotations.back(), 1.5) << c.width << " " << c.pixelWidth;
    }
    EXPECT_LE(median(corners), 0.1);
    EXPECT_LT(median(corners), median(detectedCorners) / 3);
    EXPECT_LE(median(distances), 0.0015);
    EXPECT_LE(median(rotations), 0.15);
}

// Each case breaks one thing the refinement needs; the marker keeps its detected lines and corners.
TEST(Refinement, MarkersThatCannotBeRefinedKeepTheirDetection) {
    SynthPicture picture = defaultMarkerPicture();
    struct BadCase {
        const char* what;
        FrameCase frame;
        void (*spoil)(Rendered& r, DetectedMarker& m);
    };
    const BadCase cases[] = {
        {"side two pixels from the frame border", {320, 240, 100, 0, 0, 0, 0.325, 0, 2, 0},
         [](Rendered&, DetectedMarker&) {}},
        {"too blurred", {640, 480, 90, 20, 0, 30, 0, 0, 2, 12}, [](Rendered&, DetectedMarker&) {}},
        {"sides too short", {640, 480, 10, 0, 0, 20, 0, 0, 0, 0}, [](Rendered&, DetectedMarker&) {}},
        {"no contrast", {640, 480, 100, 20, 0, 30, 0, 0, 2, 0},
         [](Rendered& r, DetectedMarker&) { std::fill(r.frame.bgrx.begin(), r.frame.bgrx.end(), 90); }},
        {"lines not numbers", {640, 480, 100, 20, 0, 30, 0, 0, 2, 0},
         [](Rendered&, DetectedMarker& m) { m.corners[2][0] = m.lines[1][2] = NAN; }},
    };
    for (const BadCase& bad : cases) {
        Rendered r = render(bad.frame, picture);
        EXPECT_EQ(installCameraAndDefaultPattern(r.camera, picture), 0);
        DetectedMarker* list = nullptr;
        int count = 0;
        ASSERT_EQ(detectMarkers(r.frame.bgrx.data(), 100, &list, &count), 0);
        DetectedMarker detected{};
        if (count > 0) detected = list[0];
        else  // Too small to be found: refine the square the truth gives.
            for (int k = 0; k < 4; k++)
                for (int i = 0; i < 2; i++) detected.corners[k][i] = r.frame.idealCorners[0][2 * k + i];
        bad.spoil(r, detected);
        DetectedMarker marker = detected;
        marker.refined = true;
        EXPECT_EQ(refineMarkerEdges(r.frame.bgrx.data(), &marker), -1) << bad.what;
        EXPECT_FALSE(marker.refined) << bad.what;
        EXPECT_EQ(std::memcmp(marker.lines, detected.lines, sizeof marker.lines), 0) << bad.what;
        EXPECT_EQ(std::memcmp(marker.corners, detected.corners, sizeof marker.corners), 0) << bad.what;

        double transform[3][4];
        std::fill(&transform[0][0], &transform[0][0] + 12, 7.0);
        const double centre[2] = {0, 0};
        double error = estimatePrecisePose(&marker, centre, 80.0, transform);
        for (int i = 0; i < 3; i++)
            for (double v : transform[i]) EXPECT_TRUE(std::isfinite(v)) << bad.what;
        if (error < 0) {
            for (int i = 0; i < 3; i++)
                for (double v : transform[i]) EXPECT_EQ(v, 7.0) << bad.what;
        }
    }
}

}  // namespace
