#include "Libs/Testing/MapEffect1.h"

#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Testing/DemoParts.h"
#include "Libs/Testing/Utils/Panels.h"
#include "Libs/Testing/Utils/TextPanel.h"

namespace Vostrel {

MapEffect1Scene::MapEffect1Scene() : MapScene("MapEffect1")
{
    loadScene("data/Models/mapeffect1.sce");
    readLinks("mapeffect1.links");
    setDefaultMaterial();
    if (settings.getInt("useFog"))
        buildFog(350.0f, 1050.0f);
    buildLinks();
    buildParticles();
    buildTerminals();
    textPanel = std::make_unique<TextPanel>(*scene, "data/Textures/mainUIFrame.svg", "test2.txt", "TextSpeed1");
    imagePanel = std::make_unique<ImagePanel>(*scene, "TargetMesh1", "data/Textures/valitsin1.png");
    prepare();
}

MapEffect1Scene::~MapEffect1Scene() = default;

void MapEffect1Scene::update(float time)
{
    cameraName = time <= cutTime ? "Camera" : "Camera2";
    updateToolkit(time);
    updateFog(time);
    textPanel->update(*scene, time, cameraName);
    imagePanel->update(*scene, time, "terminaali1");
}

MapEffect1::MapEffect1() = default;

MapEffect1::~MapEffect1() = default;

void MapEffect1::init()
{
    prefillMapTargets(4);
    scene = std::make_unique<MapEffect1Scene>();
}

void MapEffect1::setTime(float seconds, int)
{
    sceneTime = static_cast<float>(seconds * timeFactor);
    scene->update(sceneTime);
}

void MapEffect1::render(RenderTexture& target)
{
    MapFrameTargets targets;
    RenderTexture* text = targets.acquire();
    RenderTexture* image = targets.acquireCleared();
    RenderTexture* picture = targets.acquireScene();
    scene->getTextPanel().renderTexture(*text);
    scene->getImagePanel().renderTexture(*image);
    renderToTarget(picture, scene.get(), sceneTime, 100);
    bloom.finish(target, *picture, [this] { return settings.getFloat("bloomBase"); });
}

namespace {

const RegisterDemoEffect registration("MapEffect1", [] { return std::unique_ptr<DemoEffect>(new MapEffect1); });

} // namespace

} // namespace Vostrel
