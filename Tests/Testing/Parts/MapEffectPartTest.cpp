// The map parts made by hand on one headless core from generated content:
// their camera and marked-terminal tables, the pool, the bloom setting,
// the particle cloud, the links files and what missing objects report.
#include "Libs/Math/Random.h"
#include "Libs/Mesh/MeshStream.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Testing/DemoParts.h"
#include "Libs/Testing/MapEffect1.h"
#include "Libs/Testing/MapEffect4.h"
#include "Libs/Testing/MapEffect5.h"
#include "Libs/Testing/Utils/LinkFile.h"
#include "Libs/Testing/Utils/Particles.h"
#include "Tests/Testing/Parts/PartShow.h"

namespace Vostrel {
namespace PartTests {
namespace {

class MapParts : public ::testing::Test {
public:
    static void SetUpTestSuite()
    {
        content = &sharedPartContent({"demo.props", "font", "toolkit", "models/quad", "maps"});
    }

protected:
    // The generated settings and the extra lines; the random source seeded
    // (the process's first draw seeds from the clock: have it done).
    void settings(const std::string& extra = "")
    {
        Properties::clear();
        Properties::load("demo.props");
        Properties::load(content->write("test.props", extra + "\n"));
        seedParts();
    }

    static std::unique_ptr<DemoEffect> makePart(const std::string& name)
    {
        return registeredDemoEffects().at(name)();
    }

    // The frame of a part set by hand, drawn into a held target.
    static Frame render(DemoEffect& part, float seconds, int variant, RenderTexture& target)
    {
        part.setTime(seconds, variant);
        part.render(target);
        Frame frame;
        frame.width = target.width;
        frame.height = target.height;
        frame.pixels = TestSupport::readTargetTexture(*target.texture);
        return frame;
    }

    static VostrelTest::TempDir* content;
};

VostrelTest::TempDir* MapParts::content = nullptr;

TEST_F(MapParts, CamerasAndMarkedTerminalsFollowTheSceneTime)
{
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

    settings();
    std::unique_ptr<DemoEffect> map1 = makePart("MapEffect1");
    map1->init();
    MapEffect1Scene& scene1 = *dynamic_cast<MapEffect1&>(*map1).getScene();
    for (const auto& row : {std::make_pair(0.0f, "Camera"), std::make_pair(3.0f, "Camera"),
                            std::make_pair(3.0001f, "Camera2"), std::make_pair(8.0f, "Camera2")}) {
        scene1.update(row.first);
        EXPECT_EQ(scene1.getCameraName(), row.second) << row.first;
    }

    std::unique_ptr<DemoEffect> map4 = makePart("MapEffect4");
    map4->init();
    MapEffect4& part4 = dynamic_cast<MapEffect4&>(*map4);
    // Scene time is half the seconds.
    part4.setTime(4.1f, 0);
    EXPECT_EQ(part4.getScene()->getMarkedTerminal(), "terminal3");
    EXPECT_EQ(part4.getScene()->getCameraName(), "Camera");

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
        settings();
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
            render(*part, p.seconds + frame * 0.05f, p.variant, *held.back());
            EXPECT_EQ(RenderTargetPool::getFreeCount(), others + p.made) << "after frame " << frame;
        }
        part.reset();
        for (RenderTexture* entry : held)
            RenderTargetPool::release(entry);
    }
}

// The image panel turns its picture, leaving the target's corners: they
// must not show what the pool's target held before.
TEST_F(MapParts, FramesLeaveNoEarlierPixelsInPooledTargets)
{
    const struct {
        const char* name;
        int variant;
    } parts[] = {{"MapEffect1", 0}, {"MapEffect4", 0}, {"MapEffect5", 0}, {"MapEffect5", 1}};
    for (const auto& p : parts) {
        settings();
        std::unique_ptr<DemoEffect> part = makePart(p.name);
        part->init();
        expectNoStalePooledPixels([&](RenderTexture& target) { render(*part, 1.45f, p.variant, target); },
                                  std::string(p.name) + " variant " + std::to_string(p.variant));
    }
}

// "useBloom" is read on a part's first frame and kept; a second part reads
// it anew.
TEST_F(MapParts, EachPartKeepsTheBloomSettingOfItsFirstFrame)
{
    settings("R MapEffect4.bloomBase 0.004");
    RenderTexture* target = RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8);
    std::unique_ptr<DemoEffect> first = makePart("MapEffect4");
    first->init();
    const Frame bloomed = render(*first, 3.0f, 0, *target);
    Properties::load(content->write("nobloom.props", "I MapEffect4.useBloom 0\n"));
    const Frame again = render(*first, 3.0f, 0, *target);
    std::unique_ptr<DemoEffect> second = makePart("MapEffect4");
    second->init();
    const Frame copied = render(*second, 3.0f, 0, *target);
    RenderTargetPool::release(target);
    EXPECT_LT(again.meanDifference(bloomed), 1.0);
    EXPECT_GT(bloomed.meanLevel(), copied.meanLevel() + 10.0);
}

// The particle clock is shared by every cloud: a part entered after another
// starts far behind the last update and must still wrap into its cube.
TEST_F(MapParts, APartEnteredAfterAnotherKeepsItsParticlesInTheirCube)
{
    settings();
    std::unique_ptr<DemoEffect> map1 = makePart("MapEffect1");
    map1->init();
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
    settings();
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
    } cases[] = {{"MapEffect1", "I MapEffect1.terminalCount 7", "terminaali7"},
                 {"MapEffect4", "I MapEffect4.linkCount 5", "linkki (5)"},
                 {"MapEffect5", "S MapEffect5.textPanel1text \"missing.txt\"", "missing.txt"}};
    for (const auto& c : cases) {
        settings(c.extra);
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

} // namespace
} // namespace PartTests
} // namespace Vostrel
