#pragma once

#include "Libs/Testing/DemoEffect.h"
#include "Libs/Testing/MapEffectCommon.h"

#include <memory>

namespace Vostrel {

class Envelope;
class ImagePanel;

// The fourth network map, always in fog: the image panel moves from
// terminal to terminal every two seconds of scene time.
class MapEffect4Scene : public MapScene {
public:
    MapEffect4Scene();
    ~MapEffect4Scene() override;

    void update(float time);
    ImagePanel& getImagePanel() const { return *imagePanel; }
    const std::string& getMarkedTerminal() const { return markedTerminal; }

    // "terminal2", "terminal3", "terminal4" from 0, 2 and 4; "terminal1"
    // from 6 and before 0.
    static const char* terminalAt(float time);

private:
    std::unique_ptr<ImagePanel> imagePanel;
    std::string markedTerminal;
};

class MapEffect4 : public DemoEffect {
public:
    MapEffect4();
    ~MapEffect4() override;

    void init() override;
    void release() override {}
    // The scene runs at half the segment's seconds.
    void setTime(float seconds, int variant) override;
    // Blooms with a key that pulses on every other beat of the scene.
    void render(RenderTexture& target) override;

    MapEffect4Scene* getScene() const { return scene.get(); }
    float getSceneTime() const { return sceneTime; }
    // The bloom key at the scene time.
    float bloomKey() const;

    static constexpr double timeFactor = 0.5;
    static constexpr float beatKey = 0.0035f;

private:
    float sceneTime = 0.0f;
    std::unique_ptr<MapEffect4Scene> scene;
    std::unique_ptr<Envelope> beat;
    PartSettings settings{"MapEffect4"};
    MapBloom bloom{settings};
};

} // namespace Vostrel
