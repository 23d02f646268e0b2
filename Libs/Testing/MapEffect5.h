#pragma once

#include "Libs/Testing/DemoEffect.h"
#include "Libs/Testing/MapEffectCommon.h"

#include <memory>

namespace Vostrel {

class Envelope;
class ImagePanel;
class TextPanel;

// The fifth network map's first scene: links, particles, terminal
// sprites, a text panel on the camera and an image panel that visits
// "terminal2" and "terminal3" briefly before going back to "terminal1".
class MapEffect5Scene : public MapScene {
public:
    MapEffect5Scene();
    ~MapEffect5Scene() override;

    void update(float time);
    TextPanel& getTextPanel() const { return *textPanel; }
    ImagePanel& getImagePanel() const { return *imagePanel; }
    const std::string& getMarkedTerminal() const { return markedTerminal; }

    // "terminal2" for 5.9 <= t < 6.7, "terminal3" for 8.7 < t < 9.6, else "terminal1".
    static const char* terminalAt(float time);

protected:
    MapEffect5Scene(const char* sceneFile, const char* linksFile);
    virtual std::string cameraAt(float time) const;

private:
    std::unique_ptr<ImagePanel> imagePanel;
    std::unique_ptr<TextPanel> textPanel;
    std::string markedTerminal;
};

// The second scene of the fifth map: seen from "Camera2", from 27.0 from
// "OverviewCamera".
class MapEffect5Scene2 : public MapEffect5Scene {
public:
    MapEffect5Scene2();
    ~MapEffect5Scene2() override;

    static constexpr float overviewTime = 27.0f;

private:
    std::string cameraAt(float time) const override;
};

// Two segments of the show, told apart by the variant: 0 plays the first
// scene, 1 the second. The bloom pulses on "MapEffect5.hdrBeatString".
class MapEffect5 : public DemoEffect {
public:
    MapEffect5();
    ~MapEffect5() override;

    void init() override;
    void release() override {}
    // Keeps the seconds and the variant; only variants 0 and 1 move a scene.
    void setTime(float seconds, int variant) override;
    // Draws the first scene after variant 0, the second after any other.
    void render(RenderTexture& target) override;

    MapEffect5Scene* getScene() const { return scene.get(); }
    MapEffect5Scene2* getScene2() const { return scene2.get(); }
    MapEffect5Scene& getShownScene() const;
    float getSceneTime() const { return sceneTime; }
    int getVariant() const { return variant; }

private:
    float sceneTime = 0.0f;
    int variant = 0;
    std::unique_ptr<MapEffect5Scene> scene;
    std::unique_ptr<MapEffect5Scene2> scene2;
    std::unique_ptr<Envelope> beat;
    PartSettings settings{"MapEffect5"};
    MapBloom bloom{settings};
    // Read on the first frame that blooms.
    bool keyRead = false;
    float bloomBase = 0.0f;
    float beatStrength = 0.0f;
};

} // namespace Vostrel
