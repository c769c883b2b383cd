#include <gtest/gtest.h>

#include <cmath>

#include "synthcam.h"
#include "tracking/pose.h"

namespace {

constexpr double kPi = 3.141592653589793;

CameraIntrinsics installPinhole() {
    CameraIntrinsics cam = makeWebcamIntrinsics(640, 480);
    cam.distortion[2] = 0.0;
    setTrackerCameraParams(&cam);
    return cam;
}

// An exactly projected marker: detected corner j is picture corner (j + orientation) mod 4.
DetectedMarker projectedMarker(const CameraIntrinsics& cam, const double pose[3][4], int orientation) {
    const double model[4][2] = {{-40, 40}, {40, 40}, {40, -40}, {-40, -40}};
    DetectedMarker m{};
    m.area = 1000;
    m.orientation = orientation;
    m.confidence = 1.0;
    for (int j = 0; j < 4; j++) {
        const double* p = model[(j + orientation) % 4];
        double c[3], img[3];
        for (int r = 0; r < 3; r++) c[r] = pose[r][0] * p[0] + pose[r][1] * p[1] + pose[r][3];
        for (int r = 0; r < 3; r++)
            img[r] = cam.projection[r][0] * c[0] + cam.projection[r][1] * c[1] + cam.projection[r][2] * c[2];
        m.corners[j][0] = img[0] / img[2];
        m.corners[j][1] = img[1] / img[2];
    }
    for (int k = 0; k < 4; k++) {
        const double* a = m.corners[k];
        const double* b = m.corners[(k + 1) % 4];
        double la = b[1] - a[1], lb = a[0] - b[0], n = std::hypot(la, lb);
        m.lines[k][0] = la / n;
        m.lines[k][1] = lb / n;
        m.lines[k][2] = -(la * a[0] + lb * a[1]) / n;
    }
    return m;
}

double rotationErrorDeg(const double a[3][4], const double b[3][4]) {
    double trace = 0.0;
    for (int i = 0; i < 3; i++)
        for (int k = 0; k < 3; k++) trace += a[k][i] * b[k][i];
    return std::acos(std::fmin(1.0, std::fmax(-1.0, (trace - 1.0) / 2.0))) * 180.0 / kPi;
}

// Corners are ideal (undistorted) image points, and the pose is fitted to them as they are: with
// a distorting lens too, exact corners give the pose back, also far from the image centre where
// the lens moves points by pixels.
TEST(PoseEstimation, ExactCornersGiveThePoseBack) {
    CameraIntrinsics pinhole = installPinhole(), lens = makeWebcamIntrinsics(640, 480);
    lens.distortion[2] *= 3;
    const double poses[][6] = {{300, 0, 0, 0, 0, 0},       {500, 40, 10, 70, -30, 20}, {800, 60, -15, 200, 50, 10},
                               {450, 30, 5, 20, 190, 120}, {600, 50, -10, 120, -260, -170}};
    for (const CameraIntrinsics* cam : {&pinhole, &lens}) {
        setTrackerCameraParams(cam);
        for (const auto& p : poses) {
            double truth[3][4], result[3][4];
            makeMarkerPose(p[0], p[1], p[2], p[3], p[4], p[5], truth);
            for (int d = 0; d < 4; d++) {
                DetectedMarker m = projectedMarker(*cam, truth, d);
                const double centre[2] = {0, 0};
                double err = estimateMarkerPose(&m, centre, 80.0, result);
                EXPECT_GE(err, 0.0);
                EXPECT_LT(err, 0.01);
                EXPECT_LT(rotationErrorDeg(result, truth), 0.2) << p[0] << " " << d;
                for (int r = 0; r < 3; r++) EXPECT_NEAR(result[r][3], truth[r][3], 0.003 * p[0]) << p[0] << " " << d;
            }
        }
    }
}

TEST(PoseEstimation, RaisingTheOrientationTurnsTheMarkerAQuarterTurn) {
    CameraIntrinsics cam = installPinhole();
    double truth[3][4], a[3][4], b[3][4];
    makeMarkerPose(450, 35, 5, 20, 10, -15, truth);
    DetectedMarker m = projectedMarker(cam, truth, 0);
    const double centre[2] = {0, 0};
    ASSERT_GE(estimateMarkerPose(&m, centre, 80.0, a), 0.0);
    m.orientation = 1;
    ASSERT_GE(estimateMarkerPose(&m, centre, 80.0, b), 0.0);
    // b's x axis is a's y axis or its opposite; z axes agree, translations agree.
    double dotXY = 0, dotZZ = 0;
    for (int r = 0; r < 3; r++) dotXY += b[r][0] * a[r][1], dotZZ += b[r][2] * a[r][2];
    EXPECT_NEAR(std::fabs(dotXY), 1.0, 0.01);
    EXPECT_NEAR(dotZZ, 1.0, 0.01);
    for (int r = 0; r < 3; r++) EXPECT_NEAR(a[r][3], b[r][3], 0.5);
}

TEST(PoseEstimation, OffCentreMarkerMapsItsCentreWhereTheOriginWas) {
    CameraIntrinsics cam = installPinhole();
    double truth[3][4], a[3][4], b[3][4];
    makeMarkerPose(400, 25, 0, 10, 0, 0, truth);
    DetectedMarker m = projectedMarker(cam, truth, 0);
    const double zero[2] = {0, 0}, shifted[2] = {30, -50};
    estimateMarkerPose(&m, zero, 80.0, a);
    estimateMarkerPose(&m, shifted, 80.0, b);
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++) EXPECT_NEAR(a[r][c], b[r][c], 1e-9);
        EXPECT_NEAR(b[r][0] * 30 + b[r][1] * -50 + b[r][3], a[r][3], 1e-6);
    }
}

