#include "Libs/Testing/AgentFollowEffect.h"

#include "Libs/Common/Exception.h"
#include "Libs/Common/StringUtils.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Math/Envelope.h"
#include "Libs/Math/EnvelopeVec3.h"
#include "Libs/Mesh/MeshFunctions.h"
#include "Libs/Mesh/MeshTopology.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Postprocessing/HDRLighting.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Testing/DemoParts.h"
#include "Libs/Testing/Properties.h"
#include "Libs/Testing/Utils/Utils.h"

#include <cmath>

namespace Vostrel {

namespace {

const char* const sceneFile = "data/Models/AgentFollow.sce";
const char* const portalName = "Portal:Layer1";
const char* const particleObject = "ParticleStreamMesh";

// Position, the world position and normal of a lit material.
struct Surface {
    ShaderValue position;
    ShaderValue normal;
};

Surface worldSurface(ShaderGraph& graph)
{
    ShaderValue location = graph.vertexStream("location");
    ShaderValue meshTransform = graph.uniform("meshTransform", 4);
    graph.setPosition(matrixProduct4(graph.uniform("fullTransform", 4), location));
    return {matrixProduct4(meshTransform, location), matrixProduct3(meshTransform, graph.vertexStream("normal"))};
}

void prepareLitMesh(Mesh::ModifiableMesh& mesh, bool morphs)
{
    mesh.computeNormals(181.0f, "location", "normal", "triangles");
    if (morphs) {
        Mesh::makeMorphTargetNormals(mesh, "Open");
        Mesh::makeMorphTargetNormals(mesh, "Closed");
    }
    mesh.getTopology("triangles")->triangulatePolygons(mesh.getStream("location"));
    mesh.applyDiscontinuousMaps();
    mesh.freeze(4);
}

const RegisterDemoEffect registration("AgentFollowEffect", [] {
    return std::unique_ptr<DemoEffect>(AgentFollowEffect::create());
});

} // namespace

std::unique_ptr<AgentFollowEffect> AgentFollowEffect::create()
{
    return std::make_unique<AgentFollowEffectImpl>();
}

std::unique_ptr<Mesh::ModifiableMesh> AgentMeshCallback::onMeshLoaded(const std::string& fileName, int,
                                                                      std::unique_ptr<Mesh::ModifiableMesh>& mesh)
{
    if (fileName.find("AgentFollow.lwo") != std::string::npos)
        prepareLitMesh(*mesh, false);
    else if (fileName.find("Portal.lwo") != std::string::npos)
        prepareLitMesh(*mesh, true);
    else
        return nullptr;
    return std::move(mesh);
}

AgentEffect::AgentEffect()
{
    AgentMeshCallback callback;
    lwScene = LwScene::create(sceneFile, &callback);
    LwScene& scene = *lwScene;

    // What the part looks up is checked here, so bad content names itself.
    auto requireMesh = [&](const std::string& name) {
        SceneMesh* mesh = scene.findMesh(name);
        if (!mesh)
            VOSTREL_THROW("AgentEffect: " << sceneFile << " has no mesh object '" << name << "'");
        return mesh;
    };
    portal = requireMesh(portalName)->object;
    requireMesh("Portal2:Layer1");
    requireMesh(particleObject);
    for (int i = 1; i <= panelCount; ++i)
        panels.push_back(requireMesh("quad:Layer1 (" + StringUtils::intToString(i) + ")"));
    SceneCamera* sceneCamera = scene.findCamera("Camera");
    if (!sceneCamera)
        VOSTREL_THROW("AgentEffect: " << sceneFile << " has no camera 'Camera'");
    camera = sceneCamera->object;
    // Channels the part animates by: keyed, not constant.
    auto requireAnimated = [&](const std::string& object, std::initializer_list<const char*> channels) {
        SceneObject* found = scene.getScene()->findObject(object);
        if (!found)
            VOSTREL_THROW("AgentEffect: " << sceneFile << " has no object '" << object << "'");
        for (const char* channel : channels) {
            const SceneObject::AttributeFunction* function = found->getAttributeFunction(channel);
            if (!function || function->isConstant())
                VOSTREL_THROW("AgentEffect: '" << object << "' in " << sceneFile << " has no animated '" << channel
                                               << "'");
        }
    };
    requireAnimated(portalName, {"morph.Open", "morph.Closed"});
    requireAnimated("HDRBeat", {"x"});
    requireAnimated("PortalLight", {"x", "y", "z"});

    auto addMaterial = [&](const ShaderGraph& graph) {
        shaders.push_back(std::make_unique<ShaderContext>(graph));
        materials.push_back(std::make_unique<BasicSceneMaterial>(shaders.back().get()));
        return materials.back().get();
    };

    {
        ShaderGraph graph;
        ShaderValue location = graph.vertexStream("location");
        ShaderValue morphed = location + graph.uniform("morph.Open", 1) * graph.vertexStream("Open") +
                              graph.uniform("morph.Closed", 1) * graph.vertexStream("Closed");
        ShaderValue meshTransform = graph.uniform("meshTransform", 4);
        graph.setPosition(matrixProduct4(graph.uniform("fullTransform", 4), morphed));
        graph.setColorResult(blinnPhong(graph.constant4(0.1f, 0.2f, 0.6f, 0), graph.constant4(0.5f, 0.5f, 0.7f, 0),
                                        graph.constantScalar(10.0f), matrixProduct4(meshTransform, location),
                                        matrixProduct3(meshTransform, graph.vertexStream("normal")),
                                        graph.uniform("cameraPosition", 1), graph.uniform("phongLightPos", 1)));
        scene.setMaterial(portalName, addMaterial(graph));
    }
    {
        ShaderGraph graph;
        graph.setPosition(matrixProduct4(graph.uniform("fullTransform", 4), graph.vertexStream("location")));
        graph.setColorResult(graph.constant4(0.1f, 0.2f, 0.1f, 0));
        scene.setMaterialByObjectName("Portal2", addMaterial(graph));
    }
    {
        ShaderGraph graph;
        const Surface s = worldSurface(graph);
        ShaderValue diffuse = graph.constant4(0, 0.3f, 0.2f, 0);
        ShaderValue specular = graph.constant4(1, 1, 1, 0);
        ShaderValue exponent = graph.constantScalar(10.0f);
        graph.setColorResult(blinnPhong(diffuse, specular, exponent, s.position, s.normal, graph.uniform("cameraPos", 1),
                                        graph.constant4(-6, 3, -3, 1)) +
                             blinnPhong(diffuse, specular, exponent, s.position, s.normal,
                                        graph.uniform("cameraPosition", 1), graph.constant4(0, 0, 0, 0)));
        BasicSceneMaterial* agent = addMaterial(graph);
        agent->setSourceBlend(Core::BLEND_FACTOR_COLOR);
        agent->setDestinationBlend(Core::BLEND_INVERSE_FACTOR_COLOR);
        agent->setBlendColor(Vec4(0.6f, 0.6f, 0.6f, 0.6f));
        agent->setBlendEnabled(true);
        scene.setMaterialByObjectName("AgentFollow", agent);
        scene.findMeshesByObjectName("AgentFollow", litByCamera);
    }
    {
        ShaderGraph graph;
        const Surface s = worldSurface(graph);
        ShaderValue diffuse = graph.constant4(1, 1, 1, 1);
        ShaderValue specular = graph.constant4(1, 1, 1, 0);
        ShaderValue exponent = graph.constantScalar(10.0f);
        graph.setColorResult(graph.constant4(1, 1, 1, 1) + graph.uniform("ambientIntensity", 1) +
                             blinnPhong(diffuse, specular, exponent, s.position, s.normal,
                                        graph.uniform("cameraPosition", 1), graph.constant4(5, 7, 3, 1)) +
                             blinnPhong(diffuse, specular, exponent, s.position, s.normal,
                                        graph.uniform("cameraPos", 1), graph.constant4(-6, 3, -3, 1)));
        scene.setMaterialByObjectName("quad", addMaterial(graph));
        scene.findMeshesByObjectName("quad", litByCamera);
    }

    panelBeat = envelopeFromDigits("10001010", 0.25f, 0.0f);
    animatedTexture = CachedTexture("data/Textures/Animations/lastu.jpg").texture;

    {
        ShaderGraph graph;
        ShaderValue texcoord = graph.vertexStream("texcoord");
        ShaderValue centre = matrixProduct4(graph.uniform("cameraSpace", 4), graph.vertexStream("location"));
        graph.setPosition(
            matrixProduct4(graph.uniform("perspectiveTransform", 4), centre + texcoord * graph.constant4(4, 4, 0, 0)));
        ShaderValue a = (graph.uniform("animationFrame", 1) + graph.vertexStream("frame")) * 0.25f;
        ShaderValue u = frac(a)[0];
        ShaderValue v = (a - frac(a)[0])[0] * 0.25f;
        ShaderValue cell = graph.constant4(1, 0, 0, 0) * u + graph.constant4(0, 1, 0, 0) * v;
        graph.setColorResult(
            texld(texcoord * graph.constant4(0.25f, 0.25f, 0, 0) + cell, graph.texture("texture1", 0)));
        BasicSceneMaterial* stream = addMaterial(graph);
        stream->setTextureCount(1);
        stream->setTexture(0, animatedTexture);
        stream->setBlendEnabled(true);
        stream->setSourceBlend(Core::BLEND_ONE);
        stream->setDestinationBlend(Core::BLEND_ONE);
        stream->setBlendColor(Vec4(1, 1, 1, 1));
        particles = std::make_unique<SpinningParticleMesh>();
        scene.setMesh(particleObject, particles->getMesh());
        scene.setMaterial(particleObject, stream);
        scene.setIntConstant(particleObject, "visible", 1);
    }
    {
        ShaderGraph graph;
        graph.setPosition(matrixProduct4(graph.uniform("fullTransform", 4), graph.vertexStream("location")));
        graph.setColorResult(graph.constant4(0.3f, 0.2f, 0.1f, 0) +
                             max(dp3(graph.vertexStream("normal"), normalize(graph.constant4(1, 2, 3, 0))), 0.0f));
        scene.setDefaultMaterial(addMaterial(graph));
    }

    hdrBeat = scene.getScene()->getAnimatedAttribute("HDRBeat", "x");
    portalLight = scene.getScene()->getPositionEnvelope("PortalLight");
    scene.prepare();
    renderer = scene.getRenderer();
}

AgentEffect::~AgentEffect() = default;

const Function<float, float>& AgentEffect::getPanelBeat() const
{
    return *panelBeat;
}

void AgentEffect::update(float time)
{
    LwScene& scene = *lwScene;
    for (const char* morph : {"morph.Open", "morph.Closed"}) {
        const float v = portal->getAttribute(morph, time);
        scene.setUniform(portalName, morph, Vec4(v, v, v, 0.0f));
    }
    const Vec3 light = portalLight->evaluate(time);
    for (const char* name : {portalName, "Portal2:Layer1"})
        scene.setUniform(name, "phongLightPos", Vec4(light[0], light[1], light[2], 0.0f));
    const float a = (panelBeat->evaluate(time) + 1.0f) * 0.5f;
    for (SceneMesh* panel : panels)
        panel->object->setUniform("ambientIntensity", Vec4(a, a, a, 1.0f));
    // The second light's eye: the camera, as for the first.
    const Vec4 eye = (*camera->getTransform(time))[3];
    for (SceneMesh* mesh : litByCamera)
        mesh->object->setUniform("cameraPos", eye);
    const float frame = static_cast<float>(static_cast<int>(time * 120.0f));
    scene.setUniform(particleObject, "animationFrame", Vec4(frame, 0.0f, 0.0f, 0.0f));
    particles->update(time, 0.0f);
}

void AgentEffect::render(float time, int)
{
    context.clear(3, Vec4(0.0f, 0.0f, 0.0f, 0.0f), 1.0f, 0);
    renderer->render("Camera", time);
}

AgentFollowEffectImpl::AgentFollowEffectImpl() = default;
AgentFollowEffectImpl::~AgentFollowEffectImpl() = default;

void AgentFollowEffectImpl::init()
{
    scene = std::make_unique<AgentEffect>();
    beat = scene->getHdrBeat();
    useBloom = Properties::getInt("AgentFollowEffect.useBloom", 0) != 0;
    useNoise = Properties::getInt("AgentFollowEffect.useNoise", 0) != 0;
    RenderTexture* first = RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8);
    RenderTexture* second = RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8);
    RenderTargetPool::release(first);
    RenderTargetPool::release(second);
}

void AgentFollowEffectImpl::setTime(float seconds, int)
{
    time = seconds;
    scene->update(time);
}

void AgentFollowEffectImpl::render(RenderTexture& target)
{
    PooledRenderTexture first(512, 512, Core::FORMAT_A8R8G8B8);
    PooledRenderTexture second(512, 512, Core::FORMAT_A8R8G8B8);
    renderToTarget(first.get(), scene.get(), time, 0);
    if (useBloom)
        blitHdrLighting(second.get(), first.get(), Vec4(1.0f, 1.1f, 1.0f, 1.0f), (beat->evaluate(time) + 1.0f) * 0.0005f);
    else
        blitCopy(second.get(), first.get());
    if (useNoise) {
        target.target->begin();
        blitCopy(nullptr, second.get());
        const float n = std::sin(time) * 0.025f + 0.1f;
        drawNoise(Vec4(n, n, n, n), Core::BLENDOP_REVERSE_SUBTRACT);
        target.target->end();
    } else {
        blitCopy(&target, second.get());
    }
}

} // namespace Vostrel
