// Rotation parameterisation R = Rz(a) * Ry(b) * Rz(c - a) and the coarse-to-fine angle search.
#include <cmath>

#include "tracking/double_pair.h"
#include "tracking/pose.h"

namespace {

constexpr double kPi = 3.141592653589793;

double angleFrom(double x, double s) {
    if (x > 1.0) return 0.0;
    if (x < -1.0) return kPi;
    if (s > 1.0) return kPi / 2;
    if (s < -1.0) return -kPi / 2;
    return s < 0.0 ? -std::acos(x) : std::acos(x);
}

// Both image coordinates of a point are divided at once: the search tries hundreds of poses.
double reprojectionError(const double M[3][4], const double model[][3], const double image[][2], int n) {
    double sum = 0.0;
    for (int i = 0; i < n; i++) {
        const double* X = model[i];
        double s = M[2][0] * X[0] + M[2][1] * X[1] + M[2][2] * X[2] + M[2][3];
        const DoublePair projected = DoublePair{M[0][0] * X[0] + M[0][1] * X[1] + M[0][2] * X[2] + M[0][3],
                                                M[1][0] * X[0] + M[1][1] * X[1] + M[1][2] * X[2] + M[1][3]} /
                                     s;
        double u = projected[0], v = projected[1];
        sum += (image[i][0] - u) * (image[i][0] - u) + (image[i][1] - v) * (image[i][1] - v);
    }
    return sum;
}

}  // namespace

void rotationToAngles(double R[3][3], double* a, double* b, double* c) {
    if (R[2][2] > 1.0) R[2][2] = 1.0;
    if (R[2][2] < -1.0) R[2][2] = -1.0;
    *b = std::acos(R[2][2]);
    if (*b > -1e-6 && *b < 1e-6) {
        *a = 0.0;
        *b = 0.0;
        *c = angleFrom(R[0][0], R[1][0]);
        return;
    }
    // Facing the camera the z axes are opposite: the same singularity as above, which would
    // otherwise divide zero by zero and lose the rotation (a marker seen exactly head-on).
    if (*b > kPi - 1e-6) {
        *a = 0.0;
        *b = kPi;
        *c = angleFrom(R[1][1], R[1][0]);
        return;
    }
    double sb = std::sin(*b);
    *a = angleFrom(R[0][2] / sb, R[1][2] / sb);
    double m = R[0][2] * R[0][2] + R[1][2] * R[1][2];
    *c = angleFrom(-(R[0][2] * R[2][0] + R[1][2] * R[2][1]) / m, (R[0][2] * R[2][1] - R[1][2] * R[2][0]) / m);
}

namespace {

// The rotation from the cosines and sines of a, b and c - a.
void rotationFromCosines(double ca, double sa, double cb, double sb, double cg, double sg, double R[3][3]) {
    R[0][0] = ca * cb * cg - sa * sg;
    R[0][1] = -ca * cb * sg - sa * cg;
    R[0][2] = ca * sb;
    R[1][0] = sa * cb * cg + ca * sg;
    R[1][1] = -sa * cb * sg + ca * cg;
    R[1][2] = sa * sb;
    R[2][0] = -sb * cg;
    R[2][1] = sb * sg;
    R[2][2] = cb;
}

// M = P [R | t] in two parts: the search tries many rotations with one translation.
void projectRotation(const double R[3][3], const double P[3][4], double M[3][4]) {
    for (int r = 0; r < 3; r++)
        for (int j = 0; j < 3; j++) M[r][j] = P[r][0] * R[0][j] + P[r][1] * R[1][j] + P[r][2] * R[2][j];
}

void projectTranslation(const double t[3], const double P[3][4], double M[3][4]) {
    for (int r = 0; r < 3; r++) M[r][3] = P[r][0] * t[0] + P[r][1] * t[1] + P[r][2] * t[2] + P[r][3];
}

// The cosines and sines of the angles a sweep of the search tries: a, b and c a step either
// side, and every c - a among them, taken once each instead of once per rotation tried.
struct SweepAngles {
    double ca[3], sa[3], cb[3], sb[3], cg[3][3], sg[3][3];

