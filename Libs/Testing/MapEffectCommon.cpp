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
    std::string text = "demo.props:";
    for (const char* name : names)
        text += std::string(text.back() == ':' ? " " : ", ") + key(name) + " \"" + getString(name) + "\"";
    return text;
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

void MapScene::buildLinks(bool reverseBand)
{
    links->buildFlows(*scene, settings.getString("sisusName"), settings.getString("sisusMesh"),
                      settings.getString("kehysMesh"), settings.getVec4("sisusColor"), settings.getVec4("kehysColor"),
                      settings.getFloat("flowSize"), settings.getInt("linkCount"), reverseBand);
}

std::unique_ptr<ImagePanel> MapScene::makeImagePanel() const
{
    return inContext(settings.describe({"target1param", "target1image"}), [&] {
        return std::make_unique<ImagePanel>(*scene, settings.getString("target1param"),
                                            settings.getString("target1image"));
    });
}

std::unique_ptr<TextPanel> MapScene::makeTextPanel() const
{
    return inContext(settings.describe({"textPanel1image", "textPanel1text", "textPanel1param"}), [&] {
        return std::make_unique<TextPanel>(*scene, settings.getString("textPanel1image"),
                                           settings.getString("textPanel1text"), settings.getString("textPanel1param"));
    });
}

void MapScene::buildParticles()
{
    particles = std::make_unique<ParticleSystem>(
        *scene, settings.getInt("particleCount"), settings.getFloat("particleSystemSize"),
        settings.getFloat("particleSize"), settings.getFloat("particleSpeed"),
        settings.getFloat("particleRotationSpeed"), settings.getString("particleImage"),
        settings.getString("particleTarget"));
}

void MapScene::buildTerminals()
{
    terminals = std::make_unique<TerminalSprites>(*scene, settings.getString("terminalBaseName"),
                                                  settings.getString("terminalImage"), settings.getInt("terminalCount"));
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
