#include "Libs/Core/APICore.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/RenderWindowWin32.h"
#include "Libs/Testing/DemoBed.h"
#include "Libs/Testing/Properties.h"
#include "Platform/Win32/Host.h"
#include "Tests/Support/TempDir.h"

#include <SDL.h>
#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

using namespace Vostrel;

char program[] = "vostrel";

Core::WindowParameters parametersFor(std::vector<std::string> arguments)
{
    std::vector<char*> argv = {program};
    for (std::string& argument : arguments)
        argv.push_back(&argument[0]);
    return DemoBed::windowParameters(static_cast<int>(argv.size()), argv.data());
}

class DemoBedParametersTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Properties::clear();
        unsetenv("VOSTREL_WINDOW_WIDTH");
        unsetenv("VOSTREL_WINDOW_HEIGHT");
    }
    void TearDown() override { SetUp(); }
};

TEST_F(DemoBedParametersTest, WithoutPropertiesTheWindowIs640x480Windowed)
{
    Core::WindowParameters parameters = parametersFor({});
    EXPECT_EQ(parameters.width, 640);
    EXPECT_EQ(parameters.height, 480);
    EXPECT_EQ(parameters.title, "Demo");
    EXPECT_FALSE(parameters.fullscreen);
    EXPECT_TRUE(parameters.showCursor);
    EXPECT_TRUE(parameters.vSync);
    EXPECT_EQ(parameters.multisample, -1);
}

TEST_F(DemoBedParametersTest, PropertiesSetTheWindow)
{
    VostrelTest::TempDir directory;
    Properties::load(directory.write("demo.props", "S demo.window.title \"My Demo\"\n"
                                                   "I demo.window.width 800\n"
                                                   "I demo.window.height 600\n"
                                                   "I demo.window.fullscreen 1\n"
                                                   "I demo.window.showCursor 0\n"
                                                   "I demo.window.vSync 0\n"
                                                   "I demo.multisample 4\n"));
    Core::WindowParameters parameters = parametersFor({});
    EXPECT_EQ(parameters.title, "My Demo");
    EXPECT_EQ(parameters.width, 800);
    EXPECT_TRUE(parameters.fullscreen);
    EXPECT_FALSE(parameters.showCursor);
    EXPECT_FALSE(parameters.vSync);
    EXPECT_EQ(parameters.multisample, 4);
}

struct EnvironmentCase {
    const char* width;
    const char* height;
    int expectedWidth;
    int expectedHeight;
};

TEST_F(DemoBedParametersTest, EnvironmentSizesNeedBothAndPositiveNumbers)
{
    const EnvironmentCase cases[] = {
        {"1024", nullptr, 640, 480},
        {"1024", "abc", 1024, 480},
        {"1024", "768", 1024, 768},
        {"0", "-5", 640, 480},
        {"800x", " 600", 800, 600},
        {"99999999999", "768", 640, 768},
        {"-99999999999", "4294967296", 640, 480},
    };
    for (const EnvironmentCase& c : cases) {
        Core::WindowParameters parameters;
        parameters.width = 640;
        parameters.height = 480;
        DemoBed::applyEnvironment(parameters, c.width, c.height);
        EXPECT_EQ(parameters.width, c.expectedWidth) << c.width << " / " << (c.height ? c.height : "(none)");
        EXPECT_EQ(parameters.height, c.expectedHeight) << c.width << " / " << (c.height ? c.height : "(none)");
    }
    setenv("VOSTREL_WINDOW_WIDTH", "320", 1);
    setenv("VOSTREL_WINDOW_HEIGHT", "200", 1);
    EXPECT_EQ(parametersFor({}).width, 320);
}

TEST_F(DemoBedParametersTest, LaterSwitchesWinAndOnlyExactOnesCount)
{
    EXPECT_FALSE(parametersFor({"-fullscreen", "-window"}).fullscreen);
    EXPECT_TRUE(parametersFor({"-window", "-fullscreen"}).fullscreen);
    EXPECT_FALSE(parametersFor({"-Fullscreen", "-fullscreen2", "fullscreen", "-nosound"}).fullscreen);
}

// A bed that presses Escape or closes its window after a few frames, as a
// person would.
class ScriptedBed : public DemoBed {
public:
    enum class Ending { escape, close, failure };
    explicit ScriptedBed(Ending ending) : ending(ending) {}

