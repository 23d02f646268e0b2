#include "Tests/Scene/Render/SceneRenderTestSupport.h"

#include "Libs/Mesh/IO/LwoReader.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Tools/Content/TestSceneComposer.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <utility>

using namespace SceneRenderTest;

namespace {

struct RecordingCallback : MeshLoadingCallback {
    std::unique_ptr<Mesh::ModifiableMesh> onMeshLoaded(const std::string& fileName, int layer,
                                                       std::unique_ptr<Mesh::ModifiableMesh>& mesh) override
    {
        loaded.push_back(fileName + "@" + std::to_string(layer));
        return respond ? respond(mesh) : nullptr;
    }
    std::vector<std::string> loaded;
    std::function<std::unique_ptr<Mesh::ModifiableMesh>(std::unique_ptr<Mesh::ModifiableMesh>&)> respond;
};

Content::Lwo2Layer layerOf(int number, std::vector<Vec3> points, Content::Lwo2PolygonKind kind,
                           std::vector<std::vector<uint32_t>> polygons)
{
    Content::Lwo2Layer layer;
    layer.number = number;
    layer.points = std::move(points);
    Content::Lwo2PolygonList list;
    list.kind = kind;
    list.polygons = std::move(polygons);
    layer.polygonLists.push_back(list);
    return layer;
}

Content::Lwo2Object objectOf(std::vector<Content::Lwo2Layer> layers)
{
    Content::Lwo2Object object;
    object.layers = std::move(layers);
    return object;
}

// A mesh object of an in-memory scene that loads file@layer.
SceneObject* addMeshObject(Scene& scene, const std::string& name, const std::string& file, int layer)
{
    SceneObject* object = addObject(scene, name, 1);
    object->setStringConstant("fileName", file);
    object->setIntConstant("layer", layer);
    return object;
}

// Per drawn triangle corner: position and the values of another stream.
std::vector<std::pair<Vec3, Vec2>> triangleCorners(Mesh::ModifiableMesh& mesh, const std::string& streamName)
{
    Mesh::MeshTopology& triangles = *mesh.getTopology("triangles");
    const int count = triangles.getPrimitiveCount() * 3;
    std::vector<uint32_t> indices(count);
    if (triangles.getStatus() == Mesh::TOPOLOGY_INDICES_16) {
        const uint16_t* data = triangles.lockIndices16(Mesh::LOCK_READ_ONLY);
        std::copy(data, data + count, indices.begin());
    } else {
        const uint32_t* data = triangles.lockIndices32(Mesh::LOCK_READ_ONLY);
        std::copy(data, data + count, indices.begin());
    }
    triangles.unlock();
    Mesh::StreamLock location(*mesh.getStream("location"), Mesh::LOCK_READ_ONLY);
    Mesh::StreamLock values(*mesh.getStream(streamName), Mesh::LOCK_READ_ONLY);
    std::vector<std::pair<Vec3, Vec2>> corners;
    for (uint32_t index : indices) {
        const float* p = location.get() + 3 * index;
        const float* v = values.get() + 2 * index;
        corners.push_back({Vec3(p[0], p[1], p[2]), Vec2(v[0], v[1])});
    }
    return corners;
}

class LwSceneLoading : public SceneRenderFixture {};

TEST_F(LwSceneLoading, ScenesShareOneMeshPerFileAndLayerAndOnlyTheFirstCallbackRuns)
{
    const std::string quad = quadFile();
    Scene first, second;
    addMeshObject(first, "a", quad, 1);
    addMeshObject(second, "b", quad, 1);
    RecordingCallback firstCallback, secondCallback;
    LwScene firstScene(&first, &firstCallback);
    LwScene secondScene(&second, &secondCallback);

    ASSERT_NE(firstScene.findMesh("a")->mesh, nullptr);
    EXPECT_EQ(firstScene.findMesh("a")->mesh, secondScene.findMesh("b")->mesh);
    EXPECT_EQ(firstCallback.loaded, std::vector<std::string>{quad + "@1"});
    EXPECT_TRUE(secondCallback.loaded.empty());
    EXPECT_EQ(firstScene.findMesh("a")->mesh->getName(), quad + "@1");
}

TEST_F(LwSceneLoading, TwoLayersOfAFileReadItOnce)
{
    const std::string file = writeObject(
        "two.lwo", objectOf({layerOf(0, {Vec3(0, 0, 0), Vec3(0, 1, 0), Vec3(1, 0, 0)}, Content::Lwo2PolygonKind::FACE,
                                     {{0, 1, 2}}),
                             layerOf(1, {Vec3(0, 0, 1), Vec3(0, 1, 1), Vec3(1, 1, 1), Vec3(1, 0, 1)},
                                     Content::Lwo2PolygonKind::FACE, {{0, 1, 2, 3}})}));
    MeshCache& cache = MeshCache::instance();
    Mesh::ModifiableMesh* first = cache.loadLayer(file, 1, nullptr);
    // The second layer must come from the file as read the first time.
    ASSERT_EQ(std::remove(file.c_str()), 0);
    Mesh::ModifiableMesh* second = cache.loadLayer(file, 2, nullptr);

    EXPECT_NE(first, second);
    EXPECT_EQ(cache.getFileCount(), 1u);
    EXPECT_EQ(cache.getLayerCount(), 2u);
    EXPECT_EQ(first->getName(), file + "@1");
    EXPECT_EQ(second->getName(), file + "@2");
    EXPECT_EQ(first->getVertexCount(), 3);
    EXPECT_EQ(second->getVertexCount(), 4);
    EXPECT_EQ(second->getTopology("triangles")->getPrimitiveCount(), 2);
}

TEST_F(LwSceneLoading, TheCacheEmptiesWithTheCoreAndFillsAnewOnTheNext)
{
    const std::string quad = quadFile();
    MeshCache& cache = MeshCache::instance();
    cache.loadLayer(quad, 1, nullptr);
    Core::APICore::destroyInstance();
    EXPECT_EQ(cache.getFileCount(), 0u);
    EXPECT_EQ(cache.getLayerCount(), 0u);
    makeCore();
    EXPECT_FALSE(callsOf("CreateVertexBuffer", [&] { cache.loadLayer(quad, 1, nullptr); }).empty());
}

TEST_F(LwSceneLoading, PatchesOnlyComeBackSubdividedWithNormals)
{
    const std::vector<Vec3> cube = {Vec3(-1, -1, -1), Vec3(-1, 1, -1), Vec3(1, 1, -1), Vec3(1, -1, -1),
                                    Vec3(-1, -1, 1),  Vec3(-1, 1, 1),  Vec3(1, 1, 1),  Vec3(1, -1, 1)};
    const std::string file = writeObject(
        "cage.lwo", objectOf({layerOf(0, cube, Content::Lwo2PolygonKind::PTCH,
                                      {{0, 1, 2, 3}, {7, 6, 5, 4}, {4, 5, 1, 0}, {3, 2, 6, 7}, {1, 5, 6, 2},
                                       {4, 0, 3, 7}})}));
    Mesh::ModifiableMesh* mesh = MeshCache::instance().loadLayer(file, 1, nullptr);
    EXPECT_EQ(mesh->getName(), file + "@1 subdivided");
    EXPECT_TRUE(mesh->hasStream("normal", 3));
    // Two levels over six quads: 6 x 4 x 4 quads, two triangles each.
    EXPECT_EQ(mesh->getTopology("triangles")->getPrimitiveCount(), 6 * 16 * 2);
}

TEST_F(LwSceneLoading, CurvesOnlyCannotBeFrozen)
{
    const std::string file = writeObject(
        "curve.lwo", objectOf({layerOf(0, {Vec3(0, 0, 0), Vec3(1, 1, 0), Vec3(2, 0, 0)},
                                       Content::Lwo2PolygonKind::CURV, {{0, 1, 2}})}));
    Failure failure = failureOf([&] { MeshCache::instance().loadLayer(file, 1, nullptr); });
    EXPECT_EQ(failure.message, "Cannot freeze mesh " + file + ", suitable topology not found.");
    EXPECT_EQ(failure.file, "Libs\\Scene\\LwScene");
    EXPECT_EQ(failure.line, 138);
    // Asked again, it fails again rather than handing out nothing.
    EXPECT_EQ(failureOf([&] { MeshCache::instance().loadLayer(file, 1, nullptr); }).message, failure.message);
}

TEST_F(LwSceneLoading, ACallbacksMeshIsUsedAsGiven)
{
    const std::string quad = quadFile();
    Scene scene;
    addMeshObject(scene, "a", quad, 1);
    RecordingCallback callback;
    Mesh::ModifiableMesh* given = nullptr;
    callback.respond = [&](std::unique_ptr<Mesh::ModifiableMesh>& loaded) {
        loaded.reset();
        std::unique_ptr<Mesh::ModifiableMesh> own = Mesh::ModifiableMesh::createEmpty();
        given = own.get();
        return own;
    };
    LwScene lwScene(&scene, &callback);
    EXPECT_EQ(lwScene.findMesh("a")->mesh, given);
    // Not frozen by the scene: the empty mesh got no normals.
    EXPECT_FALSE(given->hasStream("normal", 3));
}

TEST_F(LwSceneLoading, ACallbackThatTakesTheMeshAndGivesNoneIsRefused)
{
    const std::string quad = quadFile();
    RecordingCallback callback;
    callback.respond = [](std::unique_ptr<Mesh::ModifiableMesh>& loaded) {
        std::unique_ptr<Mesh::ModifiableMesh> taken = std::move(loaded);
        return std::unique_ptr<Mesh::ModifiableMesh>();
    };
    EXPECT_EQ(failureOf([&] { MeshCache::instance().loadLayer(quad, 1, &callback); }).message,
              "MeshCache: the mesh loading callback took " + quad + "@1 and gave no mesh");
}

// Whatever fails on what an object file holds, its conversion or a
// callback's preparation, names the file on a line of its own, whichever
// scene asked for it; a file that cannot be read is named once, by its own line.
TEST_F(LwSceneLoading, FailuresOnALayerNameTheObjectFile)
{
    const std::string file = writeObject(
        "triangle.lwo", objectOf({layerOf(0, {Vec3(0, 0, 0), Vec3(0, 1, 0), Vec3(1, 0, 0)},
                                          Content::Lwo2PolygonKind::FACE, {{0, 1, 2}})}));
    MeshCache& cache = MeshCache::instance();
    RecordingCallback callback;
    callback.respond = [](std::unique_ptr<Mesh::ModifiableMesh>& loaded) {
        loaded->getStream("Closed");
        return std::unique_ptr<Mesh::ModifiableMesh>();
    };
    Scene scene;
    addMeshObject(scene, "tri", file, 1);
    const std::string missing = dir.file("missing.lwo");
    const struct Case {
        std::function<void()> load;
        std::string message;
        std::string context;
    } cases[] = {
        {[&] { cache.loadLayer(file, 4, nullptr); }, "Lwo does not contain the layer.",
         "In ConvertLayerToMesh(layerid=4)\nIn MeshCache::loadLayer(" + file + ", layer 4)\n"},
        {[&] { LwScene built(&scene, &callback); }, "Mesh does not contain a stream named Closed.",
         "In MeshCache::loadLayer(" + file + ", layer 1)\n"},
        {[&] { cache.loadLayer(missing, 1, nullptr); }, "File not found: " + missing,
         missing + ": No such file or directory\nIn MeshCache::loadFile(" + missing + ")\n"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        const Failure failure = failureOf(c.load);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.context);
        EXPECT_EQ(failure.message, c.message);
    }
    testing::internal::CaptureStderr();
    EXPECT_NE(cache.loadLayer(file, 1, nullptr), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(LwSceneLoading, APerPolygonMapSeamReachesTheDrawnTriangles)
{
    Content::Lwo2Layer layer = layerOf(0,
                                       {Vec3(0, 0, 0), Vec3(0, 1, 0), Vec3(1, 1, 0), Vec3(1, 0, 0), Vec3(2, 1, 0),
                                        Vec3(2, 0, 0)},
                                       Content::Lwo2PolygonKind::FACE, {{0, 1, 2, 3}, {3, 2, 4, 5}});
    Content::Lwo2VertexMap uv;
    uv.type = "TXUV";
    uv.name = "Texture";
    uv.points = {0, 1, 2, 3, 4, 5};
    uv.values = {0, 0, 0, 1, 0.5f, 1, 0.5f, 0, 1, 1, 1, 0};
    layer.vertexMaps.push_back(uv);
    Content::Lwo2PolygonMap seam;
    seam.type = "TXUV";
    seam.name = "Texture";
    seam.points = {2, 3};
    seam.polygons = {1, 1};
    seam.values = {0.875f, 1, 0.875f, 0};
    layer.polygonLists[0].polygonMaps.push_back(seam);
    const std::string file = writeObject("seam.lwo", objectOf({layer}));

    Mesh::ModifiableMesh* mesh = MeshCache::instance().loadLayer(file, 1, nullptr);
    std::set<std::pair<float, float>> atSharedPoint;
    for (const auto& corner : triangleCorners(*mesh, "Texture"))
        if (corner.first[0] == 1.0f && corner.first[1] == 1.0f)
            atSharedPoint.insert({corner.second[0], corner.second[1]});
    EXPECT_EQ(atSharedPoint, (std::set<std::pair<float, float>>{{0.5f, 1.0f}, {0.875f, 1.0f}}));
}

TEST_F(LwSceneLoading, LightsAndLayersAreCheckedAsTheyAreBuilt)
{
    struct Case {
        std::function<void(Scene&)> build;
        std::string message;
        int line;
    };
    const Case cases[] = {
        {[](Scene& s) { addObject(s, "l", 2)->setIntConstant("lightType", 3); }, "Linear lights not supported", 193},
        {[](Scene& s) { addObject(s, "l", 2)->setIntConstant("lightType", 4); }, "Area lights not supported", 194},
        {[](Scene& s) { addObject(s, "l", 2)->setIntConstant("lightType", 5); }, "Unknown light type: 5", 195},
        {[](Scene& s) { addObject(s, "l", 2)->setIntConstant("lightType", -1); }, "Unknown light type: -1", 195},
        {[](Scene& s) { addObject(s, "l", 2); }, "obj->hasIntConstant(\"lightType\") does not hold.", 375},
        {[](Scene& s) { addObject(s, "m", 1)->setStringConstant("fileName", "x.lwo"); },
         "obj->hasIntConstant(\"layer\") does not hold.", 359},
    };
    for (const Case& c : cases) {
        Scene scene;
        c.build(scene);
        Failure failure = failureOf([&] { LwScene lwScene(&scene, nullptr); });
        EXPECT_EQ(failure.message, c.message);
        EXPECT_EQ(failure.file, "Libs\\Scene\\LwScene");
        EXPECT_EQ(failure.line, c.line) << c.message;
    }
}

TEST_F(LwSceneLoading, AnObjectOfAnotherTypeGetsNoRecordButStillParents)
{
    Scene scene;
    SceneObject* rig = addObject(scene, "rig", 7, Vec3(10, 0, 0));
    addObject(scene, "child", 1, Vec3(1, 0, 0))->setParent(rig);
    addObject(scene, "nothing", 0);
    LwScene lwScene(&scene, nullptr);

    EXPECT_FALSE(lwScene.hasMesh("rig"));
    EXPECT_EQ(lwScene.findLight("rig"), nullptr);
    EXPECT_EQ(lwScene.findCamera("rig"), nullptr);
    EXPECT_EQ(lwScene.getRenderer()->getMeshes().size(), 1u);
    EXPECT_EQ(lwScene.findMesh("child")->mesh, nullptr);
    const Vec4 position = lwScene.getPosition("child", 0.0f);
    EXPECT_EQ(position, Vec4(11, 0, 0, 1));
}

TEST_F(LwSceneLoading, CreateLoadsTheSceneFileAndKeepsIt)
{
    const std::string quad = quadFile();
    Content::ComposedScene composed;
    composed.lights.push_back({"Fill", 1, Vec3(0, 0, 0), Vec3(1, 1, 1)});
    composed.meshes.emplace_back("quad:Layer1", quad);
    composed.meshes.emplace_back("empty", "");
    const std::string file = dir.file("scene.sce");
    Content::writeComposedScene(file, composed);

    std::unique_ptr<LwScene> lwScene = LwScene::create(file, nullptr);
    EXPECT_NE(lwScene->findMesh("quad:Layer1")->mesh, nullptr);
    EXPECT_EQ(lwScene->findMesh("empty")->mesh, nullptr);
    EXPECT_EQ(lwScene->findCamera("Camera")->name, "Camera");
    EXPECT_EQ(lwScene->findLight("Light")->kind, 0);
    EXPECT_EQ(lwScene->findLight("Fill")->kind, 1);
    EXPECT_EQ(lwScene->getScene()->size(), 6u);
}

} // namespace

namespace {

TEST(UnitQuadFile, IsTheSquareThePartsAssume)
{
    VostrelTest::TempDir dir;
    Content::writeUnitQuad(dir.path);
    Mesh::LwoReader reader(dir.path + "/data/Models/quad.lwo");
    ASSERT_TRUE(reader.read());
    std::unique_ptr<Mesh::LwoObject> object = reader.releaseObject();
    ASSERT_EQ(object->layers.size(), 1u);
    const Mesh::LwoLayer& layer = *object->layers[0];
    EXPECT_EQ(layer.number, 1u); // the file's layer 0
    const std::vector<Vec3> points = {Vec3(-0.5f, -0.5f, 0), Vec3(-0.5f, 0.5f, 0), Vec3(0.5f, 0.5f, 0),
                                      Vec3(0.5f, -0.5f, 0)};
    EXPECT_EQ(layer.points, points);
    ASSERT_EQ(layer.polygonLists.size(), 1u);
    EXPECT_EQ(layer.polygonLists[0]->type, 0); // FACE
    ASSERT_EQ(layer.polygonLists[0]->polygons.size(), 1u);
    EXPECT_EQ(layer.polygonLists[0]->polygons[0].vertices, (std::vector<uint32_t>{0, 1, 2, 3}));
    ASSERT_EQ(layer.vertexMaps.size(), 1u);
    EXPECT_EQ(layer.vertexMaps[0]->name, "Texture");
    EXPECT_EQ(layer.vertexMaps[0]->type, 3); // TXUV
    EXPECT_EQ(layer.vertexMaps[0]->values, (std::vector<float>{0, 0, 0, 1, 1, 1, 1, 0}));
}

TEST(Lwo2Writer, IndicesFromFF00OnTakeFourBytes)
{
    VostrelTest::TempDir dir;
    Content::Lwo2Object object;
    object.layers.emplace_back();
    Content::Lwo2Layer& layer = object.layers.back();
    for (int i = 0; i < 0xff02; ++i)
        layer.points.push_back(Vec3(float(i), 0, 0));
    layer.polygonLists.emplace_back();
    layer.polygonLists[0].polygons = {{0, 0xff00, 0xff01}};
    Content::writeLwo2(dir.file("big.lwo"), object);
    Mesh::LwoReader reader(dir.file("big.lwo"));
    ASSERT_TRUE(reader.read());
    EXPECT_EQ(reader.getObject()->layers[0]->polygonLists[0]->polygons[0].vertices,
              (std::vector<uint32_t>{0, 0xff00, 0xff01}));
}

} // namespace

