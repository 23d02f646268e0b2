#include <gtest/gtest.h>

#include <memory>
#include <thread>

#include "Libs/Common/Exception.h"
#include "Libs/Time/FmodInstance.h"
#include "Libs/Time/MusicSyncronizer.h"
#include "Libs/Time/SysClockSyncronizer.h"
#include "Tests/Support/TempDir.h"
#include "Tests/Time/ScriptedFmod.h"

using Vostrel::MusicSyncronizer;
using Vostrel::SysClockSyncronizer;
using VostrelTest::script;

namespace {

constexpr int64_t second = 1000000000LL;

void advance(double seconds)
{
    Win32Host::advanceCounter(static_cast<int64_t>(seconds * second));
}

// Virtual time and a fresh scripted library for every test.
class Clocks : public ::testing::Test {
protected:
    void SetUp() override
    {
        Win32Host::setVirtualCounter(true);
        VostrelTest::registerScriptedFmod();
        music = folder.write("music.ogg", "not decoded by the script");
    }
    void TearDown() override
    {
        EXPECT_EQ(Vostrel::fmodInstance(), nullptr) << "the last clock unloads the library";
        Win32Host::setVirtualCounter(false);
    }
    std::unique_ptr<MusicSyncronizer> makeMusic(float start = 0.0f, float end = 1000.0f, float volume = 1.0f)
    {
        auto clock = std::make_unique<MusicSyncronizer>(60.0f, start, end, music, volume);
        script().take();
        return clock;
    }
    // The exception a music clock's construction throws, as file(line): text.
    // The context lines written on the way out, then the report.
    std::string failure(float bpm, const std::string& file)
    {
        testing::internal::CaptureStderr();
        try {
            MusicSyncronizer clock(bpm, 0.0f, 10.0f, file, 1.0f);
        } catch (const Vostrel::Exception& e) {
            return testing::internal::GetCapturedStderr() + e.report();
        }
        testing::internal::GetCapturedStderr();
        return "no failure";
    }