    SweepAngles(double a, double b, double c, double step) {
        for (int i = 0; i < 3; i++) {
            const double ai = a + (i - 1) * step, bi = b + (i - 1) * step;
            ca[i] = std::cos(ai), sa[i] = std::sin(ai);
            cb[i] = std::cos(bi), sb[i] = std::sin(bi);
            for (int k = 0; k < 3; k++) {
                const double gamma = (c + (k - 1) * step) - ai;
                cg[i][k] = std::cos(gamma), sg[i][k] = std::sin(gamma);
            }
        }
    }
    void rotation(int i, int j, int k, double R[3][3]) const {
        rotationFromCosines(ca[i + 1], sa[i + 1], cb[j + 1], sb[j + 1], cg[i + 1][k + 1], sg[i + 1][k + 1], R);
    }
};

// sin(x) / x, by its series where the next term is below rounding.
double sinOverAngle(double x) { return x < 1e-4 ? 1.0 - x * x / 6.0 : std::sin(x) / x; }

}  // namespace

void anglesToRotation(double a, double b, double c, double R[3][3]) {
    rotationFromCosines(std::cos(a), std::sin(a), std::cos(b), std::sin(b), std::cos(c - a), std::sin(c - a), R);
}

// R = I + sin(t)/t K + (1 - cos t)/t^2 K^2 with K the cross-product matrix of w. The second
// factor is taken as (sin(t/2)/(t/2))^2 / 2: 1 - cos t cancels to nothing for small angles.
void rotationFromVector(const double w[3], double R[3][3]) {
    const double angle = std::sqrt(w[0] * w[0] + w[1] * w[1] + w[2] * w[2]);
    const double s = sinOverAngle(angle);
    const double half = sinOverAngle(angle / 2.0);
    const double c = 0.5 * half * half;
    const double K[3][3] = {{0, -w[2], w[1]}, {w[2], 0, -w[0]}, {-w[1], w[0], 0}};
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) {
            const double k2 = K[i][0] * K[0][j] + K[i][1] * K[1][j] + K[i][2] * K[2][j];
            R[i][j] = (i == j ? 1.0 : 0.0) + s * K[i][j] + c * k2;
        }
}

void cameraTimesPose(double a, double b, double c, const double t[3], const double P[3][4], double M[3][4]) {
    double R[3][3];
    anglesToRotation(a, b, c, R);
    projectRotation(R, P, M);
    projectTranslation(t, P, M);
}

double searchRotation(double R[3][3], const double t[3], const double P[3][4], const double model[][3],
                      const double image[][2], int n) {
    double a, b, c;
    rotationToAngles(R, &a, &b, &c);
    double step = 0.17453292519943295;
    int bestI = 0, bestJ = 0, bestK = 0;
    double bestA = 0.0, bestB = 0.0, bestC = 0.0, best = 1e9;
    double M[3][4];
    projectTranslation(t, P, M);
    for (int sweep = 0; sweep < 10; sweep++) {
        best = 1e9;
        const SweepAngles angles(a, b, c, step);
        for (int i = -1; i <= 1; i++)
            for (int j = -1; j <= 1; j++)
                for (int k = -1; k <= 1; k++) {
                    double tried[3][3];
                    angles.rotation(i, j, k, tried);
                    projectRotation(tried, P, M);
                    double e = reprojectionError(M, model, image, n);
                    if (e < best) {
                        best = e;
                        bestI = i, bestJ = j, bestK = k;
                        bestA = a + i * step, bestB = b + j * step, bestC = c + k * step;
                    }
                }
        if (bestI == 0 && bestJ == 0 && bestK == 0) step /= 2.0;
        a = bestA, b = bestB, c = bestC;
    }
    anglesToRotation(a, b, c, R);
    return best / n;
}
