#include "Tests/Postprocessing/PostprocessingFixture.h"

using namespace PostprocessingTest;

namespace {

typedef PostprocessingRender LuminanceAndOldBlit;

// Red rises by 16/255 a column, 16 columns.
std::vector<uint32_t> ramp()
{
    std::vector<uint32_t> texels;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x)
            texels.push_back(0xFF000000u | (16u * x) << 16);
    return texels;
}

} // namespace

TEST_F(LuminanceAndOldBlit, LuminancePassesOnFlatColourAndAnEdge)
{
    const Vec4 colour = unpack(pack(Vec4(0.3f, 0.2f, 0.1f, 1.0f)));
    const float l = 0.3f * colour[0] + 0.59f * colour[1] + 0.11f * colour[2];
    Core::Texture* flat = makeUniform(16, 16, colour);
    RenderTexture* out = makeTarget(16, 16);
    luminancePass1(out->target, flat);
    EXPECT_TRUE(nearColour(read(out)[100], Vec4(1.0f, 1.0f, 1.0f, 1.0f), 0.0f));
    luminancePass2(out->target, flat);
    EXPECT_TRUE(nearColour(read(out)[100], Vec4(2 * l, 2 * l, 2 * l, 2 * l), 1.5f / 255));
    luminancePass3(out->target, flat);
    EXPECT_TRUE(nearColour(read(out)[100], Vec4(l, l, l, l), 1.5f / 255));

    // Black left half, white right half: only the two columns at the edge see it.
    std::vector<uint32_t> texels(256, 0xFF000000u);
    for (int i = 0; i < 256; ++i)
        if (i % 16 >= 8)
            texels[i] = 0xFFFFFFFFu;
    luminancePass1(out->target, makeTexture(16, 16, texels));
    const std::vector<Vec4> edges = read(out);
    for (int x = 0; x < 16; ++x)
        EXPECT_EQ(edges[5 * 16 + x][0], (x == 7 || x == 8) ? 0.0f : 1.0f) << x;

    EXPECT_EQ(messageOf([&] { luminancePass3(nullptr, flat); }), "rt != 0 does not hold.");
}

TEST_F(LuminanceAndOldBlit, MultipassAveragesWithAMagnifiedCopy)
{
    Core::Texture* source = makeTexture(16, 16, ramp());
    RenderTexture* ping = makeTarget(16, 16, Vec4(0.0f, 1.0f, 0.0f, 1.0f));
    RenderTexture* pong = makeTarget(16, 16, Vec4(0.0f, 1.0f, 0.0f, 1.0f));
    RenderTexture* out = makeTarget(16, 16);
    // One pass at scale 2: half the texel under the pixel, half the one at
    // the centre plus half the distance.
    oldMultipass(out->target, source, ping->texture, pong->texture, 2.0f, 1, 0.0f);
    const std::vector<Vec4> pixels = read(out);
    for (int x = 0; x < 16; ++x) {
        const float a = 16.0f * x / 255, b = 16.0f * (3.75f + x / 2.0f) / 255;
        EXPECT_NEAR(pixels[3 * 16 + x][0], (a + b) / 2, 1.5f / 255) << x;
    }
    EXPECT_TRUE(nearColour(read(ping)[0], Vec4(0.0f, 1.0f, 0.0f, 1.0f), 0.0f)) << "one pass leaves ping alone";

    // At scale 1 every pass returns the image.
    oldMultipass(out->target, source, ping->texture, pong->texture, 1.0f, 3, 0.0f);
    EXPECT_EQ(readTexture(*out->texture), ramp());
}
