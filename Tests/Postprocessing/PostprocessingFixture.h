#pragma once

// Headless renders through the blitters: textures of known texels in,
// pixels read back out. The program-wide blitter objects and pooled
// textures go with the core.

#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/Texture.h"
#include "Libs/Postprocessing/Blitter.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Tests/Support/HeadlessCore.h"

#include <cmath>
#include <memory>
#include <vector>

namespace PostprocessingTest {

using namespace Vostrel;

// 0xAARRGGBB from channels in 0..1.
inline uint32_t pack(const Vec4& colour)
{
    uint32_t value = 0;
    const int shifts[4] = {16, 8, 0, 24};
    for (int c = 0; c < 4; ++c) {
        const float clamped = std::fmin(std::fmax(colour[c], 0.0f), 1.0f);
        value |= static_cast<uint32_t>(std::lround(clamped * 255.0f)) << shifts[c];
    }
    return value;
}

inline Vec4 unpack(uint32_t value)
{
    return Vec4(((value >> 16) & 255) / 255.0f, ((value >> 8) & 255) / 255.0f, (value & 255) / 255.0f,
                (value >> 24) / 255.0f);
}

class PostprocessingRender : public TestSupport::HeadlessCoreTest {
protected:
    void TearDown() override
    {
        textures.clear();
        HeadlessCoreTest::TearDown();
    }

    // A plain A8R8G8B8 texture with linear filtering and no mip levels.
    Core::Texture* makeTexture(int width, int height, const std::vector<uint32_t>& texels)
    {
        Core::TextureParameters parameters;
        parameters.width = width;
        parameters.height = height;
        parameters.minFilter = Core::MIN_LINEAR;
        parameters.wrapU = parameters.wrapV = Core::TEXTURE_CLAMP;
        textures.emplace_back(Core::createTexture(parameters));
        textures.back()->update(0, texels.data());
        return textures.back().get();
    }

    Core::Texture* makeUniform(int width, int height, const Vec4& colour)
    {
        return makeTexture(width, height, std::vector<uint32_t>(static_cast<size_t>(width) * height, pack(colour)));
    }

    // A render texture (A8R8G8B8) cleared to a colour.
    RenderTexture* makeTarget(int width, int height, const Vec4& colour = Vec4(0.0f, 0.0f, 0.0f, 0.0f))
    {
        RenderTexture* target = RenderTargetPool::create(width, height, Core::FORMAT_A8R8G8B8);
        target->texture->fill(colour);
        return target;
    }

    std::vector<Vec4> read(RenderTexture* target)
    {
        std::vector<Vec4> colours;
        for (uint32_t pixel : readTexture(*target->texture))
            colours.push_back(unpack(pixel));
        return colours;
    }

    std::vector<std::unique_ptr<Core::Texture>> textures;
};

// Within an 8-bit step and a little of the filtering's rounding.
inline ::testing::AssertionResult nearColour(const Vec4& actual, const Vec4& expected, float tolerance)
{
    for (int c = 0; c < 4; ++c)
        if (!(std::fabs(actual[c] - expected[c]) <= tolerance))
            return ::testing::AssertionFailure() << "channel " << c << " is " << actual[c] << ", expected "
                                                 << expected[c];
    return ::testing::AssertionSuccess();
}

// Each of the width x height pixels the average of its box of boxWidth x
// boxHeight texels of a source sourceWidth texels wide.
inline ::testing::AssertionResult boxAverages(const std::vector<Vec4>& pixels, const std::vector<uint32_t>& texels,
                                              int sourceWidth, int width, int height, int boxWidth, int boxHeight)
{
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            Vec4 sum(0.0f, 0.0f, 0.0f, 0.0f);
            for (int j = 0; j < boxHeight; ++j)
                for (int i = 0; i < boxWidth; ++i)
                    sum = sum + unpack(texels[(boxHeight * y + j) * sourceWidth + boxWidth * x + i]) *
                                    (1.0f / (boxWidth * boxHeight));
            ::testing::AssertionResult near = nearColour(pixels[y * width + x], sum, 1.5f / 255);
            if (!near)
                return near << " at " << x << ", " << y;
        }
    return ::testing::AssertionSuccess();
}

} // namespace PostprocessingTest
