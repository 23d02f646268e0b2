#include "Libs/Mesh/NormalKernels.h"
#include "Tests/Mesh/MeshTestHelpers.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <cmath>

using namespace Vostrel::Mesh;
using MeshTest::thrownMessage;

namespace {

Eigen::Vector3f at(const std::vector<float>& packed, int v) { return Eigen::Vector3f(&packed[3 * v]); }

std::vector<PolygonRecord> recordsOf(std::vector<std::vector<uint32_t>>& polygons) { return makePolygonRecords(polygons); }

} // namespace

TEST(NormalKernels, PlanarQuadGivesItsFaceNormalAndAnUnusedVertexKeepsZero)
{
    std::vector<float> positions{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0, 5, 5, 5};
    std::vector<std::vector<uint32_t>> polygons{{0, 1, 2, 3}};
    std::vector<PolygonRecord> records = recordsOf(polygons);
    std::vector<float> normals(15, 7.0f);
    computeVertexNormals(records.data(), 1, 5, positions.data(), 12, normals.data(), 12);
    for (int v = 0; v < 4; ++v)
        EXPECT_TRUE(at(normals, v).isApprox(Eigen::Vector3f(0, 0, 1))) << v;
    EXPECT_EQ(at(normals, 4), Eigen::Vector3f::Zero());
}

TEST(NormalKernels, SmoothNormalsOfASpherePointOutward)
{
    MeshTest::Sphere sphere(16, 24);
    std::vector<float> fromTriangles(sphere.positions.size()), fromPolygons(sphere.positions.size());
    computeVertexNormalsFromTriangles(sphere.triangles.data(), static_cast<int>(sphere.triangles.size() / 3),
                                      sphere.vertexCount(), sphere.positions.data(), 12, fromTriangles.data(), 12);
    std::vector<PolygonRecord> records = makePolygonRecords(sphere.triangles.data(),
                                                            static_cast<int>(sphere.triangles.size() / 3), 3);
    computeVertexNormals(records.data(), static_cast<int>(records.size()), sphere.vertexCount(),
                         sphere.positions.data(), 12, fromPolygons.data(), 12);
    for (int v = 0; v < sphere.vertexCount(); ++v) {
        Eigen::Vector3f outward = at(sphere.positions, v).normalized();
        EXPECT_NEAR(at(fromTriangles, v).norm(), 1.0f, 1e-5f);
        EXPECT_GT(at(fromTriangles, v).dot(outward), 0.99f) << v;
        EXPECT_TRUE(at(fromPolygons, v).isApprox(at(fromTriangles, v))) << v;
    }
}

TEST(NormalKernels, FoldedTrianglesSplitBelowTheirAngleAndMergeAboveIt)
{
    // Two triangles sharing the edge 0-1 along x, folded at 90 degrees.
    std::vector<float> positions{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 1};
    const Eigen::Vector3f floor(0, 0, 1), wall(0, 1, 0);
    struct Case {
        float angle;
        size_t duplicates;
    };
    for (Case c : {Case{30.0f, 2}, Case{120.0f, 0}}) {
        std::vector<std::vector<uint32_t>> polygons{{0, 1, 2}, {1, 0, 3}};
        std::vector<PolygonRecord> records = recordsOf(polygons);
        std::vector<float> normals;
        std::vector<int> duplicates;
        computeCreaseNormals(c.angle, records.data(), 2, 4, positions.data(), 12, normals, duplicates);
        ASSERT_EQ(duplicates.size(), c.duplicates) << c.angle;
        ASSERT_EQ(normals.size(), 3 * (4 + c.duplicates));
        EXPECT_TRUE(at(normals, 2).isApprox(floor));
        EXPECT_TRUE(at(normals, 3).isApprox(wall));
        if (c.duplicates) {
            EXPECT_EQ(duplicates, (std::vector<int>{0, 1}));
            // The floor keeps the shared vertices, the wall gets the copies.
            EXPECT_EQ(polygons[0], (std::vector<uint32_t>{0, 1, 2}));
            EXPECT_EQ(polygons[1], (std::vector<uint32_t>{5, 4, 3}));
            for (int v : {0, 1})
                EXPECT_TRUE(at(normals, v).isApprox(floor));
            for (int v : {4, 5})
                EXPECT_TRUE(at(normals, v).isApprox(wall));
        } else {
            for (int v : {0, 1})
                EXPECT_TRUE(at(normals, v).isApprox((floor + wall).normalized()));
        }
    }
}

