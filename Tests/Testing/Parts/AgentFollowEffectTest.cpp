// The agent-follow part played by the show from generated content: its
// frames, the uniforms its update hands the scene, its lookups and its pool.
#include "Libs/Math/EnvelopeVec3.h"
#include "Libs/Math/Random.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Serializing/Serializer.h"
#include "Libs/Testing/AgentFollowEffect.h"
#include "Tests/Testing/Parts/PartShow.h"

#include <cmath>
#include <functional>

namespace Vostrel {
namespace {

using PartTests::Frame;

const float segmentStart = 96.513374f;
const float sceneSpeed = 0.9777777f;

class AgentShow : public PartTests::PartShow {
protected:
    AgentShow() : PartShow("AgentFollowEffect", {"agentfollow"}) {}
    void SetUp() override
    {
        PartShow::SetUp();
        // The process's first draw seeds from the clock: have it done, so
        // the particles start alike in every run.
        randomUInt32();
        seedMT(19);
    }
    AgentFollowEffectImpl& agent() { return dynamic_cast<AgentFollowEffectImpl&>(*getPart()); }

    // Rewrites the generated scene through an edit of its objects.
    static void editScene(const std::function<void(Scene&)>& edit)
    {
        testing::internal::CaptureStdout(); // the writer names each object it exports
        {
            std::unique_ptr<Scene> scene = Scene::load("data/Models/AgentFollow.sce");
            edit(*scene);
            Serializer out("data/Models/AgentFollow.sce", false);
            scene->serialize(out);
        }
        testing::internal::GetCapturedStdout();
    }

    // The show's start-up fails with the message.
    void expectInitFailure(const std::string& message)
    {
        EXPECT_FALSE(play({segmentStart + 1.0f}));
        EXPECT_NE(errors.find(message), std::string::npos) << errors;
    }

