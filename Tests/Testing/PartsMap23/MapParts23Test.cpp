#include "Tests/Testing/PartsMap23/Map23Show.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/Texture.h"
#include "Libs/Image/Image.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Testing/MapEffect2.h"
#include "Libs/Testing/MapEffect3.h"

#include <cmath>
#include <fstream>
#include <sstream>

namespace Vostrel {
namespace Map23Test {

Core::RenderWindow* Map23ShowTest::window = nullptr;
VostrelTest::TempDir* Map23ShowTest::content = nullptr;

namespace {

class MapParts23 : public Map23ShowTest {};

bool bluish(uint32_t p)
{
    return Frame::luminance(p) > 50 && Frame::blue(p) >= Frame::red(p);
}

bool pink(uint32_t p)
{
    return Frame::red(p) > Frame::blue(p) + 20 && Frame::red(p) > Frame::green(p) + 20;
}

bool white(uint32_t p)
{
    return Frame::luminance(p) > 250;
}

bool black(uint32_t p)
{
    return Frame::luminance(p) < 4;
}

// Segment start, middle and events of both parts: every frame is neither
// black nor burnt out, differs from the one before, and shows the part.
TEST_F(MapParts23, SegmentsPlayThroughTheTimeline)
{
    const struct {
        const char* part;
        std::vector<float> times;
    } parts[] = {
        // Start, the first copies fading (copy time 8.1 at the latest), middle
        // of the fade, all gone, the end.
        {"MapEffect2", {56.8f, 67.0f, 69.5f, 74.0f, 78.9f}},
        {"MapEffect3", {79.2f, 83.0f, 87.8f, 92.0f, 96.3f}},
    };
    for (const auto& p : parts) {
        SCOPED_TRACE(p.part);
        settings(p.part, "R demo.startTime " + std::to_string(p.times[0]) + "\n");
        OnePartShow show(p.part, window);
        std::vector<Frame> frames;
        for (float t : p.times) {
            SCOPED_TRACE(t);
            frames.push_back(show.at(t));
            const Frame& f = frames.back();
            EXPECT_GT(f.meanLuminance(), 12.0);
            EXPECT_LT(f.meanLuminance(), 200.0);
            EXPECT_LT(f.share(white), 0.05);
            EXPECT_LT(f.share(black), 0.9);
            if (frames.size() > 1) {
                EXPECT_GT(f.difference(frames[frames.size() - 2]), 1.0);
            }
        }
        if (std::string(p.part) == "MapEffect2") {
            // The grid of grey-blue copies fills the middle, then fades away.
            const double before = frames.front().share(bluish, 160, 120, 480, 360);
            EXPECT_GT(before, 0.2);
            EXPECT_LT(frames[3].share(bluish, 160, 120, 480, 360), before * 0.5);
        } else {
            // The brain glows pink on the panel in the upper right.
            for (const Frame& f : frames) {
                EXPECT_GT(f.share(pink, 320, 0, 640, 240), 0.02);
            }
        }
    }
}

TEST_F(MapParts23, CopiesFadeFromTheirOwnTime)
{
    settings("MapEffect2");
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
            const float t = fade.copyTime - scene.getTimeOffset(i);
            scene.update(t);
            const Vec4* blend = lw.findMesh(MapEffect2Scene::copyName(i))->object->getUniform("blend");
            ASSERT_NE(blend, nullptr);
            EXPECT_NEAR((*blend)[3], fade.alpha, 1e-4) << "copy " << i << " at its time " << fade.copyTime;
            EXPECT_EQ((*blend)[0], 0.0f);
        }

