#pragma once

#include "Libs/Testing/DemoEffect.h"
#include "Libs/Testing/MapEffectCommon.h"

#include <memory>

namespace Vostrel {

class ImagePanel;
class TextPanel;

// The first network map: links, particles and terminal sprites in fog, a
// scrolling text panel on the camera and a turning selector riding on
// "terminaali1"; the view cuts from "Camera" to "Camera2" after 3.0.
class MapEffect1Scene : public MapScene {
public:
    MapEffect1Scene();
    ~MapEffect1Scene() override;

    void update(float time);
    TextPanel& getTextPanel() const { return *textPanel; }
    ImagePanel& getImagePanel() const { return *imagePanel; }

    static constexpr float cutTime = 3.0f;

private:
    std::unique_ptr<TextPanel> textPanel;
    std::unique_ptr<ImagePanel> imagePanel;
};

class MapEffect1 : public DemoEffect {
public:
    MapEffect1();
    ~MapEffect1() override;

    // Has the pool make the targets, then loads the scene.
    void init() override;
    void release() override {}
    // The scene runs at 17/48 of the segment's seconds.
    void setTime(float seconds, int variant) override;
    void render(RenderTexture& target) override;

    MapEffect1Scene* getScene() const { return scene.get(); }
    float getSceneTime() const { return sceneTime; }

    static constexpr double timeFactor = 17.0 / 48.0;

private:
    float sceneTime = 0.0f;
    std::unique_ptr<MapEffect1Scene> scene;
    PartSettings settings{"MapEffect1"};
    MapBloom bloom{settings};
};

} // namespace Vostrel
