#include "Libs/Mesh/Triangulation.h"
#include "Tests/Mesh/MeshTestHelpers.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

using namespace Vostrel::Mesh;
using MeshTest::thrownMessage;

namespace {

typedef std::vector<uint32_t> Indices;

struct Outline {
    std::vector<float> positions;
    Indices corners;

    Eigen::Vector3d point(uint32_t i) const { return Eigen::Vector3d(positions[3 * i], positions[3 * i + 1], positions[3 * i + 2]); }
    // Twice the vector area of the outline (Newell), independent of any triangulation.
    Eigen::Vector3d areaVector() const
    {
        Eigen::Vector3d sum = Eigen::Vector3d::Zero();
        for (size_t k = 0; k < corners.size(); ++k)
            sum += point(corners[k]).cross(point(corners[(k + 1) % corners.size()]));
        return sum;
    }
    Indices triangulate()
    {
        PolygonRecord record{static_cast<int>(corners.size()), corners.data()};
        return triangulatePolygonList(&record, 1, static_cast<int>(positions.size() / 3), positions.data(), 12);
    }
};

// A planar outline from 2-D points, corners 0..n-1, placed by a rotation.
Outline outline2D(const std::vector<Eigen::Vector2d>& points,
                  const Eigen::Matrix3d& placement = Eigen::Matrix3d::Identity())
{
    Outline outline;
    for (size_t i = 0; i < points.size(); ++i) {
        Eigen::Vector3d p = placement * Eigen::Vector3d(points[i].x(), points[i].y(), 0);
        outline.positions.insert(outline.positions.end(),
                                 {static_cast<float>(p.x()), static_cast<float>(p.y()), static_cast<float>(p.z())});
        outline.corners.push_back(static_cast<uint32_t>(i));
    }
    return outline;
}

// Every triangle turns the same way as the outline and the triangles' areas
// add up to the outline's: for a triangulation of the outline's ring this
// means they cover it exactly once and nothing outside it.
void expectCoversExactly(const Outline& outline, const Indices& triangles)
{
    ASSERT_EQ(triangles.size(), 3 * (outline.corners.size() - 2));
    const Eigen::Vector3d area = outline.areaVector();
    const Eigen::Vector3d facing = area.normalized();
    double sum = 0;
    for (size_t t = 0; t < triangles.size(); t += 3) {
        Eigen::Vector3d a = outline.point(triangles[t]), b = outline.point(triangles[t + 1]),
                        c = outline.point(triangles[t + 2]);
        double signedArea = (b - a).cross(c - a).dot(facing);
        EXPECT_GT(signedArea, -1e-6) << "triangle " << t / 3 << " is turned over";
        sum += std::fabs(signedArea);
    }
    EXPECT_NEAR(sum, area.norm(), 1e-4 * area.norm());
}

// The outline turned into a random plane through the origin.
void expectCoversExactlyAnywhere(const std::vector<Eigen::Vector2d>& points, std::mt19937& random)
{
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    Eigen::Vector3d axis(unit(random), unit(random), unit(random));
    Eigen::Matrix3d placement = Eigen::AngleAxisd(unit(random) * M_PI, axis.normalized()).toRotationMatrix();
    Outline outline = outline2D(points, placement);
    expectCoversExactly(outline, outline.triangulate());
}

bool covers(const Outline& outline, const Indices& triangles, const Eigen::Vector2d& p)
{
    for (size_t t = 0; t < triangles.size(); t += 3) {
        Eigen::Vector2d a = outline.point(triangles[t]).head<2>(), b = outline.point(triangles[t + 1]).head<2>(),
                        c = outline.point(triangles[t + 2]).head<2>();
        auto side = [](const Eigen::Vector2d& u, const Eigen::Vector2d& v, const Eigen::Vector2d& w) {
            return (v.x() - u.x()) * (w.y() - u.y()) - (v.y() - u.y()) * (w.x() - u.x());
        };
        double d1 = side(a, b, p), d2 = side(b, c, p), d3 = side(c, a, p);
        if ((d1 >= 0 && d2 >= 0 && d3 >= 0) || (d1 <= 0 && d2 <= 0 && d3 <= 0))
            return true;
    }
    return false;
}

const std::vector<Eigen::Vector2d> lShape{{0, 0}, {2, 0}, {2, 1}, {1, 1}, {1, 2}, {0, 2}};

} // namespace

