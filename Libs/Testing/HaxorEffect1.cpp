#include "Libs/Testing/HaxorEffect1.h"

#include "Libs/Common/Exception.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Image/Image.h"
#include "Libs/Math/Delaunay3d.h"
#include "Libs/Math/Random.h"
#include "Libs/Mesh/MeshFunctions.h"
#include "Libs/Mesh/MeshStream.h"
#include "Libs/Mesh/MeshTopology.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Mesh/Subdivision/Subdivision.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Testing/AttackEffect.h"
#include "Libs/Testing/DemoParts.h"

#include <cmath>
#include <vector>

namespace Vostrel {

namespace {

const char* const treeFile = "data/Models/itree.lwo";
const char* const boxFile = "data/Models/box4.lwo";
const int boxCount = 64;

std::string numbered(const char* base, int i) { return std::string(base) + " (" + std::to_string(i) + ")"; }

ShaderValue rgb0(ShaderGraph& graph, float r, float g, float b) { return graph.constant4(r, g, b, 0.0f); }

// Attenuated Blinn-Phong under "lightPos" at the object's world position.
ShaderValue litAttenuated(ShaderGraph& graph, const ShaderValue& diffuse, float exponent, const ShaderValue& p,
                          const ShaderValue& n, const char* eye)
{
    ShaderValue meshTransform = graph.uniform("meshTransform", 4);
    return blinnPhongAttenuated(diffuse, rgb0(graph, 1.2f, 1.2f, 1.2f), graph.constantScalar(exponent),
                                matrixProduct4(meshTransform, p), matrixProduct3(meshTransform, n),
                                graph.uniform(eye, 1), graph.uniform("lightPos", 1));
}

std::unique_ptr<BiasMaterial> morphSurfaceMaterial()
{
    ShaderGraph graph;
    ShaderValue w1 = graph.uniform("mesh:morph.Morph", 1), w2 = graph.uniform("mesh:morph.Morph 2", 1),
                w3 = graph.uniform("mesh:morph.Morph 3", 1);
    ShaderValue p = graph.vertexStream("location") + w1 * graph.vertexStream("Morph") +
                    w2 * graph.vertexStream("Morph 2") + w3 * graph.vertexStream("Morph 3");
    ShaderValue n = graph.vertexStream("normal") + w1 * graph.vertexStream("Morph_normal") +
                    w2 * graph.vertexStream("Morph 2_normal") + w3 * graph.vertexStream("Morph 3_normal");
    graph.setPosition(matrixProduct4(graph.uniform("fullTransform", 4), p));
    graph.setColorResult(litAttenuated(graph, rgb0(graph, 0.24f, 0.36f, 0.48f), 60.0f, p, n, "cameraPos") *
                         rgb0(graph, 5, 5, 5));
    return std::make_unique<BiasMaterial>(graph);
}

std::unique_ptr<BiasMaterial> litMaterial(const Vec3& diffuse, float exponent, float gain)
{
    ShaderGraph graph = placedGraph();
    ShaderValue colour = litAttenuated(graph, rgb0(graph, diffuse[0] * 1.2f, diffuse[1] * 1.2f, diffuse[2] * 1.2f),
                                       exponent, graph.vertexStream("location"), graph.vertexStream("normal"),
                                       "cameraPosition");
    graph.setColorResult(gain == 1.0f ? colour : colour * rgb0(graph, gain, gain, gain));
    return std::make_unique<BiasMaterial>(graph);
}

// Lit tiles whose alpha (the glow) is the texture's red times the object's
// flash value.
std::unique_ptr<BiasMaterial> flickerTilesMaterial(Core::Texture* tiles)
{
    ShaderGraph graph = placedGraph();
    ShaderValue t = texld(graph.vertexStream("Texture"), graph.texture("texture", Core::TEXTURE_TYPE_2D));
    ShaderValue meshTransform = graph.uniform("meshTransform", 4);
    ShaderValue lit = blinnPhong(t, graph.constantScalar(1.0f), graph.constantScalar(50.0f),
                                 matrixProduct4(meshTransform, graph.vertexStream("location")),
                                 matrixProduct3(meshTransform, graph.vertexStream("normal")),
                                 graph.uniform("cameraPosition", 1), graph.uniform("lightPos", 1));
    graph.setColorResult(lit * graph.constant4(1, 1, 1, 0) +
                         graph.uniform("mesh:color", 1) * t[0] * graph.constant4(0, 0, 0, 0.8f));
    auto material = std::make_unique<BiasMaterial>(graph);
    material->setBlendMode(Core::BLENDOP_ADD, Core::BLEND_ONE, Core::BLEND_FACTOR_COLOR, 0.5f, 0.5f, 0.5f, 0.5f,
                           false, Core::BLENDOP_ADD, Core::BLEND_ONE, Core::BLEND_ONE);
    material->setTexture("texture", tiles);
    material->setSortKey(1.0f);
    return material;
}

Vec3 position(const Matrix4& m) { return Vec3(m(0, 3), m(1, 3), m(2, 3)); }

} // namespace

// ---- Line clouds ----------------------------------------------------------------------

void spreadPoints(int n, float* points)
{
    Vec3* p = reinterpret_cast<Vec3*>(points);
    static_assert(sizeof(Vec3) == 3 * sizeof(float), "points are packed floats");
    for (int i = 0; i < n; ++i)
        p[i] = randomPointInUnitSphere();
    std::vector<Vec3> force(static_cast<size_t>(n));
    for (int pass = 0; pass < 100; ++pass) {
        std::fill(force.begin(), force.end(), Vec3(0.0f));
        for (int i = 0; i < n; ++i)
            for (int j = i + 1; j < n; ++j) {
                const Vec3 d = p[j] - p[i];
                const double length2 = static_cast<double>(d[0]) * d[0] + static_cast<double>(d[1]) * d[1] +
                                       static_cast<double>(d[2]) * d[2];
                // Coincident points push nothing rather than everything to infinity.
                if (length2 == 0.0)
                    continue;
                const double scale = 1.0 / (length2 * std::sqrt(length2));
                const Vec3 f(static_cast<float>(d[0] * scale), static_cast<float>(d[1] * scale),
                             static_cast<float>(d[2] * scale));
                force[i] -= f;
                force[j] += f;
            }
        for (int i = 0; i < n; ++i) {
            p[i] += 0.01f * force[i];
            for (int k = 0; k < 3; ++k)
                if (std::fabs(p[i][k]) > 1.0f)
                    p[i] *= 1.0f / std::fabs(p[i][k]);
        }
    }
    for (int i = 0; i < n; ++i)
        p[i] += 0.01f * randomPointInUnitSphere();
}

std::unique_ptr<Mesh::ModifiableMesh> createDelaunayLineMesh()
{
    std::unique_ptr<Mesh::ModifiableMesh> mesh = Mesh::ModifiableMesh::createEmpty();
    std::vector<Vec3> points(80);
    spreadPoints(80, &points[0][0]);
    Delaunay3d delaunay;
    const std::vector<std::array<int, 4>> tetrahedra = delaunay.tetrahedralize(80, points.data());
    const int k = static_cast<int>(tetrahedra.size());
    mesh->setVertexCount(12 * k);
    Mesh::MeshStream* location = mesh->addStream("location", 3, 0);
    Vec3* out = Mesh::getVec3Array(location, Core::LOCK_DISCARD);
    static const int pairs[6][2] = {{0, 1}, {0, 2}, {0, 3}, {1, 2}, {1, 3}, {2, 3}};
    for (const std::array<int, 4>& t : tetrahedra) {
        const Vec3 q[4] = {points[t[0]], points[t[1]], points[t[2]], points[t[3]]};
        const Vec3 m = (q[0] + q[1] + q[2] + q[3]) * 0.25f;
        for (const int* pair : pairs) {
            *out++ = m + (q[pair[0]] - m) * 0.8f;
            *out++ = m + (q[pair[1]] - m) * 0.8f;
        }
    }
    location->unlock();
    mesh->addTopology("lines", 0, 2, Mesh::TOPOLOGY_UNINDEXED)->setPrimitiveCount(6 * k);
    mesh->freeze(4);
    return mesh;
}

std::unique_ptr<Mesh::ModifiableMesh> createVoronoiLineMesh()
{
    std::unique_ptr<Mesh::ModifiableMesh> mesh = Mesh::ModifiableMesh::createEmpty();
    std::vector<Vec3> points(250);
    spreadPoints(250, &points[0][0]);
    Delaunay3d delaunay;
    std::vector<std::array<Vec3, 2>> edges = delaunay.voronoiEdges(250, points.data());
    const int s = static_cast<int>(edges.size());
    for (std::array<Vec3, 2>& edge : edges)
        for (Vec3& end : edge)
            end *= 1.5f;
    mesh->setVertexCount(2 * s);
    mesh->addStreamFromData("location", 3, s ? &edges[0][0][0] : nullptr, 0);
    mesh->addTopology("lines", s, 2, Mesh::TOPOLOGY_UNINDEXED)->setPrimitiveCount(s);
    mesh->freeze(4);
    return mesh;
}

// ---- Scene ---------------------------------------------------------------------------

Haxor1Scene::Haxor1Scene()
try {
    {
        Haxor1SceneMeshCallback callback;
        lwScene = LwScene::create("data/Models/hax1.sce", &callback);
    }
    voronoiMesh = createVoronoiLineMesh();
    lwScene->setMesh("viivasto", voronoiMesh.get());
    delaunayMesh = createDelaunayLineMesh();
    lwScene->setMesh("viivat2", delaunayMesh.get());

    morphSurface = morphSurfaceMaterial();
    morphSurface->setTexture("texture", loadCachedTexture("data/Textures/symbol2.png"));
    for (int i = 1; i <= 9; ++i)
        lwScene->setMaterial(numbered("itree:Layer1", i), morphSurface.get());

    boxSurface = litMaterial(Vec3(0.3f, 0.3f, 0.9f), 10.0f, 10.0f);
    for (int i = 1; i <= boxCount; ++i)
        if (lwScene->hasMesh(numbered("box4:Layer1", i)))
            lwScene->setMaterial(numbered("box4:Layer1", i), boxSurface.get());

    tileTexture.reset(loadTextureFromFile("data/Textures/gt1.png", Core::TextureParameters()));
    flickerTiles = flickerTilesMaterial(tileTexture.get());
    for (int i = 1; i <= boxCount; ++i)
        if (lwScene->hasMesh(numbered("box4:Layer2", i)))
            lwScene->setMaterial(numbered("box4:Layer2", i), flickerTiles.get());

    {
        ShaderGraph graph = placedGraph();
        graph.setColorResult(graph.constant4(1, 1, 1, 1));
        lines = std::make_unique<BiasMaterial>(graph);
    }
    lines->setSortKey(1.0f);
    lines->setTopologyName("lines");
    for (const char* name : {"box4:Layer4", "viivasto", "viivat2"})
        lwScene->setMaterial(name, lines.get());

    defaultSurface = litMaterial(Vec3(0.2f, 0.3f, 0.4f), 10.0f, 1.0f);
    lwScene->setDefaultMaterial(defaultSurface.get());

    lwScene->addPass(BiasScenePass::instance());
    lwScene->prepare();
    renderer = lwScene->getRenderer();

    SceneLight* sceneLight = lwScene->findLight("Light");
    if (!sceneLight)
        VOSTREL_THROW("Haxor1Scene: no light \"Light\"");
    light = sceneLight->object;
    SceneCamera* sceneCamera = lwScene->findCamera("Camera");
    if (!sceneCamera)
        VOSTREL_THROW("Haxor1Scene: no camera \"Camera\"");
    camera = sceneCamera->object;
    lastBeat = -1;
} catch (Exception&) {
    reportContext("In Haxor1Scene(data/Models/hax1.sce)");
}

// The scene goes before the materials and meshes its renderer points at.
Haxor1Scene::~Haxor1Scene() { lwScene.reset(); }

Vec3 Haxor1Scene::lightPosition(float t) const
{
    const Vec3 v(light->getAttribute("x", t), light->getAttribute("y", t), light->getAttribute("z", t));
    SceneObject* parent = light->getParent();
    return parent ? *parent->getTransform(t) * v : v;
}

bool Haxor1Scene::flashes(int lastBeat, int beat)
{
    for (int b = beat; b > lastBeat; --b) {
        const int r = b % 16;
        if (r == 0 || r == 3 || r == 6 || r == 9 || r == 14)
            return true;
    }
    return false;
}

void Haxor1Scene::update(float t)
{
    const Vec3 lightPos = lightPosition(t);
    for (BiasMaterial* material : {defaultSurface.get(), morphSurface.get(), boxSurface.get(), flickerTiles.get()})
        material->setUniformVec3("lightPos", lightPos);
    // The tree's eye: nothing else sets it.
    morphSurface->setUniformVec3("cameraPos", position(*camera->getTransform(t)));

    const int beat = static_cast<int>(t * 8.0f);
    if (flashes(lastBeat, beat)) {
        ++flashCount;
        for (int i = 1; i <= boxCount; ++i) {
            const std::string name = numbered("box4:Layer2", i);
            if (!lwScene->hasMesh(name))
                continue;
            const float r = static_cast<float>(randomUInt32() * (1.0 / 4294967296.0));
            lwScene->findMesh(name)->object->setUniform("color", Vec4(0.0f, 0.0f, 0.0f, r));
        }
    }
    lastBeat = beat;
}

void Haxor1Scene::render(float time, int)
{
    clearColourAndDepth();
    renderer->render("Camera", time);
}

// ---- Mesh preparation ---------------------------------------------------------------

std::unique_ptr<Mesh::ModifiableMesh> Haxor1SceneMeshCallback::onMeshLoaded(const std::string& fileName, int layer,
                                                                            std::unique_ptr<Mesh::ModifiableMesh>& mesh)
{
    if (fileName == treeFile && layer == 1) {
        std::unique_ptr<Mesh::ModifiableMesh> target = Mesh::ModifiableMesh::createEmpty();
        target->setName(mesh->getName() + " subdivided");
        mesh->renameTopology("patches", "triangles");
        Mesh::subdivideStreams(*mesh, *target, 3, {"location", "Morph", "Morph 2", "Morph 3"});
        mesh.reset();
        target->computeNormals(181.0f, "location", "normal", "triangles");
        for (const char* morph : {"Morph", "Morph 2", "Morph 3"})
            Mesh::makeMorphTargetNormals(*target, morph);
        target->getTopology("triangles")->triangulatePolygons(target->getStream("location"));
        target->freeze(4);
        return target;
    }
    if (fileName == treeFile && (layer == 3 || layer == 4)) {
        mesh->computeNormals(60.0f, "location", "normal", "triangles");
        mesh->getTopology("triangles")->triangulatePolygons(mesh->getStream("location"));
        mesh->applyDiscontinuousMaps();
        mesh->freeze(4);
        return std::move(mesh);
    }
    if (fileName == boxFile && layer == 4)
        return linesFromCurves(mesh, 200);
    return nullptr;
}

// ---- Part -----------------------------------------------------------------------------

HaxorEffect1* HaxorEffect1::create() { return new HaxorEffect1Impl; }

HaxorEffect1Impl::HaxorEffect1Impl() = default;
HaxorEffect1Impl::~HaxorEffect1Impl() = default;

void HaxorEffect1Impl::init()
{
    scene = std::make_unique<Haxor1Scene>();
    glow = std::make_unique<AlphaGlow>();
}

void HaxorEffect1Impl::release() { scene.reset(); }

void HaxorEffect1Impl::setTime(float seconds, int)
{
    time = seconds;
    scene->update(time);
}

void HaxorEffect1Impl::render(RenderTexture& target) { glow->render(*scene, time, target, 1.0f); }

static RegisterDemoEffect registration("HaxorEffect1",
                                       [] { return std::unique_ptr<DemoEffect>(HaxorEffect1::create()); });

} // namespace Vostrel
