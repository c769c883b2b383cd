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
#include "tracking/auto_threshold.h"
#include "tracking/edge_profile.h"
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

// The case's camera in `r`, and the marker placed as the case says (its pose also in `r`).
SynthMarker placeMarker(const FrameCase& c, const SynthPicture& picture, Rendered& r) {
    r.camera = makeWebcamIntrinsics(c.width, c.height);
    double distance = r.camera.projection[0][0] * 80.0 / c.pixelWidth;
    SynthMarker marker;
    marker.picture = &picture;
    makeMarkerPose(distance, c.tilt, c.yaw, c.spin, c.offsetX * distance, c.offsetY * distance, marker.pose);
    std::copy(&marker.pose[0][0], &marker.pose[0][0] + 12, &r.pose[0][0]);
    return marker;
}

Rendered render(const FrameCase& c, const SynthPicture& picture, unsigned seed = 7) {
    Rendered r;
    SynthMarker marker = placeMarker(c, picture, r);
    SynthOptions options;
    options.noiseSigma = c.noise;
    options.blurPasses = c.blur;
    options.seed = seed;
    EXPECT_EQ(renderSynthFrame(r.camera, &marker, 1, options, &r.frame), 0);
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

// A blot of ink 1.5 px out of one side, along a seventh of it, is left out of the side's fit.
TEST(Refinement, AnInkBlotOnASideDoesNotPullIt) {
    SynthPicture picture = defaultMarkerPicture();
    const FrameCase c{640, 480, 150, 10, 5, 12, 0.03, -0.02, 2, 0};
    Rendered r;
    SynthMarker marker = placeMarker(c, picture, r);
    SynthOptions options;
    options.noiseSigma = c.noise;
    options.supersample = 1;  // only for the corners
    ASSERT_EQ(renderSynthFrame(r.camera, &marker, 1, options, &r.frame), 0);
    options.supersample = 4;
    // The blot, between 0.6 and 0.75 of side 0 (observed corners 0 to 1), from 1 px in to 1.5 px out.
    const std::vector<double>& o = r.frame.observedCorners[0];
    double cx = (o[0] + o[2] + o[4] + o[6]) / 4, cy = (o[1] + o[3] + o[5] + o[7]) / 4;
    double dx = o[2] - o[0], dy = o[3] - o[1], n = std::hypot(dx, dy), nx = dy / n, ny = -dx / n;
    if (nx * (o[0] - cx) + ny * (o[1] - cy) < 0) nx = -nx, ny = -ny;
    SynthOccluder blot;
    blot.rgb[0] = blot.rgb[1] = blot.rgb[2] = 0;
    for (double t : {0.6, 0.75})
        for (double out : {-1.0, 1.5}) {
            double x = o[0] + t * dx + out * nx, y = o[1] + t * dy + out * ny;
            blot.polygon.insert(blot.polygon.end(), {x, y});
        }
    std::swap(blot.polygon[4], blot.polygon[6]), std::swap(blot.polygon[5], blot.polygon[7]);
    options.occluders.push_back(blot);
    ASSERT_EQ(renderSynthFrame(r.camera, &marker, 1, options, &r.frame), 0);
    const DetectedMarker* found = detectOne(r, picture);
    ASSERT_NE(found, nullptr);
    DetectedMarker refined = *found;
    ASSERT_EQ(refineMarkerEdges(r.frame.bgrx.data(), &refined), 0);
    for (int j = 0; j < 4; j++) {
        int k = (j + refined.orientation) % 4;
        const double* truth = &r.frame.idealCorners[0][2 * k];
        EXPECT_LT(std::hypot(refined.corners[j][0] - truth[0], refined.corners[j][1] - truth[1]), 0.08) << j;
    }
}

// Through a webcam (tone curve, lens blur, noise, MJPEG) at 1280 x 720: a large marker, whose
// detected sides lie a few pixels inside its edges, and a small one, whose picture comes too
// close to the border for its inner edges to be read, are refined to the paper's edges.
TEST(Refinement, WebcamMarkersLargeAndSmallAreRefinedToTheirEdges) {
    SynthPicture picture = defaultMarkerPicture(256);
    const struct {
        const char* what;
        FrameCase frame;
        double gamma, blur;
        int quality;
    } cases[] = {
        {"large", {1280, 720, 312.6, 28.5, 16.5, 319.9, 0.04, -0.036, 0, 0}, 1.87, 0.97, 73},
        {"small", {1280, 720, 73.8, 0.9, -17.9, 263.5, 0.328, 0.187, 0, 0}, 2.26, 1.05, 89},
    };
    for (const auto& c : cases) {
        Rendered r;
        SynthMarker marker = placeMarker(c.frame, picture, r);
        SynthOptions options;
        options.supersample = 2;
        options.paper = 200, options.ink = 8, options.tableBrightness = 0.7;
        options.webcam.enabled = true;
        options.webcam.gamma = c.gamma, options.webcam.blurSigma = c.blur, options.webcam.jpegQuality = c.quality;
        options.webcam.chroma422 = true;
        ASSERT_EQ(renderSynthFrame(r.camera, &marker, 1, options, &r.frame), 0);
        ASSERT_EQ(installCameraAndDefaultPattern(r.camera, picture), 0);
        resetAutoThreshold();
        DetectedMarker* list = nullptr;
        int count = 0;
        ASSERT_GE(detectMarkersAuto(r.frame.bgrx.data(), kDefaultThreshold, &list, &count), 0);
        ASSERT_TRUE(count == 1 && list[0].id == 0) << c.what;
        DetectedMarker refined = list[0];
        ASSERT_EQ(refineMarkerEdges(r.frame.bgrx.data(), &refined), 0) << c.what;
        for (int j = 0; j < 4; j++) {
            const double* truth = &r.frame.idealCorners[0][2 * ((j + refined.orientation) % 4)];
            EXPECT_LT(std::hypot(refined.corners[j][0] - truth[0], refined.corners[j][1] - truth[1]), 0.25) << c.what;
        }
    }
}

// Moves corner k away from corner `from` along the line through both.
void slideCorner(DetectedMarker& m, int k, int from, double by) {
    double dx = m.corners[k][0] - m.corners[from][0], dy = m.corners[k][1] - m.corners[from][1], n = std::hypot(dx, dy);
    m.corners[k][0] += by * dx / n, m.corners[k][1] += by * dy / n;
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
        // Corner 2 found 3.5 px off along one side: the other side's line lies that far from
        // the detected corner at one of its ends only.
        {"corner slid along side 1", {640, 480, 120, 20, 0, 30, 0, 0, 2, 0},
         [](Rendered&, DetectedMarker& m) { slideCorner(m, 2, 1, 3.5); }},
        {"corner slid along side 2", {640, 480, 120, 20, 0, 30, 0, 0, 2, 0},
         [](Rendered&, DetectedMarker& m) { slideCorner(m, 2, 3, 3.5); }},
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

namespace {

// Rows of a blurred dark-to-light step at x = 20.3 (gaussian blur of `sigma` pixels).
std::vector<uint8_t> blurredStep(double sigma, int width, int height) {
    std::vector<uint8_t> bgrx(static_cast<size_t>(width) * height * 4, 0);
    for (int x = 0; x < width; x++) {
        double v = 30 + 190 * 0.5 * std::erfc(-(x - 20.3) / (sigma * std::sqrt(2.0)));
        for (int y = 0; y < height; y++)
            for (int c = 0; c < 3; c++) bgrx[(static_cast<size_t>(y) * width + x) * 4 + c] = std::lround(v);
    }
    return bgrx;
}

// A measurement needs its window to hold the whole transition; a probe only has to see the edge,
// so a wider transition passes it and tells the next window.
TEST(EdgeProfile, ProbeSeesWiderTransitionsThanAMeasurementAccepts) {
    const struct {
        double sigma;
        bool probe, accepted;
    } cases[] = {{0.5, false, true}, {0.5, true, true}, {1.7, false, false}, {1.7, true, true}};
    for (const auto& c : cases) {
        std::vector<uint8_t> bgrx = blurredStep(c.sigma, 40, 3);
        EdgeProfileQuery q{true, 1, 20.0, true, 3, c.probe};
        EdgeCrossing crossing;
        bool found = edgeCrossing(BgrxFrame{bgrx.data(), 40, 3}, q, &crossing);
        EXPECT_EQ(found, c.accepted) << c.sigma << (c.probe ? " probe" : "");
        if (found) {
            EXPECT_NEAR(crossing.position, 20.3, 0.1) << c.sigma;
        }
    }
}

}  // namespace

namespace {

// Another kind of marker: a black square whose border is an eighth of its width around 6 x 6
// cells, light or dark from `index`.
SynthPicture thinBorderPicture(unsigned index) {
    SynthPicture p;
    p.size = 64;
    p.rgb.assign(64 * 64 * 3, 0);
    for (int cell = 0; cell < 36; cell++) {
        if (((index * 2654435761u) >> (cell % 31)) & 1u) continue;
        for (int y = 0; y < 8; y++)
            for (int x = 0; x < 8; x++)
                for (int c = 0; c < 3; c++) p.rgb[((8 + cell / 6 * 8 + y) * 64 + 8 + cell % 6 * 8 + x) * 3 + c] = 255;
    }
    return p;
}

double rms(const std::vector<double>& v) {
    double sum = 0;
    for (double e : v) sum += e * e;
    return std::sqrt(sum / v.size());
}

// A sheet of 7 x 5 such squares, seen at a slant under a lamp to one side, through a webcam and
// strong JPEG: every square is found, and refinement leaves their corners no further from the
// truth than detection put them.
TEST(Refinement, SheetOfThinBorderSquaresIsFoundAndNotMadeWorse) {
    std::vector<SynthPicture> pictures;
    for (unsigned i = 0; i < 35; i++) pictures.push_back(thinBorderPicture(i + 1));
    std::vector<SynthMatMarker> places;
    for (int i = 0; i < 35; i++) places.push_back({&pictures[i], {(i % 7 - 3) * 40.0, (i / 7 - 2) * 40.0}, 30});
    const CameraIntrinsics camera = makeWebcamIntrinsics(1280, 720);
    double pose[3][4];
    makeMarkerPose(500, 25, 8, 4, 0, 0, pose);
    const SynthPicture sheet = blankSheetPicture();
    const std::vector<SynthMarker> placed = placeOnMat(places, pose, &sheet, 320);
    SynthOptions options;
    options.supersample = 2;
    options.webcam.enabled = true;
    options.webcam.gamma = 2.2;
    options.webcam.jpegQuality = 35;
    options.webcam.chroma422 = true;
    // A lamp to one side: the light falls to under half across the sheet.
    options.lighting.gradient[0] = -0.0012, options.lighting.gradient[1] = -0.0004;
    options.lighting.origin[0] = 400, options.lighting.origin[1] = 200;
    SynthFrame frame;
    ASSERT_EQ(renderSynthFrame(camera, placed.data(), 35, options, &frame), 0);
    ASSERT_EQ(setTrackerCameraParams(&camera), 0);
    clearPatterns();
    resetMarkerHistory();
    resetAutoThreshold();
    setCandidateLimit(kCandidateRoom);
    DetectedMarker* list = nullptr;
    int count = 0;
    ASSERT_GE(detectMarkersAuto(frame.bgrx.data(), kDefaultThreshold, &list, &count), 0);
    std::vector<DetectedMarker> detected(list, list + count), refined = detected;
    refineMarkerList(frame.bgrx.data(), refined.data(), count);
    setCandidateLimit(kMaxCandidates);
    std::vector<double> before, after;
    for (int s = 0; s < 35; s++) {
        const std::vector<double>& truth = frame.idealCorners[s];
        for (int i = 0; i < count; i++)
            for (int turn = 0; turn < 4; turn++) {
                double d[4], r[4], worst = 0;
                for (int j = 0; j < 4; j++) {
                    const double* t = &truth[2 * ((j + turn) % 4)];
                    d[j] = std::hypot(detected[i].corners[j][0] - t[0], detected[i].corners[j][1] - t[1]);
                    r[j] = std::hypot(refined[i].corners[j][0] - t[0], refined[i].corners[j][1] - t[1]);
                    worst = std::max(worst, d[j]);
                }
                if (worst >= 3) continue;
                before.insert(before.end(), d, d + 4), after.insert(after.end(), r, r + 4);
            }
    }
    EXPECT_EQ(before.size(), 35u * 4) << count << " squares detected";
    EXPECT_LE(rms(after), rms(before));
}

}  // namespace
