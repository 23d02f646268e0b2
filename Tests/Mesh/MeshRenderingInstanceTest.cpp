#include "Libs/Core/DirectX/DXPixelShader.h"
#include "Libs/Core/DirectX/DXVertexShader.h"
#include "Libs/Core/RenderContext.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/StateBlocks.h"
#include "Libs/Core/Texture.h"
#include "Libs/Mesh/ModifiableMeshImpl.h"
#include "Tests/Mesh/MeshTestHelpers.h"
#include "Tests/Support/HeadlessCore.h"

#include <gtest/gtest.h>

using namespace Vostrel::Mesh;
using Vostrel::Core::APICore;
using Vostrel::Core::RenderContext;
using MeshTest::thrownMessage;

namespace {

typedef std::vector<int64_t> Arguments;

class MeshRendering : public Vostrel::TestSupport::HeadlessCoreTest {
protected:
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

    static Vostrel::Core::VertexStream* streamOf(ModifiableMesh& mesh, const std::string& name)
    {
        return &static_cast<ModifiableMeshStream*>(mesh.getStream(name))->getVertexStream();
    }

    // The arguments of each device call of the name that the action makes.
    static std::vector<Arguments> argumentsOf(const std::string& name, const std::function<void()>& action)
    {
        std::vector<Arguments> result;
        for (const D3D9Testing::Call& call : callsOf(name, action))
            result.push_back(call.arguments);
        return result;
    }

    static Arguments texcoordElement(int stream, int offset, int type, int attribute)
    {
        return {stream, offset, type, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, attribute};
    }
};

Arguments concat(std::initializer_list<Arguments> parts)
{
    Arguments all;
    for (const Arguments& part : parts)
        all.insert(all.end(), part.begin(), part.end());
    return all;
}

} // namespace

TEST_F(MeshRendering, FrozenTrianglesDrawAsOneIndexedList)
{
    auto mesh = makeSquare();
    mesh->freeze(4);
    std::unique_ptr<MeshRenderingInstance> instance;
    EXPECT_EQ(argumentsOf("CreateVertexDeclaration",
                          [&] { instance = mesh->createRenderingInstance({"location", "normal"}, "triangles"); }),
              std::vector<Arguments>{concat({texcoordElement(0, 0, D3DDECLTYPE_FLOAT3, 0),
                                             texcoordElement(1, 0, D3DDECLTYPE_FLOAT3, 1)})});

    RenderContext context;
    EXPECT_EQ(argumentsOf("DrawIndexedPrimitive", [&] { instance->render(context); }),
              (std::vector<Arguments>{{D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2}}));
    APICore& core = *APICore::getInstance();
    ASSERT_EQ(core.getCurrentStreamSet()->count, 2);
    EXPECT_EQ(core.getCurrentStreamSet()->streams[0], streamOf(*mesh, "location"));
    EXPECT_EQ(core.getCurrentStreamSet()->streams[1], streamOf(*mesh, "normal"));
    EXPECT_EQ(core.getCurrentIndexStream(), mesh->getTopology("triangles")->getIndexStream());
    EXPECT_EQ(core.getCurrentVertexFormat(), context.getVertexFormat());

    // Nothing changed: the next frame binds nothing again.
    D3D9Testing::startLog();
    instance->render(context);
    D3D9Testing::stopLog();
    std::vector<std::string> names;
    for (const D3D9Testing::Call& call : D3D9Testing::takeLog())
        names.push_back(call.name);
    EXPECT_EQ(names, std::vector<std::string>{"DrawIndexedPrimitive"});
}

