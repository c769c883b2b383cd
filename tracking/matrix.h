// Small dense linear algebra for the tracker: heap matrices and vectors of doubles,
// product, in-place inversion and a principal component analysis of point sets.
#pragma once

struct Matrix {
    double* data;  // rows * cols doubles, row-major
    int rows;
    int cols;
};

struct Vector {
    double* data;  // length doubles; a view points into another array and is never released
    int length;
};

Matrix* allocMatrix(int rows, int cols);
Vector* allocVector(int length);
int freeMatrix(Matrix* m);
int freeMatrix(Vector* v);
Matrix* cloneMatrix(const Matrix* source);
int copyMatrix(Matrix* target, const Matrix* source);
int multiplyMatrix(Matrix* dest, const Matrix* a, const Matrix* b);
int invertMatrixInPlace(Matrix* m);

// Mismatched lengths give a quiet NaN instead of a value that could pass as real.
double dotProduct(const Vector* x, const Vector* y);
double householderReflect(Vector* x);
int tridiagonalizeSymmetric(Matrix* a, Vector* d, Vector* e);
int eigenSymmetric(Matrix* a, Vector* eigenvalues);

int columnMean(const Matrix* x, Vector* mean);
int subtractFromRows(Matrix* x, const Vector* v);
int rowGram(const Matrix* x, Matrix* gram);
int columnGram(const Matrix* x, Matrix* gram);
int covarianceEigen(const Matrix* y, Matrix* eigenvectors, Vector* eigenvalues);
int principalComponents(const Matrix* x, Matrix* eigenvectors, Vector* eigenvalues, Vector* mean);

// Largest dimension accepted by invertMatrixInPlace (size of its permutation table).
constexpr int kMaxInvertDimension = 50;
