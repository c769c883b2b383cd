#include <gtest/gtest.h>

#include <cmath>

#include "synth_fixture.h"
#include "tracking/pose.h"

namespace {

constexpr double kRadToDeg = 180.0 / 3.141592653589793;
// Lines are fitted through the centres of the outermost dark pixels, which lie on average half a
// pixel inside the true edge; corners therefore sit up to about 0.7 pixel inside.
constexpr double kCornerTolerance = 1.2;

struct Detection {
    DetectedMarker* list = nullptr;
    int count = 0;
};

Detection detect(const SynthFrame& frame) {
    Detection d;
    EXPECT_EQ(detectMarkers(frame.bgrx.data(), 100, &d.list, &d.count), 0);
    return d;
}

double maxCornerError(const DetectedMarker& m, const std::vector<double>& truth) {
    double worst = 0.0;
    for (int j = 0; j < 4; j++) {
        int k = (j + m.orientation) % 4;  // detected corner j sits at picture corner j + orientation
        worst = std::fmax(worst, std::hypot(m.corners[j][0] - truth[2 * k], m.corners[j][1] - truth[2 * k + 1]));
    }
    return worst;
}

// Angle of the rotation that takes one pose's rotation onto the other's.
double rotationErrorDeg(const double a[3][4], const double b[3][4]) {
    double trace = 0.0;
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 3; k++) trace += a[k][i] * b[k][i];
    return std::acos(std::fmin(1.0, std::fmax(-1.0, (trace - 1.0) / 2.0))) * kRadToDeg;
}

double translationError(const double a[3][4], const double b[3][4]) {
    return std::sqrt(std::pow(a[0][3] - b[0][3], 2) + std::pow(a[1][3] - b[1][3], 2) + std::pow(a[2][3] - b[2][3], 2));
}

struct PoseCase {
    double distance, tilt, yaw, spin, offsetX, offsetY;
};

class SyntheticMarker : public ::testing::Test {
  protected:
    SynthPicture picture = defaultMarkerPicture();

    SynthFrame render(const CameraIntrinsics& cam, const PoseCase& c, SynthMarker* marker, SynthOptions options = {}) {
        marker->picture = &picture;
        makeMarkerPose(c.distance, c.tilt, c.yaw, c.spin, c.offsetX, c.offsetY, marker->pose);
        SynthFrame frame;
        EXPECT_EQ(renderSynthFrame(cam, marker, 1, options, &frame), 0);
        return frame;
    }
};

TEST_F(SyntheticMarker, EveryQuarterTurnIsIdentifiedWithItsOrientation) {
    CameraIntrinsics cam = makeWebcamIntrinsics(640, 480);
    ASSERT_EQ(installCameraAndDefaultPattern(cam, picture), 0);
    for (int turn = 0; turn < 4; turn++) {
        resetMarkerHistory();
        SynthMarker marker;
        SynthFrame frame = render(cam, {400, 20, 10, 90.0 * turn + 7, 10, -5}, &marker);
        Detection d = detect(frame);
        ASSERT_EQ(d.count, 1) << "turn " << turn;
        EXPECT_EQ(d.list[0].id, 0);
        EXPECT_GT(d.list[0].confidence, 0.8);
        // The orientation names which detected corner is the picture's top-left one; a wrong
        // orientation would put every corner a marker side away from the truth.
        EXPECT_LT(maxCornerError(d.list[0], frame.idealCorners[0]), kCornerTolerance) << "turn " << turn;
        double transform[3][4];
        const double centre[2] = {0, 0};
        estimateMarkerPose(&d.list[0], centre, 80.0, transform);
        EXPECT_LT(rotationErrorDeg(transform, marker.pose), 1.0) << "turn " << turn;
    }
}

TEST_F(SyntheticMarker, PoseIsAccurateOverDistancesAndTilts) {
    CameraIntrinsics cam = pinholeCamera(640, 480);
    ASSERT_EQ(installCameraAndDefaultPattern(cam, picture), 0);
    const PoseCase cases[] = {{250, 0, 0, 0, 0, 0},       {250, 45, 0, 30, 20, 10},     {400, 60, 0, 0, 0, 0},
                              {500, 30, 25, 200, -40, 30}, {650, 60, -20, 100, 50, -20}, {900, 0, 0, 0, 60, 40},
                              {900, 45, 10, 300, -80, 0},  {300, 60, 15, 45, 0, 20},     {600, 20, 10, 33, 30, 20}};
    for (const PoseCase& c : cases) {
        // Far away the marker is under 60 pixels wide: the half-pixel edge shrink weighs more
        // and a small tilt changes the outline by well under a pixel.
        double rotationTolerance = c.distance <= 650 ? 1.0 : 6.0;
        double translationTolerance = (c.distance <= 650 ? 0.015 : 0.025) * c.distance;
        resetMarkerHistory();
        SynthMarker marker;
        SynthFrame frame = render(cam, c, &marker);
        Detection d = detect(frame);
        ASSERT_EQ(d.count, 1) << "distance " << c.distance << " tilt " << c.tilt;
        ASSERT_EQ(d.list[0].id, 0);
        double transform[3][4];
        const double centre[2] = {0, 0};
        double err = estimateMarkerPose(&d.list[0], centre, 80.0, transform);
        EXPECT_GE(err, 0.0);
        EXPECT_LT(rotationErrorDeg(transform, marker.pose), rotationTolerance)
            << "distance " << c.distance << " tilt " << c.tilt;
        EXPECT_LT(translationError(transform, marker.pose), translationTolerance)
            << "distance " << c.distance << " tilt " << c.tilt;
        EXPECT_LT(maxCornerError(d.list[0], frame.idealCorners[0]), kCornerTolerance);
    }
}

}  // namespace
