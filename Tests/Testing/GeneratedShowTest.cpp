// The generator's shell files read through the show's own readers, and the
// program playing generated content headless.
#include "Libs/Image/FontRenderer.h"
#include "Libs/Image/Image.h"
#include "Libs/Math/Envelope.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Serializing/Serializer.h"
#include "Libs/Testing/Demo.h"
#include "Libs/Testing/LoadingEffect.h"
#include "Libs/Testing/Properties.h"
#include "Tests/Support/DamagedAudio.h"
#include "Tests/Support/HeadlessCore.h"
#include "Tests/Support/TempDir.h"
#include "Tools/Content/ContentWriter.h"

#include <gtest/gtest.h>

#include <png.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <memory>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

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

// Whether text is expected, where a "#" in expected may stand for a number,
// such as the line of a check that no fixed line is given for.
bool matches(const std::string& text, const std::string& expected)
{
    if (text == expected)
        return true;
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

// Runs job(0) to job(count - 1), four at a time; the results in that order.
template <typename Result> std::vector<Result> fourAtATime(size_t count, const std::function<Result(size_t)>& job)
{
    std::vector<Result> results(count);
    std::atomic<size_t> next{0};
    std::vector<std::thread> workers;
    for (int i = 0; i < 4; ++i)
        workers.emplace_back([&] {
            for (size_t at = next++; at < count; at = next++)
                results[at] = job(at);
        });
    for (std::thread& worker : workers)
        worker.join();
    return results;
}

// The bytes of a content file, changed in place.
void editFile(const std::string& path, const std::function<void(std::string&)>& edit)
{
    std::string bytes = VostrelTest::TempDir::read(path);
    edit(bytes);
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// The first polygon of a LightWave object names the given point first.
void pointFirstPolygonAt(std::string& lwo, uint16_t point)
{
    for (size_t at = 12; at + 8 <= lwo.size();) {
        const uint32_t size = (uint32_t(uint8_t(lwo[at + 4])) << 24) | (uint32_t(uint8_t(lwo[at + 5])) << 16) |
                              (uint32_t(uint8_t(lwo[at + 6])) << 8) | uint8_t(lwo[at + 7]);
        if (lwo.compare(at, 4, "POLS") == 0) {
            // Type, then the first polygon's corner count and its first point.
            lwo[at + 14] = static_cast<char>(point >> 8);
            lwo[at + 15] = static_cast<char>(point & 0xFF);
            return;
        }
        at += 8 + size + (size & 1);
    }
    FAIL() << "no polygons";
}

void replaceFirst(std::string& text, const std::string& what, const std::string& by)
{
    const size_t at = text.find(what);
    ASSERT_NE(at, std::string::npos) << what;
    text.replace(at, what.size(), by);
}

// A PNG file rewritten by libpng in another pixel layout (PNG_FORMAT_RGB...).
void convertPng(const std::string& path, png_uint_32 format)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << image.message;
    image.format = format;
    std::vector<png_byte> pixels(PNG_IMAGE_SIZE(image));
    ASSERT_TRUE(png_image_finish_read(&image, nullptr, pixels.data(), 0, nullptr)) << image.message;
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr)) << image.message;
}

