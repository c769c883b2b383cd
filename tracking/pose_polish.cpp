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

constexpr int kMaxParameters = 7;

struct PointSet {
    const double (*model)[3];
    const double (*image)[2];
    int n;
    const double (*widen)[2] = nullptr;  // per point, its image shift for a widening of one pixel
    int parameters() const { return widen ? 7 : 6; }
};

// The pose, and how far every marker's outline seems widened (pixels) when that is fitted too.
struct PoseState {
    double pose[3][4];
    double widening = 0.0;
};

// Camera point and projective image point of model point X; false when it is not in front.
bool projectPoint(const double P[3][4], const double pose[3][4], const double X[3], double rx[3], double h[3]) {
    for (int i = 0; i < 3; i++) rx[i] = pose[i][0] * X[0] + pose[i][1] * X[1] + pose[i][2] * X[2];
    const double cam[3] = {rx[0] + pose[0][3], rx[1] + pose[1][3], rx[2] + pose[2][3]};
    for (int i = 0; i < 3; i++) h[i] = P[i][0] * cam[0] + P[i][1] * cam[1] + P[i][2] * cam[2] + P[i][3];
    return h[2] > 0.0;
}

double residual(const PointSet& s, const PoseState& state, int k, int row, const double h[3]) {
    const double shift = s.widen ? state.widening * s.widen[k][row] : 0.0;
    return h[row] / h[2] + shift - s.image[k][row];
}

// Sum of squared residuals; infinite when a point is not in front.
double sumOfSquares(const double P[3][4], const PoseState& state, const PointSet& s) {
    double sum = 0.0;
    for (int k = 0; k < s.n; k++) {
        double rx[3], h[3];
        if (!projectPoint(P, state.pose, s.model[k], rx, h)) return INFINITY;
        const double du = residual(s, state, k, 0, h), dv = residual(s, state, k, 1, h);
        sum += du * du + dv * dv;
    }
    return sum;
}

// J^T J and J^T r of the residuals, with J the derivatives with respect to a small rotation w
// (R <- exp([w]x) R), the translation and the widening, summed point by point. False when a point
// is not in front.
bool normalEquations(const double P[3][4], const PoseState& state, const PointSet& s,
                     double jtj[kMaxParameters][kMaxParameters], double jtr[kMaxParameters]) {
    const int np = s.parameters();
    std::fill(&jtj[0][0], &jtj[0][0] + kMaxParameters * kMaxParameters, 0.0);
    std::fill(jtr, jtr + kMaxParameters, 0.0);
    for (int k = 0; k < s.n; k++) {
        double rx[3], h[3];
        if (!projectPoint(P, state.pose, s.model[k], rx, h)) return false;
        for (int row = 0; row < 2; row++) {
            double g[3];  // derivative of the image coordinate with respect to the camera point
            for (int i = 0; i < 3; i++) g[i] = (P[row][i] - h[row] / h[2] * P[2][i]) / h[2];
            // d(cam)/dw = -[rx]x, so dJ/dw = rx x g.
            const double J[kMaxParameters] = {rx[1] * g[2] - rx[2] * g[1], rx[2] * g[0] - rx[0] * g[2],
                                              rx[0] * g[1] - rx[1] * g[0], g[0], g[1], g[2],
                                              s.widen ? s.widen[k][row] : 0.0};
            const double r = residual(s, state, k, row, h);
            for (int i = 0; i < np; i++) {
                jtr[i] += J[i] * r;
                for (int j = 0; j < np; j++) jtj[i][j] += J[i] * J[j];
            }
        }
    }
    return true;
}

