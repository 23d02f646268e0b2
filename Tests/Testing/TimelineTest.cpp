#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Testing/DemoEffect.h"
#include "Libs/Testing/Timeline.h"
#include "Libs/Time/Syncronizer.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Tests/Support/HeadlessCore.h"
#include "Tests/Support/RecordingCore.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace Vostrel;

const double k85 = 85.0 / 60.0;
const double k110 = 110.0 / 60.0;

// Segment starts, as the show's beat grid gives them.
const float transitionStart = 0.0f, map1Start = 11.294118f, elevatorStart = 33.882355f,
            map2Start = 56.470589f, map3Start = 79.058823f, agentStart = 96.513374f, map4Start = 113.967918f,
            haxorStart = 122.69519f, map5Start = 148.877014f, attackStart = 157.604279f,
            map5SecondStart = 183.786102f, adminStart = 201.240646f, sentinelStart = 218.69519f;

// One call the timeline made: its text with "_" where a computed number
// stands, and those numbers.
struct Call {
    Call(std::string text, std::vector<double> numbers = {}) : text(std::move(text)), numbers(std::move(numbers)) {}
    std::string text;
    std::vector<double> numbers;
};

struct Frame {
    std::vector<Call> calls;
    // The texts alone, one line each.
    std::string pattern() const
    {
        std::string text;
        for (const Call& call : calls)
            text += call.text + "\n";
        return text;
    }
};

class Recorder {
public:
    std::map<const RenderTexture*, std::string> names;
    Frame frame;

    void record(const std::string& text, std::vector<double> numbers = {})
    {
        frame.calls.push_back({text, std::move(numbers)});
    }
    std::string nameOf(const RenderTexture* target) { return names.count(target) ? names[target] : "unknown"; }
};

class RecordingPart : public DemoEffect {
public:
    RecordingPart(std::string name, Recorder& recorder) : name(std::move(name)), recorder(recorder) {}
    void init() override { recorder.record(name + ".init"); }
    void release() override {}
    void setTime(float seconds, int variant) override
    {
        recorder.record(name + ".setTime(_, " + std::to_string(variant) + ")", {seconds});
    }
    void render(RenderTexture& target) override { recorder.record(name + ".render(" + recorder.nameOf(&target) + ")"); }

private:
    std::string name;
    Recorder& recorder;
};

class RecordingComposer : public FrameComposer {
public:
    explicit RecordingComposer(Recorder& recorder) : recorder(recorder) {}
    void blitCopy(RenderTexture* destination, RenderTexture* source) override
    {
        recorder.record("copy(" + names(destination, source) + ")");
    }
    void blitCrossfade(RenderTexture* destination, RenderTexture* first, RenderTexture* second, float t, float start,
                       float end) override
    {
        recorder.record("fade(" + names(destination, first) + ", " + recorder.nameOf(second) + ", _, " +
                            number(start) + ", " + number(end) + ")",
                        {t});
    }
    void blitOldMultipass(RenderTexture* destination, RenderTexture* source, float scale, int passes,
                          float unused) override
    {
        recorder.record("multipass(" + names(destination, source) + ", _, " + std::to_string(passes) + ", " +
                            number(unused) + ")",
                        {scale});
    }
    void blitHdrLighting(RenderTexture* destination, RenderTexture* source, const Vec4& parameter,
                         float key) override
    {
        std::ostringstream text;
        text << "hdr(" << names(destination, source) << ", " << parameter << ", " << key << ")";
        recorder.record(text.str());
    }
    void blitInvert(RenderTexture* destination, RenderTexture* source) override
    {
        recorder.record("invert(" + names(destination, source) + ")");
    }
    void clearTarget(RenderTexture* target, const Vec4& colour) override
    {
        std::ostringstream text;
        text << "clear(" << recorder.nameOf(target) << ", " << colour << ")";
        recorder.record(text.str());
    }

private:
    std::string names(RenderTexture* a, RenderTexture* b) { return recorder.nameOf(a) + ", " + recorder.nameOf(b); }
    static std::string number(float value)
    {
        std::ostringstream text;
        text << value;
        return text.str();
    }
    Recorder& recorder;
};