TEST(NormalKernels, CreasedCubeSplitsEveryCornerIntoThreeWithFaceNormals)
{
    MeshTest::Cube cube;
    const std::vector<std::vector<uint32_t>> originalQuads = cube.quads;
    std::vector<PolygonRecord> records = recordsOf(cube.quads);
    std::vector<float> normals;
    std::vector<int> duplicates;
    computeCreaseNormals(30.0f, records.data(), 6, 8, cube.positions.data(), 12, normals, duplicates);
    ASSERT_EQ(duplicates.size(), 16u);
    ASSERT_EQ(normals.size(), 24u * 3);
    std::vector<int> uses(24, 0);
    for (size_t f = 0; f < cube.quads.size(); ++f)
        for (size_t k = 0; k < 4; ++k) {
            uint32_t v = cube.quads[f][k];
            ASSERT_LT(v, 24u);
            ++uses[v];
            Eigen::Vector3f expected(cube.faceNormals[f].data());
            EXPECT_TRUE(at(normals, v).isApprox(expected)) << "face " << f << " vertex " << v;
            // A copy stands for the corner it replaced.
            EXPECT_EQ(v < 8 ? v : static_cast<uint32_t>(duplicates[v - 8]), originalQuads[f][k]);
        }
    for (int v = 0; v < 24; ++v)
        EXPECT_EQ(uses[v], 1) << v;
}

