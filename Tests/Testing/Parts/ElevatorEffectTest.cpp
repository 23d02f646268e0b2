// The elevator part played by the show from generated content, its bloom
// key, its warp and its processor-written plasma.
#include "Libs/Core/APICore.h"
#include "Libs/Core/Texture.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Math/Envelope.h"
#include "Libs/Math/EnvelopeVec3.h"
#include "Libs/Testing/ElevatorEffect.h"
#include "Libs/Testing/Utils/Utils.h"
#include "Tests/Support/HeadlessCore.h"
#include "Tests/Testing/Parts/PartShow.h"

#include <cmath>

namespace Vostrel {
namespace {

using PartTests::Frame;

const float segmentStart = 33.882355f;
const double beatsPerSecond = 85.0 / 60.0;

float atBeat(double beat)
{
    return static_cast<float>(segmentStart + beat / beatsPerSecond);
}

class ElevatorShow : public PartTests::PartShow {
protected:
    ElevatorShow() : PartShow("ElevatorEffect", {"elevator"}) {}

    ElevatorEffectImpl& elevator() { return dynamic_cast<ElevatorEffectImpl&>(*getPart()); }
};

TEST_F(ElevatorShow, PlaysFromTheSecondBeatThroughItsFlashesToItsFade)
{
    // From beat 2 (past the fade-in), on the scene's flashes after the
    // rushes, the middle, and the fade to black.
    const std::vector<float> times = {atBeat(2.3), atBeat(9.55), atBeat(16.6), atBeat(25.55), atBeat(30.5)};
    ASSERT_TRUE(play(times)) << errors;
    ASSERT_EQ(frames().size(), times.size());
    for (size_t i = 0; i < times.size(); ++i)
        PartTests::expectLively(frames()[i], "beat " + std::to_string((times[i] - segmentStart) * beatsPerSecond));
    for (size_t i = 1; i < times.size(); ++i)
        EXPECT_GT(frames()[i].meanDifference(frames()[i - 1]), 2.0) << i;
}

TEST_F(ElevatorShow, TheCubeLayersRunOnTheScenesTimeWarp)
{
    ASSERT_TRUE(play({atBeat(3)})) << errors;
    const float beat = 20.0f;
    elevator().setTime(beat, 0);
    elevator().render(*show->getTargets().a);
    // The same objects evaluated on their own at the warped time.
    std::unique_ptr<Scene> scene = Scene::load("data/Models/Cubevator.sce");
    const float warped = scene->getAnimatedAttribute("CubevatorTime", "x")->evaluate(beat);
    ASSERT_GT(std::fabs(warped - beat), 1.0f) << "the warp must move the roots";
    for (const char* name : {"AnnulusRoot", "BoxRoot"}) {
        const Matrix4 expected = *scene->findObject(name)->getTransform(warped);
        const Matrix4 got = elevator().getScene()->getScene().findMesh(name)->transform;
        for (int c = 0; c < 4; ++c)
            for (int r = 0; r < 4; ++r)
                EXPECT_NEAR(got[c][r], expected[c][r], 1e-3f) << name;
    }
    // A layer under the annulus root follows it: its z is its own offset
    // plus the root's warped z.
    const float rootZ = (*scene->findObject("AnnulusRoot")->getTransform(warped))[3][2];
    const float layerZ = elevator().getScene()->getScene().findMesh("Cubevator:Layer1 (1)")->transform[3][2];
    EXPECT_NEAR(layerZ - rootZ, scene->findObject("Cubevator:Layer1 (1)")->getAttribute("z", beat), 1e-2f);

    // Every layer lit by "phongLightPos" gets the light's unwarped position,
    // the outer frames and the cubes too.
    std::unique_ptr<EnvelopeVec3> light = scene->getPositionEnvelope("CubeLight");
    const Vec3 p = light->evaluate(beat);
    for (const char* name : {"Cubevator:Layer1 (1)", "Cubevator:Layer1 (9)", "Cubevator:Layer2 (4)"}) {
        const Vec4* uniform = elevator().getScene()->getScene().findMesh(name)->object->getUniform("phongLightPos");
        ASSERT_NE(uniform, nullptr) << name;
        for (int c = 0; c < 3; ++c)
            EXPECT_NEAR((*uniform)[c], p[c], 1e-3f) << name;
    }
}

TEST_F(ElevatorShow, BloomKeyPulsesWithTheBeatPatternAndTheScenesBeat)
{
    ASSERT_TRUE(play({atBeat(3)})) << errors;
    std::unique_ptr<Scene> scene = Scene::load("data/Models/Cubevator.sce");
    Function<float, float>* hdrBeat = scene->getAnimatedAttribute("HDRBeat", "x");
    std::unique_ptr<Envelope> pattern = envelopeFromDigits("1000000010110000", 0.25f, 0.0f);
    // Quarter-beat slots 0 and 10 pulse, slot 2 does not.
    EXPECT_EQ(pattern->evaluate(0.0f), 1.0f);
    EXPECT_GT(pattern->evaluate(2.6f), 0.3f);
    EXPECT_EQ(pattern->evaluate(0.5f), 0.0f);
    for (float time : {0.0f, 2.6f, 0.5f}) {
        const double expected = pattern->evaluate(time) * 0.003 + 0.01 * hdrBeat->evaluate(time) +
                                std::fabs(0.0001 * std::sin(time * std::cos(time))) + 0.00205;
        EXPECT_NEAR(elevator().bloomKey(time), expected, 2e-6) << time;
    }
    EXPECT_TRUE(elevator().usesBloom());
    EXPECT_TRUE(elevator().usesNoise());
    EXPECT_TRUE(elevator().getScene()->hasFog());
}

TEST_F(ElevatorShow, FramesAfterTheFirstCreateNoPooledTarget)
{
    ASSERT_TRUE(play({atBeat(3)})) << errors;
    PartTests::expectNoTargetsMade([this] {
        for (float beat : {4.0f, 4.1f}) {
            elevator().setTime(beat, 0);
            elevator().render(*show->getTargets().a);
        }
    });
}

TEST_F(ElevatorShow, MiddleFrameMatchesItsGoldenPicture)
{
    // Without the moving noise the picture depends on the time alone.
    addProperties("I ElevatorEffect.useNoise 0\n");
    ASSERT_TRUE(play({atBeat(16.5)})) << errors;
    RenderTexture& screen = *show->getTargets().screen;
    for (int i = 0; i < 4; ++i) {
        elevator().setTime(16.6f, 0);
        elevator().render(screen);
    }
    Frame frame;
    frame.width = screen.width;
    frame.height = screen.height;
    frame.pixels.resize(static_cast<size_t>(frame.width) * frame.height);
    show->getWindow()->getFramebuffer(frame.pixels.data());
    PartTests::expectLively(frame, "the golden frame");
    expectGolden(frame, "elevator-mid");
}

TEST_F(ElevatorShow, WithoutTheAnnulusRootTheStartUpFailsNamingTheCheck)
{
    const std::string path = folder.file("data/Models/Cubevator.sce");
    std::string text = VostrelTest::TempDir::read(path);
    const size_t at = text.find("AnnulusRoot");
    ASSERT_NE(at, std::string::npos);
    text.replace(at, 11, "AnnulusRoof");
    folder.write("data/Models/Cubevator.sce", text);
    EXPECT_FALSE(play({atBeat(3)}));
    EXPECT_EQ(errors, "In ElevatorEffect.init() with demo.props: ElevatorEffect.color.outer \"#8DA8BA\", "
                      "ElevatorEffect.color.inner \"#BAB88D\"\n"
                      "Libs\\Testing\\ElevatorEffect(570): sceneMesh != 0 does not hold.\n");
}

// The plasma on the processor, against its worked values.
class ElevatorPlasmaTest : public TestSupport::HeadlessCoreTest {};

TEST_F(ElevatorPlasmaTest, WaveTablesHoldTheirTruncatedValues)
{
    const ElevatorWaveTables& tables = elevatorWaveTables();
    const struct {
        int index, sine, cosine;
    } cases[] = {{0, 64, 128}, {64, 128, 64}, {128, 64, 0}, {192, 0, 63}};
    for (const auto& c : cases) {
        EXPECT_EQ(tables.sine[c.index], c.sine) << c.index;
        EXPECT_EQ(tables.cosine[c.index], c.cosine) << c.index;
    }
    for (int i = 0; i < 256; ++i) {
        EXPECT_GE(tables.sine[i], 0);
        EXPECT_LE(tables.cosine[i], 128);
    }
}

TEST_F(ElevatorPlasmaTest, FirstCallWritesTheWorkedPixelsRowsAtTheLockedPitch)
{
    // Twice as wide as the plasma: rows lie 2048 bytes apart.
    Core::TextureParameters parameters;
    parameters.width = 512;
    parameters.height = 256;
    parameters.minFilter = Core::MIN_POINT;
    std::unique_ptr<Core::Texture> texture(Core::createTexture(parameters));
    texture->fill(Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    ElevatorPlasma plasma;
    plasma.update(*texture, 0.0f);
    int pitch = 0;
    const uint8_t* bits = static_cast<const uint8_t*>(texture->lock(0, pitch, Core::LOCK_READ_ONLY));
    ASSERT_GT(pitch, 1024);
    auto pixel = [&](int x, int y) { return *reinterpret_cast<const uint32_t*>(bits + y * pitch + x * 4); };
    // Alpha, red, green, blue: red 80 green 64 at (0, 0) and (1, 0), red 84 at (0, 1).
    EXPECT_EQ(pixel(0, 0), 0x00504050u);
    EXPECT_EQ(pixel(1, 0), 0x00504050u);
    EXPECT_EQ(pixel(0, 1), 0x00544054u);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 512; ++x) {
            const uint32_t p = pixel(x, y);
            if (x >= 256) {
                ASSERT_EQ(p, 0xFFFFFFFFu) << "beyond the plasma at " << x << ", " << y;
                continue;
            }
            ASSERT_EQ(p >> 24, 0u) << x << ", " << y;
            ASSERT_EQ((p >> 16) & 255, p & 255) << x << ", " << y;
            ASSERT_LE((p >> 8) & 255, 128u) << x << ", " << y;
        }
    texture->unlock(0);
    // The phases the next frame draws with.
    EXPECT_EQ(plasma.u, 0.0f);
    EXPECT_EQ(plasma.v, 66.0f);
    EXPECT_EQ(plasma.w, 0.0f);
    for (int i = 0; i < 999; ++i)
        plasma.update(*texture, 0.5f);
    EXPECT_EQ(plasma.v, 67.0f - 1000.0f);
}

} // namespace
} // namespace Vostrel