class FakeClock : public Syncronizer {
public:
    void setSpeed(float) override {}
    void start() override { stopped = false; }
    void pause() override { paused = true; }
    void stop() override { stopped = true; }
    float getTime() override { return time; }
    void setTime(float t) override { time = t; }
    bool isStopped() override { return stopped; }
    bool isPaused() override { return paused; }

    float time = 0.0f;
    bool stopped = false;
    bool paused = false;
};

class FakeParts : public TimelineParts {
public:
    explicit FakeParts(Recorder& recorder)
    {
        for (const char* name : {"TransitionEffect", "MapEffect1", "MapEffect2", "MapEffect3", "MapEffect4",
                                 "MapEffect5", "ElevatorEffect", "AgentFollowEffect", "AttackEffect", "AdminEffect",
                                 "HaxorEffect1"}) {
            parts[name] = std::make_unique<RecordingPart>(name, recorder);
            enabled.insert(name);
        }
        enabled.insert("EndSentinel");
    }
    bool isEnabled(const std::string& name) override { return enabled.count(name) != 0; }
    DemoEffect* getPart(const std::string& name) override
    {
        return parts.count(name) ? parts[name].get() : nullptr;
    }

    std::map<std::string, std::unique_ptr<DemoEffect>> parts;
    std::set<std::string> enabled;
};

class TimelineTable : public ::testing::Test {
protected:
    TimelineTable() : parts(recorder), composer(recorder)
    {
        recorder.names = {{&screen, "screen"}, {&a, "A"}, {&b, "B"}, {&c, "C"}, {&black, "black"}, {&white, "white"}};
        targets = {&screen, &a, &b, &c, &black, &white};
    }

    Frame play(float showTime)
    {
        recorder.frame = Frame();
        Timeline(clock, parts, targets, composer, 1000.0f, 0.0f).play(showTime);
        return recorder.frame;
    }

    Recorder recorder;
    FakeParts parts;
    RecordingComposer composer;
    FakeClock clock;
    RenderTexture screen, a, b, c, black, white;
    DemoTargets targets;
};

::testing::AssertionResult sameFrame(const Frame& actual, const Frame& expected)
{
    if (actual.pattern() != expected.pattern())
        return ::testing::AssertionFailure() << "calls\n" << actual.pattern() << "expected\n" << expected.pattern();
    for (size_t i = 0; i < expected.calls.size(); ++i)
        for (size_t n = 0; n < expected.calls[i].numbers.size(); ++n) {
            const double got = actual.calls[i].numbers[n], want = expected.calls[i].numbers[n];
            if (!(std::fabs(got - want) <= 2e-5 * std::fmax(1.0, std::fabs(want))))
                return ::testing::AssertionFailure() << expected.calls[i].text << ": " << got << ", expected " << want;
        }
    return ::testing::AssertionSuccess();
}

float nextUp(float x)
{
    return std::nextafter(x, 1e30f);
}

float nextDown(float x)
{
    return std::nextafter(x, -1e30f);
}

