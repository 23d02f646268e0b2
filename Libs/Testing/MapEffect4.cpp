#include "Libs/Testing/MapEffect4.h"

#include "Libs/Math/Envelope.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Testing/DemoParts.h"
#include "Libs/Testing/Utils/Panels.h"
#include "Libs/Testing/Utils/Utils.h"

namespace Vostrel {

MapEffect4Scene::MapEffect4Scene() : MapScene("MapEffect4")
{
    loadScene("data/Models/mapeffect4.sce");
    readLinks("mapeffect4.links");
    setDefaultMaterial();
    buildFog(10.0f, 100.0f);
    imagePanel = makeImagePanel();
    buildLinks(true);
    buildParticles();
    buildTerminals();
    prepare();
}

MapEffect4Scene::~MapEffect4Scene() = default;

const char* MapEffect4Scene::terminalAt(float time)
{
    if (time >= 0.0f && time < 2.0f)
        return "terminal2";
    if (time >= 2.0f && time < 4.0f)
        return "terminal3";
    if (time >= 4.0f && time < 6.0f)
        return "terminal4";
    return "terminal1";
}

void MapEffect4Scene::update(float time)
{
    cameraName = "Camera";
    markedTerminal = terminalAt(time);
    updateToolkit(time);
    imagePanel->update(*scene, time, markedTerminal);
    updateFog(time);
}

MapEffect4::MapEffect4() = default;

MapEffect4::~MapEffect4() = default;

void MapEffect4::init()
{
    scene = std::make_unique<MapEffect4Scene>();
    prefillMapTargets(2);
    beat = envelopeFromDigits("10101010", 1.0f, 0.0f);
}

void MapEffect4::setTime(float seconds, int)
{
    sceneTime = static_cast<float>(seconds * timeFactor);
    scene->update(sceneTime);
}

float MapEffect4::bloomKey() const
{
    return beat->evaluate(sceneTime) * beatKey + settings.getFloat("bloomBase");
}

void MapEffect4::render(RenderTexture& target)
{
    MapFrameTargets targets;
    RenderTexture* image = targets.acquireCleared();
    RenderTexture* picture = targets.acquireScene();
    scene->getImagePanel().renderTexture(*image);
    renderToTarget(picture, scene.get(), sceneTime, 100);
    bloom.finish(target, *picture, [this] { return bloomKey(); });
}

namespace {

const RegisterDemoEffect registration("MapEffect4", [] { return std::unique_ptr<DemoEffect>(new MapEffect4); });

} // namespace

} // namespace Vostrel
