#pragma once

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ostream>

// Index checks stop the program like the runtime's assertion report: an index
// out of range is a programming error, not bad input.
#define VOSTREL_INDEX_CHECK(condition)                                                   \
    do {                                                                                  \
        if (!(condition)) {                                                               \
            std::fprintf(stderr, "Assertion failed: %s, file %s, line %d\n", #condition,  \
                         __FILE__, __LINE__);                                             \
            std::abort();                                                                 \
        }                                                                                 \
    } while (false)

// N components of T, contiguous. The default constructor leaves them
// uninitialised, as arrays of vectors are filled right after.
template <typename T, int N> class Vec {
public:
    static constexpr int dim = N;

    Vec() = default;
    explicit Vec(T fill)
    {
        for (int i = 0; i < N; ++i)
            data[i] = fill;
    }
    Vec(T x, T y)
    {
        static_assert(N == 2, "two components");
        data[0] = x;
        data[1] = y;
    }
    Vec(T x, T y, T z)
    {
        static_assert(N == 3, "three components");
        data[0] = x;
        data[1] = y;
        data[2] = z;
    }
    Vec(T x, T y, T z, T w)
    {
        static_assert(N == 4, "four components");
        data[0] = x;
        data[1] = y;
        data[2] = z;
        data[3] = w;
    }
    template <typename U> explicit Vec(const Vec<U, N>& other)
    {
        for (int i = 0; i < N; ++i)
            data[i] = static_cast<T>(other[i]);
    }

    T& operator[](int i)
    {
        VOSTREL_INDEX_CHECK(i >= 0 && i < dim);
        return data[i];
    }
    const T& operator[](int i) const
    {
        VOSTREL_INDEX_CHECK(i >= 0 && i < dim);
        return data[i];
    }

    T* ptr() { return data; }
    const T* ptr() const { return data; }

    Vec& operator+=(const Vec& w)
    {
        for (int i = 0; i < N; ++i)
            data[i] += w.data[i];
        return *this;
    }
    Vec& operator-=(const Vec& w)
    {
        for (int i = 0; i < N; ++i)
            data[i] -= w.data[i];
        return *this;
    }
    Vec& operator*=(float s)
    {
        for (int i = 0; i < N; ++i)
            data[i] = static_cast<T>(data[i] * s);
        return *this;
    }
    // A double scale is applied in double and rounded per component.
    Vec& operator*=(double s)
    {
        for (int i = 0; i < N; ++i)
            data[i] = static_cast<T>(static_cast<double>(data[i]) * s);
        return *this;
    }

    bool operator==(const Vec& w) const
    {
        for (int i = 0; i < N; ++i)
            if (!(data[i] == w.data[i]))
                return false;
        return true;
    }
    bool operator!=(const Vec& w) const { return !(*this == w); }

    T data[N];
};

template <typename T, int N> Vec<T, N> operator+(Vec<T, N> v, const Vec<T, N>& w) { return v += w; }
template <typename T, int N> Vec<T, N> operator-(Vec<T, N> v, const Vec<T, N>& w) { return v -= w; }
template <typename T, int N> Vec<T, N> operator-(Vec<T, N> v)
{
    for (int i = 0; i < N; ++i)
        v.data[i] = -v.data[i];
    return v;
}
template <typename T, int N> Vec<T, N> operator*(Vec<T, N> v, float s) { return v *= s; }
template <typename T, int N> Vec<T, N> operator*(float s, Vec<T, N> v) { return v *= s; }
template <typename T, int N> Vec<T, N> operator*(Vec<T, N> v, double s) { return v *= s; }
template <typename T, int N> Vec<T, N> operator*(double s, Vec<T, N> v) { return v *= s; }

template <typename T, int N> T dot(const Vec<T, N>& v, const Vec<T, N>& w)
{
    T sum = 0;
    for (int i = 0; i < N; ++i)
        sum += v.data[i] * w.data[i];
    return sum;
}

template <typename T> Vec<T, 3> cross(const Vec<T, 3>& a, const Vec<T, 3>& b)
{
    return Vec<T, 3>(a.data[1] * b.data[2] - a.data[2] * b.data[1],
                     a.data[2] * b.data[0] - a.data[0] * b.data[2],
                     a.data[0] * b.data[1] - a.data[1] * b.data[0]);
}

template <typename T, int N> double length(const Vec<T, N>& v)
{
    double sum = 0;
    for (int i = 0; i < N; ++i)
        sum += static_cast<double>(v.data[i]) * v.data[i];
    return std::sqrt(sum);
}

// v times 1 / length: the reciprocal is computed once, in double, and
// applied like any double scale.
template <typename T, int N> Vec<T, N> normalize(const Vec<T, N>& v) { return v * (1.0 / length(v)); }

template <typename T, int N> std::ostream& operator<<(std::ostream& out, const Vec<T, N>& v)
{
    out << "(";
    for (int i = 0; i < N; ++i)
        out << (i ? " " : "") << v.data[i];
    return out << ")";
}

typedef Vec<float, 2> Vec2;
typedef Vec<float, 3> Vec3;
typedef Vec<float, 4> Vec4;
typedef Vec<double, 3> Vec3d;