TEST_F(MeshRendering, SubstreamsOfOneStreamShareItsStreamNumber)
{
    auto mesh = makeSquare();
    mesh->addSubstream("rg", "color", 0, 2);
    mesh->addSubstream("ba", "color", 2, 2);
    mesh->addSubstream("alpha", "color", 3, 1);
    mesh->freeze(4);
    std::unique_ptr<MeshRenderingInstance> instance;
    EXPECT_EQ(argumentsOf("CreateVertexDeclaration",
                          [&] { instance = mesh->createRenderingInstance({"rg", "location", "ba", "alpha"}, "triangles"); }),
              std::vector<Arguments>{concat({texcoordElement(0, 0, D3DDECLTYPE_FLOAT2, 0),
                                             texcoordElement(1, 0, D3DDECLTYPE_FLOAT3, 1),
                                             texcoordElement(0, 8, D3DDECLTYPE_FLOAT2, 2),
                                             texcoordElement(0, 12, D3DDECLTYPE_FLOAT1, 3)})});
    RenderContext context;
    instance->render(context);
    EXPECT_EQ(APICore::getInstance()->getCurrentStreamSet()->count, 2);
    EXPECT_EQ(APICore::getInstance()->getCurrentStreamSet()->streams[0], streamOf(*mesh, "color"));
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
    EXPECT_EQ(argumentsOf("DrawIndexedPrimitive",
                          [&] {
                              mesh->createRenderingInstance({"location"}, "Default")->render(context);
                              mesh->removeTopology("triangles");
                              mesh->createRenderingInstance({"location"}, "Default")->render(context);
                          }),
              (std::vector<Arguments>{{D3DPT_TRIANGLELIST, 0, 0, 4, 0, 2}, {D3DPT_LINELIST, 0, 0, 4, 0, 3}}));
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
    EXPECT_EQ(argumentsOf("DrawPrimitive",
                          [&] { mesh->createRenderingInstance({"location"}, "triangles")->render(context); }),
              (std::vector<Arguments>{{D3DPT_TRIANGLELIST, 0, 2}}));
    EXPECT_EQ(argumentsOf("DrawIndexedPrimitive",
                          [&] { mesh->createRenderingInstance({"location"}, "points")->render(context); }),
              (std::vector<Arguments>{{D3DPT_POINTLIST, 0, 0, 6, 0, 4}}));
    EXPECT_EQ(APICore::getInstance()->getCurrentIndexStream(), mesh->getTopology("points")->getIndexStream());
}

TEST_F(MeshRendering, GrowingTheMeshBindsTheNewBuffers)
{
    auto mesh = makeSquare();
    mesh->freeze(4);
    auto instance = mesh->createRenderingInstance({"location", "color"}, "triangles");
    RenderContext context;
    instance->render(context);
    Vostrel::Core::VertexStream* before = streamOf(*mesh, "location");
    mesh->setVertexCount(100);
    ASSERT_NE(streamOf(*mesh, "location"), before);
    EXPECT_EQ(argumentsOf("DrawIndexedPrimitive", [&] { instance->render(context); }),
              (std::vector<Arguments>{{D3DPT_TRIANGLELIST, 0, 0, 100, 0, 2}}));
    EXPECT_EQ(APICore::getInstance()->getCurrentStreamSet()->streams[0], streamOf(*mesh, "location"));
    EXPECT_EQ(APICore::getInstance()->getCurrentStreamSet()->streams[1], streamOf(*mesh, "color"));
}

