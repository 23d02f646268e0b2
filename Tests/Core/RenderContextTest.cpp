#include "Libs/Common/Exception.h"
#include "Libs/Core/RenderContext.h"
#include "Tests/Support/RecordingCore.h"

#include <gtest/gtest.h>

using namespace Vostrel::Core;
using Vostrel::TestSupport::FakeTexture;
using Vostrel::TestSupport::FakeVertexStream;

namespace {

// Reference counts of the thirteen blocks of a context, in field order.
std::vector<int> referenceCounts(const RenderContext& c)
{
    return {c.getCullState()->referenceCount,       c.getFillState()->referenceCount,
            c.getColorWriteState()->referenceCount, c.getClipState()->referenceCount,
            c.getAuxState()->referenceCount,        c.getAlphaTestState()->referenceCount,
            c.getDepthState()->referenceCount,      c.getBlendState()->referenceCount,
            c.getStencilState()->referenceCount,    c.getStreamSet()->referenceCount,
            c.getTextureSet()->referenceCount,      c.getVertexConstants()->referenceCount,
            c.getPixelConstants()->referenceCount};
}

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Vostrel::Exception& e) {
        return e.message;
    }
    return "(nothing thrown)";
}

} // namespace

TEST(RenderContext, NewContextsShareTheDefaultBlocks)
{
    RenderContext a, b;
    EXPECT_EQ(referenceCounts(a), std::vector<int>(13, 3));
    EXPECT_EQ(a.getBlendState().get(), b.getBlendState().get());
    EXPECT_NE(a.getVertexConstants().get(), a.getPixelConstants().get());

    a.setCullMode(CULL_NONE);
    EXPECT_EQ(a.getCullState()->referenceCount, 1);
    EXPECT_TRUE(a.getCullState()->changed);
    EXPECT_EQ(b.getCullState()->referenceCount, 2);
    EXPECT_EQ(b.getCullMode(), CULL_COUNTER_CLOCKWISE);
    EXPECT_EQ(a.getCullMode(), CULL_NONE);
}

TEST(RenderContext, DefaultStateValues)
{
    RenderContext c;
    EXPECT_EQ(c.getFillMode(), FILL_SOLID);
    EXPECT_FALSE(c.isPointSprite());
    EXPECT_TRUE(c.isColorWrite());
    EXPECT_FALSE(c.isClipPlanesEnabled());
    EXPECT_EQ(c.getClipPlaneCount(), 0);
    EXPECT_EQ(c.getClipPlanes(), nullptr);
    float x, y, w, h;
    c.getScissorRect(x, y, w, h);
    EXPECT_EQ(std::vector<float>({x, y, w, h}), std::vector<float>({0, 0, 1, 1}));
    EXPECT_FALSE(c.isAlphaTest());
    EXPECT_EQ(c.getAlphaFunction(), COMPARE_LESS);
    EXPECT_TRUE(c.isDepthTest());
    EXPECT_TRUE(c.isDepthWrite());
    EXPECT_EQ(c.getDepthFunction(), COMPARE_LESS);
    EXPECT_FALSE(c.isBlending());
    EXPECT_EQ(c.getSourceBlend(), BLEND_ONE);
    EXPECT_EQ(c.getDestinationBlend(), BLEND_ONE);
    EXPECT_EQ(c.getBlendOperation(), BLENDOP_ADD);
    EXPECT_EQ(c.getBlendFactor(), Vec4(1, 1, 1, 1));
    EXPECT_FALSE(c.isStencil());
    EXPECT_EQ(c.getStencilFail(), STENCILOP_KEEP);
    EXPECT_EQ(c.getStencilFunction(), COMPARE_ALWAYS);
    EXPECT_EQ(c.getStencilReadMask(), 65535);
    EXPECT_EQ(c.getStencilWriteMask(), 65535);
    EXPECT_EQ(c.getCcwStencilFunction(), COMPARE_NEVER);
    EXPECT_EQ(c.getVertexStreamCount(), 0);
    EXPECT_EQ(c.getTextureCount(), 0);
    EXPECT_EQ(c.getVertexConstantCount(), 0);
    EXPECT_EQ(c.getVertexShader(), nullptr);
    EXPECT_EQ(c.getIndexStream(), nullptr);
}

