#include <gtest/gtest.h>

#include <cmath>
#include <initializer_list>
#include <memory>

#include "tracking/matrix.h"

namespace {

struct MatrixDeleter {
    void operator()(Matrix* m) const { freeMatrix(m); }
    void operator()(Vector* v) const { freeMatrix(v); }
};
using MatrixPtr = std::unique_ptr<Matrix, MatrixDeleter>;
using VectorPtr = std::unique_ptr<Vector, MatrixDeleter>;

MatrixPtr makeMatrix(int rows, int cols, std::initializer_list<double> values) {
    MatrixPtr m(allocMatrix(rows, cols));
    int i = 0;
    for (double v : values) m->data[i++] = v;
    return m;
}

double element(const Matrix* m, int r, int c) { return m->data[r * m->cols + c]; }

TEST(MatrixInversion, IdentityAndRowExchangeAndScalar) {
    MatrixPtr identity = makeMatrix(3, 3, {1, 0, 0, 0, 1, 0, 0, 0, 1});
    ASSERT_EQ(invertMatrixInPlace(identity.get()), 0);
    for (int r = 0; r < 3; r++)
        for (int c = 0; c < 3; c++) EXPECT_DOUBLE_EQ(element(identity.get(), r, c), r == c ? 1.0 : 0.0);

    MatrixPtr swap = makeMatrix(2, 2, {0, 1, 1, 0});
    ASSERT_EQ(invertMatrixInPlace(swap.get()), 0);
    EXPECT_DOUBLE_EQ(element(swap.get(), 0, 1), 1.0);
    EXPECT_DOUBLE_EQ(element(swap.get(), 1, 0), 1.0);
    EXPECT_DOUBLE_EQ(element(swap.get(), 0, 0), 0.0);

    MatrixPtr scalar = makeMatrix(1, 1, {4});
    ASSERT_EQ(invertMatrixInPlace(scalar.get()), 0);
    EXPECT_DOUBLE_EQ(scalar->data[0], 0.25);
}

TEST(MatrixInversion, GeneralMatrixTimesInverseIsIdentity) {
    MatrixPtr a = makeMatrix(4, 4, {2, -1, 0, 3, 1, 5, 2, 0, 0, 3, -4, 1, 6, 0, 1, 2});
    MatrixPtr inverse(cloneMatrix(a.get()));
    ASSERT_EQ(invertMatrixInPlace(inverse.get()), 0);
    MatrixPtr product(allocMatrix(4, 4));
    ASSERT_EQ(multiplyMatrix(product.get(), a.get(), inverse.get()), 0);
    for (int r = 0; r < 4; r++)
        for (int c = 0; c < 4; c++) EXPECT_NEAR(element(product.get(), r, c), r == c ? 1.0 : 0.0, 1e-12);
}

TEST(MatrixInversion, RejectsSingularOversizedAndNonSquare) {
    // After the first step the best remaining pivot is 1e-11, below the 1e-10 limit.
    MatrixPtr nearlySingular = makeMatrix(2, 2, {1, 0, 0, 1e-11});
    EXPECT_EQ(invertMatrixInPlace(nearlySingular.get()), -1);
    MatrixPtr justAbove = makeMatrix(2, 2, {1, 0, 0, 2e-10});
    EXPECT_EQ(invertMatrixInPlace(justAbove.get()), 0);

    MatrixPtr big(allocMatrix(51, 51));
    for (int i = 0; i < 51 * 51; i++) big->data[i] = (i % 52 == 0) ? 1.0 : 0.0;
    EXPECT_EQ(invertMatrixInPlace(big.get()), -1);
    MatrixPtr largest(allocMatrix(50, 50));
    for (int i = 0; i < 50 * 50; i++) largest->data[i] = (i % 51 == 0) ? 2.0 : 0.0;
    EXPECT_EQ(invertMatrixInPlace(largest.get()), 0);
    EXPECT_DOUBLE_EQ(largest->data[0], 0.5);

    MatrixPtr wide = makeMatrix(2, 3, {1, 0, 0, 0, 1, 0});
    EXPECT_EQ(invertMatrixInPlace(wide.get()), -1);
}

TEST(MatrixProduct, ChecksShapesBeforeTouchingDest) {
    MatrixPtr a = makeMatrix(2, 3, {1, 2, 3, 4, 5, 6});
    MatrixPtr b = makeMatrix(2, 3, {1, 2, 3, 4, 5, 6});
    MatrixPtr dest = makeMatrix(2, 3, {7, 7, 7, 7, 7, 7});
    EXPECT_EQ(multiplyMatrix(dest.get(), a.get(), b.get()), -1);
    for (int i = 0; i < 6; i++) EXPECT_EQ(dest->data[i], 7.0);

    MatrixPtr bt = makeMatrix(3, 2, {1, 4, 2, 5, 3, 6});
    MatrixPtr wrongDest(allocMatrix(3, 3));
    EXPECT_EQ(multiplyMatrix(wrongDest.get(), a.get(), bt.get()), -1);
    MatrixPtr square(allocMatrix(2, 2));
    ASSERT_EQ(multiplyMatrix(square.get(), a.get(), bt.get()), 0);
    EXPECT_DOUBLE_EQ(element(square.get(), 0, 0), 14.0);
    EXPECT_DOUBLE_EQ(element(square.get(), 0, 1), 32.0);
    EXPECT_DOUBLE_EQ(element(square.get(), 1, 1), 77.0);
}

TEST(MatrixStorage, CopyCloneAndAllocationLimits) {
    MatrixPtr a = makeMatrix(2, 2, {1, 2, 3, 4});
    MatrixPtr clone(cloneMatrix(a.get()));
    ASSERT_NE(clone, nullptr);
    EXPECT_NE(clone->data, a->data);
    for (int i = 0; i < 4; i++) EXPECT_EQ(clone->data[i], a->data[i]);
    MatrixPtr other(allocMatrix(1, 4));
    EXPECT_EQ(copyMatrix(other.get(), a.get()), -1);
    EXPECT_EQ(allocMatrix(0, 3), nullptr);
    EXPECT_EQ(allocVector(-1), nullptr);
}

TEST(VectorOps, DotProductAndMismatchedLengths) {
    double x[3] = {1, 2, 3}, y[3] = {4, 5, 6};
    Vector vx{x, 3}, vy{y, 3}, shorter{y, 2};
    EXPECT_DOUBLE_EQ(dotProduct(&vx, &vy), 32.0);
    EXPECT_TRUE(std::isnan(dotProduct(&vx, &shorter)));
}

TEST(VectorOps, HouseholderReflectsOntoFirstAxis) {
    double zero[3] = {0, 0, 0};
    Vector vz{zero, 3};
    EXPECT_EQ(householderReflect(&vz), 0.0);
    EXPECT_EQ(zero[0], 0.0);

    const double original[3] = {-3, 1, 2};
    double v[3] = {-3, 1, 2};
    Vector vv{v, 3};
    double alpha = householderReflect(&vv);
    EXPECT_NEAR(std::fabs(alpha), std::sqrt(14.0), 1e-12);
    // (I - v v^T) x = alpha * e0, with v scaled so that v^T v = 2.
    double vtx = v[0] * original[0] + v[1] * original[1] + v[2] * original[2];
    EXPECT_NEAR(v[0] * v[0] + v[1] * v[1] + v[2] * v[2], 2.0, 1e-12);
    EXPECT_NEAR(original[0] - vtx * v[0], alpha, 1e-12);
    EXPECT_NEAR(original[1] - vtx * v[1], 0.0, 1e-12);
    EXPECT_NEAR(original[2] - vtx * v[2], 0.0, 1e-12);
}

TEST(EigenSymmetric, DiagonalMatrixSortsDescending) {
    MatrixPtr a = makeMatrix(3, 3, {1, 0, 0, 0, 3, 0, 0, 0, 2});
    VectorPtr values(allocVector(3));
    ASSERT_EQ(eigenSymmetric(a.get(), values.get()), 0);
    EXPECT_DOUBLE_EQ(values->data[0], 3.0);
    EXPECT_DOUBLE_EQ(values->data[1], 2.0);
    EXPECT_DOUBLE_EQ(values->data[2], 1.0);
    const int axis[3] = {1, 2, 0};
    for (int i = 0; i < 3; i++)
        for (int j = 0; j < 3; j++) EXPECT_NEAR(std::fabs(element(a.get(), i, j)), j == axis[i] ? 1.0 : 0.0, 1e-12);
}

TEST(EigenSymmetric, DenseMatrixRowsAreEigenvectors) {
    const double values[16] = {4, 1, -2, 2, 1, 2, 0, 1, -2, 0, 3, -2, 2, 1, -2, -1};
    MatrixPtr a = makeMatrix(4, 4, {4, 1, -2, 2, 1, 2, 0, 1, -2, 0, 3, -2, 2, 1, -2, -1});
    VectorPtr lambda(allocVector(4));
    ASSERT_EQ(eigenSymmetric(a.get(), lambda.get()), 0);
    for (int i = 0; i < 4; i++) {
        if (i > 0) {
            EXPECT_GE(lambda->data[i - 1], lambda->data[i]);
        }
        for (int r = 0; r < 4; r++) {
            double av = 0.0;
            for (int c = 0; c < 4; c++) av += values[r * 4 + c] * element(a.get(), i, c);
            EXPECT_NEAR(av, lambda->data[i] * element(a.get(), i, r), 1e-5);
        }
    }
    MatrixPtr tooSmall = makeMatrix(1, 1, {1});
    VectorPtr one(allocVector(1));
    EXPECT_EQ(eigenSymmetric(tooSmall.get(), one.get()), -1);
}

TEST(PrincipalComponents, PointsOnALine) {
    MatrixPtr points(allocMatrix(5, 2));
    for (int i = 0; i < 5; i++) {
        points->data[2 * i] = i - 1.0;
        points->data[2 * i + 1] = 2.0 * (i - 1.0) + 1.0;
    }
    MatrixPtr vectors(allocMatrix(2, 2));
    VectorPtr values(allocVector(2)), mean(allocVector(2));
    ASSERT_EQ(principalComponents(points.get(), vectors.get(), values.get(), mean.get()), 0);
    EXPECT_NEAR(std::fabs(vectors->data[0]), 1.0 / std::sqrt(5.0), 1e-9);
    EXPECT_NEAR(vectors->data[1] / vectors->data[0], 2.0, 1e-9);
    EXPECT_NEAR(values->data[0], 1.0, 1e-12);
    EXPECT_NEAR(values->data[1], 0.0, 1e-12);
    EXPECT_DOUBLE_EQ(mean->data[0], 1.0);
    EXPECT_DOUBLE_EQ(mean->data[1], 3.0);
}

TEST(PrincipalComponents, TwoPointsWorkOnePointFailsAndShapesAreChecked) {
    MatrixPtr two = makeMatrix(2, 2, {0, 0, 3, 4});
    MatrixPtr vectors(allocMatrix(2, 2));
    VectorPtr values(allocVector(2)), mean(allocVector(2));
    ASSERT_EQ(principalComponents(two.get(), vectors.get(), values.get(), mean.get()), 0);
    EXPECT_NEAR(std::fabs(vectors->data[0]), 0.6, 1e-12);
    EXPECT_NEAR(std::fabs(vectors->data[1]), 0.8, 1e-12);
    EXPECT_DOUBLE_EQ(mean->data[0], 1.5);

    MatrixPtr one = makeMatrix(1, 2, {1, 1});
    EXPECT_EQ(principalComponents(one.get(), vectors.get(), values.get(), mean.get()), -1);
    VectorPtr wrongMean(allocVector(3));
    EXPECT_EQ(principalComponents(two.get(), vectors.get(), values.get(), wrongMean.get()), -1);
}

TEST(PrincipalComponents, FewerPointsThanDimensionsAndIdenticalPoints) {
    // Two points in three dimensions: the Gram matrix of the rows is used.
    MatrixPtr points = makeMatrix(2, 3, {1, 2, 3, 3, 2, 1});
    MatrixPtr vectors(allocMatrix(2, 3));
    VectorPtr values(allocVector(2)), mean(allocVector(3));
    ASSERT_EQ(principalComponents(points.get(), vectors.get(), values.get(), mean.get()), 0);
    EXPECT_NEAR(std::fabs(vectors->data[0]), 1.0 / std::sqrt(2.0), 1e-9);
    EXPECT_NEAR(vectors->data[1], 0.0, 1e-9);
    EXPECT_NEAR(vectors->data[2], -vectors->data[0], 1e-9);
    EXPECT_NEAR(values->data[0], 1.0, 1e-12);

    MatrixPtr same = makeMatrix(3, 2, {5, 5, 5, 5, 5, 5});
    MatrixPtr v2(allocMatrix(2, 2));
    VectorPtr l2(allocVector(2)), m2(allocVector(2));
    ASSERT_EQ(principalComponents(same.get(), v2.get(), l2.get(), m2.get()), 0);
    EXPECT_FALSE(std::isnan(l2->data[0]));
    EXPECT_EQ(l2->data[0], 0.0);
}

}  // namespace
