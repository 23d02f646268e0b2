// MapEffect2 and MapEffect3 made by hand on one headless core from generated
// content: the copies' fade and grid, the morph callback, the walls' wave
// uniforms, the brain volume's checks and what a missing object reports.
#include "Libs/Core/Texture.h"
#include "Libs/Math/Random.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Testing/MapEffect2.h"
#include "Libs/Testing/MapEffect3.h"
#include "Libs/Testing/Utils/Particles.h"
#include "Tests/Testing/Parts/PartShow.h"

#include <sstream>

namespace Vostrel {
namespace PartTests {
namespace {

class Map23Parts : public ::testing::Test {
public:
    static void SetUpTestSuite()
    {
        content = &sharedPartContent({"demo.props", "font", "toolkit", "models/quad", "maps23"});
    }

protected:
    // The generated settings; the random source seeded (the process's
    // first draw seeds from the clock: have it done).
    void SetUp() override
    {
        Properties::clear();
        Properties::load("demo.props");
        seedParts();
    }

    static VostrelTest::TempDir* content;
};

VostrelTest::TempDir* Map23Parts::content = nullptr;

// Each copy fades over 4/3 s from its own time 8.1; the copies stand on a
// 10 x 10 grid 3.2 apart from -13.4.
TEST_F(Map23Parts, CopiesFadeFromTheirOwnTimeOnTheirGrid)
{
    MapEffect2 part;
    part.init();
    MapEffect2Scene& scene = *part.getScene();
    LwScene& lw = scene.getScene();
    float lowest = 0.0f, highest = -2.0f;
    for (int i = 0; i < MapEffect2Scene::copyCount; ++i) {
        lowest = std::min(lowest, scene.getTimeOffset(i));
        highest = std::max(highest, scene.getTimeOffset(i));
    }
    EXPECT_GT(lowest, -2.0f);
    EXPECT_LE(highest, 0.0f);
    EXPECT_GT(highest - lowest, 1.0f);

    const struct {
        float copyTime;
        float alpha;
    } fades[] = {{5.0f, 1.0f}, {8.1f, 1.0f}, {8.7667f, 0.5f}, {9.4333f, 0.0f}, {12.0f, 0.0f}};
    for (int i : {0, 37, 99})
        for (const auto& fade : fades) {
            scene.update(fade.copyTime - scene.getTimeOffset(i));
            const Vec4* blend = lw.findMesh(MapEffect2Scene::copyName(i))->object->getUniform("blend");
            ASSERT_NE(blend, nullptr);
            EXPECT_NEAR((*blend)[3], fade.alpha, 1e-4) << "copy " << i << " at its time " << fade.copyTime;
            EXPECT_EQ((*blend)[0], 0.0f);
        }

    for (int i : {0, 9, 10, 55, 99}) {
        const Vec4 at = lw.getPosition(MapEffect2Scene::copyName(i), 3.0f);
        EXPECT_NEAR(at[0], -13.4 + 3.2 * (i % 10), 1e-4) << i;
        EXPECT_NEAR(at[1], -13.4 + 3.2 * (i / 10), 1e-4) << i;
        EXPECT_NEAR(at[2], 0.0, 1e-4) << i;
    }
}

// As for the other map parts: the turned image panel's corners and every
// other pooled target the frame draws into show nothing of earlier frames.
TEST_F(Map23Parts, FramesLeaveNoEarlierPixelsInPooledTargets)
{
    MapEffect2 morphing;
    MapEffect3 walls;
    for (DemoEffect* part : std::initializer_list<DemoEffect*>{&morphing, &walls}) {
        part->init();
        expectNoStalePooledPixels(
            [&](RenderTexture& target) {
                part->setTime(1.45f, 0);
                part->render(target);
            },
            part == &morphing ? "MapEffect2" : "MapEffect3");
    }
}

TEST_F(Map23Parts, EndomorphCallbackTakesOnlyTheSphereCube)
{
    const struct {
        const char* file;
        int layer;
    } others[] = {{"data/Models/pallokuutio2.lwo", 2}, {"data/Models/quad.lwo", 1}, {"pallokuutio2.lwo", 1}};
    MapEffect2EndomorphCallback callback;
    for (const auto& other : others) {
        std::unique_ptr<Mesh::ModifiableMesh> mesh = Mesh::ModifiableMesh::createEmpty();
        EXPECT_EQ(callback.onMeshLoaded(other.file, other.layer, mesh), nullptr) << other.file << "@" << other.layer;
        EXPECT_NE(mesh, nullptr);
    }
}

TEST_F(Map23Parts, MissingMorphSourceIsNamed)
{
    const std::string file = "data/Models/mapeffect2-2.sce";
    std::stringstream original;
    original << std::ifstream(file, std::ios::binary).rdbuf();
    std::string renamed = original.str();
    for (size_t at = renamed.find("pallokuutio2:Layer1"); at != std::string::npos;
         at = renamed.find("pallokuutio2:Layer1", at))
        renamed.replace(at, 12, "pallokuutio3");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << renamed;
    try {
        MapEffect2Scene scene;
        ADD_FAILURE() << "the scene was built without its morph source";
    } catch (const Exception& e) {
        EXPECT_NE(e.getMessage().find("pallokuutio2:Layer1"), std::string::npos) << e.getMessage();
    }
    std::ofstream(file, std::ios::binary | std::ios::trunc) << original.str();
}

// At 0 the first wave has not started and the second is at fmod(85, 28);
// at 2, fmod(30, 25) and fmod(119, 28). Both waves start at the portal,
// which the generated scene stands at (0, 1, 2).
TEST_F(Map23Parts, WallUniformsFollowThePortal)
{
    MapEffect3 part;
    part.init();
    MapEffect3Scene& scene = *part.getScene();
    ASSERT_EQ(scene.getWallCount(), 12);
    const struct {
        float time;
        float first, second;
    } rows[] = {{0.0f, 0.0f, 1.0f}, {2.0f, 5.0f, 7.0f}};
    for (const auto& row : rows) {
        part.setTime(static_cast<float>(row.time / MapEffect3::timeFactor), 0);
        for (int k = 1; k <= scene.getWallCount(); ++k) {
            SceneObject& wall = *scene.getScene().findMesh(MapEffect3Scene::wallName(k))->object;
            ASSERT_TRUE(wall.getUniform("explosionRange1") && wall.getUniform("explosionRange2"));
            EXPECT_NEAR((*wall.getUniform("explosionRange1"))[0], row.first, 1e-4);
            EXPECT_NEAR((*wall.getUniform("explosionRange2"))[3], row.second, 1e-4);
            for (const char* origin : {"origin1", "origin2"}) {
                const Vec4* at = wall.getUniform(origin);
                ASSERT_NE(at, nullptr) << origin;
                EXPECT_NEAR((*at)[0], 0.0f, 1e-5);
                EXPECT_NEAR((*at)[1], 1.0f, 1e-5);
                EXPECT_NEAR((*at)[2], 2.0f, 1e-5);
            }
        }
    }
}

TEST_F(Map23Parts, VolumeImageMustStackWholeSlices)
{
    const struct {
        int width, height;
        int depth; // 0: refused
    } images[] = {{16, 80, 5}, {8, 8, 1}, {64, 4000, 0}, {32, 16, 0}};
    for (const auto& image : images) {
        const std::string name = content->file("volume" + std::to_string(image.width) + "x" +
                                               std::to_string(image.height) + ".png");
        Content::writePngRgba(name, image.width, image.height,
                              std::vector<uint8_t>(static_cast<size_t>(image.width) * image.height * 4, 128));
        if (image.depth) {
            std::unique_ptr<Core::Texture> volume = loadStackedVolume(name);
            EXPECT_EQ(volume->getParameters().depth, image.depth);
            EXPECT_EQ(volume->getParameters().width, image.width);
        } else {
            try {
                loadStackedVolume(name);
                ADD_FAILURE() << name << " was taken";
            } catch (const Exception& e) {
                EXPECT_NE(e.getMessage().find(name), std::string::npos) << e.getMessage();
            }
        }
    }
}

} // namespace
} // namespace PartTests
} // namespace Vostrel
