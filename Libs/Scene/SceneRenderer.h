#pragma once

#include "Libs/Math/Function.h"
#include "Libs/Math/Matrix.h"
#include "Libs/Math/Vec.h"

#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

class Scene;
class SceneObject;
class SceneMaterial;
class ScenePass;
class ShaderContext;
class ShaderGraph;
class ShaderBuild;

namespace Core {
class RenderContext;
class Texture;
} // namespace Core

namespace Mesh {
class ModifiableMesh;
class MeshRenderingInstance;
} // namespace Mesh

// ---- Records ----------------------------------------------------------------

// One drawn object of a scene.
struct SceneMesh {
    SceneMesh();
    ~SceneMesh();

    // A sort value given from outside; it replaces the computed key of every
    // record of the mesh while externalZSource points at it.
    float externalZ = 0.0f;
    const float* externalZSource = nullptr;
    // The object's world matrix, rewritten by each update.
    Matrix4 transform = Matrix4(1.0f);
    // Not owned (the mesh cache, or whoever handed it in); null: nothing to draw.
    Mesh::ModifiableMesh* mesh = nullptr;
    SceneMaterial* material = nullptr;
    SceneObject* object = nullptr;
    // Made by the material's prepare; null without a mesh.
    std::unique_ptr<Mesh::MeshRenderingInstance> instance;
};

struct SceneLight {
    int32_t kind = 0;
    SceneObject* object = nullptr;
};

struct SceneCamera {
    SceneCamera();
    ~SceneCamera();

    std::string name;
    Matrix4 transform = Matrix4(1.0f);
    // The inverse of transform; valid only while viewValid.
    Matrix4 view = Matrix4(1.0f);
    bool viewValid = true;
    std::unique_ptr<Function<float, Matrix4>> perspective;
    Matrix4 projection = Matrix4(1.0f);
    SceneObject* object = nullptr;
};

// What a render call hands its passes and their materials.
struct SceneRenderState {
    float time = 0.0f;
    std::string passName;
    SceneLight* light = nullptr;
    SceneCamera* camera = nullptr;
};

// A named shader value of a draw record: type 0 the vector, 1 the matrix.
struct SceneUniform {
    SceneUniform(const std::string& name, const Vec4& vector) : name(name), vector(vector), type(0) {}
    SceneUniform(const std::string& name, const Matrix4& matrix) : name(name), matrix(matrix), type(1) {}

    std::string name;
    Vec4 vector;
    Matrix4 matrix;
    int32_t type;
};

// One draw of one mesh, executed in ascending key order.
struct SceneDrawRecord {
    // Record uniforms, then the object's own uniforms (which win), the cull
    // faces ("frontface" culls counter-clockwise, "backface" clockwise; the
    // context's cull mode comes back afterwards), then the draw.
    void execute() const;

    float sortKey = 0.0f;
    ShaderContext* shader = nullptr;
    SceneMesh* mesh = nullptr;
    Mesh::MeshRenderingInstance* instance = nullptr;
    std::vector<SceneUniform> uniforms;
    std::vector<std::string> cullFaces;
};

// Ascending keys with NaN after every number, so a bad key cannot break the
// order of the others.
bool sortKeyBefore(float a, float b);

// ---- Renderer -----------------------------------------------------------------

// What is drawn of one scene: its records (owned), passes and materials (not
// owned). Matrices are brought up to date once per distinct time and camera.
class SceneRenderer {
public:
    explicit SceneRenderer(Scene* scene);
    ~SceneRenderer();
    SceneRenderer(const SceneRenderer&) = delete;
    SceneRenderer& operator=(const SceneRenderer&) = delete;

    Scene* getScene() const { return scene; }

    SceneMesh* addMesh(std::unique_ptr<SceneMesh> mesh);
    SceneLight* addLight(std::unique_ptr<SceneLight> light);
    SceneCamera* addCamera(std::unique_ptr<SceneCamera> camera);
    void addPass(ScenePass* pass) { passes.push_back(pass); }

