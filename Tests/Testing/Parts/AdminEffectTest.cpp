// The admin part played by the show from generated content: its frames, the
// pace of its scene and video, its reflection, bloom and lookups.
#include "Libs/Core/Texture.h"
#include "Libs/Math/Function.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Serializing/Serializer.h"
#include "Libs/Testing/AdminEffect.h"
#include "Libs/Testing/Utils/VideoTexture.h"
#include "Tests/Testing/Parts/PartShow.h"
#include "Tools/Content/JpegWriter.h"
#include "Tools/Content/VideoContent.h"

#include <cmath>
#include <functional>

namespace Vostrel {
namespace {

using PartTests::Frame;

const float segmentStart = 201.240646f;

void editScene(const std::function<void(Scene&)>& edit)
{
    testing::internal::CaptureStdout(); // the writer names each object it exports
    {
        std::unique_ptr<Scene> scene = Scene::load("data/Models/admineffect.sce");
        edit(*scene);
        Serializer out("data/Models/admineffect.sce", false);
        scene->serialize(out);
    }
    testing::internal::GetCapturedStdout();
}

class AdminShow : public PartTests::PartShow {
protected:
    AdminShow() : PartShow("AdminEffect", {"admin", "video"}) {}
    AdminEffect& admin() { return dynamic_cast<AdminEffect&>(*getPart()); }

    // The show's video is a moving picture; the tests that tell frames apart
    // by colour play one of flat frames, a colour each, in its place.
    static void useFlatVideo() { Content::writeFlatColourVideo("data/Videos/mov2005-6.mpg", 256, 256, 150); }

    // The part's scene alone at its time, 1024 x 1024 as its render takes it
    // (after a render of the part, which gives the text quad its picture).
    Frame sceneFrame(AdminEffect& part)
    {
        part.render(*show->getTargets().a);
        PooledRenderTexture target(1024, 1024, Core::FORMAT_A8R8G8B8);
        clearTarget(target.get(), Vec4(0, 0, 0, 0));
        renderToTarget(target.get(), part.getScene(), part.getSceneTime(), 100);
        return frameOf(*target.get());
    }

    // The show's first frame at 1 s into the segment fails with the message.
    void expectFailure(const std::string& message)
    {
        EXPECT_FALSE(play({segmentStart + 1.0f}));
        EXPECT_NE(errors.find(message), std::string::npos) << errors;
    }

