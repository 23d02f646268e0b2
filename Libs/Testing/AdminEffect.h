#pragma once

#include "Libs/Scene/LwScene.h"
#include "Libs/Testing/DemoEffect.h"
#include "Libs/Testing/Renderable.h"
#include "Libs/Testing/Utils/TextPanel.h"

#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

class BasicSceneMaterial;
class ShaderContext;
class VideoTexture;
namespace Core {
class Texture;
}

// The admin scene, "data/Models/admineffect.sce": reflective architecture, a
// video on a screen-aligned quad at the object "admin" (under "kuutio") and
// a text panel whose picture also lights the quad "quad:Layer1 (6)".
class AdminEffectScene : public Renderable {
public:
    // The video's texture is not owned.
    explicit AdminEffectScene(Core::Texture* videoTexture);
    ~AdminEffectScene() override;

    void update(float time);
    void render(float time, int secondValue) override;

    TextPanel& getTextPanel() const { return *textPanel; }
    BasicSceneMaterial& getTextQuadMaterial() const { return *textQuadMaterial; }
    LwScene& getLwScene() const { return *lwScene; }
    Core::Texture* getReflection() const { return reflection.get(); }
    const std::string& getCameraName() const { return cameraName; }

private:
    std::vector<std::unique_ptr<ShaderContext>> shaders;
    std::vector<std::unique_ptr<BasicSceneMaterial>> materials;
    std::unique_ptr<Core::Texture> reflection;
    std::unique_ptr<LwScene> lwScene;
    SceneRenderer* renderer = nullptr;
    std::string cameraName;
    std::unique_ptr<TextPanel> textPanel;
    BasicSceneMaterial* textQuadMaterial = nullptr;
    SceneObject* camera = nullptr;
    SceneObject* admin = nullptr;
};

// The last scene part: the admin scene at a tenth of the segment's time,
// held from 1.6, its video paced one frame at a time, always bloomed.
class AdminEffect : public DemoEffect {
public:
    // Seconds of scene time per video frame.
    static constexpr float videoFrameTime = 1.0f / 85.0f;

    AdminEffect();
    ~AdminEffect() override;

    void init() override;
    void release() override {}
    void setTime(float seconds, int variant) override;
    void render(RenderTexture& target) override;

    float getSceneTime() const { return sceneTime; }
    float getVideoClock() const { return videoClock; }
    AdminEffectScene* getScene() const { return scene.get(); }
    VideoTexture* getVideo() const { return video.get(); }

private:
    float sceneTime = 0.0f;
    // The scene time up to which video frames have been shown.
    float videoClock = 0.0f;
    std::unique_ptr<VideoTexture> video;
    std::unique_ptr<AdminEffectScene> scene;
};

} // namespace Vostrel