// Solves the symmetric positive definite n x n system a x = b by Cholesky; false when singular.
bool solveSymmetric(double a[kMaxParameters][kMaxParameters], const double b[], double x[], int n) {
    for (int j = 0; j < n; j++) {
        double d = a[j][j];
        for (int k = 0; k < j; k++) d -= a[j][k] * a[j][k];
        if (!(d > 0.0)) return false;
        a[j][j] = std::sqrt(d);
        for (int i = j + 1; i < n; i++) {
            double s = a[i][j];
            for (int k = 0; k < j; k++) s -= a[i][k] * a[j][k];
            a[i][j] = s / a[j][j];
        }
    }
    double y[kMaxParameters];
    for (int i = 0; i < n; i++) {
        double s = b[i];
        for (int k = 0; k < i; k++) s -= a[i][k] * y[k];
        y[i] = s / a[i][i];
    }
    for (int i = n - 1; i >= 0; i--) {
        double s = y[i];
        for (int k = i + 1; k < n; k++) s -= a[k][i] * x[k];
        x[i] = s / a[i][i];
    }
    return true;
}

void applyStep(const PoseState& state, const double step[kMaxParameters], int parameters, PoseState* out) {
    double dR[3][3];
    rotationFromVector(step, dR);
    for (int i = 0; i < 3; i++) {
        for (int j = 0; j < 3; j++)
            out->pose[i][j] = dR[i][0] * state.pose[0][j] + dR[i][1] * state.pose[1][j] + dR[i][2] * state.pose[2][j];
        out->pose[i][3] = state.pose[i][3] + step[3 + i];
    }
    out->widening = state.widening + (parameters > 6 ? step[6] : 0.0);
}

// One damped step that lowers the error; false when none does.
bool improve(const double P[3][4], const PointSet& s, PoseState* state, double* error, double* damping) {
    const int np = s.parameters();
    double jtj[kMaxParameters][kMaxParameters], jtr[kMaxParameters];
    if (!normalEquations(P, *state, s, jtj, jtr)) return false;
    for (int attempt = 0; attempt < kMaxDampingTries; attempt++, *damping *= 10.0) {
        double a[kMaxParameters][kMaxParameters], b[kMaxParameters], step[kMaxParameters];
        for (int i = 0; i < np; i++) {
            for (int j = 0; j < np; j++) a[i][j] = jtj[i][j];
            a[i][i] += *damping * jtj[i][i] + 1e-12;
            b[i] = -jtr[i];
        }
        if (!solveSymmetric(a, b, step, np)) continue;
        PoseState trial;
        applyStep(*state, step, np, &trial);
        const double e = sumOfSquares(P, trial, s);
        if (!(e < *error)) continue;
        *state = trial;
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
    PoseState state;
    std::copy(&transform[0][0], &transform[0][0] + 12, &state.pose[0][0]);
    return sumOfSquares(trackerCameraParams()->projection, state, PointSet{model, image, n}) / n;
}

namespace {

double polish(const PointSet& s, double transform[3][4], double* widening) {
    const double(*P)[4] = trackerCameraParams()->projection;
    if (s.n < 1 || !allFinite(transform)) return INFINITY;
    PoseState state;
    std::copy(&transform[0][0], &transform[0][0] + 12, &state.pose[0][0]);
    const double start = sumOfSquares(P, state, s);
    if (!std::isfinite(start)) return INFINITY;
    double error = start, damping = 1e-3;
    for (int i = 0; i < kMaxIterations; i++) {
        double before = error;
        if (!improve(P, s, &state, &error, &damping)) break;
        if (before - error <= 1e-12 * before) break;
    }
    const bool better = error < start && allFinite(state.pose) && std::isfinite(state.widening);
    if (better) std::copy(&state.pose[0][0], &state.pose[0][0] + 12, &transform[0][0]);
    if (widening) *widening = better ? state.widening : 0.0;
    return std::min(error, start) / s.n;
}

}  // namespace

double polishPose(const double model[][3], const double image[][2], int n, double transform[3][4]) {
    return polish(PointSet{model, image, n}, transform, nullptr);
}

double polishPoseWidened(const double model[][3], const double image[][2], const double widen[][2], int n,
                         double transform[3][4], double* widening) {
    return polish(PointSet{model, image, n, widen}, transform, widening);
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