TEST_F(TimelineTable, EachSegmentDrawsItsPartAndComposesIt)
{
    const double elevatorLate = 21.5 * k85, agentEnd = 17.454546 - 17.0, attackLate = 25.0 * k110;
    const struct {
        float showTime;
        Frame expected;
    } cases[] = {
        {5.0f, {{{"TransitionEffect.setTime(_, 0)", {5.0 * k85}}, {"TransitionEffect.render(screen)"}}}},
        {20.0f,
         {{{"MapEffect1.setTime(_, 0)", {20.0 - map1Start}}, {"MapEffect1.render(A)"}, {"copy(screen, A)"}}}},
        // 49.8 % black, 50.2 % part.
        {elevatorStart + 0.5f,
         {{{"ElevatorEffect.setTime(_, 0)", {0.5 * k85}},
           {"ElevatorEffect.render(A)"},
           {"fade(screen, black, A, _, 0, 1)", {0.5 * k85 * 0.5 * k85}}}}},
        {elevatorStart + 21.5f,
         {{{"ElevatorEffect.setTime(_, 0)", {elevatorLate}},
           {"ElevatorEffect.render(A)"},
           {"multipass(C, A, _, 6, 1)", {(32.0 - elevatorLate) * 0.25 + 1.0}},
           {"fade(screen, C, black, _, 29, 32)", {elevatorLate}}}}},
        {90.0f, {{{"MapEffect3.setTime(_, 0)", {90.0 - map3Start}}, {"MapEffect3.render(A)"}, {"copy(screen, A)"}}}},
        {agentStart + 0.5f,
         {{{"AgentFollowEffect.setTime(_, 0)", {0.5 * 0.9777777}},
           {"AgentFollowEffect.render(A)"},
           {"multipass(screen, A, _, 6, 1)", {0.25 * 0.75 + 1.0}}}}},
        {agentStart + 17.0f,
         {{{"AgentFollowEffect.setTime(_, 0)", {17.0 * 0.9777777}},
           {"AgentFollowEffect.render(A)"},
           {"multipass(C, A, _, 6, 1)", {1.75 - 0.75 * agentEnd * agentEnd}},
           {"fade(screen, black, C, _, 0, 1)", {agentEnd}}}}},
        {115.0f,
         {{{"MapEffect4.setTime(_, 0)", {(115.0 - map4Start) * k110}},
           {"MapEffect4.render(A)"},
           {"copy(screen, A)"}}}},
        {130.0f,
         {{{"HaxorEffect1.setTime(_, 0)", {130.0 - haxorStart}},
           {"HaxorEffect1.render(C)"},
           {"hdr(A, C, (1.2 1.2 1.2 1.2), 0.0003)"},
           {"copy(screen, A)"}}}},
        {map5Start + 0.3f,
         {{{"MapEffect5.setTime(_, 0)", {0.3}},
           {"MapEffect5.render(A)"},
           {"fade(C, white, A, _, 0, 2)", {0.3 * k110 * 0.3 * k110}},
           {"invert(screen, C)"}}}},
        {map5Start + 0.8f,
         {{{"MapEffect5.setTime(_, 0)", {0.8}},
           {"MapEffect5.render(A)"},
           {"fade(screen, white, A, _, 0, 2)", {0.8 * k110 * 0.8 * k110}}}}},
        {map5Start + 8.5f,
         {{{"MapEffect5.setTime(_, 0)", {8.5}},
           {"MapEffect5.render(A)"},
           {"fade(screen, A, black, _, 14.5, 16)", {8.5 * k110}}}}},
        {160.0f, {{{"AttackEffect.setTime(_, 0)", {(160.0 - attackStart) * k110}}, {"AttackEffect.render(screen)"}}}},
        {attackStart + 25.0f,
         {{{"AttackEffect.setTime(_, 0)", {attackLate}},
           {"AttackEffect.render(A)"},
           {"multipass(screen, A, _, 6, 1)", {3.0 - 2.0 * std::pow((48.0 - attackLate) * 0.25, 2)}}}}},
        {map5SecondStart + 0.5f,
         {{{"MapEffect5.setTime(_, 1)", {0.5 * k110}},
           {"MapEffect5.render(A)"},
           {"fade(screen, white, A, _, 0, 2)", {0.5 * k110 * 0.5 * k110}}}}},
        // b = 29.7: straight into the window, no blit.
        {200.0f, {{{"MapEffect5.setTime(_, 1)", {(200.0 - map5SecondStart) * k110}}, {"MapEffect5.render(screen)"}}}},
        {map5SecondStart + 17.0f,
         {{{"MapEffect5.setTime(_, 1)", {17.0 * k110}},
           {"MapEffect5.render(A)"},
           {"fade(screen, A, black, _, 30.5, 32)", {17.0 * k110}}}}},
        {210.0f, {{{"AdminEffect.setTime(_, 0)", {210.0 - adminStart}}, {"AdminEffect.render(screen)"}}}},
        {adminStart + 16.0f,
         {{{"AdminEffect.setTime(_, 0)", {16.0}},
           {"AdminEffect.render(A)"},
           {"fade(screen, A, black, _, 28, 32)", {16.0 * k110}}}}},
        {250.0f, {{{"clear(screen, (0 0 0 0))"}}}},
        {-0.5f, {}},
        {nextDown(0.0f), {}},
        {318.69519f, {}},
        {400.0f, {}},
    };
    for (const auto& c : cases)
        EXPECT_TRUE(sameFrame(play(c.showTime), c.expected)) << "at " << c.showTime;
}

