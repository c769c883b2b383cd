// The pose polished on the corners' reprojection error in ideal coordinates: damped
// Gauss-Newton steps on a rotation increment and the translation, started from the angle search.
#include <algorithm>
#include <cmath>

#include "tracking/camera.h"
#include "tracking/pose.h"
#include "tracking/refine.h"

namespace {

constexpr int kMaxIterations = 12;
constexpr int kMaxDampingTries = 8;

struct Correspondences {
    double model[4][3];
    double image[4][2];
};

bool correspondences(const DetectedMarker* m, const double centre[2], double width, Correspondences* c) {
    if (m->orientation < 0 || m->orientation > 3) return false;
    double model[4][2];
    markerCorrespondences(m, centre, width, model, c->image);
    for (int k = 0; k < 4; k++) {
        c->model[k][0] = model[k][0];
        c->model[k][1] = model[k][1];
        c->model[k][2] = 0.0;
    }
    return true;
}

// Sum of squared residuals; with `jacobian` also the 8 x 6 derivatives with respect to a small
// rotation w (R <- exp([w]x) R) and the translation. Infinite when a point is not in front.
double residuals(const double P[3][4], const double pose[3][4], const Correspondences& c, double r[8],
                 double jacobian[8][6]) {
    double sum = 0.0;
    for (int k = 0; k < 4; k++) {
        const double* X = c.model[k];
        double rx[3], h[3];
        for (int i = 0; i < 3; i++) rx[i] = pose[i][0] * X[0] + pose[i][1] * X[1] + pose[i][2] * X[2];
        double cam[3] = {rx[0] + pose[0][3], rx[1] + pose[1][3], rx[2] + pose[2][3]};
        for (int i = 0; i < 3; i++) h[i] = P[i][0] * cam[0] + P[i][1] * cam[1] + P[i][2] * cam[2] + P[i][3];
        if (!(h[2] > 0.0)) return INFINITY;
        double u = h[0] / h[2], v = h[1] / h[2];
        r[2 * k] = u - c.image[k][0];
        r[2 * k + 1] = v - c.image[k][1];
        sum += r[2 * k] * r[2 * k] + r[2 * k + 1] * r[2 * k + 1];
        if (!jacobian) continue;
        for (int row = 0; row < 2; row++) {
            double proj = row == 0 ? u : v;
            double g[3];  // derivative of the image coordinate with respect to the camera point
            for (int i = 0; i < 3; i++) g[i] = (P[row][i] - proj * P[2][i]) / h[2];
            double* J = jacobian[2 * k + row];
            // d(cam)/dw = -[rx]x, so dJ/dw = rx x g.
            J[0] = rx[1] * g[2] - rx[2] * g[1];
            J[1] = rx[2] * g[0] - rx[0] * g[2];
            J[2] = rx[0] * g[1] - rx[1] * g[0];
            J[3] = g[0], J[4] = g[1], J[5] = g[2];
        }
    }
    return sum;
}

// Solves the symmetric positive definite 6 x 6 system a x = b by Cholesky; false when singular.
bool solve6(double a[6][6], const double b[6], double x[6]) {
    for (int j = 0; j < 6; j++) {
        double d = a[j][j];
        for (int k = 0; k < j; k++) d -= a[j][k] * a[j][k];
        if (!(d > 0.0)) return false;
        a[j][j] = std::sqrt(d);
        for (int i = j + 1; i < 6; i++) {
            double s = a[i][j];
            for (int k = 0; k < j; k++) s -= a[i][k] * a[j][k];
            a[i][j] = s / a[j][j];
        }
    }
    double y[6];
    for (int i = 0; i < 6; i++) {
        double s = b[i];
        for (int k = 0; k < i; k++) s -= a[i][k] * y[k];
        y[i] = s / a[i][i];
    }
    for (int i = 5; i >= 0; i--) {
        double s = y[i];
        for (int k = i + 1; k < 6; k++) s -= a[k][i] * x[k];
        x[i] = s / a[i][i];
    }
    return true;
}

void applyStep(const double pose[3][4], const double step[6], double out[3][4]) {
    double dR[3][3];
    rotationFromVector(step, dR);
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++) out[i][j] = dR[i][0] * pose[0][j] + dR[i][1] * pose[1][j] + dR[i][2] * pose[2][j];
        out[i][3] = pose[i][3] + step[3 + i];
    }
}

