#include "tracking/pose.h"

#include <cmath>
#include <initializer_list>

#include "tracking/camera.h"
#include "tracking/matrix.h"

namespace {

double fittedImage[kMaxPosePoints][2];
double centredModel[kMaxPosePoints][3];

int wrap4(int v) { return ((v % 4) + 4) % 4; }

double norm3(const double v[3]) { return std::sqrt(v[0] * v[0] + v[1] * v[1] + v[2] * v[2]); }

void cross3(const double a[3], const double b[3], double out[3]) {
    out[0] = a[1] * b[2] - a[2] * b[1];
    out[1] = a[2] * b[0] - a[0] * b[2];
    out[2] = a[0] * b[1] - a[1] * b[0];
}

int vanishingAxis(const double* l0, const double* l1, const double P[3][4], double axis[3]) {
    double vx = l0[1] * l1[2] - l0[2] * l1[1];
    double vy = l0[2] * l1[0] - l0[0] * l1[2];
    double vz = l0[0] * l1[1] - l0[1] * l1[0];
    axis[0] = P[1][1] * vx - P[0][1] * vy + (P[1][2] * P[0][1] - P[0][2] * P[1][1]) * vz;
    axis[1] = P[0][0] * vy - P[0][0] * P[1][2] * vz;
    axis[2] = P[0][0] * P[1][1] * vz;
    double length = norm3(axis);
    if (length == 0.0) return -1;
    for (int i = 0; i < 3; i++) axis[i] /= length;
    return 0;
}

bool projectBlock(const double P[3][4], const double x[3], double out[2]) {
    double s = P[2][0] * x[0] + P[2][1] * x[1] + P[2][2] * x[2];
    if (s == 0.0) return false;
    out[0] = (P[0][0] * x[0] + P[0][1] * x[1] + P[0][2] * x[2]) / s;
    out[1] = (P[1][0] * x[0] + P[1][1] * x[1] + P[1][2] * x[2]) / s;
    return true;
}

// The coordinates (i, j) solved for in terms of the free one f: the pair whose 2x2 determinant
// is largest in magnitude. The first non-zero one can be tiny, and dividing by it loses the
// roots (all real ones, for axes that are already perpendicular). Of equal ones the first in
// the order (x, y), (x, z), (y, z) wins. -1 when all are zero.
const int kCoordinatePairs[3][3] = {{0, 1, 2}, {0, 2, 1}, {1, 2, 0}};

int bestCoordinatePair(const double n[3], const double u[3]) {
    int best = -1;
    double largest = 0.0;
    for (int p = 0; p < 3; p++) {
        const int i = kCoordinatePairs[p][0], j = kCoordinatePairs[p][1];
        const double det = std::fabs(n[i] * u[j] - n[j] * u[i]);
        if (det > largest) largest = det, best = p;
    }
    return best;
}

// Unit vectors x in the plane of u and v (normal n) with u . x = g: the two roots of a quadratic,
// low root first. -1 when no real solution exists.
int turnedCandidates(const double n[3], const double u[3], double g, double low[3], double high[3]) {
    const int pair = bestCoordinatePair(n, u);
    if (pair < 0) return -1;
    const int i = kCoordinatePairs[pair][0], j = kCoordinatePairs[pair][1], f = kCoordinatePairs[pair][2];
    double det = n[i] * u[j] - n[j] * u[i];
    // x_i = a1 * x_f + b1, x_j = a2 * x_f + b2
    double a1 = (n[j] * u[f] - n[f] * u[j]) / det, b1 = -n[j] * g / det;
    double a2 = (u[i] * n[f] - n[i] * u[f]) / det, b2 = n[i] * g / det;
    double qa = a1 * a1 + a2 * a2 + 1.0, qb = a1 * b1 + a2 * b2, qc = b1 * b1 + b2 * b2 - 1.0;
    double disc = qb * qb - qa * qc;
    // Axes that are already perpendicular need no turn: the two roots coincide and rounding
    // can push the discriminant just below zero, which is no reason to give up. Its rounding
    // is that of the terms that make up qc (near 1 each), not of qc itself.
    const double scale = qb * qb + qa * (b1 * b1 + b2 * b2 + 1.0);
    if (disc < 0.0 && disc > -1e-12 * scale) disc = 0.0;
    if (disc < 0.0) return -1;
    double roots[2] = {(-qb - std::sqrt(disc)) / qa, (-qb + std::sqrt(disc)) / qa};
    double* outs[2] = {low, high};
    for (int r = 0; r < 2; r++) {
        outs[r][f] = roots[r];
        outs[r][i] = a1 * roots[r] + b1;
        outs[r][j] = a2 * roots[r] + b2;
    }
    return 0;
}

int solveTranslation(const double R[3][3], const double P[3][4], const double image[][2], const double model[][3],
                     int n, double t[3]) {
    Matrix* at = allocMatrix(3, 2 * n);
    Matrix* a = allocMatrix(2 * n, 3);
    Matrix* b = allocMatrix(2 * n, 1);
    Matrix* ata = allocMatrix(3, 3);
    Matrix* atb = allocMatrix(3, 1);
    Matrix* sol = allocMatrix(3, 1);
    int status = (at && a && b && ata && atb && sol) ? 0 : -1;
    for (int i = 0; i < n && status == 0; i++) {
        const double* X = model[i];
        double q[3];
        for (int r = 0; r < 3; r++) q[r] = R[r][0] * X[0] + R[r][1] * X[1] + R[r][2] * X[2];
        double u = image[i][0], v = image[i][1];
        double rows[2][3] = {{P[0][0], P[0][1], P[0][2] - u}, {0.0, P[1][1], P[1][2] - v}};
        b->data[2 * i] = u * q[2] - P[0][0] * q[0] - P[0][1] * q[1] - P[0][2] * q[2];
        b->data[2 * i + 1] = v * q[2] - P[1][1] * q[1] - P[1][2] * q[2];
        for (int r = 0; r < 2; r++)
            for (int c = 0; c < 3; c++) a->data[(2 * i + r) * 3 + c] = at->data[c * 2 * n + 2 * i + r] = rows[r][c];
    }
    if (status == 0) status = multiplyMatrix(ata, at, a);
    if (status == 0) status = multiplyMatrix(atb, at, b);
    if (status == 0) status = invertMatrixInPlace(ata);
    if (status == 0) status = multiplyMatrix(sol, ata, atb);
    if (status == 0)
        for (int i = 0; i < 3; i++) t[i] = sol->data[i];
    for (Matrix* m : {at, a, b, ata, atb, sol}) freeMatrix(m);
    return status;
}

}  // namespace

