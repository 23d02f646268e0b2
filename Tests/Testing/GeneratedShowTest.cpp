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

#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <filesystem>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
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

ProgramRun play(const std::string& content, const std::string& extraProperties,
               const std::function<void(const std::string& folder)>& breakContent = {})
{
    VostrelTest::TempDir copy;
    std::filesystem::copy(content, copy.path, std::filesystem::copy_options::recursive);
    std::ofstream(copy.file("demo.props"), std::ios::app) << extraProperties;
    if (breakContent)
        breakContent(copy.path);
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

// Whether text is expected, where a "#" in expected stands for the line
// number of a check that no fixed line is given for.
bool matches(const std::string& text, const std::string& expected)
{
    std::string pattern;
    for (char c : expected) {
        if (c == '#')
            pattern += "[0-9]+";
        else if (std::strchr("\\^$.|?*+()[]{}", c))
            pattern += std::string("\\") + c;
        else
            pattern += c;
    }
    return std::regex_match(text, std::regex(pattern));
}

// Content broken as a user could break it: each run ends with status 1 (or
// plays on where it can), the report as raised, and above it lines naming
// the file or the setting and what the system said.
TEST_F(GeneratedShow, BrokenContentEndsTheRunNamingTheFileOrSetting)
{
    namespace fs = std::filesystem;
    generate();
    auto replaceByFolder = [](const char* name) {
        return [name](const std::string& folder) {
            fs::remove(folder + "/" + name);
            fs::create_directory(folder + "/" + name);
        };
    };
    auto write = [](const char* name, const std::string& bytes) {
        return [name, bytes](const std::string& folder) { std::ofstream(folder + "/" + name) << bytes; };
    };
    // Opens as a regular file, and every read of it fails, even for root.
    auto unreadable = [](const char* name) {
        return [name](const std::string& folder) {
            fs::remove(folder + "/" + name);
            fs::create_symlink("/proc/self/mem", folder + "/" + name);
        };
    };
    const char* const music = "data/Music/vostrel.ogg";
    const char* const band = "data/Models/linkband.lwo";
    const char* const scene = "data/Models/mapeffect1.sce";
    const char* const font = "data/Fonts/Prototype.ttf";
    const struct Case {
        const char* what;
        std::string properties;
        std::function<void(const std::string&)> breakContent;
        std::string errors;
        int status = 1;
    } cases[] = {
        {"a folder for an object", "", replaceByFolder(band),
         "data/Models/linkband.lwo: Is a directory\nIn MeshCache::loadFile(data/Models/linkband.lwo)\n"
         "Libs\\Mesh\\IO\\IffReader(11): File not found: data/Models/linkband.lwo\n"},
        {"a FIFO for the music", "",
         [music](const std::string& folder) {
             fs::remove(folder + "/" + music);
             ASSERT_EQ(mkfifo((folder + "/" + music).c_str(), 0600), 0);
         },
         "data/Music/vostrel.ogg: Not a regular file\n"
         "Libs\\Time\\MusicSyncronizer(184): Cannot find data/Music/vostrel.ogg.\n"},
        {"a garbage object", "", write(band, "garbage"),
         "In LwoReader::read()\nIn MeshCache::loadFile(data/Models/linkband.lwo)\n"
         "Libs\\Mesh\\IO\\LwoReader(893): This is not IFF-file.\n"},
        {"an empty video", "", write("data/Videos/mov2005-6.mpg", ""),
         "In VideoTexture(data/Videos/mov2005-6.mpg)\n"
         "Libs\\Video\\VideoDecoder(52): Unable to recognize stream type\n"},
        {"a links file of one link", "", write("mapeffect1.links", "L 1 2\n"),
         "In LinkFile(mapeffect1.links)\nLibs\\Testing\\Utils(#): dirs.size() == size does not hold.\n"},
        {"no parameter object", "S MapEffect2.target1param \"Nothing\"\n", {},
         "In demo.props: MapEffect2.target1param \"Nothing\", MapEffect2.target1image \"data/Textures/target1.png\"\n"
         "Libs\\Testing\\Utils(109): m != 0 does not hold.\n"},
        {"an empty beat", "S MapEffect5.hdrBeatString \"\"\nR demo.startTime 149\nR demo.endTime 151\n", {},
         "In demo.props: MapEffect5.hdrBeatString \"\"\nLibs\\Math\\Envelope(225): keys.size() > 0 does not hold.\n"},
        {"a missing scene", "", [scene](const std::string& folder) { fs::remove(folder + "/" + scene); },
         "data/Models/mapeffect1.sce: No such file or directory\nIn Scene::load(data/Models/mapeffect1.sce)\n"
         "Libs\\Serializing\\Deserializer(55): The file data/Models/mapeffect1.sce is not in the VSE "
         "serialization format.\n"},
        {"a missing image", "", [](const std::string& folder) { fs::remove(folder + "/data/Textures/particles.png"); },
         "data/Textures/particles.png: No such file or directory\n"
         "Libs\\Image\\WinCodec(#): D3DXGetImageInfoFromFile failed: data/Textures/particles.png, "
         "errorcode = -2005529767\n"},
        // Reads that fail after the open say why as failed opens do.
        {"an unreadable font", "", unreadable(font),
         "data/Fonts/Prototype.ttf: Input/output error\n"
         "Libs\\Image\\FontRenderer(#): Loading font face from file data/Fonts/Prototype.ttf failed, errorcode: 1\n"},
        {"an unreadable scene", "", unreadable(scene),
         "data/Models/mapeffect1.sce: Input/output error\nIn Scene::load(data/Models/mapeffect1.sce)\n"
         "Libs\\Serializing\\Deserializer(55): The file data/Models/mapeffect1.sce is not in the VSE "
         "serialization format.\n"},
        {"an unreadable SVG", "", unreadable("data/Textures/adminFrame.svg"),
         "data/Textures/adminFrame.svg: Input/output error\n"
         "Libs\\Image\\RenderingBuffer(#): Error parsing SVG-file 'data/Textures/adminFrame.svg': Couldn't read file "
         "data/Textures/adminFrame.svg\n"},
        {"an unreadable links file", "", unreadable("mapeffect1.links"),
         "mapeffect1.links: Input/output error\nIn LinkFile(mapeffect1.links)\n"
         "Libs\\Testing\\Utils(#): Cannot load link file 'mapeffect1.links'\n"},
        {"an unreadable video", "", unreadable("data/Videos/mov2005-6.mpg"),
         "data/Videos/mov2005-6.mpg: Input/output error\nIn VideoTexture(data/Videos/mov2005-6.mpg)\n"
         "Libs\\Video\\VideoDecoder(52): Unable to recognize stream type\n"},
        {"an unreadable JPEG through the texture loader", "", unreadable("data/Textures/seed.jpg"),
         "data/Textures/seed.jpg: Input/output error\n"
         "Libs\\Core\\DirectX\\DXTexture(#): D3DXCreateTextureFromFileEx failed for file data/Textures/seed.jpg, "
         "invalid data.\n"},
        {"a folder for a JPEG through the texture loader", "", replaceByFolder("data/Textures/seed.jpg"),
         "data/Textures/seed.jpg: Is a directory\n"
         "Libs\\Core\\DirectX\\DXTexture(#): D3DXCreateTextureFromFileEx failed for file data/Textures/seed.jpg, "
         "invalid data.\n"},
        {"an unreadable text file", "", unreadable("admin.txt"),
         "admin.txt: Input/output error\nLibs\\Testing\\Utils(#): ReadLines: cannot read admin.txt\n"},
        {"unreadable pings", "R demo.endTime 1\n", unreadable("pings"),
         "pings: Input/output error\nWARNING: pings: no count of times at its start, the bar stays full\n", 0},
        // The file opened is the one a reason would be about, whatever its letter case.
        {"a font and a scene named in another letter case", "R demo.endTime 1\n",
         [font, scene](const std::string& folder) {
             fs::rename(folder + "/" + font, folder + "/data/Fonts/PROTOTYPE.TTF");
             fs::rename(folder + "/" + scene, folder + "/data/Models/MapEffect1.SCE");
         },
         "", 0},
        // No size overflows on its way to the window.
        {"a window too wide for an int's frame", "I demo.window.width 2147483647\n", {},
         "Libs\\Core\\RenderWindowWin32(#): RenderWindowWin32: failed to create window.\n"},
        {"pings cut short", "R demo.endTime 1\n", write("pings", "12 0 1 2"),
         "WARNING: pings: time 4 of 12 is missing or not a number, it and the rest count as 0\n", 0},
        // The show ends with its music, and says why the music ended early.
        {"music that turns to noise half-way", "R demo.startTime 120\n",
         [music](const std::string& folder) {
             std::fstream file(folder + "/" + music, std::ios::in | std::ios::out | std::ios::binary);
             file.seekg(0, std::ios::end);
             const std::streamoff size = file.tellg();
             file.seekp(size / 2);
             for (std::streamoff k = size / 2; k < size; ++k)
                 file.put(static_cast<char>((k * 2654435761u) >> 13));
         },
         "data/Music/vostrel.ogg: the music stops at #.# s: the Ogg data breaks off at byte # of #\n", 0},
    };
    for (const Case& c : cases) {
        const ProgramRun run = play(folder.path, c.properties, c.breakContent);
        EXPECT_EQ(run.status, c.status) << c.what;
        EXPECT_TRUE(matches(run.errors, c.errors)) << c.what << ":\n" << run.errors;
    }
    // Permission bits do not hold back the superuser.
    if (geteuid() != 0) {
        const ProgramRun run = play(folder.path, "", [scene](const std::string& folder) {
            fs::permissions(folder + "/" + scene, fs::perms::none);
        });
        EXPECT_EQ(run.errors.rfind("data/Models/mapeffect1.sce: Permission denied\n", 0), 0u) << run.errors;
    }
}

// Waits for the first event the watcher reports.
void awaitEvent(int watcher)
{
    alignas(inotify_event) char buffer[4096];
    ASSERT_GT(read(watcher, buffer, sizeof buffer), 0);
}

TEST_F(GeneratedShow, StopSignalsWhileLoadingEndTheRunAtOnceAndWell)
{
    generate();
    VostrelTest::TempDir copy;
    std::filesystem::copy(folder.path, copy.path, std::filesystem::copy_options::recursive);
    // The calibration is read just before the parts load; the last part's scene after all others.
    const int watcher = inotify_init1(IN_CLOEXEC);
    ASSERT_GE(watcher, 0);
    ASSERT_GE(inotify_add_watch(watcher, copy.file("pings").c_str(), IN_OPEN), 0);
    const int lastPart = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
    ASSERT_GE(inotify_add_watch(lastPart, copy.file("data/Models/hax1.sce").c_str(), IN_OPEN), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (chdir(copy.path.c_str()) == 0 && freopen("/dev/null", "w", stdout))
            execl(VOSTREL_PROGRAM, VOSTREL_PROGRAM, "-nosound", static_cast<char*>(nullptr));
        _exit(127);
    }
    awaitEvent(watcher);
    // The second request may come while the program shuts down.
    kill(child, SIGINT);
    kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0);
    alignas(inotify_event) char buffer[4096];
    EXPECT_LT(read(lastPart, buffer, sizeof buffer), 0) << "the loading went on to the last part";
    close(watcher);
    close(lastPart);
}

