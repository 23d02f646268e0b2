#include "Libs/Math/Matrix.h"

#include <Eigen/Dense>
#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include <random>

namespace {

const float pi = 3.14159265358979f;

template <int N, typename M> Eigen::Matrix<double, N, N> toEigenOfSize(const M& m)
{
    Eigen::Matrix<double, N, N> out;
    for (int i = 0; i < N; ++i)
        for (int j = 0; j < N; ++j)
            out(i, j) = m(i, j);
    return out;
}
Eigen::Matrix4d toEigen(const Matrix4& m) { return toEigenOfSize<4>(m); }
Eigen::Matrix3d toEigen(const Matrix3& m) { return toEigenOfSize<3>(m); }

Eigen::Vector3d toEigen(const Vec3& v) { return Eigen::Vector3d(v[0], v[1], v[2]); }

template <typename A, typename B> double maxDifference(const A& a, const B& b) { return (a - b).cwiseAbs().maxCoeff(); }

class MatrixOnRandomInputs : public ::testing::Test {
protected:
    float uniform(float lo, float hi) { return std::uniform_real_distribution<float>(lo, hi)(engine); }
    Vec3 randomVec3(float range) { return Vec3(uniform(-range, range), uniform(-range, range), uniform(-range, range)); }
    std::mt19937 engine{20240611u};
};

} // namespace

TEST(Matrix, LayoutIsColumnAfterColumn)
{
    Matrix4 m;
    for (int j = 0; j < 4; ++j)
        for (int i = 0; i < 4; ++i)
            m(i, j) = float(10 * i + j);
    // Element (row i, column j) is float number 4j + i, so a translation sits in 12, 13, 14.
    for (int k = 0; k < 16; ++k)
        EXPECT_EQ(m.ptr()[k], float(10 * (k % 4) + k / 4));
    Matrix4 t = affineTransform(Matrix3(1.0f), Vec3(5.0f, 6.0f, 7.0f));
    EXPECT_EQ(t.ptr()[12], 5.0f);
    EXPECT_EQ(t.ptr()[13], 6.0f);
    EXPECT_EQ(t.ptr()[14], 7.0f);
    EXPECT_EQ(t.ptr()[15], 1.0f);
}

TEST_F(MatrixOnRandomInputs, ProductsAndTransposeMatchEigen)
{
    for (int round = 0; round < 50; ++round) {
        Matrix4 a, b;
        for (int k = 0; k < 16; ++k) {
            a.ptr()[k] = uniform(-2.0f, 2.0f);
            b.ptr()[k] = uniform(-2.0f, 2.0f);
        }
        Vec4 v(uniform(-3, 3), uniform(-3, 3), uniform(-3, 3), uniform(-3, 3));
        EXPECT_LT(maxDifference(toEigen(a * b), toEigen(a) * toEigen(b)), 1e-5);
        EXPECT_LT(maxDifference(toEigen(a.transpose()), toEigen(a).transpose()), 0.0 + 1e-12);
        Vec4 av = a * v;
        Eigen::Vector4d expected = toEigen(a) * Eigen::Vector4d(v[0], v[1], v[2], v[3]);
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(av[i], expected[i], 1e-5);
    }
}

TEST_F(MatrixOnRandomInputs, PointTransformDividesByW)
{
    for (int round = 0; round < 50; ++round) {
        Matrix4 m;
        for (int k = 0; k < 16; ++k)
            m.ptr()[k] = uniform(-1.0f, 1.0f);
        m(3, 3) = 4.0f; // keeps w away from 0
        Vec3 p = randomVec3(1.0f);
        Eigen::Vector4d q = toEigen(m) * Eigen::Vector4d(p[0], p[1], p[2], 1.0);
        Vec3 got = m * p;
        for (int i = 0; i < 3; ++i)
            EXPECT_NEAR(got[i], q[i] / q[3], 1e-5);
    }
}

TEST_F(MatrixOnRandomInputs, InverseOf4x4MatchesEigen)
{
    for (int round = 0; round < 200; ++round) {
        Matrix4 m;
        for (int k = 0; k < 16; ++k)
            m.ptr()[k] = uniform(-1.0f, 1.0f);
        Eigen::Matrix4d reference = toEigen(m);
        double conditioning = reference.jacobiSvd().singularValues().minCoeff();
        if (conditioning < 0.05)
            continue; // ill-conditioned: float elimination need not agree closely
        Matrix4 work = m, inverse;
        ASSERT_EQ(invertMatrix(work, inverse), 0);
        EXPECT_LT(maxDifference(toEigen(inverse), reference.inverse()), 2e-3) << "round " << round;
    }
}

TEST(Matrix, InverseEdgeCases)
{
    Matrix4 identity(1.0f), work = identity, out;
    EXPECT_EQ(invertMatrix(work, out), 0);
    EXPECT_EQ(out, identity);

    Matrix4 singular(1.0f);
    singular[2] = Vec4(0.0f);
    work = singular;
    EXPECT_EQ(invertMatrix(work, out), -1);

    // Zero diagonal: only pivoting gets through, and the inverse of a permutation is its transpose.
    Matrix4 permutation(0.0f);
    permutation(0, 2) = permutation(1, 0) = permutation(2, 3) = permutation(3, 1) = 1.0f;
    work = permutation;
    EXPECT_EQ(invertMatrix(work, out), 0);
    EXPECT_EQ(out, permutation.transpose());

    Matrix4 tiny(1e-9f);
    work = tiny;
    EXPECT_EQ(invertMatrix(work, out), -1);
}

