#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Testing/LoadingEffect.h"
#include "Platform/Win32/Host.h"
#include "Tests/Support/TempDir.h"
#include "Tools/Content/ContentWriter.h"
#include "Tools/Content/PngWriter.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace Vostrel;

const int width = 640;
const int height = 480;

// The generated title in a content folder that is the working directory,
// and one 640 x 480 window for the whole suite: the title stays in the
// texture cache, which outlives a core.
class LoadingScreen : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        folder = new VostrelTest::TempDir;
        for (const Content::ContentWriter& writer : Content::contentWriters())
            if (writer.name == "title")
                writer.write(folder->path);
        previous = std::filesystem::current_path();
        std::filesystem::current_path(folder->path);
        // A desktop larger than the window, which it places away from the corner.
        Win32Host::setDisplayModesForTesting({{640, 480, 60}, {1920, 1080, 60}}, {1920, 1080, 60});
        Core::APICore::destroyInstance();
        Core::DXCore::install();
        Core::WindowParameters parameters;
        parameters.width = width;
        parameters.height = height;
        parameters.vSync = false;
        window = Core::createCore(parameters);
        // Only a shown window's frames reach the desktop image read back.
        window->setVisible(true);
        initPostProcessing();
    }

    static void TearDownTestSuite()
    {
        Core::APICore::destroyInstance();
        Win32Host::setDisplayModesForTesting({}, {0, 0, 0});
        std::filesystem::current_path(previous);
        delete folder;
    }

    void SetUp() override
    {
        ASSERT_NE(window, nullptr);
        screen.width = width;
        screen.height = height;
        screen.target = window;
        std::remove("pings.new");
    }

    static void writePings(const std::string& text) { folder->write("pings", text); }

    std::unique_ptr<LoadingEffect> make(MessagePump pump = nullptr)
    {
        return std::unique_ptr<LoadingEffect>(createLoadingEffect(std::move(pump)));
    }

    // What the window shows now, 0xAARRGGBB; written to a PNG when
    // VOSTREL_DUMP_FRAMES names a folder, for looking at.
    std::vector<uint32_t> shown(const std::string& name)
    {
        std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
        window->getFramebuffer(pixels.data());
        if (const char* dump = std::getenv("VOSTREL_DUMP_FRAMES")) {
            std::vector<uint8_t> rgba;
            for (uint32_t pixel : pixels)
                for (int shift : {16, 8, 0, 24})
                    rgba.push_back(static_cast<uint8_t>(pixel >> shift));
            Content::writePngRgba(std::string(dump) + "/" + name + ".png", width, height, rgba);
        }
        return pixels;
    }

    // The share of the bar's length lit clearly blue: the bar runs across
    // nine tenths of the width, a few rows around 90 % of the height down.
    double litShare(const std::vector<uint32_t>& pixels)
    {
        const int left = width / 20, right = width - width / 20;
        int lit = 0;
        for (int x = left; x < right; ++x) {
            int blue = 0;
            for (int y = height * 9 / 10 - 6; y <= height * 9 / 10 + 6; ++y)
                blue = std::max(blue, static_cast<int>(pixels[static_cast<size_t>(y) * width + x] & 255u));
            if (blue > 115)
                ++lit;
        }
        return static_cast<double>(lit) / (right - left);
    }

    static VostrelTest::TempDir* folder;
    static std::filesystem::path previous;
    static Core::RenderWindow* window;
    RenderTexture screen;
};

VostrelTest::TempDir* LoadingScreen::folder = nullptr;
std::filesystem::path LoadingScreen::previous;
Core::RenderWindow* LoadingScreen::window = nullptr;

TEST_F(LoadingScreen, BarFollowsTheCalibrationToFull)
{
    writePings("12 0 1 2 3 4 5 6 7 8 9 10 11\n");
    std::unique_ptr<LoadingEffect> loading = make();
    loading->draw(screen);
    EXPECT_EQ(litShare(shown("title")), 0.0);
    // The soft edge (a fiftieth of the bar) dims its last few pixels.
    const double edge = 1.0 / 50 + 2.0 / 576;
    for (int k = 1; k <= 12; ++k) {
        loading->ping(screen);
        EXPECT_NEAR(litShare(shown("ping" + std::to_string(k))), (k - 1) / 11.0, edge) << "after ping " << k;
    }
}

