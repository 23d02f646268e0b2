#include "Libs/Testing/AttackEffect.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/RenderContext.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Math/Envelope.h"
#include "Libs/Math/EnvelopeVec3.h"
#include "Libs/Math/Matrix.h"
#include "Libs/Mesh/MeshFunctions.h"
#include "Libs/Mesh/MeshTopology.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Postprocessing/Blitter.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Testing/DemoParts.h"

#include <algorithm>
#include <array>
#include <new>

namespace Vostrel {

namespace {

const Core::TextureFormat glowFormat = Core::FORMAT_A8R8G8B8;
// The glow chain's sizes, whatever the window: scene, alpha, two halvings,
// the blur and its scratch.
const std::array<std::array<int, 2>, 6> glowSizes = {
    {{800, 600}, {800, 600}, {400, 300}, {200, 150}, {200, 150}, {200, 150}}};

ShaderGraph alphaAsGreyGraph()
{
    ShaderGraph graph;
    graph.setPosition(graph.vertexStream("location") * graph.constant4(1, 1, 1, 1));
    ShaderValue t = texld(graph.vertexStream("texcoord"), graph.texture("texture", Core::TEXTURE_TYPE_2D));
    graph.setColorResult(graph.constant4(1, 1, 1, 0) * t[3]);
    return graph;
}

// Lit(d, e) of the attack's surfaces: clamped Blinn-Phong under a fixed light.
ShaderValue attackLit(ShaderGraph& graph, const Vec4& diffuse, float exponent, const ShaderValue& p,
                      const ShaderValue& n)
{
    ShaderValue meshTransform = graph.uniform("meshTransform", 4);
    return blinnPhongClamped(graph.constant4(diffuse[0], diffuse[1], diffuse[2], diffuse[3]),
                             graph.constant4(1, 1, 1, 0), graph.constantScalar(exponent),
                             matrixProduct4(meshTransform, p), matrixProduct3(meshTransform, n),
                             graph.uniform("cameraPosition", 1), graph.constant4(5, 7, 3, 1));
}

std::unique_ptr<BiasMaterial> litMaterial(const Vec4& diffuse, float exponent)
{
    ShaderGraph graph = placedGraph();
    graph.setColorResult(
        attackLit(graph, diffuse, exponent, graph.vertexStream("location"), graph.vertexStream("normal")));
    return std::make_unique<BiasMaterial>(graph);
}

std::unique_ptr<BiasMaterial> flatMaterial(const Vec4& colour)
{
    ShaderGraph graph = placedGraph();
    graph.setColorResult(graph.constant4(colour[0], colour[1], colour[2], colour[3]));
    return std::make_unique<BiasMaterial>(graph);
}

// Adds the source times the blend factor: see-through glass.
void setGlassBlend(BiasMaterial& material, float factor)
{
    material.setBlendMode(Core::BLENDOP_ADD, Core::BLEND_ONE, Core::BLEND_FACTOR_COLOR, factor, factor, factor,
                          factor, false, Core::BLENDOP_ADD, Core::BLEND_ONE, Core::BLEND_ONE);
}

// Every triangle turned about its own random frame by "seedRotation" and
// pushed along its normal by "dtime".
std::unique_ptr<BiasMaterial> explodeMaterial()
{
    ShaderGraph graph;
    ShaderValue mx0 = graph.vertexStream("mx0"), mx1 = graph.vertexStream("mx1"), mx2 = graph.vertexStream("mx2");
    ShaderValue rotation = graph.uniform("seedRotation", 4);
    auto turn = [&](const ShaderValue& v) {
        ShaderValue r = matrixProduct3(rotation, mx0 * v[0] + mx1 * v[1] + mx2 * v[2]);
        return compose4(dp3(mx0, r), dp3(mx1, r), dp3(mx2, r), graph.constantScalar(0.0f));
    };
    ShaderValue normal = graph.vertexStream("normal");
    ShaderValue centroid = graph.vertexStream("centroid");
    ShaderValue p = turn(graph.vertexStream("location") - centroid) + centroid + graph.uniform("dtime", 1) * normal;
    graph.setPosition(matrixProduct4(graph.uniform("fullTransform", 4), p));
    graph.setColorResult(attackLit(graph, Vec4(0.4f, 0.5f, 0.6f, 0.0f), 30.0f, p, turn(normal)) *
                         graph.uniform("colScale", 1));
    return std::make_unique<BiasMaterial>(graph);
}

} // namespace

ShaderGraph placedGraph()
{
    ShaderGraph graph;
    graph.setPosition(matrixProduct4(graph.uniform("fullTransform", 4), graph.vertexStream("location")));
    return graph;
}

void clearColourAndDepth()
{
    Core::RenderContext context;
    context.clear(3, Vec4(0.0f, 0.0f, 0.0f, 0.0f), 1.0f, 0);
}

std::unique_ptr<Mesh::ModifiableMesh> linesFromCurves(std::unique_ptr<Mesh::ModifiableMesh>& mesh,
                                                      int samplesPerCurve)
{
    // The curves and their channels are ours, whatever happens on the way.
    struct Curves {
        std::vector<EnvelopeVec3*> list;
        ~Curves()
        {
            for (EnvelopeVec3* curve : list) {
                delete curve->getX();
                delete curve->getY();
                delete curve->getZ();
                delete curve;
            }
        }
    } curves;
    Mesh::extractCurves(*mesh, curves.list);
    const std::vector<Function<float, Vec3>*> functions(curves.list.begin(), curves.list.end());
    std::unique_ptr<Mesh::ModifiableMesh> lines = Mesh::createLineMeshFromCurves(functions, samplesPerCurve);
    mesh.reset();
    return lines;
}

// ---- Glow -------------------------------------------------------------------------

AlphaGlow::AlphaGlow() : alphaBlitter(createGenericFullscreenBlitter(alphaAsGreyGraph().build()))
{
    std::vector<RenderTexture*> taken;
    for (const std::array<int, 2>& size : glowSizes)
        taken.push_back(RenderTargetPool::acquire(size[0], size[1], glowFormat));
    for (RenderTexture* entry : taken)
        RenderTargetPool::release(entry);
}

AlphaGlow::~AlphaGlow() = default;

void AlphaGlow::render(Renderable& scene, float time, RenderTexture& target, float glowWeight)
{
    std::array<std::unique_ptr<PooledRenderTexture>, glowSizes.size()> t;
    for (size_t i = 0; i < glowSizes.size(); ++i)
        t[i] = std::make_unique<PooledRenderTexture>(glowSizes[i][0], glowSizes[i][1], glowFormat);
    renderToTarget(t[0]->get(), &scene, time, 0);
    t[1]->get()->target->begin();
    clearColourAndDepth();
    alphaBlitter->setTexture("texture", t[0]->get()->texture);
    alphaBlitter->blit();
    t[1]->get()->target->end();
    downsample(t[2]->get()->target, t[1]->get()->texture);
    downsample(t[3]->get()->target, t[2]->get()->texture);
    gaussianBlur(t[4]->get()->target, t[3]->get()->texture, 5, 1.0f, t[5]->get());
    blendWeighted(target.target, t[4]->get()->texture, t[0]->get()->texture, glowWeight, 1.0f);
}

// ---- Scene ------------------------------------------------------------------------

AttackScene::AttackScene()
try {
    {
        AttackSceneMeshCallback callback;
        lwScene = LwScene::create("data/Models/con2.sce", &callback);
    }
    surface = litMaterial(Vec4(0.4f, 0.5f, 0.6f, 0.0f), 50.0f);
    lwScene->setDefaultMaterial(surface.get());

    glass = litMaterial(Vec4(0.4f, 0.5f, 0.6f, 0.0f), 30.0f);
    setGlassBlend(*glass, 0.5f);
    glass->setSortKey(1.0f);
    glass->getContext().setCullMode(Core::CULL_NONE);

    explode = explodeMaterial();
    setGlassBlend(*explode, 0.5f);
    explode->setSortKey(1.0f);
    explode->getContext().setCullMode(Core::CULL_NONE);
    explode->setUniformFloat("dtime", 0.0f);

    wire = flatMaterial(Vec4(0.5f, 0.5f, 0.5f, 1.0f));
    wire->setTopologyName("lines");
    wire->setSortKey(1.0f);

    structure = std::make_unique<MultipassMaterial>();
    structure->addEntry(wire.get(), true);
    structure->addEntry(glass.get(), true);
    structure->addEntry(explode.get(), false);
    structure->setSortKey(1.0f);
    lwScene->setMaterial("con3:Layer1", structure.get());
    lwScene->setMaterial("con3:Layer2", structure.get());

    curveLines = flatMaterial(Vec4(0.5f, 0.5f, 0.5f, 1.0f));
    curveLines->setSortKey(0.5f);
    curveLines->getContext().setBlending(true);
    curveLines->setTopologyName("lines");
    lwScene->setMaterial("con3:Layer11", curveLines.get());

    bright = flatMaterial(Vec4(0.7f, 0.7f, 1.0f, 1.0f));
    bright->setSortKey(1.0f);
    bright->getContext().setBlending(true);
    lwScene->setMaterial("con3:Layer12", bright.get());

    {
        ShaderGraph graph = placedGraph();
        graph.setColorResult(attackLit(graph, Vec4(0.8f, 0.4f, 0.4f, 0.0f), 20.0f, graph.vertexStream("location"),
                                       graph.vertexStream("normal")) +
                             graph.constant4(0, 0, 0, 0.4f));
        shaded = std::make_unique<BiasMaterial>(graph);
    }
    lwScene->setMaterial("con3:Layer13", shaded.get());

    lwScene->addPass(BiasScenePass::instance());
    lwScene->prepare();
    renderer = lwScene->getRenderer();
    // Checked now rather than at the first frame.
    if (!lwScene->findCamera("Camera"))
        VOSTREL_THROW("AttackScene: no camera \"Camera\"");
} catch (Exception&) {
    reportContext("In AttackScene(data/Models/con2.sce)");
}

// The scene goes before the materials its renderer points at.
AttackScene::~AttackScene() { lwScene.reset(); }

void AttackScene::update(float t)
{
    if (t < 20.0f)
        return;
    const float d = t - 20.0f;
    std::vector<MultipassMaterial::Entry>& entries = structure->getEntries();
    entries[0].enabled = false;
    entries[1].enabled = false;
    entries[2].enabled = true;
    colScale = std::max(8.0f - d, 0.0f) * 0.125f;
    explode->setUniformFloat("colScale", colScale);
    blendFactor = 1.0f - 0.5f * colScale;
    setGlassBlend(*explode, blendFactor);
    dtime = d * 0.3f;
    explode->setUniformFloat("dtime", dtime);
    explode->setUniformMatrix("seedRotation", rotationMatrix4(Vec3(1.0f, 0.0f, 0.0f), 2.0f * d));
}

void AttackScene::render(float time, int)
{
    clearColourAndDepth();
    renderer->render("Camera", time);
    drawNoise(Vec4(0.1f, 0.1f, 0.1f, 0.0f), Core::BLENDOP_REVERSE_SUBTRACT);
}

// ---- Mesh preparation ---------------------------------------------------------------

namespace {

void freezeWithNormals(Mesh::ModifiableMesh& mesh, float angle)
{
    mesh.computeNormals(angle, "location", "normal", "triangles");
    mesh.getTopology("triangles")->triangulatePolygons(mesh.getStream("location"));
    mesh.applyDiscontinuousMaps();
    mesh.freeze(4);
}

} // namespace

std::unique_ptr<Mesh::ModifiableMesh> AttackSceneMeshCallback::onMeshLoaded(const std::string& fileName, int layer,
                                                                           std::unique_ptr<Mesh::ModifiableMesh>& mesh)
{
    if (fileName != "data/Models/con3.lwo")
        return nullptr;
    if (layer == 1 || layer == 2) {
        Mesh::collectEdges(*mesh, "triangles", "lines");
        mesh->computeNormals(0.0f, "location", "normal", "triangles");
        Mesh::addTriangleExplodeStreams(*mesh);
        mesh->getTopology("triangles")->triangulatePolygons(mesh->getStream("location"));
        mesh->applyDiscontinuousMaps();
        mesh->freeze(4);
        return std::move(mesh);
    }
    if (layer == 11)
        return linesFromCurves(mesh, 50);
    if (layer < 3)
        return nullptr;
    freezeWithNormals(*mesh, layer == 13 ? 181.0f : 30.0f);
    return std::move(mesh);
}

// ---- Part ---------------------------------------------------------------------------

AttackEffect* AttackEffect::create() { return new AttackEffectImpl; }

void AttackEffectImpl::init()
{
    scene = std::make_unique<AttackScene>();
    glow = std::make_unique<AlphaGlow>();
}

void AttackEffectImpl::release() { scene.reset(); }

void AttackEffectImpl::setTime(float seconds, int)
{
    time = seconds;
    scene->update(time);
}

float AttackEffectImpl::glowWeight(float time) { return time <= 44.0f ? 1.0f : time - 43.0f; }

void AttackEffectImpl::render(RenderTexture& target) { glow->render(*scene, time, target, glowWeight(time)); }

static RegisterDemoEffect registration("AttackEffect",
                                       [] { return std::unique_ptr<DemoEffect>(AttackEffect::create()); });

} // namespace Vostrel