// Content broken as a user could break it: each run ends with status 1 (or
// plays on where it can), the report as raised, and above it lines naming
// the file or the setting and what the system said.
TEST_F(GeneratedShow, BrokenContentEndsTheRunNamingTheFileOrSetting)
{
    namespace fs = std::filesystem;
    generate();
    // The file gone, and what make makes at its path.
    auto replaceBy = [](const char* name, std::function<void(const std::string& path)> make) {
        return [name, make](const std::string& folder) {
            fs::remove(folder + "/" + name);
            make(folder + "/" + name);
        };
    };
    auto replaceByFolder = [&](const char* name) {
        return replaceBy(name, [](const std::string& path) { fs::create_directory(path); });
    };
    auto unreadable = [&](const char* name) {
        return replaceBy(name,
                         [](const std::string& path) { ASSERT_TRUE(VostrelTest::TempDir::makeUnreadable(path)); });
    };
    auto write = [](const char* name, const std::string& bytes) {
        return [name, bytes](const std::string& folder) { std::ofstream(folder + "/" + name) << bytes; };
    };
    auto edit = [](const char* name, std::function<void(std::string&)> change) {
        return [name, change](const std::string& folder) { editFile(folder + "/" + name, change); };
    };
    auto png = [](const char* name, png_uint_32 format) {
        return [name, format](const std::string& folder) { convertPng(folder + "/" + name, format); };
    };
    const char* const music = "data/Music/vostrel.ogg";
    const char* const band = "data/Models/linkband.lwo";
    const char* const scene = "data/Models/mapeffect1.sce";
    // The settings the first map part has read when it builds its links, and
    // when it builds its particles.
    const std::string mapEffect1Links =
        "In MapEffect1.init() with demo.props: MapEffect1.useFog 1, MapEffect1.sisusName \"linkki\", "
        "MapEffect1.sisusMesh \"data/Models/linkband.lwo@1\", MapEffect1.kehysMesh \"data/Models/linkframe.lwo@1\", "
        "MapEffect1.sisusColor 0.3 0.6 1 1, MapEffect1.kehysColor 0.8 0.9 1 1, MapEffect1.flowSize 0.2, "
        "MapEffect1.linkCount 5";
    auto mapEffect1Particles = [&](const std::string& count, const std::string& more = "") {
        return mapEffect1Links + ", MapEffect1.particleCount " + count +
               ", MapEffect1.particleSystemSize 924, MapEffect1.particleSize 6.3, MapEffect1.particleSpeed 21, "
               "MapEffect1.particleRotationSpeed 8, MapEffect1.particleImage \"data/Textures/particles.png\", "
               "MapEffect1.particleTarget \"particles\"" +
               more + "\n";
    };
    // The first map part's settings when its text panel loads the font.
    const std::string mapEffect1Font =
        mapEffect1Particles("400", ", MapEffect1.terminalBaseName \"terminaali\", MapEffect1.terminalImage "
                                   "\"data/Textures/terminals.png\", MapEffect1.terminalCount 6");
    // The first map part's settings when the property file ends before its particle count.
    std::string mapEffect1CutShort = mapEffect1Particles("0 (not set)");
    replaceFirst(mapEffect1CutShort, "MapEffect1.useFog 1", "MapEffect1.useFog 0 (not set)");
    // The admin part's settings when it builds its text panel.
    const std::string adminPanel = "In AdminEffect.init() with demo.props: AdminEffect.textPanel1image "
                                   "\"data/Textures/adminFrame.svg\", AdminEffect.textPanel1text \"admin.txt\", "
                                   "AdminEffect.textPanel1param \"TextPanel1\"\n";
    // The first map part's settings with its particle image named "data/Textures/ESC[31mparticles.png".
    std::string escapedImageSettings = mapEffect1Particles("400");
    escapedImageSettings.insert(escapedImageSettings.find("particles.png"), "\\x1b[31m");
    const char* const font = "data/Fonts/Prototype.ttf";
    // The generated settings the music clock is made from, with its file.
    auto musicClock = [](const std::string& file) {
        return "In Demo::makeClock() with demo.props: demo.music.file \"" + file +
               "\", demo.music.bpm 60 (not set), demo.music.offset 0, demo.music.volume 0.8, demo.startTime 0, "
               "demo.endTime 219\n";
    };
    // The music clock's report when its file is not one it can open.
    const std::string musicNotFound =
        musicClock(music) + "Libs\\Time\\MusicSyncronizer(184): Cannot find data/Music/vostrel.ogg.\n";
    // The first map part's report when its scene reads as no scene.
    const std::string sceneNotVse =
        "In Scene::load(data/Models/mapeffect1.sce)\nIn MapEffect1.init()\n"
        "Libs\\Serializing\\Deserializer(55): The file data/Models/mapeffect1.sce is not in the VSE serialization "
        "format.\n";
    // The transition's report when the texture loader gets nothing from its JPEG.
    const std::string seedNotLoaded =
        "In TransitionEffect.init()\n"
        "Libs\\Core\\DirectX\\DXTexture(#): D3DXCreateTextureFromFileEx failed for file data/Textures/seed.jpg, "
        "invalid data.\n";
    // The window's settings with the width given, and the report from the line given.
    auto windowTooWide = [](const std::string& width, const std::string& line) {
        return "In Core::createCore() with demo.props: demo.multisample -1 (not set), demo.window.width " + width +
               ", demo.window.height 480, demo.window.fullscreen 0, demo.window.showCursor 1 (not set), "
               "demo.window.vSync 1, demo.window.title \"Vostrel\"\n"
               "Libs\\Core\\RenderWindowWin32(" +
               line + "): RenderWindowWin32: failed to create window.\n";
    };
    // Every key of every envelope of a scene set to one value.
    auto everyKey = [](const char* name, float value) {
        return [name, value](const std::string& folder) {
            const std::string path = folder + "/" + name;
            std::unique_ptr<Scene> scene = Scene::load(path);
            for (SceneObject* object : *scene)
                for (const auto& attribute : object->getAttributes())
                    if (auto* envelope = dynamic_cast<Envelope*>(attribute.second.get()))
                        for (EnvelopeKey key : std::vector<EnvelopeKey>(envelope->getKeys())) {
                            key.value = value;
                            envelope->setKey(key);
                        }
            Serializer out(path, false);
            scene->serialize(out);
            out.finish();
        };
    };
    const struct Case {
        const char* what;
        std::string properties;
        std::function<void(const std::string&)> breakContent;
        std::string errors;
        int status = 1;
    } cases[] = {
        {"a folder for an object", "", replaceByFolder(band),
         "data/Models/linkband.lwo: Is a directory\nIn MeshCache::loadFile(data/Models/linkband.lwo)\n" +
             mapEffect1Links + "\nLibs\\Mesh\\IO\\IffReader(11): File not found: data/Models/linkband.lwo\n"},
        {"a FIFO for the music", "",
         replaceBy(music, [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0600), 0); }),
         "data/Music/vostrel.ogg: Not a regular file\n" + musicNotFound},
        {"a garbage object", "", write(band, "garbage"),
         "In LwoReader::read()\nIn MeshCache::loadFile(data/Models/linkband.lwo)\n" + mapEffect1Links +
             "\nLibs\\Mesh\\IO\\LwoReader(893): This is not IFF-file.\n"},
        {"an empty video", "", write("data/Videos/mov2005-6.mpg", ""),
         "In VideoTexture(data/Videos/mov2005-6.mpg)\nIn AdminEffect.init()\n"
         "Libs\\Video\\VideoDecoder(52): Unable to recognize stream type\n"},
        {"a links file of one link", "", write("mapeffect1.links", "L 1 2\n"),
         "In LinkFile(mapeffect1.links)\nIn MapEffect1.init()\n"
         "Libs\\Testing\\Utils(#): dirs.size() == size does not hold.\n"},
        {"no parameter object", "S MapEffect2.target1param \"Nothing\"\n", {},
         "In MapEffect2.init() with demo.props: MapEffect2.useFog 1, MapEffect2.target1param \"Nothing\", "
         "MapEffect2.target1image \"data/Textures/target1.png\"\n"
         "Libs\\Testing\\Utils(109): m != 0 does not hold.\n"},
        {"an empty beat", "S MapEffect5.hdrBeatString \"\"\nR demo.startTime 149.5\nR demo.endTime 151\n", {},
         "In demo.props: MapEffect5.hdrBeatString \"\"\nIn MapEffect5 at show second #.#\n"
         "Libs\\Math\\Envelope(225): keys.size() > 0 does not hold.\n"},
        {"a missing scene", "", [scene](const std::string& folder) { fs::remove(folder + "/" + scene); },
         "data/Models/mapeffect1.sce: No such file or directory\n" + sceneNotVse},
        {"a missing image", "", [](const std::string& folder) { fs::remove(folder + "/data/Textures/particles.png"); },
         "data/Textures/particles.png: No such file or directory\n" + mapEffect1Particles("400") +
             "Libs\\Image\\WinCodec(#): D3DXGetImageInfoFromFile failed: data/Textures/particles.png, "
             "errorcode = -2005529767\n"},

        // Objects and scenes named on lines of their own, the report as raised.
        {"a polygon of the attack's structure naming a point it lacks", "",
         edit("data/Models/con3.lwo", [](std::string& lwo) { pointFirstPolygonAt(lwo, 32511); }),
         "In ConvertLayerToMesh(layerid=1)\nIn MeshCache::loadLayer(data/Models/con3.lwo, layer 1)\n"
         "In LwScene(data/Models/con2.sce)\nIn AttackScene(data/Models/con2.sce)\nIn AttackEffect.init()\n"
         "Libs\\Mesh\\IO\\Lwo2Mesh(80): Polygon 0 of the triangles names point 32511 of #.\n"},
        {"a square for the hacker's tree", "",
         [](const std::string& folder) {
             fs::copy_file(folder + "/data/Models/quad.lwo", folder + "/data/Models/itree.lwo",
                           fs::copy_options::overwrite_existing);
         },
         "In MeshCache::loadLayer(data/Models/itree.lwo, layer 1)\nIn LwScene(data/Models/hax1.sce)\n"
         "In Haxor1Scene(data/Models/hax1.sce)\n"
         "In HaxorEffect1.init()\nLibs\\Mesh\\ModifiableMesh(393): Mesh does not contain a topology named patches.\n"},
        {"a portal without its closed shape", "",
         edit("data/Models/Portal.lwo", [](std::string& lwo) { replaceFirst(lwo, "Closed", "Clozed"); }),
         "In MeshCache::loadLayer(data/Models/Portal.lwo, layer 1)\nIn LwScene(data/Models/AgentFollow.sce)\n"
         "In AgentFollowEffect.init()\n"
         "Libs\\Mesh\\ModifiableMeshImpl(88): Mesh does not contain a stream named Closed.\n"},
        {"a map scene without its flow", "",
         edit(scene, [](std::string& text) { replaceFirst(text, "objectName Flow ", "objectName Flux "); }),
         "In Scene::getEnvelopeVec3(Flow, x, y, z) of data/Models/mapeffect1.sce\n" + mapEffect1Links +
             "\nLibs\\Scene\\Scene(520): obj != 0 does not hold.\n"},
        // A part or the window that fails while it is built names the settings it read.
        {"a negative particle count", "I MapEffect1.particleCount -1\n", {},
         mapEffect1Particles("-1") + "Libs\\Testing\\Utils(59): count > 0 && count <= (1 << 22) does not hold.\n"},
        {"a property file cut short", "",
         edit("demo.props", [](std::string& text) { text.erase(text.find("I MapEffect1.particleCount")); }),
         mapEffect1CutShort + "Libs\\Testing\\Utils(59): count > 0 && count <= (1 << 22) does not hold.\n"},
        {"a colour that is no colour", "S ElevatorEffect.color.inner \"#XYZ\"\n", {},
         "In ElevatorEffect.init() with demo.props: ElevatorEffect.color.outer \"#8DA8BA\", "
         "ElevatorEffect.color.inner \"#XYZ\"\n"
         "Libs\\Testing\\Utils(31): htmlColorCode.size() == 7 && htmlColorCode[0] == '#' does not hold.\n"},
        {"more walls than the scene holds", "I MapEffect3.muuriCount 100000\n", {},
         "In MapEffect3.init() with demo.props: MapEffect3.blockColor 0.2 0.5 1 0, MapEffect3.muuriCount 100000\n"
         "Libs\\Scene\\LwScene(#): LwScene::setMaterial: object muuri:Layer1 (13) not found\n"},
        {"no text for the admin panel", "S AdminEffect.textPanel1text \"\"\n", {},
         ": No such file or directory\n"
         "In AdminEffect.init() with demo.props: AdminEffect.textPanel1image \"data/Textures/adminFrame.svg\", "
         "AdminEffect.textPanel1text \"\", AdminEffect.textPanel1param \"TextPanel1\"\n"
         "Libs\\Testing\\Utils(66): ReadLines:  not found\n"},
        {"a window too wide", "I demo.window.width 100000\n", {}, windowTooWide("100000", "161")},
        // Reads that fail after the open say why as failed opens do.
        {"an unreadable font", "", unreadable(font),
         "data/Fonts/Prototype.ttf: Input/output error\n" + mapEffect1Font +
             "Libs\\Image\\FontRenderer(#): Loading font face from file data/Fonts/Prototype.ttf failed, errorcode: 1\n"},
        {"an unreadable scene", "", unreadable(scene),
         "data/Models/mapeffect1.sce: Input/output error\n" + sceneNotVse},
        {"an unreadable SVG", "", unreadable("data/Textures/adminFrame.svg"),
         "data/Textures/adminFrame.svg: Input/output error\n" + adminPanel +
             "Libs\\Image\\RenderingBuffer(#): Error parsing SVG-file 'data/Textures/adminFrame.svg': Couldn't read file "
         "data/Textures/adminFrame.svg\n"},
        {"an unreadable links file", "", unreadable("mapeffect1.links"),
         "mapeffect1.links: Input/output error\nIn LinkFile(mapeffect1.links)\nIn MapEffect1.init()\n"
         "Libs\\Testing\\Utils(#): Cannot load link file 'mapeffect1.links'\n"},
        {"an unreadable video", "", unreadable("data/Videos/mov2005-6.mpg"),
         "data/Videos/mov2005-6.mpg: Input/output error\nIn VideoTexture(data/Videos/mov2005-6.mpg)\n"
         "In AdminEffect.init()\nLibs\\Video\\VideoDecoder(52): Unable to recognize stream type\n"},
        {"an unreadable JPEG through the texture loader", "", unreadable("data/Textures/seed.jpg"),
         "data/Textures/seed.jpg: Input/output error\n" + seedNotLoaded},
        {"a folder for a JPEG through the texture loader", "", replaceByFolder("data/Textures/seed.jpg"),
         "data/Textures/seed.jpg: Is a directory\n" + seedNotLoaded},
        {"an unreadable text file", "", unreadable("admin.txt"),
         "admin.txt: Input/output error\n" + adminPanel + "Libs\\Testing\\Utils(#): ReadLines: cannot read admin.txt\n"},
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
         windowTooWide("2147483647", "#")},
        {"pings cut short", "R demo.endTime 1\n", write("pings", "12 0 1 2"),
         "WARNING: pings: time 4 of 12 is missing or not a number, it and the rest count as 0\n", 0},
        // The show ends with its music, and says why the music ended early.
        {"music that turns to noise half-way", "R demo.startTime 120\n",
         edit(music, [](std::string& bytes) { VostrelTest::turnToNoise(bytes, bytes.size() / 2); }),
         "data/Music/vostrel.ogg: the music stops at #.# s: the Ogg data breaks off at byte # of #\n", 0},
        // Images, objects read outside the mesh cache and scenes name their file.
        {"an RGB title", "", png("data/Textures/title.png", PNG_FORMAT_RGB),
         "In loadTexture(data/Textures/title.png)\n"
         "Libs\\Core\\DirectX\\DXTexture(#): DXCore internal error, invalid texture format (24 bit)!\n"},
        {"RGB particles", "", png("data/Textures/particles.png", PNG_FORMAT_RGB),
         "In loadTexture(data/Textures/particles.png)\n" + mapEffect1Particles("400") +
             "Libs\\Core\\DirectX\\DXTexture(#): DXCore internal error, invalid texture format (24 bit)!\n"},
        {"grey and alpha particles", "", png("data/Textures/particles.png", PNG_FORMAT_GA),
         "data/Textures/particles.png: pixel format A8L8 (grey with alpha) is not one images are read in (L8, "
         "R8G8B8, A8R8G8B8, X8R8G8B8)\n" +
             mapEffect1Particles("400") +
             "Libs\\Image\\WinCodec(#): D3DXLoadSurfaceFromFile failed: data/Textures/particles.png\n"},
        {"points of 7 bytes in the transition's object", "",
         edit("data/Models/spikey.lwo",
              [](std::string& lwo) { lwo.replace(lwo.find("PNTS") + 4, 4, std::string("\0\0\0\7", 4)); }),
         "In ModifiableMesh::create(data/Models/spikey.lwo@1)\nIn TransitionEffect.init()\n"
         "Libs\\Mesh\\ModifiableMesh(393): Mesh does not contain a topology named triangles.\n"},
        {"a map object without its layer", "",
         edit("data/Models/mapground.lwo", [](std::string& lwo) { replaceFirst(lwo, "LAYR", "LAYX"); }),
         "In LwoReader::readObject()\nIn LwoReader::read()\nIn MeshCache::loadFile(data/Models/mapground.lwo)\n"
         "In LwScene(data/Models/mapeffect1.sce)\nIn MapEffect1.init()\n"
         "Libs\\Mesh\\IO\\LwoReader(808): PNTS before LAYR?\n"},
        {"an elevator object without its layer: another part names its own scene", "",
         edit("data/Models/Cubevator.lwo", [](std::string& lwo) { replaceFirst(lwo, "LAYR", "LAYX"); }),
         "In LwoReader::readObject()\nIn LwoReader::read()\nIn MeshCache::loadFile(data/Models/Cubevator.lwo)\n"
         "In LwScene(data/Models/Cubevator.sce)\nIn ElevatorEffect.init()\n"
         "Libs\\Mesh\\IO\\LwoReader(808): PNTS before LAYR?\n"},
        // Failures while the show plays name the part, the show second and the object and scene file.
        {"a scene whose every key is out of range", "R demo.startTime 97.5\nR demo.endTime 98\n",
         everyKey("data/Models/AgentFollow.sce", 3e38f),
         "In SceneObject 'Camera' of data/Models/AgentFollow.sce at time #.#\nIn AgentFollowEffect at show second #.#\n"
         "Libs\\Scene\\SceneRenderer(#): SceneRenderer: camera 'Camera' has a transform without inverse at time #.#\n"},
        {"a camera whose target is no object", "R demo.startTime 158.5\nR demo.endTime 159\n",
         edit("data/Models/con2.sce",
              [](std::string& text) { replaceFirst(text, "objectType 3 targetId 2", "objectType 3 targetId 99"); }),
         "In SceneObject 'Camera' of data/Models/con2.sce at time #.#\nIn AttackEffect at show second #.#\n"
         "Libs\\Scene\\Scene(181): SceneObject::getAttribute: attribute 'heading' not found, cannot evaluate\n"},
        {"a folder for the music", "", replaceByFolder(music),
         "data/Music/vostrel.ogg: Is a directory\n" + musicNotFound},
        {"an image for the music", "S demo.music.file \"data/Textures/title.png\"\n", {},
         "In MusicSyncronizer::MusicSyncronizer(data/Textures/title.png)\n" + musicClock("data/Textures/title.png") +
             "Libs\\Time\\MusicSyncronizer(202): Unknown file format\n"},
        // Damaged music plays on in time, silent where pages are lost, and says why it ends short.
        {"music with 500 bits flipped, its last pages among them", "R demo.startTime 214\nR demo.endTime 300\n",
         edit(music, [](std::string& bytes) { VostrelTest::flipBits(bytes, 8192, bytes.size(), 500, 3); }),
         "data/Music/vostrel.ogg: the music stops at 219.# s: the Ogg data breaks off at byte # of #\n", 0},
        // A calibration's count that no int holds is refused as written.
        {"pings counting past an int", "", write("pings", "2147483648 0 1 2"),
         "Libs\\Testing\\LoadingEffect(#): pings: 2147483648 times is out of range (0 to 4096)\n"},
        // A scene of bytes a terminal acts on: the header it echoes comes out escaped.
        {"a scene of control bytes", "", write(scene, "\x1b[2J\x1b]0;owned\a\xff\xfe\n\x9b" "31m"),
         sceneNotVse},
        // A file name in the property file is a file's bytes too: every line naming it escapes them.
        {"an image named with control bytes", "S MapEffect1.particleImage \"data/Textures/\x1b[31mparticles.png\"\n", {},
         "data/Textures/\\x1b[31mparticles.png: No such file or directory\n" +
             escapedImageSettings +
             "Libs\\Image\\WinCodec(#): D3DXGetImageInfoFromFile failed: data/Textures/\\x1b[31mparticles.png, "
             "errorcode = -2005529767\n"},
    };
    const std::vector<ProgramRun> runs = fourAtATime<ProgramRun>(std::size(cases), [&](size_t at) {
        return play(folder.path, cases[at].properties, cases[at].breakContent);
    });
    for (size_t at = 0; at < runs.size(); ++at) {
        EXPECT_EQ(runs[at].status, cases[at].status) << cases[at].what;
        EXPECT_TRUE(matches(runs[at].errors, cases[at].errors)) << cases[at].what << ":\n" << runs[at].errors;
        // No byte of a broken file reaches the terminal as it stands.
        for (const std::string* stream : {&runs[at].output, &runs[at].errors})
            EXPECT_TRUE(std::all_of(stream->begin(), stream->end(),
                                    [](char c) { return c == '\n' || (c >= 0x20 && c < 0x7f); }))
                << cases[at].what << ":\n" << *stream;
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

// The program started without sound in a folder, its output thrown away and
// its errors written to the file named there, if one is; -1 if no child.
pid_t startProgram(const std::string& folder, const char* errors = nullptr)
{
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(folder.c_str()) == 0 && freopen("/dev/null", "w", stdout) &&
            (!errors || freopen(errors, "w", stderr)))
            execl(VOSTREL_PROGRAM, VOSTREL_PROGRAM, "-nosound", static_cast<char*>(nullptr));
        _exit(127);
    }
    return child;
}

