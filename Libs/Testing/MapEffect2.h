#pragma once

#include "Libs/Math/Matrix.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Testing/DemoEffect.h"
#include "Libs/Testing/MapEffectCommon.h"

#include <array>
#include <memory>

namespace Vostrel {

class BiasMaterial;
class ImagePanel;
class TextPanel;

// Gives "data/Models/pallokuutio2.lwo@1" the normals of its two morph
// targets before it is frozen, so the copies can light the morphed shape.
class MapEffect2EndomorphCallback : public MeshLoadingCallback {
public:
    std::unique_ptr<Mesh::ModifiableMesh> onMeshLoaded(const std::string& fileName, int layer,
                                                       std::unique_ptr<Mesh::ModifiableMesh>& mesh) override;
};

// The second network map: a 10 x 10 grid of morphing sphere-cubes that fade
// out one after another in front of a lit terminal, with the map's links,
// particles, sprites, panels and fog.
class MapEffect2Scene : public MapScene {
public:
    static constexpr int copyCount = 100;

    MapEffect2Scene();
    ~MapEffect2Scene() override;

    void update(float time);

    TextPanel& getTextPanel() const { return *textPanel; }
    ImagePanel& getImagePanel() const { return *imagePanel; }
    float getTimeOffset(int copy) const { return timeOffsets[copy]; }

    // "pallokuutio2-" + n for copy index i = n - 1, and its grid dummy.
    static std::string copyName(int i);
    static std::string dummyName(int i);
    // Where copy i stands: spacing 3.2 from -13.4 to 15.4 in x and y.
    static Vec3 gridPosition(int i);
    // A copy's alpha at its own time: 1 up to 8.1, then falling to 0 over 4/3 s.
    static float copyAlpha(float copyTime);

private:
    std::unique_ptr<ShaderContext> copyShader;
    std::unique_ptr<BasicSceneMaterial> copyMaterial;
    std::unique_ptr<BiasMaterial> terminalMaterial;
    std::array<float, copyCount> timeOffsets{};
    std::array<Matrix4, copyCount> gridTransforms;
    const SceneObject::AttributeFunction* morph1 = nullptr;
    const SceneObject::AttributeFunction* morph2 = nullptr;
    std::unique_ptr<ImagePanel> imagePanel;
    std::unique_ptr<TextPanel> textPanel;
};

class MapEffect2 : public DemoEffect {
public:
    MapEffect2();
    ~MapEffect2() override;

    // Has the pool make the three targets a frame holds, then loads the scene.
    void init() override;
    void release() override {}
    // The scene runs at 17/24 of the segment's seconds.
    void setTime(float seconds, int variant) override;
    void render(RenderTexture& target) override;

    MapEffect2Scene* getScene() const { return scene.get(); }
    float getSceneTime() const { return sceneTime; }

    static constexpr double timeFactor = 17.0 / 24.0;

private:
    float sceneTime = 0.0f;
    std::unique_ptr<MapEffect2Scene> scene;
    PartSettings settings{"MapEffect2"};
    MapBloom bloom{settings};
};

} // namespace Vostrel
