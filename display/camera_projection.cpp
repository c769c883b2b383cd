#include "display/camera_projection.h"

#include <cmath>

namespace {

double dot3(const double a[3], const double b[3]) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

double norm3(const double a[3]) { return std::sqrt(dot3(a, a)); }

// M = P, or -P when P[2][3] is negative, so that the camera looks along +z.
void orientedCopy(const double P[3][4], double M[3][4]) {
    const double sign = P[2][3] >= 0 ? 1.0 : -1.0;
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) M[r][c] = sign * P[r][c];
}

}  // namespace

int decomposeCameraMatrix(const double P[3][4], double K[3][4], double T[3][4]) {
    double M[3][4];
    orientedCopy(P, M);
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 4; ++c) K[r][c] = 0.0;

    K[2][2] = norm3(M[2]);
    for (int c = 0; c < 4; ++c) T[2][c] = M[2][c] / K[2][2];

    K[1][2] = dot3(T[2], M[1]);
    double u[3];
    for (int c = 0; c < 3; ++c) u[c] = M[1][c] - K[1][2] * T[2][c];
    K[1][1] = norm3(u);
    for (int c = 0; c < 3; ++c) T[1][c] = u[c] / K[1][1];

    K[0][2] = dot3(T[2], M[0]);
    K[0][1] = dot3(T[1], M[0]);
    double w[3];
    for (int c = 0; c < 3; ++c) w[c] = M[0][c] - K[0][1] * T[1][c] - K[0][2] * T[2][c];
    K[0][0] = norm3(w);
    for (int c = 0; c < 3; ++c) T[0][c] = w[c] / K[0][0];

    T[1][3] = (M[1][3] - K[1][2] * T[2][3]) / K[1][1];
    T[0][3] = (M[0][3] - K[0][1] * T[1][3] - K[0][2] * T[2][3]) / K[0][0];

    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) K[r][c] /= K[2][2];
    return 0;
}

int cameraToGlProjection(const double P[3][4], int width, int height, double nearPlane,
                         double farPlane, double out[16]) {
    double K[3][4], T[3][4];
    const int status = decomposeCameraMatrix(P, K, T);
    if (status < 0) return status;

    double p[3][3];
    for (int r = 0; r < 3; ++r)
        for (int c = 0; c < 3; ++c) p[r][c] = K[r][c] / K[2][2];

    const double Q[4][4] = {
        {2.0 * p[0][0] / width, 2.0 * p[0][1] / width, 2.0 * p[0][2] / width - 1.0, 0.0},
        {0.0, 2.0 * p[1][1] / height, 2.0 * p[1][2] / height - 1.0, 0.0},
        {0.0, 0.0, (farPlane + nearPlane) / (farPlane - nearPlane),
         -2.0 * farPlane * nearPlane / (farPlane - nearPlane)},
        {0.0, 0.0, 1.0, 0.0},
    };
    for (int i = 0; i < 4; ++i) {
        for (int c = 0; c < 4; ++c) {
            double v = Q[i][0] * T[0][c] + Q[i][1] * T[1][c] + Q[i][2] * T[2][c];
            if (c == 3) v += Q[i][3];
            out[i + 4 * c] = v;
        }
    }
    return 0;
}

void flipCameraMatrixVertically(double P[3][4], int height) {
    for (int k = 0; k < 4; ++k) P[1][k] = (height - 1) * P[2][k] - P[1][k];
}

void transformToGlMatrix(const double T[3][4], double out[16]) {
    for (int row = 0; row < 3; ++row)
        for (int col = 0; col < 4; ++col) out[row + 4 * col] = T[row][col];
    out[3] = out[7] = out[11] = 0.0;
    out[15] = 1.0;
}
