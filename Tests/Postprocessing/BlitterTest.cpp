#include "Tests/Postprocessing/PostprocessingFixture.h"

#include "Libs/Core/APICore.h"
#include "Libs/Core/PixelShader.h"
#include "Libs/Core/StateBlocks.h"
#include "Libs/Core/VertexShader.h"
#include "Libs/EvaluationGraph/ShaderBuild.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"

#include <memory>
#include <stdexcept>


using namespace PostprocessingTest;
using Vostrel::Core::APICore;

namespace {

typedef PostprocessingRender Blitters;

// Every channel of texel (x, y) distinct, so that a misplaced sample shows.
std::vector<uint32_t> pattern(int width, int height)
{
    std::vector<uint32_t> texels;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            texels.push_back(0xFF000000u | (x * 4u) << 16 | (y * 4u) << 8 | ((x * 7u + y * 13u) & 255u));
    return texels;
}

std::unique_ptr<Blitter> copyBlitter()
{
    std::unique_ptr<Blitter> blitter(createBlitter(1));
    const float offset[2] = {0.0f, 0.0f}, weight = 1.0f;
    blitter->setOffsets(offset);
    blitter->setWeights(&weight);
    return blitter;
}

} // namespace

TEST_F(Blitters, PoolHandsOutFreeEntriesBySizeInReleaseOrder)
{
    RenderTexture* first = RenderTargetPool::acquire(16, 16, Core::FORMAT_RGBA32F);
    RenderTexture* second = RenderTargetPool::acquire(16, 16, Core::FORMAT_A8R8G8B8);
    EXPECT_NE(first, second);
    EXPECT_EQ(first->width, 16);
    EXPECT_EQ(first->target, first->texture->getRenderTarget());
    EXPECT_EQ(first->texture->getParameters().minFilter, Core::MIN_LINEAR);
    EXPECT_TRUE(first->texture->getParameters().renderTarget);
    RenderTargetPool::release(second);
    RenderTargetPool::release(first);
    // Any format matches; the entry released first comes first.
    EXPECT_EQ(RenderTargetPool::acquire(16, 16, Core::FORMAT_A8R8G8B8), second);
    RenderTexture* other = RenderTargetPool::acquire(16, 8, Core::FORMAT_A8R8G8B8);
    EXPECT_NE(other, first);
    EXPECT_EQ(RenderTargetPool::getFreeCount(), 1);
    EXPECT_EQ(RenderTargetPool::acquire(16, 16, Core::FORMAT_RGBA16F), first);
    EXPECT_EQ(RenderTargetPool::getFreeCount(), 0);
}

TEST_F(Blitters, PooledTextureGoesBackHoweverItsScopeEnds)
{
    RenderTexture* held = nullptr;
    EXPECT_THROW(
        {
            PooledRenderTexture scratch(8, 8, Core::FORMAT_A8R8G8B8);
            held = scratch.get();
            EXPECT_EQ(RenderTargetPool::getFreeCount(), 0);
            throw std::runtime_error("blit failed");
        },
        std::runtime_error);
    EXPECT_EQ(RenderTargetPool::getFreeCount(), 1);
    PooledRenderTexture again(8, 8, Core::FORMAT_A8R8G8B8);
    EXPECT_EQ(again.get(), held) << "the same entry, handed out again";
}

TEST_F(Blitters, OneTapCopyIsExactAndHalvesBilinearly)
{
    Core::Texture* source = makeTexture(64, 64, pattern(64, 64));
    RenderTexture* same = makeTarget(64, 64);
    RenderTexture* half = makeTarget(32, 32);
    std::unique_ptr<Blitter> blitter = copyBlitter();
    for (RenderTexture* target : {same, half}) {
        target->target->begin();
        blitter->blit(source);
        target->target->end();
    }
    EXPECT_EQ(readTexture(*same->texture), pattern(64, 64));
    // Each pixel of the half-size target samples between four texels.
    ASSERT_TRUE(boxAverages(read(half), pattern(64, 64), 64, 32, 32, 2, 2));
}

TEST_F(Blitters, TapsSumWeightedSamplesAcrossGroups)
{
    // An impulse sampled at eleven offsets (two groups of taps) spreads into the weights.
    std::vector<uint32_t> texels(32 * 4, 0xFF000000u);
    texels[16] = 0xFFFFFFFFu;
    Core::Texture* source = makeTexture(32, 4, texels);
    RenderTexture* target = makeTarget(32, 4);
    std::unique_ptr<Blitter> blitter(createBlitter(11));
    std::vector<float> offsets, weights;
    for (int i = -5; i <= 5; ++i) {
        offsets.push_back(i / 32.0f);
        offsets.push_back(0.0f);
        weights.push_back((i + 6) / 40.0f);
    }
    blitter->setOffsets(offsets.data());
    blitter->setWeights(weights.data());
    target->target->begin();
    blitter->blit(source);
    target->target->end();
    const std::vector<Vec4> pixels = read(target);
    // Pixel x reads texel x + i with weight i: the impulse shows weight 16 - x.
    for (int x = 0; x < 32; ++x) {
        const int i = 16 - x;
        const float expected = (i >= -5 && i <= 5) ? (i + 6) / 40.0f : 0.0f;
        EXPECT_NEAR(pixels[x][0], expected, 1.0f / 255) << x;
    }
    EXPECT_EQ(APICore::getInstance()->getCurrentPixelConstants()->count, 22);
}

