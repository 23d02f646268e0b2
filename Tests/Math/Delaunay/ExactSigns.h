#pragma once

// What the predicate tests compare against: exact rational values of float
// inputs, and signs; and the random points both dimensions feed them.

#include <gmpxx.h>

#include <array>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <random>
#include <vector>

namespace ExactSigns {

inline mpq_class exact(float v) { return mpq_class(static_cast<double>(v)); }

inline int signOf(double v) { return (v > 0.0) - (v < 0.0); }

inline mpq_class det3(const mpq_class m[3][3])
{
    return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
           m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// Keeps products of many coordinates clear of float underflow, which the
// single-precision exact stage cannot represent.
inline float clearOfUnderflow(double v, int bits)
{
    return static_cast<float>(std::ldexp(std::round(std::ldexp(v, bits)), -bits));
}

template <size_t N> class Generator {
public:
    using Point = std::array<float, N>;

    explicit Generator(unsigned seed) : engine(seed) {}

    float uniform(float low, float high) { return std::uniform_real_distribution<float>(low, high)(engine); }
    int integer(int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine); }

    // Random significand, binary exponent spread over [-3, 1], either sign:
    // differences of such values are rarely exact, which exercises the tails.
    float wide()
    {
        float v = std::ldexp(uniform(1.0f, 2.0f), integer(-3, 1));
        return integer(0, 1) ? v : -v;
    }
    Point widePoint() { return fill([this] { return wide(); }); }
    Point uniformPoint() { return fill([this] { return uniform(-1, 1); }); }
    Point gridPoint(int extent, float scale) { return fill([&] { return integer(-extent, extent) * scale; }); }

    // Moves one non-zero coordinate of one of the points by ulps units in the
    // last place (a zero would become a denormal, whose products underflow).
    void nudge(std::vector<Point>& points, int ulps)
    {
        float* chosen;
        do
            chosen = &points[integer(0, static_cast<int>(points.size()) - 1)][integer(0, int(N) - 1)];
        while (*chosen == 0.0f);
        float toward = ulps > 0 ? std::numeric_limits<float>::infinity() : -std::numeric_limits<float>::infinity();
        for (int i = 0; i < std::abs(ulps); ++i)
            *chosen = std::nextafter(*chosen, toward);
    }

    std::mt19937 engine;

private:
    template <class Next> Point fill(Next next)
    {
        Point p;
        for (float& v : p)
            v = next();
        return p;
    }
};

} // namespace ExactSigns