    VostrelTest::TempDir folder;
    std::string music;
};

TEST_F(Clocks, SystemClockCountsFromItsStartAndHoldsWhenPaused)
{
    SysClockSyncronizer clock(5.0f);
    struct Step {
        const char* action;
        double elapse;
        float expected;
        bool stopped, paused;
    };
    const Step steps[] = {
        {"", 3.0, 5.0f, true, false},          {"start", 2.0, 7.0f, false, false},
        {"pause", 3.0, 7.0f, false, true},     {"start", 1.0, 8.0f, false, false},
        {"speed 2", 1.5, 11.0f, false, false}, {"stop", 4.0, 11.0f, true, false},
        {"start", 0.5, 12.0f, false, false},   {"set 1", 1.0, 3.0f, false, false},
    };
    for (const Step& step : steps) {
        const std::string action = step.action;
        if (action == "start")
            clock.start();
        else if (action == "pause")
            clock.pause();
        else if (action == "stop")
            clock.stop();
        else if (action == "speed 2")
            clock.setSpeed(2.0f);
        else if (action == "set 1")
            clock.setTime(1.0f);
        advance(step.elapse);
        EXPECT_FLOAT_EQ(clock.getTime(), step.expected) << "after " << action;
        EXPECT_EQ(clock.isStopped(), step.stopped) << action;
        EXPECT_EQ(clock.isPaused(), step.paused) << action;
    }
}

TEST_F(Clocks, MusicClockOpensPausedAtTheGivenVolume)
{
    const struct {
        float volume;
        int level;
    } cases[] = {{0.0f, 0}, {0.5f, 127}, {1.5f, 255}, {-2.0f, 0}};
    for (const auto& c : cases) {
        {
            MusicSyncronizer clock(60.0f, 0.0f, 10.0f, music, c.volume);
            const std::vector<std::string> expected = {
                "Init 44100 1 0", "SetBufferSize 200", "Open 0x28130 0 25", "PlayEx -1 null 1", "SetPan 7 -1",
                "SetVolume -3 " + std::to_string(c.level), "SetSyncCallback", "SetEndCallback"};
            EXPECT_EQ(script().take(), expected) << c.volume;
            EXPECT_EQ(clock.getChannel(), 7);
            EXPECT_EQ(clock.getFrequency(), 44100.0f);
            EXPECT_EQ(clock.getLengthMs(), 220000.0f);
            EXPECT_TRUE(clock.isStopped());
            EXPECT_EQ(clock.getTime(), 0.0f);
        }
        EXPECT_EQ(script().take(), (std::vector<std::string>{"StreamClose", "Close"}));
    }
}

TEST_F(Clocks, MusicClockFollowsTheMusicOnlyWhenItDriftsFar)
{
    const struct {
        int musicMs;
        bool playing;
        float expected;
    } cases[] = {{2050, true, 2.0f}, {1950, true, 2.0f}, {2200, true, 2.2f}, {1700, true, 1.7f}, {3000, false, 2.0f}};
    for (const auto& c : cases) {
        auto clock = makeMusic(0.0f);
        clock->start();
        EXPECT_EQ(script().take(), (std::vector<std::string>{"SetTime 0", "SetPaused 7 0"}));
        advance(2.0);
        script().musicMs = c.musicMs;
        script().playing = c.playing;
        EXPECT_FLOAT_EQ(clock->getTime(), c.expected) << c.musicMs;
        // Once snapped, the clock keeps its new course.
        advance(1.0);
        script().musicMs += 1000;
        EXPECT_FLOAT_EQ(clock->getTime(), c.expected + 1.0f) << c.musicMs;
    }
}

TEST_F(Clocks, MusicClockStopsPastItsEndValue)
{
    auto clock = makeMusic(4.0f, 10.0f);
    clock->start();
    EXPECT_EQ(script().take()[0], "SetTime 4000");
    advance(6.0);
    script().musicMs = 10000;
    EXPECT_FLOAT_EQ(clock->getTime(), 10.0f) << "the end value itself still plays";
    advance(0.5);
    script().musicMs = 10500;
    EXPECT_EQ(clock->getTime(), 0.0f);
    EXPECT_TRUE(clock->isStopped());
    EXPECT_FALSE(clock->isPaused());
}

TEST_F(Clocks, EndOfTheMusicStopsTheClockFromTheLibrarysThread)
{
    auto clock = makeMusic();
    clock->start();
    clock->pause();
    script().take();
    ASSERT_NE(script().endCallback, nullptr);
    signed char result = 0;
    std::thread library([&] { result = script().endCallback(nullptr, nullptr, 0, script().endUserData); });
    library.join();
    EXPECT_TRUE(result);
    EXPECT_TRUE(clock->isStopped());
    EXPECT_FALSE(clock->isPaused());
    EXPECT_EQ(clock->getTime(), 0.0f);
    EXPECT_EQ(script().take(), (std::vector<std::string>{"SetPaused 7 1"}));
    EXPECT_FALSE(script().endCallback(nullptr, nullptr, 0, nullptr)) << "no clock: refused, not thrown";
}

TEST_F(Clocks, MusicClockResumesWhereItWasPaused)
{
    auto clock = makeMusic(1.0f);
    clock->pause();
    EXPECT_FALSE(clock->isPaused()) << "a stopped clock ignores pause";
    EXPECT_TRUE(script().take().empty());
    clock->start();
    advance(3.0);
    script().musicMs = 4000;
    clock->pause();
    advance(5.0);
    EXPECT_FLOAT_EQ(clock->getTime(), 4.0f);
    script().take();
    clock->start();
    EXPECT_EQ(script().take(), (std::vector<std::string>{"SetTime 4000", "SetPaused 7 0"}));
    advance(1.0);
    script().musicMs = 5000;
    EXPECT_FLOAT_EQ(clock->getTime(), 5.0f);
}

TEST_F(Clocks, MusicClockSetTimeMovesMusicAndCount)
{
    auto clock = makeMusic();
    clock->start();
    advance(2.0);
    script().musicMs = 2000;
    script().take();
    testing::internal::CaptureStdout();
    clock->setTime(30.0f);
    const std::string printed = testing::internal::GetCapturedStdout();
    // The music has moved already, so the count snaps to it before the report.
    EXPECT_EQ(printed, "time was: 30\ntime to:  30\ntime now: 30\n");
    EXPECT_EQ(script().take(), (std::vector<std::string>{"SetPaused 7 1", "SetTime 30000", "SetPaused 7 0"}));
    advance(1.0);
    script().musicMs = 31000;
    EXPECT_FLOAT_EQ(clock->getTime(), 31.0f);
}

TEST_F(Clocks, FailuresReportAtTheirLinesAndLeaveNothingLoaded)
{
    folder.write("empty.ogg", "");
    const struct {
        const char* setup;
        float bpm;
        std::string file, report;
    } cases[] = {
        {"", 0.5f, music, "Libs\\Time\\MusicSyncronizer(175): BPM cannot be as low as 0.5"},
        {"", 60.0f, folder.file("missing.ogg"),
         folder.file("missing.ogg") + ": No such file or directory\nLibs\\Time\\MusicSyncronizer(184): Cannot find " +
             folder.file("missing.ogg") + "."},
        // A folder is refused as the original runtime's open refuses it.
        {"", 60.0f, folder.path,
         folder.path + ": Is a directory\nLibs\\Time\\MusicSyncronizer(184): Cannot find " + folder.path + "."},
        // The library's text alone; the file on a context line of its own.
        {"open", 60.0f, music,
         "In MusicSyncronizer::MusicSyncronizer(" + music + ")\nLibs\\Time\\MusicSyncronizer(202): Unknown file format"},
        {"channel", 60.0f, music,
         "In MusicSyncronizer::MusicSyncronizer(" + music +
             ")\nLibs\\Time\\MusicSyncronizer(207): Failed to allocate a new channel"},
        {"3.72", 60.0f, music, "Libs\\Time\\MusicSyncronizer(132): fatal: FMOD version too old, get at least 3.73"},
        {"init", 60.0f, music, "Libs\\Time\\MusicSyncronizer(142): Error initializing output device."},
        {"missing", 60.0f, music, "Libs\\Time\\MusicSyncronizer(112): FMOD library 'fmod.dll' not found."},
    };
    for (const auto& c : cases) {
        const std::string setup = c.setup;
        VostrelTest::registerScriptedFmod(setup == "missing" ? "_FMUSIC_GetUserData@4" : "");
        script().openSucceeds = setup != "open";
        script().error = setup == "open" ? 10 : setup == "channel" ? 16 : 3;
        script().channel = setup == "channel" ? -1 : 7;
        script().version = setup == "3.72" ? 3.72f : 3.73f;
        script().initSucceeds = setup != "init";
        // A retry loads the library again and meets the same failure.
        for (int attempt = 0; attempt < 2; ++attempt) {
            EXPECT_EQ(failure(c.bpm, c.file), c.report) << attempt;
            EXPECT_EQ(Vostrel::fmodInstance(), nullptr) << c.report;
            EXPECT_EQ(GetModuleHandleA("fmod.dll"), nullptr) << c.report;
            const std::vector<std::string> calls = script().take();
            const bool initialised = setup != "missing" && setup != "3.72";
            ASSERT_EQ(!calls.empty() && calls.back() == "Close", initialised) << c.report;
        }
    }
}

TEST_F(Clocks, OneClockGoingLeavesTheOthersOutputOpen)
{
    auto first = makeMusic();
    {
        auto second = makeMusic();
        EXPECT_NE(Vostrel::fmodInstance(), nullptr);
    }
    EXPECT_EQ(script().take(), (std::vector<std::string>{"StreamClose"}));
    first->start();
    first.reset();
    EXPECT_EQ(script().take(), (std::vector<std::string>{"SetTime 0", "SetPaused 7 0", "StreamClose", "Close"}));
}

TEST(FmodBinding, ErrorTexts)
{
    const struct {
        int code;
        const char* text;
    } cases[] = {
        {0, "No errors"},
        {1, "Cannot call this command after FSOUND_Init.  Call FSOUND_Close first."},
        {12, "Not enough memory "},
        {18, "Required Mediaplayer codec is not installed"},
        {42, "Unknown error"},
        {-1, "Unknown error"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Vostrel::fmodErrorString(c.code), c.text) << c.code;
}

TEST(FmodBinding, EveryEntryIsNeededAndThe373VersionIsTaken)
{
    for (const char* missing : {"_FSOUND_SetOutput@4", "_FSOUND_Stream_Close@4", "_FMUSIC_GetUserData@4"}) {
        VostrelTest::registerScriptedFmod(missing);
        EXPECT_EQ(Vostrel::createFmodInstance("fmod.dll"), nullptr) << missing;
        EXPECT_EQ(GetModuleHandleA("fmod.dll"), nullptr) << missing;
    }
    VostrelTest::registerScriptedFmod();
    script().version = 3.73f;
    Vostrel::initFmod();
    ASSERT_NE(Vostrel::fmodInstance(), nullptr);
    EXPECT_EQ(script().take(), (std::vector<std::string>{"Init 44100 1 0"}));
    Vostrel::initFmod();
    EXPECT_TRUE(script().take().empty()) << "initialised once";
    Vostrel::shutdownFmod();
    EXPECT_EQ(script().take(), (std::vector<std::string>{"Close"}));
    EXPECT_EQ(Vostrel::fmodInstance(), nullptr);
    EXPECT_EQ(GetModuleHandleA("fmod.dll"), nullptr);
}

} // namespace
