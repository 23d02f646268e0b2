#include "Libs/Common/Exception.h"
#include "Libs/Core/RenderContext.h"
#include "Tests/Support/RecordingCore.h"

#include <gtest/gtest.h>

#include <new>

using namespace Vostrel::Core;
using namespace Vostrel::TestSupport;
using Lines = std::vector<std::string>;

namespace {

const Lines everyDefaultBlock = {
    "setCullState(mode=2)",
    "setFillState(mode=0 pointSprite=0)",
    "setColorWriteState(enabled=1)",
    "setClipState(planes=0 count=0 scissor=0 rect=(0 0 1 1))",
    "setAuxState(flag0=0 flag1=0)",
    "setAlphaTestState(enabled=0 ref=0 func=1)",
    "setDepthState(test=1 write=1 func=1 bias=0 slope=0)",
    "setBlendState(enabled=0 src=1 dst=1 op=0 factor=(1 1 1 1))",
    "setStencilState(enabled=0 fail=1 depthFail=1 pass=1 func=7 ref=0 read=65535 write=65535)",
    "setVertexStreams(count=0 format=null)",
    "setTextures(count=0)",
    "setVertexShaderConstants(count=0)",
    "setPixelShaderConstants(count=0)",
};

Lines with(Lines lines, const std::string& last)
{
    lines.push_back(last);
    return lines;
}

} // namespace

class Apply : public ::testing::Test {
protected:
    void SetUp() override { core = &RecordingCore::install(); }
    void TearDown() override { destroyCore(); }

    RecordingCore* core = nullptr;
};

TEST_F(Apply, FirstDrawSendsEveryBlockInItsFixedOrder)
{
    RenderContext context;
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 2);
    EXPECT_EQ(core->takeLog(), with(everyDefaultBlock, "drawPrimitives(type=3 first=0 count=2)"));
}

TEST_F(Apply, EverySlotIsSentInTheFixedOrderWhenAllIsSet)
{
    FakeVertexStream stream("s0");
    FakeVertexFormat format("f0");
    FakeTexture texture("t0");
    FakeVertexShader vs("vs");
    FakePixelShader ps("ps");
    FakeIndexStream indices("indices");
    RenderContext context;
    context.setVertexStream(0, &stream);
    context.setVertexFormat(&format);
    context.setTexture(0, &texture);
    context.setVertexShader(&vs);
    context.setPixelShader(&ps);
    context.setVertexConstantCount(1);
    context.setPixelConstantCount(1);
    context.setIndexStream(&indices);
    context.drawIndexedPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 3, 0, 1);
    Lines expected(everyDefaultBlock.begin(), everyDefaultBlock.begin() + 9);
    for (const char* line : {"setVertexStreams(count=1 s0 format=f0)", "setTextures(count=1 t0)", "setVertexShader(vs)",
                             "setPixelShader(ps)", "setVertexShaderConstants(count=1 (0 0 0 0))",
                             "setPixelShaderConstants(count=1 (0 0 0 0))", "setIndexStream(indices)",
                             "drawIndexedPrimitives(type=3 lowest=0 vertices=3 first=0 count=1)"})
        expected.push_back(line);
    EXPECT_EQ(core->takeLog(), expected);
}

TEST_F(Apply, SecondDrawWithUnchangedStateSendsNothing)
{
    RenderContext context;
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 2);
    core->clearLog();
    context.drawIndexedPrimitives(PRIMITIVE_TRIANGLE_STRIP, 0, 4, 0, 2);
    EXPECT_EQ(core->takeLog(), Lines({"drawIndexedPrimitives(type=4 lowest=0 vertices=4 first=0 count=2)"}));
}

TEST_F(Apply, ContextsOnTheSameDefaultsSendNothingForEachOther)
{
    RenderContext first, second;
    first.drawPrimitives(PRIMITIVE_POINT_LIST, 0, 1);
    core->clearLog();
    second.drawPrimitives(PRIMITIVE_POINT_LIST, 0, 1);
    EXPECT_EQ(core->takeLog(), Lines({"drawPrimitives(type=0 first=0 count=1)"}));
}

TEST_F(Apply, ChangingOneBlockSendsThatBlockAlone)
{
    RenderContext context;
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 2);
    core->clearLog();
    context.setBlending(true);
    context.setSourceBlend(BLEND_SOURCE_ALPHA);
    context.setDestinationBlend(BLEND_INVERSE_SOURCE_ALPHA);
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 2);
    EXPECT_EQ(core->takeLog(), Lines({"setBlendState(enabled=1 src=4 dst=5 op=0 factor=(1 1 1 1))",
                                      "drawPrimitives(type=3 first=0 count=2)"}));

    // Changed in place (the context owns it now), the block goes again.
    context.setBlendOperation(BLENDOP_REVERSE_SUBTRACT);
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 2);
    EXPECT_EQ(core->callsTo("setBlendState"), Lines({"setBlendState(enabled=1 src=4 dst=5 op=2 factor=(1 1 1 1))"}));
}