void normalEquations(const double J[8][6], const double r[8], double jtj[6][6], double jtr[6]) {
    for (int i = 0; i < 6; i++) {
        jtr[i] = 0.0;
        for (int k = 0; k < 8; k++) jtr[i] += J[k][i] * r[k];
        for (int j = 0; j < 6; j++) {
            jtj[i][j] = 0.0;
            for (int k = 0; k < 8; k++) jtj[i][j] += J[k][i] * J[k][j];
        }
    }
}

// One damped step that lowers the error; false when none does.
bool improve(const double P[3][4], const Correspondences& c, double pose[3][4], double* error, double* damping) {
    double r[8], J[8][6], jtj[6][6], jtr[6];
    residuals(P, pose, c, r, J);
    normalEquations(J, r, jtj, jtr);
    for (int attempt = 0; attempt < kMaxDampingTries; attempt++, *damping *= 10.0) {
        double a[6][6], b[6], step[6], trial[3][4], tr[8];
        for (int i = 0; i < 6; i++) {
            for (int j = 0; j < 6; j++) a[i][j] = jtj[i][j];
            a[i][i] += *damping * jtj[i][i] + 1e-12;
            b[i] = -jtr[i];
        }
        if (!solve6(a, b, step)) continue;
        applyStep(pose, step, trial);
        double e = residuals(P, trial, c, tr, nullptr);
        if (!(e < *error)) continue;
        std::copy(&trial[0][0], &trial[0][0] + 12, &pose[0][0]);
        *error = e;
        *damping = std::max(*damping * 0.1, 1e-9);
        return true;
    }
    return false;
}

bool allFinite(const double m[3][4]) {
    return std::all_of(&m[0][0], &m[0][0] + 12, [](double v) { return std::isfinite(v); });
}

}  // namespace

double cornerReprojectionError(const DetectedMarker* marker, const double centre[2], double width,
                               const double transform[3][4]) {
    Correspondences c;
    if (!correspondences(marker, centre, width, &c)) return INFINITY;
    double r[8];
    return residuals(trackerCameraParams()->projection, transform, c, r, nullptr) / 4.0;
}

double polishMarkerPose(const DetectedMarker* marker, const double centre[2], double width, double transform[3][4]) {
    Correspondences c;
    const double(*P)[4] = trackerCameraParams()->projection;
    double r[8];
    if (!correspondences(marker, centre, width, &c) || !allFinite(transform)) return INFINITY;
    double start = residuals(P, transform, c, r, nullptr);
    double pose[3][4];
    std::copy(&transform[0][0], &transform[0][0] + 12, &pose[0][0]);
    double error = start, damping = 1e-3;
    if (!std::isfinite(error)) return INFINITY;
    for (int i = 0; i < kMaxIterations; i++) {
        double before = error;
        if (!improve(P, c, pose, &error, &damping)) break;
        if (before - error <= 1e-12 * before) break;
    }
    if (error < start && allFinite(pose)) std::copy(&pose[0][0], &pose[0][0] + 12, &transform[0][0]);
    return std::min(error, start) / 4.0;
}

double estimatePrecisePose(const DetectedMarker* marker, const double centre[2], double width,
                           double transform[3][4]) {
    double pose[3][4];
    std::copy(&transform[0][0], &transform[0][0] + 12, &pose[0][0]);
    double error = estimateMarkerPose(marker, centre, width, pose);
    if (error < 0 || !std::isfinite(error) || !allFinite(pose)) return -1;
    double polished = polishMarkerPose(marker, centre, width, pose);
    if (std::isfinite(polished)) error = polished;
    std::copy(&pose[0][0], &pose[0][0] + 12, &transform[0][0]);
    return error;
}