    const std::vector<std::unique_ptr<SceneMesh>>& getMeshes() const { return meshes; }
    const std::vector<std::unique_ptr<SceneLight>>& getLights() const { return lights; }
    const std::vector<std::unique_ptr<SceneCamera>>& getCameras() const { return cameras; }
    const std::vector<ScenePass*>& getPasses() const { return passes; }
    // In order of first use by the meshes.
    const std::vector<SceneMaterial*>& getMaterials() const { return materials; }

    // Hands every record to its material, then prepares the materials for
    // the passes' names. Once: a second call is refused. Records with neither
    // mesh nor material are skipped; a mesh without a material is refused.
    void groupByMaterial();
    void updateTransforms(const std::string& cameraName, float time);
    // Throws when no camera has the name.
    SceneCamera* findCamera(const std::string& cameraName);
    void render(const std::string& cameraName, float time);

private:
    Scene* scene;
    std::vector<std::unique_ptr<SceneMesh>> meshes;
    std::vector<ScenePass*> passes;
    std::vector<std::unique_ptr<SceneLight>> lights;
    std::vector<std::unique_ptr<SceneCamera>> cameras;
    std::vector<SceneMaterial*> materials;
    bool grouped = false;
    bool updated = false;
    float updatedTime = 0.0f;
    std::string updatedCamera;
};

// ---- Passes -----------------------------------------------------------------

class ScenePass {
public:
    virtual ~ScenePass() {}
    virtual std::vector<std::string> getPassNames() const = 0;
    virtual void render(SceneRenderer& renderer, SceneRenderState& state) = 0;
};

// "lights": every material collects records for every light; all of them are
// sorted by key and executed.
class LightScenePass : public ScenePass {
public:
    static LightScenePass* instance();
    std::vector<std::string> getPassNames() const override { return {"lights"}; }
    void render(SceneRenderer& renderer, SceneRenderState& state) override;
};

// "basic": the materials in order of their own sort keys draw themselves.
class BiasScenePass : public ScenePass {
public:
    static BiasScenePass* instance();
    std::vector<std::string> getPassNames() const override { return {"basic"}; }
    void render(SceneRenderer& renderer, SceneRenderState& state) override;
};

// ---- Materials --------------------------------------------------------------

// How the objects given to it are drawn. Does not own its objects.
class SceneMaterial {
public:
    virtual ~SceneMaterial() {}

    virtual void addObject(SceneMesh* mesh) { objects.push_back(mesh); }
    virtual void collectDrawRecords(SceneRenderState& state, std::vector<SceneDrawRecord>& records) {}
    virtual void render(SceneRenderState& state) {}
    virtual void prepare(const std::vector<std::string>& passNames,
                         const std::vector<std::unique_ptr<SceneLight>>& lights,
                         const std::vector<std::unique_ptr<SceneCamera>>& cameras) = 0;

    const std::vector<SceneMesh*>& getObjects() const { return objects; }
    float getSortKey() const { return sortKey; }
    void setSortKey(float key) { sortKey = key; }

protected:
    std::vector<SceneMesh*> objects;
    float sortKey = 0.0f;
};

// Draws through records of the "lights" pass with one shader context, once
// per light of kind 0. Unblended objects key near -10000 and blended ones
// near 0, each group farther first by the clip-space z of the origin.
class BasicSceneMaterial : public SceneMaterial {
public:
    // The shader is not owned and must not be null.
    explicit BasicSceneMaterial(ShaderContext* shader);

    void setBlendEnabled(bool enabled) { blendEnabled = enabled; }
    void setBlendColor(const Vec4& color) { blendColor = color; }
    void setSourceBlend(const int& mode) { sourceBlend = mode; }
    void setDestinationBlend(const int& mode) { destinationBlend = mode; }
    void setBlendOperation(int operation) { blendOperation = operation; }
    void setPointSprites(bool enabled) { pointSprites = enabled; }
    void setClipPlanesEnabled(bool enabled) { clipPlanesEnabled = enabled; }
    // count planes of four floats; not copied.
    void setClipPlanes(int count, const float* planes);
    // n empty slots, bound as "texture1" ... "textureN".
    void setTextureCount(int n);
    void setTexture(int index, Core::Texture* texture);

