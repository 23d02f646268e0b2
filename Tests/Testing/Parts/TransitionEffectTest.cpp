// The opening transition played by the show from generated content.
#include "Libs/Testing/TransitionEffect.h"
#include "Tests/Testing/Parts/PartShow.h"

#include <algorithm>

namespace Vostrel {
namespace {

using PartTests::Frame;

class TransitionShow : public PartTests::PartShow {
protected:
    TransitionShow() : PartShow("TransitionEffect", {"transition"}) {}

    TransitionEffectImpl& transition() { return dynamic_cast<TransitionEffectImpl&>(*getPart()); }
};

// The image's texels sampled as a full-window quad reads them: pixel x at
// u = x / width (a texel corner), bilinear, wrapping.
Frame sampledOverWindow(Image& image, int width, int height)
{
    Frame frame;
    frame.width = width;
    frame.height = height;
    const int w = image.getWidth(), h = image.getHeight(), n = image.getChannels();
    auto texel = [&](int x, int y, int c) {
        return image.getData()[(static_cast<size_t>((y + h) % h) * w + (x + w) % w) * n + c];
    };
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float tx = static_cast<float>(x) * w / width - 0.5f, ty = static_cast<float>(y) * h / height - 0.5f;
            const int x0 = static_cast<int>(std::floor(tx)), y0 = static_cast<int>(std::floor(ty));
            const float fx = tx - x0, fy = ty - y0;
            uint32_t word = 0xFF000000u;
            for (int c = 0; c < 3; ++c) {
                const float top = texel(x0, y0, c) * (1 - fx) + texel(x0 + 1, y0, c) * fx;
                const float bottom = texel(x0, y0 + 1, c) * (1 - fx) + texel(x0 + 1, y0 + 1, c) * fx;
                // The image holds blue, green, red: the word's byte order.
                word |= static_cast<uint32_t>(std::lround(top * (1 - fy) + bottom * fy)) << (8 * c);
            }
            frame.pixels.push_back(word);
        }
    return frame;
}

TEST_F(TransitionShow, OpensOnTheTextsThenTheFieldMovesOverThemFrameByFrame)
{
    // Two steps a frame whatever the time: frames, not seconds, move it.
    const size_t count = 200;
    std::vector<float> times;
    for (size_t i = 0; i < count; ++i)
        times.push_back(0.05f + 11.2f * i / count);
    const std::vector<size_t> read = {0, 1, 2, count / 2, count / 2 + 1, count - 1};
    ASSERT_TRUE(play(times, read)) << errors;
    ASSERT_EQ(frames().size(), times.size());

    // The first frame has no field yet: the texts image alone.
    std::unique_ptr<Image> texts(Image::createFromFile("data/Textures/transce_texts.png"));
    const Frame expected = sampledOverWindow(*texts, frames()[0].width, frames()[0].height);
    EXPECT_LT(frames()[0].reduced(4).meanDifference(expected.reduced(4)), 2.0);

    // Later: the texts less a growing field, darker where it runs.
    for (size_t i : {count / 2, count - 1}) {
        PartTests::expectLively(frames()[i], "frame " + std::to_string(i));
        EXPECT_LT(frames()[i].meanLevel(), frames()[0].meanLevel() - 3.0) << i;
        EXPECT_GT(frames()[i].reduced(4).meanDifference(expected.reduced(4)), 4.0) << i;
    }
    for (size_t i : {size_t(1), count / 2})
        EXPECT_GT(frames()[i + 1].meanDifference(frames()[i]), 0.005) << "the field stands still at frame " << i;
    EXPECT_GT(frames()[count - 1].meanDifference(frames()[count / 2]), 2.0);
    expectGolden(frames()[count / 2], "transition-mid");
}

TEST_F(TransitionShow, OneStepFollowsTheFieldEquation)
{
    ASSERT_TRUE(play({0.1f, 0.2f})) << errors;
    TransitionEffectImpl& part = transition();
    const std::vector<uint32_t> before = TestSupport::readTargetTexture(*part.getState()->texture);
    part.step();
    const std::vector<uint32_t> after = TestSupport::readTargetTexture(*part.getState()->texture);
    std::unique_ptr<Image> potential(Image::createFromFile("data/Textures/potential.jpg"));
    const int size = 512;
    ASSERT_EQ(potential->getWidth(), size);
    auto state = [&](int x, int y, int c) {
        // Red is bits 16..23, green 8..15.
        return ((before[static_cast<size_t>((y + size) % size) * size + (x + size) % size] >> (16 - 8 * c)) & 255) /
               255.0;
    };
    int worst = 0;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double p = potential->getData()[(static_cast<size_t>(y) * size + x) * potential->getChannels()] / 255.0;
            double d[2];
            for (int c = 0; c < 2; ++c) {
                const double n = 0.25 * (state(x + 1, y, c) + state(x - 1, y, c) + state(x, y + 1, c) +
                                         state(x, y - 1, c));
                d[c] = n + 6.0 * p * (state(x, y, c) - 0.5) - state(x, y, c);
            }
            const double red = std::clamp(state(x, y, 0) - 0.06 * d[1], 0.0, 1.0) * 255.0;
            const double green = std::clamp(state(x, y, 1) + 0.06 * d[0], 0.0, 1.0) * 255.0;
            const uint32_t got = after[static_cast<size_t>(y) * size + x];
            worst = std::max({worst, static_cast<int>(std::ceil(std::fabs(((got >> 16) & 255) - red) - 0.5)),
                              static_cast<int>(std::ceil(std::fabs(((got >> 8) & 255) - green) - 0.5))});
        }
    EXPECT_LE(worst, 1);
    // The seeded state is not at rest: the step had something to move.
    EXPECT_NE(before, after);
}

