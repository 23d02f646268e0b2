#include "Libs/Scene/LwScene.h"

#include "Libs/Common/Exception.h"
#include "Libs/Common/StringUtils.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/Perspective.h"
#include "Libs/Mesh/IO/Lwo2Mesh.h"
#include "Libs/Mesh/IO/LwoReader.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Mesh/Subdivision/Subdivision.h"

#include <iostream>

namespace Vostrel {

// ---- Camera projection -----------------------------------------------------

namespace {

// A frame narrower or lower than a pixel has no aspect ratio.
void checkFrame(const SceneObject& camera)
{
    const int width = camera.getIntConstant("frameWidth");
    const int height = camera.getIntConstant("frameHeight");
    if (width < 1 || height < 1)
        VOSTREL_THROW("PerspectiveFunction: camera '" << camera.describe() << "' has the frame size " << width
                                                      << " x " << height << ", not at least 1 x 1");
}

} // namespace

PerspectiveFunction::PerspectiveFunction(SceneObject* camera) : camera(camera)
{
    VOSTREL_ASSERT_AT_LINE(37, camera->hasAttribute("zoomFactor"));
    VOSTREL_ASSERT_AT_LINE(38, camera->hasIntConstant("frameWidth"));
    VOSTREL_ASSERT_AT_LINE(39, camera->hasIntConstant("frameHeight"));
    checkFrame(*camera);
}

Matrix4 PerspectiveFunction::evaluate(const float& time) const
{
    const SceneObject::AttributeFunction* nearPlane = camera->getAttributeFunction("nearPlane");
    const SceneObject::AttributeFunction* farPlane = camera->getAttributeFunction("farPlane");
    const float zNear = nearPlane ? nearPlane->evaluate(time) : 0.01f;
    const float zFar = farPlane ? farPlane->evaluate(time) : 2000.0f;
    const float zoom = camera->requireAttribute("zoomFactor").evaluate(time);
    // The constants may have been edited since the camera was checked.
    checkFrame(*camera);
    const float aspect = static_cast<float>(camera->getIntConstant("frameWidth"))
                         / static_cast<float>(camera->getIntConstant("frameHeight"));
    return perspectiveMatrix(aspect, zoom, zNear, zFar);
}

Matrix4 perspectiveMatrix(float a, float b, float zNear, float zFar)
{
    return Core::Perspective::frustum(-a * zNear / b, a * zNear / b, -zNear / b, zNear / b, zNear, zFar);
}

// ---- end of camera projection ----------------------------------------------

// ---- Renderable scene and mesh cache ---------------------------------------

namespace {

const int frozenUsage = 4;

// Smooth normals over the triangles, then the per-corner maps, so the
// vertices a seam splits are in place before the index list is made.
void freezeTriangles(Mesh::ModifiableMesh& mesh, bool withCornerMaps)
{
    mesh.computeNormals(181.0f, "location", "normal", "triangles");
    if (withCornerMaps)
        mesh.applyDiscontinuousMaps();
    mesh.getTopology("triangles")->triangulatePolygons(mesh.getStream("location"));
    mesh.freeze(frozenUsage);
}

std::string meshKey(const std::string& fileName, int layer) { return fileName + "@" + std::to_string(layer); }

} // namespace

MeshCache& MeshCache::instance()
{
    static MeshCache cache;
    // The meshes' streams belong to the core they were frozen on.
    [[maybe_unused]] static const bool registered =
        (Core::APICore::releaseWithInstance([] { cache.releaseAll(); }), true);
    return cache;
}

const Mesh::LwoObject& MeshCache::loadFile(const std::string& fileName)
{
    std::unique_ptr<Mesh::LwoObject> object = inContext("MeshCache::loadFile(" + fileName + ")", [&] {
        Mesh::LwoReader reader(fileName);
        reader.read();
        return reader.releaseObject();
    });
    std::unique_ptr<Mesh::LwoObject>& stored = files[fileName];
    stored = std::move(object);
    return *stored;
}

Mesh::ModifiableMesh* MeshCache::loadLayer(const std::string& fileName, int layer, MeshLoadingCallback* callback)
{
    const std::string key = meshKey(fileName, layer);
    auto found = layers.find(key);
    if (found != layers.end())
        return found->second.get();
    auto file = files.find(fileName);
    const Mesh::LwoObject& object = file != files.end() ? *file->second : loadFile(fileName);
    // The conversion and the callback's preparation fail on what the file
    // holds: name it, whichever scene asked for it.
    std::unique_ptr<Mesh::ModifiableMesh> frozen =
        inContext("MeshCache::loadLayer(" + fileName + ", layer " + std::to_string(layer) + ")", [&] {
            std::unique_ptr<Mesh::ModifiableMesh> mesh = Mesh::ConvertLayerToMesh(object, layer);
            mesh->setName(key);
            return freezeMesh(std::move(mesh), callback, fileName, layer);
        });
    // Entered only once made, so a failed layer fails again when asked again.
    Mesh::ModifiableMesh* result = frozen.get();
    layers[key] = std::move(frozen);
    return result;
}

void MeshCache::releaseAll()
{
    layers.clear();
    files.clear();
}

std::unique_ptr<Mesh::ModifiableMesh> freezeMesh(std::unique_ptr<Mesh::ModifiableMesh> mesh,
                                                 MeshLoadingCallback* callback, const std::string& fileName,
                                                 int layer)
{
    if (callback) {
        std::unique_ptr<Mesh::ModifiableMesh> prepared = callback->onMeshLoaded(fileName, layer, mesh);
        if (prepared)
            return prepared;
        if (!mesh)
            VOSTREL_THROW("MeshCache: the mesh loading callback took " << StringUtils::printable(fileName) << "@"
                                                                       << layer << " and gave no mesh");
    }
    if (mesh->hasTopology("triangles")) {
        freezeTriangles(*mesh, true);
        return mesh;
    }
    if (mesh->hasTopology("patches")) {
        std::unique_ptr<Mesh::ModifiableMesh> target = Mesh::ModifiableMesh::createEmpty();
        target->setName(mesh->getName() + " subdivided");
        mesh->renameTopology("patches", "triangles");
        Mesh::subdivide(*mesh, *target, 2, "location");
        mesh.reset();
        freezeTriangles(*target, false);
        return target;
    }
    VOSTREL_THROW_AT_LINE(138, "Cannot freeze mesh " << StringUtils::printable(fileName)
                                                     << ", suitable topology not found.");
}

LwScene::LwScene(Scene* scene, MeshLoadingCallback* callback) : scene(scene)
{
    // Whatever the scene's objects hold fails here: name the scene file,
    // whichever part builds it. A scene made in memory has none.
    if (scene->getFileName().empty())
        buildFromScene(scene, callback);
    else
        inContext("LwScene(" + scene->getFileName() + ")", [&] { buildFromScene(scene, callback); });
}

LwScene::~LwScene() = default;

std::unique_ptr<LwScene> LwScene::create(const std::string& fileName, MeshLoadingCallback* callback)
{
    std::unique_ptr<Scene> loaded = Scene::load(fileName);
    std::unique_ptr<LwScene> result = std::make_unique<LwScene>(loaded.get(), callback);
    result->ownedScene = std::move(loaded);
    return result;
}

Mesh::ModifiableMesh* LwScene::loadMesh(const std::string& fileName, int layer, MeshLoadingCallback* callback)
{
    return MeshCache::instance().loadLayer(fileName, layer, callback);
}

void LwScene::buildFromScene(Scene* source, MeshLoadingCallback* callback)
{
    renderer = std::make_unique<SceneRenderer>(source);
    for (SceneObject* obj : *source) {
        if (!obj->hasIntConstant("objectType"))
            continue;
        const int type = obj->getIntConstant("objectType");
        const std::string name = obj->getStringConstant("objectName");
        if (type == 1) {
            auto record = std::make_unique<SceneMesh>();
            record->object = obj;
            if (obj->hasStringConstant("fileName")) {
                VOSTREL_ASSERT_AT_LINE(359, obj->hasIntConstant("layer"));
                record->mesh = MeshCache::instance().loadLayer(obj->getStringConstant("fileName"),
                                                               obj->getIntConstant("layer"), callback);
            }
            meshes[name] = renderer->addMesh(std::move(record));
        } else if (type == 2) {
            VOSTREL_ASSERT_AT_LINE(375, obj->hasIntConstant("lightType"));
            const int kind = obj->getIntConstant("lightType");
            if (kind == 3)
                VOSTREL_THROW_AT_LINE(193, "Linear lights not supported");
            if (kind == 4)
                VOSTREL_THROW_AT_LINE(194, "Area lights not supported");
            if (kind < 0 || kind > 2)
                VOSTREL_THROW_AT_LINE(195, "Unknown light type: " << kind);
            auto record = std::make_unique<SceneLight>();
            record->kind = kind;
            record->object = obj;
            lights[name] = renderer->addLight(std::move(record));
        } else if (type == 3) {
            auto record = std::make_unique<SceneCamera>();
            record->name = name;
            record->perspective = std::make_unique<PerspectiveFunction>(obj);
            record->object = obj;
            cameras[name] = renderer->addCamera(std::move(record));
        }
    }
}

SceneMesh* LwScene::findMesh(const std::string& name) const
{
    auto found = meshes.find(name);
    return found == meshes.end() ? nullptr : found->second;
}

SceneCamera* LwScene::findCamera(const std::string& name) const
{
    auto found = cameras.find(name);
    return found == cameras.end() ? nullptr : found->second;
}

SceneLight* LwScene::findLight(const std::string& name) const
{
    auto found = lights.find(name);
    return found == lights.end() ? nullptr : found->second;
}

void LwScene::addPass(ScenePass* pass) { renderer->addPass(pass); }

SceneMesh* LwScene::requireMesh(const std::string& name, const char* operation, const char* what) const
{
    SceneMesh* mesh = findMesh(name);
    if (!mesh)
        VOSTREL_THROW("LwScene::" << operation << ": " << what << " '" << name << "' not found");
    return mesh;
}

namespace {

// The object operations name their record without quotes.
SceneMesh* requireObject(const std::map<std::string, SceneMesh*>& meshes, const std::string& name,
                         const char* operation)
{
    auto found = meshes.find(name);
    if (found == meshes.end())
        VOSTREL_THROW("LwScene::" << operation << ": object " << name << " not found");
    return found->second;
}

} // namespace

void LwScene::setTimeOffset(const std::string& name, const float& seconds)
{
    requireMesh(name, "setTimeOffset", "mesh")->object->setTimeOffset(seconds);
}

void LwScene::setParent(const std::string& name, const std::string& parentName)
{
    SceneObject* parent = requireMesh(parentName, "setParent", "parent mesh")->object;
    requireMesh(name, "setParent", "mesh")->object->setParent(parent);
}

Vec4 LwScene::getPosition(const std::string& name, float time)
{
    return (*requireMesh(name, "getPosition", "mesh")->object->getTransform(time))[3];
}

void LwScene::linkTransform(const std::string& name, const std::string& targetName)
{
    SceneObject* target = requireMesh(targetName, "linkTransform", "target mesh")->object;
    requireMesh(name, "linkTransform", "mesh")->object->setExternalTransform(target->getCachedTransform());
}

void LwScene::linkTransformToCamera(const std::string& name, const std::string& cameraName)
{
    SceneCamera* camera = findCamera(cameraName);
    if (!camera)
        VOSTREL_THROW("LwScene::linkTransformToCamera: camera '" << cameraName << "' not found");
    requireMesh(name, "linkTransformToCamera", "mesh")->object->setExternalTransform(
        camera->object->getCachedTransform());
}

void LwScene::linkTransformByChannels(const std::string& name, const std::string& targetName)
{
    // Reported as linkTransform: to the user it is the same link, by another means.
    SceneObject* target = requireMesh(targetName, "linkTransform", "target mesh")->object;
    requireMesh(name, "linkTransform", "mesh")->object->shareChannels(target);
}

void LwScene::setVisible(const std::string& name, bool visible)
{
    requireObject(meshes, name, "setVisible")->object->setIntConstant("visible", visible ? 1 : 0);
}

void LwScene::setMesh(const std::string& name, Mesh::ModifiableMesh* mesh)
{
    requireObject(meshes, name, "setMesh")->mesh = mesh;
}

void LwScene::setMaterial(const std::string& name, SceneMaterial* material)
{
    requireObject(meshes, name, "setMaterial")->material = material;
}

void LwScene::setAttribute(const std::string& name, const std::string& attribute, const float& value)
{
    requireMesh(name, "setAttribute", "mesh")->object->setAttribute(attribute, new ConstantFunction<float>(value));
}

void LwScene::setUniform(const std::string& name, const std::string& uniform, const Vec4& value)
{
    requireMesh(name, "setUniform", "mesh")->object->setUniform(uniform, value);
}

void LwScene::setIntConstant(const std::string& name, const std::string& constant, const int& value)
{
    requireMesh(name, "setIntConstant", "mesh")->object->setIntConstant(constant, value);
}

void LwScene::setExternalTransform(const std::string& name, const Matrix4* matrix)
{
    requireMesh(name, "setExternalTransform", "mesh")->object->setExternalTransform(matrix);
}

void LwScene::setExternalTransform(const std::string& name, std::shared_ptr<const Matrix4> matrix)
{
    requireMesh(name, "setExternalTransform", "mesh")->object->setExternalTransform(std::move(matrix));
}

void LwScene::setExternalZ(const std::string& name, float z)
{
    SceneMesh* mesh = requireMesh(name, "setExternalZ", "mesh");
    mesh->externalZ = z;
    mesh->externalZSource = &mesh->externalZ;
}

void LwScene::addMesh(const std::string& name, Mesh::ModifiableMesh* mesh, const std::string& parentName)
{
    SceneObject* parent = parentName.empty() ? nullptr : requireMesh(parentName, "addMesh", "parent mesh")->object;
    auto object = std::make_unique<SceneObject>();
    for (const char* channel : {"x", "y", "z", "heading", "pitch", "bank"})
        object->setAttribute(channel, new ConstantFunction<float>(0.0f));
    for (const char* channel : {"sx", "sy", "sz"})
        object->setAttribute(channel, new ConstantFunction<float>(1.0f));
    object->setParent(parent);
    object->setStringConstant("objectName", name);
    auto record = std::make_unique<SceneMesh>();
    record->mesh = mesh;
    record->object = object.get();
    scene->addObject(object.release());
    meshes[name] = renderer->addMesh(std::move(record));
}

void LwScene::addMeshFromFile(const std::string& name, const std::string& fileAndLayer, const std::string& parentName)
{
    Mesh::ModifiableMesh* mesh = nullptr;
    if (!fileAndLayer.empty()) {
        std::vector<std::string> pieces;
        StringUtils::split(pieces, fileAndLayer, '@');
        if (pieces.size() < 2)
            VOSTREL_THROW("LwScene::addMeshFromFile: '" << fileAndLayer << "' is not file@layer");
        // The parent is checked before anything is loaded.
        if (!parentName.empty())
            requireMesh(parentName, "addMesh", "parent mesh");
        mesh = MeshCache::instance().loadLayer(pieces[0], StringUtils::parseInt(pieces[1]), nullptr);
    }
    addMesh(name, mesh, parentName);
}

void LwScene::setMaterialFromLwoSurface(const std::string&)
{
    VOSTREL_THROW("LwScene::setMaterial: TODO! how to get LWO surface information?");
}

void LwScene::findMeshesByObjectName(const std::string& text, std::vector<SceneMesh*>& out) const
{
    for (const auto& mesh : renderer->getMeshes())
        if (mesh->object->getStringConstant("objectName").find(text) != std::string::npos)
            out.push_back(mesh.get());
}

void LwScene::setVisibleByObjectName(const std::string& text, bool visible)
{
    std::vector<SceneMesh*> found;
    findMeshesByObjectName(text, found);
    for (SceneMesh* mesh : found)
        mesh->object->setIntConstant("visible", visible ? 1 : 0);
}

void LwScene::setMaterialByObjectName(const std::string& text, SceneMaterial* material)
{
    std::vector<SceneMesh*> found;
    findMeshesByObjectName(text, found);
    for (SceneMesh* mesh : found)
        mesh->material = material;
}

void LwScene::setAllVisible(bool visible)
{
    for (const auto& mesh : renderer->getMeshes())
        mesh->object->setIntConstant("visible", visible ? 1 : 0);
}

void LwScene::prepare()
{
    // A second prepare would hand every object to its material again.
    if (prepared)
        VOSTREL_THROW("LwScene::prepare: the scene is prepared already");
    prepared = true;
    for (const auto& mesh : renderer->getMeshes())
        if (!mesh->material)
            mesh->material = defaultMaterial;
    if (renderer->getPasses().empty())
        renderer->addPass(LightScenePass::instance());
    renderer->groupByMaterial();
}

// ---- end of renderable scene -------------------------------------------------

} // namespace Vostrel