TEST(Triangulation, CountsAndOrderFollowThePolygons)
{
    std::vector<float> positions{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, -1, 0.5f, 0};
    EXPECT_TRUE(triangulatePolygonList(nullptr, 0, 5, positions.data(), 12).empty());

    Indices line{0, 1}, triangle{2, 3, 4}, pentagon{0, 1, 2, 3, 4};
    PolygonRecord records[] = {{2, line.data()}, {3, triangle.data()}, {5, pentagon.data()}};
    EXPECT_EQ(countPolygonTriangles(records, 3), 4);
    Indices triangles = triangulatePolygonList(records, 3, 5, positions.data(), 12);
    // The convex pentagon is fanned from its first corner.
    EXPECT_EQ(triangles, (Indices{2, 3, 4, 0, 1, 2, 0, 2, 3, 0, 3, 4}));
}

TEST(Triangulation, QuadsSplitAlongTheDiagonalThatKeepsBothHalvesFacingAlike)
{
    struct Case {
        const char* name;
        std::vector<float> positions;
        Indices expected;
    };
    const Case cases[] = {
        {"planar", {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}, {0, 1, 2, 0, 2, 3}},
        {"folded across c0-c2", {0, 0, 0, 1, 0, 0, 1, 1, 0, 2, 1, 0}, {0, 1, 3, 1, 2, 3}},
        {"reflex at c3", {0, 0, 0, 2, 0, 0, 2, 2, 0, 1.5f, 0.5f, 0}, {0, 1, 3, 1, 2, 3}},
        {"reflex at c0", {1.5f, 0.5f, 0, 2, 0, 0, 2, 2, 0, 0, 0, 0}, {0, 1, 2, 0, 2, 3}},
    };
    for (const Case& c : cases) {
        Indices quad{0, 1, 2, 3};
        PolygonRecord record{4, quad.data()};
        EXPECT_EQ(triangulatePolygonList(&record, 1, 4, c.positions.data(), 12), c.expected) << c.name;
        EXPECT_EQ(triangulateQuads(quad.data(), 1, 4, c.positions.data(), 12), c.expected) << c.name;
    }
}

TEST(Triangulation, LShapeLeavesItsNotchUncovered)
{
    Outline outline = outline2D(lShape);
    Indices triangles = outline.triangulate();
    EXPECT_EQ(triangles.size(), 12u);
    expectCoversExactly(outline, triangles);
    EXPECT_NEAR(outline.areaVector().norm() / 2, 3.0, 1e-9);
    EXPECT_FALSE(covers(outline, triangles, Eigen::Vector2d(1.5, 1.5)));
    EXPECT_TRUE(covers(outline, triangles, Eigen::Vector2d(0.5, 1.5)));
}

TEST(Triangulation, ClockwiseOutlineIsCutLikeItsMirrorAndKeepsItsWinding)
{
    const std::vector<Eigen::Vector2d> arrow{{0, 0}, {3, 0}, {3, 2}, {1.5, 0.8}, {0, 2}};
    std::vector<Eigen::Vector2d> mirrored;
    for (const Eigen::Vector2d& p : arrow)
        mirrored.emplace_back(-p.x(), p.y());
    Outline counterClockwise = outline2D(arrow), clockwise = outline2D(mirrored);
    ASSERT_LT(clockwise.areaVector().z(), 0);
    Indices expected = counterClockwise.triangulate();
    Indices triangles = clockwise.triangulate();
    EXPECT_EQ(triangles, expected);
    expectCoversExactly(clockwise, triangles); // facing from the clockwise outline's own area
    EXPECT_FALSE(covers(clockwise, triangles, Eigen::Vector2d(-1.5, 1.5)));
}