TEST(NormalKernels, TangentsOfATexturedSquareFollowTheTextureAxes)
{
    std::vector<float> positions{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    std::vector<float> normals{0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    std::vector<float> texcoords{0, 0, 1, 0, 1, 1, 0, 1};
    std::vector<std::vector<uint32_t>> polygons{{0, 1, 2, 3}};
    std::vector<PolygonRecord> records = recordsOf(polygons);
    std::vector<float> tangents(12), binormals(12);
    computeTangentFrames(records.data(), 1, 4, positions.data(), normals.data(), texcoords.data(), tangents.data(),
                         binormals.data());
    for (int v = 0; v < 4; ++v) {
        EXPECT_TRUE(at(tangents, v).isApprox(Eigen::Vector3f(1, 0, 0))) << v;
        EXPECT_TRUE(at(binormals, v).isApprox(Eigen::Vector3f(0, 1, 0))) << v;
    }
}

TEST(NormalKernels, TangentsOfASkewedPlaneAreTheTextureGradients)
{
    // A tilted plane with an affine texture mapping: the tangent is the
    // in-plane gradient of u, solved here independently by least squares.
    Eigen::Vector3f origin(0.5f, -1, 2), axisA(1, 0.3f, 0.2f), axisB(-0.4f, 1, 0.5f);
    Eigen::Matrix<float, 2, 2> uvMap;
    uvMap << 2.0f, 0.7f, -0.5f, 1.5f; // (u, v) = uvMap * (a, b)
    std::vector<float> positions, texcoords;
    const float grid[5][2] = {{0, 0}, {1, 0}, {1.3f, 0.8f}, {0.4f, 1.2f}, {-0.2f, 0.6f}};
    for (const auto& g : grid) {
        Eigen::Vector3f p = origin + g[0] * axisA + g[1] * axisB;
        Eigen::Vector2f uv = uvMap * Eigen::Vector2f(g[0], g[1]);
        positions.insert(positions.end(), {p.x(), p.y(), p.z()});
        texcoords.insert(texcoords.end(), {uv.x(), uv.y()});
    }
    Eigen::Vector3f normal = axisA.cross(axisB).normalized();
    std::vector<float> normals;
    for (int v = 0; v < 5; ++v)
        normals.insert(normals.end(), {normal.x(), normal.y(), normal.z()});
    std::vector<std::vector<uint32_t>> polygons{{0, 1, 2, 3, 4}};
    std::vector<PolygonRecord> records = recordsOf(polygons);
    std::vector<float> tangents(15), binormals(15);
    computeTangentFrames(records.data(), 1, 5, positions.data(), normals.data(), texcoords.data(), tangents.data(),
                         binormals.data());

    // grad f satisfies grad.axisA = df/da, grad.axisB = df/db, grad.normal = 0.
    Eigen::Matrix3f system;
    system.row(0) = axisA;
    system.row(1) = axisB;
    system.row(2) = normal;
    Eigen::Vector3f gradU = system.colPivHouseholderQr().solve(Eigen::Vector3f(uvMap(0, 0), uvMap(0, 1), 0));
    Eigen::Vector3f gradV = system.colPivHouseholderQr().solve(Eigen::Vector3f(uvMap(1, 0), uvMap(1, 1), 0));
    for (int v = 0; v < 5; ++v) {
        EXPECT_TRUE(at(tangents, v).isApprox(gradU.normalized(), 1e-4f)) << v << ": " << at(tangents, v).transpose();
        EXPECT_TRUE(at(binormals, v).isApprox(gradV.normalized(), 1e-4f)) << v;
    }
}

TEST(NormalKernels, DegenerateCornersLeaveNoNaN)
{
    // Repeated and collinear corners, a vertex without texture variation and
    // an unused vertex: nothing divides by zero.
    std::vector<float> positions{0, 0, 0, 1, 0, 0, 2, 0, 0, 1, 0, 0, 3, 3, 3};
    std::vector<float> normals{0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1, 0, 0, 1};
    std::vector<float> texcoords{0, 0, 0, 0, 0, 0, 0, 0, 0, 0};
    std::vector<std::vector<uint32_t>> polygons{{0, 1, 2}, {0, 0, 1}, {1, 3}, {2}};
    std::vector<PolygonRecord> records = recordsOf(polygons);
    std::vector<float> tangents(15, 9.0f), binormals(15, 9.0f);
    computeTangentFrames(records.data(), 4, 5, positions.data(), normals.data(), texcoords.data(), tangents.data(),
                         binormals.data());
    for (float value : tangents)
        EXPECT_EQ(value, 0.0f);
    for (float value : binormals)
        EXPECT_EQ(value, 0.0f);

    std::vector<float> creaseNormals;
    std::vector<int> duplicates;
    computeCreaseNormals(45.0f, records.data(), 4, 5, positions.data(), 12, creaseNormals, duplicates);
    ASSERT_EQ(creaseNormals.size(), 3 * (5 + duplicates.size()));
    for (float value : creaseNormals)
        EXPECT_FALSE(std::isnan(value));
}

TEST(NormalKernels, FaceNormalsPerPolygonAndPerTriangle)
{
    std::vector<float> positions{0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0, 2, 2, 0, 0};
    std::vector<std::vector<uint32_t>> polygons{{0, 1, 2}, {0, 3, 1}, {0, 1, 4}, {3, 4}};
    std::vector<PolygonRecord> records = recordsOf(polygons);
    std::vector<float> output(12, 7.0f);
    testing::internal::CaptureStdout();
    computePolygonNormals(records.data(), 4, 5, positions.data(), 12, output.data(), 12);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "Warning: degenerated polygon.\n");
    EXPECT_EQ(output, (std::vector<float>{0, 0, 1, 0, 1, 0, 0, 0, 0, 7, 7, 7}));

    std::vector<uint32_t> triangles{0, 2, 1, 0, 1, 3};
    std::vector<float> triangleOutput(6);
    computeTriangleNormals(triangles.data(), 2, 5, positions.data(), 12, triangleOutput.data(), 12);
    EXPECT_EQ(triangleOutput, (std::vector<float>{0, 0, -1, 0, -1, 0}));
}

TEST(NormalKernels, CornersOutsideTheVerticesAreRefusedBeforeAnythingIsWritten)
{
    std::vector<float> positions{0, 0, 0, 1, 0, 0, 0, 1, 0};
    std::vector<std::vector<uint32_t>> polygons{{0, 1, 2}, {0, 2, 3}};
    std::vector<PolygonRecord> records = recordsOf(polygons);
    std::vector<float> out(9, 7.0f), normals;
    std::vector<int> duplicates;
    std::vector<float> texcoords(6, 0.0f);
    const std::string tail = ": corner 2 of polygon 1 uses vertex 3 of 3";
    EXPECT_EQ(thrownMessage([&] { computeVertexNormals(records.data(), 2, 3, positions.data(), 12, out.data(), 12); }),
              "computeVertexNormals" + tail);
    EXPECT_EQ(thrownMessage([&] {
                  computeCreaseNormals(30, records.data(), 2, 3, positions.data(), 12, normals, duplicates);
              }),
              "computeCreaseNormals" + tail);
    EXPECT_EQ(thrownMessage([&] {
                  computeTangentFrames(records.data(), 2, 3, positions.data(), out.data(), texcoords.data(),
                                       out.data(), nullptr);
              }),
              "computeTangentFrames" + tail);
    EXPECT_EQ(thrownMessage([&] { computePolygonNormals(records.data(), 2, 3, positions.data(), 12, out.data(), 12); }),
              "computePolygonNormals" + tail);
    std::vector<uint32_t> triangles{0, 1, 2, 0, 2, 9};
    EXPECT_EQ(thrownMessage([&] {
                  computeVertexNormalsFromTriangles(triangles.data(), 2, 3, positions.data(), 12, out.data(), 12);
              }),
              "computeVertexNormalsFromTriangles: corner 2 of triangle 1 uses vertex 9 of 3");
    EXPECT_EQ(out, std::vector<float>(9, 7.0f));
    EXPECT_EQ(polygons[1], (std::vector<uint32_t>{0, 2, 3}));
}
