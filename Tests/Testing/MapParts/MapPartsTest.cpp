// MapEffect1, MapEffect4 and MapEffect5 from generated content: frames
// through the show's timeline, the marked-terminal and camera tables, the
// pool, golden frames and the particle cloud.
#include "Tests/Testing/MapParts/MapShow.h"

#include "Libs/Mesh/MeshStream.h"
#include "Libs/Postprocessing/HDRLighting.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Testing/MapEffect1.h"
#include "Libs/Testing/MapEffect4.h"
#include "Libs/Testing/MapEffect5.h"
#include "Libs/Testing/Utils/LinkFile.h"

#include <algorithm>
#include <cstdio>
#include <fstream>

namespace Vostrel {
namespace MapTest {

Core::RenderWindow* MapShowTest::window = nullptr;
VostrelTest::TempDir* MapShowTest::content = nullptr;

namespace {

class MapParts : public MapShowTest {};

bool colourful(uint32_t p)
{
    const int r = Frame::red(p), g = Frame::green(p), b = Frame::blue(p);
    return std::max({r, g, b}) - std::min({r, g, b}) > 60;
}

bool white(uint32_t p)
{
    return std::min({Frame::red(p), Frame::green(p), Frame::blue(p)}) >= 250;
}

// Sampled past the shell's fade-ins (the fifth map's from its second beat),
// at the middle and around the events.
struct PartSamples {
    const char* name;
    std::vector<float> times;
};

const PartSamples samples[] = {{"MapEffect1", {11.6f, 19.57f, 19.7f, 19.83f, 22.6f, 33.5f}},
                               {"MapEffect4", {114.3f, 116.1f, 116.2f, 118.3f, 118.4f, 120.45f, 120.55f, 122.5f}},
                               {"MapEffect5", {150.0f, 153.2f, 156.5f, 185.0f, 192.5f, 198.3f, 198.45f, 198.6f}}};

TEST_F(MapParts, PlayTheirSegmentsLitMovingAndColourful)
{
    for (const PartSamples& part : samples) {
        SCOPED_TRACE(part.name);
        settings(part.name);
        OnePartShow show(part.name, window);
        std::vector<Frame> frames;
        for (float t : part.times) {
            SCOPED_TRACE(t);
            frames.push_back(show.at(t));
            const Frame& frame = frames.back();
            EXPECT_GT(frame.meanLuminance(), 6.0) << "black";
            EXPECT_LT(frame.share(white), 0.3) << "saturated";
            // Links, flows, particles and sprites in their colours.
            EXPECT_GT(frame.share(colourful), 0.0015);
            if (frames.size() > 1) {
                EXPECT_GT(frame.difference(frames[frames.size() - 2]), 0.5) << "a still picture";
            }
        }
    }
}

// Three frames a little apart: the step over the cut is far larger than
// the step before it.
TEST_F(MapParts, CutsChangeTheFrameAbruptly)
{
    const struct {
        const char* name;
        float before, last, after;
    } cuts[] = {{"MapEffect1", 19.6f, 19.73f, 19.8f}, {"MapEffect5", 198.49f, 198.505f, 198.53f}};
    for (const auto& cut : cuts) {
        SCOPED_TRACE(cut.name);
        settings(cut.name);
        OnePartShow show(cut.name, window);
        const Frame before = show.at(cut.before), last = show.at(cut.last), after = show.at(cut.after);
        EXPECT_GT(after.difference(last), 3.0 * last.difference(before));
    }
}

TEST_F(MapParts, CamerasAndMarkedTerminalsFollowTheSceneTime)
{
    settings("MapEffect4");
    OnePartShow map4("MapEffect4", window);
    auto& part4 = dynamic_cast<MapEffect4&>(map4.getPart());
    // Through the timeline, around the marks at scene times 2, 4 and 6.
    const struct {
        float showTime;
        const char* terminal;
    } marks[] = {{116.10f, "terminal2"}, {116.20f, "terminal3"}, {118.30f, "terminal3"},
                 {118.38f, "terminal4"}, {120.46f, "terminal4"}, {120.56f, "terminal1"}};
    for (const auto& mark : marks) {
        map4.at(mark.showTime);
        EXPECT_STREQ(part4.getScene()->getMarkedTerminal().c_str(), mark.terminal) << mark.showTime;
        EXPECT_EQ(part4.getScene()->getCameraName(), "Camera");
    }
    const struct {
        float time;
        const char* map4;
        const char* map5;
    } table[] = {{-0.1f, "terminal1", "terminal1"}, {0.0f, "terminal2", "terminal1"}, {2.0f, "terminal3", "terminal1"},
                 {4.0f, "terminal4", "terminal1"},  {5.9f, "terminal4", "terminal2"}, {6.0f, "terminal1", "terminal2"},
                 // 6.7f lies below the double 6.7, 8.7f below 8.7.
                 {6.7f, "terminal1", "terminal2"},  {6.71f, "terminal1", "terminal1"},
                 {8.7f, "terminal1", "terminal1"},  {9.0f, "terminal1", "terminal3"},
                 {9.6f, "terminal1", "terminal1"}};
    for (const auto& row : table) {
        EXPECT_STREQ(MapEffect4Scene::terminalAt(row.time), row.map4) << row.time;
        EXPECT_STREQ(MapEffect5Scene::terminalAt(row.time), row.map5) << row.time;
    }

    settings("MapEffect1");
    std::unique_ptr<DemoEffect> map1 = makePart("MapEffect1");
    map1->init();
    MapEffect1Scene& scene1 = *dynamic_cast<MapEffect1&>(*map1).getScene();
    for (const auto& row : {std::make_pair(0.0f, "Camera"), std::make_pair(3.0f, "Camera"),
                            std::make_pair(3.0001f, "Camera2"), std::make_pair(8.0f, "Camera2")}) {
        scene1.update(row.first);
        EXPECT_EQ(scene1.getCameraName(), row.second) << row.first;
    }

    settings("MapEffect5");
    std::unique_ptr<DemoEffect> made = makePart("MapEffect5");
    auto& map5 = dynamic_cast<MapEffect5&>(*made);
    map5.init();
    const struct {
        float seconds;
        int variant;
        const char* first;
        const char* second;
        const MapScene* shown;
    } steps[] = {{26.99f, 1, "", "Camera2", map5.getScene2()},
                 {27.0f, 1, "", "OverviewCamera", map5.getScene2()},
                 {5.0f, 0, "Camera", "OverviewCamera", map5.getScene()},
                 // Another variant moves no scene, and the second is drawn.
                 {3.0f, 2, "Camera", "OverviewCamera", map5.getScene2()}};
    for (const auto& step : steps) {
        map5.setTime(step.seconds, step.variant);
        EXPECT_EQ(map5.getSceneTime(), step.seconds);
        EXPECT_EQ(map5.getVariant(), step.variant);
        EXPECT_EQ(map5.getScene()->getCameraName(), step.first) << step.seconds;
        EXPECT_EQ(map5.getScene2()->getCameraName(), step.second) << step.seconds;
        EXPECT_EQ(&map5.getShownScene(), step.shown);
    }
}

// The frame of a part made and set by hand, drawn into a held target.
Frame renderPart(DemoEffect& part, float seconds, int variant, RenderTexture& target)
{
    part.setTime(seconds, variant);
    part.render(target);
    return readTarget(target);
}

// init has the pool make every target a frame holds at once, so that no
// frame makes one, the first included.
TEST_F(MapParts, InitMakesTheTargetsItsFramesBorrow)
{
    const struct {
        const char* name;
        int made;
        float seconds;
        int variant;
    } parts[] = {{"MapEffect1", 4, 10.0f, 0}, {"MapEffect4", 2, 3.0f, 0}, {"MapEffect5", 3, 4.0f, 0},
                 {"MapEffect5", 3, 20.0f, 1}};
    for (const auto& p : parts) {
        SCOPED_TRACE(p.name);
        settings(p.name);
        // Every free 512 x 512 entry taken (the last one taken was made),
        // so that the part's are the only ones free.
        std::vector<RenderTexture*> held;
        for (int free = -1; free != RenderTargetPool::getFreeCount();) {
            free = RenderTargetPool::getFreeCount();
            held.push_back(RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8));
        }
        const int others = RenderTargetPool::getFreeCount();
        std::unique_ptr<DemoEffect> part = makePart(p.name);
        part->init();
        EXPECT_EQ(RenderTargetPool::getFreeCount(), others + p.made);
        for (int frame = 0; frame < 3; ++frame) {
            renderPart(*part, p.seconds + frame * 0.05f, p.variant, *held.back());
            EXPECT_EQ(RenderTargetPool::getFreeCount(), others + p.made) << "after frame " << frame;
        }
        part.reset();
        for (RenderTexture* entry : held)
            RenderTargetPool::release(entry);
    }
}

// "useBloom" is read on a part's first frame and kept; a second part reads
// it anew.
TEST_F(MapParts, EachPartKeepsTheBloomSettingOfItsFirstFrame)
{
    settings("MapEffect4", "R MapEffect4.bloomBase 0.004\n");
    RenderTexture* target = RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8);
    std::unique_ptr<DemoEffect> first = makePart("MapEffect4");
    first->init();
    const Frame bloomed = renderPart(*first, 3.0f, 0, *target);
    Properties::load(content->write("nobloom.props", "I MapEffect4.useBloom 0\n"));
    const Frame again = renderPart(*first, 3.0f, 0, *target);
    std::unique_ptr<DemoEffect> second = makePart("MapEffect4");
    second->init();
    const Frame copied = renderPart(*second, 3.0f, 0, *target);
    RenderTargetPool::release(target);
    EXPECT_LT(again.difference(bloomed), 1.0);
    EXPECT_GT(bloomed.meanLuminance(), copied.meanLuminance() + 10.0);
}

// The particle clock is shared by every cloud: a part entered after another
// starts far behind the last update and must still wrap into its cube.
TEST_F(MapParts, APartEnteredAfterAnotherKeepsItsParticlesInTheirCube)
{
    settings("MapEffect1");
    std::unique_ptr<DemoEffect> map1 = makePart("MapEffect1");
    map1->init();
    map1->setTime(22.0f, 0);
    settings("MapEffect4");
    std::unique_ptr<DemoEffect> map4 = makePart("MapEffect4");
    map4->init();
    map1->setTime(22.5f, 0);
    map4->setTime(0.2f, 0);
    ParticleMesh& cloud = dynamic_cast<MapEffect4&>(*map4).getScene()->getParticles()->getParticles();
    const float half = cloud.getSize() * 0.5f;
    Mesh::StreamLock locations(*cloud.getMesh()->getStream("location"), Core::LOCK_READ_ONLY);
    float low = half, high = -half;
    for (int k = 0; k < cloud.getCount() * 4; ++k) {
        low = std::min(low, locations.get()[3 * k]);
        high = std::max(high, locations.get()[3 * k]);
    }
    EXPECT_GE(low, -half);
    EXPECT_LT(high, half);
    EXPECT_GT(high - low, half) << "the cloud keeps its spread";
}

// The links files name markers the scenes have, and are long enough for
// the scene time each part plays.
TEST_F(MapParts, LinksFilesCoverTheirScenesAndTimes)
{
    settings("MapEffect1");
    const struct {
        const char* file;
        const char* part;
        int steps;
    } files[] = {{"mapeffect1.links", "MapEffect1", 11},
                 {"mapeffect4.links", "MapEffect4", 11},
                 {"mapeffect5.links", "MapEffect5", 19},
                 {"mapeffect5-2.links", "MapEffect5", 35}};
    for (const auto& f : files) {
        LinkFile links(f.file);
        const int count = Properties::getInt(std::string(f.part) + ".linkCount", 0);
        ASSERT_FALSE(links.links.empty()) << f.file;
        for (const std::vector<int>& markers : links.links) {
            EXPECT_GE(static_cast<int>(markers.size()), f.steps) << f.file;
            for (int marker : markers) {
                EXPECT_GE(marker, 1) << f.file;
                EXPECT_LE(marker, count) << f.file;
            }
        }
    }
}

// Settings that name what the scene lacks fail in the loader that looks,
// naming it.
TEST_F(MapParts, SettingsBeyondTheSceneFailNamingWhatIsMissing)
{
    const struct {
        const char* part;
        const char* extra;
        const char* named;
    } cases[] = {{"MapEffect1", "I MapEffect1.terminalCount 7\n", "terminaali7"},
                 {"MapEffect4", "I MapEffect4.linkCount 5\n", "linkki (5)"},
                 {"MapEffect5", "S MapEffect5.textPanel1text \"missing.txt\"\n", "missing.txt"}};
    for (const auto& c : cases) {
        settings(c.part, c.extra);
        std::unique_ptr<DemoEffect> part = makePart(c.part);
        std::string message;
        try {
            part->init();
        } catch (const Exception& e) {
            message = e.report();
        }
        EXPECT_NE(message.find(c.named), std::string::npos) << c.part << ": " << message;
    }
}

// 80 x 60 averages of 8 x 8 pixels, red, green, blue.
std::vector<uint8_t> reduced(const Frame& frame)
{
    std::vector<uint8_t> out;
    for (int y = 0; y < frameHeight / 8; ++y)
        for (int x = 0; x < frameWidth / 8; ++x)
            for (int (*channel)(uint32_t) : {&Frame::red, &Frame::green, &Frame::blue}) {
                int sum = 0;
                for (int j = 0; j < 8; ++j)
                    for (int i = 0; i < 8; ++i)
                        sum += channel(frame.pixels[(y * 8 + j) * frameWidth + x * 8 + i]);
                out.push_back(static_cast<uint8_t>(sum / 64));
            }
    return out;
}

// The bloom's adapted luminance moves 2 % a frame towards its pinned
// measure from wherever earlier frames left it; enough frames bring it
// there from any start.
void settleHdrAdaptation()
{
    RenderTexture* source = RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8);
    RenderTexture* destination = RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8);
    clearTarget(source, Vec4(0, 0, 0, 0));
    for (int i = 0; i < 300; ++i)
        blitHdrLighting(destination, source, Vec4(1, 1, 1, 1), 0.001f);
    RenderTargetPool::release(destination);
    RenderTargetPool::release(source);
}