// Waits for the program to end: its exit status, -1 when a signal ended it.
int exitStatus(pid_t child)
{
    int status = 0;
    EXPECT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status)) << "ended by signal " << (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
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
    const pid_t child = startProgram(copy.path);
    ASSERT_GE(child, 0);
    awaitEvent(watcher);
    // The second request may come while the program shuts down.
    kill(child, SIGINT);
    kill(child, SIGTERM);
    EXPECT_EQ(exitStatus(child), 0);
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
    // long after the open that sends the signal: the test relies on this
    // padded file being slow to read, so that the signal comes before the run.
    std::string comments;
    for (int k = 0; k < 300000; ++k)
        comments += "# " + std::string(60, 'x') + "\n";
    std::ofstream(file("demo.props"), std::ios::app) << comments;
    for (int signal : {SIGINT, SIGTERM}) {
        const int watcher = inotify_init1(IN_CLOEXEC);
        ASSERT_GE(watcher, 0);
        ASSERT_GE(inotify_add_watch(watcher, file("demo.props").c_str(), IN_OPEN), 0);
        const pid_t child = startProgram(folder.path, "errors.txt");
        ASSERT_GE(child, 0);
        awaitEvent(watcher);
        kill(child, signal);
        EXPECT_EQ(exitStatus(child), 0) << signal;
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
                              "In Demo::makeClock() with demo.props: demo.music.file \"data/Music/none.ogg\", "
                              "demo.music.bpm 60 (not set), demo.music.offset 0, demo.music.volume 0.8, "
                              "demo.startTime 0, demo.endTime 219\n"
                              "Libs\\Time\\MusicSyncronizer(184): Cannot find data/Music/none.ogg.\n");
    // Without music the system clock runs, and the loading screen needs its calibration.
    const ProgramRun noPings = play(folder.path, "S demo.music.file \"\"\n");
    EXPECT_EQ(noPings.status, 1);
    EXPECT_EQ(noPings.errors, "pings: No such file or directory\n"
                              "Libs\\Testing\\LoadingEffect(108): file not found: pings\n");
}

} // namespace
