// The generator's shell files read through the show's own readers, and the
// program playing generated content headless.
#include "Libs/Image/FontRenderer.h"
#include "Libs/Image/Image.h"
#include "Libs/Testing/Demo.h"
#include "Libs/Testing/LoadingEffect.h"
#include "Libs/Testing/Properties.h"
#include "Tests/Support/HeadlessCore.h"
#include "Tests/Support/TempDir.h"
#include "Tools/Content/ContentWriter.h"

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <algorithm>
#include <filesystem>
#include <cstdio>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>

namespace {

using namespace Vostrel;

// A part's keys, added as a part's writer adds them.
Content::RegisterPropertySection testSection("ZTestEffect", [] { return "I ZTestEffect.size 7"; });

// A content folder with what the named writers write (all without names).
class GeneratedShow : public ::testing::Test {
protected:
    void generate(std::vector<std::string> names = {})
    {
        if (names.empty()) {
            Content::writeAllContent(folder.path);
            return;
        }
        for (const Content::ContentWriter& writer : Content::contentWriters())
            if (std::find(names.begin(), names.end(), writer.name) != names.end())
                writer.write(folder.path);
    }

    std::string file(const std::string& name) { return folder.file(name); }

    VostrelTest::TempDir folder;
};

TEST_F(GeneratedShow, PropertiesSetTheWindowTheMusicTheEndAndEveryPart)
{
    generate({"demo.props"});
    Properties::clear();
    Properties::load(file("demo.props"));
    EXPECT_EQ(Properties::getInt("demo.window.width", 0), 640);
    EXPECT_EQ(Properties::getInt("demo.window.height", 0), 480);
    EXPECT_EQ(Properties::getFloat("demo.endTime", 0.0f), 219.0f);
    EXPECT_EQ(Properties::getFloat("demo.music.volume", 0.0f), 0.8f);
    const std::string music = Properties::getString("demo.music.file", "");
    EXPECT_EQ(music, "data/Music/vostrel.ogg");
    for (const char* name : Demo::partNames())
        EXPECT_TRUE(Demo::isEffectEnabled(name)) << name;
    EXPECT_EQ(Properties::getInt("ZTestEffect.size", 0), 7);
    Properties::clear();

    // The parts' sections follow the shell's lines, each under its name.
    const std::string text = Content::demoProperties();
    EXPECT_NE(text.find("I HaxorEffect1.enabled 1\n"), std::string::npos);
    EXPECT_NE(text.find("# ZTestEffect\nI ZTestEffect.size 7\n"), std::string::npos) << text;
    EXPECT_EQ(text.back(), '\n');
}

TEST_F(GeneratedShow, PingsCalibrateTwelveRisingStepsFromZero)
{
    generate({"pings"});
    std::FILE* pings = std::fopen(file("pings").c_str(), "r");
    ASSERT_NE(pings, nullptr);
    const std::vector<float> times = readPings(pings, "pings");
    std::fclose(pings);
    ASSERT_EQ(times.size(), 12u);
    EXPECT_EQ(times[0], 0.0f);
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GT(times[i], times[i - 1]);
    EXPECT_EQ(pingProgress(times, 12), 1.0f);
}

TEST_F(GeneratedShow, FontLoadsAndHasGlyphs)
{
    generate({"font"});
    std::unique_ptr<FontRenderer> font(FontRenderer::createDetached());
    font->selectFace(font->loadFace(file("data/Fonts/Prototype.ttf").c_str()));
    font->setCharSize(32 * 64, 72, 72);
    int xMin, xMax, yMin, yMax, advance;
    ASSERT_TRUE(font->measureText('V', &xMin, &xMax, &yMin, &yMax, &advance));
    EXPECT_GT(advance, 0);
}

class GeneratedTitle : public TestSupport::HeadlessCoreTest {};

TEST_F(GeneratedTitle, IsAPowerOfTwoRgbaImageDarkWhereTheBarRuns)
{
    VostrelTest::TempDir folder;
    for (const Content::ContentWriter& writer : Content::contentWriters())
        if (writer.name == "title")
            writer.write(folder.path);
    std::unique_ptr<Image> title(Image::createFromFile(folder.file("data/Textures/title.png")));
    const int width = title->getWidth(), height = title->getHeight();
    EXPECT_EQ(title->getChannels(), 4);
    EXPECT_EQ(width & (width - 1), 0);
    EXPECT_EQ(height & (height - 1), 0);
    // The bar's band: a fiftieth of the height around 90 % down, nine tenths wide.
    int brightest = 0, brightestElsewhere = 0;
    for (int y = 0; y < height; ++y)
        for (int x = width / 20; x < width - width / 20; ++x) {
            const unsigned char* pixel = title->getData() + (static_cast<size_t>(y) * width + x) * 4;
            const int value = std::max({pixel[0], pixel[1], pixel[2]});
            if (std::abs(y - height * 9 / 10) <= height / 100)
                brightest = std::max(brightest, value);
            else
                brightestElsewhere = std::max(brightestElsewhere, value);
        }
    EXPECT_LT(brightest, 16);
    EXPECT_GT(brightestElsewhere, 128) << "a title, not a black picture";
}

// Runs the program in a copy of a content folder with extra property
// lines; its exit status, standard output and standard error.
struct ProgramRun {
    int status;
    std::string output;
    std::string errors;
};

ProgramRun play(const std::string& content, const std::string& extraProperties)
{
    VostrelTest::TempDir copy;
    std::filesystem::copy(content, copy.path, std::filesystem::copy_options::recursive);
    std::ofstream(copy.file("demo.props"), std::ios::app) << extraProperties;
    const std::string command = "cd '" + copy.path + "' && timeout 60 '" VOSTREL_PROGRAM "' > out.txt 2> errors.txt";
    const int status = std::system(command.c_str());
    return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, VostrelTest::TempDir::read(copy.file("out.txt")),
            VostrelTest::TempDir::read(copy.file("errors.txt"))};
}