TEST(Triangulation, OutlinesOffTheXYPlaneAreProjectedOntoTheirOwnPlane)
{
    // The same concave outline in the planes z = 0, y = 0 (projected to
    // (z, x)) and x = 0 (projected to (y, z)) is cut the same way.
    Eigen::Matrix3d toZX, toYZ;
    toZX << 0, 1, 0, 0, 0, 0, 1, 0, 0; // (a, b) -> (b, 0, a)
    toYZ << 0, 0, 0, 1, 0, 0, 0, 1, 0; // (a, b) -> (0, a, b)
    Indices flat = outline2D(lShape).triangulate();
    for (const Eigen::Matrix3d& placement : {toZX, toYZ}) {
        Outline outline = outline2D(lShape, placement);
        Indices triangles = outline.triangulate();
        EXPECT_EQ(triangles, flat);
        expectCoversExactly(outline, triangles);
    }
    // A straight first corner gives no normal there; the outline still finds its plane.
    std::vector<Eigen::Vector2d> uShape{{0, 0}, {1, 0},   {2, 0},   {3, 0}, {3, 2},
                                        {2, 2}, {2, 0.5}, {1, 0.5}, {1, 2}, {0, 2}};
    Outline outline = outline2D(uShape, toYZ);
    outline.corners = {1, 2, 3, 4, 5, 6, 7, 8, 9, 0};
    expectCoversExactly(outline, outline.triangulate());
}

TEST(Triangulation, RandomStarShapedOutlinesAreCoveredExactly)
{
    std::mt19937 random(1234);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 5 + static_cast<int>(unit(random) * 40);
        // Jittered angles keep every gap below half a turn, so the origin
        // sees every corner and the outline cannot cross itself.
        std::vector<Eigen::Vector2d> points;
        for (int i = 0; i < n; ++i) {
            double angle = 2 * M_PI * (i + 0.8 * unit(random)) / n;
            double radius = 0.2 + unit(random);
            points.emplace_back(radius * std::cos(angle), radius * std::sin(angle));
        }
        if (trial % 2)
            std::reverse(points.begin(), points.end());
        SCOPED_TRACE(trial);
        expectCoversExactlyAnywhere(points, random);
    }
}

TEST(Triangulation, RandomCombsAreCoveredExactly)
{
    // Combs are deeply concave and no corner sees them whole.
    std::mt19937 random(99);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    for (int trial = 0; trial < 100; ++trial) {
        const int teeth = 2 + trial % 12;
        std::vector<Eigen::Vector2d> points{{0, 0}, {2 * teeth - 1, 0}};
        for (int i = teeth - 1; i >= 0; --i) {
            const double height = 1 + 2 * unit(random);
            points.emplace_back(2 * i + 1, height);
            points.emplace_back(2 * i, height);
            if (i > 0) {
                const double gapFloor = 0.1 + 0.8 * unit(random);
                points.emplace_back(2 * i, gapFloor);
                points.emplace_back(2 * i - 1, gapFloor);
            }
        }
        if (trial % 3 == 1)
            std::reverse(points.begin(), points.end());
        if (trial % 3 == 2)
            std::rotate(points.begin(), points.begin() + 3, points.end());
        SCOPED_TRACE(trial);
        expectCoversExactlyAnywhere(points, random);
    }
}

TEST(Triangulation, SelfCrossingOutlineStillGivesItsTriangleCount)
{
    Outline outline = outline2D({{0, 0}, {2, 2}, {2, 0}, {0, 2}, {1, 3}, {-1, 1}});
    EXPECT_EQ(outline.triangulate().size(), 12u);
}

TEST(Triangulation, CornersOutsideTheVerticesAreRefused)
{
    std::vector<float> positions(15, 0.0f);
    Indices pentagon{0, 1, 2, 3, 7};
    PolygonRecord record{5, pentagon.data()};
    EXPECT_EQ(thrownMessage([&] { triangulatePolygonList(&record, 1, 5, positions.data(), 12); }),
              "triangulatePolygonList: corner 4 of polygon 0 uses vertex 7 of 5");
    Indices quad{0, 1, 2, 5};
    EXPECT_EQ(thrownMessage([&] { triangulateQuads(quad.data(), 1, 5, positions.data(), 12); }),
              "triangulateQuads: corner 3 of polygon 0 uses vertex 5 of 5");
}
