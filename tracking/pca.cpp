// Principal component analysis of point sets (rows of a matrix).
#include "tracking/matrix.h"

#include <algorithm>
#include <cmath>

namespace {

double& at(Matrix* m, int r, int c) { return m->data[r * m->cols + c]; }
double at(const Matrix* m, int r, int c) { return m->data[r * m->cols + c]; }

void zeroFrom(Matrix* eigenvectors, Vector* eigenvalues, int from) {
    for (int i = from; i < eigenvalues->length; i++) {
        eigenvalues->data[i] = 0.0;
        for (int j = 0; j < eigenvectors->cols; j++) at(eigenvectors, i, j) = 0.0;
    }
}

void copyEigenvectorRows(const Matrix* gram, Matrix* eigenvectors, Vector* eigenvalues) {
    for (int i = 0; i < eigenvalues->length; i++) {
        if (eigenvalues->data[i] < 1e-16) {
            zeroFrom(eigenvectors, eigenvalues, i);
            return;
        }
        for (int j = 0; j < eigenvectors->cols; j++) at(eigenvectors, i, j) = at(gram, i, j);
    }
}

// With fewer points than dimensions the eigenvectors of Y*Yt are mapped back through Y.
void mapEigenvectorRows(const Matrix* y, const Matrix* gram, Matrix* eigenvectors, Vector* eigenvalues) {
    for (int i = 0; i < eigenvalues->length; i++) {
        double lambda = eigenvalues->data[i];
        if (lambda < 1e-16) {
            zeroFrom(eigenvectors, eigenvalues, i);
            return;
        }
        double scale = 1.0 / std::sqrt(std::fabs(lambda));
        for (int j = 0; j < y->cols; j++) {
            double sum = 0.0;
            for (int r = 0; r < y->rows; r++) sum += at(y, r, j) * at(gram, i, r);
            at(eigenvectors, i, j) = scale * sum;
        }
    }
}

void mirrorUpperTriangle(Matrix* g) {
    for (int i = 0; i < g->rows; i++)
        for (int j = 0; j < i; j++) at(g, i, j) = at(g, j, i);
}

}  // namespace

int columnMean(const Matrix* x, Vector* mean) {
    if (x->rows <= 0 || mean->length != x->cols) return -1;
    for (int j = 0; j < x->cols; j++) {
        double sum = 0.0;
        for (int i = 0; i < x->rows; i++) sum += at(x, i, j);
        mean->data[j] = sum / x->rows;
    }
    return 0;
}

int subtractFromRows(Matrix* x, const Vector* v) {
    if (v->length != x->cols) return -1;
    for (int i = 0; i < x->rows; i++)
        for (int j = 0; j < x->cols; j++) at(x, i, j) -= v->data[j];
    return 0;
}

int rowGram(const Matrix* x, Matrix* gram) {
    if (gram->rows != x->rows || gram->cols != x->rows) return -1;
    for (int i = 0; i < x->rows; i++) {
        for (int j = i; j < x->rows; j++) {
            Vector a{x->data + i * x->cols, x->cols}, b{x->data + j * x->cols, x->cols};
            at(gram, i, j) = dotProduct(&a, &b);
        }
    }
    mirrorUpperTriangle(gram);
    return 0;
}

int columnGram(const Matrix* x, Matrix* gram) {
    if (gram->rows != x->cols || gram->cols != x->cols) return -1;
    for (int i = 0; i < x->cols; i++) {
        for (int j = i; j < x->cols; j++) {
            double sum = 0.0;
            for (int r = 0; r < x->rows; r++) sum += at(x, r, i) * at(x, r, j);
            at(gram, i, j) = sum;
        }
    }
    mirrorUpperTriangle(gram);
    return 0;
}

int covarianceEigen(const Matrix* y, Matrix* eigenvectors, Vector* eigenvalues) {
    int k = std::min(y->rows, y->cols);
    Matrix* gram = allocMatrix(k, k);
    if (!gram) return -1;
    bool fewPoints = y->rows < y->cols;
    int status = fewPoints ? rowGram(y, gram) : columnGram(y, gram);
    if (status == 0) status = eigenSymmetric(gram, eigenvalues);
    if (status == 0) {
        if (fewPoints)
            mapEigenvectorRows(y, gram, eigenvectors, eigenvalues);
        else
            copyEigenvectorRows(gram, eigenvectors, eigenvalues);
    }
    freeMatrix(gram);
    return status;
}

int principalComponents(const Matrix* x, Matrix* eigenvectors, Vector* eigenvalues, Vector* mean) {
    int m = x->rows, n = x->cols, k = std::min(m, n);
    if (m <= 1 || n <= 1 || eigenvectors->cols != n || eigenvectors->rows != k || eigenvalues->length != k ||
        mean->length != n)
        return -1;
    Matrix* y = cloneMatrix(x);
    if (!y) return -1;
    columnMean(y, mean);
    subtractFromRows(y, mean);
    double scale = std::sqrt(static_cast<double>(m));
    for (int i = 0; i < m * n; i++) y->data[i] /= scale;
    int status = covarianceEigen(y, eigenvectors, eigenvalues);
    freeMatrix(y);
    double sum = 0.0;
    for (int i = 0; i < k; i++) sum += eigenvalues->data[i];
    // Identical points have no variance at all; leave the zero shares rather than divide by zero.
    if (sum != 0.0)
        for (int i = 0; i < k; i++) eigenvalues->data[i] /= sum;
    return status;
}
