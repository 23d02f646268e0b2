#include "Libs/Core/APICore.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/RenderWindowWin32.h"
#include "Libs/Testing/DemoBed.h"
#include "Libs/Testing/Properties.h"
#include "Platform/Win32/Host.h"
#include "Tests/Support/SdlEvents.h"
#include "Tests/Support/TempDir.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <stdexcept>

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

// A bed that ends its run after three frames as a person would: Escape
// pressed or released, or the window closed. The paused one clears its
// frames white, pauses at the third and asks for a paint before the close.
class ScriptedBed : public DemoBed {
public:
    enum class Ending { escapePressed, escapeReleased, close, interrupt, terminate, paused, failure };
    explicit ScriptedBed(Ending ending) : ending(ending) {}

    void init() override
    {
        initialised = true;
        if (ending == Ending::paused)
            clearColor = Vec4(1.0f, 1.0f, 1.0f, 1.0f);
    }
    void deinit() override { deinitialised = true; }
    void renderFrame(float seconds) override
    {
        HWND handle = dynamic_cast<Core::RenderWindowWin32&>(*window).getHandle();
        if (paused) {
            pausedSeconds = seconds;
            return;
        }
        EXPECT_GE(seconds, 0.0f);
        // A bed whose ending went unheard stops rather than running on.
        if (++frames == 20)
            running = false;
        if (frames != 3)
            return;
        switch (ending) {
        case Ending::escapePressed: SdlEvents::pushKey(handle, SDLK_ESCAPE, true); break;
        case Ending::escapeReleased: SdlEvents::pushKey(handle, SDLK_ESCAPE, false); break;
        case Ending::close: SdlEvents::pushWindowEvent(handle, SDL_WINDOWEVENT_CLOSE); break;
        case Ending::interrupt: std::raise(SIGINT); break;
        case Ending::terminate: std::raise(SIGTERM); break;
        case Ending::paused:
            paused = true;
            pauseTick = loopStartTick + 1500;
            InvalidateRect(handle, nullptr, TRUE);
            SdlEvents::pushWindowEvent(handle, SDL_WINDOWEVENT_CLOSE);
            break;
        case Ending::failure: VOSTREL_THROW("frame " << frames << " failed");
        }
    }

    Core::RenderWindow* mainWindow() const { return window; }

    Ending ending;
    int frames = 0;
    float pausedSeconds = -1.0f;
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
        unsetenv("VOSTREL_WINDOW_WIDTH");
        unsetenv("VOSTREL_WINDOW_HEIGHT");
    }

    // A fresh run of the bed that is to fail, the window's size taken from the
    // environment where one is given; what the run reported.
    std::string failingRun(ScriptedBed& bed, const char* width = nullptr, const char* height = nullptr)
    {
        Core::APICore::destroyInstance();
        unsetenv("VOSTREL_WINDOW_WIDTH");
        unsetenv("VOSTREL_WINDOW_HEIGHT");
        if (width) {
            setenv("VOSTREL_WINDOW_WIDTH", width, 1);
            setenv("VOSTREL_WINDOW_HEIGHT", height, 1);
        }
        char* argv[] = {program};
        testing::internal::CaptureStderr();
        EXPECT_FALSE(bed.run(1, argv));
        return testing::internal::GetCapturedStderr();
    }

    std::vector<uint32_t> framebuffer(Core::RenderWindow* window)
    {
        std::vector<uint32_t> pixels(static_cast<size_t>(window->getWidth()) * window->getHeight(), 0x12345678u);
        window->getFramebuffer(pixels.data());
        return pixels;
    }
};

TEST_F(DemoBedRunTest, EscapeOrCloseEndsTheLoopAfterTheFrameInProgress)
{
    for (ScriptedBed::Ending ending :
         {ScriptedBed::Ending::escapePressed, ScriptedBed::Ending::escapeReleased, ScriptedBed::Ending::close,
          ScriptedBed::Ending::interrupt, ScriptedBed::Ending::terminate}) {
        Core::APICore::destroyInstance();
        ScriptedBed bed(ending);
        char* argv[] = {program};
        EXPECT_TRUE(bed.run(1, argv));
        EXPECT_EQ(bed.frames, 3) << static_cast<int>(ending);
        EXPECT_TRUE(bed.initialised);
        EXPECT_TRUE(bed.deinitialised);
        ASSERT_NE(bed.mainWindow(), nullptr);
        EXPECT_EQ(bed.mainWindow()->getTitle(), "Bed");
        EXPECT_EQ(bed.mainWindow()->getWidth(), 96);
        EXPECT_TRUE(bed.mainWindow()->isVisible());
        // Every frame was cleared to the clear colour and shown.
        std::vector<uint32_t> pixels = framebuffer(bed.mainWindow());
        EXPECT_EQ(pixels[0], 0xFF000000u);
        EXPECT_EQ(pixels[96 * 64 - 1], 0xFF000000u);
    }
}

