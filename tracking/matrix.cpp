#include "tracking/matrix.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <utility>

namespace {

double& at(Matrix* m, int r, int c) { return m->data[r * m->cols + c]; }
double at(const Matrix* m, int r, int c) { return m->data[r * m->cols + c]; }

template <typename T>
T* allocRecord(int count) {
    if (count <= 0) return nullptr;
    T* record = static_cast<T*>(std::malloc(sizeof(T)));
    if (!record) return nullptr;
    record->data = static_cast<double*>(std::malloc(sizeof(double) * static_cast<size_t>(count)));
    if (!record->data) {
        std::free(record);
        return nullptr;
    }
    return record;
}

void swapRows(Matrix* m, int r1, int r2, int n) {
    for (int k = 0; k < n; k++) std::swap(at(m, r1, k), at(m, r2, k));
}

int findPivotRow(const Matrix* m, int from, int n) {
    int best = from;
    double bestValue = std::fabs(at(m, from, 0));
    for (int j = from + 1; j < n; j++) {
        if (std::fabs(at(m, j, 0)) > bestValue) {
            bestValue = std::fabs(at(m, j, 0));
            best = j;
        }
    }
    return bestValue <= 1e-10 ? -1 : best;
}

void eliminateShifted(Matrix* m, int i, int n) {
    double v = at(m, i, 0);
    for (int k = 0; k < n - 1; k++) at(m, i, k) = at(m, i, k + 1) / v;
    at(m, i, n - 1) = 1.0 / v;
    for (int j = 0; j < n; j++) {
        if (j == i) continue;
        double u = at(m, j, 0);
        for (int k = 0; k < n - 1; k++) at(m, j, k) = at(m, j, k + 1) - u * at(m, i, k);
        at(m, j, n - 1) = -u * at(m, i, n - 1);
    }
}

void unscrambleColumns(Matrix* m, int* perm, int n) {
    for (int i = 0; i < n; i++) {
        int j = i;
        while (j < n && perm[j] != i) j++;
        if (j == n) continue;
        perm[j] = perm[i];
        for (int r = 0; r < n; r++) std::swap(at(m, r, j), at(m, r, i));
    }
}

}  // namespace

Matrix* allocMatrix(int rows, int cols) {
    if (rows <= 0 || cols <= 0) return nullptr;
    Matrix* m = allocRecord<Matrix>(rows * cols);
    if (!m) return nullptr;
    m->rows = rows;
    m->cols = cols;
    return m;
}

Vector* allocVector(int length) {
    Vector* v = allocRecord<Vector>(length);
    if (!v) return nullptr;
    v->length = length;
    return v;
}

int freeMatrix(Matrix* m) {
    if (!m) return 0;
    std::free(m->data);
    std::free(m);
    return 0;
}

int freeMatrix(Vector* v) {
    if (!v) return 0;
    std::free(v->data);
    std::free(v);
    return 0;
}

Matrix* cloneMatrix(const Matrix* source) {
    Matrix* m = allocMatrix(source->rows, source->cols);
    if (!m) return nullptr;
    if (copyMatrix(m, source) < 0) {
        freeMatrix(m);
        return nullptr;
    }
    return m;
}

int copyMatrix(Matrix* target, const Matrix* source) {
    if (target->rows != source->rows || target->cols != source->cols) return -1;
    for (int i = 0; i < source->rows * source->cols; i++) target->data[i] = source->data[i];
    return 0;
}

int multiplyMatrix(Matrix* dest, const Matrix* a, const Matrix* b) {
    if (a->cols != b->rows || dest->rows != a->rows || dest->cols != b->cols) return -1;
    for (int i = 0; i < a->rows; i++) {
        for (int j = 0; j < b->cols; j++) {
            double& sum = at(dest, i, j);
            sum = 0.0;
            for (int k = 0; k < a->cols; k++) sum += at(a, i, k) * at(b, k, j);
        }
    }
    return 0;
}

int invertMatrixInPlace(Matrix* m) {
    int n = m->rows;
    // Anything but a square of at most 50 would index outside the matrix or the table.
    if (n <= 0 || n > kMaxInvertDimension || m->cols != n) return -1;
    if (n == 1) {
        m->data[0] = 1.0 / m->data[0];
        return 0;
    }
    int perm[kMaxInvertDimension];
    for (int i = 0; i < n; i++) perm[i] = i;
    for (int i = 0; i < n; i++) {
        int pivot = findPivotRow(m, i, n);
        if (pivot < 0) return -1;
        std::swap(perm[i], perm[pivot]);
        swapRows(m, i, pivot, n);
        eliminateShifted(m, i, n);
    }
    unscrambleColumns(m, perm, n);
    return 0;
}

double dotProduct(const Vector* x, const Vector* y) {
    if (x->length != y->length) return std::numeric_limits<double>::quiet_NaN();
    double sum = 0.0;
    for (int i = 0; i < x->length; i++) sum += x->data[i] * y->data[i];
    return sum;
}

double householderReflect(Vector* x) {
    double s = std::sqrt(dotProduct(x, x));
    if (s == 0.0) return -s;
    if (x->data[0] < 0.0) s = -s;
    x->data[0] += s;
    double t = 1.0 / std::sqrt(x->data[0] * s);
    for (int i = 0; i < x->length; i++) x->data[i] *= t;
    return -s;
}