int orientEdgeDirection(const double from[2], const double P[3][4], double axis[3], const double to[2]) {
    Matrix* k = allocMatrix(3, 3);
    if (!k) return -1;
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) k->data[r * 3 + c] = P[r][c];
    int status = invertMatrixInPlace(k);
    double ray[3] = {10.0 * from[0], 10.0 * from[1], 10.0}, r0[3], r1[3];
    for (int r = 0; r < 3 && status == 0; r++) {
        r0[r] = k->data[r * 3] * ray[0] + k->data[r * 3 + 1] * ray[1] + k->data[r * 3 + 2] * ray[2];
        r1[r] = r0[r] + axis[r];
    }
    freeMatrix(k);
    if (status < 0) return -1;
    double p0[2], p1[2];
    if (!projectBlock(P, r0, p0) || !projectBlock(P, r1, p1)) return -1;
    if ((to[0] - from[0]) * (p1[0] - p0[0]) + (to[1] - from[1]) * (p1[1] - p0[1]) < 0.0)
        for (int i = 0; i < 3; i++) axis[i] = -axis[i];
    return 0;
}

int orthogonalizeAxes(double u[3], double v[3]) {
    double n[3];
    cross3(u, v, n);
    double length = norm3(n);
    if (length == 0.0) return -1;
    for (double& c : n) c /= length;
    double k = std::fabs(u[0] * v[0] + u[1] * v[1] + u[2] * v[2]);
    double g = (std::sqrt(1.0 + k) + std::sqrt(1.0 - k)) / 2.0;
    double uc[2][3], vc[2][3];
    if (turnedCandidates(n, u, g, uc[0], uc[1]) < 0 || turnedCandidates(n, v, g, vc[0], vc[1]) < 0) return -1;
    int bestU = 0, bestV = 0;
    double best = -1.0;
    for (int i = 0; i < 2; i++)
        for (int j = 0; j < 2; j++) {
            double dot = std::fabs(uc[i][0] * vc[j][0] + uc[i][1] * vc[j][1] + uc[i][2] * vc[j][2]);
            if (best < 0.0 || dot < best) best = dot, bestU = i, bestV = j;
        }
    for (int c = 0; c < 3; c++) u[c] = uc[bestU][c], v[c] = vc[bestV][c];
    return 0;
}