TEST(PoseEstimation, ParallelEdgesFailAndLeaveTheTransformUntouched) {
    installPinhole();
    DetectedMarker m{};
    for (int k = 0; k < 4; k++) m.lines[k][0] = 1.0, m.lines[k][1] = 0.0, m.lines[k][2] = -10.0 * k;
    double transform[3][4];
    for (auto& row : transform)
        for (double& v : row) v = 7.0;
    const double centre[2] = {0, 0};
    EXPECT_EQ(estimateMarkerPose(&m, centre, 80.0, transform), -1);
    for (auto& row : transform)
        for (double v : row) EXPECT_EQ(v, 7.0);
}

TEST(RotationAngles, IdentityClampAndRoundTrip) {
    double identity[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    double a, b, c;
    rotationToAngles(identity, &a, &b, &c);
    EXPECT_EQ(a, 0.0);
    EXPECT_EQ(b, 0.0);
    EXPECT_EQ(c, 0.0);

    double overshoot[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1.0000001}};
    rotationToAngles(overshoot, &a, &b, &c);
    EXPECT_EQ(overshoot[2][2], 1.0);
    EXPECT_EQ(b, 0.0);

    double r[3][3], back[3][3];
    anglesToRotation(0.7, 2.1, -0.4, r);
    EXPECT_NEAR(r[0][2], std::cos(0.7) * std::sin(2.1), 1e-15);
    EXPECT_NEAR(r[2][1], std::sin(2.1) * std::sin(-0.4 - 0.7), 1e-15);
    rotationToAngles(r, &a, &b, &c);
    anglesToRotation(a, b, c, back);
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) EXPECT_NEAR(back[i][j], r[i][j], 1e-9);
}

TEST(RotationAngles, OppositeZAxesKeepTheInPlaneAngle) {
    // A marker facing the camera: R = Ry(pi) * Rz(0.3), z axes exactly opposite.
    double r[3][3] = {{-std::cos(0.3), std::sin(0.3), 0}, {std::sin(0.3), std::cos(0.3), 0}, {0, 0, -1}};
    double a, b, c, back[3][3];
    rotationToAngles(r, &a, &b, &c);
    EXPECT_FALSE(std::isnan(c));
    anglesToRotation(a, b, c, back);
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) EXPECT_NEAR(back[i][j], r[i][j], 1e-12);
}

TEST(PoseHelpers, CameraTimesPoseIsTheMatrixProduct) {
    CameraIntrinsics cam = installPinhole();
    double r[3][3], m[3][4];
    const double t[3] = {5, -7, 300};
    anglesToRotation(0.2, 2.8, 1.1, r);
    cameraTimesPose(0.2, 2.8, 1.1, t, cam.projection, m);
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) {
            double sum = 0;
            for (int k = 0; k < 3; k++) sum += cam.projection[i][k] * r[k][j];
            EXPECT_NEAR(m[i][j], sum, 1e-9);
        }
        double tt = cam.projection[i][0] * t[0] + cam.projection[i][1] * t[1] + cam.projection[i][2] * t[2];
        EXPECT_NEAR(m[i][3], tt + cam.projection[i][3], 1e-9);
    }
}

