#pragma once

#include "Libs/Math/Vec.h"

#include <cmath>
#include <utility>

// R rows and C columns, stored column after column; element (i, j) is
// column j's component i. A 4x4 handed to the render core is these 16 values.
template <typename T, int R, int C> class Matrix {
public:
    static constexpr int N = C;

    Matrix() = default;
    // s on the diagonal, 0 elsewhere: Matrix(1) is the identity.
    explicit Matrix(T s)
    {
        for (int j = 0; j < C; ++j)
            for (int i = 0; i < R; ++i)
                columns[j].data[i] = (i == j) ? s : T(0);
    }

    Vec<T, R>& operator[](int i)
    {
        VOSTREL_INDEX_CHECK(i >= 0 && i < N);
        return columns[i];
    }
    const Vec<T, R>& operator[](int i) const
    {
        VOSTREL_INDEX_CHECK(i >= 0 && i < N);
        return columns[i];
    }
    // Element at row i, column j.
    T& operator()(int i, int j) { return (*this)[j][i]; }
    const T& operator()(int i, int j) const { return (*this)[j][i]; }

    T* ptr() { return columns[0].data; }
    const T* ptr() const { return columns[0].data; }

    Matrix<T, C, R> transpose() const
    {
        Matrix<T, C, R> out;
        for (int j = 0; j < C; ++j)
            for (int i = 0; i < R; ++i)
                out.columns[i].data[j] = columns[j].data[i];
        return out;
    }

    static Matrix scaling(const Vec<T, R>& v)
    {
        static_assert(R == C, "square");
        Matrix out(T(0));
        for (int i = 0; i < R; ++i)
            out.columns[i].data[i] = v.data[i];
        return out;
    }

    // Turns vectors clockwise about the axis seen from its tip, by angle
    // radians; the axis may have any non-zero length.
    static Matrix rotation(const Vec<T, 3>& axis, T angle);

    bool operator==(const Matrix& m) const
    {
        for (int j = 0; j < C; ++j)
            if (columns[j] != m.columns[j])
                return false;
        return true;
    }

    Vec<T, R> columns[C];
};

template <typename T, int R, int C> Matrix<T, C, R> transpose(const Matrix<T, R, C>& m)
{
    return m.transpose();
}

// The sum of the columns weighted by v's components.
template <typename T, int R, int C> Vec<T, R> operator*(const Matrix<T, R, C>& m, const Vec<T, C>& v)
{
    Vec<T, R> out(T(0));
    for (int j = 0; j < C; ++j)
        for (int i = 0; i < R; ++i)
            out.data[i] += m.columns[j].data[i] * v.data[j];
    return out;
}

// A point through a projective 4x4: (M (p, 1)).xyz times 1 / w.
template <typename T> Vec<T, 3> operator*(const Matrix<T, 4, 4>& m, const Vec<T, 3>& p)
{
    Vec<T, 4> q = m * Vec<T, 4>(p.data[0], p.data[1], p.data[2], T(1));
    T reciprocal = T(1) / q.data[3];
    return Vec<T, 3>(q.data[0] * reciprocal, q.data[1] * reciprocal, q.data[2] * reciprocal);
}

// Column j of the result is A times column j of B: B applies first.
template <typename T, int R, int K, int C>
Matrix<T, R, C> operator*(const Matrix<T, R, K>& a, const Matrix<T, K, C>& b)
{
    Matrix<T, R, C> out;
    for (int j = 0; j < C; ++j)
        out.columns[j] = a * b.columns[j];
    return out;
}

// Row vector times matrix: out_j = sum over k of v_k M(k, j).
template <typename T, int R, int C> Vec<T, C> operator*(const Vec<T, R>& v, const Matrix<T, R, C>& m)
{
    Vec<T, C> out;
    for (int j = 0; j < C; ++j)
        out.data[j] = dot(v, m.columns[j]);
    return out;
}

// 4x4 with the 3x3 linear part in the upper left and (t, 1) as column 3.
template <typename T> Matrix<T, 4, 4> affineTransform(const Matrix<T, 3, 3>& linear, const Vec<T, 3>& t)
{
    Matrix<T, 4, 4> out;
    for (int j = 0; j < 3; ++j)
        out.columns[j] = Vec<T, 4>(linear.columns[j].data[0], linear.columns[j].data[1],
                                   linear.columns[j].data[2], T(0));
    out.columns[3] = Vec<T, 4>(t.data[0], t.data[1], t.data[2], T(1));
    return out;
}