// A request that comes while "demo.props" is read, before the run has
// begun, ends the program as well as a later one.
TEST_F(GeneratedShow, StopSignalsWhileThePropertiesAreReadEndTheRunWell)
{
    generate({"demo.props"});
    // Comment lines keep the program reading for a good part of a second,
    // long after the open that sends the signal.
    std::string comments;
    for (int k = 0; k < 300000; ++k)
        comments += "# " + std::string(60, 'x') + "\n";
    std::ofstream(file("demo.props"), std::ios::app) << comments;
    for (int signal : {SIGINT, SIGTERM}) {
        const int watcher = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watcher, 0);
        ASSERT_GE(inotify_add_watch(watcher, file("demo.props").c_str(), IN_OPEN), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            if (chdir(folder.path.c_str()) == 0 && freopen("/dev/null", "w", stdout) &&
                freopen("errors.txt", "w", stderr))
                execl(VOSTREL_PROGRAM, VOSTREL_PROGRAM, "-nosound", static_cast<char*>(nullptr));
            _exit(127);
        }
        awaitEvent(watcher);
        kill(child, signal);
        int status = 0;
        ASSERT_EQ(waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, 0) << signal;
        EXPECT_EQ(VostrelTest::TempDir::read(file("errors.txt")), "") << signal;
        close(watcher);
    }
}

TEST_F(GeneratedShow, MissingFilesEndTheRunWithTheirReport)
{
    generate({"demo.props", "title"});
    const ProgramRun noMusic = play(folder.path, "S demo.music.file \"data/Music/none.ogg\"\n");
    EXPECT_EQ(noMusic.status, 1);
    EXPECT_EQ(noMusic.errors, "data/Music/none.ogg: No such file or directory\n"
                              "Libs\\Time\\MusicSyncronizer(184): Cannot find data/Music/none.ogg.\n");
    // Without music the system clock runs, and the loading screen needs its calibration.
    const ProgramRun noPings = play(folder.path, "S demo.music.file \"\"\n");
    EXPECT_EQ(noPings.status, 1);
    EXPECT_EQ(noPings.errors, "pings: No such file or directory\n"
                              "Libs\\Testing\\LoadingEffect(108): file not found: pings\n");
}

} // namespace
