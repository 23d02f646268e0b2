#include "Libs/Math/Predicates.h"
#include "Tests/Math/Delaunay/ExactSigns.h"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

using namespace Vostrel;

namespace {

using Point = std::array<float, 2>;

using ExactSigns::clearOfUnderflow;
using ExactSigns::det3;
using ExactSigns::exact;
using ExactSigns::signOf;

int exactOrient(const Point& a, const Point& b, const Point& c)
{
    mpq_class acx = exact(a[0]) - exact(c[0]), acy = exact(a[1]) - exact(c[1]);
    mpq_class bcx = exact(b[0]) - exact(c[0]), bcy = exact(b[1]) - exact(c[1]);
    return sgn(mpq_class(acx * bcy - acy * bcx));
}

// The rows (p - d, |p - d|^2) for p = a, b, c.
mpq_class exactIncircleValue(const Point& a, const Point& b, const Point& c, const Point& d)
{
    mpq_class m[3][3];
    const Point* rows[3] = {&a, &b, &c};
    for (int i = 0; i < 3; ++i) {
        m[i][0] = exact((*rows[i])[0]) - exact(d[0]);
        m[i][1] = exact((*rows[i])[1]) - exact(d[1]);
        m[i][2] = m[i][0] * m[i][0] + m[i][1] * m[i][1];
    }
    return det3(m);
}

int exactIncircle(const Point& a, const Point& b, const Point& c, const Point& d)
{
    return sgn(exactIncircleValue(a, b, c, d));
}

using Generator = ExactSigns::Generator<2>;

// Integer vectors of squared length 625: all on one circle.
std::vector<Point> circleLattice()
{
    std::vector<Point> out;
    for (int x = -25; x <= 25; ++x)
        for (int y = -25; y <= 25; ++y)
            if (x * x + y * y == 625)
                out.push_back({float(x), float(y)});
    return out;
}

enum class Kind { Uniform, Wide, NearCollinear, NearCocircular, CollinearNudged, CocircularNudged };

struct Case {
    Kind kind;
    const char* name;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

// Four points; the first three feed orient2d, all four incircle.
std::vector<Point> makePoints(Generator& random, Kind kind, const std::vector<Point>& lattice)
{
    std::vector<Point> p(4);
    switch (kind) {
    case Kind::Uniform:
        for (Point& q : p)
            q = random.uniformPoint();
        break;
    case Kind::Wide:
        for (Point& q : p)
            q = random.widePoint();
        break;
    case Kind::NearCollinear:
        // c and d rounded onto the line through a and b.
        p[0] = random.widePoint();
        p[1] = random.widePoint();
        for (int i = 2; i < 4; ++i) {
            double t = random.uniform(-2, 3);
            for (int j = 0; j < 2; ++j)
                p[i][j] = static_cast<float>(p[0][j] + t * (double(p[1][j]) - p[0][j]));
        }
        break;
    case Kind::NearCocircular: {
        double cx = random.uniform(-0.5f, 0.5f), cy = random.uniform(-0.5f, 0.5f);
        double radius = random.uniform(0.25f, 1.0f);
        for (Point& q : p) {
            double angle = random.uniform(0.0f, 6.2831853f);
            q = {clearOfUnderflow(cx + radius * std::cos(angle), 28),
                 clearOfUnderflow(cy + radius * std::sin(angle), 28)};
        }
        break;
    }
    case Kind::CollinearNudged: {
        for (int i = 0; i < 2; ++i)
            p[i] = random.gridPoint(64, 1.0f / 64.0f);
        for (int i = 2; i < 4; ++i) {
            int t = random.integer(-3, 3);
            for (int j = 0; j < 2; ++j)
                p[i][j] = p[0][j] + t * (p[1][j] - p[0][j]);
        }
        random.nudge(p, random.integer(-2, 2));
        break;
    }
    case Kind::CocircularNudged: {
        Point centre = random.gridPoint(16, 1.0f / 16.0f);
        for (Point& q : p) {
            const Point& v = lattice[random.integer(0, static_cast<int>(lattice.size()) - 1)];
            q = {centre[0] + v[0] / 16.0f, centre[1] + v[1] / 16.0f};
        }
        random.nudge(p, random.integer(-2, 2));
        break;
    }
    }
    return p;
}

double orient(const Point& a, const Point& b, const Point& c) { return orient2d(a.data(), b.data(), c.data()); }
double inCircle(const Point& a, const Point& b, const Point& c, const Point& d)
{
    return incircle(a.data(), b.data(), c.data(), d.data());
}

class Predicate2dSigns : public ::testing::TestWithParam<Case> {};

TEST_P(Predicate2dSigns, EveryStageAgreesWithRationalArithmetic)
{
    const float forceExact = std::numeric_limits<float>::infinity();
    std::vector<Point> lattice = circleLattice();
    Generator random(4321u + static_cast<unsigned>(GetParam().kind));
    int flat = 0, zeros = 0;
    for (int round = 0; round < 2000; ++round) {
        std::vector<Point> p = makePoints(random, GetParam().kind, lattice);
        const Point &a = p[0], &b = p[1], &c = p[2], &d = p[3];
        SCOPED_TRACE(testing::Message() << "round " << round);

        int orientation = exactOrient(a, b, c);
        flat += orientation == 0;
        ASSERT_EQ(signOf(orient(a, b, c)), orientation);
        ASSERT_EQ(signOf(orient2dadapt(a.data(), b.data(), c.data(), forceExact)), orientation);
        ASSERT_EQ(signOf(orient2dexact(a.data(), b.data(), c.data())), orientation);
        ASSERT_EQ(signOf(orient2dslow(a.data(), b.data(), c.data())), orientation);

        int circle = exactIncircle(a, b, c, d);
        zeros += circle == 0;
        ASSERT_EQ(signOf(inCircle(a, b, c, d)), circle);
        ASSERT_EQ(signOf(incircleadapt(a.data(), b.data(), c.data(), d.data(), forceExact)), circle);
        ASSERT_EQ(signOf(incircleexact(a.data(), b.data(), c.data(), d.data())), circle);
        ASSERT_EQ(signOf(incircleslow(a.data(), b.data(), c.data(), d.data())), circle);

        // An exchange of two points negates; a cyclic shift of three keeps.
        ASSERT_EQ(signOf(orient(b, a, c)), -orientation);
        ASSERT_EQ(signOf(orient(b, c, a)), orientation);
        ASSERT_EQ(signOf(inCircle(b, a, c, d)), -circle);
        ASSERT_EQ(signOf(inCircle(a, b, d, c)), -circle);
        ASSERT_EQ(signOf(inCircle(d, a, b, c)), -circle);
    }
    // The un-nudged rounds are exactly degenerate: the predicates return 0.
    if (GetParam().kind == Kind::CollinearNudged) {
        EXPECT_GT(flat, 200);
    }
    if (GetParam().kind == Kind::CocircularNudged) {
        EXPECT_GT(zeros, 200);
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, Predicate2dSigns,
                         ::testing::Values(Case{Kind::Uniform, "Uniform"}, Case{Kind::Wide, "WideExponents"},
                                           Case{Kind::NearCollinear, "RoundedOntoLine"},
                                           Case{Kind::NearCocircular, "RoundedOntoCircle"},
                                           Case{Kind::CollinearNudged, "CollinearNudgedByUlps"},
                                           Case{Kind::CocircularNudged, "CocircularNudgedByUlps"}),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

// a, b, c lie on the circle of centre (5, 5) through the origin, and d sits a
// tiny step from the origin along the tangent: the determinant is of second
// order in the differences' rounding errors, so only the last stage, with its
// products of tails, gets its sign.
TEST(Predicates2d, TailProductsDecideWhenTheRoundedDifferencesAreDegenerate)
{
    const float scales[] = {1.0f, 0.25f, 0.0625f};
    // Steps near an ulp of some coordinates give each point different tails.
    const float steps[] = {0x1p-28f, -0x1p-28f, 0x1.8p-27f, 0x1.04p-22f, -0x1.04p-22f, 0x1.7p-21f};
    for (float scale : scales)
        for (float step : steps) {
            Point a{6 * scale, 12 * scale}, b{12 * scale, 4 * scale}, c{-2 * scale, 6 * scale};
            Point d{step * scale, -step * scale};
            mpq_class value = exactIncircleValue(a, b, c, d);
            ASSERT_NE(sgn(value), 0);
            double results[] = {inCircle(a, b, c, d),
                                incircleadapt(a.data(), b.data(), c.data(), d.data(),
                                              std::numeric_limits<float>::infinity()),
                                incircleexact(a.data(), b.data(), c.data(), d.data()),
                                incircleslow(a.data(), b.data(), c.data(), d.data())};
            for (double result : results)
                EXPECT_EQ(signOf(result), sgn(value)) << scale << " " << step;
        }
}

TEST(Predicates2d, SignConventions)
{
    Point a{0, 0}, b{1, 0}, c{0, 1};
    EXPECT_GT(orient(a, b, c), 0.0);
    EXPECT_LT(orient(a, c, b), 0.0);
    EXPECT_GT(inCircle(a, b, c, Point{0.25f, 0.25f}), 0.0);
    EXPECT_LT(inCircle(a, b, c, Point{2, 2}), 0.0);
    EXPECT_LT(inCircle(a, c, b, Point{0.25f, 0.25f}), 0.0);
}

// On small integers every rounded operation is exact, so the fast forms
// must give the exact value; the rational determinants are the reference.
TEST(Predicates, FastFormsAreExactOnSmallIntegers)
{
    Generator random(99);
    auto coordinate = [&random] { return static_cast<float>(random.integer(-4, 4)); };
    for (int round = 0; round < 500; ++round) {
        float p[5][3];
        for (auto& q : p)
            for (float& v : q)
                v = coordinate();
        Point a{p[0][0], p[0][1]}, b{p[1][0], p[1][1]}, c{p[2][0], p[2][1]}, d{p[3][0], p[3][1]};
        EXPECT_EQ(signOf(orient2dfast(p[0], p[1], p[2])), exactOrient(a, b, c));
        EXPECT_EQ(signOf(incirclefast(p[0], p[1], p[2], p[3])), exactIncircle(a, b, c, d));
        EXPECT_EQ(orient3dfast(p[0], p[1], p[2], p[3]), orient3d(p[0], p[1], p[2], p[3]));
        EXPECT_EQ(inspherefast(p[0], p[1], p[2], p[3], p[4]), insphere(p[0], p[1], p[2], p[3], p[4]));
    }
}

} // namespace
