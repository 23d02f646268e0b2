#include "Libs/Math/Delaunay3d.h"

#include "Libs/Common/Exception.h"

#include <CGAL/Delaunay_triangulation_3.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Triangulation_vertex_base_with_info_3.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <string>
#include <vector>

using Vostrel::Delaunay3d;

namespace {

typedef CGAL::Exact_predicates_inexact_constructions_kernel Kernel;
typedef CGAL::Triangulation_vertex_base_with_info_3<int, Kernel> VertexBase;
typedef CGAL::Triangulation_data_structure_3<VertexBase> DataStructure;
typedef CGAL::Delaunay_triangulation_3<Kernel, DataStructure> Reference;
typedef Kernel::Point_3 Point;
typedef std::array<int, 4> Cell;

Point toCgal(const Vec3& p) { return Point(p.data[0], p.data[1], p.data[2]); }

Point circumcentre(Reference::Cell_handle cell)
{
    return CGAL::circumcenter(cell->vertex(0)->point(), cell->vertex(1)->point(), cell->vertex(2)->point(),
                              cell->vertex(3)->point());
}

std::vector<Vec3> uniformCloud(int count, unsigned seed)
{
    std::mt19937 engine(seed);
    std::uniform_real_distribution<float> coordinate(-1.0f, 1.0f);
    std::vector<Vec3> points(count);
    for (Vec3& p : points)
        p = Vec3(coordinate(engine), coordinate(engine), coordinate(engine));
    return points;
}

struct ReferenceTriangulation {
    explicit ReferenceTriangulation(const std::vector<Vec3>& points)
    {
        std::vector<std::pair<Point, int>> indexed;
        for (size_t i = 0; i < points.size(); ++i)
            indexed.emplace_back(toCgal(points[i]), static_cast<int>(i));
        triangulation.insert(indexed.begin(), indexed.end());
    }

    static Cell key(Reference::Cell_handle cell)
    {
        Cell out;
        for (int i = 0; i < 4; ++i)
            out[i] = cell->vertex(i)->info();
        std::sort(out.begin(), out.end());
        return out;
    }

    std::set<Cell> cells() const
    {
        std::set<Cell> out;
        for (auto cell = triangulation.finite_cells_begin(); cell != triangulation.finite_cells_end(); ++cell)
            out.insert(key(cell));
        return out;
    }

    // From the hull facets (the finite faces of the infinite cells).
    double hullVolume() const
    {
        double volume = 0;
        const Point origin(0, 0, 0);
        for (auto cell = triangulation.all_cells_begin(); cell != triangulation.all_cells_end(); ++cell) {
            if (!triangulation.is_infinite(cell))
                continue;
            int infinite = cell->index(triangulation.infinite_vertex());
            // The infinite vertex replaced by the origin keeps the cell's
            // orientation, so the signed volumes add up to the hull's.
            Point corners[4];
            for (int i = 0; i < 4; ++i)
                corners[i] = i == infinite ? origin : cell->vertex(i)->point();
            volume -= CGAL::volume(corners[0], corners[1], corners[2], corners[3]);
        }
        return volume;
    }

