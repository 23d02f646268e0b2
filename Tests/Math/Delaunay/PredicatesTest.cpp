#include "Libs/Math/Predicates.h"
#include "Tests/Math/Delaunay/ExactSigns.h"

#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <random>
#include <vector>

using namespace Vostrel;

namespace {

using Point = std::array<float, 3>;

using ExactSigns::clearOfUnderflow;
using ExactSigns::det3;
using ExactSigns::exact;
using ExactSigns::signOf;

// The rows a - d, b - d, c - d in rational arithmetic.
int exactOrient(const Point& a, const Point& b, const Point& c, const Point& d)
{
    mpq_class m[3][3];
    const Point* rows[3] = {&a, &b, &c};
    for (int i = 0; i < 3; ++i)
        for (int j = 0; j < 3; ++j)
            m[i][j] = exact((*rows[i])[j]) - exact(d[j]);
    return sgn(det3(m));
}

// The rows (p - e, |p - e|^2) for p = a, b, c, d.
int exactInsphere(const Point& a, const Point& b, const Point& c, const Point& d, const Point& e)
{
    mpq_class m[4][4];
    const Point* rows[4] = {&a, &b, &c, &d};
    for (int i = 0; i < 4; ++i) {
        m[i][3] = 0;
        for (int j = 0; j < 3; ++j) {
            m[i][j] = exact((*rows[i])[j]) - exact(e[j]);
            m[i][3] += m[i][j] * m[i][j];
        }
    }
    mpq_class det = 0;
    for (int column = 0; column < 4; ++column) {
        mpq_class minor[3][3];
        for (int i = 1; i < 4; ++i)
            for (int j = 0, k = 0; j < 4; ++j)
                if (j != column)
                    minor[i - 1][k++] = m[i][j];
        mpq_class term = m[0][column] * det3(minor);
        det += (column % 2 == 0) ? term : mpq_class(-term);
    }
    return sgn(det);
}

using Generator = ExactSigns::Generator<3>;

// Integer vectors of squared length 225: all lie on one sphere.
std::vector<Point> sphereLattice()
{
    std::vector<Point> out;
    for (int x = -15; x <= 15; ++x)
        for (int y = -15; y <= 15; ++y)
            for (int z = -15; z <= 15; ++z)
                if (x * x + y * y + z * z == 225)
                    out.push_back({float(x), float(y), float(z)});
    return out;
}

enum class Kind { Uniform, Wide, NearCoplanar, NearCospherical, CoplanarNudged, CosphericalNudged };

struct Case {
    Kind kind;
    const char* name;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.name; }

// Five points; the first four feed orient3d, all five insphere.
std::vector<Point> makePoints(Generator& random, Kind kind, const std::vector<Point>& lattice)
{
    std::vector<Point> p(5);
    switch (kind) {
    case Kind::Uniform:
        for (Point& q : p)
            q = random.uniformPoint();
        break;
    case Kind::Wide:
        for (Point& q : p)
            q = random.widePoint();
        break;
    case Kind::NearCoplanar: {
        // d and e rounded onto the plane through a, b, c.
        for (int i = 0; i < 3; ++i)
            p[i] = random.widePoint();
        for (int i = 3; i < 5; ++i) {
            double s = random.uniform(-1, 2), t = random.uniform(-1, 2);
            for (int j = 0; j < 3; ++j)
                p[i][j] = static_cast<float>(p[0][j] + s * (double(p[1][j]) - p[0][j]) + t * (double(p[2][j]) - p[0][j]));
        }
        break;
    }
    case Kind::NearCospherical: {
        Point centre = random.uniformPoint();
        double radius = random.uniform(0.25f, 1.0f);
        for (Point& q : p) {
            double dir[3], length = 0;
            for (double& v : dir) {
                v = random.uniform(-1, 1);
                length += v * v;
            }
            length = std::sqrt(length);
            for (int j = 0; j < 3; ++j)
                q[j] = clearOfUnderflow(centre[j] * 0.5 + radius * dir[j] / length, 30);
        }
        break;
    }
    case Kind::CoplanarNudged: {
        for (int i = 0; i < 3; ++i)
            p[i] = random.gridPoint(64, 1.0f / 64.0f);
        for (int i = 3; i < 5; ++i) {
            int s = random.integer(-2, 2), t = random.integer(-2, 2);
            for (int j = 0; j < 3; ++j)
                p[i][j] = p[0][j] + s * (p[1][j] - p[0][j]) + t * (p[2][j] - p[0][j]);
        }
        random.nudge(p, random.integer(-2, 2));
        break;
    }
    case Kind::CosphericalNudged: {
        Point centre = random.gridPoint(16, 1.0f / 16.0f);
        for (Point& q : p) {
            const Point& v = lattice[random.integer(0, static_cast<int>(lattice.size()) - 1)];
            for (int j = 0; j < 3; ++j)
                q[j] = centre[j] + v[j] / 16.0f;
        }
        random.nudge(p, random.integer(-2, 2));
        break;
    }
    }
    return p;
}

double orient(const Point& a, const Point& b, const Point& c, const Point& d)
{
    return orient3d(a.data(), b.data(), c.data(), d.data());
}
double inSphere(const Point& a, const Point& b, const Point& c, const Point& d, const Point& e)
{
    return insphere(a.data(), b.data(), c.data(), d.data(), e.data());
}

class PredicateSigns : public ::testing::TestWithParam<Case> {};

TEST_P(PredicateSigns, EveryStageAgreesWithRationalArithmetic)
{
    const float forceExact = std::numeric_limits<float>::infinity();
    std::vector<Point> lattice = sphereLattice();
    Generator random(1234u + static_cast<unsigned>(GetParam().kind));
    int flat = 0, zeros = 0;
    for (int round = 0; round < 1500; ++round) {
        std::vector<Point> p = makePoints(random, GetParam().kind, lattice);
        const Point &a = p[0], &b = p[1], &c = p[2], &d = p[3], &e = p[4];
        SCOPED_TRACE(testing::Message() << "round " << round);

        int orientation = exactOrient(a, b, c, d);
        flat += orientation == 0;
        ASSERT_EQ(signOf(orient(a, b, c, d)), orientation);
        ASSERT_EQ(signOf(orient3dadapt(a.data(), b.data(), c.data(), d.data(), forceExact)), orientation);
        ASSERT_EQ(signOf(orient3dslow(a.data(), b.data(), c.data(), d.data())), orientation);
        ASSERT_EQ(signOf(orient3dexact(a.data(), b.data(), c.data(), d.data())), orientation);
        ASSERT_EQ(signOf(orient3dexact(a.data(), b.data(), d.data(), c.data())), -orientation);

        int sphere = exactInsphere(a, b, c, d, e);
        zeros += sphere == 0;
        ASSERT_EQ(signOf(inSphere(a, b, c, d, e)), sphere);
        ASSERT_EQ(signOf(insphereadapt(a.data(), b.data(), c.data(), d.data(), e.data(), forceExact)), sphere);
        ASSERT_EQ(signOf(insphereexact(a.data(), b.data(), c.data(), d.data(), e.data())), sphere);
        ASSERT_EQ(signOf(insphereslow(a.data(), b.data(), c.data(), d.data(), e.data())), sphere);

        // An exchange of two points negates; moving the query point to the
        // front (an even permutation of five) keeps the sign.
        ASSERT_EQ(signOf(orient(b, a, c, d)), -orientation);
        ASSERT_EQ(signOf(orient(a, b, d, c)), -orientation);
        ASSERT_EQ(signOf(inSphere(a, c, b, d, e)), -sphere);
        ASSERT_EQ(signOf(inSphere(a, b, c, e, d)), -sphere);
        ASSERT_EQ(signOf(inSphere(e, a, b, c, d)), sphere);
    }
    // The un-nudged rounds are exactly coplanar or cospherical: the
    // predicates must return exactly 0 there.
    if (GetParam().kind == Kind::CoplanarNudged) {
        EXPECT_GT(flat, 100);
    }
    if (GetParam().kind == Kind::CosphericalNudged) {
        EXPECT_GT(zeros, 100);
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, PredicateSigns,
                         ::testing::Values(Case{Kind::Uniform, "Uniform"}, Case{Kind::Wide, "WideExponents"},
                                           Case{Kind::NearCoplanar, "RoundedOntoPlane"},
                                           Case{Kind::NearCospherical, "RoundedOntoSphere"},
                                           Case{Kind::CoplanarNudged, "CoplanarNudgedByUlps"},
                                           Case{Kind::CosphericalNudged, "CosphericalNudgedByUlps"}),
                         [](const ::testing::TestParamInfo<Case>& info) { return std::string(info.param.name); });

TEST(Predicates, SignConventions)
{
    // a, b, c counter-clockwise seen from +z; d below the plane.
    Point a{0, 0, 0}, b{1, 0, 0}, c{0, 1, 0}, below{0.2f, 0.2f, -1}, above{0.2f, 0.2f, 1};
    EXPECT_GT(orient(a, b, c, below), 0.0);
    EXPECT_LT(orient(a, b, c, above), 0.0);
    Point inside{0.25f, 0.25f, -0.25f}, outside{3, 3, 3};
    EXPECT_GT(inSphere(a, b, c, below, inside), 0.0);
    EXPECT_LT(inSphere(a, b, c, below, outside), 0.0);
    EXPECT_LT(inSphere(a, b, c, above, Point{0.25f, 0.25f, 0.25f}), 0.0);
}

TEST(Predicates, ConstantsFollowFromFloatArithmetic)
{
    PredicateConstants c = exactinit();
    const double e = std::ldexp(1.0, -24);
    EXPECT_EQ(c.epsilon, static_cast<float>(e));
    EXPECT_EQ(c.splitter, 4097.0f);
    EXPECT_EQ(c.resulterrbound, static_cast<float>((3 + 8 * e) * e));
    EXPECT_EQ(c.o3derrboundA, static_cast<float>((7 + 56 * e) * e));
    EXPECT_EQ(c.o3derrboundC, static_cast<float>((26 + 288 * e) * e * e));
    EXPECT_EQ(c.isperrboundB, static_cast<float>((5 + 72 * e) * e));
    EXPECT_EQ(c.isperrboundC, static_cast<float>((71 + 1408 * e) * e * e));
}

mpq_class exactSum(const std::vector<float>& e)
{
    mpq_class sum = 0;
    for (float v : e)
        sum += exact(v);
    return sum;
}

// Non-overlapping components come out in increasing magnitude.
void expectWellFormed(const std::vector<float>& h)
{
    for (size_t i = 1; i < h.size(); ++i)
        EXPECT_LT(std::fabs(h[i - 1]), std::fabs(h[i]));
}

std::vector<float> withoutZeros(std::vector<float> h)
{
    h.erase(std::remove(h.begin(), h.end(), 0.0f), h.end());
    return h;
}

TEST(Predicates, ProductOfTwoRoundedDifferencesIsExact)
{
    Generator random(11);
    for (int round = 0; round < 2000; ++round) {
        // Each factor is a difference held exactly as rounded value and error.
        auto factor = [&random](float& high, float& low) -> mpq_class {
            float p = random.wide(), q = std::ldexp(random.wide(), random.integer(-22, -8));
            high = p - q;
            low = static_cast<float>((static_cast<double>(p) - q) - high);
            return exact(p) - exact(q);
        };
        float a1, a0, b1, b0, x[8];
        mpq_class a = factor(a1, a0), b = factor(b1, b0);
        twoTwoProduct(a1, a0, b1, b0, x);
        ASSERT_EQ(exactSum(std::vector<float>(x, x + 8)), a * b) << round;
        expectWellFormed(withoutZeros(std::vector<float>(x, x + 8)));
    }
}

TEST(Predicates, ExpansionSumAndScaleAreExact)
{
    Generator random(7);
    for (int round = 0; round < 300; ++round) {
        // Inputs built by the operations themselves from random floats, held in
        // arrays exactly as long as their contents.
        auto randomExpansion = [&random](int terms) {
            std::vector<float> e{random.wide()};
            for (int i = 1; i < terms; ++i) {
                std::vector<float> term(2), sum(e.size() + 2);
                term.resize(scaleExpansionZeroelim(1, std::vector<float>{random.wide()}.data(),
                                                   std::ldexp(random.wide(), random.integer(-20, 20)), term.data()));
                sum.resize(fastExpansionSumZeroelim(static_cast<int>(e.size()), e.data(),
                                                    static_cast<int>(term.size()), term.data(), sum.data()));
                e = sum;
            }
            return e;
        };
        std::vector<float> e = randomExpansion(random.integer(1, 6));
        std::vector<float> f = randomExpansion(random.integer(1, 6));
        float b = random.wide();

        std::vector<float> h(e.size() + f.size());
        h.resize(fastExpansionSumZeroelim(static_cast<int>(e.size()), e.data(), static_cast<int>(f.size()), f.data(),
                                          h.data()));
        EXPECT_EQ(exactSum(h), exactSum(e) + exactSum(f));
        expectWellFormed(h);

        std::vector<float> scaled(2 * e.size());
        scaled.resize(scaleExpansionZeroelim(static_cast<int>(e.size()), e.data(), b, scaled.data()));
        EXPECT_EQ(exactSum(scaled), exactSum(e) * exact(b));
        expectWellFormed(scaled);

        EXPECT_EQ(signOf(estimate(static_cast<int>(h.size()), h.data())), sgn(exactSum(h)));

        // Every other sum, and growth by one float, give the same exact value;
        // the forms without zero elimination keep their full length.
        using Sum = int (*)(int, const float*, int, const float*, float*);
        const struct {
            Sum sum;
            bool dropsZeros;
        } sums[] = {{fastExpansionSum, false},  {expansionSum, false},       {expansionSumZeroelim, true},
                    {linearExpansionSum, false}, {linearExpansionSumZeroelim, true}};
        const int elen = static_cast<int>(e.size()), flen = static_cast<int>(f.size());
        for (const auto& form : sums) {
            std::vector<float> g(elen + flen);
            g.resize(form.sum(elen, e.data(), flen, f.data(), g.data()));
            EXPECT_EQ(exactSum(g), exactSum(e) + exactSum(f));
            if (!form.dropsZeros) {
                EXPECT_EQ(g.size(), e.size() + f.size());
            }
            expectWellFormed(withoutZeros(g));
        }
        std::vector<float> grown(elen + 1), grownZeroelim(elen + 1), full(2 * elen);
        grown.resize(growExpansion(elen, e.data(), b, grown.data()));
        grownZeroelim.resize(growExpansionZeroelim(elen, e.data(), b, grownZeroelim.data()));
        full.resize(scaleExpansion(elen, e.data(), b, full.data()));
        EXPECT_EQ(exactSum(grown), exactSum(e) + exact(b));
        EXPECT_EQ(exactSum(grownZeroelim), exactSum(e) + exact(b));
        EXPECT_EQ(exactSum(full), exactSum(e) * exact(b));
        expectWellFormed(withoutZeros(grown));
        expectWellFormed(grownZeroelim);
        expectWellFormed(withoutZeros(full));

        // Compressing (in place) keeps the value; the top component is then
        // within one ulp of it.
        std::vector<float> packed = full;
        packed.resize(compress(static_cast<int>(packed.size()), packed.data(), packed.data()));
        mpq_class value = exactSum(full);
        EXPECT_EQ(exactSum(packed), value);
        expectWellFormed(packed);
        float top = packed.back();
        EXPECT_LE(abs(exact(top) - value), exact(std::nextafter(std::fabs(top), INFINITY) - std::fabs(top)));
    }
}

} // namespace
