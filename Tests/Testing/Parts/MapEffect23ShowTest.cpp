// MapEffect2 and MapEffect3 played by the show from generated content: lit,
// moving frames over their segments, the copies' fade, the brain on its
// panel, frames that only borrow from the pool, the golden middle frames.
#include "Libs/Math/Random.h"
#include "Libs/Testing/Utils/Particles.h"
#include "Tests/Testing/Parts/PartShow.h"

namespace Vostrel {
namespace PartTests {
namespace {

// The share of a rectangle's pixels for which the test holds.
template <typename Test> double share(const Frame& frame, Test test, int x0, int y0, int x1, int y1)
{
    size_t count = 0;
    for (int y = y0; y < y1; ++y)
        for (int x = x0; x < x1; ++x)
            count += test(frame.channel(x, y, 0), frame.channel(x, y, 1), frame.channel(x, y, 2)) ? 1 : 0;
    return static_cast<double>(count) / ((x1 - x0) * (y1 - y0));
}

// The copies' grey-blue.
bool bluish(int r, int g, int b)
{
    return r * 30 + g * 59 + b * 11 > 5000 && b >= r;
}

// The brain's tissue.
bool pink(int r, int g, int b)
{
    return r > b + 20 && r > g + 20;
}

class Map23Show : public PartShow {
protected:
    explicit Map23Show(const char* part) : PartShow(part, {"toolkit", "maps23"}) {}

    void expectPlaying(const std::vector<float>& times)
    {
        ASSERT_EQ(frames().size(), times.size());
        for (size_t i = 0; i < times.size(); ++i) {
            const std::string what = part + " at " + std::to_string(times[i]);
            expectLively(frames()[i], what);
            EXPECT_LT(frames()[i].saturatedShare(), 0.05) << what;
            if (i > 0) {
                EXPECT_GT(frames()[i].meanDifference(frames()[i - 1]), 1.0) << what << " is still";
            }
        }
    }

    // After one frame, two more made by hand create no texture and leave
    // the pool as it was.
    void expectFramesOnlyBorrow(float seconds)
    {
        PartTests::expectNoTargetsMade([&] {
            for (float step : {0.1f, 0.2f}) {
                getPart()->setTime(seconds + step, 0);
                getPart()->render(*show->getTargets().a);
            }
        });
    }
};

class MapEffect2Show : public Map23Show {
protected:
    MapEffect2Show() : Map23Show("MapEffect2") {}
};

class MapEffect3Show : public Map23Show {
protected:
    MapEffect3Show() : Map23Show("MapEffect3") {}
};

// Start, the first copies fading (copy time 8.1 comes by show time 67.9),
// the middle of the fade, all gone, the end.
TEST_F(MapEffect2Show, PlaysItsSegmentWhileTheCopiesFade)
{
    const std::vector<float> times = {56.8f, 67.0f, 69.5f, 74.0f, 78.9f};
    ASSERT_TRUE(playSeeded(times)) << errors;
    expectPlaying(times);
    const double before = share(frames()[0], bluish, 160, 120, 480, 360);
    EXPECT_GT(before, 0.2);
    EXPECT_LT(share(frames()[3], bluish, 160, 120, 480, 360), before * 0.5);
}

TEST_F(MapEffect2Show, FramesAfterTheFirstOnlyBorrow)
{
    ASSERT_TRUE(playSeeded({60.0f})) << errors;
    expectFramesOnlyBorrow(3.0f);
}

TEST_F(MapEffect2Show, MiddleFrameMatchesItsGoldenPicture)
{
    ASSERT_TRUE(playSeeded({67.765f})) << errors;
    expectGolden(frames()[0].reduced(8), "mapeffect2-mid");
}

// The brain glows pink on the panel in the upper right all along.
TEST_F(MapEffect3Show, PlaysItsSegmentWithTheBrainOnItsPanel)
{
    const std::vector<float> times = {79.2f, 83.0f, 87.8f, 92.0f, 96.3f};
    ASSERT_TRUE(playSeeded(times)) << errors;
    expectPlaying(times);
    for (size_t i = 0; i < times.size(); ++i) {
        EXPECT_GT(share(frames()[i], pink, 320, 0, 640, 240), 0.02) << times[i];
    }
}

TEST_F(MapEffect3Show, FramesAfterTheFirstOnlyBorrow)
{
    ASSERT_TRUE(playSeeded({85.0f})) << errors;
    expectFramesOnlyBorrow(5.0f);
}

TEST_F(MapEffect3Show, MiddleFrameMatchesItsGoldenPicture)
{
    ASSERT_TRUE(playSeeded({87.786f})) << errors;
    expectGolden(frames()[0].reduced(8), "mapeffect3-mid");
}

} // namespace
} // namespace PartTests
} // namespace Vostrel