    Reference triangulation;
};

std::set<Cell> sortedCells(const std::vector<Cell>& cells)
{
    std::set<Cell> out;
    for (Cell cell : cells) {
        std::sort(cell.begin(), cell.end());
        out.insert(cell);
    }
    return out;
}

// The permutation taking one corner list to another, as +1 (even) or -1.
int parity(const std::array<const Vec3*, 4>& from, const Vec3* const to[4])
{
    int position[4];
    for (int i = 0; i < 4; ++i) {
        position[i] = -1;
        for (int j = 0; j < 4; ++j)
            if (to[j] == from[i])
                position[i] = j;
        if (position[i] < 0)
            return 0;
    }
    int inversions = 0;
    for (int i = 0; i < 4; ++i)
        for (int j = i + 1; j < 4; ++j)
            inversions += position[i] > position[j];
    return inversions % 2 ? -1 : 1;
}

// Every record that is not dead links live records only, each of which
// links it back across the same face listed in opposite cyclic order; the
// inverted flag is the orientation CGAL computes.
void expectConsistentRecords(const Delaunay3d& builder)
{
    int inverted = 0;
    for (int r = 0; r < builder.recordCount(); ++r) {
        const Delaunay3d::Tetrahedron& t = builder.record(r);
        if (t.dead)
            continue;
        inverted += t.inverted;
        Point p[4];
        for (int i = 0; i < 4; ++i)
            p[i] = toCgal(*t.corners[i]);
        ASSERT_EQ(t.inverted != 0, CGAL::orientation(p[0], p[1], p[2], p[3]) == CGAL::NEGATIVE) << "record " << r;
        for (int i = 0; i < 4; ++i) {
            const Delaunay3d::Tetrahedron* n = t.neighbours[i];
            ASSERT_FALSE(n->dead) << "record " << r << " links a removed record";
            int back = -1, backCount = 0;
            for (int j = 0; j < 4; ++j)
                if (n->neighbours[j] == &t) {
                    back = j;
                    ++backCount;
                }
            ASSERT_EQ(backCount, 1) << "record " << r << " slot " << i;
            // Putting n's apex in place of t's apex gives n's corners oddly
            // permuted.
            std::array<const Vec3*, 4> swapped = {t.corners[0], t.corners[1], t.corners[2], t.corners[3]};
            swapped[i] = n->corners[back];
            ASSERT_EQ(parity(swapped, n->corners), -1) << "record " << r << " slot " << i;
        }
    }
    EXPECT_GT(inverted, 0);
}

class RandomClouds : public ::testing::TestWithParam<int> {};

// The same cells as CGAL's Delaunay triangulation (so every circumsphere is
// empty), filling the hull, with consistent records around them.
TEST_P(RandomClouds, TetrahedraEqualCgalsAndFillTheHull)
{
    const int count = GetParam();
    std::vector<Vec3> points = uniformCloud(count, 17u + count);
    Delaunay3d builder;
    std::vector<Cell> cells = builder.tetrahedralize(count, points.data());
    ReferenceTriangulation reference(points);

    std::set<Cell> ours = sortedCells(cells);
    EXPECT_EQ(ours.size(), cells.size()) << "a tetrahedron is listed twice";
    EXPECT_TRUE(ours == reference.cells());

    double volume = 0;
    for (const Cell& c : cells) {
        // Output cells come in CGAL's (positive) orientation.
        Point p[4] = {toCgal(points[c[0]]), toCgal(points[c[1]]), toCgal(points[c[2]]), toCgal(points[c[3]])};
        ASSERT_EQ(CGAL::orientation(p[0], p[1], p[2], p[3]), CGAL::POSITIVE);
        volume += CGAL::volume(p[0], p[1], p[2], p[3]);
    }
    double hull = reference.hullVolume();
    EXPECT_GT(hull, 0.5);
    EXPECT_NEAR(volume, hull, 1e-9 * hull);
    expectConsistentRecords(builder);
}

INSTANTIATE_TEST_SUITE_P(Sizes, RandomClouds, ::testing::Values(100, 1000, 10000));

struct Segment {
    double a[3], b[3];
};

bool insideUnitCube(const Point& p) { return std::fabs(p.x()) < 1 && std::fabs(p.y()) < 1 && std::fabs(p.z()) < 1; }

double distanceToCubeSurface(const double* p)
{
    return std::min({std::fabs(1 - std::fabs(p[0])), std::fabs(1 - std::fabs(p[1])), std::fabs(1 - std::fabs(p[2]))});
}

TEST(Delaunay3d, VoronoiEdgesJoinCircumcentresOfAdjacentCellsInsideTheCube)
{
    const double tolerance = 1e-4;
    for (int count : {250, 1500}) {
        SCOPED_TRACE(count);
        // Wider than the cube, so that many circumcentres fall outside it.
        std::vector<Vec3> points = uniformCloud(count, 3u + count);
        for (Vec3& p : points)
            p *= 1.5f;
        std::vector<std::array<Vec3, 2>> edges = Delaunay3d().voronoiEdges(count, points.data());

        ReferenceTriangulation reference(points);
        const Reference& dt = reference.triangulation;
        std::vector<Segment> expected;
        for (auto cell = dt.finite_cells_begin(); cell != dt.finite_cells_end(); ++cell) {
            Point a = circumcentre(cell);
            if (!insideUnitCube(a))
                continue;
            for (int i = 0; i < 4; ++i) {
                auto other = cell->neighbor(i);
                if (dt.is_infinite(other))
                    continue;
                Point b = circumcentre(other);
                if (insideUnitCube(b))
                    expected.push_back({{a.x(), a.y(), a.z()}, {b.x(), b.y(), b.z()}});
            }
        }
        ASSERT_GT(expected.size(), 100u);

        // Matched by position: sorted by the first end point's x.
        std::sort(edges.begin(), edges.end(),
                  [](const std::array<Vec3, 2>& a, const std::array<Vec3, 2>& b) { return a[0].data[0] < b[0].data[0]; });
        std::vector<bool> matched(edges.size(), false);
        int missing = 0;
        for (const Segment& s : expected) {
            bool found = false;
            auto k = std::lower_bound(edges.begin(), edges.end(), s.a[0] - tolerance,
                                      [](const std::array<Vec3, 2>& e, double x) { return e[0].data[0] < x; });
            for (; k != edges.end() && k->at(0).data[0] <= s.a[0] + tolerance && !found; ++k) {
                size_t index = k - edges.begin();
                if (matched[index])
                    continue;
                bool close = true;
                for (int j = 0; j < 3; ++j)
                    close = close && std::fabs((*k)[0].data[j] - s.a[j]) < tolerance &&
                            std::fabs((*k)[1].data[j] - s.b[j]) < tolerance;
                if (close)
                    matched[index] = found = true;
            }
            // Near the cube's surface the float circumcentre may fall on the
            // other side.
            if (!found && distanceToCubeSurface(s.a) > tolerance && distanceToCubeSurface(s.b) > tolerance)
                ++missing;
        }
        EXPECT_EQ(missing, 0);
        EXPECT_EQ(std::count(matched.begin(), matched.end(), false), 0) << "edges without a reference";
    }
}

struct SmallCase {
    const char* name;
    std::vector<Vec3> points;
    size_t tetrahedra;
};

void PrintTo(const SmallCase& c, std::ostream* out) { *out << c.name; }

class SmallInputs : public ::testing::TestWithParam<SmallCase> {};

TEST_P(SmallInputs, GiveTheExpectedLiveRecords)
{
    const SmallCase& c = GetParam();
    Delaunay3d builder;
    std::vector<Cell> cells = builder.tetrahedralize(static_cast<int>(c.points.size()), c.points.data());
    ASSERT_EQ(cells.size(), c.tetrahedra);
    EXPECT_EQ(builder.recordCount(), 2);
    for (const Cell& cell : cells)
        EXPECT_EQ(sortedCells({cell}), (std::set<Cell>{{0, 1, 2, 3}}));
}

INSTANTIATE_TEST_SUITE_P(
    FourPoints, SmallInputs,
    ::testing::Values(SmallCase{"Tetrahedron", {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 1)}, 1},
                      SmallCase{"Skewed", {Vec3(0.3f, -2, 5), Vec3(-1, 0.5f, 0), Vec3(7, 1, -1), Vec3(0, 0, 0.25f)}, 1},
                      // Flat: neither record is inverted.
                      SmallCase{"Coplanar", {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(1, 1, 0)}, 2}),
    [](const ::testing::TestParamInfo<SmallCase>& info) { return std::string(info.param.name); });

