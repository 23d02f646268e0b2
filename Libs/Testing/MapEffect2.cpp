#include "Libs/Testing/MapEffect2.h"

#include "Libs/Common/Exception.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Math/Random.h"
#include "Libs/Mesh/MeshFunctions.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Testing/DemoParts.h"
#include "Libs/Testing/Utils/Panels.h"
#include "Libs/Testing/Utils/TextPanel.h"

#include <algorithm>

namespace Vostrel {

namespace {

const char* const morphSource = "pallokuutio2:Layer1";
const char* const morphFile = "data/Models/pallokuutio2.lwo";

// The graph every copy draws with: the rest shape plus both weighted morph
// targets, lit from one fixed direction, its alpha the "blend" uniform's w.
ShaderGraph copyGraph()
{
    ShaderGraph g;
    const ShaderValue w1 = g.uniform("morph.Morph1", 1), w2 = g.uniform("morph.Morph2", 1);
    const ShaderValue shape = g.vertexStream("location") + w2 * g.vertexStream("Morph2") + w1 * g.vertexStream("Morph1");
    const ShaderValue normal = normalize(g.vertexStream("normal") + w2 * g.vertexStream("Morph2_normal") +
                                         w1 * g.vertexStream("Morph1_normal"));
    g.setPosition(matrixProduct4(g.uniform("fullTransform", 4), shape));
    const ShaderValue light = dp3(-normal, g.constant4(1, 0, 1, 0)) + 0.2f;
    g.setColorResult(light * g.constant4(0.7f, 0.7f, 0.9f, 0.0f) + g.uniform("blend", 1));
    return g;
}

ShaderGraph terminalGraph()
{
    ShaderGraph g;
    const ShaderValue location = g.vertexStream("location");
    g.setPosition(matrixProduct4(g.uniform("fullTransform", 4), location));
    const ShaderValue world = g.uniform("meshTransform", 4);
    g.setColorResult(blinnPhongClamped(g.constant4(0.1f, 0.2f, 0.3f, 0.0f), g.constant4(0.5f, 0.5f, 0.5f, 0.0f),
                                       g.constantScalar(50.0f), matrixProduct4(world, location),
                                       matrixProduct3(world, g.vertexStream("normal")),
                                       g.uniform("cameraPosition", 1), g.constant4(5.0f, 7.0f, 3.0f, 1.0f)));
    return g;
}

} // namespace

std::unique_ptr<Mesh::ModifiableMesh> MapEffect2EndomorphCallback::onMeshLoaded(
    const std::string& fileName, int layer, std::unique_ptr<Mesh::ModifiableMesh>& mesh)
{
    if (layer != 1 || fileName != morphFile)
        return nullptr;
    mesh->computeNormals(0.0f, "location", "normal", "triangles");
    Mesh::makeMorphTargetNormals(*mesh, "Morph1");
    Mesh::makeMorphTargetNormals(*mesh, "Morph2");
    mesh->getTopology("triangles")->triangulatePolygons(mesh->getStream("location"));
    mesh->applyDiscontinuousMaps();
    mesh->freeze(static_cast<Mesh::StreamUsage>(4));
    return std::move(mesh);
}

MapEffect2Scene::MapEffect2Scene() : MapScene("MapEffect2")
{
    {
        MapEffect2EndomorphCallback callback;
        loadScene("data/Models/mapeffect2-2.sce", &callback);
    }
    // The copies take their shape and channels from this object: without
    // it they would load unprepared and draw nothing sensible.
    SceneMesh* source = scene->findMesh(morphSource);
    if (!source || !source->object)
        VOSTREL_THROW("MapEffect2: object " << morphSource << " not found in data/Models/mapeffect2-2.sce");
    morph1 = &source->object->requireAttribute("morph.Morph1");
    morph2 = &source->object->requireAttribute("morph.Morph2");

    readLinks("mapeffect2.links");
    setDefaultMaterial();
    terminalMaterial = std::make_unique<BiasMaterial>(terminalGraph());
    scene->setMaterial("terminaali2-4:Layer1", terminalMaterial.get());

    copyShader = std::make_unique<ShaderContext>(copyGraph());
    copyMaterial = std::make_unique<BasicSceneMaterial>(copyShader.get());
    copyMaterial->setBlendEnabled(true);
    copyMaterial->setSourceBlend(4);
    copyMaterial->setDestinationBlend(5);
    for (int i = 0; i < copyCount; ++i) {
        const std::string dummy = dummyName(i), copy = copyName(i);
        scene->addMesh(dummy, nullptr, "");
        scene->addMeshFromFile(copy, std::string(morphFile) + "@1", dummy);
        scene->setMaterial(copy, copyMaterial.get());
        scene->setIntConstant(copy, "FrontfaceAndBackface", 1);
        timeOffsets[i] = static_cast<float>(randomUInt32() * (1.0 / 4294967296.0) * -2.0);
        scene->setTimeOffset(copy, timeOffsets[i]);
        const Vec3 at = gridPosition(i);
        gridTransforms[i] = affineTransform(Matrix3(1.0f), at);
        scene->setExternalTransform(dummy, &gridTransforms[i]);
        scene->linkTransformByChannels(copy, morphSource);
    }
    scene->setVisible(morphSource, false);

    if (settings.getInt("useFog"))
        buildFog(10.0f, 100.0f);
    imagePanel = makeImagePanel();
    textPanel = makeTextPanel();
    buildLinks();
    buildParticles();
    buildTerminals();
    scene->addPass(BiasScenePass::instance());
    scene->addPass(LightScenePass::instance());
    prepare();
}

MapEffect2Scene::~MapEffect2Scene() = default;

std::string MapEffect2Scene::copyName(int i)
{
    return "pallokuutio2-" + std::to_string(i + 1);
}

std::string MapEffect2Scene::dummyName(int i)
{
    return "dummy" + std::to_string(i + 1);
}

Vec3 MapEffect2Scene::gridPosition(int i)
{
    return Vec3(static_cast<float>((i % 10) * 3.2 - 13.4), static_cast<float>((i / 10) * 3.2 - 13.4), 0.0f);
}

float MapEffect2Scene::copyAlpha(float copyTime)
{
    const double a = 1.0 - (static_cast<double>(copyTime) - 8.1) * 0.75;
    return static_cast<float>(std::min(1.0, std::max(0.0, a)));
}

void MapEffect2Scene::update(float time)
{
    cameraName = "Camera";
    updateToolkit(time);
    imagePanel->update(*scene, time, "terminal1");
    textPanel->update(*scene, time, cameraName);
    for (int i = 0; i < copyCount; ++i) {
        const std::string copy = copyName(i);
        const float copyTime = time + timeOffsets[i];
        const float w1 = morph1->evaluate(copyTime), w2 = morph2->evaluate(copyTime);
        scene->setUniform(copy, "morph.Morph1", Vec4(w1, w1, w1, 0.0f));
        scene->setUniform(copy, "morph.Morph2", Vec4(w2, w2, w2, 0.0f));
        scene->setUniform(copy, "blend", Vec4(0.0f, 0.0f, 0.0f, copyAlpha(copyTime)));
    }
    updateFog(time);
}

MapEffect2::MapEffect2() = default;

MapEffect2::~MapEffect2() = default;

void MapEffect2::init()
{
    prefillMapTargets(3);
    scene = std::make_unique<MapEffect2Scene>();
}

void MapEffect2::setTime(float seconds, int)
{
    sceneTime = static_cast<float>(seconds * timeFactor);
    scene->update(sceneTime);
}

void MapEffect2::render(RenderTexture& target)
{
    MapFrameTargets targets;
    RenderTexture* image = targets.acquireCleared();
    scene->getImagePanel().renderTexture(*image);
    RenderTexture* text = targets.acquire();
    scene->getTextPanel().renderTexture(*text);
    RenderTexture* picture = targets.acquireScene();
    renderToTarget(picture, scene.get(), sceneTime, 100);
    bloom.finish(target, *picture, [this] { return settings.getFloat("bloomBase"); });
}

namespace {

const RegisterDemoEffect registration("MapEffect2", [] { return std::unique_ptr<DemoEffect>(new MapEffect2); });

} // namespace

} // namespace Vostrel