    void init() override { initialised = true; }
    void deinit() override { deinitialised = true; }
    void renderFrame(float seconds) override
    {
        EXPECT_GE(seconds, 0.0f);
        if (++frames != 3)
            return;
        if (ending == Ending::failure)
            VOSTREL_THROW("frame " << frames << " failed");
        auto* win32 = dynamic_cast<Core::RenderWindowWin32*>(window);
        SDL_Event event = {};
        uint32_t id = SDL_GetWindowID(Win32Host::sdlWindow(win32->getHandle()));
        if (ending == Ending::escape) {
            event.type = SDL_KEYDOWN;
            event.key.windowID = id;
            event.key.keysym.sym = SDLK_ESCAPE;
        } else {
            event.type = SDL_WINDOWEVENT;
            event.window.windowID = id;
            event.window.event = SDL_WINDOWEVENT_CLOSE;
        }
        SDL_PushEvent(&event);
    }

    Core::RenderWindow* mainWindow() const { return window; }

    Ending ending;
    int frames = 0;
    bool initialised = false;
    bool deinitialised = false;
};

class DemoBedRunTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        Properties::clear();
        Win32Host::setDisplayModesForTesting({{640, 480, 60}, {800, 600, 60}}, {800, 600, 60});
        Core::APICore::destroyInstance();
        Core::DXCore::install();
        VostrelTest::TempDir directory;
        Properties::load(directory.write("demo.props", "I demo.window.width 96\n"
                                                       "I demo.window.height 64\n"
                                                       "I demo.window.vSync 0\n"
                                                       "S demo.window.title \"Bed\"\n"));
    }
    void TearDown() override
    {
        Core::APICore::destroyInstance();
        Properties::clear();
        Win32Host::setDisplayModesForTesting({}, {0, 0, 0});
    }
};

TEST_F(DemoBedRunTest, EscapeEndsTheLoopAfterTheFrameInProgress)
{
    ScriptedBed bed(ScriptedBed::Ending::escape);
    char* argv[] = {program};
    EXPECT_TRUE(bed.run(1, argv));
    EXPECT_EQ(bed.frames, 3);
    EXPECT_TRUE(bed.initialised);
    EXPECT_TRUE(bed.deinitialised);
    ASSERT_NE(bed.mainWindow(), nullptr);
    EXPECT_EQ(bed.mainWindow()->getTitle(), "Bed");
    EXPECT_EQ(bed.mainWindow()->getWidth(), 96);
    EXPECT_TRUE(bed.mainWindow()->isVisible());
    // Every frame was cleared to the clear colour and shown.
    std::vector<uint32_t> pixels(96 * 64, 0x12345678u);
    bed.mainWindow()->getFramebuffer(pixels.data());
    EXPECT_EQ(pixels[0], 0xFF000000u);
    EXPECT_EQ(pixels[96 * 64 - 1], 0xFF000000u);
}

TEST_F(DemoBedRunTest, ClosingTheWindowEndsTheLoop)
{
    ScriptedBed bed(ScriptedBed::Ending::close);
    char* argv[] = {program};
    EXPECT_TRUE(bed.run(1, argv));
    EXPECT_EQ(bed.frames, 3);
    EXPECT_TRUE(bed.deinitialised);
}

TEST_F(DemoBedRunTest, FailingFrameIsReportedAndSkipsDeinit)
{
    ScriptedBed bed(ScriptedBed::Ending::failure);
    char* argv[] = {program};
    testing::internal::CaptureStderr();
    EXPECT_FALSE(bed.run(1, argv));
    std::string report = testing::internal::GetCapturedStderr();
    EXPECT_FALSE(bed.deinitialised);
    EXPECT_EQ(report.rfind("Tests\\Testing\\DemoBedTest(", 0), 0u) << report;
    EXPECT_NE(report.find("): frame 3 failed\n"), std::string::npos) << report;
}

TEST_F(DemoBedRunTest, SecondRunFindsTheCoreTakenAndReportsIt)
{
    ScriptedBed first(ScriptedBed::Ending::escape);
    char* argv[] = {program};
    ASSERT_TRUE(first.run(1, argv));
    ScriptedBed second(ScriptedBed::Ending::escape);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(second.run(1, argv));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("a render core exists already"), std::string::npos);
}

TEST(ProgramTest, MissingPropertyFileEndsWithTheReportAndFailure)
{
    VostrelTest::TempDir directory;
    std::string command = "cd '" + directory.file("") + "' && '" VOSTREL_PROGRAM "' 2> '" +
                          directory.file("errors.txt") + "'";
    int status = std::system(command.c_str());
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::ifstream errors(directory.file("errors.txt"));
    std::stringstream text;
    text << errors.rdbuf();
    EXPECT_EQ(text.str(), "Libs\\Testing\\Properties(20): Cannot load property file 'demo.props'\n");
}

} // namespace