TEST_F(DemoBedRunTest, StopSignalsAfterTheRunLetTheTeardownFinish)
{
    ScriptedBed bed(ScriptedBed::Ending::interrupt);
    char* argv[] = {program};
    ASSERT_TRUE(bed.run(1, argv));
    // The program tears down after the run; a second request then must not end it.
    EXPECT_EXIT(
        {
            std::raise(SIGINT);
            std::raise(SIGTERM);
            std::exit(0);
        },
        testing::ExitedWithCode(0), "");
}

TEST_F(DemoBedRunTest, AStopRequestedBeforeTheRunEndsItBeforeAnyWindowAndOnlyIt)
{
    catchStopSignals();
    for (int signal : {SIGINT, SIGTERM}) {
        std::raise(signal);
        ScriptedBed stopped(ScriptedBed::Ending::escapePressed);
        char* argv[] = {program};
        EXPECT_TRUE(stopped.run(1, argv)) << signal;
        EXPECT_EQ(stopped.mainWindow(), nullptr) << signal;
        EXPECT_FALSE(stopped.initialised) << signal;
        // The request was that run's: the next one runs its frames.
        ScriptedBed next(ScriptedBed::Ending::escapePressed);
        EXPECT_TRUE(next.run(1, argv)) << signal;
        EXPECT_EQ(next.frames, 3) << signal;
        Core::APICore::destroyInstance();
    }
}

TEST_F(DemoBedRunTest, PaintWhilePausedRedrawsTheMomentOfPausing)
{
    ScriptedBed bed(ScriptedBed::Ending::paused);
    char* argv[] = {program};
    EXPECT_TRUE(bed.run(1, argv));
    EXPECT_EQ(bed.frames, 3);
    EXPECT_FLOAT_EQ(bed.pausedSeconds, 1.5f);
    std::vector<uint32_t> pixels = framebuffer(bed.mainWindow());
    EXPECT_EQ(pixels[0], 0xFF000000u) << "the paint clears to black, not to the clear colour, and presents";
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
    ScriptedBed first(ScriptedBed::Ending::escapePressed);
    char* argv[] = {program};
    ASSERT_TRUE(first.run(1, argv));
    ScriptedBed second(ScriptedBed::Ending::escapePressed);
    testing::internal::CaptureStderr();
    EXPECT_FALSE(second.run(1, argv));
    EXPECT_NE(testing::internal::GetCapturedStderr().find("a render core exists already"), std::string::npos);
}

// A window that cannot be made names the settings that asked for it, the
// environment's size too when it replaces the file's; the report follows.
TEST_F(DemoBedRunTest, AWindowThatCannotBeMadeNamesTheSettingsThatAskedForIt)
{
    const std::string fromTheFile = "In Core::createCore() with demo.props: demo.multisample -1 (not set), "
                                    "demo.window.width 100000, demo.window.height 480 (not set), "
                                    "demo.window.fullscreen 0 (not set), demo.window.showCursor 1 (not set), "
                                    "demo.window.vSync 1 (not set), demo.window.title \"Big\"\n";
    const std::string fromTheEnvironment = "In Core::createCore() with demo.props: demo.multisample -1 (not set), "
                                           "demo.window.width 96, demo.window.height 64, demo.window.fullscreen 0 "
                                           "(not set), demo.window.showCursor 1 (not set), demo.window.vSync 0, "
                                           "demo.window.title \"Bed\" and the environment: VOSTREL_WINDOW_WIDTH "
                                           "\"100000\", VOSTREL_WINDOW_HEIGHT \"64\"\n";
    for (const bool environment : {true, false}) {
        VostrelTest::TempDir directory;
        if (!environment) {
            Properties::clear();
            Properties::load(
                directory.write("demo.props", "I demo.window.width 100000\nS demo.window.title \"Big\"\n"));
        }
        ScriptedBed bed(ScriptedBed::Ending::escapePressed);
        const std::string report = environment ? failingRun(bed, "100000", "64") : failingRun(bed);
        EXPECT_FALSE(bed.initialised);
        const std::string& context = environment ? fromTheEnvironment : fromTheFile;
        EXPECT_EQ(report.substr(0, context.size()), context);
        EXPECT_EQ(report.find('\n', context.size()), report.size() - 1) << "one report line follows:\n" << report;
    }
}