int initialRotationFromEdges(const DetectedMarker* marker, const double P[3][4], double R[3][3]) {
    int d = marker->orientation;
    double axis1[3], axis2[3], axis3[3];
    if (vanishingAxis(marker->lines[wrap4(4 - d)], marker->lines[wrap4(6 - d)], P, axis1) < 0) return -1;
    if (vanishingAxis(marker->lines[wrap4(5 - d)], marker->lines[wrap4(7 - d)], P, axis2) < 0) return -1;
    if (orientEdgeDirection(marker->corners[wrap4(4 - d)], P, axis1, marker->corners[wrap4(5 - d)]) < 0) return -1;
    if (orientEdgeDirection(marker->corners[wrap4(7 - d)], P, axis2, marker->corners[wrap4(4 - d)]) < 0) return -1;
    if (orthogonalizeAxes(axis1, axis2) < 0) return -1;
    cross3(axis1, axis2, axis3);
    double length = norm3(axis3);
    if (length == 0.0) return -1;
    for (int r = 0; r < 3; r++) {
        R[r][0] = axis1[r];
        R[r][1] = axis2[r];
        R[r][2] = axis3[r] / length;
    }
    return 0;
}

double refinePoseOnce(double R[3][3], const double P[3][4], const double image[][2], const double model[][3], int n,
                      double transform[3][4]) {
    if (n < 1 || n > kMaxPosePoints) return -1;
    // P projects to ideal coordinates, and the world is drawn with P over a frame the display has
    // already undistorted: the corners are fitted as they are, in ideal coordinates. Mapping them
    // back to observed ones would compare distorted points with an undistorted model.
    for (int i = 0; i < n; i++) {
        fittedImage[i][0] = image[i][0];
        fittedImage[i][1] = image[i][1];
    }
    double t[3];
    if (solveTranslation(R, P, fittedImage, model, n, t) < 0) return -1;
    searchRotation(R, t, P, model, fittedImage, n);
    if (solveTranslation(R, P, fittedImage, model, n, t) < 0) return -1;
    double err = searchRotation(R, t, P, model, fittedImage, n);
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 3; c++) transform[r][c] = R[r][c];
        transform[r][3] = t[r];
    }
    return err;
}

double poseFromCorrespondences(double R[3][3], const double image[][2], const double model[][2], int n,
                               double transform[3][4]) {
    if (n < 1 || n > kMaxPosePoints) return -1;
    double minX = 1e10, maxX = -1e10, minY = 1e10, maxY = -1e10;
    for (int i = 0; i < n; i++) {
        minX = std::fmin(minX, model[i][0]), maxX = std::fmax(maxX, model[i][0]);
        minY = std::fmin(minY, model[i][1]), maxY = std::fmax(maxY, model[i][1]);
    }
    double ox = -(minX + maxX) / 2.0, oy = -(minY + maxY) / 2.0;
    for (int i = 0; i < n; i++) {
        centredModel[i][0] = model[i][0] + ox;
        centredModel[i][1] = model[i][1] + oy;
        centredModel[i][2] = 0.0;
    }
    double result[3][4];
    double err = refinePoseOnce(R, trackerCameraParams()->projection, image, centredModel, n, result);
    if (err < 0) return err;
    for (int r = 0; r < 3; r++) {
        for (int c = 0; c < 4; c++) transform[r][c] = result[r][c];
        transform[r][3] += transform[r][0] * ox + transform[r][1] * oy;
    }
    return err;
}

void markerCorrespondences(const DetectedMarker* marker, const double centre[2], double width, double model[4][2],
                           double image[4][2]) {
    const double h = width * 0.5;
    const double corners[4][2] = {{centre[0] - h, centre[1] + h},
                                  {centre[0] + h, centre[1] + h},
                                  {centre[0] + h, centre[1] - h},
                                  {centre[0] - h, centre[1] - h}};
    for (int k = 0; k < 4; k++) {
        model[k][0] = corners[k][0];
        model[k][1] = corners[k][1];
        image[k][0] = marker->corners[wrap4(4 + k - marker->orientation)][0];
        image[k][1] = marker->corners[wrap4(4 + k - marker->orientation)][1];
    }
}

double estimateMarkerPose(const DetectedMarker* marker, const double centre[2], double width, double transform[3][4]) {
    double R[3][3];
    if (initialRotationFromEdges(marker, trackerCameraParams()->projection, R) < 0) return -1;
    double model[4][2], image[4][2];
    markerCorrespondences(marker, centre, width, model, image);
    double err = -1;
    for (int pass = 0; pass < 5; pass++) {
        err = poseFromCorrespondences(R, image, model, 4, transform);
        if (err < 1.0) break;
    }
    return err;
}
