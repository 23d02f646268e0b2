#include "Libs/Mesh/ModifiableMeshImpl.h"
#include "Tests/Mesh/MeshTestHelpers.h"
#include "Tests/Support/HeadlessCore.h"

#include <Eigen/Dense>
#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <set>

using namespace Vostrel::Mesh;
using MeshTest::thrownMessage;

namespace {

// Mesh data lives in the render core's streams.
class MeshOperationsTest : public Vostrel::TestSupport::HeadlessCoreTest {};

std::vector<float> contents(ModifiableMesh& mesh, const std::string& name)
{
    MeshStream* stream = mesh.getStream(name);
    StreamLock lock(*stream, LOCK_READ_ONLY);
    return std::vector<float>(lock.get(), lock.get() + mesh.getVertexCount() * stream->getDimension());
}

std::vector<uint32_t> indices32(MeshTopology* topology)
{
    IndexLock lock(*topology, LOCK_READ_ONLY);
    int count = topology->getPrimitiveCount() * topology->getIndicesPerPrimitive();
    return std::vector<uint32_t>(lock.get(), lock.get() + count);
}

void setIndices(MeshTopology* topology, const std::vector<uint32_t>& values)
{
    IndexLock lock(*topology, LOCK_READ_WRITE);
    std::copy(values.begin(), values.end(), lock.get());
}

// Two triangles over a square: 0-1-2 and 0-2-3 share the diagonal 0-2.
std::unique_ptr<ModifiableMesh> makeSquare()
{
    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
    mesh->setVertexCount(4);
    const float positions[] = {0, 0, 0, 1, 0, 0, 1, 1, 0, 0, 1, 0};
    const float uvs[] = {0, 0, 1, 0, 1, 1, 0, 1};
    mesh->addStreamFromData("location", 3, positions, 0);
    mesh->addStreamFromData("texcoord", 2, uvs, 0);
    setIndices(mesh->addTopology("triangles", 2, 3, TOPOLOGY_CLIENT_INDICES), {0, 1, 2, 0, 2, 3});
    return mesh;
}

std::unique_ptr<DiscontinuousVertexMap> makeMap(const std::string& topology, std::vector<int> polygons,
                                                std::vector<int> corners, std::vector<float> values)
{
    auto map = std::make_unique<DiscontinuousVertexMap>();
    map->streamName = "texcoord";
    map->topologyName = topology;
    map->dimension = 2;
    map->polygons = std::move(polygons);
    map->corners = std::move(corners);
    map->values = std::move(values);
    return map;
}

Eigen::Vector3f vec3(const std::vector<float>& packed, uint32_t v) { return Eigen::Vector3f(&packed[3 * v]); }

} // namespace

TEST_F(MeshOperationsTest, DuplicatedVerticesCopyEveryStream)
{
    auto mesh = makeSquare();
    EXPECT_EQ(mesh->duplicateVertices({}), 0);
    EXPECT_EQ(mesh->getVertexCount(), 4);
    EXPECT_EQ(mesh->duplicateVertices({3, 1, 3}), 3);
    EXPECT_EQ(mesh->getVertexCount(), 7);
    std::vector<float> uv = contents(*mesh, "texcoord");
    EXPECT_EQ(std::vector<float>(uv.begin() + 8, uv.end()), (std::vector<float>{0, 1, 1, 0, 0, 1}));
    std::vector<float> location = contents(*mesh, "location");
    EXPECT_EQ(std::vector<float>(location.begin() + 12, location.begin() + 15), (std::vector<float>{0, 1, 0}));
    EXPECT_EQ(thrownMessage([&] { mesh->duplicateVertices({0, 7}); }),
              "ModifiableMesh::duplicateVertices: vertex 7 of 7");
    EXPECT_EQ(mesh->getVertexCount(), 7);
}

TEST_F(MeshOperationsTest, DiscontinuousMapSplitsExactlyTheSharedCorners)
{
    // A seam along the diagonal: the second triangle's corners get their own
    // texture coordinates. Vertices 0 and 2 are shared and split; vertex 3 is
    // used only there and keeps its index.
    auto mesh = makeSquare();
    mesh->addDiscontinuousMap(makeMap("triangles", {1, 1, 1}, {0, 1, 2}, {0.5f, 0.5f, 0.6f, 0.6f, 0.7f, 0.7f}));
    mesh->applyDiscontinuousMaps();
    EXPECT_EQ(mesh->getVertexCount(), 6);
    EXPECT_EQ(indices32(mesh->getTopology("triangles")), (std::vector<uint32_t>{0, 1, 2, 4, 5, 3}));
    EXPECT_EQ(contents(*mesh, "texcoord"), (std::vector<float>{0, 0, 1, 0, 1, 1, 0.7f, 0.7f, 0.5f, 0.5f, 0.6f, 0.6f}));
    std::vector<float> location = contents(*mesh, "location");
    EXPECT_EQ(vec3(location, 4), vec3(location, 0));
    EXPECT_EQ(vec3(location, 5), vec3(location, 2));
    // The queue is empty afterwards.
    mesh->applyDiscontinuousMaps();
    EXPECT_EQ(mesh->getVertexCount(), 6);
}

