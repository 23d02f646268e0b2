#include "Libs/Testing/MapEffect5.h"

#include "Libs/Common/Exception.h"
#include "Libs/Math/Envelope.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Testing/DemoParts.h"
#include "Libs/Testing/Utils/Panels.h"
#include "Libs/Testing/Utils/TextPanel.h"
#include "Libs/Testing/Utils/Utils.h"

namespace Vostrel {

MapEffect5Scene::MapEffect5Scene() : MapEffect5Scene("data/Models/mapeffect5.sce", "mapeffect5.links") {}

MapEffect5Scene::MapEffect5Scene(const char* sceneFile, const char* linksFile) : MapScene("MapEffect5")
{
    loadScene(sceneFile);
    readLinks(linksFile);
    setDefaultMaterial();
    if (settings.getInt("useFog"))
        buildFog(10.0f, 100.0f);
    imagePanel = makeImagePanel();
    textPanel = makeTextPanel();
    buildLinks();
    buildParticles();
    buildTerminals();
    prepare();
}

MapEffect5Scene::~MapEffect5Scene() = default;

const char* MapEffect5Scene::terminalAt(float time)
{
    const double t = time;
    if (t >= 5.9 && t < 6.7)
        return "terminal2";
    if (t > 8.7 && t < 9.6)
        return "terminal3";
    return "terminal1";
}

std::string MapEffect5Scene::cameraAt(float) const
{
    return "Camera";
}

void MapEffect5Scene::update(float time)
{
    cameraName = cameraAt(time);
    updateToolkit(time);
    markedTerminal = terminalAt(time);
    imagePanel->update(*scene, time, markedTerminal);
    textPanel->update(*scene, time, cameraName);
    updateFog(time);
}

MapEffect5Scene2::MapEffect5Scene2() : MapEffect5Scene("data/Models/mapeffect5-2.sce", "mapeffect5-2.links") {}

MapEffect5Scene2::~MapEffect5Scene2() = default;

std::string MapEffect5Scene2::cameraAt(float time) const
{
    return time >= overviewTime ? "OverviewCamera" : "Camera2";
}

MapEffect5::MapEffect5() = default;

MapEffect5::~MapEffect5() = default;

void MapEffect5::init()
{
    // A frame holds three targets at once: the panels' and the scene's.
    prefillMapTargets(3);
    scene = std::make_unique<MapEffect5Scene>();
    scene2 = std::make_unique<MapEffect5Scene2>();
    beat = envelopeFromDigits(settings.getString("hdrBeatString", "0"), 1.0f, 0.0f);
}

void MapEffect5::setTime(float seconds, int newVariant)
{
    sceneTime = seconds;
    variant = newVariant;
    if (variant == 0)
        scene->update(sceneTime);
    else if (variant == 1)
        scene2->update(sceneTime);
}

MapEffect5Scene& MapEffect5::getShownScene() const
{
    if (variant == 0)
        return *scene;
    return *scene2;
}

void MapEffect5::render(RenderTexture& target)
{
    MapFrameTargets targets;
    RenderTexture* image = targets.acquireCleared();
    RenderTexture* text = targets.acquire();
    MapEffect5Scene& shown = getShownScene();
    shown.getImagePanel().renderTexture(*image);
    shown.getTextPanel().renderTexture(*text);
    RenderTexture* picture = targets.acquireScene();
    renderToTarget(picture, &shown, sceneTime, 100);
    bloom.finish(target, *picture, [this] {
        if (!keyRead) {
            bloomBase = settings.getFloat("bloomBase");
            beatStrength = settings.getFloat("hdrBeatStrength");
            keyRead = true;
        }
        const float pulse = inContext([this] { return settings.describe({"hdrBeatString"}); },
                                      [this] { return beat->evaluate(sceneTime); });
        return pulse * beatStrength + bloomBase;
    });
}

namespace {

const RegisterDemoEffect registration("MapEffect5", [] { return std::unique_ptr<DemoEffect>(new MapEffect5); });

} // namespace

} // namespace Vostrel