TEST(RenderContext, WritingAnOwnBlockChangesItInPlace)
{
    RenderContext c;
    c.setDepthWrite(false);
    DepthState* own = c.getDepthState().get();
    own->changed = false;
    c.setDepthBias(0.5f);
    EXPECT_EQ(c.getDepthState().get(), own);
    EXPECT_TRUE(own->changed);
    EXPECT_FALSE(c.isDepthWrite());
    EXPECT_EQ(c.getDepthBias(), 0.5f);
}

TEST(RenderContext, SharedBlockNeverChangesUnderItsOtherHolders)
{
    RenderContext a;
    a.setBlending(true);
    a.setSourceBlend(BLEND_SOURCE_ALPHA);
    RenderContext b;
    b.copyBlendState(a);
    EXPECT_EQ(a.getBlendState()->referenceCount, 2);
    b.setDestinationBlend(BLEND_INVERSE_SOURCE_ALPHA);
    EXPECT_EQ(a.getDestinationBlend(), BLEND_ONE);
    EXPECT_EQ(b.getDestinationBlend(), BLEND_INVERSE_SOURCE_ALPHA);
    EXPECT_EQ(b.getSourceBlend(), BLEND_SOURCE_ALPHA); // the copy kept the other fields
    EXPECT_TRUE(b.isBlending());
    EXPECT_EQ(a.getBlendState()->referenceCount, 1);
}

TEST(RenderContext, CopyingAContextSharesEveryBlockAndReleasesOnDestruction)
{
    RenderContext original;
    original.setCullMode(CULL_NONE);
    {
        RenderContext copy = original;
        EXPECT_EQ(copy.getCullState().get(), original.getCullState().get());
        EXPECT_EQ(original.getCullState()->referenceCount, 2);
        RenderContext assigned;
        assigned = original;
        EXPECT_EQ(original.getCullState()->referenceCount, 3);
        RenderContext& alias = assigned;
        assigned = alias; // self-assignment keeps the block
        EXPECT_EQ(original.getCullState()->referenceCount, 3);
    }
    EXPECT_EQ(original.getCullState()->referenceCount, 1);
    EXPECT_EQ(original.getCullMode(), CULL_NONE);
}

// Containers move contexts about; what is left behind must stay usable.
TEST(RenderContext, AMovedFromContextKeepsWorkingBlocks)
{
    RenderContext original;
    original.setCullMode(CULL_NONE);
    RenderContext moved(std::move(original));
    EXPECT_EQ(moved.getCullMode(), CULL_NONE);
    original.setCullMode(CULL_CLOCKWISE);
    EXPECT_EQ(moved.getCullMode(), CULL_NONE);
    RenderContext assigned;
    assigned = std::move(moved);
    moved.setDepthTest(false);
    EXPECT_TRUE(assigned.isDepthTest());
    EXPECT_EQ(assigned.getCullMode(), CULL_NONE);
    // Four contexts and the defaults' own reference; three have their own cull
    // block and one its own depth block.
    EXPECT_EQ(referenceCounts(RenderContext()), std::vector<int>({2, 5, 5, 5, 5, 5, 4, 5, 5, 5, 5, 5, 5}));
}

TEST(RenderContext, CopyOperationsShareOneBlockKindOnly)
{
    RenderContext a, b;
    a.setStencil(true);
    a.setDepthTest(false);
    b.copyStencilState(a);
    EXPECT_TRUE(b.isStencil());
    EXPECT_TRUE(b.isDepthTest());
    b.copyStencilState(a); // the same block again changes nothing
    EXPECT_EQ(a.getStencilState()->referenceCount, 2);
}

