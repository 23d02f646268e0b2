#include "Libs/Core/APICore.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Testing/Demo.h"
#include "Libs/Testing/Properties.h"
#include "Libs/Time/MusicSyncronizer.h"
#include "Libs/Time/SysClockSyncronizer.h"
#include "Platform/Fmod3/Module.h"
#include "Tests/Support/RecordingCore.h"
#include "Tests/Support/TempDir.h"
#include "Tests/Support/Wav.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace Vostrel;
using TestSupport::RecordingCore;

RecordingCore& core()
{
    return dynamic_cast<RecordingCore&>(*Core::APICore::getExistingInstance());
}

// A part that notes its calls in the core's log, among the device calls.
class LoggingPart : public DemoEffect {
public:
    explicit LoggingPart(std::string name) : name(std::move(name)) {}
    void init() override { core().write(name + ".init"); }
    void release() override {}
    void setTime(float, int) override {}
    void render(RenderTexture&) override {}

private:
    std::string name;
};

// A part whose init reads int settings, then fails when told to.
class ReadingPart : public DemoEffect {
public:
    ReadingPart(std::vector<std::string> keys, bool fails) : keys(std::move(keys)), fails(fails) {}
    void init() override
    {
        for (const std::string& key : keys)
            Properties::getInt(key, 0);
        if (fails)
            VOSTREL_THROW("the part failed");
    }
    void release() override {}
    void setTime(float, int) override {}
    void render(RenderTexture&) override {}

private:
    std::vector<std::string> keys;
    bool fails;
};

// A loading screen that notes its calls; at a chosen ping it does what
// the window does on Escape before handling the window's messages.
class LoggingLoadingEffect : public LoadingEffect {
public:
    LoggingLoadingEffect(MessagePump pump, std::function<void()> atEscape, int escapePing)
        : pump(std::move(pump)), atEscape(std::move(atEscape)), escapePing(escapePing)
    {
    }
    ~LoggingLoadingEffect() override { core().write("loading.deleted"); }
    void draw(RenderTexture& screen) override { core().write("loading.draw"); }
    void ping(RenderTexture& screen) override
    {
        core().write("loading.ping");
        if (++pings == escapePing)
            atEscape();
        pump();
    }
    void savePings() override {}
    void loadPings() override {}
    void finish(RenderTexture& screen) override { core().write("loading.finish"); }

private:
    MessagePump pump;
    std::function<void()> atEscape;
    int escapePing;
    int pings = 0;
};

class DemoStartUp : public ::testing::Test {
protected:
    void SetUp() override
    {
        Properties::clear();
        RecordingCore::registerAsImplementation();
        Core::APICore::destroyInstance();
    }
    void TearDown() override
    {
        demo.reset();
        Core::APICore::destroyInstance();
        Properties::clear();
    }

    // A fresh core and no settings, for the next case of a table.
    void startAgain()
    {
        TearDown();
        SetUp();
        argv.clear();
    }

    void load(const std::string& properties) { Properties::load(folder.write("demo.props", properties)); }

    // A demo whose parts are logging ones, all but the unbuilt. At the
    // escape ping, Escape is pressed, or the signal is raised when one is given.
    void makeDemo(std::vector<std::string> arguments, const std::string& unbuilt = "", int escapePing = 0,
                  int signal = 0)
    {
        arguments.insert(arguments.begin(), "vostrel");
        for (std::string& argument : arguments)
            argv.push_back(&argument[0]);
        held = std::move(arguments);
        demo = std::make_unique<Demo>(static_cast<int>(argv.size()), argv.data());
        for (const char* name : Demo::partNames())
            demo->setPartFactory(name, name == unbuilt ? DemoEffectFactory() : [name] {
                return std::unique_ptr<DemoEffect>(new LoggingPart(name));
            });
        Demo* shown = demo.get();
        demo->setLoadingEffectFactory([shown, escapePing, signal](MessagePump pump) {
            auto escape = [shown, signal] {
                if (signal != 0)
                    std::raise(signal);
                else
                    shown->onKey(Core::KeyEvent{nullptr, true, 27});
            };
            return std::unique_ptr<LoadingEffect>(new LoggingLoadingEffect(pump, escape, escapePing));
        });
    }

    bool run()
    {
        testing::internal::CaptureStdout();
        const bool ran = demo->run(static_cast<int>(argv.size()), argv.data());
        output = testing::internal::GetCapturedStdout();
        return ran;
    }

