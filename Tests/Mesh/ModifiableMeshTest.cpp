#include "Libs/Mesh/ModifiableMeshImpl.h"
#include "Tests/Mesh/MeshTestHelpers.h"
#include "Tests/Support/HeadlessCore.h"

#include <gtest/gtest.h>

#include <functional>

using namespace Vostrel::Mesh;
using MeshTest::thrownMessage;

namespace {

// Mesh data lives in the render core's streams.
class ModifiableMeshTest : public Vostrel::TestSupport::HeadlessCoreTest {};

std::unique_ptr<ModifiableMeshImpl> makeMesh(int vertexCount)
{
    auto mesh = std::make_unique<ModifiableMeshImpl>();
    mesh->setVertexCount(vertexCount);
    return mesh;
}

std::vector<float> contents(MeshStream* stream, int vertexCount)
{
    StreamLock lock(*stream, LOCK_READ_ONLY);
    return std::vector<float>(lock.get(), lock.get() + vertexCount * stream->getDimension());
}

void fill(MeshStream* stream, const std::vector<float>& values)
{
    StreamLock lock(*stream, LOCK_READ_WRITE);
    std::copy(values.begin(), values.end(), lock.get());
}

std::vector<uint32_t> indices32(MeshTopology* topology, int count)
{
    IndexLock lock(*topology, LOCK_READ_ONLY);
    return std::vector<uint32_t>(lock.get(), lock.get() + count);
}

} // namespace

TEST_F(ModifiableMeshTest, EmptyMeshHoldsNothing)
{
    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
    EXPECT_EQ(mesh->getVertexCount(), 0);
    EXPECT_EQ(mesh->getVertexCapacity(), 0);
    EXPECT_TRUE(mesh->getStreamNames().empty());
    EXPECT_TRUE(mesh->getTopologyNames().empty());
    EXPECT_EQ(mesh->getName(), "");
    mesh->setName("spikey");
    EXPECT_EQ(mesh->getName(), "spikey");
    EXPECT_EQ(dynamic_cast<ModifiableMeshImpl&>(*mesh).getGeneration(), 0);

    NameArrays names{mesh->getStreamNames(), {"triangles", "lines"}};
    names.first.push_back("location");
    mesh->releaseArrays(names);
    EXPECT_TRUE(names.first.empty() && names.second.empty());
    EXPECT_EQ(names.first.capacity() + names.second.capacity(), 0u);
    EXPECT_EQ(mesh->getName(), "spikey");
}

TEST_F(ModifiableMeshTest, CreateNamesTheFileItFailedOn)
{
    struct Case {
        std::string fileName;
        std::string message;
    };
    const Case cases[] = {
        {"", "Empty filename"},
        {"data/Models/box.obj", "Unknown extension."},
        {"lwo", "Unknown extension."},
        {"data/Models/box.LWO@1", "Unknown extension."},
        {"data/Models/spikey.lwo@1", "File not found: data/Models/spikey.lwo"},
        {"data/Models/spikey.lwo", "File not found: data/Models/spikey.lwo"},
        // The layer follows the last "@"; the file part keeps the first one.
        {"data/a@b.v3d@3", "File not found: data/a@b.v3d"},
        {"data/a.v3d@b.lwo", "File not found: data/a.v3d"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        testing::internal::CaptureStdout();
        EXPECT_EQ(thrownMessage([&] { ModifiableMesh::create(c.fileName); }), c.message) << c.fileName;
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.fileName.empty() ? "aa \n" : "");
        // A file that cannot be read first says why, on a line of its own.
        const std::string notFound = "File not found: ";
        const std::string why = c.message.rfind(notFound, 0) == 0
                                    ? c.message.substr(notFound.size()) + ": No such file or directory\n"
                                    : "";
        EXPECT_EQ(testing::internal::GetCapturedStderr(), why + "In ModifiableMesh::create(" + c.fileName + ")\n");
    }
}