TEST_F(TimelineTable, ExactlyOneSegmentPlaysAtAndAroundEveryBoundary)
{
    // The part and variant of each segment, in order.
    const char* owners[] = {"TransitionEffect.setTime(_, 0)", "MapEffect1.setTime(_, 0)",
                            "ElevatorEffect.setTime(_, 0)",   "MapEffect2.setTime(_, 0)",
                            "MapEffect3.setTime(_, 0)",       "AgentFollowEffect.setTime(_, 0)",
                            "MapEffect4.setTime(_, 0)",       "HaxorEffect1.setTime(_, 0)",
                            "MapEffect5.setTime(_, 0)",       "AttackEffect.setTime(_, 0)",
                            "MapEffect5.setTime(_, 1)",       "AdminEffect.setTime(_, 0)",
                            "clear(screen, (0 0 0 0))"};
    const float starts[] = {transitionStart, map1Start,   elevatorStart, map2Start,      map3Start,
                            agentStart,      map4Start,   haxorStart,    map5Start,      attackStart,
                            map5SecondStart, adminStart,  sentinelStart};
    for (int i = 1; i < 13; ++i) {
        const struct {
            float time;
            int segment;
        } probes[] = {{nextDown(starts[i]), i - 1}, {starts[i], i}, {nextUp(starts[i]), i}};
        for (const auto& probe : probes) {
            const Frame frame = play(probe.time);
            int begun = 0;
            for (const Call& call : frame.calls)
                if (call.text.find(".setTime(") != std::string::npos || call.text.rfind("clear(", 0) == 0)
                    ++begun;
            EXPECT_EQ(begun, 1) << frame.pattern() << "at " << probe.time;
            ASSERT_FALSE(frame.calls.empty()) << probe.time;
            EXPECT_EQ(frame.calls[0].text, owners[probe.segment]) << "at " << probe.time;
        }
        // At its start a segment's local time is 0.
        const Frame first = play(starts[i]);
        if (!first.calls[0].numbers.empty()) {
            EXPECT_EQ(first.calls[0].numbers[0], 0.0) << owners[i];
        }
    }
    EXPECT_EQ(Timeline::segmentAt(nextDown(318.69519f)), 12);
    EXPECT_EQ(Timeline::segmentAt(318.69519f), -1);
}

// The smallest float in [low, high] where a rising condition holds.
float firstFloatWhere(float low, float high, const std::function<bool(float)>& holds)
{
    uint32_t lowBits, highBits;
    std::memcpy(&lowBits, &low, 4);
    std::memcpy(&highBits, &high, 4);
    while (lowBits < highBits) {
        const uint32_t middle = lowBits + (highBits - lowBits) / 2;
        float value;
        std::memcpy(&value, &middle, 4);
        if (holds(value))
            highBits = middle;
        else
            lowBits = middle + 1;
    }
    float result;
    std::memcpy(&result, &lowBits, 4);
    return result;
}

