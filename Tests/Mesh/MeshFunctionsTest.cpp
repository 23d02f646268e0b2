#include "Libs/Math/Random.h"
#include "Libs/Mesh/MeshFunctions.h"
#include "Tests/Mesh/MeshTestHelpers.h"
#include "Tests/Support/HeadlessCore.h"

#include <gtest/gtest.h>

#include <Eigen/Geometry>

using namespace Vostrel::Mesh;
using MeshTest::thrownMessage;

namespace {

class MeshFunctionsTest : public Vostrel::TestSupport::HeadlessCoreTest {};

std::vector<float> contents(MeshStream* stream)
{
    StreamLock lock(*stream, LOCK_READ_ONLY);
    return std::vector<float>(lock.get(), lock.get() + stream->getVertexCount() * stream->getDimension());
}

std::unique_ptr<ModifiableMesh> twoTriangles()
{
    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
    mesh->setVertexCount(4);
    mesh->addStreamFromData("location", 3, std::vector<float>{0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0}.data(), 0);
    mesh->addTopology("triangles", 0, 3, TOPOLOGY_POLYGONS)->getPolygons() = {{0, 1, 2}, {0, 2, 3}};
    return mesh;
}

TEST_F(MeshFunctionsTest, BlendAndMorphNormals)
{
    std::unique_ptr<ModifiableMesh> mesh = twoTriangles();
    const std::vector<float> deltas{0, 0, 1, 0, 0, 0, 0, 0, 0, 0, 0, 0}; // lifts vertex 0
    mesh->addStreamFromData("Morph", 3, deltas.data(), 0);
    endomorphBlend(*mesh, "Morph", "location", 0.0f);
    EXPECT_EQ(contents(mesh->getStream("Morph")), deltas);
    mesh->computeNormals(181.0f, "location", "normal", "triangles");
    makeMorphTargetNormals(*mesh, "Morph");
    EXPECT_EQ(contents(mesh->getStream("Morph")), deltas);

    // The same normals from a mesh built in the morphed shape.
    std::unique_ptr<ModifiableMesh> morphed = twoTriangles();
    endomorphBlend(*morphed, "location", "location", 0.0f);
    mesh->copyStream("shape", "location", 0);
    endomorphBlend(*mesh, "shape", "Morph", 1.0f);
    morphed->removeStream("location");
    morphed->addStreamCopy("location", *mesh->getStream("shape"), 0);
    morphed->computeNormals(181.0f, "location", "normal", "triangles");
    std::vector<float> expected = contents(morphed->getStream("normal"));
    std::vector<float> rest = contents(mesh->getStream("normal"));
    std::vector<float> delta = contents(mesh->getStream("Morph_normal"));
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_NEAR(delta[i], expected[i] - rest[i], 1e-6) << i;

    // A failure on the way leaves the target holding its deltas.
    mesh->renameTopology("triangles", "faces");
    EXPECT_EQ(thrownMessage([&] { makeMorphTargetNormals(*mesh, "Morph"); }),
              "Mesh does not contain a topology named triangles.");
    EXPECT_EQ(contents(mesh->getStream("Morph")), deltas);

    endomorphBlend(*mesh, "Morph", "Morph", -1.0f);
    EXPECT_EQ(contents(mesh->getStream("Morph")), std::vector<float>(12, 0.0f));
    EXPECT_EQ(thrownMessage([&] { endomorphBlend(*mesh, "Morph", "texcoord", 1.0f); }),
              "Mesh does not contain a stream named texcoord.");
}

TEST_F(MeshFunctionsTest, EdgesAndExplosion)
{
    std::unique_ptr<ModifiableMesh> mesh = twoTriangles();
    collectEdges(*mesh, "triangles", "lines");
    MeshTopology* lines = mesh->getTopology("lines");
    ASSERT_EQ(lines->getPrimitiveCount(), 5);
    {
        IndexLock lock(*lines, LOCK_READ_ONLY);
        EXPECT_EQ(std::vector<uint32_t>(lock.get(), lock.get() + 10),
                  (std::vector<uint32_t>{0, 1, 0, 2, 0, 3, 1, 2, 2, 3}));
    }

    Vostrel::randomUInt32(); // the run's first draw seeds from the clock
    Vostrel::seedMT(7);
    addTriangleExplodeStreams(*mesh);
    std::vector<float> centroid = contents(mesh->getStream("centroid"));
    EXPECT_FLOAT_EQ(centroid[4 * 1 + 0], 2.0f / 3); // vertex 1: first triangle only
    EXPECT_FLOAT_EQ(centroid[4 * 1 + 3], 1.0f);
    // Each vertex carries a rotation: orthonormal columns, determinant 1.
    std::vector<float> columns[3] = {contents(mesh->getStream("mx0")), contents(mesh->getStream("mx1")),
                                     contents(mesh->getStream("mx2"))};
    Eigen::Matrix3f m;
    for (int c = 0; c < 3; ++c)
        m.col(c) << columns[c][0], columns[c][1], columns[c][2];
    EXPECT_TRUE((m.transpose() * m).isIdentity(1e-5f));
    EXPECT_NEAR(m.determinant(), 1.0f, 1e-5f);

    // The same seed gives the same rotations.
    std::unique_ptr<ModifiableMesh> again = twoTriangles();
    Vostrel::seedMT(7);
    addTriangleExplodeStreams(*again);
    EXPECT_EQ(contents(again->getStream("mx2")), columns[2]);
    EXPECT_NE(thrownMessage([&] { addTriangleExplodeStreams(*mesh); }), "");
}

TEST_F(MeshFunctionsTest, CurvesRoundTrip)
{
    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
    mesh->setVertexCount(4);
    mesh->addStreamFromData("location", 3, std::vector<float>{0, 0, 0, 1, 2, 0, 2, 2, 1, 3, 0, 1}.data(), 0);
    mesh->addTopology("curves", 0, 3, TOPOLOGY_POLYGONS)->getPolygons() = {{0, 1, 2, 3}, {2}};
    std::vector<Vostrel::EnvelopeVec3*> curves;
    extractCurves(*mesh, curves);
    ASSERT_EQ(curves.size(), 2u);
    EXPECT_EQ(curves[0]->evaluate(1.0f / 3), Vec3(1, 2, 0));
    EXPECT_EQ(curves[1]->evaluate(0.5f), Vec3(2, 2, 1)); // one point: stands still

    std::vector<Vostrel::Function<float, Vec3>*> functions(curves.begin(), curves.end());
    std::unique_ptr<ModifiableMesh> lines = createLineMeshFromCurves(functions, 2);
    EXPECT_EQ(lines->getTopology("lines")->getPrimitiveCount(), 2);
    const std::vector<float> ends{0, 0, 0, 3, 0, 1, 2, 2, 1, 2, 2, 1};
    const std::vector<float> location = contents(lines->getStream("location"));
    for (size_t i = 0; i < ends.size(); ++i)
        EXPECT_NEAR(location[i], ends[i], 1e-6f) << i;
    EXPECT_NE(thrownMessage([&] { createLineMeshFromCurves(functions, 1); }), "");
    for (Vostrel::EnvelopeVec3* curve : curves) {
        delete curve->getX();
        delete curve->getY();
        delete curve->getZ();
        delete curve;
    }
}

} // namespace
