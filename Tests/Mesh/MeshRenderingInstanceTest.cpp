#include "Libs/Core/RenderContext.h"
#include "Libs/Core/StateBlocks.h"
#include "Libs/Mesh/ModifiableMeshImpl.h"
#include "Tests/Mesh/MeshTestHelpers.h"
#include "Tests/Support/RecordingCore.h"

#include <gtest/gtest.h>

using namespace Vostrel::Mesh;
using Vostrel::Core::APICore;
using Vostrel::Core::RenderContext;
using Vostrel::TestSupport::RecordingCore;
using MeshTest::thrownMessage;

namespace {

class MeshRendering : public testing::Test {
protected:
    void SetUp() override { core = &RecordingCore::install(); }
    void TearDown() override { APICore::destroyInstance(); }

    // A square of two triangles with positions, normals and a 4-float colour.
    static std::unique_ptr<ModifiableMesh> makeSquare(TopologyStatus status = TOPOLOGY_CLIENT_INDICES)
    {
        std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
        mesh->setName("square");
        mesh->setVertexCount(4);
        mesh->addStream("location", 3, 0);
        mesh->addStream("normal", 3, 0);
        mesh->addStream("color", 4, 0);
        MeshTopology* triangles = mesh->addTopology("triangles", 2, 3, status);
        if (triangles->getIndexStream() && status != TOPOLOGY_INDICES_16) {
            IndexLock lock(*triangles, LOCK_DISCARD);
            const uint32_t indices[] = {0, 1, 2, 0, 2, 3};
            std::copy(indices, indices + 6, lock.get());
        }
        return mesh;
    }

    VertexBuffer* bufferOf(ModifiableMesh& mesh, const std::string& name)
    {
        return &static_cast<ModifiableMeshStream*>(mesh.getStream(name))->getBuffer();
    }

    std::vector<std::string> calls(const std::string& name) { return core->callsTo(name); }

    RecordingCore* core = nullptr;
};

} // namespace

TEST_F(MeshRendering, FrozenTrianglesDrawAsOneIndexedList)
{
    auto mesh = makeSquare();
    mesh->freeze(4);
    auto instance = mesh->createRenderingInstance({"location", "normal"}, "triangles");
    EXPECT_EQ(calls("createVertexFormat"), (std::vector<std::string>{"createVertexFormat(count=2 (0 0 2 0) (1 0 2 1))"}));

    RenderContext context;
    core->clearLog();
    instance->render(context);
    EXPECT_EQ(calls("drawIndexedPrimitives"),
              (std::vector<std::string>{"drawIndexedPrimitives(type=3 lowest=0 vertices=4 first=0 count=2)"}));
    ASSERT_EQ(calls("setVertexStreams").size(), 1u);
    const Vostrel::Core::StreamSet* bound = core->getCurrentStreamSet();
    ASSERT_EQ(bound->count, 2);
    EXPECT_EQ(bound->streams[0], bufferOf(*mesh, "location"));
    EXPECT_EQ(bound->streams[1], bufferOf(*mesh, "normal"));
    EXPECT_EQ(core->getCurrentIndexStream(), mesh->getTopology("triangles")->getIndexStream());
    EXPECT_EQ(core->getCurrentVertexFormat(), context.getVertexFormat());

    // Nothing changed: the next frame only draws.
    core->clearLog();
    instance->render(context);
    EXPECT_EQ(core->getLog(),
              (std::vector<std::string>{"drawIndexedPrimitives(type=3 lowest=0 vertices=4 first=0 count=2)"}));
}

TEST_F(MeshRendering, SubstreamsOfOneStreamShareItsStreamNumber)
{
    auto mesh = makeSquare();
    mesh->addSubstream("rg", "color", 0, 2);
    mesh->addSubstream("ba", "color", 2, 2);
    mesh->addSubstream("alpha", "color", 3, 1);
    mesh->freeze(4);
    auto instance = mesh->createRenderingInstance({"rg", "location", "ba", "alpha"}, "triangles");
    EXPECT_EQ(calls("createVertexFormat"),
              (std::vector<std::string>{"createVertexFormat(count=4 (0 0 1 0) (1 0 2 1) (0 8 1 2) (0 12 0 3))"}));
    RenderContext context;
    instance->render(context);
    EXPECT_EQ(core->getCurrentStreamSet()->count, 2);
    EXPECT_EQ(core->getCurrentStreamSet()->streams[0], bufferOf(*mesh, "color"));
}

TEST_F(MeshRendering, DefaultTopologyIsTheOnlyOneElseTriangles)
{
    auto mesh = makeSquare();
    MeshTopology* lines = mesh->addTopology("lines", 3, 2, TOPOLOGY_INDICES_32);
    {
        IndexLock lock(*lines, LOCK_DISCARD);
        std::fill(lock.get(), lock.get() + 6, 0u);
    }
    mesh->freeze(4);
    RenderContext context;
    mesh->createRenderingInstance({"location"}, "Default")->render(context);
    mesh->removeTopology("triangles");
    mesh->createRenderingInstance({"location"}, "Default")->render(context);
    EXPECT_EQ(calls("drawIndexedPrimitives"),
              (std::vector<std::string>{"drawIndexedPrimitives(type=3 lowest=0 vertices=4 first=0 count=2)",
                                        "drawIndexedPrimitives(type=1 lowest=0 vertices=4 first=0 count=3)"}));
    mesh->addTopology("points", 4, 1, TOPOLOGY_INDICES_32);
    EXPECT_EQ(thrownMessage([&] { mesh->createRenderingInstance({"location"}, "Default"); }),
              "Mesh does not contain a topology named triangles.");
}