TEST(RenderContext, CreatedBlendBlockIsAdoptedWithoutALeak)
{
    RenderContext context;
    {
        SharedState<BlendState> additive = BlendState::create();
        EXPECT_EQ(additive->referenceCount, 1);
        EXPECT_TRUE(additive->changed);
        additive.detach()->enabled = true;
        additive.detach()->destination = BLEND_ONE;
        context.copyBlendState(additive);
        EXPECT_EQ(additive->referenceCount, 2);
    }
    EXPECT_EQ(context.getBlendState()->referenceCount, 1);
    EXPECT_TRUE(context.isBlending());
}

TEST(RenderContext, TextureSlotCountFollowsTheHighestUsedStage)
{
    FakeTexture t0("t0"), t1("t1"), t2("t2");
    RenderContext c;
    c.setTexture(0, &t0);
    c.setTexture(1, &t1);
    c.setTexture(2, &t2);
    EXPECT_EQ(c.getTextureCount(), 3);
    c.setTexture(2, nullptr);
    EXPECT_EQ(c.getTextureCount(), 2);
    c.setTexture(2, &t2);
    c.setTexture(1, nullptr);
    EXPECT_EQ(c.getTextureCount(), 3);
    EXPECT_EQ(c.getTexture(1), nullptr);
    c.setTexture(2, nullptr); // trailing nulls all go
    EXPECT_EQ(c.getTextureCount(), 1);
    EXPECT_EQ(c.getTexture(2), nullptr);
    c.setTexture(9, nullptr);
    EXPECT_EQ(c.getTextureCount(), 1);
    c.setTexture(15, &t1);
    EXPECT_EQ(c.getTextureCount(), 16);
    EXPECT_EQ(c.getTexture(16), nullptr);
    EXPECT_EQ(c.getTexture(-1), nullptr);
}

TEST(RenderContext, StreamSlotCountFollowsTheHighestUsedSlot)
{
    FakeVertexStream s0("s0"), s3("s3");
    RenderContext c;
    c.setVertexStream(3, &s3);
    EXPECT_EQ(c.getVertexStreamCount(), 4);
    EXPECT_EQ(c.getVertexStream(0), nullptr);
    c.setVertexStream(0, &s0);
    c.setVertexStream(3, nullptr);
    EXPECT_EQ(c.getVertexStreamCount(), 1);
    EXPECT_EQ(c.getVertexStream(0), &s0);
}

TEST(RenderContext, SameTextureAgainLeavesTheSetClean)
{
    FakeTexture t0("t0"), t1("t1");
    RenderContext c;
    c.setTexture(0, &t0);
    TextureSet* set = c.getTextureSet().get();
    set->dirty = false; // as after the device bound it
    c.setTexture(0, &t0);
    EXPECT_FALSE(set->dirty);
    EXPECT_TRUE(set->changed);
    c.setTexture(0, &t1);
    EXPECT_TRUE(set->dirty);
}

TEST(RenderContext, CopiedSetsHoldOnlyTheUsedSlotsAndAreDirty)
{
    FakeTexture t0("t0");
    RenderContext a;
    a.setTexture(0, &t0);
    a.getTextureSet().get()->dirty = false;
    RenderContext b;
    b.copyTextureSet(a);
    b.setTexture(0, &t0); // detaches a copy
    EXPECT_NE(b.getTextureSet().get(), a.getTextureSet().get());
    EXPECT_TRUE(b.getTextureSet()->dirty);
    EXPECT_FALSE(a.getTextureSet()->dirty);
    EXPECT_EQ(b.getTextureCount(), 1);
}

TEST(RenderContext, SlotsOutsideTheRangeAreRefusedAndChangeNothing)
{
    FakeTexture t("t");
    FakeVertexStream s("s");
    RenderContext c;
    TextureSet* defaultTextures = c.getTextureSet().get();
    EXPECT_EQ(messageOf([&] { c.setTexture(16, &t); }), "RenderContext::setTexture(): stage 16 outside 0..15");
    EXPECT_EQ(messageOf([&] { c.setTexture(-1, &t); }), "RenderContext::setTexture(): stage -1 outside 0..15");
    EXPECT_EQ(messageOf([&] { c.setVertexStream(16, &s); }),
              "RenderContext::setVertexStream(): slot 16 outside 0..15");
    EXPECT_EQ(c.getTextureSet().get(), defaultTextures);
    EXPECT_EQ(c.getTextureCount(), 0);
}