TEST_F(DemoBedRunTest, AWindowTooLargeToMakeFailsCleanlyNamingTheEnvironmentsSize)
{
    // Any size an int holds, from the properties or the environment.
    for (const char* height : {"2147483647", "2147483600", "100000"}) {
        SCOPED_TRACE(height);
        ScriptedBed bed(ScriptedBed::Ending::escapePressed);
        const std::string report = failingRun(bed, "abc", height);
        EXPECT_FALSE(bed.initialised);
        EXPECT_EQ(report.rfind("In Core::createCore() with demo.props: ", 0), 0u) << report;
        EXPECT_NE(report.find(" and the environment: VOSTREL_WINDOW_HEIGHT \"" + std::string(height) +
                              "\"\nLibs\\Core\\RenderWindowWin32("),
                  std::string::npos)
            << report;
        EXPECT_NE(report.find("): RenderWindowWin32: failed to create window.\n"), std::string::npos) << report;
    }
    // Without the environment the properties alone asked for it.
    VostrelTest::TempDir directory;
    Properties::load(directory.write("demo.props", "I demo.window.width 2147483647\n"));
    ScriptedBed bed(ScriptedBed::Ending::escapePressed);
    const std::string report = failingRun(bed);
    EXPECT_NE(report.find("demo.window.width 2147483647"), std::string::npos) << report;
    EXPECT_EQ(report.find("the environment"), std::string::npos) << report;
}

TEST(ReportTest, EveryFailureIsReportedAndEndsWithStatusOne)
{
    struct Case {
        std::function<int()> body;
        int status;
        const char* file;
        const char* message;
    };
    const Case cases[] = {
        {[] { return 0; }, 0, nullptr, nullptr},
        {[]() -> int { VOSTREL_THROW("bad " << 7); }, 1, "Tests\\Testing\\DemoBedTest(", "): bad 7\n"},
        {[]() -> int { throw std::runtime_error("boom"); }, 1, "Libs\\Testing\\DemoBed(", "): boom\n"},
        {[]() -> int { throw 42; }, 1, "Libs\\Testing\\DemoBed(", "): unknown exception\n"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        EXPECT_EQ(runReported(c.body), c.status);
        std::string report = testing::internal::GetCapturedStderr();
        if (!c.file) {
            EXPECT_EQ(report, "");
            continue;
        }
        EXPECT_EQ(report.rfind(c.file, 0), 0u) << report;
        EXPECT_EQ(report.substr(report.size() - std::strlen(c.message)), c.message) << report;
    }
}

// The program run in the folder with the environment variables given;
// returns what it wrote to the standard error stream and expects status 1.
std::string errorsOfFailingRun(VostrelTest::TempDir& directory, const std::string& environment = "")
{
    std::string command = "cd '" + directory.file("") + "' && " + environment + " '" VOSTREL_PROGRAM "' 2> '" +
                          directory.file("errors.txt") + "'";
    int status = std::system(command.c_str());
    EXPECT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1);
    std::ifstream errors(directory.file("errors.txt"));
    std::stringstream text;
    text << errors.rdbuf();
    return text.str();
}

TEST(ProgramTest, MissingPropertyFileEndsWithTheReportAndFailure)
{
    VostrelTest::TempDir directory;
    EXPECT_EQ(errorsOfFailingRun(directory),
              "demo.props: No such file or directory\n"
              "Libs\\Testing\\Properties(20): Cannot load property file 'demo.props'\n");
}

// Mesa's softpipe rasteriser has no OpenGL 4.5 core: each device asked for
// says what it lacks before the engine's own report.
TEST(ProgramTest, WithoutOpenGL45TheDeviceRequestsNameWhatFailed)
{
    VostrelTest::TempDir directory;
    directory.write("demo.props", "");
    std::istringstream lines(errorsOfFailingRun(directory, "LIBGL_ALWAYS_SOFTWARE=1 GALLIUM_DRIVER=softpipe"));
    std::string line;
    for (const char* device : {"HAL", "reference"}) {
        std::getline(lines, line);
        const std::string asked =
            std::string("Direct3D 9 CreateDevice (") + device + " device): no OpenGL 4.5 core context";
        EXPECT_EQ(line.rfind(asked, 0), 0u) << line;
        const size_t said = line.find("; SDL: ");
        ASSERT_NE(said, std::string::npos) << line;
        EXPECT_GT(line.size(), said + 7) << "SDL's own words follow";
    }
    // The settings the device was asked with, none of them given here.
    std::getline(lines, line);
    EXPECT_EQ(line, "In Core::createCore() with demo.props: demo.multisample -1 (not set), demo.window.width 640 "
                    "(not set), demo.window.height 480 (not set), demo.window.fullscreen 0 (not set), "
                    "demo.window.showCursor 1 (not set), demo.window.vSync 1 (not set), demo.window.title \"Demo\" "
                    "(not set)");
    std::getline(lines, line);
    EXPECT_EQ(line, "Libs\\Core\\DirectX\\DXCore(216): DXCore: Failed to create D3D9 Device.");
    EXPECT_FALSE(std::getline(lines, line)) << line;
}

} // namespace
