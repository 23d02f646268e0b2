#pragma once

#include "Libs/Math/Matrix.h"
#include "Libs/Testing/DemoEffect.h"
#include "Libs/Testing/MapEffectCommon.h"

#include <memory>
#include <string>

namespace Vostrel {

class QuadStrip;
class SvgScreenPanel;
namespace Core {
class Texture;
}

// The third network map: translucent walls that ripple in two waves from
// the portal "portti1", a glowing ring on the portal, and a screen panel
// showing a brain ray-marched from a volume texture every frame.
class MapEffect3Scene : public MapScene {
public:
    MapEffect3Scene();
    ~MapEffect3Scene() override;

    void update(float time);

    SvgScreenPanel& getBrainPanel() const { return *brainPanel; }
    int getWallCount() const { return wallCount; }
    static std::string wallName(int k);

    // The two wave fronts' radii at a scene time.
    static float firstRange(float time);
    static float secondRange(float time);

private:
    int wallCount = 0;
    std::unique_ptr<ShaderContext> wallShader;
    std::unique_ptr<BasicSceneMaterial> wallMaterial;
    std::unique_ptr<QuadStrip> ring;
    std::unique_ptr<ShaderContext> ringShader;
    std::unique_ptr<BasicSceneMaterial> ringMaterial;
    std::unique_ptr<SvgScreenPanel> brainPanel;
};

// What the ray march of one frame uses: the two passes' volume matrices and
// the step along the rotated z axis.
struct BrainMarch {
    Matrix4 first;
    Matrix4 second;
    Vec4 step;
};
BrainMarch brainMarchAt(float time);

class MapEffect3 : public DemoEffect {
public:
    MapEffect3();
    ~MapEffect3() override;

    // Has the pool make the scene target, loads the brain volume, then the scene.
    void init() override;
    void release() override {}
    // The scene runs at 11/12 of the segment's seconds.
    void setTime(float seconds, int variant) override;
    void render(RenderTexture& target) override;

    MapEffect3Scene* getScene() const { return scene.get(); }
    Core::Texture* getVolume() const { return volume.get(); }
    float getSceneTime() const { return sceneTime; }

    static constexpr double timeFactor = 11.0 / 12.0;
    // The ray-march targets' size.
    static constexpr int marchSize = 64;

private:
    float sceneTime = 0.0f;
    std::unique_ptr<MapEffect3Scene> scene;
    std::unique_ptr<Core::Texture> volume;
    // The bloom key is the morphing map's: the two parts share it.
    PartSettings settings{"MapEffect3"};
    PartSettings keySettings{"MapEffect2"};
    MapBloom bloom{settings};
};

// A volume texture from an image whose slices are stacked top to bottom:
// width x width texels a slice, height / width slices. An image whose
// height is not a positive multiple of its width is refused, naming the file.
std::unique_ptr<Core::Texture> loadStackedVolume(const std::string& fileName);

} // namespace Vostrel