    // The log from the first loading call on, without the device calls
    // between them other than target creation and clears.
    std::string startUpLog()
    {
        std::string text;
        bool loading = false;
        for (const std::string& line : core().getLog()) {
            loading = loading || line.rfind("loading.", 0) == 0;
            const bool shell = line.rfind("loading.", 0) == 0 || line.find(".init") != std::string::npos ||
                               line == "createTexture()" || line.rfind("clearTarget(", 0) == 0;
            if (loading && shell)
                text += line + "\n";
        }
        return text;
    }

    VostrelTest::TempDir folder;
    std::vector<std::string> held;
    std::vector<char*> argv;
    std::unique_ptr<Demo> demo;
    std::string output;
};

const char* const allEnabled = "I TransitionEffect.enabled 1\nI MapEffect1.enabled 1\nI MapEffect2.enabled 1\n"
                               "I MapEffect3.enabled 1\nI MapEffect4.enabled 1\nI MapEffect5.enabled 1\n"
                               "I ElevatorEffect.enabled 1\nI AgentFollowEffect.enabled 1\n"
                               "I AttackEffect.enabled 1\nI AdminEffect.enabled 1\nI HaxorEffect1.enabled 1\n";

TEST_F(DemoStartUp, LoadsTheEnabledPartsBehindTwelvePingsThenStartsTheClock)
{
    // The end time below the start ends the show at its first frame.
    load(std::string(allEnabled) + "I AdminEffect.enabled 0\nR TransitionEffect.enabled 1\n"
                                   "I demo.window.width 800\nI demo.window.height 600\nR demo.endTime -1\n");
    makeDemo({"-nosound"}, "HaxorEffect1");
    ASSERT_TRUE(run());
    EXPECT_EQ(startUpLog(), "loading.draw\nloading.draw\nloading.draw\n"
                            "createTexture()\ncreateTexture()\ncreateTexture()\ncreateTexture()\ncreateTexture()\n"
                            "clearTarget(flags=3 color=(0 0 0 0) depth=1 stencil=0)\n"
                            "clearTarget(flags=3 color=(1 1 1 1) depth=1 stencil=0)\n"
                            "loading.ping\nTransitionEffect.init\nloading.ping\nMapEffect1.init\n"
                            "loading.ping\nMapEffect2.init\nloading.ping\nMapEffect3.init\n"
                            "loading.ping\nMapEffect4.init\nloading.ping\nMapEffect5.init\n"
                            "loading.ping\nElevatorEffect.init\nloading.ping\nAgentFollowEffect.init\n"
                            "loading.ping\nAttackEffect.init\nloading.ping\nloading.ping\nloading.ping\n"
                            "loading.finish\nloading.deleted\n");
    EXPECT_EQ(output, "WARNING: HaxorEffect1 is enabled but not in this build\n");
    EXPECT_EQ(demo->getPart("AdminEffect"), nullptr);
    EXPECT_EQ(demo->getPart("HaxorEffect1"), nullptr);

    const DemoTargets& targets = demo->getTargets();
    ASSERT_NE(targets.screen, nullptr);
    EXPECT_EQ(targets.screen->width, 800);
    EXPECT_EQ(targets.screen->height, 600);
    EXPECT_EQ(targets.screen->target, core().getMainWindow());
    EXPECT_EQ(targets.screen->texture, nullptr);
    const struct {
        RenderTexture* target;
        int size;
        Core::TextureFormat format;
    } shared[] = {{targets.a, 512, Core::FORMAT_A8R8G8B8},   {targets.b, 512, Core::FORMAT_RGBA16F},
                  {targets.c, 512, Core::FORMAT_A8R8G8B8},   {targets.black, 1, Core::FORMAT_A8R8G8B8},
                  {targets.white, 1, Core::FORMAT_A8R8G8B8}};
    for (const auto& s : shared) {
        ASSERT_NE(s.target, nullptr);
        EXPECT_EQ(s.target->width, s.size);
        EXPECT_EQ(s.target->texture->getParameters().height, s.size);
        EXPECT_EQ(s.target->texture->getParameters().format, s.format);
    }
    EXPECT_NE(targets.a, targets.c);

    SysClockSyncronizer* clock = dynamic_cast<SysClockSyncronizer*>(demo->getClock());
    ASSERT_NE(clock, nullptr);
    EXPECT_FALSE(clock->isStopped()) << "started once loading is over";
}

