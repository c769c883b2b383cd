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

struct PointSet {
    const double (*model)[3];
    const double (*image)[2];
    int n;
};

// Camera point and projective image point of model point X; false when it is not in front.
bool projectPoint(const double P[3][4], const double pose[3][4], const double X[3], double rx[3], double h[3]) {
    for (int i = 0; i < 3; i++) rx[i] = pose[i][0] * X[0] + pose[i][1] * X[1] + pose[i][2] * X[2];
    const double cam[3] = {rx[0] + pose[0][3], rx[1] + pose[1][3], rx[2] + pose[2][3]};
    for (int i = 0; i < 3; i++) h[i] = P[i][0] * cam[0] + P[i][1] * cam[1] + P[i][2] * cam[2] + P[i][3];
    return h[2] > 0.0;
}

// Sum of squared residuals; infinite when a point is not in front.
double sumOfSquares(const double P[3][4], const double pose[3][4], const PointSet& s) {
    double sum = 0.0;
    for (int k = 0; k < s.n; k++) {
        double rx[3], h[3];
        if (!projectPoint(P, pose, s.model[k], rx, h)) return INFINITY;
        const double du = h[0] / h[2] - s.image[k][0], dv = h[1] / h[2] - s.image[k][1];
        sum += du * du + dv * dv;
    }
    return sum;
}

// J^T J and J^T r of the residuals, with J the derivatives with respect to a small rotation w
// (R <- exp([w]x) R) and the translation, summed point by point. False when a point is not in front.
bool normalEquations(const double P[3][4], const double pose[3][4], const PointSet& s, double jtj[6][6],
                     double jtr[6]) {
    std::fill(&jtj[0][0], &jtj[0][0] + 36, 0.0);
    std::fill(jtr, jtr + 6, 0.0);
    for (int k = 0; k < s.n; k++) {
        double rx[3], h[3];
        if (!projectPoint(P, pose, s.model[k], rx, h)) return false;
        const double proj[2] = {h[0] / h[2], h[1] / h[2]};
        for (int row = 0; row < 2; row++) {
            double g[3];  // derivative of the image coordinate with respect to the camera point
            for (int i = 0; i < 3; i++) g[i] = (P[row][i] - proj[row] * P[2][i]) / h[2];
            // d(cam)/dw = -[rx]x, so dJ/dw = rx x g.
            const double J[6] = {rx[1] * g[2] - rx[2] * g[1], rx[2] * g[0] - rx[0] * g[2], rx[0] * g[1] - rx[1] * g[0],
                                 g[0], g[1], g[2]};
            const double r = proj[row] - s.image[k][row];
            for (int i = 0; i < 6; i++) {
                jtr[i] += J[i] * r;
                for (int j = 0; j < 6; j++) jtj[i][j] += J[i] * J[j];
            }
        }
    }
    return true;
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

// One damped step that lowers the error; false when none does.
bool improve(const double P[3][4], const PointSet& s, double pose[3][4], double* error, double* damping) {
    double jtj[6][6], jtr[6];
    if (!normalEquations(P, pose, s, jtj, jtr)) return false;
    for (int attempt = 0; attempt < kMaxDampingTries; attempt++, *damping *= 10.0) {
        double a[6][6], b[6], step[6], trial[3][4];
        for (int i = 0; i < 6; i++) {
            for (int j = 0; j < 6; j++) a[i][j] = jtj[i][j];
            a[i][i] += *damping * jtj[i][i] + 1e-12;
            b[i] = -jtr[i];
        }
        if (!solve6(a, b, step)) continue;
        applyStep(pose, step, trial);
        double e = sumOfSquares(P, trial, s);
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

// The marker's four corners as model points (z = 0) and their image points; false for a
// marker without an orientation.
bool markerPoints(const DetectedMarker* m, const double centre[2], double width, double model[4][3],
                  double image[4][2]) {
    if (m->orientation < 0 || m->orientation > 3) return false;
    double plane[4][2];
    markerCorrespondences(m, centre, width, plane, image);
    for (int k = 0; k < 4; k++) model[k][0] = plane[k][0], model[k][1] = plane[k][1], model[k][2] = 0.0;
    return true;
}

}  // namespace

double poseReprojectionError(const double model[][3], const double image[][2], int n, const double transform[3][4]) {
    if (n < 1) return INFINITY;
    return sumOfSquares(trackerCameraParams()->projection, transform, PointSet{model, image, n}) / n;
}

double cornerReprojectionError(const DetectedMarker* marker, const double centre[2], double width,
                               const double transform[3][4]) {
    double model[4][3], image[4][2];
    if (!markerPoints(marker, centre, width, model, image)) return INFINITY;
    return poseReprojectionError(model, image, 4, transform);
}

double polishPose(const double model[][3], const double image[][2], int n, double transform[3][4]) {
    const double(*P)[4] = trackerCameraParams()->projection;
    const PointSet s{model, image, n};
    if (n < 1 || !allFinite(transform)) return INFINITY;
    const double start = sumOfSquares(P, transform, s);
    if (!std::isfinite(start)) return INFINITY;
    double pose[3][4];
    std::copy(&transform[0][0], &transform[0][0] + 12, &pose[0][0]);
    double error = start, damping = 1e-3;
    for (int i = 0; i < kMaxIterations; i++) {
        double before = error;
        if (!improve(P, s, pose, &error, &damping)) break;
        if (before - error <= 1e-12 * before) break;
    }
    if (error < start && allFinite(pose)) std::copy(&pose[0][0], &pose[0][0] + 12, &transform[0][0]);
    return std::min(error, start) / n;
}

double polishMarkerPose(const DetectedMarker* marker, const double centre[2], double width, double transform[3][4]) {
    double model[4][3], image[4][2];
    if (!markerPoints(marker, centre, width, model, image)) return INFINITY;
    return polishPose(model, image, 4, transform);
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
