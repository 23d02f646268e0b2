#include "Tests/Postprocessing/PostprocessingFixture.h"

#include <cmath>

using namespace PostprocessingTest;

namespace {

typedef PostprocessingRender BlitFunctions;


} // namespace

TEST_F(BlitFunctions, CrossfadeMovesFromFirstToSecond)
{
    RenderTexture* a = makeTarget(8, 8, Vec4(1.0f, 0.0f, 0.0f, 1.0f));
    RenderTexture* b = makeTarget(8, 8, Vec4(0.0f, 0.0f, 1.0f, 1.0f));
    RenderTexture* out = makeTarget(8, 8);
    const struct {
        float t;
        Vec4 expected;
    } cases[] = {{2.0f, Vec4(1.0f, 0.0f, 0.0f, 1.0f)},
                 {4.0f, Vec4(0.5f, 0.0f, 0.5f, 1.0f)},
                 {6.0f, Vec4(0.0f, 0.0f, 1.0f, 1.0f)}};
    for (const auto& c : cases) {
        blitCrossfade(out, a, b, c.t, 2.0f, 6.0f);
        EXPECT_TRUE(nearColour(read(out)[18], c.expected, 1.5f / 255)) << c.t;
    }
}

TEST_F(BlitFunctions, GaussianBlurOfAnImpulseIsTheKernel)
{
    std::vector<uint32_t> texels(32 * 32, 0xFF000000u);
    texels[16 * 32 + 16] = 0xFFFFFFFFu;
    Core::Texture* impulse = makeTexture(32, 32, texels);
    RenderTexture* out = makeTarget(32, 32);
    gaussianBlur(out->target, impulse, 5, 2.0f, nullptr);
    EXPECT_EQ(RenderTargetPool::getFreeCount(), 1) << "the scratch goes back";
    double kernel[11], sum = 0.0;
    for (int i = -5; i <= 5; ++i)
        sum += kernel[i + 5] = std::exp(-(i / 2.0) * (i / 2.0) / std::sqrt(2.0 * M_PI));
    const std::vector<Vec4> pixels = read(out);
    for (int y = 10; y < 23; ++y)
        for (int x = 10; x < 23; ++x) {
            const int dx = x - 16, dy = y - 16;
            const double expected = (std::abs(dx) <= 5 && std::abs(dy) <= 5)
                                        ? kernel[dx + 5] * kernel[dy + 5] / (sum * sum)
                                        : 0.0;
            // The 32-bit float scratch keeps the first pass; the last rounds to 8 bits.
            ASSERT_NEAR(pixels[y * 32 + x][1], expected, 1.0 / 255) << x << ", " << y;
        }
    EXPECT_GT(pixels[16 * 32 + 16][1], pixels[16 * 32 + 18][1]);
}

TEST_F(BlitFunctions, DownsampleHalvesUntilTheTargetSize)
{
    std::vector<uint32_t> texels;
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x)
            texels.push_back(0xFF000000u | ((x * 3u + y * 5u) & 255u) << 16 | ((x * y) & 255u));
    Core::Texture* source = makeTexture(64, 64, texels);
    RenderTexture* out = makeTarget(16, 32);
    downsample(out->target, source);
    // 4:1 across in two halvings, 2:1 down in one: the 4 x 2 box average.
    ASSERT_TRUE(boxAverages(read(out), texels, 64, 16, 32, 4, 2));
    EXPECT_EQ(RenderTargetPool::getFreeCount(), 1) << "one 32 x 32 scratch, returned";

    RenderTexture* third = makeTarget(21, 32);
    EXPECT_EQ(messageOf([&] { downsample(third->target, source); }), "Cannot downsample 64x64 to 21x32 by halving.");
    // Integer quotients: 64 / 31 is 2, one bilinear step.
    RenderTexture* odd = makeTarget(31, 32);
    EXPECT_EQ(messageOf([&] { downsample(odd->target, source); }), "");
    RenderTexture* larger = makeTarget(128, 64);
    EXPECT_NE(messageOf([&] { downsample(larger->target, source); }), "");
    EXPECT_EQ(RenderTargetPool::getFreeCount(), 1);
}

