#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "common/scratch_dir.h"
#include "frame_fixture.h"
#include "synthcam.h"
#include "tracking/camera.h"

namespace {

std::string tempFile(const std::string& name) { return scratchPath(name); }

void writeBytes(const std::string& path, const std::vector<unsigned char>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(bytes.data(), 1, bytes.size(), f);
    std::fclose(f);
}

// A record built byte by byte: width 320 (00 00 01 40), height 240, projection[0][0] = 1.5
// (3F F8 00 ...), distortion scale 1.0 (3F F0 00 ...), everything else zero.
std::vector<unsigned char> handMadeRecord() {
    std::vector<unsigned char> b(136, 0);
    b[2] = 0x01, b[3] = 0x40;
    b[6] = 0x00, b[7] = 0xF0;
    b[8] = 0x3F, b[9] = 0xF8;
    b[104 + 24] = 0x3F, b[104 + 25] = 0xF0;
    return b;
}

// Records are read whole, big-endian, as many as asked; bytes after them are ignored, and a
// file short of them fails (the records before the short one stay read).
TEST(CameraFile, ReadsWholeBigEndianRecordsAndFailsOnShortFiles) {
    const std::vector<unsigned char> one = handMadeRecord();
    std::vector<unsigned char> two = one;
    two.insert(two.end(), one.begin(), one.end());
    two[136 + 3] = 0x80;  // second width 384
    two.push_back(0xAB);
    const std::string path = tempFile("two.dat");
    writeBytes(path, two);
    CameraIntrinsics a{}, b{}, c{};
    ASSERT_EQ(loadCameraParams(path.c_str(), 1, &a), 0);
    EXPECT_EQ(a.width, 320);
    EXPECT_EQ(a.height, 240);
    EXPECT_EQ(a.projection[0][0], 1.5);
    EXPECT_EQ(a.projection[2][3], 0.0);
    EXPECT_EQ(a.distortion[3], 1.0);
    ASSERT_EQ(loadCameraParams(path.c_str(), 2, &a, &b), 0);
    EXPECT_EQ(b.width, 384);
    EXPECT_EQ(loadCameraParams(path.c_str(), 3, &a, &b, &c), -1);
    EXPECT_EQ(loadCameraParams(path.c_str(), 0, &a), -1);
    EXPECT_EQ(loadCameraParams(tempFile("absent.dat").c_str(), 1, &a), -1);
    two.resize(135);
    writeBytes(path, two);
    EXPECT_EQ(loadCameraParams(path.c_str(), 1, &a), -1);
    std::remove(path.c_str());
}

// Any 136 bytes load; start-up then refuses what would make every pose
// nonsense, naming the value.
TEST(CameraFile, UnusableRecordsAreNamedByTheirBadValue) {
    const CameraIntrinsics good = makeWebcamIntrinsics(640, 480);
    const struct {
        void (*spoil)(CameraIntrinsics&);
        const char* problem;
    } cases[] = {
        {[](CameraIntrinsics&) {}, ""},
        {[](CameraIntrinsics& c) { c.width = 2147483647; }, "width 2147483647 is not between 1 and 16384"},
        {[](CameraIntrinsics& c) { c.height = 0; }, "height 0 is not between 1 and 16384"},
        {[](CameraIntrinsics& c) { c.projection[1][2] = NAN; }, "projection[1][2] is nan"},
        {[](CameraIntrinsics& c) { c.distortion[2] = -INFINITY; }, "distortion[2] is -inf"},
        {[](CameraIntrinsics& c) { c.projection[0][0] = 0; },
         "projection[0][0] (the focal length in x) 0 is not between 64 and 64000"},
        {[](CameraIntrinsics& c) { c.projection[0][0] = 0.19; }, "projection[0][0] (the focal length in x) 0.19"},
        {[](CameraIntrinsics& c) { c.projection[1][1] = -660; }, "projection[1][1] (the focal length in y) -660"},
        {[](CameraIntrinsics& c) { c.projection[0][1] = 1e300; }, "projection[0][1] (the skew) 1e+300"},
        {[](CameraIntrinsics& c) { c.projection[1][2] = 1e6; }, "projection[1][2] (the principal point's y) 1e+06"},
        {[](CameraIntrinsics& c) { c.projection[2][2] = 0; }, "projection[2][2] 0 is not between"},
        {[](CameraIntrinsics& c) { c.projection[2][0] = 0.5; }, "projection[2][0] 0.5"},
        {[](CameraIntrinsics& c) { c.projection[0][3] = -1e300; }, "projection[0][3] -1e+300"},
        {[](CameraIntrinsics& c) { c.distortion[0] = 5e-324 - 1e6; }, "distortion[0] (the distortion centre's x)"},
        {[](CameraIntrinsics& c) { c.distortion[3] = 0; }, "distortion[3] (the scale) 0 is not between 0.5 and 2"},
        {[](CameraIntrinsics& c) { c.distortion[3] = 5e-324; }, "distortion[3] (the scale) 4.94066e-324"},
        {[](CameraIntrinsics& c) { c.distortion[3] = -1e-300; }, "distortion[3] (the scale) -1e-300"},
        {[](CameraIntrinsics& c) { c.distortion[2] = 1e300; }, "distortion[2] (the coefficient) 1e+300"},
        {[](CameraIntrinsics& c) { c.distortion[2] = -700; }, "distortion[2] (the coefficient) -700"},
        {[](CameraIntrinsics& c) { c.distortion[2] = 90; }, "distortion[2] (the coefficient) 90"},
    };
    for (const auto& c : cases) {
        CameraIntrinsics camera = good;
        c.spoil(camera);
        const std::string problem = cameraParamsProblem(camera);
        EXPECT_EQ(problem.substr(0, std::string(c.problem).size()), c.problem);
        EXPECT_EQ(problem.empty(), *c.problem == '\0') << c.problem;
    }

    ScratchDir dir;
    std::vector<unsigned char> bytes = handMadeRecord();
    const std::string whole = dir.write("whole.dat", std::string(bytes.begin(), bytes.end()));
    const std::string cut = dir.write("cut.dat", std::string(bytes.begin(), bytes.end() - 1));
    EXPECT_EQ(cameraFileProblem(whole.c_str()), "");
    EXPECT_EQ(cameraFileProblem(cut.c_str()), "shorter than one 136-byte record");
    EXPECT_EQ(cameraFileProblem(dir.file("absent.dat").c_str()), "No such file or directory");
}

TEST(CameraFile, SaveThenLoadRoundTrips) {
    CameraIntrinsics cam = plainCamera(640, 480);
    cam.projection[0][1] = -0.125;
    cam.distortion[2] = 12.345678901234;
    std::string path = tempFile("roundtrip.dat");
    ASSERT_EQ(saveCameraParams(path.c_str(), &cam, 1), 0);
    CameraIntrinsics back{};
    ASSERT_EQ(loadCameraParams(path.c_str(), 1, &back), 0);
    EXPECT_EQ(std::memcmp(&cam, &back, sizeof cam), 0);
    FILE* f = std::fopen(path.c_str(), "rb");
    std::fseek(f, 0, SEEK_END);
    EXPECT_EQ(std::ftell(f), 136);
    std::fclose(f);
    std::remove(path.c_str());
}

TEST(CameraResize, ScalesByTheWidthRatioOnly) {
    CameraIntrinsics src = plainCamera(320, 240);
    src.projection[0][1] = 3.0;
    src.projection[2][2] = 0.5;
    src.distortion[2] = 40.0;
    src.distortion[3] = 0.9;
    CameraIntrinsics same{};
    ASSERT_EQ(resizeCameraParams(&src, 320, 200, &same), 0);
    EXPECT_EQ(same.height, 200);
    EXPECT_EQ(same.projection[0][0], src.projection[0][0]);
    EXPECT_EQ(same.distortion[2], 40.0);

    CameraIntrinsics big{};
    ASSERT_EQ(resizeCameraParams(&src, 640, 480, &big), 0);
    EXPECT_EQ(big.width, 640);
    EXPECT_EQ(big.projection[0][0], 2 * src.projection[0][0]);
    EXPECT_EQ(big.projection[0][1], 6.0);
    EXPECT_EQ(big.projection[1][2], 2 * src.projection[1][2]);
    EXPECT_EQ(big.projection[2][2], 0.5);
    EXPECT_EQ(big.distortion[0], 2 * src.distortion[0]);
    EXPECT_EQ(big.distortion[1], 2 * src.distortion[1]);
    EXPECT_EQ(big.distortion[2], 10.0);
    EXPECT_EQ(big.distortion[3], 0.9);
}

TEST(CameraResize, ZeroWidthRecordIsRejectedAndTargetUntouched) {
    CameraIntrinsics src = plainCamera(320, 240);
    src.width = 0;
    CameraIntrinsics target = plainCamera(10, 10);
    EXPECT_EQ(resizeCameraParams(&src, 640, 480, &target), -1);
    EXPECT_EQ(target.width, 10);
    src.width = 320;
    EXPECT_EQ(resizeCameraParams(&src, 0, 480, &target), -1);
}

TEST(TrackerCamera, InstallsOnlySizesTheWorkAreasHold) {
    CameraIntrinsics cam = plainCamera(8192, 4096);  // the largest: 8K video fits
    ASSERT_EQ(setTrackerCameraParams(&cam), 0);
    int w, h;
    trackerImageSize(&w, &h);
    EXPECT_EQ(w, 8192);
    EXPECT_EQ(h, 4096);
    CameraIntrinsics tooBig = plainCamera(8193, 4096);
    EXPECT_EQ(setTrackerCameraParams(&tooBig), -1);
    CameraIntrinsics empty = plainCamera(0, 480);
    EXPECT_EQ(setTrackerCameraParams(&empty), -1);
    trackerImageSize(&w, &h);
    EXPECT_EQ(w, 8192);
    EXPECT_EQ(trackerCameraParams()->width, 8192);
}

TEST(TrackerCamera, PrintsTheRecordInItsFixedLayout) {
    CameraIntrinsics cam = plainCamera(640, 480);
    cam.distortion[2] = 2.5;
    testing::internal::CaptureStdout();
    printCameraParams(&cam);
    std::string out = testing::internal::GetCapturedStdout();
    std::string rule = "--------------------------------------\n";
    std::string expected = rule + "SIZE = 640, 480\n" + "Distortion factor = 320.000000 240.000000 2.500000 1.000000\n" +
                           "500.00000 0.00000 320.00000 0.00000 \n" + "0.00000 500.00000 240.00000 0.00000 \n" +
                           "0.00000 0.00000 1.00000 0.00000 \n" + rule;
    EXPECT_EQ(out, expected);
}

TEST(LensDistortion, CentreIsFixedAndZeroCoefficientIsPureScaling) {
    const double dist[4] = {310.0, 245.0, 30.0, 0.95};
    double x, y;
    idealToObserved(dist, 310.0, 245.0, &x, &y);
    EXPECT_EQ(x, 310.0);
    EXPECT_EQ(y, 245.0);
    observedToIdeal(dist, 310.0, 245.0, &x, &y);
    EXPECT_EQ(x, 310.0);
    EXPECT_EQ(y, 245.0);

    const double flat[4] = {310.0, 245.0, 0.0, 0.95};
    idealToObserved(flat, 410.0, 145.0, &x, &y);
    EXPECT_DOUBLE_EQ(x, 310.0 + 100.0 * 0.95);
    EXPECT_DOUBLE_EQ(y, 245.0 - 100.0 * 0.95);
    observedToIdeal(flat, 405.0, 150.0, &x, &y);
    EXPECT_NEAR(x, 310.0 + 95.0 / 0.95, 1e-9);
    EXPECT_NEAR(y, 245.0 - 95.0 / 0.95, 1e-9);
}

// Up to a webcam's strong distortion (coefficient 45) the inverse is exact to
// rounding over the whole frame, which a wrong Newton derivative is not.
TEST(LensDistortion, BarrelDistortionPullsPointsInAndInverseRecoversThem) {
    for (double coefficient : {10.0, 45.0}) {
        const double dist[4] = {321.0, 241.0, coefficient, 0.98};
        double worst = 0.0;
        for (int y = 0; y < 480; y += 20) {
            for (int x = 0; x < 640; x += 20) {
                double ox, oy, ix, iy;
                idealToObserved(dist, x, y, &ox, &oy);
                double r0 = 0.98 * std::hypot(x - 321.0, y - 241.0), r1 = std::hypot(ox - 321.0, oy - 241.0);
                EXPECT_LE(r1, r0 + 1e-12);
                observedToIdeal(dist, ox, oy, &ix, &iy);
                worst = std::fmax(worst, std::hypot(ix - x, iy - y));
            }
        }
        EXPECT_LT(worst, 1e-9) << coefficient;
    }
}

// A list is mapped two points at a time: each point exactly as on its own, also the distortion
// centre (which stops the Newton steps) beside another point, and an odd last point.
TEST(LensDistortion, PointListsMapEachPointAsItsOwn) {
    const double dist[4] = {321.0, 241.0, 45.0, 0.98};
    const double points[][2] = {{0, 0}, {639.5, 479.25}, {321.0, 241.0}, {17.25, 400}, {330, 241}, {-3, 600}, {100, 7.5}};
    const int n = sizeof points / sizeof points[0];
    double mapped[2 * n];
    std::copy(&points[0][0], &points[0][0] + 2 * n, mapped);
    observedToIdealPoints(dist, mapped, n);
    for (int i = 0; i < n; i++) {
        double x, y;
        observedToIdeal(dist, points[i][0], points[i][1], &x, &y);
        EXPECT_EQ(mapped[2 * i], x) << i;
        EXPECT_EQ(mapped[2 * i + 1], y) << i;
    }
}

}  // namespace