TEST_F(LoadingScreen, PingsPastAShortOrEmptyCalibrationHoldTheBarFull)
{
    const struct {
        const char* pings;
        std::vector<double> shares;
    } cases[] = {
        {"3 0 1 2", {0.0, 0.5, 1.0, 1.0, 1.0}},
        {"3 0 0 0", {1.0, 1.0, 1.0}},
        {"0", {1.0, 1.0}},
        // Cut short: the missing total counts as 0.
        {"5 0 1", {1.0, 1.0, 1.0, 1.0, 1.0, 1.0}},
    };
    for (const auto& c : cases) {
        writePings(c.pings);
        std::unique_ptr<LoadingEffect> loading = make();
        for (double share : c.shares) {
            loading->ping(screen);
            EXPECT_NEAR(litShare(shown("short")), share, 1.0 / 50 + 2.0 / 576) << c.pings;
        }
    }
}

TEST_F(LoadingScreen, SavedPingsAreTheMeasuredRisingTimes)
{
    writePings("12 0 1 2 3 4 5 6 7 8 9 10 11\n");
    std::unique_ptr<LoadingEffect> loading = make();
    for (int k = 0; k < 12; ++k)
        loading->ping(screen);
    loading->savePings();
    const std::string text = VostrelTest::TempDir::read("pings.new");
    ASSERT_FALSE(text.empty());
    EXPECT_EQ(text.rfind("12 0.000000 ", 0), 0u) << text;
    EXPECT_EQ(text.back(), '\n');
    std::FILE* file = std::fopen("pings.new", "r");
    const std::vector<float> times = readPings(file, "pings.new");
    std::fclose(file);
    ASSERT_EQ(times.size(), 12u);
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GE(times[i], times[i - 1]);

    std::filesystem::remove("pings.new");
    std::filesystem::create_directory("pings.new");
    try {
        loading->savePings();
        ADD_FAILURE() << "a folder in the way went unnoticed";
    } catch (const Exception& exception) {
        EXPECT_EQ(exception.message.rfind("Cannot write pings.new: ", 0), 0u) << exception.message;
    }
    std::filesystem::remove("pings.new");
}

TEST_F(LoadingScreen, WithoutPingsTheLoadingScreenCannotStart)
{
    std::remove("pings");
    try {
        make();
        ADD_FAILURE() << "no calibration went unnoticed";
    } catch (const Exception& exception) {
        EXPECT_EQ(exception.report(), "Libs\\Testing\\LoadingEffect(108): file not found: pings");
    }
}

TEST_F(LoadingScreen, DissolveSubtractsNoiseFromTheTitle)
{
    writePings("12 0 1 2 3 4 5 6 7 8 9 10 11\n");
    std::unique_ptr<LoadingEffect> loading = make([] { return true; });
    loading->draw(screen);
    const std::vector<uint32_t> title = shown("title");
    int frames = 0;
    loading = make([&] { return ++frames, true; });
    loading->finish(screen);
    EXPECT_GT(frames, 1);
    // Near the end nearly all of the noise is taken off: the letters break up.
    const std::vector<uint32_t> last = shown("dissolve");
    long titleSum = 0, lastSum = 0;
    for (size_t i = 0; i < title.size(); ++i) {
        titleSum += title[i] & 255u;
        lastSum += last[i] & 255u;
    }
    EXPECT_LT(lastSum, titleSum / 2);
}

TEST_F(LoadingScreen, AnEndedRunCutsTheLoadingFramesShort)
{
    writePings("12 0 1 2 3 4 5 6 7 8 9 10 11\n");
    int pumps = 0;
    std::unique_ptr<LoadingEffect> loading = make([&] { return ++pumps, false; });
    loading->ping(screen);
    EXPECT_EQ(pumps, 1) << "one frame, then no more";
    loading->finish(screen);
    EXPECT_EQ(pumps, 1) << "no dissolve";
}