// Mid-segment frames against the stored ones, reduced so that rasteriser
// differences of a pixel or two do not count. VOSTREL_UPDATE_GOLDEN=1
// writes them anew.
TEST_F(MapParts, MidSegmentFramesMatchTheirGoldenFrames)
{
    settleHdrAdaptation();
    const struct {
        const char* part;
        float time;
        const char* file;
    } goldens[] = {{"MapEffect1", 22.6f, "mapeffect1.ppm"},
                   {"MapEffect4", 118.0f, "mapeffect4.ppm"},
                   {"MapEffect5", 153.2f, "mapeffect5.ppm"},
                   {"MapEffect5", 192.5f, "mapeffect5-2.ppm"}};
    const char* update = std::getenv("VOSTREL_UPDATE_GOLDEN");
    for (const auto& g : goldens) {
        SCOPED_TRACE(g.file);
        settings(g.part);
        OnePartShow show(g.part, window);
        const std::vector<uint8_t> now = reduced(show.at(g.time));
        const std::string path = std::string(MAP_GOLDEN_DIR) + "/" + g.file;
        const std::string header = "P6\n80 60\n255\n";
        if (update && *update == '1') {
            std::ofstream(path, std::ios::binary) << header << std::string(now.begin(), now.end());
            continue;
        }
        const std::string stored = VostrelTest::TempDir::read(path);
        ASSERT_EQ(stored.size(), header.size() + now.size()) << path;
        ASSERT_EQ(stored.compare(0, header.size(), header), 0);
        double sum = 0;
        size_t far = 0;
        for (size_t i = 0; i < now.size(); ++i) {
            const int d = std::abs(static_cast<int>(now[i]) - static_cast<uint8_t>(stored[header.size() + i]));
            sum += d;
            far += d > 48 ? 1 : 0;
        }
        EXPECT_LT(sum / now.size(), 4.0);
        EXPECT_LT(static_cast<double>(far) / now.size(), 0.02);
    }
}

} // namespace
} // namespace MapTest
} // namespace Vostrel
