#pragma once

#include "Libs/Math/Function.h"
#include "Libs/Math/Matrix.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Scene/SceneRenderer.h"

#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

// ---- Camera projection -----------------------------------------------------

// A camera's projection at a time, from its "zoomFactor", optional
// "nearPlane" and "farPlane" (0.01 and 2000 without) and its frame size.
// Reads the camera; does not own it.
class PerspectiveFunction : public Function<float, Matrix4> {
public:
    // The camera needs "zoomFactor", "frameWidth" and "frameHeight", the
    // frame at least one pixel each way.
    explicit PerspectiveFunction(SceneObject* camera);

    // Evaluated at time itself: the camera's time offset does not shift it.
    Matrix4 evaluate(const float& time) const override;
    bool isConstant() const override { return false; }

private:
    SceneObject* camera;
};

// The render core's frustum whose near rectangle is a / b wide and 1 / b high
// per unit of near distance: b is the cotangent of half the vertical field of
// view, a the aspect ratio.
Matrix4 perspectiveMatrix(float a, float b, float zNear, float zFar);

// ---- end of camera projection ----------------------------------------------

// ---- Renderable scene and mesh cache ---------------------------------------

namespace Mesh {
struct LwoObject;
class ModifiableMesh;
} // namespace Mesh

// Lets a demo part prepare the meshes its scene loads. Called once per file
// and layer for the whole run, with the converted mesh before it is frozen.
class MeshLoadingCallback {
public:
    virtual ~MeshLoadingCallback() {}

    // Returns the mesh to use, frozen by the callback: mesh itself moved
    // back, or a new one (resetting mesh frees the loaded one). Null leaves
    // mesh to the default freezing; taking mesh and returning null is refused.
    virtual std::unique_ptr<Mesh::ModifiableMesh> onMeshLoaded(const std::string& fileName, int layer,
                                                               std::unique_ptr<Mesh::ModifiableMesh>& mesh) = 0;
};

// The process-wide store of LightWave files and their prepared layers, so
// scenes that use one object file share its meshes. Owns every mesh it hands
// out for the whole run.
class MeshCache {
public:
    static MeshCache& instance();

    // Reads and keeps the file; reader errors pass through.
    const Mesh::LwoObject& loadFile(const std::string& fileName);
    // The prepared mesh of file@layer (layers count from 1, as the parts name
    // them); the first caller's callback decides its preparation for all.
    Mesh::ModifiableMesh* loadLayer(const std::string& fileName, int layer, MeshLoadingCallback* callback);

    bool hasFile(const std::string& fileName) const { return files.count(fileName) != 0; }
    size_t getFileCount() const { return files.size(); }
    size_t getLayerCount() const { return layers.size(); }

    // Frees every file and mesh; the render core's destruction calls it.
    // Scenes holding the meshes must be gone.
    void releaseAll();

private:
    std::map<std::string, std::unique_ptr<Mesh::LwoObject>> files;
    std::map<std::string, std::unique_ptr<Mesh::ModifiableMesh>> layers;
};

// Makes a converted layer drawable: the callback's mesh when it gives one;
// else triangles get smooth normals, their per-corner maps and triangulation;
// patches are subdivided twice into a new mesh named "<name> subdivided".
std::unique_ptr<Mesh::ModifiableMesh> freezeMesh(std::unique_ptr<Mesh::ModifiableMesh> mesh,
                                                 MeshLoadingCallback* callback, const std::string& fileName,
                                                 int layer);

// A loaded scene made drawable: a record per mesh, light and camera object,
// held by its renderer and edited by object name. Owns its renderer and
// records (and its scene when made by create); materials and passes are not
// owned, save what a helper hands to keep.
class LwScene {
public:
    // Builds the records at once; the scene must outlive this. callback may be null.
    LwScene(Scene* scene, MeshLoadingCallback* callback);
    ~LwScene();
    LwScene(const LwScene&) = delete;
    LwScene& operator=(const LwScene&) = delete;