    static Frame frameOf(const RenderTexture& target)
    {
        Frame frame;
        frame.width = target.width;
        frame.height = target.height;
        frame.pixels = TestSupport::readTargetTexture(*target.texture);
        return frame;
    }
};

// The mean colour of a square around a frame's centre, and how far its
// pixels stray from it.
struct Patch {
    double mean[3] = {0, 0, 0};
    double spread = 0;
};

Patch centrePatch(const Frame& frame)
{
    Patch patch;
    const int half = frame.width / 32;
    std::vector<int> levels[3];
    for (int y = frame.height / 2 - half; y < frame.height / 2 + half; ++y)
        for (int x = frame.width / 2 - half; x < frame.width / 2 + half; ++x)
            for (int c = 0; c < 3; ++c)
                levels[c].push_back(frame.channel(x, y, c));
    for (int c = 0; c < 3; ++c) {
        for (int level : levels[c])
            patch.mean[c] += level;
        patch.mean[c] /= levels[c].size();
        for (int level : levels[c])
            patch.spread = std::max(patch.spread, std::fabs(level - patch.mean[c]));
    }
    return patch;
}

TEST_F(AdminShow, PlaysItsSegmentToTheHeldPoseAndTheFade)
{
    useFlatVideo();
    // Start, middle, just after the switch to the shared target (216.513 s),
    // the held pose (from 217.241 s) and the fade.
    const std::vector<float> times = {segmentStart + 0.5f, segmentStart + 8.0f, 216.6f, 217.3f, 218.0f};
    ASSERT_TRUE(play(times)) << errors;
    ASSERT_EQ(frames().size(), times.size());
    for (size_t i = 0; i < times.size(); ++i) {
        PartTests::expectLively(frames()[i], std::to_string(times[i]));
        // The video screen fills the middle with its flat colour.
        EXPECT_LT(centrePatch(frames()[i]).spread, 12) << times[i];
    }
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GT(frames()[i].meanDifference(frames()[i - 1]), 2.0) << times[i];
    EXPECT_EQ(admin().getSceneTime(), 1.6f);
}

TEST_F(AdminShow, SceneRunsAtATenthAndTheVideoAtMostAFrameACall)
{
    useFlatVideo();
    ASSERT_TRUE(play({segmentStart - 1.0f})) << errors;
    AdminEffect part;
    part.init();
    // The flat colour of each frame, as the generator encoded it.
    auto expectFrame = [&](int frame) {
        unsigned char rgb[3];
        Content::flatFrameColour(frame, rgb);
        const Patch patch = centrePatch(sceneFrame(part));
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR(patch.mean[c], rgb[c], 8.0) << "frame " << frame << " channel " << c;
    };
    const struct {
        float seconds;
        float sceneTime;
        int frame;
    } calls[] = {
        {0.0f, 0.0f, 0},   // the first frame, decoded at start
        {0.2f, 0.02f, 1},  // 0.02 is past 1/85: one frame
        {0.2f, 0.02f, 1},  // 0.02 - 1/85 is not: none
        {10.0f, 1.0f, 2},  // a jump: one frame a call
        {10.0f, 1.0f, 3},
        {20.0f, 1.6f, 4},  // held at 1.6
    };
    float clock = 0.0f;
    int shown = 0;
    for (const auto& call : calls) {
        part.setTime(call.seconds, 0);
        EXPECT_FLOAT_EQ(part.getSceneTime(), call.sceneTime) << call.seconds;
        if (call.frame > shown) {
            clock += 1.0f / 85.0f;
            shown = call.frame;
        }
        EXPECT_EQ(part.getVideoClock(), clock) << call.seconds;
        expectFrame(call.frame);
    }
}

TEST_F(AdminShow, ReflectsACubeMadeFromTheSixFaceStripAndAlwaysBlooms)
{
    useFlatVideo();
    // Even with every bloom setting off.
    addProperties("I AdminEffect.useBloom 0\nR AdminEffect.bloomBase 0\n");
    ASSERT_TRUE(play({segmentStart + 4.0f})) << errors;
    const Core::TextureParameters& cube = admin().getScene()->getReflection()->getParameters();
    EXPECT_EQ(cube.type, Core::TEXTURE_TYPE_CUBE);
    EXPECT_EQ(cube.width, 128);
    const Patch scene = centrePatch(sceneFrame(admin()));
    RenderTexture& a = *show->getTargets().a;
    admin().render(a);
    const Patch shown = centrePatch(frameOf(a));
    // The flat video colour went through the tone mapping of key 0.0007:
    // exposure 0.0007 / (adapted luminance + 0.001), the adapted luminance
    // moving from 0 towards 0.0001, then L / (1 + L).
    for (int c = 0; c < 3; ++c) {
        const double level = scene.mean[c] / 255.0;
        auto toneMapped = [&](double exposure) { return 255.0 * level * exposure / (1.0 + level * exposure); };
        EXPECT_GE(shown.mean[c], toneMapped(0.7 / 1.1) - 3.0) << c;
        EXPECT_LE(shown.mean[c], toneMapped(0.7) + 3.0) << c;
    }
}

TEST_F(AdminShow, AMissingCameraFailsNamingIt)
{
    editScene([](Scene& s) { s.findObject("Camera2")->setStringConstant("objectName", "Camera3"); });
    expectFailure("AdminEffectScene: data/Models/admineffect.sce has no camera 'Camera2'");
}

TEST_F(AdminShow, ASingularCameraIsRefusedNamingIt)
{
    editScene([](Scene& s) {
        for (const char* channel : {"sx", "sy", "sz"})
            s.findObject("Camera2")->setAttribute(channel, new ConstantFunction<float>(0.0f));
    });
    // At the first frame's scene time, about 0.1 s.
    expectFailure("AdminEffectScene: the transform of camera 'Camera2' at 0.1");
    EXPECT_NE(errors.find(" s cannot be inverted\n"), std::string::npos) << errors;
}

TEST_F(AdminShow, AReflectionThatIsNoCubeStripIsRefusedNamingIt)
{
    Content::writeJpegRgba("data/Textures/sunset.jpg", 64, 64, std::vector<uint8_t>(64 * 64 * 4, 128));
    expectFailure("AdminEffectScene: data/Textures/sunset.jpg is 64 x 64, not a strip of six square cube faces");
}

TEST_F(AdminShow, FramesAfterInitCreateNoPooledTarget)
{
    ASSERT_TRUE(play({segmentStart - 1.0f})) << errors;
    PartTests::expectNoTargetsMade([this] {
        admin().setTime(1.0f, 0);
        admin().render(*show->getTargets().a);
        admin().setTime(1.1f, 0);
        admin().render(*show->getTargets().screen);
    });
}

TEST_F(AdminShow, MiddleFrameMatchesItsGoldenPicture)
{
    ASSERT_TRUE(play({segmentStart + 8.0f})) << errors;
    RenderTexture& a = *show->getTargets().a;
    for (int i = 0; i < 4; ++i) {
        admin().setTime(8.0f, 0);
        admin().render(a);
    }
    const Frame frame = frameOf(a);
    PartTests::expectLively(frame, "the middle frame");
    expectGolden(frame, "admin-mid");
}

} // namespace
} // namespace Vostrel