TEST_F(MeshOperationsTest, DiscontinuousMapLeavesTheLastUserOfAVertexOnIt)
{
    // Every corner of vertex 0 is listed: all but the last get copies.
    auto mesh = makeSquare();
    mesh->addDiscontinuousMap(makeMap("triangles", {0, 1}, {0, 0}, {0.1f, 0.1f, 0.2f, 0.2f}));
    mesh->applyDiscontinuousMaps();
    EXPECT_EQ(mesh->getVertexCount(), 5);
    EXPECT_EQ(indices32(mesh->getTopology("triangles")), (std::vector<uint32_t>{4, 1, 2, 0, 2, 3}));
    std::vector<float> uv = contents(*mesh, "texcoord");
    EXPECT_EQ(uv[0], 0.2f);
    EXPECT_EQ(uv[8], 0.1f);

    // A corner named twice keeps the copy it got the first time.
    auto twice = makeSquare();
    twice->addDiscontinuousMap(makeMap("triangles", {0, 0}, {2, 2}, {0.3f, 0.3f, 0.4f, 0.4f}));
    twice->applyDiscontinuousMaps();
    EXPECT_EQ(twice->getVertexCount(), 5);
    EXPECT_EQ(indices32(twice->getTopology("triangles")), (std::vector<uint32_t>{0, 1, 4, 0, 2, 3}));
    EXPECT_EQ(contents(*twice, "texcoord")[8], 0.4f);
}

TEST_F(MeshOperationsTest, DiscontinuousMapCountsUsesInEveryTopology)
{
    // Vertex 3 is used once by the triangles and once by a polygon topology.
    auto mesh = makeSquare();
    MeshTopology* outline = mesh->addTopology("outline", 0, 3, TOPOLOGY_POLYGONS);
    outline->getPolygons() = {{3, 1, 2}};
    mesh->addDiscontinuousMap(makeMap("triangles", {1}, {2}, {0.9f, 0.9f}));
    // Polygon topologies name their corners by polygon and position.
    mesh->addDiscontinuousMap(makeMap("outline", {0}, {1}, {0.8f, 0.8f}));
    mesh->applyDiscontinuousMaps();
    EXPECT_EQ(mesh->getVertexCount(), 6);
    EXPECT_EQ(indices32(mesh->getTopology("triangles")), (std::vector<uint32_t>{0, 1, 2, 0, 2, 4}));
    EXPECT_EQ(outline->getPolygons()[0], (std::vector<uint32_t>{3, 5, 2}));
    std::vector<float> uv = contents(*mesh, "texcoord");
    EXPECT_EQ(std::vector<float>(uv.begin() + 8, uv.end()), (std::vector<float>{0.9f, 0.9f, 0.8f, 0.8f}));
}

TEST_F(MeshOperationsTest, DiscontinuousMapThatDoesNotFitChangesNothing)
{
    struct Case {
        const char* what;
        std::function<std::unique_ptr<DiscontinuousVertexMap>()> make;
        std::string message;
    };
    const Case cases[] = {
        {"primitive past the count", [] { return makeMap("triangles", {1, 2}, {0, 0}, {0, 0, 0, 0}); },
         "DiscontinuousVertexMap of texcoord: entry 1 names corner 0 of primitive 2 of 2"},
        {"corner past the primitive", [] { return makeMap("triangles", {0}, {3}, {0, 0}); },
         "DiscontinuousVertexMap of texcoord: entry 0 names corner 3 of primitive 0 of 2"},
        {"negative polygon", [] { return makeMap("triangles", {-1}, {0}, {0, 0}); },
         "DiscontinuousVertexMap of texcoord: entry 0 names corner 0 of primitive -1 of 2"},
        {"values missing", [] { return makeMap("triangles", {0, 1}, {0, 0}, {0, 0, 0}); },
         "DiscontinuousVertexMap of texcoord: 2 entries, 2 corners and 3 values of dimension 2"},
        {"wrong dimension",
         [] {
             auto map = makeMap("triangles", {0}, {0}, {0, 0, 0});
             map->dimension = 3;
             return map;
         },
         "patch->dimension == stream->getDimension() does not hold."},
        {"missing topology", [] { return makeMap("lines", {0}, {0}, {0, 0}); },
         "Mesh does not contain a topology named lines."},
    };
    for (const Case& c : cases) {
        auto mesh = makeSquare();
        mesh->addDiscontinuousMap(c.make());
        EXPECT_EQ(thrownMessage([&] { mesh->applyDiscontinuousMaps(); }), c.message) << c.what;
        EXPECT_EQ(mesh->getVertexCount(), 4) << c.what;
        EXPECT_EQ(indices32(mesh->getTopology("triangles")), (std::vector<uint32_t>{0, 1, 2, 0, 2, 3})) << c.what;
        EXPECT_FALSE(mesh->getTopology("triangles")->isLocked());
    }

    auto mesh = makeSquare();
    MeshTopology* outline = mesh->addTopology("outline", 0, 3, TOPOLOGY_POLYGONS);
    outline->getPolygons() = {{3, 1, 9}};
    mesh->addDiscontinuousMap(makeMap("triangles", {0}, {0}, {0, 0}));
    EXPECT_EQ(thrownMessage([&] { mesh->applyDiscontinuousMaps(); }), "Topology outline uses vertex 9 of 4.");
    auto unindexed = makeSquare();
    unindexed->addTopology("strip", 1, 3, TOPOLOGY_UNINDEXED);
    unindexed->addDiscontinuousMap(makeMap("triangles", {0}, {0}, {0, 0}));
    EXPECT_EQ(thrownMessage([&] { unindexed->applyDiscontinuousMaps(); }), "indexStream does not hold.");
}