TEST_F(MeshRendering, RefusalsNameTheReason)
{
    RenderContext context;
    auto unfrozen = makeSquare();
    auto instance = unfrozen->createRenderingInstance({"location"}, "triangles");
    EXPECT_EQ(thrownMessage([&] { instance->render(context); }), "The mesh stream is not renderable");
    unfrozen->freeze(4);
    EXPECT_EQ(thrownMessage([&] { instance->render(context); }), "");

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
    D3D9Testing::startLog();
    for (Case c : {Case{"stillClient", "The mesh has no renderable topology"},
                   Case{"polygons", "The mesh has no renderable topology"}, Case{"triangles", "Not implemented"}})
        EXPECT_EQ(thrownMessage([&] { mesh->createRenderingInstance({"location"}, c.topology)->render(context); }),
                  c.message)
            << c.topology;
    D3D9Testing::stopLog();
    std::vector<D3D9Testing::Call> log = D3D9Testing::takeLog();
    EXPECT_TRUE(D3D9Testing::callsNamed(log, "DrawIndexedPrimitive").empty());
    EXPECT_TRUE(D3D9Testing::callsNamed(log, "DrawPrimitive").empty());
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

TEST_F(MeshRendering, FrozenMeshDrawsItsTrianglesInTheColoursOfItsStream)
{
    // Two rectangles of two triangles each, red and blue, into an 8 x 8
    // target; their edges lie between pixel centres.
    struct Rectangle {
        float left, bottom, right, top;
        float color[4];
        uint32_t pixel;
    };
    const Rectangle rectangles[] = {{-0.875f, -0.375f, -0.125f, 0.625f, {1, 0, 0, 1}, 0xFFFF0000u},
                                    {0.125f, -0.875f, 0.625f, 0.125f, {0, 0, 1, 1}, 0xFF0000FFu}};
    std::vector<float> positions, colors;
    std::vector<uint32_t> indices;
    for (const Rectangle& r : rectangles) {
        const uint32_t first = static_cast<uint32_t>(positions.size() / 3);
        const float corners[4][2] = {{r.left, r.bottom}, {r.right, r.bottom}, {r.right, r.top}, {r.left, r.top}};
        for (const auto& corner : corners) {
            positions.insert(positions.end(), {corner[0], corner[1], 0.5f});
            colors.insert(colors.end(), r.color, r.color + 4);
        }
        indices.insert(indices.end(), {first, first + 1, first + 2, first, first + 2, first + 3});
    }
    auto makeMesh = [&] {
        std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
        mesh->setVertexCount(8);
        mesh->addStreamFromData("location", 3, positions.data(), 0);
        mesh->addStreamFromData("color", 4, colors.data(), 0);
        MeshTopology* triangles = mesh->addTopology("triangles", 4, 3, TOPOLOGY_CLIENT_INDICES);
        IndexLock lock(*triangles, LOCK_DISCARD);
        std::copy(indices.begin(), indices.end(), lock.get());
        return mesh;
    };

    Vostrel::Core::TextureParameters parameters;
    parameters.renderTarget = true;
    parameters.width = parameters.height = 8;
    parameters.minFilter = Vostrel::Core::MIN_POINT;
    parameters.magFilter = Vostrel::Core::MAG_POINT;
    std::unique_ptr<Vostrel::Core::Texture> target(Vostrel::Core::createTexture(parameters));
    Vostrel::Core::DXVertexShader vertexShader(
        "vs_2_0\ndcl_texcoord0 v0\ndcl_texcoord1 v1\nmov oPos, v0\nmov oT0, v1\n");
    Vostrel::Core::DXPixelShader pixelShader("ps_2_0\ndcl t0\nmov oC0, t0\n");
    RenderContext context;
    context.setCullMode(Vostrel::Core::CULL_NONE);
    context.setDepthTest(false);
    context.setVertexShader(&vertexShader);
    context.setPixelShader(&pixelShader);
    auto draw = [&](MeshRenderingInstance& instance) {
        target->getRenderTarget()->begin();
        Vostrel::Core::clear(Vostrel::Core::CLEAR_COLOR, Vec4(0.0f, 0.0f, 0.0f, 1.0f), 1.0f, 0);
        std::string message = thrownMessage([&] { instance.render(context); });
        target->getRenderTarget()->end();
        return message;
    };

    // What the rectangles cover, by pixel centres: Direct3D 9 samples pixel
    // (x, y) at clip position (x / 4 - 1, 1 - y / 4).
    std::vector<uint32_t> expected(64, 0xFF000000u);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            const float cx = x / 4.0f - 1, cy = 1 - y / 4.0f;
            for (const Rectangle& r : rectangles)
                if (cx > r.left && cx < r.right && cy > r.bottom && cy < r.top)
                    expected[y * 8 + x] = r.pixel;
        }

    auto mesh = makeMesh();
    mesh->freeze(4);
    auto instance = mesh->createRenderingInstance({"location", "color"}, "triangles");
    EXPECT_EQ(draw(*instance), "");
    EXPECT_EQ(readTexture(*target), expected);
    // Grown past its capacity, the mesh draws from its new streams alike.
    mesh->setVertexCount(40);
    EXPECT_EQ(draw(*instance), "");
    EXPECT_EQ(readTexture(*target), expected);

    // Never frozen: refused before anything reaches the device.
    auto unfrozen = makeMesh();
    auto refused = unfrozen->createRenderingInstance({"location", "color"}, "triangles");
    std::string message;
    EXPECT_TRUE(argumentsOf("DrawIndexedPrimitive", [&] { message = draw(*refused); }).empty());
    EXPECT_EQ(message, "The mesh stream is not renderable");
    EXPECT_EQ(readTexture(*target), std::vector<uint32_t>(64, 0xFF000000u));
}