TEST_F(Blitters, CustomRectanglePlacesTheQuadFromTheLowerLeft)
{
    Core::Texture* white = makeUniform(4, 4, Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    RenderTexture* target = makeTarget(16, 16);
    std::unique_ptr<CustomBlitter> blitter(createPredefinedBlitter(0));
    blitter->setRect(8, 0, 8, 8);
    target->target->begin();
    blitter->blit({white}, {}, {});
    target->target->end();
    const std::vector<Vec4> pixels = read(target);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(pixels[y * 16 + x][0], (x >= 8 && y >= 8) ? 1.0f : 0.0f) << x << ", " << y;
    // A new rectangle at the origin is placed again.
    blitter->setRect(0, 0, -1, -1);
    target->target->begin();
    blitter->blit({white}, {}, {});
    target->target->end();
    for (const Vec4& pixel : read(target))
        ASSERT_EQ(pixel[0], 1.0f);
}

TEST_F(Blitters, TwoTextureRectangleAddressesItsOwnPartOfTheFirst)
{
    Core::Texture* source = makeTexture(16, 16, pattern(16, 16));
    Core::Texture* black = makeUniform(4, 4, Vec4(0.0f, 0.0f, 0.0f, 0.0f));
    RenderTexture* target = makeTarget(16, 16);
    pasteNonBlack(target->target, source, black, 4, 2, 8, 6);
    const std::vector<uint32_t> expected = pattern(16, 16);
    const std::vector<uint32_t> pixels = readTexture(*target->texture);
    // Rows 8 to 13 from the top are 2 to 7 from the bottom.
    for (int y = 8; y < 14; ++y)
        for (int x = 4; x < 12; ++x)
            ASSERT_EQ(pixels[y * 16 + x], expected[y * 16 + x]) << x << ", " << y;
    EXPECT_EQ(pixels[7 * 16 + 4], 0u);
    EXPECT_EQ(pixels[8 * 16 + 3], 0u);
}

TEST_F(Blitters, ShiftedAndRotatedCopiesMoveTexels)
{
    Core::Texture* source = makeTexture(16, 16, pattern(16, 16));
    RenderTexture* shifted = makeTarget(16, 16);
    RenderTexture* turned = makeTarget(16, 16);
    copyShifted(shifted->target, source, 2.0f / 16, 1.0f / 16);
    copyRotated(turned->target, source, 3.14159265f);
    const std::vector<uint32_t> texels = pattern(16, 16);
    const std::vector<uint32_t> moved = readTexture(*shifted->texture);
    const std::vector<uint32_t> rotated = readTexture(*turned->texture);
    for (int y = 0; y < 15; ++y)
        for (int x = 0; x < 14; ++x)
            ASSERT_EQ(moved[y * 16 + x], texels[(y + 1) * 16 + x + 2]) << x << ", " << y;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            ASSERT_EQ(rotated[y * 16 + x], texels[(15 - y) * 16 + 15 - x]) << x << ", " << y;
}

TEST_F(Blitters, PredefinedIdsOutsideTheTableGiveNull)
{
    EXPECT_EQ(createPredefinedBlitter(20), nullptr);
    EXPECT_EQ(createPredefinedBlitter(-1), nullptr);
    std::unique_ptr<CustomBlitter> a(createPredefinedBlitter(7)), b(createPredefinedBlitter(7));
    RenderTexture* target = makeTarget(4, 4);
    Core::Texture* grey = makeUniform(4, 4, Vec4(0.5f, 0.5f, 0.5f, 1.0f));
    target->target->begin();
    a->blit({grey}, {}, {});
    Core::PixelShader* shader = APICore::getInstance()->getCurrentPixelShader();
    b->blit({grey}, {}, {});
    EXPECT_EQ(APICore::getInstance()->getCurrentPixelShader(), shader);
    target->target->end();
}

TEST_F(Blitters, BlendingAddsToWhatIsThere)
{
    RenderTexture* target = makeTarget(8, 8, Vec4(0.25f, 0.0f, 0.0f, 0.0f));
    Core::Texture* source = makeUniform(4, 4, Vec4(0.5f, 0.5f, 0.0f, 1.0f));
    std::unique_ptr<Blitter> blitter = copyBlitter();
    blitter->setBlending(Core::BLENDOP_ADD, Core::BLEND_FACTOR_COLOR, Core::BLEND_ONE, Vec4(1.0f, 0.5f, 1.0f, 1.0f),
                         false, Core::BLENDOP_ADD, Core::BLEND_ONE, Core::BLEND_ONE);
    target->target->begin();
    blitter->blit(source);
    target->target->end();
    EXPECT_TRUE(nearColour(read(target)[9], Vec4(0.75f, 0.25f, 0.0f, 1.0f), 1.5f / 255));
}

TEST_F(Blitters, GraphBlitterSetsUniformsAndTexelSteps)
{
    // Position shifted by a uniform, colour sampled one texel step to the right.
    ShaderGraph graph;
    graph.setPosition(graph.vertexStream("location") + graph.uniform("shift", 1));
    graph.setColorResult(texld(graph.vertexStream("texcoord") + graph.uniform("map_xoffset", 1),
                               graph.texture("map", 0)));
    const ShaderBuild build = graph.build();
    std::unique_ptr<GenericFullscreenBlitter> blitter(createGenericFullscreenBlitter(build));
    Core::Texture* source = makeTexture(16, 8, pattern(16, 8));
    RenderTexture* target = makeTarget(16, 8);
    blitter->setVec4("shift", Vec4(-1.0f / 16, 1.0f / 8, 0.0f, 0.0f));
    blitter->setTexture("map", source);
    target->target->begin();
    blitter->blit();
    target->target->end();
    const std::vector<uint32_t> texels = pattern(16, 8), pixels = readTexture(*target->texture);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 15; ++x)
            ASSERT_EQ(pixels[y * 16 + x], texels[y * 16 + x + 1]) << x << ", " << y;
}