TEST_F(MeshOperationsTest, CreasedCubeBecomesTwentyFourVerticesWithFaceNormals)
{
    MeshTest::Cube cube;
    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
    mesh->setVertexCount(8);
    mesh->addStreamFromData("location", 3, cube.positions.data(), 0);
    MeshTopology* faces = mesh->addTopology("faces", 0, 3, TOPOLOGY_POLYGONS);
    faces->getPolygons() = cube.quads;
    mesh->computeNormals(30.0f, "location", "normal", "faces");
    ASSERT_EQ(mesh->getVertexCount(), 24);

    std::vector<float> location = contents(*mesh, "location"), normal = contents(*mesh, "normal");
    std::set<uint32_t> seen;
    for (size_t f = 0; f < 6; ++f)
        for (size_t k = 0; k < 4; ++k) {
            uint32_t v = faces->getPolygons()[f][k];
            seen.insert(v);
            EXPECT_EQ(vec3(normal, v), Eigen::Vector3f(cube.faceNormals[f].data())) << f << " " << k;
            EXPECT_EQ(vec3(location, v), vec3(cube.positions, cube.quads[f][k]));
        }
    EXPECT_EQ(seen.size(), 24u);

    // Once the normal stream exists, smooth normals overwrite it in place.
    mesh->computeNormals(181.0f, "location", "normal", "faces");
    EXPECT_EQ(mesh->getVertexCount(), 24);
    EXPECT_EQ(contents(*mesh, "normal"), normal);
}

TEST_F(MeshOperationsTest, SmoothNormalsOfATriangleTopologyPointOutward)
{
    MeshTest::Sphere sphere(12, 16);
    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
    mesh->setVertexCount(sphere.vertexCount());
    mesh->addStreamFromData("location", 3, sphere.positions.data(), 0);
    const int triangles = static_cast<int>(sphere.triangles.size() / 3);
    setIndices(mesh->addTopology("triangles", triangles, 3, TOPOLOGY_CLIENT_INDICES), sphere.triangles);
    mesh->computeNormals(181.0f, "location", "normal", "triangles");
    ASSERT_EQ(mesh->getVertexCount(), sphere.vertexCount());
    std::vector<float> normal = contents(*mesh, "normal");
    for (uint32_t v = 0; v < static_cast<uint32_t>(sphere.vertexCount()); ++v)
        EXPECT_GT(vec3(normal, v).dot(vec3(sphere.positions, v).normalized()), 0.99f) << v;

    // Neighbouring faces of this sphere meet at about 20 degrees: a 60-degree
    // crease splits nothing.
    auto creased = ModifiableMesh::createEmpty();
    creased->setVertexCount(sphere.vertexCount());
    creased->addStreamFromData("location", 3, sphere.positions.data(), 0);
    setIndices(creased->addTopology("triangles", triangles, 3, TOPOLOGY_CLIENT_INDICES), sphere.triangles);
    creased->computeNormals(60.0f, "location", "normal", "triangles");
    EXPECT_EQ(creased->getVertexCount(), sphere.vertexCount());
}

