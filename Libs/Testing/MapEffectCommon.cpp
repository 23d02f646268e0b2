#include "Libs/Testing/MapEffectCommon.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Postprocessing/HDRLighting.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Testing/Utils/Panels.h"
#include "Libs/Testing/Utils/TextPanel.h"
#include "Libs/Testing/Properties.h"
#include "Libs/Testing/Utils/FogLayers.h"
#include "Libs/Testing/Utils/LinkFile.h"
#include "Libs/Testing/Utils/Particles.h"

namespace Vostrel {

int PartSettings::getInt(const char* name, int defaultValue) const
{
    return Properties::getInt(key(name), defaultValue);
}

float PartSettings::getFloat(const char* name, float defaultValue) const
{
    return Properties::getFloat(key(name), defaultValue);
}

std::string PartSettings::getString(const char* name, const std::string& defaultValue) const
{
    return Properties::getString(key(name), defaultValue);
}

Vec4 PartSettings::getVec4(const char* name, const Vec4& defaultValue) const
{
    return Properties::getVec4(key(name), defaultValue);
}

std::string PartSettings::describe(std::initializer_list<const char*> names) const
{
    Properties::ReadRecord read;
    for (const char* name : names)
        getString(name);
    return "demo.props: " + read.describe();
}

MapScene::MapScene(const std::string& partName) : settings(partName) {}

MapScene::~MapScene() = default;

void MapScene::loadScene(const std::string& fileName, MeshLoadingCallback* callback)
{
    scene = LwScene::create(fileName, callback);
}

void MapScene::readLinks(const std::string& fileName)
{
    links = inContext("LinkFile(" + fileName + ")", [&] { return std::make_unique<LinkFile>(fileName); });
}

void MapScene::setDefaultMaterial()
{
    ShaderGraph graph;
    graph.setPosition(matrixProduct4(graph.uniform("fullTransform", 4), graph.vertexStream("location")));
    graph.setColorResult(graph.constantScalar(1.0f));
    defaultShader = std::make_unique<ShaderContext>(graph);
    defaultMaterial = std::make_unique<BasicSceneMaterial>(defaultShader.get());
    scene->setDefaultMaterial(defaultMaterial.get());
}

void MapScene::buildFog(float start, float end)
{
    fog = std::make_unique<FogLayers>(*scene, start, end);
}

// The settings are read one by one, so a failure lists them in a fixed order.
void MapScene::buildLinks(bool reverseBand)
{
    const std::string sisusName = settings.getString("sisusName");
    const std::string sisusMesh = settings.getString("sisusMesh");
    const std::string kehysMesh = settings.getString("kehysMesh");
    const Vec4 sisusColor = settings.getVec4("sisusColor");
    const Vec4 kehysColor = settings.getVec4("kehysColor");
    const float flowSize = settings.getFloat("flowSize");
    const int linkCount = settings.getInt("linkCount");
    links->buildFlows(*scene, sisusName, sisusMesh, kehysMesh, sisusColor, kehysColor, flowSize, linkCount,
                      reverseBand);
}

std::unique_ptr<ImagePanel> MapScene::makeImagePanel() const
{
    const std::string param = settings.getString("target1param");
    const std::string image = settings.getString("target1image");
    return std::make_unique<ImagePanel>(*scene, param, image);
}

std::unique_ptr<TextPanel> MapScene::makeTextPanel() const
{
    const std::string image = settings.getString("textPanel1image");
    const std::string text = settings.getString("textPanel1text");
    const std::string param = settings.getString("textPanel1param");
    return std::make_unique<TextPanel>(*scene, image, text, param);
}

void MapScene::buildParticles()
{
    const int count = settings.getInt("particleCount");
    const float systemSize = settings.getFloat("particleSystemSize");
    const float size = settings.getFloat("particleSize");
    const float speed = settings.getFloat("particleSpeed");
    const float rotationSpeed = settings.getFloat("particleRotationSpeed");
    const std::string image = settings.getString("particleImage");
    const std::string target = settings.getString("particleTarget");
    particles = std::make_unique<ParticleSystem>(*scene, count, systemSize, size, speed, rotationSpeed, image, target);
}

void MapScene::buildTerminals()
{
    const std::string baseName = settings.getString("terminalBaseName");
    const std::string image = settings.getString("terminalImage");
    const int count = settings.getInt("terminalCount");
    terminals = std::make_unique<TerminalSprites>(*scene, baseName, image, count);
}

void MapScene::prepare()
{
    scene->prepare();
    renderer = scene->getRenderer();
}

void MapScene::updateToolkit(float time)
{
    links->update(time, *scene);
    particles->update(*scene, time);
    terminals->update(*scene, time);
}

void MapScene::updateFog(float time)
{
    if (fog)
        fog->update(*scene, time, cameraName);
}

void MapScene::render(float time, int)
{
    context.clear(Core::CLEAR_COLOR | Core::CLEAR_DEPTH, Vec4(0.0f, 0.0f, 0.0f, 0.0f), 1.0f, 0);
    renderer->render(cameraName, time);
}

void prefillMapTargets(int count)
{
    MapFrameTargets targets;
    for (int i = 0; i < count; ++i)
        targets.acquire();
}

MapFrameTargets::~MapFrameTargets()
{
    if (scene)
        RenderTargetPool::release(scene);
    for (RenderTexture* target : others)
        RenderTargetPool::release(target);
}

RenderTexture* MapFrameTargets::acquire()
{
    others.push_back(RenderTargetPool::acquire(mapTargetSize, mapTargetSize, Core::FORMAT_A8R8G8B8));
    return others.back();
}

RenderTexture* MapFrameTargets::acquireCleared()
{
    RenderTexture* target = acquire();
    clearTarget(target, Vec4(0.0f, 0.0f, 0.0f, 0.0f));
    return target;
}

RenderTexture* MapFrameTargets::acquireScene()
{
    if (!scene)
        scene = RenderTargetPool::acquire(mapTargetSize, mapTargetSize, Core::FORMAT_A8R8G8B8);
    return scene;
}

const Vec4 MapBloom::parameter(1.2f, 1.2f, 1.2f, 1.2f);

bool MapBloom::isEnabled()
{
    if (!read) {
        enabled = settings.getInt("useBloom") != 0;
        read = true;
    }
    return enabled;
}

void MapBloom::finish(RenderTexture& target, RenderTexture& scene, const std::function<float()>& key)
{
    if (isEnabled())
        blitHdrLighting(&target, &scene, parameter, key());
    else
        blitCopy(&target, &scene, 0, 0, -1, -1);
}

} // namespace Vostrel