TEST(Delaunay3d, RefusesFewerThanFourPoints)
{
    std::vector<Vec3> points = uniformCloud(3, 1);
    for (int count : {-1, 0, 1, 3}) {
        try {
            Delaunay3d().tetrahedralize(count, points.data());
            ADD_FAILURE() << count << " points accepted";
        } catch (const Vostrel::Exception& e) {
            EXPECT_NE(e.message.find("at least four points"), std::string::npos) << e.message;
        }
    }
}

TEST(Delaunay3d, RefusesCoordinatesThePredicatesCannotHandle)
{
    const float bad[] = {NAN, INFINITY, -INFINITY, 1e30f};
    for (float value : bad) {
        std::vector<Vec3> points = uniformCloud(10, 2);
        points[7].data[1] = value;
        try {
            Delaunay3d().tetrahedralize(10, points.data());
            ADD_FAILURE() << value << " accepted";
        } catch (const Vostrel::Exception& e) {
            EXPECT_NE(e.message.find("point 7"), std::string::npos) << e.message;
        }
    }
}

struct CosphericalCase {
    const char* name;
    std::vector<Vec3> points;
};

void PrintTo(const CosphericalCase& c, std::ostream* out) { *out << c.name; }

std::vector<Vec3> cubeCorners()
{
    std::vector<Vec3> out;
    for (int i = 0; i < 8; ++i)
        out.push_back(Vec3(i & 1 ? 1.0f : -1.0f, i & 2 ? 1.0f : -1.0f, i & 4 ? 1.0f : -1.0f));
    return out;
}

