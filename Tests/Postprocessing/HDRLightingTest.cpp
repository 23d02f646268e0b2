#include "Tests/Postprocessing/PostprocessingFixture.h"

#include "Libs/Postprocessing/HDRLighting.h"

using namespace PostprocessingTest;

namespace {

typedef PostprocessingRender HDR;

// The first run adapts from 0 two per cent of the way to the measured 0.0001.
Vec4 toneMapped(const Vec4& colour, float key, float adapted)
{
    Vec4 result;
    for (int c = 0; c < 4; ++c) {
        const float l = colour[c] * key / (adapted + 0.001f);
        result[c] = c < 3 ? l / (1 + l) : l;
    }
    return result;
}

Vec4 clamped(const Vec4& colour)
{
    Vec4 result;
    for (int c = 0; c < 4; ++c)
        result[c] = std::fmin(std::fmax(colour[c], 0.0f), 1.0f);
    return result;
}

} // namespace

TEST_F(HDR, SizesMustBeMultiplesOfEight)
{
    try {
        HDRLighting(516, 512);
        FAIL() << "no exception";
    } catch (const Exception& exception) {
        EXPECT_EQ(exception.message, "width % 8 == 0 does not hold.");
        EXPECT_EQ(std::string(exception.file), "Libs\\Postprocessing\\HDRLighting");
    }
    EXPECT_EQ(messageOf([] { HDRLighting(64, 60); }), "height % 8 == 0 does not hold.");
}

TEST_F(HDR, ToneMapsByTheAdaptedLuminanceAndAddsBloom)
{
    HDRLighting hdr(64, 64);
    RenderTexture* out = makeTarget(64, 64);
    hdr.setParameter(Vec4(0.0f, 0.0f, 0.0f, 0.0f));
    hdr.setKey(0.0005f);
    const Vec4 colour = unpack(pack(Vec4(2.0f / 255, 4.0f / 255, 0.0f, 1.0f)));
    hdr.run(out->target, makeUniform(64, 64, colour));
    const float first = 0.02f * 0.0001f;
    EXPECT_TRUE(nearColour(read(out)[100], clamped(toneMapped(colour, 0.0005f, first)), 2.0f / 255));

    // Black stays black, bloom or not.
    hdr.setParameter(Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    hdr.run(out->target, makeUniform(64, 64, Vec4(0.0f, 0.0f, 0.0f, 0.0f)));
    EXPECT_TRUE(nearColour(read(out)[100], Vec4(0.0f, 0.0f, 0.0f, 0.0f), 0.0f));

    // A bright square glows beyond its edge.
    std::vector<uint32_t> texels(64 * 64, 0xFF000000u);
    for (int y = 24; y < 40; ++y)
        for (int x = 24; x < 40; ++x)
            texels[y * 64 + x] = 0xFFFFFFFFu;
    hdr.setKey(0.18f);
    hdr.run(out->target, makeTexture(64, 64, texels));
    const std::vector<Vec4> pixels = read(out);
    EXPECT_GT(pixels[32 * 64 + 20][0], 0.05f) << "bloom outside the square";
    EXPECT_GT(pixels[32 * 64 + 20][0], pixels[2 * 64 + 2][0]) << "fading with distance";
}