TEST_F(MeshRendering, UnindexedAndSixteenBitTopologiesDraw)
{
    auto mesh = makeSquare(TOPOLOGY_UNINDEXED);
    mesh->setVertexCount(6);
    mesh->addTopology("points", 4, 1, TOPOLOGY_INDICES_16);
    mesh->freeze(4);
    RenderContext context;
    mesh->createRenderingInstance({"location"}, "triangles")->render(context);
    mesh->createRenderingInstance({"location"}, "points")->render(context);
    EXPECT_EQ(calls("drawPrimitives"), (std::vector<std::string>{"drawPrimitives(type=3 first=0 count=2)"}));
    EXPECT_EQ(calls("drawIndexedPrimitives"),
              (std::vector<std::string>{"drawIndexedPrimitives(type=0 lowest=0 vertices=6 first=0 count=4)"}));
    EXPECT_EQ(core->getCurrentIndexStream(), mesh->getTopology("points")->getIndexStream());
}

TEST_F(MeshRendering, GrowingTheMeshBindsTheNewBuffers)
{
    auto mesh = makeSquare();
    mesh->freeze(4);
    auto instance = mesh->createRenderingInstance({"location", "color"}, "triangles");
    RenderContext context;
    instance->render(context);
    VertexBuffer* before = bufferOf(*mesh, "location");
    mesh->setVertexCount(100);
    ASSERT_NE(bufferOf(*mesh, "location"), before);
    core->clearLog();
    instance->render(context);
    EXPECT_EQ(calls("setVertexStreams").size(), 1u);
    EXPECT_EQ(core->getCurrentStreamSet()->streams[0], bufferOf(*mesh, "location"));
    EXPECT_EQ(core->getCurrentStreamSet()->streams[1], bufferOf(*mesh, "color"));
    EXPECT_EQ(calls("drawIndexedPrimitives"),
              (std::vector<std::string>{"drawIndexedPrimitives(type=3 lowest=0 vertices=100 first=0 count=2)"}));
}

TEST_F(MeshRendering, RefusalsNameTheReason)
{
    RenderContext context;
    auto unfrozen = makeSquare();
    auto instance = unfrozen->createRenderingInstance({"location"}, "triangles");
    EXPECT_EQ(thrownMessage([&] { instance->render(context); }), "The mesh stream is not renderable");
    unfrozen->freeze(4);
    EXPECT_EQ(thrownMessage([&] { instance->render(context); }), "");
    core->clearLog();

    auto mesh = makeSquare();
    mesh->addStream("wide", 5, 4);
    mesh->addTopology("client", 1, 3, TOPOLOGY_CLIENT_INDICES);
    mesh->addTopology("polygons", 1, 3, TOPOLOGY_POLYGONS);
    mesh->freeze(4);
    mesh->addTopology("stillClient", 1, 3, TOPOLOGY_CLIENT_INDICES);
    mesh->getTopology("triangles")->setIndicesPerPrimitive(4);
    EXPECT_EQ(thrownMessage([&] { mesh->createRenderingInstance({"location", "wide"}, "client"); }),
              "The stream has too big dimension for rendering.");
    EXPECT_EQ(thrownMessage([&] { mesh->createRenderingInstance({"location", "uv"}, "client"); }),
              "Mesh does not contain a stream named uv. (id = square)");
    EXPECT_EQ(thrownMessage([&] { mesh->createRenderingInstance({"location"}, "lines"); }),
              "Mesh does not contain a topology named lines.");
    struct Case {
        const char* topology;
        const char* message;
    };
    for (Case c : {Case{"stillClient", "The mesh has no renderable topology"},
                   Case{"polygons", "The mesh has no renderable topology"}, Case{"triangles", "Not implemented"}})
        EXPECT_EQ(thrownMessage([&] { mesh->createRenderingInstance({"location"}, c.topology)->render(context); }),
                  c.message)
            << c.topology;
    EXPECT_TRUE(calls("drawIndexedPrimitives").empty());
    EXPECT_TRUE(calls("drawPrimitives").empty());
}

TEST_F(MeshRendering, MeshThatLostItsPartsOrIsGoneIsNotRead)
{
    RenderContext context;
    auto mesh = makeSquare();
    mesh->freeze(4);
    auto instance = mesh->createRenderingInstance({"location", "normal"}, "triangles");
    instance->render(context);
    mesh->removeStream("normal");
    EXPECT_EQ(thrownMessage([&] { instance->render(context); }),
              "The mesh square lost a stream or topology after its rendering instance was made.");

    auto other = makeSquare();
    other->freeze(4);
    auto orphan = other->createRenderingInstance({"location"}, "triangles");
    other.reset();
    EXPECT_EQ(thrownMessage([&] { orphan->render(context); }), "The mesh of the rendering instance no longer exists.");

    // An unindexed topology drawing more vertices than the mesh has is refused too.
    auto small = makeSquare(TOPOLOGY_UNINDEXED);
    small->getTopology("triangles")->setPrimitiveCount(3);
    small->freeze(4);
    EXPECT_EQ(thrownMessage([&] { small->createRenderingInstance({"location"}, "triangles")->render(context); }),
              "The topology draws 3 primitives from 4 vertices.");
}