TEST_F(Apply, SwitchingBetweenContextsSendsTheBlocksThatDiffer)
{
    RenderContext plain, culled;
    culled.setCullMode(CULL_NONE);
    plain.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    culled.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    core->clearLog();
    plain.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    EXPECT_EQ(core->takeLog(), Lines({"setCullState(mode=2)", "drawPrimitives(type=3 first=0 count=1)"}));
}

TEST_F(Apply, ClipBlockIsSentAgainAfterTheTargetChanges)
{
    RecordingTarget window("window", 640, 480), texture("texture", 256, 256);
    RenderContext context;
    context.setScissorEnabled(true);
    context.setScissorRect(0.25f, 0.25f, 0.5f, 0.5f);
    window.begin();
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 2);
    texture.begin();
    core->clearLog();
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 2);
    EXPECT_EQ(core->takeLog(), Lines({"setClipState(planes=0 count=0 scissor=1 rect=(0.25 0.25 0.5 0.5))",
                                      "drawPrimitives(type=3 first=0 count=2)"}));
    EXPECT_FALSE(core->isTargetChanged());
    texture.end();
    core->clearLog();
    context.clear(CLEAR_COLOR, Vec4(0, 0, 0, 1), 1.0f, 0);
    EXPECT_EQ(core->takeLog(), Lines({"setClipState(planes=0 count=0 scissor=1 rect=(0.25 0.25 0.5 0.5))",
                                      "clearViewport(flags=1 color=(0 0 0 1) depth=1 stencil=0)"}));
    window.end();
}

TEST_F(Apply, ClearThroughAContextSendsOnlyTheClipBlockThenClearsTheViewport)
{
    RenderContext context;
    context.setCullMode(CULL_NONE);
    context.clear(CLEAR_COLOR | CLEAR_DEPTH | CLEAR_STENCIL, Vec4(1, 0, 0, 1), 1.0f, 0);
    EXPECT_EQ(core->takeLog(), Lines({"setClipState(planes=0 count=0 scissor=0 rect=(0 0 1 1))",
                                      "clearViewport(flags=7 color=(1 0 0 1) depth=1 stencil=0)"}));
    context.clear(0, Vec4(0, 0, 0, 0), 0.5f, 3);
    EXPECT_EQ(core->takeLog(), Lines({"clearViewport(flags=0 color=(0 0 0 0) depth=0.5 stencil=3)"}));
    // The free function clears the whole target instead.
    clear(CLEAR_DEPTH, Vec4(0, 0, 0, 0), 1.0f, 0);
    EXPECT_EQ(core->takeLog(), Lines({"clearTarget(flags=2 color=(0 0 0 0) depth=1 stencil=0)"}));
}

TEST_F(Apply, TextureSlotsWithNullsAreSentWithTheirCount)
{
    FakeTexture t0("t0"), t1("t1"), t2("t2");
    RenderContext context;
    context.setTexture(0, &t0);
    context.setTexture(1, &t1);
    context.setTexture(2, &t2);
    context.setTexture(1, nullptr);
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    EXPECT_EQ(core->callsTo("setTextures"), Lines({"setTextures(count=3 t0 null t2)"}));
    core->clearLog();
    context.setTexture(2, nullptr);
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    EXPECT_EQ(core->takeLog(), Lines({"setTextures(count=1 t0)", "drawPrimitives(type=3 first=0 count=1)"}));
}

TEST_F(Apply, SameTextureAgainIsSentWithTheSetCleanSoTheDeviceSkipsIt)
{
    FakeTexture t0("t0");
    RenderContext context;
    context.setTexture(0, &t0);
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    core->clearLog();
    context.setTexture(0, &t0);
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    EXPECT_EQ(core->callsTo("setTextures"), Lines({"setTextures(count=1 t0)"}));
    EXPECT_FALSE(context.getTextureSet()->dirty);
}

