#include "Libs/Scene/SceneRenderer.h"

#include "Libs/Common/Exception.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Mesh/MeshRenderingInstance.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Scene/Scene.h"

#include <algorithm>
#include <cmath>

namespace Vostrel {

namespace {

Vec4 column3(const Matrix4& m) { return m[3]; }

// Names looked up for every object of every frame, made once.
const std::string visibleName = "visible";
const std::string dissolveName = "dissolve";
const std::string objectNameName = "objectName";
const std::string twinName = "FrontfaceAndBackface";
const std::string biasNames[3] = {"zBias", "frontZBias", "backZBias"};

// Whether an object is drawn at a time: not hidden by "visible" 0 and not
// dissolved ("dissolve" below 1; a value that is no number hides too).
bool isShown(SceneObject& object, float time)
{
    if (object.hasIntConstant(visibleName) && object.getIntConstant(visibleName) == 0)
        return false;
    if (object.hasAttribute(dissolveName) && !(object.getAttribute(dissolveName, time) < 1.0f))
        return false;
    return true;
}

std::string describeMesh(const SceneMesh& mesh)
{
    return mesh.object ? mesh.object->describe() : std::string("(no object)");
}

} // namespace

bool sortKeyBefore(float a, float b)
{
    if (std::isnan(a))
        return false;
    return std::isnan(b) || a < b;
}

// ---- Records ----------------------------------------------------------------

SceneMesh::SceneMesh() = default;
SceneMesh::~SceneMesh() = default;
SceneCamera::SceneCamera() = default;
SceneCamera::~SceneCamera() = default;

void SceneDrawRecord::execute() const
{
    for (const SceneUniform& uniform : uniforms) {
        if (uniform.type == 0)
            shader->setUniform(uniform.name, uniform.vector);
        else
            shader->setUniformMatrix(uniform.name, uniform.matrix);
    }
    if (mesh && mesh->object)
        for (const auto& uniform : mesh->object->getUniforms())
            shader->setUniform(uniform.first, uniform.second);
    // A twin's cull mode belongs to its record only; the material's context
    // gets its own mode back for the records after it.
    const Core::CullMode materialCullMode = shader->getCullMode();
    bool culled = false;
    for (const std::string& face : cullFaces) {
        if (face == "frontface") {
            shader->setCullMode(Core::CULL_COUNTER_CLOCKWISE);
            culled = true;
        } else if (face == "backface") {
            shader->setCullMode(Core::CULL_CLOCKWISE);
            culled = true;
        }
    }
    try {
        instance->render(*shader);
    } catch (...) {
        if (culled)
            shader->setCullMode(materialCullMode);
        throw;
    }
    if (culled)
        shader->setCullMode(materialCullMode);
}

// ---- Renderer -----------------------------------------------------------------

SceneRenderer::SceneRenderer(Scene* scene) : scene(scene) {}

SceneRenderer::~SceneRenderer() = default;

SceneMesh* SceneRenderer::addMesh(std::unique_ptr<SceneMesh> mesh)
{
    meshes.push_back(std::move(mesh));
    return meshes.back().get();
}

SceneLight* SceneRenderer::addLight(std::unique_ptr<SceneLight> light)
{
    lights.push_back(std::move(light));
    return lights.back().get();
}

SceneCamera* SceneRenderer::addCamera(std::unique_ptr<SceneCamera> camera)
{
    cameras.push_back(std::move(camera));
    return cameras.back().get();
}

void SceneRenderer::groupByMaterial()
{
    // Twice would hand every mesh to its material again and draw it twice.
    if (grouped)
        VOSTREL_THROW("SceneRenderer::groupByMaterial: the materials are grouped already");
    for (const auto& mesh : meshes) {
        if (!mesh->material) {
            if (!mesh->mesh)
                continue;
            VOSTREL_THROW("SceneRenderer::groupByMaterial: mesh '" << describeMesh(*mesh) << "' has no material");
        }
        if (std::find(materials.begin(), materials.end(), mesh->material) == materials.end())
            materials.push_back(mesh->material);
        mesh->material->addObject(mesh.get());
    }
    grouped = true;
    std::vector<std::string> passNames;
    for (ScenePass* pass : passes)
        for (const std::string& name : pass->getPassNames())
            passNames.push_back(name);
    for (SceneMaterial* material : materials)
        material->prepare(passNames, lights, cameras);
}

void SceneRenderer::updateTransforms(const std::string& cameraName, float time)
{
    if (updated && time == updatedTime && cameraName == updatedCamera)
        return;
    for (const auto& mesh : meshes)
        mesh->transform = *mesh->object->getTransform(time);
    for (const auto& camera : cameras) {
        camera->transform = *camera->object->getTransform(time);
        Matrix4 work = camera->transform;
        camera->viewValid = invertMatrix(work, camera->view) == 0;
        camera->projection = camera->perspective->evaluate(time);
    }
    updated = true;
    updatedTime = time;
    updatedCamera = cameraName;
}

SceneCamera* SceneRenderer::findCamera(const std::string& cameraName)
{
    for (const auto& camera : cameras)
        if (camera->name == cameraName)
            return camera.get();
    VOSTREL_THROW_AT_LINE(90, "SceneRenderer: camera '" << cameraName << "' not found!");
}

void SceneRenderer::render(const std::string& cameraName, float time)
{
    updateTransforms(cameraName, time);
    SceneRenderState state;
    state.time = time;
    state.camera = findCamera(cameraName);
    VOSTREL_ASSERT_AT_LINE(129, state.camera != 0);
    // A partly reduced inverse would draw from nowhere in particular.
    if (!state.camera->viewValid) {
        // The camera's channels made it: name the object and its file.
        if (const SceneObject* camera = state.camera->object)
            reportContext("In " + camera->describeAt(time + camera->getTimeOffset()));
        VOSTREL_THROW("SceneRenderer: camera '" << cameraName << "' has a transform without inverse at time "
                                                << time);
    }
    for (ScenePass* pass : passes)
        pass->render(*this, state);
}

// ---- Passes -----------------------------------------------------------------

LightScenePass* LightScenePass::instance()
{
    static LightScenePass pass;
    return &pass;
}

void LightScenePass::render(SceneRenderer& renderer, SceneRenderState& state)
{
    std::vector<SceneDrawRecord> records;
    state.passName = "lights";
    for (const auto& light : renderer.getLights()) {
        state.light = light.get();
        for (SceneMaterial* material : renderer.getMaterials())
            material->collectDrawRecords(state, records);
    }
    // Stable, so equal keys keep the order the materials collected them in.
    std::stable_sort(records.begin(), records.end(), [](const SceneDrawRecord& a, const SceneDrawRecord& b) {
        return sortKeyBefore(a.sortKey, b.sortKey);
    });
    for (const SceneDrawRecord& record : records)
        record.execute();
}

BiasScenePass* BiasScenePass::instance()
{
    static BiasScenePass pass;
    return &pass;
}

void BiasScenePass::render(SceneRenderer& renderer, SceneRenderState& state)
{
    state.passName = "basic";
    std::vector<SceneMaterial*> materials = renderer.getMaterials();
    std::stable_sort(materials.begin(), materials.end(), [](const SceneMaterial* a, const SceneMaterial* b) {
        return sortKeyBefore(a->getSortKey(), b->getSortKey());
    });
    for (SceneMaterial* material : materials)
        material->render(state);
}

// ---- Basic material -----------------------------------------------------------

BasicSceneMaterial::BasicSceneMaterial(ShaderContext* material) : shader(material)
{
    VOSTREL_ASSERT_AT_LINE(163, material != 0);
}

void BasicSceneMaterial::setClipPlanes(int count, const float* planes)
{
    clipPlaneCount = count;
    clipPlanes = planes;
}

void BasicSceneMaterial::setTextureCount(int n)
{
    if (n < 0)
        VOSTREL_THROW("BasicSceneMaterial::setTextureCount: negative count " << n);
    textures.assign(static_cast<size_t>(n), nullptr);
}

void BasicSceneMaterial::setTexture(int index, Core::Texture* texture)
{
    if (index < 0 || index >= static_cast<int>(textures.size()))
        VOSTREL_THROW("BasicSceneMaterial::setTexture: slot " << index << " is outside the " << textures.size()
                                                              << " slots");
    textures[static_cast<size_t>(index)] = texture;
}

void BasicSceneMaterial::prepare(const std::vector<std::string>&, const std::vector<std::unique_ptr<SceneLight>>&,
                                 const std::vector<std::unique_ptr<SceneCamera>>&)
{
    for (SceneMesh* object : objects) {
        if (!object->mesh) {
            object->instance.reset();
            continue;
        }
        object->instance = object->mesh->createRenderingInstance(shader->getShaderBuild().getStreamNames(), "Default");
        object->object->getStringConstant(objectNameName);
    }
}

void BasicSceneMaterial::collectDrawRecords(SceneRenderState& state, std::vector<SceneDrawRecord>& records)
{
    if (state.passName != "lights" || !state.light || state.light->kind != 0)
        return;
    const float time = state.time;
    SceneObject& light = *state.light->object;
    shader->setUniformVec3("lightPos", Vec3(light.getAttribute("x", time), light.getAttribute("y", time),
                                            light.getAttribute("z", time)));
    shader->setUniformVec3("lightColor", Vec3(light.getAttribute("color.r", time), light.getAttribute("color.g", time),
                                              light.getAttribute("color.b", time)));
    shader->setUniform("time", Vec4(time, time, time, time));

    const auto& declared = shader->getShaderBuild().getTextureMap();
    for (size_t i = 0; i < textures.size(); ++i) {
        const std::string name = "texture" + std::to_string(i + 1);
        // An empty slot the shader samples would draw with whatever the
        // sampler last held.
        if (!textures[i] && declared.count(name))
            VOSTREL_THROW("BasicSceneMaterial: texture slot " << i << " (" << name << ") is empty");
        shader->setTexture(name, textures[i]);
    }

    if (blendEnabled) {
        shader->setCullMode(Core::CULL_NONE);
        shader->setDepthWrite(false);
        shader->setBlending(true);
        shader->setBlendOperation(static_cast<Core::BlendOperation>(blendOperation));
        shader->setBlendFactor(blendColor);
        shader->setSourceBlend(static_cast<Core::BlendMode>(sourceBlend));
        shader->setDestinationBlend(static_cast<Core::BlendMode>(destinationBlend));
    }
    if (pointSprites)
        shader->setPointSprite(true);
    if (clipPlanesEnabled) {
        shader->setClipPlanesEnabled(true);
        shader->setClipPlanes(clipPlaneCount, clipPlanes);
    }

    const SceneCamera& camera = *state.camera;
    const Matrix4 viewProjection = camera.projection * camera.view;
    bool cameraSet = false;
    for (SceneMesh* mesh : objects) {
        if (!mesh->instance)
            continue;
        SceneObject& object = *mesh->object;
        if (!isShown(object, time))
            continue;
        if (!cameraSet) {
            shader->setUniformMatrix("perspectiveTransform", camera.projection.transpose());
            shader->setUniformMatrix("cameraView", camera.view.transpose());
            shader->setUniformMatrix("cameraTransform", camera.transform.transpose());
            shader->setUniform("cameraPosition", column3(camera.transform));
            cameraSet = true;
        }
        object.getStringConstant(objectNameName);

        const Matrix4 full = viewProjection * mesh->transform;
        const long double z = full(2, 3);
        long double bias = 0.0L;
        for (const std::string& name : biasNames)
            if (object.hasAttribute(name))
                bias = object.getAttribute(name, 0.0f);
        const long double base = blendEnabled ? 0.0L : -10000.0L;

        SceneDrawRecord record;
        record.shader = shader;
        record.mesh = mesh;
        record.instance = mesh->instance.get();
        record.uniforms.reserve(4);
        record.uniforms.emplace_back("fullTransform", full.transpose());
        record.uniforms.emplace_back("meshTransform", mesh->transform.transpose());
        record.uniforms.emplace_back("cameraSpace", (camera.view * mesh->transform).transpose());
        record.uniforms.emplace_back("meshPosition", column3(mesh->transform));

        auto keyed = [mesh](long double key) {
            return mesh->externalZSource ? *mesh->externalZSource : static_cast<float>(key);
        };
        if (object.hasIntConstant(twinName)) {
            SceneDrawRecord back = record;
            record.cullFaces = {"frontface"};
            record.sortKey = keyed(base - (z - 0.001));
            back.cullFaces = {"backface"};
            back.sortKey = keyed(base - (z + 0.001));
            records.push_back(std::move(record));
            records.push_back(std::move(back));
        } else {
            record.sortKey = keyed(base - z + bias);
            records.push_back(std::move(record));
        }
    }
}

// ---- Bias material ----------------------------------------------------------

BiasMaterial::BiasMaterial(const ShaderGraph& graph)
    : context(std::make_unique<Core::RenderContext>()), build(std::make_unique<ShaderBuild>(graph.build()))
{
    build->apply(*context);
    for (const auto& uniform : build->getUniformMap())
        if (uniform.first.compare(0, 5, "mesh:") == 0)
            meshParameters.push_back(uniform.first.substr(5));
}

BiasMaterial::~BiasMaterial() = default;

void BiasMaterial::setBlendMode(int operation, int source, int destination, float r, float g, float b, float a,
                                bool separateAlpha, int alphaOperation, int alphaSource, int alphaDestination)
{
    context->copyBlendState(ShaderContext::makeBlendState(operation, source, destination, r, g, b, a, separateAlpha,
                                                          alphaOperation, alphaSource, alphaDestination));
    context->setDepthWrite(false);
}

void BiasMaterial::setTexture(const std::string& name, Core::Texture* texture)
{
    build->setTexture(*context, name, texture);
}

void BiasMaterial::setUniformVec3(const std::string& name, const Vec3& value)
{
    build->setUniformVec3(*context, name, value);
}

void BiasMaterial::setUniform(const std::string& name, const Vec4& value) { build->setUniform(*context, name, value); }

void BiasMaterial::setUniformMatrix(const std::string& name, const Matrix4& value)
{
    build->setUniformMatrix(*context, name, value);
}

void BiasMaterial::setUniformFloat(const std::string& name, float value)
{
    build->setUniform(*context, name, Vec4(value, value, value, 0.0f));
}

void BiasMaterial::prepare(const std::vector<std::string>&, const std::vector<std::unique_ptr<SceneLight>>&,
                           const std::vector<std::unique_ptr<SceneCamera>>&)
{
    for (SceneMesh* object : objects)
        if (object->mesh)
            instances[object] = object->mesh->createRenderingInstance(build->getStreamNames(), topologyName);
}

void BiasMaterial::render(SceneRenderState& state)
{
    const float time = state.time;
    const SceneCamera& camera = *state.camera;
    build->setUniform(*context, "time", Vec4(time, time, time, 0.0f));
    build->setUniformMatrix(*context, "perspectiveTransform", camera.projection.transpose());
    build->setUniformMatrix(*context, "cameraView", camera.view.transpose());
    build->setUniformMatrix(*context, "cameraTransform", camera.transform.transpose());
    build->setUniform(*context, "cameraPosition", column3(camera.transform));
    const Matrix4 viewProjection = camera.projection * camera.view;
    for (SceneMesh* mesh : objects) {
        auto found = instances.find(mesh);
        if (found == instances.end() || !found->second)
            continue;
        SceneObject& object = *mesh->object;
        if (!isShown(object, time))
            continue;
        build->setUniformMatrix(*context, "fullTransform", (viewProjection * mesh->transform).transpose());
        build->setUniformMatrix(*context, "meshTransform", mesh->transform.transpose());
        for (const std::string& name : meshParameters) {
            if (object.hasAttribute(name)) {
                const float v = object.getAttribute(name, time);
                build->setUniform(*context, "mesh:" + name, Vec4(v, v, v, 0.0f));
            } else if (const Vec4* uniform = object.getUniform(name)) {
                build->setUniform(*context, "mesh:" + name, *uniform);
            }
        }
        found->second->render(*context);
    }
}

// ---- Multipass material -------------------------------------------------------

class MultipassMaterial::Visit {
public:
    explicit Visit(MultipassMaterial& material) : material(material)
    {
        if (material.visiting)
            VOSTREL_THROW("MultipassMaterial: the material contains itself");
        material.visiting = true;
    }
    ~Visit() { material.visiting = false; }

private:
    MultipassMaterial& material;
};

void MultipassMaterial::addObject(SceneMesh* mesh)
{
    Visit visit(*this);
    objects.push_back(mesh);
    for (const Entry& entry : entries)
        entry.material->addObject(mesh);
}

void MultipassMaterial::prepare(const std::vector<std::string>& passNames,
                                const std::vector<std::unique_ptr<SceneLight>>& lights,
                                const std::vector<std::unique_ptr<SceneCamera>>& cameras)
{
    Visit visit(*this);
    for (const Entry& entry : entries)
        entry.material->prepare(passNames, lights, cameras);
}

void MultipassMaterial::render(SceneRenderState& state)
{
    Visit visit(*this);
    for (const Entry& entry : entries)
        if (entry.enabled)
            entry.material->render(state);
}

} // namespace Vostrel