std::vector<Vec3> firstCubeCorners(int count)
{
    std::vector<Vec3> out = cubeCorners();
    out.resize(count);
    return out;
}

// Integer points at distance 15 from a centre, scaled to the unit ball.
std::vector<Vec3> sphereLattice(int limit)
{
    std::vector<Vec3> out;
    for (int x = -15; x <= 15; ++x)
        for (int y = -15; y <= 15; ++y)
            for (int z = -15; z <= 15; ++z)
                if (x * x + y * y + z * z == 225 && static_cast<int>(out.size()) < limit)
                    out.push_back(Vec3(0.25f + x / 16.0f, y / 16.0f, -0.125f + z / 16.0f));
    return out;
}

// A 4 x 4 x 4 grid: cube corners everywhere.
std::vector<Vec3> grid()
{
    std::vector<Vec3> out;
    for (int x = 0; x < 4; ++x)
        for (int y = 0; y < 4; ++y)
            for (int z = 0; z < 4; ++z)
                out.push_back(Vec3(x * 0.25f, y * 0.25f, z * 0.25f));
    return out;
}

class CosphericalInputs : public ::testing::TestWithParam<CosphericalCase> {};

TEST_P(CosphericalInputs, EndWithTheOnSphereAssertion)
{
    const std::vector<Vec3>& points = GetParam().points;
    // Whatever order the shared rand stream gives.
    for (int attempt = 0; attempt < 5; ++attempt) {
        try {
            Delaunay3d().build(static_cast<int>(points.size()), points.data());
            ADD_FAILURE() << "cospherical points built";
        } catch (const Vostrel::Exception& e) {
            EXPECT_EQ(e.message, "0 does not hold.");
            EXPECT_STREQ(e.file, "Libs\\Math\\Delaunay3d");
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Sets, CosphericalInputs,
                         ::testing::Values(CosphericalCase{"CubeCorners", cubeCorners()},
                                           CosphericalCase{"FiveCubeCorners", firstCubeCorners(5)},
                                           CosphericalCase{"SphereLattice", sphereLattice(60)},
                                           CosphericalCase{"Grid", grid()}),
                         [](const ::testing::TestParamInfo<CosphericalCase>& info) {
                             return std::string(info.param.name);
                         });

// Points near two skew lines have a Delaunay tetrahedralisation quadratic in
// their number, far beyond 30 records per point.
TEST(Delaunay3d, PoolGrowsForInputsNeedingManyRecordsPerPoint)
{
    std::mt19937 engine(11);
    std::uniform_real_distribution<float> jitter(-1e-3f, 1e-3f);
    const int perLine = 150;
    std::vector<Vec3> points;
    for (int i = 0; i < perLine; ++i) {
        float t = -1.0f + 2.0f * i / perLine;
        points.push_back(Vec3(t + jitter(engine), jitter(engine), -0.5f + jitter(engine)));
        points.push_back(Vec3(jitter(engine), t + jitter(engine), 0.5f + jitter(engine)));
    }
    const int count = static_cast<int>(points.size());
    Delaunay3d builder;
    std::vector<Cell> cells = builder.tetrahedralize(count, points.data());
    EXPECT_GT(builder.recordCount(), 30 * count);
    EXPECT_TRUE(sortedCells(cells) == ReferenceTriangulation(points).cells());
}

TEST(Delaunay3d, ABuilderCanBeReused)
{
    Delaunay3d builder;
    for (int count : {300, 40, 500}) {
        std::vector<Vec3> points = uniformCloud(count, 100u + count);
        EXPECT_TRUE(sortedCells(builder.tetrahedralize(count, points.data())) ==
                    ReferenceTriangulation(points).cells());
    }
}

TEST(Delaunay3d, DumpListsOnlyTheLastBuild)
{
    Delaunay3d builder;
    std::vector<Vec3> earlier = uniformCloud(200, 4);
    builder.build(200, earlier.data());
    std::vector<Vec3> points = {Vec3(0, 0, 0), Vec3(1, 0, 0), Vec3(0, 1, 0), Vec3(0, 0, 1), Vec3(0.9f, 0.8f, 0.7f),
                                Vec3(-0.3f, 0.2f, 0.4f)};
    int records = builder.build(static_cast<int>(points.size()), points.data());
    std::ostringstream out;
    builder.dumpTetrahedra(out);

    std::istringstream in(out.str());
    std::string line;
    std::vector<std::string> lines;
    while (std::getline(in, line))
        lines.push_back(line);
    int notDead = 0;
    for (int r = 0; r < records; ++r)
        notDead += !builder.record(r).dead;
    ASSERT_EQ(static_cast<int>(lines.size()), notDead + 3);
    EXPECT_EQ(lines.front(), "-----------------------------------------");
    EXPECT_EQ(lines.back(), "-----------------------------------------");
    for (int i = 1; i <= notDead; ++i) {
        // A finished tetrahedralisation holds no inserted point in any sphere,
        // and only the six current points are named.
        EXPECT_NE(lines[i].find("[ ] "), std::string::npos) << lines[i];
        std::istringstream fields(lines[i].substr(lines[i].find(':') + 1));
        for (int k = 0; k < 4; ++k) {
            int index = -1;
            fields >> index;
            EXPECT_TRUE(index >= 0 && index < 6) << lines[i];
        }
    }
    // Six times the hull's volume for the ordinary records.
    std::istringstream volumes(lines[notDead + 1].substr(std::string("Volumes: ").size()));
    float ordinary = 0;
    volumes >> ordinary;
    EXPECT_NEAR(ordinary, 6 * ReferenceTriangulation(points).hullVolume(), 1e-5);
}

TEST(Delaunay3d, ClipSegmentToBox)
{
    struct Case {
        Vec3 a, b;
    };
    const Case cases[] = {
        {Vec3(0, 0, 0), Vec3(6, 0, 0)},       {Vec3(-6, 1, 2), Vec3(1, -1, 0)},  {Vec3(-9, -9, -9), Vec3(9, 9, 9)},
        {Vec3(2, 2.5f, 0), Vec3(4, 5, 1)},    {Vec3(1, -2, 2), Vec3(2, -1, -2)}, {Vec3(4, 0, 0), Vec3(5, 1, 0)},
        {Vec3(-2, 0.5f, 4), Vec3(0.5f, 2, -1)},
    };
    for (const Case& c : cases) {
        Vec3 a = c.a, b = c.b;
        Delaunay3d::clipSegmentToBox(a, b);
        bool outsideOneSide = false;
        for (int i = 0; i < 3; ++i)
            outsideOneSide = outsideOneSide || (c.a.data[i] > 3 && c.b.data[i] > 3) || (c.a.data[i] < -3 && c.b.data[i] < -3);
        for (const Vec3* clipped : {&a, &b}) {
            // On the original line ...
            Vec3 along = c.b - c.a, offset = *clipped - c.a;
            EXPECT_LT(length(cross(along, offset)), 1e-4 * length(along) * (1 + length(offset)));
            // ... and inside the box unless the whole segment lies beyond a side.
            if (!outsideOneSide) {
                for (int i = 0; i < 3; ++i)
                    EXPECT_LE(std::fabs(clipped->data[i]), 3.0f + 1e-5f) << *clipped;
            }
        }
        if (outsideOneSide) {
            EXPECT_LT(length(a - c.a), 1e-5);
            EXPECT_LT(length(b - c.b), 1e-5);
        }
    }
    // A segment inside the box keeps its end points.
    Vec3 a(-1, 2, 0.5f), b(2.5f, -2.9f, 1);
    Delaunay3d::clipSegmentToBox(a, b);
    EXPECT_LT(length(a - Vec3(-1, 2, 0.5f)), 1e-6);
    EXPECT_LT(length(b - Vec3(2.5f, -2.9f, 1)), 1e-6);
}

} // namespace