TEST(RenderContext, ConstantStorageIsKeptWhenTheCountShrinks)
{
    RenderContext c;
    c.setVertexConstantCount(8);
    for (int i = 0; i < 8; ++i)
        c.setVertexConstant(i, Vec4(float(i), 0, 0, 1));
    const float* storage = c.getVertexConstants()->getValues();
    c.setVertexConstantCount(4);
    EXPECT_EQ(c.getVertexConstantCount(), 4);
    EXPECT_EQ(c.getVertexConstants()->capacity, 8);
    EXPECT_EQ(c.getVertexConstants()->getValues(), storage);
    EXPECT_EQ(c.getVertexConstant(3), Vec4(3, 0, 0, 1));
    c.setVertexConstantCount(6); // within the capacity: earlier values stay
    EXPECT_EQ(c.getVertexConstant(5), Vec4(5, 0, 0, 1));
    c.setVertexConstantCount(9); // beyond: fresh storage
    EXPECT_EQ(c.getVertexConstants()->capacity, 9);
    EXPECT_EQ(c.getVertexConstant(5), Vec4(0, 0, 0, 0));
}

TEST(RenderContext, FreshConstantStorageStartsAtZero)
{
    RenderContext c;
    c.setPixelConstantCount(3);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(c.getPixelConstant(i), Vec4(0, 0, 0, 0));
}

TEST(RenderContext, CopiedConstantSetHoldsExactlyTheCount)
{
    RenderContext a;
    a.setVertexConstantCount(8);
    a.setVertexConstantCount(2);
    a.setVertexConstant(1, Vec4(1, 2, 3, 4));
    RenderContext b;
    b.copyVertexConstants(a);
    b.setVertexConstant(0, Vec4(9, 9, 9, 9));
    EXPECT_EQ(b.getVertexConstants()->capacity, 2);
    EXPECT_EQ(b.getVertexConstant(1), Vec4(1, 2, 3, 4));
    EXPECT_EQ(a.getVertexConstant(0), Vec4(0, 0, 0, 0));
}

TEST(RenderContext, ConstantRegistersOutsideTheCountAreRefused)
{
    RenderContext c;
    c.setPixelConstantCount(2);
    EXPECT_EQ(messageOf([&] { c.setPixelConstant(2, Vec4(1, 1, 1, 1)); }),
              "RenderContext::setPixelConstant(): register 2 outside the count 2");
    EXPECT_EQ(messageOf([&] { c.setVertexConstant(0, Vec4(1, 1, 1, 1)); }),
              "RenderContext::setVertexConstant(): register 0 outside the count 0");
    EXPECT_EQ(messageOf([&] { c.setVertexConstant(-1, Vec4(1, 1, 1, 1)); }),
              "RenderContext::setVertexConstant(): register -1 outside the count 0");
    EXPECT_EQ(messageOf([&] { c.getPixelConstant(5); }),
              "RenderContext::getPixelConstant(): register 5 outside the count 2");
    EXPECT_EQ(messageOf([&] { c.setVertexConstantCount(-3); }),
              "RenderContext::setVertexConstantCount(): negative count -3");
    EXPECT_EQ(c.getPixelConstant(1), Vec4(0, 0, 0, 0));
}

TEST(RenderContext, ClipPlanesAreCheckedAgainstTheDeviceLimit)
{
    float planes[4 * 7] = {};
    RenderContext c;
    c.setClipPlanes(2, planes);
    EXPECT_EQ(c.getClipPlaneCount(), 2);
    EXPECT_EQ(c.getClipPlanes(), planes);
    EXPECT_EQ(messageOf([&] { c.setClipPlanes(7, planes); }),
              "RenderContext::setClipPlanes(): plane count 7 outside 0..6");
    EXPECT_EQ(messageOf([&] { c.setClipPlanes(1, nullptr); }),
              "RenderContext::setClipPlanes(): 1 planes without plane data");
    EXPECT_EQ(c.getClipPlaneCount(), 2);
}
