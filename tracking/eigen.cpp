// Symmetric eigen-decomposition: Householder tridiagonalisation, then shifted QR iteration.
#include "tracking/matrix.h"

#include <cmath>
#include <utility>

namespace {

double& at(Matrix* m, int r, int c) { return m->data[r * m->cols + c]; }

Vector viewOf(double* data, int length) { return Vector{data, length}; }

void reduceRow(Matrix* a, Vector* d, int k, int n) {
    double* vk = &at(a, k, 0);
    for (int i = k + 1; i < n; i++) {
        double sum = 0.0;
        for (int j = k + 1; j < i; j++) sum += at(a, j, i) * vk[j];
        for (int j = i; j < n; j++) sum += at(a, i, j) * vk[j];
        d->data[i] = sum;
    }
    Vector v = viewOf(vk + k + 1, n - k - 1);
    Vector dv = viewOf(d->data + k + 1, n - k - 1);
    double t = dotProduct(&v, &dv) / 2.0;
    for (int i = n - 1; i > k; i--) {
        double p = vk[i];
        double q = d->data[i] -= t * p;
        for (int j = i; j < n; j++) at(a, i, j) -= p * d->data[j] + q * vk[j];
    }
}

void accumulateTransform(Matrix* a, int n) {
    for (int k = n - 1; k >= 0; k--) {
        double* vk = &at(a, k, 0);
        if (k < n - 2) {
            for (int i = k + 1; i < n; i++) {
                double* row = &at(a, i, 0);
                Vector v = viewOf(vk + k + 1, n - k - 1);
                Vector r = viewOf(row + k + 1, n - k - 1);
                double t = dotProduct(&v, &r);
                for (int j = k + 1; j < n; j++) row[j] -= t * vk[j];
            }
        }
        for (int j = 0; j < n; j++) vk[j] = 0.0;
        vk[k] = 1.0;
    }
}

bool negligible(double w, double d1, double d2) { return std::fabs(w) <= 1e-6 * (std::fabs(d1) + std::fabs(d2)); }

void chooseRotation(double x, double y, double& c, double& s) {
    if (std::fabs(x) >= std::fabs(y)) {
        if (std::fabs(x) > 1e-16) {
            double t = -y / x;
            c = 1.0 / std::sqrt(t * t + 1.0);
            s = t * c;
        } else {
            c = 1.0;
            s = 0.0;
        }
    } else {
        double t = -x / y;
        s = 1.0 / std::sqrt(t * t + 1.0);
        c = t * s;
    }
}

void rotateRows(Matrix* a, int k, double c, double s) {
    for (int i = 0; i < a->cols; i++) {
        double x = at(a, k, i), y = at(a, k + 1, i);
        at(a, k, i) = c * x - s * y;
        at(a, k + 1, i) = s * x + c * y;
    }
}

void qrSweep(Matrix* a, double* d, double* w, int j, int h) {
    double r = (d[h - 1] - d[h]) / 2.0;
    double t = w[h] * w[h];
    double s = std::sqrt(r * r + t);
    if (r < 0.0) s = -s;
    double x = d[j] - d[h] + t / (r + s);
    double y = w[j + 1];
    for (int k = j; k < h; k++) {
        double c;
        chooseRotation(x, y, c, s);
        r = d[k] - d[k + 1];
        t = (r * s + 2.0 * c * w[k + 1]) * s;
        d[k] -= t;
        d[k + 1] += t;
        if (k > j) w[k] = c * w[k] - s * y;
        w[k + 1] += s * (c * r - 2.0 * s * w[k + 1]);
        rotateRows(a, k, c, s);
        if (k < h - 1) {
            x = w[k + 1];
            y = -s * w[k + 2];
            w[k + 2] *= c;
        }
    }
}

void sortDescending(Matrix* a, double* d, int n) {
    for (int i = 0; i < n - 1; i++) {
        int best = i;
        for (int k = i + 1; k < n; k++)
            if (d[k] > d[best]) best = k;
        if (best == i) continue;
        std::swap(d[i], d[best]);
        for (int c = 0; c < a->cols; c++) std::swap(at(a, i, c), at(a, best, c));
    }
}

}  // namespace

int tridiagonalizeSymmetric(Matrix* a, Vector* d, Vector* e) {
    int n = a->cols;
    if (n != a->rows || n != d->length || n != e->length + 1) return -1;
    for (int k = 0; k < n - 2; k++) {
        d->data[k] = at(a, k, k);
        Vector v = viewOf(&at(a, k, k + 1), n - k - 1);
        e->data[k] = householderReflect(&v);
        if (e->data[k] == 0.0) continue;
        reduceRow(a, d, k, n);
    }
    if (n >= 2) {
        d->data[n - 2] = at(a, n - 2, n - 2);
        e->data[n - 2] = at(a, n - 2, n - 1);
    }
    if (n >= 1) d->data[n - 1] = at(a, n - 1, n - 1);
    accumulateTransform(a, n);
    return 0;
}

int eigenSymmetric(Matrix* a, Vector* eigenvalues) {
    int n = a->rows;
    if (a->cols != n || n < 2 || eigenvalues->length != n) return -1;
    Vector* w = allocVector(n);
    if (!w) return -1;
    w->data[0] = 0.0;
    Vector offDiagonal = viewOf(w->data + 1, n - 1);
    if (tridiagonalizeSymmetric(a, eigenvalues, &offDiagonal) < 0) {
        freeMatrix(w);
        return -1;
    }
    double* d = eigenvalues->data;
    for (int h = n - 1; h > 0; h--) {
        int j = h;
        while (j > 0 && !negligible(w->data[j], d[j - 1], d[j])) j--;
        if (j == h) continue;
        for (int iter = 0; iter < 100; iter++) {
            qrSweep(a, d, w->data, j, h);
            if (negligible(w->data[h], d[h - 1], d[h])) break;
        }
    }
    sortDescending(a, d, n);
    freeMatrix(w);
    return 0;
}
