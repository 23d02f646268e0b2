// The elevator's scene: a shaft of square frames ("Cubevator:Layer1") and
// floating cubes ("Cubevator:Layer2") on two roots that rush through it on
// the scene's own time warp, a moving light and the bloom beat.
#include "Tools/Content/ContentWriter.h"
#include "Tools/Content/Lwo2Writer.h"
#include "Tools/Content/SceneBuilder.h"
#include "Tools/Content/ToolkitContent.h"

#include <cmath>
#include <string>

namespace Vostrel {
namespace Content {

namespace {

const int layer1Count = 31;
const int layer2Count = 7;
// Frames 1 .. 24 line the shaft on the annulus root; the rest ride the box root.
const int annulusFrames = 24;
const float frameHalf = 45.0f, frameBar = 8.0f, frameDepth = 3.0f;
// Close enough that the frames hide most of what lies past the fog's start.
const float frameSpacing = 25.0f;

// A square frame of four bars facing the camera, and a cube whose map is
// "Texture 1".
Lwo2Object cubevator()
{
    const float a = frameHalf - frameBar, b = frameHalf, d = frameDepth;
    const Lwo2Layer frame = mergeLayers(0, {texturedBox(0, Vec3(-b, a, -d), Vec3(b, b, d)),
                                            texturedBox(0, Vec3(-b, -b, -d), Vec3(b, -a, d)),
                                            texturedBox(0, Vec3(-b, -a, -d), Vec3(-a, a, d)),
                                            texturedBox(0, Vec3(a, -a, -d), Vec3(b, a, d))});
    Lwo2Layer cube = texturedBox(1, Vec3(-3, -3, -3), Vec3(3, 3, 3));
    cube.vertexMaps[0].name = "Texture 1";
    return objectOf({frame, cube});
}

using Keys = std::vector<SceneBuilder::Key>;

void writeScene(const std::string& path)
{
    SceneBuilder scene;
    // The far plane cuts all but the fog's nearest layer: all eight over the plasma
    // would leave the bloom nothing but white.
    scene.camera("Camera", 1)
        .position(0, 0, -70)
        .rotation(0, 0, 0)
        .envelope("bank", {{0, 0}, {16, 0.2f}, {32, -0.1f}})
        .constant("nearPlane", 1.0f)
        .constant("farPlane", 850.0f);
    scene.light("CubeLight", 2, 0, 1, 1, 1)
        .envelope("x", {{0, -80}, {8, 80}, {16, -80}, {24, 80}, {32, -80}})
        .envelope("y", {{0, 60}, {12, -40}, {24, 60}, {32, 0}})
        .envelope("z", {{0, -60}, {16, 300}, {32, -60}});
    // Beats to animation time: a slow start, two rushes, a slow end.
    scene.null("CubevatorTime", 3).envelope("x", {{0, 0}, {6, 4}, {10, 11}, {16, 14}, {22, 17}, {26, 25}, {32, 28}});
    // The bloom's beat: a flash after each rush, between the part's own
    // quarter-beat pulses; 0 before and after.
    scene.null("HDRBeat", 4).envelope("x", {{0, 0},    {9.4f, 0},  {9.5f, 0.3f},  {10.5f, 0}, {17.4f, 0},
                                            {17.5f, 0.2f}, {18.5f, 0}, {25.4f, 0}, {25.5f, 0.3f}, {26.5f, 0},
                                            {32, 0}});
    scene.mesh("AnnulusRoot", 5)
        .position(0, 0, 0)
        .rotation(0, 0, 0)
        .envelope("z", {{0, 0}, {28, -350}})
        .envelope("bank", {{0, 0}, {28, 1.2f}});
    scene.mesh("BoxRoot", 6)
        .position(0, 0, 0)
        .rotation(0, 0, 0)
        .envelope("z", {{0, 100}, {28, -250}})
        .envelope("heading", {{0, 0}, {28, 0.6f}});
    for (int n = 1; n <= layer1Count; ++n) {
        const std::string name = "Cubevator:Layer1 (" + std::to_string(n) + ")";
        const float twist = (n % 2 ? 1.0f : -1.0f) * (0.6f + 0.05f * n);
        scene.mesh(name, 10 + n, "data/Models/Cubevator.lwo", 1).rotation(0, 0, 0);
        if (n <= annulusFrames) {
            scene.parent(5).position(0, 0, frameSpacing * n).envelope("bank", {{0, 0.13f * n}, {32, 0.13f * n + twist}});
        } else {
            // Wide frames around the shaft, turning the other way.
            const float s = 1.3f + 0.15f * (n - annulusFrames);
            scene.parent(6)
                .position(0, 0, 80.0f * (n - annulusFrames))
                .scale(s, s, 1)
                .envelope("bank", {{0, 0.4f * n}, {32, 0.4f * n - twist}});
        }
    }
    for (int i = 1; i <= layer2Count; ++i) {
        const float angle = i * 0.9f;
        const std::string name = "Cubevator:Layer2 (" + std::to_string(i) + ")";
        scene.mesh(name, 50 + i, "data/Models/Cubevator.lwo", 2)
            .parent(6)
            .position(30 * std::cos(angle), 30 * std::sin(angle), 70.0f * i)
            .rotation(0, 0, 0)
            .envelope("heading", {{0, 0}, {32, 3.0f + i}})
            .envelope("pitch", {{0, 0.3f * i}, {32, 2.0f - 0.2f * i}});
    }
    scene.write(path);
}

const RegisterContentWriter elevatorWriter("elevator", [](const std::string& root) {
    writeLwo2(prepareOutputPath(root, "data/Models/Cubevator.lwo"), cubevator());
    writeScene(prepareOutputPath(root, "data/Models/Cubevator.sce"));
});

const RegisterPropertySection elevatorKeys("ElevatorEffect", [] {
    return "I ElevatorEffect.useBloom 1\n"
           "I ElevatorEffect.useNoise 1\n"
           "I ElevatorEffect.useFog 1\n"
           "S ElevatorEffect.color.inner \"#BAB88D\"\n"
           "S ElevatorEffect.color.outer \"#8DA8BA\"\n";
});

} // namespace

} // namespace Content
} // namespace Vostrel