// What a calibration cut short holds is kept, the rest is 0, and a warning
// names the file; only a count that cannot size it is refused.
TEST(Pings, ReadingKeepsWhatItCanAndRefusesOnlyACountOutOfRange)
{
    const struct {
        const char* text;
        std::vector<float> times;
        const char* warning;
        const char* error;
    } cases[] = {
        {"12 0.000000 0.250000 0.500000 0.750000 1.000000 1.250000 1.500000 1.750000 2.000000 2.250000 2.500000 "
         "2.750000 \n",
         {0.0f, 0.25f, 0.5f, 0.75f, 1.0f, 1.25f, 1.5f, 1.75f, 2.0f, 2.25f, 2.5f, 2.75f},
         "",
         nullptr},
        {"2\n0\n\t3.5", {0.0f, 3.5f}, "", nullptr},
        {"0", {}, "", nullptr},
        {"", {}, "WARNING: pings: no count of times at its start, the bar stays full\n", nullptr},
        {"twelve 1 2", {}, "WARNING: pings: no count of times at its start, the bar stays full\n", nullptr},
        {"-1 0", {}, "", "pings: -1 times is out of range (0 to 4096)"},
        {"2000000000 0", {}, "", "pings: 2000000000 times is out of range (0 to 4096)"},
        {"3 0 1", {0.0f, 1.0f, 0.0f},
         "WARNING: pings: time 3 of 3 is missing or not a number, it and the rest count as 0\n", nullptr},
        {"4 0.5 x 7 8", {0.5f, 0.0f, 0.0f, 0.0f},
         "WARNING: pings: time 2 of 4 is missing or not a number, it and the rest count as 0\n", nullptr},
        // No count wraps: one past an int, and past a long, quoted as written.
        {"2147483648 0", {}, "", "pings: 2147483648 times is out of range (0 to 4096)"},
        {"99999999999999999999 0", {}, "", "pings: 99999999999999999999 times is out of range (0 to 4096)"},
        {"-4294967295 0", {}, "", "pings: -4294967295 times is out of range (0 to 4096)"},
        {"+0003 1 2 3", {1.0f, 2.0f, 3.0f}, "", nullptr},
        // Times follow one another as "%f" reads them; one that is not
        // finite counts as 0 and the rest are kept.
        {"3 0.5-2x", {0.5f, -2.0f, 0.0f},
         "WARNING: pings: time 3 of 3 is missing or not a number, it and the rest count as 0\n", nullptr},
        {"4 0 inf 1e999 NaN", {0.0f, 0.0f, 0.0f, 0.0f},
         "WARNING: pings: time 2 of 4 is not finite (inf), it counts as 0\n"
         "WARNING: pings: time 3 of 4 is not finite (1e999), it counts as 0\n"
         "WARNING: pings: time 4 of 4 is not finite (NaN), it counts as 0\n",
         nullptr},
        {"3 -inf 2 3", {0.0f, 2.0f, 3.0f}, "WARNING: pings: time 1 of 3 is not finite (-inf), it counts as 0\n",
         nullptr},
    };
    for (const auto& c : cases) {
        std::string text = c.text;
        std::FILE* file = fmemopen(text.empty() ? nullptr : &text[0], text.size(), "r");
        if (!file)
            file = std::tmpfile();
        testing::internal::CaptureStderr();
        try {
            EXPECT_EQ(readPings(file, "pings"), c.times) << c.text;
            EXPECT_EQ(c.error, nullptr) << c.text;
        } catch (const Exception& exception) {
            EXPECT_EQ(exception.message, c.error ? c.error : "(none)") << c.text;
        }
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.warning) << c.text;
        std::fclose(file);
    }
}

// A read error says what the system said before the warning.
TEST(Pings, AnUnreadableCalibrationSaysWhyAndKeepsNothing)
{
    VostrelTest::TempDir folder;
    const std::string name = folder.file("pings");
    ASSERT_TRUE(VostrelTest::TempDir::makeUnreadable(name));
    std::FILE* file = std::fopen(name.c_str(), "r");
    ASSERT_NE(file, nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(readPings(file, "pings"), std::vector<float>());
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "pings: Input/output error\nWARNING: pings: no count of times at its start, the bar stays full\n");
    std::fclose(file);
}

TEST(Pings, ProgressIsTheStepsShareOfTheTotalWithinZeroAndOne)
{
    const float nan = std::nanf("");
    const struct {
        std::vector<float> calibration;
        size_t k;
        float progress;
    } cases[] = {
        {{0, 1, 2, 4}, 1, 0.0f},   {{0, 1, 2, 4}, 3, 0.5f},    {{0, 1, 2, 4}, 4, 1.0f},
        {{0, 1, 2, 4}, 5, 1.0f},   {{}, 1, 1.0f},              {{0, 0}, 1, 1.0f},
        {{0, -2}, 1, 1.0f},        {{-1, 2}, 1, 0.0f},         {{3, 2}, 1, 1.0f},
        {{0, nan}, 1, 1.0f},       {{nan, 2}, 1, 1.0f},        {{0, INFINITY}, 1, 1.0f},
    };
    for (const auto& c : cases)
        EXPECT_EQ(pingProgress(c.calibration, c.k), c.progress) << c.k;
}

} // namespace