    ShaderContext* getShader() const { return shader; }
    bool isBlendEnabled() const { return blendEnabled; }
    int getTextureCount() const { return static_cast<int>(textures.size()); }

    void collectDrawRecords(SceneRenderState& state, std::vector<SceneDrawRecord>& records) override;
    void prepare(const std::vector<std::string>& passNames, const std::vector<std::unique_ptr<SceneLight>>& lights,
                 const std::vector<std::unique_ptr<SceneCamera>>& cameras) override;

private:
    ShaderContext* shader;
    bool pointSprites = false;
    bool blendEnabled = false;
    bool clipPlanesEnabled = false;
    int32_t clipPlaneCount = 0;
    const float* clipPlanes = nullptr;
    Vec4 blendColor = Vec4(0.5f, 0.5f, 0.5f, 0.5f);
    int32_t sourceBlend = 12;
    int32_t destinationBlend = 11;
    int32_t blendOperation = 0;
    std::vector<Core::Texture*> textures;
};

// Draws its objects itself in the "basic" pass with its own context and
// built shader; uniforms named "mesh:" + n take each object's attribute or
// uniform n.
class BiasMaterial : public SceneMaterial {
public:
    // Builds the graph (a graph is built once: pass a clone to share one).
    explicit BiasMaterial(const ShaderGraph& graph);
    ~BiasMaterial() override;

    // Takes effect at the next prepare.
    void setTopologyName(const std::string& name) { topologyName = name; }
    // Blending on with the eleven values, and depth writing off.
    void setBlendMode(int operation, int source, int destination, float r, float g, float b, float a,
                      bool separateAlpha, int alphaOperation, int alphaSource, int alphaDestination);

    void setTexture(const std::string& name, Core::Texture* texture);
    void setUniformVec3(const std::string& name, const Vec3& value);
    void setUniform(const std::string& name, const Vec4& value);
    // Not transposed.
    void setUniformMatrix(const std::string& name, const Matrix4& value);
    // (v, v, v, 0).
    void setUniformFloat(const std::string& name, float value);

    Core::RenderContext& getContext() { return *context; }
    const ShaderBuild& getBuild() const { return *build; }
    const std::vector<std::string>& getMeshParameters() const { return meshParameters; }

    void render(SceneRenderState& state) override;
    void prepare(const std::vector<std::string>& passNames, const std::vector<std::unique_ptr<SceneLight>>& lights,
                 const std::vector<std::unique_ptr<SceneCamera>>& cameras) override;

private:
    std::unique_ptr<Core::RenderContext> context;
    std::unique_ptr<ShaderBuild> build;
    std::vector<std::string> meshParameters;
    std::string topologyName = "Default";
    std::map<const SceneMesh*, std::unique_ptr<Mesh::MeshRenderingInstance>> instances;
};

// Hands every object to each sub-material and lets the enabled ones draw.
// The sub-materials are not owned; a material that contains itself, directly
// or through others, is refused when it is used.
class MultipassMaterial : public SceneMaterial {
public:
    struct Entry {
        bool enabled;
        SceneMaterial* material;
    };

    void addEntry(SceneMaterial* material, bool enabled = true) { entries.push_back({enabled, material}); }
    std::vector<Entry>& getEntries() { return entries; }

    void addObject(SceneMesh* mesh) override;
    void render(SceneRenderState& state) override;
    void prepare(const std::vector<std::string>& passNames, const std::vector<std::unique_ptr<SceneLight>>& lights,
                 const std::vector<std::unique_ptr<SceneCamera>>& cameras) override;

private:
    // Throws when the material is already being visited further up.
    class Visit;
    std::vector<Entry> entries;
    bool visiting = false;
};

} // namespace Vostrel
