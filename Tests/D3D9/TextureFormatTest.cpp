#include "Platform/D3D9/TextureFormat.h"

#include <glm/gtc/packing.hpp>
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

namespace {

using namespace D3D9;

TEST(TextureFormatTest, HalfFloatsRoundTripAndRoundToNearestEven)
{
    for (uint32_t bits = 0; bits < 0x10000; ++bits) {
        auto half = static_cast<uint16_t>(bits);
        float value = floatFromHalf(half);
        float reference = glm::unpackHalf1x16(half);
        if (std::isnan(reference)) {
            EXPECT_TRUE(std::isnan(value));
            EXPECT_TRUE(std::isnan(floatFromHalf(halfFromFloat(value))));
            continue;
        }
        ASSERT_EQ(std::memcmp(&value, &reference, sizeof(float)), 0) << std::hex << bits;
        ASSERT_EQ(halfFromFloat(value), half) << std::hex << bits;
        // Halfway to the next half of the same sign: ties go to the even one,
        // anything past the tie to the far side.
        if ((bits & 0x7FFF) < 0x7BFF) {
            float next = floatFromHalf(static_cast<uint16_t>(half + 1));
            float middle = value + (next - value) / 2;
            uint16_t even = (half & 1) ? static_cast<uint16_t>(half + 1) : half;
            ASSERT_EQ(halfFromFloat(middle), even) << std::hex << bits;
            ASSERT_EQ(halfFromFloat(std::nextafter(middle, next)), half + 1) << std::hex << bits;
            ASSERT_EQ(halfFromFloat(std::nextafter(middle, value)), half) << std::hex << bits;
        }
    }
    EXPECT_EQ(halfFromFloat(1e6f), 0x7C00) << "too large becomes infinity";
    EXPECT_EQ(halfFromFloat(-1e-9f), 0x8000) << "too small keeps its sign";
}

TEST(TextureFormatTest, LayoutsAreDirect3DsAndMissingChannelsReadAsItsDefaults)
{
    struct Case {
        D3DFORMAT format;
        std::vector<uint8_t> texel;
        std::array<float, 4> read;
    };
    const float h = 1.0f / 255.0f;
    const std::vector<Case> cases = {
        {D3DFMT_A8R8G8B8, {0x10, 0x20, 0x30, 0x40}, {0x30 * h, 0x20 * h, 0x10 * h, 0x40 * h}},
        {D3DFMT_X8R8G8B8, {0x10, 0x20, 0x30, 0x40}, {0x30 * h, 0x20 * h, 0x10 * h, 1.0f}},
        {D3DFMT_L8, {0x80}, {0x80 * h, 0x80 * h, 0x80 * h, 1.0f}},
        {D3DFMT_A8L8, {0x80, 0x40}, {0x80 * h, 0x80 * h, 0x80 * h, 0x40 * h}},
        {D3DFMT_L16, {0xFF, 0xFF}, {1.0f, 1.0f, 1.0f, 1.0f}},
        {D3DFMT_G16R16, {0xFF, 0xFF, 0x00, 0x00}, {1.0f, 0.0f, 1.0f, 1.0f}},
        {D3DFMT_R16F, {0x00, 0xBC}, {-1.0f, 1.0f, 1.0f, 1.0f}},
        {D3DFMT_R32F, {0x00, 0x00, 0x40, 0x40}, {3.0f, 1.0f, 1.0f, 1.0f}},
        {D3DFMT_A16B16G16R16F, {0x00, 0x3C, 0x00, 0x40, 0x00, 0x00, 0x00, 0xB8}, {1.0f, 2.0f, 0.0f, -0.5f}},
        {D3DFMT_A8, {0xFF}, {0.0f, 0.0f, 0.0f, 1.0f}},
    };
    for (const Case& c : cases) {
        std::optional<TextureFormat> format = textureFormat(c.format);
        ASSERT_TRUE(format) << c.format;
        ASSERT_EQ(format->bytesPerTexel, static_cast<int>(c.texel.size())) << c.format;
        std::array<float, 4> read = decodeTexel(c.format, c.texel.data());
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(read[i], c.read[i], 1e-6f) << c.format << " channel " << i;
        std::vector<uint8_t> written(c.texel.size());
        encodeTexel(c.format, read, written.data());
        if (c.format != D3DFMT_X8R8G8B8) {
            EXPECT_EQ(written, c.texel) << c.format;
        }
    }
    EXPECT_FALSE(textureFormat(D3DFMT_R8G8B8)) << "24-bit textures are refused";
    EXPECT_FALSE(textureFormat(D3DFMT_D24S8));
}

TEST(TextureFormatTest, PitchesStartRowsOnFourBytes)
{
    EXPECT_EQ(rowPitch(*textureFormat(D3DFMT_L8), 3), 4u);
    EXPECT_EQ(rowPitch(*textureFormat(D3DFMT_A8L8), 3), 8u);
    EXPECT_EQ(rowPitch(*textureFormat(D3DFMT_A8R8G8B8), 3), 12u);
    EXPECT_EQ(rowPitch(*textureFormat(D3DFMT_A32B32G32R32F), 5), 80u);
}

} // namespace