TEST_F(GeneratedShow, PlaysHeadlessToItsEndOrTheMusicsEnd)
{
    generate();
    const ProgramRun run = play(folder.path, "R demo.endTime 4\n");
    EXPECT_EQ(run.status, 0) << run.errors;
    EXPECT_EQ(run.errors, "");
    // Each enabled part this build lacks says so; the others play.
    for (const char* name : Demo::partNames()) {
        const bool built = registeredDemoEffects().count(name) != 0;
        EXPECT_EQ(run.output.find(std::string("WARNING: ") + name + " is enabled but not in this build\n") ==
                      std::string::npos,
                  built)
            << name << ": " << run.output;
    }
    // The music lasts about 220 s, the end time is 300: only the music's end
    // stops the show within the minute the run is given.
    const ProgramRun toTheMusicsEnd = play(folder.path, "R demo.startTime 217\nR demo.endTime 300\n");
    EXPECT_EQ(toTheMusicsEnd.status, 0) << toTheMusicsEnd.errors;
}

TEST_F(GeneratedShow, MissingFilesEndTheRunWithTheirReport)
{
    generate({"demo.props", "title"});
    const ProgramRun noMusic = play(folder.path, "S demo.music.file \"data/Music/none.ogg\"\n");
    EXPECT_EQ(noMusic.status, 1);
    EXPECT_EQ(noMusic.errors, "Libs\\Time\\MusicSyncronizer(184): Cannot find data/Music/none.ogg.\n");
    // Without music the system clock runs, and the loading screen needs its calibration.
    const ProgramRun noPings = play(folder.path, "S demo.music.file \"\"\n");
    EXPECT_EQ(noPings.status, 1);
    EXPECT_EQ(noPings.errors, "Libs\\Testing\\LoadingEffect(108): file not found: pings\n");
}

} // namespace