TEST_F(ModifiableMeshTest, GrowingPastTheCapacityReallocatesOnceAndKeepsTheData)
{
    auto mesh = makeMesh(2);
    MeshStream* location = mesh->addStream("location", 3, 0);
    fill(location, {1, 2, 3, 4, 5, 6});
    const int generation = mesh->getGeneration();

    mesh->setVertexCount(1);
    EXPECT_EQ(mesh->getVertexCapacity(), 2);
    EXPECT_EQ(mesh->getGeneration(), generation);

    mesh->setVertexCount(5);
    EXPECT_EQ(mesh->getVertexCapacity(), 5);
    EXPECT_EQ(mesh->getGeneration(), generation + 1);
    // Vertex 1 was beyond the count while it shrank: growing again starts it at zero.
    EXPECT_EQ(contents(location, 5), (std::vector<float>{1, 2, 3, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(ModifiableMeshTest, ReservingBelowTheCountNeverRecordsLessThanTheCount)
{
    auto mesh = makeMesh(4);
    MeshStream* uv = mesh->addStream("texcoord", 2, 0);
    mesh->reserveVertices(10, false);
    EXPECT_EQ(mesh->getVertexCapacity(), 10);
    const int generation = mesh->getGeneration();

    mesh->reserveVertices(6, false); // recorded, streams keep their room
    EXPECT_EQ(mesh->getVertexCapacity(), 6);
    mesh->reserveVertices(1, false);
    EXPECT_EQ(mesh->getVertexCapacity(), 4);
    EXPECT_EQ(mesh->getGeneration(), generation);

    // Streams already large enough are left alone, yet the generation moves.
    fill(uv, {1, 1, 2, 2, 3, 3, 4, 4});
    mesh->setVertexCount(8);
    EXPECT_EQ(mesh->getGeneration(), generation + 1);
    EXPECT_EQ(contents(uv, 8), (std::vector<float>{1, 1, 2, 2, 3, 3, 4, 4, 0, 0, 0, 0, 0, 0, 0, 0}));
}

TEST_F(ModifiableMeshTest, ALockedStreamIsNeverReallocatedUnderItsLock)
{
    auto mesh = makeMesh(2);
    MeshStream* location = mesh->addStream("location", 3, 0);
    float* data = location->lock(LOCK_READ_WRITE);
    EXPECT_EQ(thrownMessage([&] { mesh->setVertexCount(3); }),
              "ModifiableMesh::reserveVertices: stream location is locked");
    EXPECT_EQ(mesh->getVertexCount(), 2);
    EXPECT_EQ(location->lock(LOCK_READ_WRITE), data);
    location->unlock();
    mesh->setVertexCount(3);
    EXPECT_EQ(mesh->getVertexCapacity(), 3);
}

TEST_F(ModifiableMeshTest, StreamsAreFoundCopiedRenamedAndListedByName)
{
    auto mesh = makeMesh(2);
    const float data[] = {1, 2, 3, 4, 5, 6};
    mesh->addStreamFromData("location", 3, data, 0);
    mesh->addStream("weight", 1, 0);
    mesh->copyStream("rest", "location", 0);
    EXPECT_EQ(contents(mesh->getStream("rest"), 2), std::vector<float>(data, data + 6));
    EXPECT_EQ(contents(mesh->getStream("weight"), 2), (std::vector<float>{0, 0}));

    struct Query {
        const char* name;
        int dimension;
        bool expected;
    };
    for (Query q : {Query{"location", 3, true}, Query{"location", 0, true}, Query{"location", -1, true},
                    Query{"location", 4, false}, Query{"weight", 1, true}, Query{"missing", -1, false}})
        EXPECT_EQ(mesh->hasStream(q.name, q.dimension), q.expected) << q.name << " " << q.dimension;

    mesh->addSubstream("xy", "location", 0, 2);
    mesh->renameStream("location", "Location");
    EXPECT_EQ(mesh->getStreamNames(), (std::vector<std::string>{"Location", "rest", "weight"}));
    EXPECT_TRUE(mesh->hasSubstream("xy"));

    // Removing a stream takes the substreams over it along.
    mesh->addSubstream("z", "Location", 2, 1);
    mesh->addSubstream("w", "weight", 0, 1);
    mesh->removeStream("Location");
    EXPECT_FALSE(mesh->hasSubstream("xy"));
    EXPECT_FALSE(mesh->hasSubstream("z"));
    EXPECT_TRUE(mesh->hasSubstream("w"));
    mesh->removeSubstream("w");
    EXPECT_FALSE(mesh->hasSubstream("w"));
}

TEST_F(ModifiableMeshTest, StreamCopiesNeedAValueForEveryVertex)
{
    auto small = makeMesh(2), large = makeMesh(3);
    MeshStream* source = small->addStream("location", 3, 0);
    EXPECT_EQ(thrownMessage([&] { large->addStreamCopy("location", *source, 0); }),
              "ModifiableMesh::addStreamCopy: the source has 2 vertices, the mesh 3");
    EXPECT_FALSE(large->hasStream("location", -1));
    MeshStream* bigger = large->addStream("location", 3, 0);
    small->addStreamCopy("copy", *bigger, 0);
    EXPECT_FALSE(bigger->isLocked());
}

TEST_F(ModifiableMeshTest, TopologiesHoldIndicesByStatus)
{
    auto mesh = makeMesh(3);
    MeshTopology* triangles = mesh->addTopology("triangles", 2, 3, TOPOLOGY_CLIENT_INDICES);
    EXPECT_EQ(triangles, mesh->getTopology("triangles"));
    EXPECT_EQ(triangles->getPrimitiveCount(), 2);
    EXPECT_EQ(triangles->getIndexCapacity(), 6);
    EXPECT_EQ(triangles->getIndexStream()->getUsage(), 0);

    MeshTopology* lines = mesh->addTopology("lines", 4, 2, TOPOLOGY_INDICES_16);
    EXPECT_EQ(lines->getIndexStream()->getType(), IS_16BIT);
    EXPECT_EQ(lines->getIndexStream()->getUsage(), 4);
    EXPECT_EQ(lines->getIndexCapacity(), 8);

    EXPECT_EQ(mesh->addTopology("patches", 0, 3, TOPOLOGY_POLYGONS)->getIndexStream(), nullptr);
    EXPECT_EQ(mesh->addTopology("strip", 3, 1, TOPOLOGY_UNINDEXED)->getIndexStream(), nullptr);

    // A larger reservation grows the stream and keeps the indices; a smaller one keeps the room.
    {
        IndexLock lock(*triangles, LOCK_DISCARD);
        for (uint32_t i = 0; i < 6; ++i)
            lock.get()[i] = i % 3;
    }
    triangles->reserveIndices(12, false);
    EXPECT_EQ(triangles->getIndexCapacity(), 12);
    triangles->reserveIndices(3, false);
    EXPECT_EQ(triangles->getIndexCapacity(), 12);
    EXPECT_EQ(indices32(triangles, 6), (std::vector<uint32_t>{0, 1, 2, 0, 1, 2}));

    mesh->renameTopology("patches", "quads");
    EXPECT_EQ(mesh->getTopologyNames(), (std::vector<std::string>{"lines", "quads", "strip", "triangles"}));
    // Topologies without an index stream can be removed too.
    mesh->removeTopology("quads");
    mesh->removeTopology("strip");
    mesh->removeTopology("lines");
    EXPECT_EQ(mesh->getTopologyNames(), (std::vector<std::string>{"triangles"}));

    mesh->copyTopology("copy", *triangles);
    {
        IndexLock lock(*triangles, LOCK_READ_WRITE);
        lock.get()[0] = 2;
    }
    EXPECT_EQ(indices32(mesh->getTopology("copy"), 6), (std::vector<uint32_t>{0, 1, 2, 0, 1, 2}));
    EXPECT_EQ(mesh->getTopology("copy")->getIndexCapacity(), 12);
}

TEST_F(ModifiableMeshTest, SixteenBitConversionKeepsSmallIndicesAndRefusesLargeOnes)
{
    auto mesh = makeMesh(70000);
    MeshTopology* fits = mesh->addTopology("fits", 1, 3, TOPOLOGY_CLIENT_INDICES);
    MeshTopology* tooLarge = mesh->addTopology("tooLarge", 1, 3, TOPOLOGY_CLIENT_INDICES);
    {
        IndexLock a(*fits, LOCK_DISCARD), b(*tooLarge, LOCK_DISCARD);
        const uint32_t small[] = {0, 65535, 7}, large[] = {0, 65536, 7};
        std::copy(small, small + 3, a.get());
        std::copy(large, large + 3, b.get());
    }
    fits->setStatus(TOPOLOGY_INDICES_16);
    EXPECT_EQ(fits->getStatus(), TOPOLOGY_INDICES_16);
    {
        uint16_t* narrow = fits->lockIndices16(LOCK_READ_ONLY);
        EXPECT_EQ(std::vector<uint16_t>(narrow, narrow + 3), (std::vector<uint16_t>{0, 65535, 7}));
        fits->unlock();
    }
    EXPECT_EQ(thrownMessage([&] { tooLarge->setStatus(TOPOLOGY_INDICES_16); }),
              "ModifiableMeshTopology::setStatus: index 65536 at 1 does not fit in 16 bits");
    EXPECT_EQ(tooLarge->getStatus(), TOPOLOGY_CLIENT_INDICES);
    EXPECT_FALSE(tooLarge->isLocked());
    EXPECT_EQ(indices32(tooLarge, 3), (std::vector<uint32_t>{0, 65536, 7}));
}

TEST_F(ModifiableMeshTest, TriangulatedPolygonsBecomeAStaticIndexList)
{
    auto mesh = makeMesh(6);
    const float positions[] = {0, 0, 0, 2, 0, 0, 2, 1, 0, 1, 1, 0, 1, 2, 0, 0, 2, 0};
    MeshStream* location = mesh->addStreamFromData("location", 3, positions, 0);
    MeshTopology* topology = mesh->addTopology("triangles", 0, 3, TOPOLOGY_POLYGONS);
    topology->getPolygons() = {{0, 1, 2, 3, 4, 5}, {0, 1}};
    topology->triangulatePolygons(location);
    EXPECT_EQ(topology->getStatus(), TOPOLOGY_INDICES_32);
    EXPECT_EQ(topology->getPrimitiveCount(), 4);
    EXPECT_EQ(topology->getIndexStream()->getUsage(), 4);
    EXPECT_TRUE(topology->hasPolygons());
    EXPECT_FALSE(location->isLocked());
    EXPECT_EQ(indices32(topology, 12).size(), 12u);

    MeshTopology* broken = mesh->addTopology("broken", 0, 3, TOPOLOGY_POLYGONS);
    broken->getPolygons() = {{0, 1, 6}};
    EXPECT_EQ(thrownMessage([&] { broken->triangulatePolygons(location); }),
              "triangulatePolygonList: corner 2 of polygon 0 uses vertex 6 of 6");
    EXPECT_EQ(broken->getStatus(), TOPOLOGY_POLYGONS);
    EXPECT_FALSE(location->isLocked());
}

TEST_F(ModifiableMeshTest, FreezeMovesClientIndicesAndSystemStreamsOnce)
{
    auto mesh = makeMesh(3);
    mesh->addStream("location", 3, 0);
    mesh->addStream("dynamic", 1, 3);
    mesh->addTopology("triangles", 1, 3, TOPOLOGY_CLIENT_INDICES);
    mesh->addTopology("patches", 0, 3, TOPOLOGY_POLYGONS);
    for (int pass = 0; pass < 2; ++pass) {
        mesh->freeze(4);
        EXPECT_EQ(mesh->getStream("location")->getUsage(), 4);
        EXPECT_EQ(mesh->getStream("dynamic")->getUsage(), 3);
        EXPECT_EQ(mesh->getTopology("triangles")->getStatus(), TOPOLOGY_INDICES_32);
        EXPECT_EQ(mesh->getTopology("triangles")->getIndexStream()->getUsage(), 4);
        EXPECT_EQ(mesh->getTopology("patches")->getStatus(), TOPOLOGY_POLYGONS);
    }

    auto other = makeMesh(1);
    other->addStream("location", 3, 0);
    testing::internal::CaptureStderr();
    EXPECT_EQ(thrownMessage([&] { other->freeze(6); }), "Invalid usage");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "In ModifiableMeshImpl::freeze(..)\n");
}

TEST_F(ModifiableMeshTest, DestroyingAMeshWithALockedStreamReportsItAndGoesOn)
{
    auto mesh = makeMesh(1);
    mesh->addStream("a", 1, 0);
    mesh->addStream("b", 1, 0)->lock(LOCK_READ_WRITE);
    testing::internal::CaptureStderr();
    EXPECT_NO_THROW(mesh.reset());
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "warning: Mesh contained a locked stream (\"b\").\n");
}

TEST_F(ModifiableMeshTest, EveryFailedCheckNamesItsExpression)
{
    auto mesh = makeMesh(3);
    mesh->addStream("location", 3, 0);
    mesh->addStream("texcoord", 2, 0);
    mesh->addStream("color", 4, 0);
    mesh->addSubstream("uv", "texcoord", 0, 2);
    mesh->addTopology("triangles", 1, 3, TOPOLOGY_CLIENT_INDICES);
    mesh->addTopology("short", 1, 3, TOPOLOGY_INDICES_16);
    mesh->addTopology("polygons", 0, 3, TOPOLOGY_POLYGONS);
    mesh->addTopology("locked", 1, 3, TOPOLOGY_CLIENT_INDICES)->lockIndices32(LOCK_READ_WRITE);
    mesh->addStream("busy", 1, 0)->lock(LOCK_READ_WRITE);

    struct Case {
        const char* expression;
        std::function<void()> call;
    };
    const Case cases[] = {
        {"streams.find(streamName) == streams.end()", [&] { mesh->addStream("location", 3, 0); }},
        {"!stream->isLocked()", [&] { mesh->removeStream("busy"); }},
        {"!hasStream(newName, -1)", [&] { mesh->renameStream("texcoord", "location"); }},
        {"substreams.find(substreamName) == substreams.end()", [&] { mesh->addSubstream("uv", "location", 0, 1); }},
        {"stream->getDimension() >= begin+dimension", [&] { mesh->addSubstream("zw", "location", 2, 2); }},
        {"substreams.find(substreamName) != substreams.end()", [&] { mesh->removeSubstream("xy"); }},
        {"topologies.find(name) == topologies.end()", [&] { mesh->addTopology("triangles", 1, 3, TOPOLOGY_UNINDEXED); }},
        {"topologies.find(newTopology) == topologies.end()",
         [&] { mesh->copyTopology("short", *mesh->getTopology("triangles")); }},
        {"!topology->isLocked()", [&] { mesh->removeTopology("locked"); }},
        {"!hasTopology(newName)", [&] { mesh->renameTopology("short", "triangles"); }},
        {"indexStream", [&] { mesh->getTopology("polygons")->lockIndices32(LOCK_READ_ONLY); }},
        {"indexStream->getType() == IS_32BIT", [&] { mesh->getTopology("short")->lockIndices32(LOCK_READ_ONLY); }},
        {"indexStream->getType() == IS_16BIT", [&] { mesh->getTopology("triangles")->lockIndices16(LOCK_READ_ONLY); }},
        {"topologyStatus==TOPOLOGY_CLIENT_INDICES",
         [&] { mesh->getTopology("short")->setStatus(TOPOLOGY_INDICES_32); }},
        {"0", [&] { mesh->getTopology("triangles")->setStatus(TOPOLOGY_POLYGONS); }},
        {"getDimension()==2", [&] { mesh->getStream("location")->getVec2Array(LOCK_READ_ONLY); }},
        {"getDimension()==3", [&] { mesh->getStream("texcoord")->getVec3Array(LOCK_READ_ONLY); }},
        {"getDimension()==4", [&] { getVec4Array(mesh->getStream("location"), LOCK_READ_ONLY); }},
        {"str->getDimension() == dimension",
         [&] {
             const float up[] = {0, 1};
             mesh->getMaxProjection("location", up, 2);
         }},
    };
    for (const Case& c : cases)
        EXPECT_EQ(thrownMessage(c.call), std::string(c.expression) + " does not hold.");

    EXPECT_EQ(thrownMessage([&] { mesh->getStream("normal"); }), "Mesh does not contain a stream named normal.");
    EXPECT_EQ(thrownMessage([&] { mesh->getTopology("lines"); }), "Mesh does not contain a topology named lines.");
    EXPECT_EQ(thrownMessage([&] { mesh->addTopology("quads", 1, 4, TOPOLOGY_CLIENT_INDICES); }), "Error");
    // The failed checks changed nothing.
    EXPECT_EQ(mesh->getStreamNames(), (std::vector<std::string>{"busy", "color", "location", "texcoord"}));
    EXPECT_EQ(mesh->getTopology("short")->getStatus(), TOPOLOGY_INDICES_16);
    mesh->getStream("busy")->unlock();
    mesh->getTopology("locked")->unlock();
}