TEST_F(MatrixOnRandomInputs, DoubleInverseAndRowVectorProductMatchEigen)
{
    std::uniform_real_distribution<double> d(-1.0, 1.0);
    for (int round = 0; round < 200; ++round) {
        Matrix<double, 3, 3> m;
        Eigen::Matrix3d reference;
        for (int i = 0; i < 3; ++i)
            for (int j = 0; j < 3; ++j)
                reference(i, j) = m(i, j) = d(engine);
        if (std::fabs(reference.determinant()) < 1e-3)
            continue;
        Matrix<double, 3, 3> work = m, inverse;
        ASSERT_EQ(invertMatrix(work, inverse), 0);
        Eigen::Matrix3d expected = reference.inverse();
        EXPECT_LT(maxDifference(Eigen::Map<const Eigen::Matrix3d>(inverse.ptr()), expected),
                  1e-9 * expected.cwiseAbs().maxCoeff());

        Vec3d v(d(engine), d(engine), d(engine));
        Vec3d row = v * inverse;
        Eigen::RowVector3d expectedRow = Eigen::RowVector3d(v[0], v[1], v[2]) * expected;
        for (int j = 0; j < 3; ++j)
            EXPECT_NEAR(row[j], expectedRow[j], 1e-9 * (1.0 + std::fabs(expectedRow[j])));
    }
}

TEST(Matrix, DoubleInverseEdgeCases)
{
    Matrix<double, 3, 3> permutation(0.0), work, out;
    permutation(0, 1) = permutation(1, 2) = permutation(2, 0) = 1.0;
    work = permutation;
    EXPECT_EQ(invertMatrix(work, out), 0);
    EXPECT_EQ(out, permutation.transpose());

    Matrix<double, 3, 3> singular(1.0);
    singular(0, 0) = singular(0, 1) = singular(1, 0) = singular(1, 1) = 1.0; // two equal rows
    work = singular;
    EXPECT_EQ(invertMatrix(work, out), -1);
}

TEST_F(MatrixOnRandomInputs, RotationMatchesEigenAngleAxisTurnedClockwise)
{
    for (int round = 0; round < 200; ++round) {
        Vec3 axis = randomVec3(5.0f);
        if (length(axis) < 0.1)
            continue;
        float angle = uniform(-7.0f, 7.0f);
        // Clockwise seen from the axis' tip is Eigen's counter-clockwise by -angle.
        Eigen::Matrix3d expected = Eigen::AngleAxisd(-double(angle), toEigen(axis).normalized()).toRotationMatrix();
        EXPECT_LT(maxDifference(toEigen(rotationMatrix3(axis, angle)), expected), 2e-6);
        Matrix4 four = rotationMatrix4(axis, angle);
        EXPECT_LT(maxDifference(toEigen(four).topLeftCorner<3, 3>(), expected), 2e-6);
        EXPECT_EQ(four[3], Vec4(0.0f, 0.0f, 0.0f, 1.0f));
        EXPECT_EQ(Vec3(four(3, 0), four(3, 1), four(3, 2)), Vec3(0.0f));
    }
}

TEST(Matrix, RotationEdgeCases)
{
    Matrix3 quarter = rotationMatrix3(Vec3(0.0f, 0.0f, 1.0f), pi / 2);
    Vec3 x = quarter * Vec3(1.0f, 0.0f, 0.0f), y = quarter * Vec3(0.0f, 1.0f, 0.0f);
    EXPECT_NEAR(x[0], 0.0f, 1e-6);
    EXPECT_NEAR(x[1], -1.0f, 1e-6);
    EXPECT_NEAR(y[0], 1.0f, 1e-6);
    EXPECT_NEAR(y[1], 0.0f, 1e-6);
    for (float a : {0.3f, -2.0f, 4.0f})
        EXPECT_EQ(rotationMatrix3(Vec3(0.0f, 0.0f, 5.0f), a), rotationMatrix3(Vec3(0.0f, 0.0f, 1.0f), a));
}

TEST_F(MatrixOnRandomInputs, OrthonormalBasisIsRightHandedWithWAlongTheAxis)
{
    const Vec3 fixed[] = {Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 1), Vec3(0, 0, -3), Vec3(1, 1, 1), Vec3(1, 1, 0)};
    for (int round = 0; round < 106; ++round) {
        Vec3 axis = round < 6 ? fixed[round] : randomVec3(3.0f);
        Vec3 u, v, w;
        orthonormalBasis(axis, u, v, w);
        Eigen::Matrix3d basis;
        basis << toEigen(u), toEigen(v), toEigen(w);
        EXPECT_LT(maxDifference(basis.transpose() * basis, Eigen::Matrix3d::Identity()), 1e-6);
        EXPECT_NEAR(basis.determinant(), 1.0, 1e-6);
        EXPECT_LT(maxDifference(toEigen(w), toEigen(axis).normalized()), 1e-6);
    }
}