TEST_F(Apply, StreamsAreSentAgainWhenOnlyTheFormatChanges)
{
    FakeVertexStream s0("s0"), s1("s1");
    FakeVertexFormat f0("f0"), f1("f1");
    RenderContext context;
    context.setVertexStream(0, &s0);
    context.setVertexStream(1, &s1);
    context.setVertexFormat(&f0);
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    EXPECT_EQ(core->callsTo("setVertexStreams"), Lines({"setVertexStreams(count=2 s0 s1 format=f0)"}));
    core->clearLog();
    context.setVertexFormat(&f1);
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    EXPECT_EQ(core->takeLog(), Lines({"setVertexStreams(count=2 s0 s1 format=f1)",
                                      "drawPrimitives(type=3 first=0 count=1)"}));
}

TEST_F(Apply, ShadersConstantsAndIndicesFollowTheStateBlocks)
{
    FakeVertexShader vs("vs");
    FakePixelShader ps("ps");
    FakeIndexStream indices("indices");
    RenderContext context;
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    core->clearLog();
    context.setVertexShader(&vs);
    context.setPixelShader(&ps);
    context.setIndexStream(&indices);
    context.setVertexConstantCount(1);
    context.setVertexConstant(0, Vec4(1, 2, 3, 4));
    context.drawIndexedPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 3, 0, 1);
    EXPECT_EQ(core->takeLog(), Lines({"setVertexShader(vs)", "setPixelShader(ps)",
                                      "setVertexShaderConstants(count=1 (1 2 3 4))", "setIndexStream(indices)",
                                      "drawIndexedPrimitives(type=3 lowest=0 vertices=3 first=0 count=1)"}));
    context.setPixelShader(nullptr);
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    EXPECT_EQ(core->takeLog(), Lines({"setPixelShader(null)", "drawPrimitives(type=3 first=0 count=1)"}));
}

TEST_F(Apply, OnlyTheConstantCountIsUploaded)
{
    RenderContext context;
    context.setPixelConstantCount(8);
    context.setPixelConstant(0, Vec4(1, 1, 1, 1));
    context.setPixelConstantCount(2);
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    EXPECT_EQ(core->callsTo("setPixelShaderConstants"),
              Lines({"setPixelShaderConstants(count=2 (1 1 1 1) (0 0 0 0))"}));
}

TEST_F(Apply, ARefusedBlockIsRefusedAgainAtTheNextDraw)
{
    RenderContext context;
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    context.setStencil(true);
    context.setStencilPass(static_cast<StencilOperation>(2));
    core->setFailingSlot("setStencilState");
    EXPECT_THROW(context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1), Vostrel::Exception);
    EXPECT_THROW(context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1), Vostrel::Exception);
    EXPECT_EQ(core->callsTo("drawPrimitives").size(), 1u);
    core->setFailingSlot("");
    context.setStencil(false);
    core->clearLog();
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    EXPECT_EQ(core->callsTo("setStencilState").size(), 1u);
}

// An object made where a destroyed one lay has the same address; the record
// must have dropped the old one, or the new one would never be bound.
TEST_F(Apply, AResourceMadeWhereADestroyedOneLayIsBound)
{
    alignas(FakeVertexShader) unsigned char place[sizeof(FakeVertexShader)];
    RenderContext context;
    auto* first = new (place) FakeVertexShader("first");
    context.setVertexShader(first);
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    first->~FakeVertexShader();
    EXPECT_EQ(core->getCurrentVertexShader(), nullptr);
    auto* second = new (place) FakeVertexShader("second");
    ASSERT_EQ(static_cast<void*>(second), static_cast<void*>(place));
    core->clearLog();
    context.setVertexShader(second);
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    EXPECT_EQ(core->callsTo("setVertexShader"), Lines({"setVertexShader(second)"}));
    second->~FakeVertexShader();
}

TEST_F(Apply, ATextureMadeWhereADestroyedBoundOneLayIsBound)
{
    alignas(FakeTexture) unsigned char place[sizeof(FakeTexture)];
    RenderContext context;
    auto* first = new (place) FakeTexture("first");
    context.setTexture(0, first);
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    first->~FakeTexture();
    auto* second = new (place) FakeTexture("second");
    context.setTexture(0, second);
    EXPECT_TRUE(context.getTextureSet()->dirty);
    core->clearLog();
    context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
    EXPECT_EQ(core->callsTo("setTextures"), Lines({"setTextures(count=1 second)"}));
    second->~FakeTexture();
}

TEST_F(Apply, AFreedBlockLeavesNoRecord)
{
    {
        RenderContext context;
        context.setCullMode(CULL_CLOCKWISE);
        context.drawPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 1);
        EXPECT_EQ(core->getCurrentCullState(), context.getCullState().get());
    }
    EXPECT_EQ(core->getCurrentCullState(), nullptr);
}