TEST_F(TransitionShow, KeepsItsTargetsFromInitAndMakesNonePerFrame)
{
    ASSERT_TRUE(play({0.1f})) << errors;
    PartTests::expectNoTargetsMade([this] {
        for (int i = 0; i < 2; ++i) {
            transition().setTime(0.2f * i, 0);
            transition().render(*show->getTargets().screen);
        }
    });
}

TEST_F(TransitionShow, EachInstanceSeedsItsOwnField)
{
    ASSERT_TRUE(play({0.1f})) << errors;
    // A second part made now starts from the seed, as the first did.
    std::unique_ptr<TransitionEffect> second = TransitionEffect::create();
    second->init();
    second->setTime(0.0f, 0);
    second->render(*show->getTargets().a);
    auto& secondImpl = dynamic_cast<TransitionEffectImpl&>(*second);
    std::unique_ptr<Image> seed(Image::createFromFile("data/Textures/seed.jpg"));
    const std::vector<uint32_t> state = TestSupport::readTargetTexture(*secondImpl.getState()->texture);
    int worst = 0;
    // Drawn over the whole target, each pixel reads its texel's corner: the
    // mean of four seed texels, plus the rest value. The image holds blue,
    // green, red: red is channel 2.
    const int size = 512;
    auto texel = [&](int x, int y, int c) {
        return seed->getData()[(static_cast<size_t>((y + size) % size) * size + (x + size) % size) *
                                   seed->getChannels() + 2 - c];
    };
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x)
            for (int c = 0; c < 2; ++c) {
                const double mean =
                    (texel(x - 1, y - 1, c) + texel(x, y - 1, c) + texel(x - 1, y, c) + texel(x, y, c)) / 4.0;
                const double expected = std::min(255.0, mean + 127.5);
                const uint32_t got = state[static_cast<size_t>(y) * size + x];
                worst = std::max(worst, static_cast<int>(std::lround(std::fabs(((got >> (16 - 8 * c)) & 255) - expected))));
            }
    // Within the rounding of the filtered read.
    EXPECT_LE(worst, 2);
}

} // namespace
} // namespace Vostrel