TEST_F(MeshOperationsTest, NormalsOverAStreamOfAnotherDimensionFailBeforeChangingTheMesh)
{
    MeshTest::Cube cube;
    auto mesh = ModifiableMesh::createEmpty();
    mesh->setVertexCount(8);
    mesh->addStreamFromData("location", 3, cube.positions.data(), 0);
    mesh->addTopology("faces", 0, 3, TOPOLOGY_POLYGONS)->getPolygons() = cube.quads;
    mesh->addStream("normal", 4, 0);
    EXPECT_EQ(thrownMessage([&] { mesh->computeNormals(30.0f, "location", "normal", "faces"); }),
              "streams.find(streamName) == streams.end() does not hold.");
    EXPECT_EQ(mesh->getVertexCount(), 8);
    EXPECT_EQ(mesh->getTopology("faces")->getPolygons(), cube.quads);
    EXPECT_FALSE(mesh->getStream("location")->isLocked());
}

TEST_F(MeshOperationsTest, TangentSpaceOfATexturedSquare)
{
    auto mesh = makeSquare();
    mesh->computeNormals(181.0f, "location", "normal", "triangles");
    mesh->computeTangentSpace("texcoord", "tangent", "binormal", "location", "normal", "triangles");
    std::vector<float> tangent = contents(*mesh, "tangent"), binormal = contents(*mesh, "binormal");
    for (uint32_t v = 0; v < 4; ++v) {
        EXPECT_TRUE(vec3(tangent, v).isApprox(Eigen::Vector3f(1, 0, 0))) << v;
        EXPECT_TRUE(vec3(binormal, v).isApprox(Eigen::Vector3f(0, 1, 0))) << v;
    }
    for (const char* name : {"location", "normal", "texcoord", "tangent", "binormal"})
        EXPECT_FALSE(mesh->getStream(name)->isLocked()) << name;
    EXPECT_EQ(thrownMessage([&] {
                  mesh->computeTangentSpace("texcoord", "tangent2", "binormal", "location", "normal", "triangles");
              }),
              "streams.find(streamName) == streams.end() does not hold.");
    EXPECT_FALSE(mesh->hasStream("tangent2", -1));
}

TEST_F(MeshOperationsTest, CloneCopiesIntoSystemMemoryAndStandsAlone)
{
    auto mesh = makeSquare();
    mesh->setName("square");
    mesh->addStream("rgba", 4, 0);
    mesh->addSubstream("rg", "rgba", 0, 2);
    mesh->reserveVertices(16, false);
    mesh->freeze(4);
    std::unique_ptr<ModifiableMesh> copy = mesh->clone();
    EXPECT_EQ(copy->getName(), "");
    EXPECT_EQ(copy->getVertexCount(), 4);
    EXPECT_EQ(copy->getVertexCapacity(), 4);
    EXPECT_EQ(dynamic_cast<ModifiableMeshImpl&>(*copy).getGeneration(), 0);
    EXPECT_EQ(copy->getStreamNames(), mesh->getStreamNames());
    for (const std::string& name : copy->getStreamNames()) {
        EXPECT_EQ(copy->getStream(name)->getUsage(), 0) << name;
        EXPECT_EQ(contents(*copy, name), contents(*mesh, name)) << name;
    }
    EXPECT_TRUE(copy->hasSubstream("rg"));
    EXPECT_EQ(copy->getTopology("triangles")->getStatus(), TOPOLOGY_INDICES_32);
    EXPECT_EQ(indices32(copy->getTopology("triangles")), indices32(mesh->getTopology("triangles")));

    copy->removeStream("rgba");
    copy->duplicateVertices({0});
    EXPECT_TRUE(mesh->hasSubstream("rg"));
    EXPECT_EQ(mesh->getVertexCount(), 4);
}

TEST_F(MeshOperationsTest, BoundsAndLargestProjection)
{
    auto mesh = ModifiableMesh::createEmpty();
    mesh->addStream("location", 3, 0);
    float minimum[3] = {9, 9, 9}, maximum[3] = {9, 9, 9};
    mesh->getBounds("location", minimum, maximum);
    EXPECT_EQ(std::vector<float>(minimum, minimum + 3), std::vector<float>(3, 0.0f));
    EXPECT_EQ(std::vector<float>(maximum, maximum + 3), std::vector<float>(3, 0.0f));
    const float direction[] = {0, 1, 1};
    EXPECT_EQ(thrownMessage([&] { mesh->getMaxProjection("location", direction, 3); }),
              "ModifiableMesh::getMaxProjection: the mesh has no vertices");

    mesh->removeStream("location");
    mesh->setVertexCount(3);
    const float points[] = {1, -2, 3, -4, 5, 0.5f, 2, 0, -6};
    mesh->addStreamFromData("location", 3, points, 0);
    mesh->getBounds("location", minimum, maximum);
    EXPECT_EQ(std::vector<float>(minimum, minimum + 3), (std::vector<float>{-4, -2, -6}));
    EXPECT_EQ(std::vector<float>(maximum, maximum + 3), (std::vector<float>{2, 5, 3}));
    EXPECT_EQ(mesh->getMaxProjection("location", direction, 3), 5.5f);
}