TEST_F(DemoStartUp, MusicSettingsChooseTheClock)
{
    const std::string music = folder.write("music.wav", VostrelTest::toneWav(8000, 8000, 0.0, 0.0));
    Fmod3::registerModule();
    const struct {
        std::string file;
        std::vector<std::string> arguments;
        bool music;
    } cases[] = {{music, {}, true}, {music, {"-nosound"}, false}, {"", {}, false}};
    for (const auto& c : cases) {
        Properties::clear();
        load("R demo.endTime -1\nR demo.music.volume 0.5\nS demo.music.file \"" + c.file + "\"\n");
        makeDemo(c.arguments);
        ASSERT_TRUE(run());
        EXPECT_EQ(demo->isNoSound(), !c.arguments.empty());
        EXPECT_EQ(dynamic_cast<MusicSyncronizer*>(demo->getClock()) != nullptr, c.music) << c.file;
        EXPECT_EQ(dynamic_cast<SysClockSyncronizer*>(demo->getClock()) != nullptr, !c.music) << c.file;
        startAgain();
    }
}

TEST_F(DemoStartUp, EscapeOrAStopSignalWhileLoadingEndsTheRunAtThatStep)
{
    for (int signal : {0, SIGINT, SIGTERM}) {
        load(std::string(allEnabled) + "R demo.endTime 100\n");
        makeDemo({"-nosound"}, "", 3, signal);
        ASSERT_TRUE(run());
        const std::string log = startUpLog();
        EXPECT_NE(log.find("MapEffect1.init\nloading.ping\nloading.deleted\n"), std::string::npos) << signal << log;
        EXPECT_EQ(log.find("MapEffect2.init"), std::string::npos) << signal << log;
        EXPECT_EQ(log.find("loading.finish"), std::string::npos) << signal << log;
        ASSERT_NE(demo->getClock(), nullptr);
        EXPECT_TRUE(demo->getClock()->isStopped()) << "the show never started";
        startAgain();
    }
}

// A part that fails while it is built names itself and the settings it
// read, not those of the parts before it; one that read none, itself alone.
TEST_F(DemoStartUp, APartThatFailsToBuildNamesTheSettingsItRead)
{
    const struct Case {
        std::vector<std::string> keys;
        std::string context;
    } cases[] = {
        {{"MapEffect1.count", "MapEffect1.fog", "MapEffect1.count"},
         "In MapEffect1.init() with demo.props: MapEffect1.count -1, MapEffect1.fog 0 (not set)\n"},
        {{}, "In MapEffect1.init()\n"},
    };
    for (const Case& c : cases) {
        load(std::string(allEnabled) + "I TransitionEffect.size 3\nI MapEffect1.count -1\nR demo.endTime -1\n");
        makeDemo({"-nosound"});
        demo->setPartFactory("TransitionEffect", [] {
            return std::unique_ptr<DemoEffect>(new ReadingPart({"TransitionEffect.size"}, false));
        });
        const std::vector<std::string> keys = c.keys;
        demo->setPartFactory("MapEffect1", [keys] { return std::unique_ptr<DemoEffect>(new ReadingPart(keys, true)); });
        testing::internal::CaptureStderr();
        EXPECT_FALSE(run());
        const std::string errors = testing::internal::GetCapturedStderr();
        EXPECT_EQ(errors.substr(0, c.context.size()), c.context) << errors;
        const std::string report = errors.substr(std::min(errors.size(), c.context.size()));
        EXPECT_TRUE(std::regex_match(report, std::regex(R"(Tests\\Testing\\DemoTest\([0-9]+\): the part failed\n)")))
            << errors;
        startAgain();
    }
}

TEST(DemoEnabled, OnlyANonZeroIntEnablesAndTheSentinelAlwaysIs)
{
    Properties::clear();
    VostrelTest::TempDir folder;
    Properties::load(folder.write("demo.props", "I MapEffect1.enabled 1\nI MapEffect2.enabled 0\n"
                                                "R MapEffect3.enabled 1\nI MapEffect4.enabled -2\n"));
    const struct {
        const char* name;
        bool enabled;
    } cases[] = {{"MapEffect1", true},  {"MapEffect2", false}, {"MapEffect3", false},
                 {"MapEffect4", true},  {"MapEffect5", false}, {"EndSentinel", true}};
    for (const auto& c : cases)
        EXPECT_EQ(Demo::isEffectEnabled(c.name), c.enabled) << c.name;
    Properties::clear();
}

} // namespace