    void expectFailureWithout(const std::string& object)
    {
        editScene([&](Scene& scene) { scene.findObject(object)->setStringConstant("objectName", object + " renamed"); });
        expectInitFailure("AgentEffect: data/Models/AgentFollow.sce has no mesh object '" + object + "'");
    }
};

// The share of pixels whose mean level lies in [low, high).
double shareBetween(const Frame& frame, int low, int high)
{
    size_t count = 0;
    for (int y = 0; y < frame.height; ++y)
        for (int x = 0; x < frame.width; ++x) {
            const int level = (frame.channel(x, y, 0) + frame.channel(x, y, 1) + frame.channel(x, y, 2)) / 3;
            count += level >= low && level < high;
        }
    return static_cast<double>(count) / (static_cast<double>(frame.width) * frame.height);
}

TEST_F(AgentShow, PlaysFromItsOpeningMultipassToItsFade)
{
    // The opening zoom blur, a beat, the middle, late, and the closing blur.
    const std::vector<float> times = {segmentStart + 0.4f, segmentStart + 3.0f, segmentStart + 8.7f,
                                      segmentStart + 14.0f, segmentStart + 16.9f};
    ASSERT_TRUE(play(times)) << errors;
    ASSERT_EQ(frames().size(), times.size());
    for (size_t i = 0; i < times.size(); ++i)
        PartTests::expectLively(frames()[i], std::to_string(times[i]));
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GT(frames()[i].meanDifference(frames()[i - 1]), 2.0) << times[i];
    // Sharp frames between flashes show the gate of lit panels around the
    // dark room.
    for (size_t i : {2u, 3u}) {
        EXPECT_GT(shareBetween(frames()[i], 180, 256), 0.15) << times[i];
        EXPECT_GT(shareBetween(frames()[i], 0, 60), 0.25) << times[i];
    }
    EXPECT_TRUE(agent().usesBloom());
    EXPECT_TRUE(agent().usesNoise());
}

TEST_F(AgentShow, UpdateHandsTheSceneItsBeatsFramesMorphsAndEyes)
{
    ASSERT_TRUE(play({segmentStart + 1.0f})) << errors;
    // The scene's own objects, read apart from the part's.
    std::unique_ptr<Scene> scene = Scene::load("data/Models/AgentFollow.sce");
    SceneObject* portal = scene->findObject("Portal:Layer1");
    SceneObject* camera = scene->findObject("Camera");
    std::unique_ptr<EnvelopeVec3> portalLight = scene->getPositionEnvelope("PortalLight");
    const char digits[] = "10001010";
    LwScene& lw = agent().getScene()->getLwScene();
    for (int step = 0; step < 20; ++step) {
        // Step starts, a second round of the pattern included; and a time
        // between frames.
        const float t = step < 16 ? 0.25f * step : 3.7f + 1.37f * step;
        agent().setTime(t, 0);
        if (step < 16) {
            const float a = (digits[step % 8] - '0' + 1.0f) * 0.5f;
            for (SceneMesh* panel : agent().getScene()->getPanels())
                for (int c = 0; c < 4; ++c)
                    EXPECT_NEAR((*panel->object->getUniform("ambientIntensity"))[c], c < 3 ? a : 1.0f, 1e-6f) << t;
        }
        EXPECT_EQ(*lw.findMesh("ParticleStreamMesh")->object->getUniform("animationFrame"),
                  Vec4(std::trunc(t * 120.0f), 0, 0, 0))
            << t;
        for (const char* morph : {"morph.Open", "morph.Closed"}) {
            const float v = portal->getAttribute(morph, t);
            EXPECT_EQ(*lw.findMesh("Portal:Layer1")->object->getUniform(morph), Vec4(v, v, v, 0)) << morph << t;
        }
        const Vec3 light = portalLight->evaluate(t);
        for (const char* name : {"Portal:Layer1", "Portal2:Layer1"})
            EXPECT_EQ(*lw.findMesh(name)->object->getUniform("phongLightPos"), Vec4(light[0], light[1], light[2], 0));
        // The second light's eye is the camera, as the first light's is.
        const Vec4 eye = (*camera->getTransform(t))[3];
        for (const char* name : {"AgentFollow:Layer1", "quad:Layer1 (1)", "quad:Layer1 (36)"}) {
            const Vec4* cameraPos = lw.findMesh(name)->object->getUniform("cameraPos");
            ASSERT_NE(cameraPos, nullptr) << name;
            for (int c = 0; c < 4; ++c)
                EXPECT_NEAR((*cameraPos)[c], eye[c], 1e-4f) << name << " " << t;
        }
    }
    // The portal does open and close over the scene.
    EXPECT_GT(portal->getAttribute("morph.Open", 5.0f), 0.9f);
    EXPECT_GT(portal->getAttribute("morph.Closed", 12.0f), 0.9f);
}

TEST_F(AgentShow, AMissingPanelFailsInitNamingIt)
{
    expectFailureWithout("quad:Layer1 (7)");
}

TEST_F(AgentShow, AMissingPortalFailsInitNamingIt)
{
    expectFailureWithout("Portal:Layer1");
}

TEST_F(AgentShow, AConstantBeatFailsInitNamingIt)
{
    editScene([](Scene& scene) { scene.findObject("HDRBeat")->setAttribute("x", new ConstantFunction<float>(1.0f)); });
    expectInitFailure("AgentEffect: 'HDRBeat' in data/Models/AgentFollow.sce has no animated 'x'");
}

TEST_F(AgentShow, FramesAfterInitCreateNoPooledTarget)
{
    // Started before the segment: the part is made and nothing drawn yet.
    ASSERT_TRUE(play({segmentStart - 1.0f})) << errors;
    PartTests::expectNoTargetsMade([this] {
        for (float t : {1.0f, 1.1f}) {
            agent().setTime(t, 0);
            agent().render(*show->getTargets().a);
        }
    });
}

TEST_F(AgentShow, MiddleFrameMatchesItsGoldenPicture)
{
    // Without the moving noise the picture depends on the time alone.
    addProperties("I AgentFollowEffect.useNoise 0\n");
    ASSERT_TRUE(play({segmentStart + 8.0f})) << errors;
    RenderTexture& a = *show->getTargets().a;
    for (int i = 0; i < 4; ++i) {
        agent().setTime(8.0f * sceneSpeed, 0);
        agent().render(a);
    }
    Frame frame;
    frame.width = a.width;
    frame.height = a.height;
    frame.pixels = TestSupport::readTargetTexture(*a.texture);
    PartTests::expectLively(frame, "the middle frame");
    expectGolden(frame, "agentfollow-mid");
}

} // namespace
} // namespace Vostrel