TEST_F(TimelineTable, InnerThresholdsSwitchAtTheirExactValues)
{
    // What each segment compares: the float local time, or its products with
    // the beat factors, rounded to float (3, 10, 11) or not (9, 12).
    auto local = [](float start) { return [start](float s) { return static_cast<double>(s - start); }; };
    auto rounded = [](float start, double k) {
        return [start, k](float s) { return static_cast<double>(static_cast<float>((s - start) * k)); };
    };
    auto unrounded = [](float start, double k) { return [start, k](float s) { return (s - start) * k; }; };
    const struct {
        float start;
        std::function<double(float)> value;
        double threshold;
        bool strict; // the upper branch begins above the threshold, not at it
        const char* below;
        const char* above;
    } cases[] = {
        {elevatorStart, rounded(elevatorStart, k85), 1.0, false, "fade(screen, black, A, _, 0, 1)", "copy(screen, A)"},
        {elevatorStart, rounded(elevatorStart, k85), 29.0, true, "copy(screen, A)", "multipass(C, A, _, 6, 1)"},
        {elevatorStart, rounded(elevatorStart, k85), 30.0, true, "multipass(C, A, _, 6, 1)",
         "multipass(C, A, _, 6, 1)"},
        {agentStart, local(agentStart), 1.0, false, "multipass(screen, A, _, 6, 1)", "copy(screen, A)"},
        {agentStart, local(agentStart), 16.454546f, true, "copy(screen, A)", "multipass(C, A, _, 6, 1)"},
        {map5Start, unrounded(map5Start, k110), 1.0, false, "fade(C, white, A, _, 0, 2)",
         "fade(screen, white, A, _, 0, 2)"},
        {map5Start, unrounded(map5Start, k110), 2.0, false, "fade(screen, white, A, _, 0, 2)", "copy(screen, A)"},
        {map5Start, unrounded(map5Start, k110), 14.5, true, "copy(screen, A)", "fade(screen, A, black, _, 14.5, 16)"},
        {attackStart, rounded(attackStart, k110), 44.0, false, "AttackEffect.render(screen)",
         "AttackEffect.render(A)"},
        {map5SecondStart, rounded(map5SecondStart, k110), 2.0, false, "fade(screen, white, A, _, 0, 2)",
         "MapEffect5.render(screen)"},
        {map5SecondStart, rounded(map5SecondStart, k110), 30.5, true, "MapEffect5.render(screen)",
         "fade(screen, A, black, _, 30.5, 32)"},
        {adminStart, unrounded(adminStart, k110), 28.0, false, "AdminEffect.render(screen)",
         "fade(screen, A, black, _, 28, 32)"},
    };
    for (const auto& c : cases) {
        const float at = firstFloatWhere(c.start, c.start + 40.0f, [&](float s) {
            return c.strict ? c.value(s) > c.threshold : c.value(s) >= c.threshold;
        });
        const std::string below = play(nextDown(at)).pattern(), above = play(at).pattern();
        EXPECT_NE(below.find(c.below), std::string::npos) << below << "below " << c.threshold;
        EXPECT_NE(above.find(c.above), std::string::npos) << above << "from " << c.threshold;
    }
    // The elevator's blur weight holds 1 up to s = 30, then jumps to about 1.5.
    const auto elevatorS = rounded(elevatorStart, k85);
    const float after30 = firstFloatWhere(elevatorStart, elevatorStart + 40.0f, [&](float s) { return elevatorS(s) > 30.0; });
    EXPECT_EQ(play(nextDown(after30)).calls[2].numbers[0], 1.0);
    EXPECT_NEAR(play(after30).calls[2].numbers[0], 1.5, 1e-5);
}