TEST_F(BlitFunctions, FeedbackAveragesWithTheLastResult)
{
    initPostProcessing();
    RenderTexture* feedback = getFeedbackTexture();
    ASSERT_NE(feedback, nullptr);
    feedback->texture->fill(Vec4(0.0f, 0.0f, 0.0f, 0.0f));
    initPostProcessing();
    EXPECT_EQ(getFeedbackTexture(), feedback) << "made once";
    RenderTexture* white = makeTarget(16, 16, Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    RenderTexture* out = makeTarget(16, 16);
    blitFeedback(out, white);
    EXPECT_TRUE(nearColour(read(out)[0], Vec4(0.5f, 0.5f, 0.5f, 0.5f), 1.5f / 255));
    blitFeedback(out, white);
    EXPECT_TRUE(nearColour(read(out)[0], Vec4(0.75f, 0.75f, 0.75f, 0.75f), 1.5f / 255));
}

TEST_F(BlitFunctions, SharedObjectsServeTheNextCore)
{
    // Each core makes the shared quad, the blit programs, the pooled targets
    // and the noise texture; the first goes down with nobody releasing them.
    for (int core = 0; core < 2; ++core) {
        if (core == 1) {
            textures.clear();
            Core::APICore::destroyInstance();
            makeCore();
            EXPECT_EQ(getFeedbackTexture(), nullptr);
        }
        initPostProcessing();
        getFeedbackTexture()->texture->fill(Vec4(0.0f, 0.0f, 0.0f, 0.0f));
        RenderTexture* red = makeTarget(8, 8, Vec4(1.0f, 0.0f, 0.0f, 1.0f));
        RenderTexture* out = makeTarget(8, 8);
        out->target->begin();
        blitCopy(nullptr, red, 0, 0, 8, 8);
        out->target->end();
        EXPECT_TRUE(nearColour(read(out)[63], Vec4(1.0f, 0.0f, 0.0f, 1.0f), 0.0f)) << core;
        blitFeedback(out, red);
        EXPECT_TRUE(nearColour(read(out)[0], Vec4(0.5f, 0.0f, 0.0f, 0.5f), 1.5f / 255)) << core;
    }
}

TEST_F(BlitFunctions, ClearsAndCopiesIntoTheCurrentTarget)
{
    RenderTexture* out = makeTarget(8, 8);
    clearTarget(out, Vec4(0.0f, 1.0f, 0.0f, 1.0f));
    clearDepth(out, 0.5f);
    EXPECT_TRUE(nearColour(read(out)[0], Vec4(0.0f, 1.0f, 0.0f, 1.0f), 0.0f));
    clearWhite(out);
    EXPECT_TRUE(nearColour(read(out)[63], Vec4(1.0f, 1.0f, 1.0f, 0.0f), 0.0f));

    RenderTexture* red = makeTarget(8, 8, Vec4(1.0f, 0.0f, 0.0f, 1.0f));
    out->target->begin();
    blitCopy(nullptr, red, 0, 0, 4, 8);
    out->target->end();
    EXPECT_TRUE(nearColour(read(out)[0], Vec4(1.0f, 0.0f, 0.0f, 1.0f), 0.0f));
    EXPECT_TRUE(nearColour(read(out)[7], Vec4(1.0f, 1.0f, 1.0f, 0.0f), 0.0f));
}

TEST_F(BlitFunctions, NoiseAddsByTheBlendColour)
{
    RenderTexture* out = makeTarget(16, 16);
    out->target->begin();
    drawNoise(Vec4(0.0f, 0.5f, 0.0f, 0.0f), Core::BLENDOP_ADD);
    out->target->end();
    // Only green receives noise, at most half.
    float greenSum = 0.0f;
    for (const Vec4& pixel : read(out)) {
        ASSERT_EQ(pixel[0], 0.0f);
        ASSERT_LE(pixel[1], 0.5f + 1.0f / 255);
        greenSum += pixel[1];
    }
    EXPECT_GT(greenSum, 0.0f);
}
