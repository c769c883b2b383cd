#include "display/camera_projection.h"

#include <gtest/gtest.h>

#include <cmath>

namespace {

constexpr double kPinhole[3][4] = {{800, 0, 320, 0}, {0, 800, 240, 0}, {0, 0, 1, 0}};

void expectMatrixNear(const double a[3][4], const double b[3][4], double tolerance) {
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) EXPECT_NEAR(a[r][c], b[r][c], tolerance) << r << "," << c;
}

TEST(DecomposeCameraMatrix, PinholeGivesItsIntrinsicsAndIdentityPose) {
    double K[3][4], T[3][4];
    ASSERT_EQ(decomposeCameraMatrix(kPinhole, K, T), 0);
    const double expectedK[3][4] = {{800, 0, 320, 0}, {0, 800, 240, 0}, {0, 0, 1, 0}};
    const double identity[3][4] = {{1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}};
    expectMatrixNear(K, expectedK, 1e-12);
    expectMatrixNear(T, identity, 1e-12);
}

TEST(DecomposeCameraMatrix, RecoversScaledProductOfIntrinsicsAndRigidTransform) {
    // P = 3 * K [R | t] with R a rotation about x by 30 degrees.
    const double c = std::cos(M_PI / 6), s = std::sin(M_PI / 6);
    const double R[3][4] = {{1, 0, 0, 10}, {0, c, -s, -20}, {0, s, c, 500}};
    const double Kin[3][3] = {{700, 2, 310}, {0, 690, 250}, {0, 0, 1}};
    double P[3][4];
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 4; ++col) {
            P[r][col] = 0;
            for (int k = 0; k < 3; ++k) P[r][col] += 3.0 * Kin[r][k] * R[k][col];
        }
    double K[3][4], T[3][4];
    ASSERT_EQ(decomposeCameraMatrix(P, K, T), 0);
    expectMatrixNear(T, R, 1e-9);
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 3; ++col) EXPECT_NEAR(K[r][col], Kin[r][col], 1e-9);

    double negated[3][4], K2[3][4], T2[3][4];
    for (int r = 0; r < 3; ++r)
        for (int col = 0; col < 4; ++col) negated[r][col] = -P[r][col];
    ASSERT_EQ(decomposeCameraMatrix(negated, K2, T2), 0);
    expectMatrixNear(K2, K, 0.0);
    expectMatrixNear(T2, T, 0.0);
}

TEST(CameraToGlProjection, PinholeGivesTheExpectedFrustum) {
    double out[16];
    ASSERT_EQ(cameraToGlProjection(kPinhole, 640, 480, 50, 5000, out), 0);
    // Row i, column c at out[i + 4c]; T is the identity, so out equals Q.
    EXPECT_DOUBLE_EQ(out[0], 2.5);
    EXPECT_DOUBLE_EQ(out[4], 0.0);
    EXPECT_DOUBLE_EQ(out[8], 0.0);
    EXPECT_DOUBLE_EQ(out[5], 800.0 * 2 / 480);
    EXPECT_DOUBLE_EQ(out[9], 0.0);
    EXPECT_DOUBLE_EQ(out[10], 5050.0 / 4950.0);
    EXPECT_DOUBLE_EQ(out[14], -2.0 * 5000 * 50 / 4950.0);
    EXPECT_DOUBLE_EQ(out[11], 1.0);
    EXPECT_DOUBLE_EQ(out[15], 0.0);
    EXPECT_NEAR(out[10], 1.0202, 1e-4);
    EXPECT_NEAR(out[14], -101.0101, 1e-4);
}

TEST(CameraToGlProjection, ProjectsAWorldPointOntoItsFlippedPixel) {
    double P[3][4];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) P[r][c] = kPinhole[r][c];
    P[2][3] = 400;  // the world origin 400 units in front of the camera
    const double world[4] = {30, -20, 0, 1};
    double image[3];
    for (int r = 0; r < 3; ++r) {
        image[r] = 0;
        for (int c = 0; c < 4; ++c) image[r] += P[r][c] * world[c];
    }
    const double px = image[0] / image[2], py = image[1] / image[2];

    flipCameraMatrixVertically(P, 480);
    double gl[16];
    ASSERT_EQ(cameraToGlProjection(P, 640, 480, 50, 5000, gl), 0);
    double clip[4];
    for (int r = 0; r < 4; ++r) {
        clip[r] = 0;
        for (int c = 0; c < 4; ++c) clip[r] += gl[r + 4 * c] * world[c];
    }
    const double windowX = (clip[0] / clip[3] + 1) * 640 / 2;
    const double windowY = (clip[1] / clip[3] + 1) * 480 / 2;
    EXPECT_NEAR(windowX, px, 1e-9);
    EXPECT_NEAR(windowY, 479 - py, 1e-9);
    EXPECT_GT(clip[2] / clip[3], -1.0);
    EXPECT_LT(clip[2] / clip[3], 1.0);
}

TEST(TransformToGlMatrix, LaysOutTheTransformColumnMajor) {
    const double T[3][4] = {{1, 2, 3, 10}, {4, 5, 6, 20}, {7, 8, 9, 30}};
    double out[16];
    transformToGlMatrix(T, out);
    const double expected[16] = {1, 4, 7, 0, 2, 5, 8, 0, 3, 6, 9, 0, 10, 20, 30, 1};
    for (int i = 0; i < 16; ++i) EXPECT_EQ(out[i], expected[i]) << i;
}

}  // namespace