    // The grid: 3.2 apart from -13.4, ten to a row.
    for (int i : {0, 9, 10, 55, 99}) {
        const Vec4 at = lw.getPosition(MapEffect2Scene::copyName(i), 3.0f);
        EXPECT_NEAR(at[0], -13.4 + 3.2 * (i % 10), 1e-4) << i;
        EXPECT_NEAR(at[1], -13.4 + 3.2 * (i / 10), 1e-4) << i;
        EXPECT_NEAR(at[2], 0.0, 1e-4) << i;
    }
}

TEST_F(MapParts23, EndomorphCallbackTakesOnlyTheSphereCube)
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

TEST_F(MapParts23, MissingMorphSourceIsNamed)
{
    const std::string file = "data/Models/mapeffect2-2.sce";
    std::stringstream original;
    original << std::ifstream(file, std::ios::binary).rdbuf();
    std::string renamed = original.str();
    for (size_t at = renamed.find("pallokuutio2:Layer1"); at != std::string::npos;
         at = renamed.find("pallokuutio2:Layer1", at))
        renamed.replace(at, 12, "pallokuutio3");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << renamed;
    settings("MapEffect2");
    try {
        MapEffect2Scene scene;
        ADD_FAILURE() << "the scene was built without its morph source";
    } catch (const Exception& e) {
        EXPECT_NE(e.getMessage().find("pallokuutio2:Layer1"), std::string::npos) << e.getMessage();
    }
    std::ofstream(file, std::ios::binary | std::ios::trunc) << original.str();
}

TEST_F(MapParts23, WallUniformsFollowThePortal)
{
    settings("MapEffect3");
    MapEffect3 part;
    part.init();
    MapEffect3Scene& scene = *part.getScene();
    ASSERT_EQ(scene.getWallCount(), 12);
    // At 0 the first wave has not started; the second is at fmod(85, 28).
    // At 2: fmod(30, 25) and fmod(119, 28).
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
            // The generated portal stands at (0, 1, 2); both waves start there.
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

TEST_F(MapParts23, VolumeImageMustStackWholeSlices)
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

// Frames after the first only borrow: the pool's free entries are the same
// before and after two more frames.
TEST_F(MapParts23, PoolMakesNothingAfterTheFirstFrame)
{
    for (const auto& part : {std::make_pair("MapEffect2", 60.0f), std::make_pair("MapEffect3", 85.0f)}) {
        settings(part.first);
        OnePartShow show(part.first, window);
        show.at(part.second);
        const int free = RenderTargetPool::getFreeCount();
        show.at(part.second + 0.1f);
        show.at(part.second + 0.2f);
        EXPECT_EQ(RenderTargetPool::getFreeCount(), free) << part.first;
    }
}

// A quarter-size average of a frame, kept as the golden picture.
std::vector<uint8_t> reduced(const Frame& frame)
{
    std::vector<uint8_t> rgba;
    for (int y = 0; y < frameHeight; y += 4)
        for (int x = 0; x < frameWidth; x += 4) {
            int sum[3] = {0, 0, 0};
            for (int dy = 0; dy < 4; ++dy)
                for (int dx = 0; dx < 4; ++dx) {
                    const uint32_t p = frame.pixels[static_cast<size_t>(y + dy) * frameWidth + x + dx];
                    sum[0] += Frame::red(p);
                    sum[1] += Frame::green(p);
                    sum[2] += Frame::blue(p);
                }
            rgba.insert(rgba.end(), {static_cast<uint8_t>(sum[0] / 16), static_cast<uint8_t>(sum[1] / 16),
                                     static_cast<uint8_t>(sum[2] / 16), 255});
        }
    return rgba;
}

// The middle of each segment against its golden picture; the tolerance
// allows for rasteriser differences. VOSTREL_UPDATE_GOLDEN=1 rewrites them.
TEST_F(MapParts23, GoldenFrames)
{
    for (const auto& part : {std::make_pair("MapEffect2", 67.765f), std::make_pair("MapEffect3", 87.786f)}) {
        SCOPED_TRACE(part.first);
        settings(part.first, "R demo.startTime " + std::to_string(part.second) + "\n");
        OnePartShow show(part.first, window);
        const std::vector<uint8_t> picture = reduced(show.at(part.second));
        const std::string golden = std::string(MAP23_GOLDEN_DIR) + "/" + part.first + ".png";
        if (std::getenv("VOSTREL_UPDATE_GOLDEN"))
            Content::writePngRgba(golden, frameWidth / 4, frameHeight / 4, picture);
        std::unique_ptr<Image> expected(Image::createFromFile(golden));
        ASSERT_EQ(expected->getWidth(), frameWidth / 4);
        ASSERT_EQ(expected->getChannels(), 4);
        // The image holds B, G, R, A.
        double difference = 0;
        const unsigned char* e = expected->getData();
        for (size_t i = 0; i < picture.size(); i += 4)
            for (int c = 0; c < 3; ++c)
                difference += std::abs(picture[i + c] - e[i + 2 - c]);
        EXPECT_LT(difference / (picture.size() / 4 * 3), 6.0);
    }
}

} // namespace
} // namespace Map23Test
} // namespace Vostrel