// Gauss-Jordan elimination by column operations with partial pivoting over
// the columns. m is destroyed; out receives the inverse. Returns -1 at once
// when a pivot is below 1e-8 in magnitude (out is then partly reduced).
template <typename T, int N> int invertMatrix(Matrix<T, N, N>& m, Matrix<T, N, N>& out)
{
    out = Matrix<T, N, N>(T(1));
    for (int c = 0; c < N; ++c) {
        int pivot = c;
        for (int j = c + 1; j < N; ++j)
            if (std::fabs(static_cast<double>(m.columns[j].data[c])) >
                std::fabs(static_cast<double>(m.columns[pivot].data[c])))
                pivot = j;
        if (std::fabs(static_cast<double>(m.columns[pivot].data[c])) < 1e-8)
            return -1;
        std::swap(m.columns[pivot], m.columns[c]);
        std::swap(out.columns[pivot], out.columns[c]);
        T reciprocal = T(1) / m.columns[c].data[c];
        for (int i = 0; i < N; ++i) {
            m.columns[c].data[i] *= reciprocal;
            out.columns[c].data[i] *= reciprocal;
        }
        for (int j = 0; j < N; ++j) {
            if (j == c)
                continue;
            T factor = m.columns[j].data[c];
            for (int i = 0; i < N; ++i) {
                m.columns[j].data[i] -= factor * m.columns[c].data[i];
                out.columns[j].data[i] -= factor * out.columns[c].data[i];
            }
        }
    }
    return 0;
}

// The double 3x3 inverse by row operations: for each column the row of
// largest magnitude is the pivot (a later row only when strictly larger).
// m is overwritten; returns -1 at once when a pivot is below 1e-8.
inline int invertMatrix(Matrix<double, 3, 3>& m, Matrix<double, 3, 3>& out)
{
    out = Matrix<double, 3, 3>(1.0);
    for (int c = 0; c < 3; ++c) {
        int pivot = c;
        for (int r = c + 1; r < 3; ++r)
            if (std::fabs(m(r, c)) > std::fabs(m(pivot, c)))
                pivot = r;
        if (std::fabs(m(pivot, c)) < 1e-8)
            return -1;
        if (pivot != c)
            for (int j = 0; j < 3; ++j) {
                std::swap(m(pivot, j), m(c, j));
                std::swap(out(pivot, j), out(c, j));
            }
        double reciprocal = 1.0 / m(c, c);
        for (int j = 0; j < 3; ++j) {
            m(c, j) *= reciprocal;
            out(c, j) *= reciprocal;
        }
        for (int r = 0; r < 3; ++r) {
            if (r == c)
                continue;
            double factor = m(r, c);
            for (int j = 0; j < 3; ++j) {
                m(r, j) -= factor * m(c, j);
                out(r, j) -= factor * out(c, j);
            }
        }
    }
    return 0;
}

// Three unit vectors (u, v, w) with w along the axis.
template <typename T> void orthonormalBasis(const Vec<T, 3>& axis, Vec<T, 3>& u, Vec<T, 3>& v, Vec<T, 3>& w)
{
    w = normalize(axis);
    T ax = std::fabs(w.data[0]), ay = std::fabs(w.data[1]), az = std::fabs(w.data[2]);
    if (ax < ay && ax < az)
        v = Vec<T, 3>(T(0), -w.data[2], w.data[1]);
    else if (ay < az)
        v = Vec<T, 3>(w.data[2], T(0), -w.data[0]);
    else
        v = Vec<T, 3>(-w.data[1], w.data[0], T(0));
    v = normalize(v);
    u = cross(v, w);
}

template <typename T, int R, int C>
Matrix<T, R, C> Matrix<T, R, C>::rotation(const Vec<T, 3>& axis, T angle)
{
    static_assert(R == 3 && C == 3, "3x3 rotation");
    Vec<T, 3> u, v, w;
    orthonormalBasis(axis, u, v, w);
    T c = std::cos(angle), s = std::sin(angle);
    Matrix turned, basis;
    turned.columns[0] = u * c - v * s;
    turned.columns[1] = u * s + v * c;
    turned.columns[2] = w;
    basis.columns[0] = u;
    basis.columns[1] = v;
    basis.columns[2] = w;
    return turned * basis.transpose();
}

typedef Matrix<float, 3, 3> Matrix3;
typedef Matrix<float, 4, 4> Matrix4;

inline Matrix3 rotationMatrix3(const Vec3& axis, float angle) { return Matrix3::rotation(axis, angle); }
inline Matrix4 rotationMatrix4(const Vec3& axis, float angle)
{
    return affineTransform(Matrix3::rotation(axis, angle), Vec3(0.0f, 0.0f, 0.0f));
}

namespace Vostrel {

// Scale, then bank about -z, pitch about -x, heading about -y (so each turns
// counter-clockwise about the positive axis), then move to (x, y, z).
Matrix4 transformMatrixFromHpb(float x, float y, float z, float heading, float pitch, float bank,
                               float sx, float sy, float sz);

// (heading, pitch, bank) that turn +z from `from` towards `to`.
Vec3 lookAtAngles(float bank, const Vec3& from, const Vec3& to);

} // namespace Vostrel