TEST_F(MatrixOnRandomInputs, HeadingPitchBankMatchesEigenComposition)
{
    for (int round = 0; round < 200; ++round) {
        Vec3 t = randomVec3(10.0f), s(uniform(0.1f, 3.0f), uniform(0.1f, 3.0f), uniform(0.1f, 3.0f));
        float h = uniform(-4, 4), p = uniform(-4, 4), b = uniform(-4, 4);
        Eigen::Affine3d expected = Eigen::Translation3d(toEigen(t)) * Eigen::AngleAxisd(h, Eigen::Vector3d::UnitY()) *
                                   Eigen::AngleAxisd(p, Eigen::Vector3d::UnitX()) *
                                   Eigen::AngleAxisd(b, Eigen::Vector3d::UnitZ()) * Eigen::Scaling(toEigen(s));
        Matrix4 got = Vostrel::transformMatrixFromHpb(t[0], t[1], t[2], h, p, b, s[0], s[1], s[2]);
        EXPECT_LT(maxDifference(toEigen(got), expected.matrix()), 1e-5);
    }
}

TEST(Matrix, HeadingQuarterTurnMapsZToX)
{
    Matrix4 m = Vostrel::transformMatrixFromHpb(0, 0, 0, pi / 2, 0, 0, 1, 1, 1);
    Vec3 z = m * Vec3(0.0f, 0.0f, 1.0f);
    EXPECT_NEAR(z[0], 1.0f, 1e-6);
    EXPECT_NEAR(z[1], 0.0f, 1e-6);
    EXPECT_NEAR(z[2], 0.0f, 1e-6);
}

TEST_F(MatrixOnRandomInputs, LookAtAnglesTurnZTowardsTheTarget)
{
    for (int round = 0; round < 200; ++round) {
        Vec3 from = randomVec3(10.0f), to = randomVec3(10.0f);
        Vec3 d = to - from;
        if (length(d) < 0.1)
            continue;
        float bank = uniform(-3, 3);
        Vec3 angles = Vostrel::lookAtAngles(bank, from, to);
        EXPECT_EQ(angles[2], bank);
        Matrix4 m = Vostrel::transformMatrixFromHpb(0, 0, 0, angles[0], angles[1], angles[2], 1, 1, 1);
        Eigen::Vector3d direction = toEigen(m * Vec3(0.0f, 0.0f, 1.0f));
        EXPECT_LT(maxDifference(direction, toEigen(d).normalized()), 1e-5);
    }
}

TEST(Matrix, LookAtAngleEdgeCases)
{
    Vec3 origin(0.0f);
    Vec3 sideways = Vostrel::lookAtAngles(0.0f, origin, Vec3(1.0f, 0.0f, 0.0f));
    EXPECT_NEAR(sideways[0], pi / 2, 1e-6);
    EXPECT_EQ(sideways[1], 0.0f);
    Vec3 above = Vostrel::lookAtAngles(0.5f, Vec3(1.0f, 2.0f, 3.0f), Vec3(1.0f, 7.0f, 3.0f));
    EXPECT_NEAR(above[1], -pi / 2, 1e-6);
    EXPECT_EQ(above[2], 0.5f);
}

TEST(Vec, ArithmeticAndLength)
{
    Vec3 a(1.0f, 2.0f, 2.0f), b(0.5f, -1.0f, 4.0f);
    EXPECT_EQ(a + b, Vec3(1.5f, 1.0f, 6.0f));
    EXPECT_EQ(a - b, Vec3(0.5f, 3.0f, -2.0f));
    Vec3 c = a;
    c *= 2.0f;
    EXPECT_EQ(c, Vec3(2.0f, 4.0f, 4.0f));
    EXPECT_EQ(dot(a, b), 0.5f - 2.0f + 8.0f);
    EXPECT_EQ(length(a), 3.0);
    EXPECT_EQ(length(Vec4(1.0f, 1.0f, 1.0f, 1.0f)), 2.0);
    Vec3 n = normalize(a);
    EXPECT_NEAR(length(n), 1.0, 1e-7);
    EXPECT_EQ(n, Vec3(float(1.0 / 3.0), float(2.0 / 3.0), float(2.0 / 3.0)));
    // A double scale is applied in double and rounded once per component.
    Vec3 third = Vec3(1.0f, 2.0f, 3.0f) * (1.0 / 3.0);
    EXPECT_EQ(third, Vec3(float(1.0 / 3.0), float(2.0 / 3.0), 1.0f));
    std::ostringstream out;
    out << Vec2(1.5f, -2.0f);
    EXPECT_EQ(out.str(), "(1.5 -2)");
}

TEST(VecDeathTest, IndexOutOfRangeStopsTheProgram)
{
    Vec3 v(0.0f);
    int index = 3;
    EXPECT_DEATH(v[index] = 1.0f, "i >= 0 && i < dim");
    Matrix3 m(1.0f);
    EXPECT_DEATH(m[index][0] = 1.0f, "i >= 0 && i < N");
}