    // Loads the scene file and builds from it; the result owns the scene.
    static std::unique_ptr<LwScene> create(const std::string& fileName, MeshLoadingCallback* callback);
    static Mesh::ModifiableMesh* loadMesh(const std::string& fileName, int layer, MeshLoadingCallback* callback);

    SceneMesh* findMesh(const std::string& name) const;
    SceneCamera* findCamera(const std::string& name) const;
    SceneLight* findLight(const std::string& name) const;
    bool hasMesh(const std::string& name) const { return meshes.count(name) != 0; }
    Scene* getScene() const { return scene; }
    SceneRenderer* getRenderer() const { return renderer.get(); }
    void setDefaultMaterial(SceneMaterial* material) { defaultMaterial = material; }
    void addPass(ScenePass* pass);

    void setTimeOffset(const std::string& name, const float& seconds);
    void setParent(const std::string& name, const std::string& parentName);
    // Column 3 of the object's matrix at the time.
    Vec4 getPosition(const std::string& name, float time);
    // The object shows the target's (or camera's) matrix as last evaluated.
    void linkTransform(const std::string& name, const std::string& targetName);
    void linkTransformToCamera(const std::string& name, const std::string& cameraName);
    // The object runs on the target's nine channels.
    void linkTransformByChannels(const std::string& name, const std::string& targetName);
    void setVisible(const std::string& name, bool visible);
    // Not owned.
    void setMesh(const std::string& name, Mesh::ModifiableMesh* mesh);
    void setMaterial(const std::string& name, SceneMaterial* material);
    void setAttribute(const std::string& name, const std::string& attribute, const float& value);
    void setUniform(const std::string& name, const std::string& uniform, const Vec4& value);
    void setIntConstant(const std::string& name, const std::string& constant, const int& value);
    // Owned by the caller, who keeps it while the object uses it.
    void setExternalTransform(const std::string& name, const Matrix4* matrix);
    // Kept by the object, which may live on in a caller's scene after this.
    void setExternalTransform(const std::string& name, std::shared_ptr<const Matrix4> matrix);
    void setExternalZ(const std::string& name, float z);
    // A record of a new object with constant channels, under a mesh parent
    // when parentName is not empty. The mesh is not owned.
    void addMesh(const std::string& name, Mesh::ModifiableMesh* mesh, const std::string& parentName);
    // fileAndLayer: "file@layer", or empty for no mesh.
    void addMeshFromFile(const std::string& name, const std::string& fileAndLayer, const std::string& parentName);
    // Surfaces of LightWave files are not read: always fails.
    void setMaterialFromLwoSurface(const std::string& name);

    // By substring of the object name ("" matches all), in record order.
    void findMeshesByObjectName(const std::string& text, std::vector<SceneMesh*>& out) const;
    void setVisibleByObjectName(const std::string& text, bool visible);
    void setMaterialByObjectName(const std::string& text, SceneMaterial* material);
    void setAllVisible(bool visible);

    // Once, after materials and passes: default materials, the light pass
    // when no pass was added, and the materials grouped. A second call is
    // refused.
    void prepare();

    // Keeps what a helper made for the records to point at (materials,
    // shaders, textures) while the records live, however long the helper's
    // caller keeps the helper. What the objects point at they hold
    // themselves (a held external transform): a caller's Scene, and the
    // objects in it, may outlive this.
    void keep(std::shared_ptr<const void> owned) { kept.push_back(std::move(owned)); }

private:
    void buildFromScene(Scene* source, MeshLoadingCallback* callback);
    SceneMesh* requireMesh(const std::string& name, const char* operation, const char* what) const;

    // First, so it goes last: the records and objects point into it.
    std::vector<std::shared_ptr<const void>> kept;
    std::unique_ptr<Scene> ownedScene;
    std::unique_ptr<SceneRenderer> renderer;
    Scene* scene;
    std::map<std::string, SceneMesh*> meshes;
    std::map<std::string, SceneCamera*> cameras;
    std::map<std::string, SceneLight*> lights;
    SceneMaterial* defaultMaterial = nullptr;
    bool prepared = false;
};

// ---- end of renderable scene -------------------------------------------------

} // namespace Vostrel
