// MapEffect1, MapEffect4 and MapEffect5 played by the show from generated
// content: lit, moving and colourful frames over their segments, the cuts,
// the marked terminals and the golden mid-segment frames.
#include "Libs/Math/Random.h"
#include "Libs/Testing/MapEffect4.h"
#include "Libs/Testing/Utils/Particles.h"
#include "Tests/Testing/Parts/PartShow.h"

namespace Vostrel {
namespace PartTests {
namespace {

bool colourful(uint32_t p)
{
    const int r = (p >> 16) & 255, g = (p >> 8) & 255, b = p & 255;
    return std::max({r, g, b}) - std::min({r, g, b}) > 60;
}

double colourfulShare(const Frame& frame)
{
    return static_cast<double>(std::count_if(frame.pixels.begin(), frame.pixels.end(), colourful)) /
           frame.pixels.size();
}

class MapShow : public PartShow {
protected:
    explicit MapShow(const char* part) : PartShow(part, {"toolkit", "maps"}) {}

    // Every frame lively and showing the map's colours (links, flows,
    // particles, sprites), each unlike the one before.
    void expectPlaying(const std::vector<float>& times)
    {
        ASSERT_EQ(frames().size(), times.size());
        for (size_t i = 0; i < times.size(); ++i) {
            const std::string what = part + " at " + std::to_string(times[i]);
            expectLively(frames()[i], what);
            EXPECT_GT(colourfulShare(frames()[i]), 0.0015) << what;
            if (i > 0) {
                EXPECT_GT(frames()[i].meanDifference(frames()[i - 1]), 0.5) << what << " is still";
            }
        }
    }

    // Over a cut the frame changes far more than in the step before it.
    void expectCut(size_t before, size_t last, size_t after)
    {
        EXPECT_GT(frames()[after].meanDifference(frames()[last]),
                  3.0 * frames()[last].meanDifference(frames()[before]));
    }
};

class MapEffect1Show : public MapShow {
protected:
    MapEffect1Show() : MapShow("MapEffect1") {}
};

class MapEffect4Show : public MapShow {
protected:
    MapEffect4Show() : MapShow("MapEffect4") {}
};

class MapEffect5Show : public MapShow {
protected:
    MapEffect5Show() : MapShow("MapEffect5") {}
};

// The cut to "Camera2" comes at scene time 3.0, show time 19.765.
TEST_F(MapEffect1Show, PlaysItsSegmentCuttingToTheSecondCamera)
{
    const std::vector<float> times = {11.6f, 19.55f, 19.68f, 19.85f, 22.6f, 33.5f};
    ASSERT_TRUE(playSeeded(times)) << errors;
    expectPlaying(times);
    expectCut(1, 2, 3);
    expectGolden(frames()[4].reduced(8), "mapeffect1-mid");
}

// The image panel moves on at scene times 2, 4 and 6 (show times 116.150,
// 118.332, 120.513), when the beat's bloom pulses too.
TEST_F(MapEffect4Show, PlaysItsSegmentMovingThePanelOnTheMarks)
{
    const std::vector<float> times = {114.3f, 116.1f, 116.2f, 118.3f, 118.38f, 120.46f, 120.56f, 122.5f};
    ASSERT_TRUE(playSeeded(times)) << errors;
    expectPlaying(times);
    EXPECT_EQ(dynamic_cast<MapEffect4&>(*getPart()).getScene()->getMarkedTerminal(), "terminal1");
    // Past the marks the beat's pulse lights the frame up.
    for (size_t mark : {2u, 4u, 6u})
        EXPECT_GT(frames()[mark].meanLevel(), frames()[mark - 1].meanLevel() + 5.0) << times[mark];
    expectGolden(frames()[3].reduced(8), "mapeffect4-mid");
}

// Both segments, past the shell's fades; the overview camera takes over at
// scene time 27.0 of the second (show time 198.513).
TEST_F(MapEffect5Show, PlaysBothScenesAndCutsToTheOverview)
{
    const std::vector<float> times = {150.0f, 153.2f, 156.5f, 185.0f, 192.5f, 198.44f, 198.48f, 198.56f};
    ASSERT_TRUE(playSeeded(times)) << errors;
    expectPlaying(times);
    expectCut(5, 6, 7);
    expectGolden(frames()[1].reduced(8), "mapeffect5-mid");
    expectGolden(frames()[4].reduced(8), "mapeffect5-2-mid");
}

} // namespace
} // namespace PartTests
} // namespace Vostrel