TEST_F(TimelineTable, DisabledPartsDrawNothingAndUnbuiltOnesClearToBlack)
{
    parts.enabled.erase("MapEffect5");
    EXPECT_EQ(play(map5Start + 1.0f).pattern(), "");
    EXPECT_EQ(play(map5SecondStart + 1.0f).pattern(), "");
    EXPECT_EQ(play(160.0f).pattern(), "AttackEffect.setTime(_, 0)\nAttackEffect.render(screen)\n");
    parts.parts.erase("MapEffect1");
    EXPECT_EQ(play(20.0f).pattern(), "clear(screen, (0 0 0 0))\n");
    parts.enabled.erase("MapEffect1");
    EXPECT_EQ(play(20.0f).pattern(), "");
}

TEST_F(TimelineTable, FrameEndsAfterTheEndTimeOrWhenTheClockStopsUnpaused)
{
    TestSupport::RecordingWindow window("main", 640, 480);
    const struct {
        float time;
        float endTime;
        float offset;
        bool stopped;
        bool paused;
        bool plays;
        const char* title;
    } cases[] = {
        {0.0f, 0.0f, 0.0f, false, false, true, "0s"},
        {0.001f, 0.0f, 0.0f, false, false, false, nullptr},
        {219.0f, 219.0f, 0.0f, false, false, true, "219s"},
        {nextUp(219.0f), 219.0f, 0.0f, false, false, false, nullptr},
        {12.5f, 219.0f, 0.0f, true, false, false, nullptr},
        {12.5f, 219.0f, 0.0f, true, true, true, "12.5s"},
        {12.5f, 219.0f, 2.0f, false, true, true, "10.5s"},
        {10.0f, 219.0f, 11.0f, false, false, true, "-1s"},
    };
    for (const auto& c : cases) {
        clock.time = c.time;
        clock.stopped = c.stopped;
        clock.paused = c.paused;
        window.setTitle("untouched");
        recorder.frame = Frame();
        Timeline timeline(clock, parts, targets, composer, c.endTime, c.offset);
        EXPECT_EQ(timeline.renderFrame(&window), c.plays) << c.time;
        EXPECT_EQ(window.getTitle(), c.plays ? c.title : "untouched") << c.time;
        EXPECT_EQ(recorder.frame.calls.empty(), !c.plays || c.time - c.offset < 0.0f) << c.time;
    }
}

// A part that fills its target with white.
class WhitePart : public DemoEffect {
public:
    void init() override {}
    void release() override {}
    void setTime(float, int) override {}
    void render(RenderTexture& target) override { clearTarget(&target, Vec4(1.0f, 1.0f, 1.0f, 1.0f)); }
};

class OnePart : public TimelineParts {
public:
    bool isEnabled(const std::string& name) override { return name == "ElevatorEffect"; }
    DemoEffect* getPart(const std::string& name) override { return name == "ElevatorEffect" ? &part : nullptr; }
    WhitePart part;
};

class TimelineRender : public TestSupport::HeadlessCoreTest {};

TEST_F(TimelineRender, ElevatorHalfABeatInShowsHalfThePart)
{
    initPostProcessing();
    RenderTexture screen;
    screen.width = window->getWidth();
    screen.height = window->getHeight();
    screen.target = window;
    const DemoTargets targets = acquireDemoTargets(&screen);
    OnePart parts;
    FakeClock clock;
    clock.time = elevatorStart + 0.5f;
    std::unique_ptr<FrameComposer> composer = createBlitComposer();
    ASSERT_TRUE(Timeline(clock, parts, targets, *composer, 219.0f, 0.0f).renderFrame(window));
    std::vector<uint32_t> pixels(static_cast<size_t>(screen.width) * screen.height);
    window->getFramebuffer(pixels.data());
    // (0.5 x 85 / 60) squared of the part: 50.17 % of white.
    const double expected = 0.5 * k85 * 0.5 * k85 * 255.0;
    for (uint32_t pixel : pixels)
        for (int shift : {0, 8, 16})
            ASSERT_NEAR(static_cast<double>((pixel >> shift) & 255u), expected, 1.5) << std::hex << pixel;
    EXPECT_EQ(window->getTitle(), "34.3824s");
}

} // namespace