TEST(PoseHelpers, OrthogonalizeTurnsBothAxesSymmetrically) {
    double u[3] = {1, 0, 0};
    double v[3] = {std::cos(1.2), std::sin(1.2), 0};  // about 69 degrees apart
    ASSERT_EQ(orthogonalizeAxes(u, v), 0);
    EXPECT_NEAR(u[0] * v[0] + u[1] * v[1] + u[2] * v[2], 0.0, 1e-12);
    EXPECT_NEAR(std::hypot(u[0], u[1]), 1.0, 1e-12);
    EXPECT_NEAR(u[2], 0.0, 1e-12);
    EXPECT_NEAR(v[2], 0.0, 1e-12);
    // Each turned by half the missing 21 degrees, away from the other.
    EXPECT_NEAR(std::atan2(u[1], u[0]), -(kPi / 2 - 1.2) / 2, 1e-9);
    EXPECT_NEAR(std::atan2(v[1], v[0]), 1.2 + (kPi / 2 - 1.2) / 2, 1e-9);

    double p[3] = {0, 0, 1}, q[3] = {0, 0, 1};
    EXPECT_EQ(orthogonalizeAxes(p, q), -1);
}

TEST(PoseHelpers, AlreadyPerpendicularAxesAreAcceptedUnchanged) {
    // Columns of rotation matrices: perpendicular up to rounding, which must not read as
    // "no real solution".
    for (int i = 0; i < 50; i++) {
        double r[3][3];
        anglesToRotation(0.37 * i, 0.11 + 0.06 * i, -0.23 * i, r);
        double u[3] = {r[0][0], r[1][0], r[2][0]}, v[3] = {r[0][1], r[1][1], r[2][1]};
        ASSERT_EQ(orthogonalizeAxes(u, v), 0) << i;
        for (int k = 0; k < 3; k++) {
            EXPECT_NEAR(u[k], r[k][0], 1e-6) << i;
            EXPECT_NEAR(v[k], r[k][1], 1e-6) << i;
        }
    }
}

// Axes whose first coordinate pair with a non-zero determinant has a tiny one: exactly
// perpendicular axes that found no real root, and nearly perpendicular ones left up to 1.3
// degrees off. Each axis must turn, in their plane, half the way to a right angle.
TEST(PoseHelpers, OrthogonalizeIsExactWhateverTheCoordinatesOfTheAxes) {
    const double pairs[][2][3] = {
        {{-0.39050749963969872, -0.92052902086230959, -0.011411155744623234},
         {-0.04550744961460422, 0.031682433661108303, -0.99846146416718762}},
        {{0.33065441818229241, -0.94110327699797702, 0.070656052537616115},
         {-0.9434495001982468, -0.33151590574427059, -0.00049478705933690573}},
        {{0.72556442411769728, 0.42942916095753098, 0.53772377869503352},
         {-0.0014634354924073633, 0.78236118096269858, -0.62282328222314476}},
        {{-0.94745058757810163, -0.31977084550306473, -0.0091646311527038751},
         {0.33599120093961676, -0.90011166615820459, 0.27732454153402114}},
        {{0.76288698015346434, 0.64653015555068483, -0.001487775498806943},
         {0.61540508653297843, -0.73349003050445405, 0.2885636058478484}},
    };
    for (const auto& pair : pairs) {
        double u[3], v[3], sum[3], difference[3];
        for (int k = 0; k < 3; k++) {
            u[k] = pair[0][k], v[k] = pair[1][k];
            sum[k] = u[k] + v[k], difference[k] = u[k] - v[k];
        }
        const double s = std::sqrt(2.0) * std::hypot(sum[0], sum[1], sum[2]);
        const double d = std::sqrt(2.0) * std::hypot(difference[0], difference[1], difference[2]);
        ASSERT_EQ(orthogonalizeAxes(u, v), 0) << pair[0][0];
        for (int k = 0; k < 3; k++) {
            EXPECT_NEAR(u[k], sum[k] / s + difference[k] / d, 1e-7) << pair[0][0];
            EXPECT_NEAR(v[k], sum[k] / s - difference[k] / d, 1e-7) << pair[0][0];
        }
    }
}

TEST(PoseHelpers, EdgeDirectionPointsFromOneVertexToTheNext) {
    CameraIntrinsics cam = installPinhole();
    double axis[3] = {-1, 0, 0};
    const double from[2] = {300, 240}, to[2] = {360, 240};
    ASSERT_EQ(orientEdgeDirection(from, cam.projection, axis, to), 0);
    EXPECT_EQ(axis[0], 1.0);
    ASSERT_EQ(orientEdgeDirection(from, cam.projection, axis, to), 0);
    EXPECT_EQ(axis[0], 1.0);
}

}  // namespace
