#include "Tests/Scene/Render/SceneRenderTestSupport.h"

#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/Texture.h"
#include "Libs/Mesh/ModifiableMeshImpl.h"
#include "Tools/Content/TestSceneComposer.h"

#include <gtest/gtest.h>

#include <glm/ext/matrix_clip_space.hpp>
#include <glm/ext/matrix_transform.hpp>
#include <glm/mat4x4.hpp>
#include <glm/matrix.hpp>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>

using namespace SceneRenderTest;

namespace {

// One draw as the device would see it: which mesh, the cull mode and
// blending of the context, and the named uniforms read back from the
// context's registers through the shader's bindings (rows of a matrix in
// register order).
struct Draw {
    std::string mesh;
    int cullMode;
    bool blending;
    std::map<std::string, std::vector<float>> uniforms;
};

typedef std::function<const ShaderBuild*(Core::RenderContext&)> BuildOf;

const char* const loggedUniforms[] = {"fullTransform", "meshTransform", "cameraSpace",   "meshPosition",
                                      "perspectiveTransform", "cameraView", "cameraTransform", "cameraPosition",
                                      "lightPos",      "lightColor",    "time",          "mesh:glow"};

class LoggingInstance : public Mesh::MeshRenderingInstance {
public:
    LoggingInstance(std::unique_ptr<Mesh::MeshRenderingInstance> inner, std::string name, std::vector<Draw>& log,
                    const BuildOf& buildOf)
        : inner(std::move(inner)), name(std::move(name)), log(log), buildOf(buildOf)
    {
    }

    void render(Core::RenderContext& context) override
    {
        Draw draw{name, context.getCullMode(), context.isBlending(), {}};
        const ShaderBuild* build = buildOf(context);
        for (const char* uniform : loggedUniforms) {
            const ShaderBuild::UniformBinding* binding = build ? build->findUniform(uniform) : nullptr;
            if (!binding)
                continue;
            std::vector<float>& values = draw.uniforms[uniform];
            for (uint32_t r = 0; r < binding->size; ++r) {
                const Vec4 v = binding->vsReg >= 0 ? context.getVertexConstant(binding->vsReg + r)
                                                   : context.getPixelConstant(binding->psReg + r);
                values.insert(values.end(), v.data, v.data + 4);
            }
        }
        log.push_back(draw);
        inner->render(context);
    }

private:
    std::unique_ptr<Mesh::MeshRenderingInstance> inner;
    std::string name;
    std::vector<Draw>& log;
    const BuildOf& buildOf;
};

// The unit quad, drawn for real, whose instances log each draw.
class LoggingMesh : public Mesh::ModifiableMeshImpl {
public:
    LoggingMesh(const std::string& name, std::vector<Draw>& log, const BuildOf& buildOf) : log(log), buildOf(buildOf)
    {
        setName(name);
        const float points[12] = {-0.5f, -0.5f, 0, -0.5f, 0.5f, 0, 0.5f, 0.5f, 0, 0.5f, -0.5f, 0};
        setVertexCount(4);
        addStreamFromData("location", 3, points, 0);
        addTopology("triangles", 0, 3, Mesh::TOPOLOGY_POLYGONS)->getPolygons() = {{0, 1, 2, 3}};
        getTopology("triangles")->triangulatePolygons(getStream("location"));
        freeze(4);
    }

    std::unique_ptr<Mesh::MeshRenderingInstance> createRenderingInstance(const std::vector<std::string>& streams,
                                                                         const std::string& topology) override
    {
        return std::make_unique<LoggingInstance>(ModifiableMeshImpl::createRenderingInstance(streams, topology),
                                                 getName(), log, buildOf);
    }

private:
    std::vector<Draw>& log;
    const BuildOf& buildOf;
};

// Counts its evaluations.
struct CountingFunction : Function<float, float> {
    explicit CountingFunction(float value) : value(value) {}
    float evaluate(const float&) const override
    {
        ++count;
        return value;
    }
    float value;
    mutable int count = 0;
};

std::vector<float> rowsOf(const glm::dmat4& m)
{
    std::vector<float> rows;
    for (int i = 0; i < 4; ++i)
        for (int j = 0; j < 4; ++j)
            rows.push_back(static_cast<float>(m[j][i]));
    return rows;
}

void expectNear(const std::vector<float>& actual, const std::vector<float>& expected, const std::string& what)
{
    ASSERT_EQ(actual.size(), expected.size()) << what;
    for (size_t i = 0; i < actual.size(); ++i)
        EXPECT_NEAR(actual[i], expected[i], 1e-4 * std::max(1.0f, std::fabs(expected[i]))) << what << " [" << i << "]";
}

class SceneDrawLog : public SceneRenderFixture {};

TEST_F(SceneDrawLog, RecordsAndSelfDrawingMaterialsDrawInOrderWithTheirStatesAndUniforms)
{
    const std::string quad = quadFile();
    Content::ComposedScene composed;
    composed.cameraPosition = Vec3(0, 2, -12);
    composed.targetPosition = Vec3(0, 0, 0);
    composed.zoom = 2.0f;
    composed.frameWidth = 64;
    composed.frameHeight = 48;
    composed.lights = {{"Key", 0, Vec3(1, 5, -3), Vec3(1, 0.5f, 0.25f)}, {"Fill", 1, Vec3(0, 0, 0), Vec3(1, 1, 1)}};
    struct Placed {
        const char* name;
        Vec3 position;
    };
    const Placed placed[] = {{"near", Vec3(0, 0, 0)},    {"far", Vec3(0, 0, 6)},     {"twin", Vec3(1, 0, 4)},
                             {"hidden", Vec3(0, 1, 1)},  {"gone", Vec3(0, 1, 1)},    {"ext a", Vec3(2, 0, 0)},
                             {"ext b", Vec3(-2, 0, 0)},  {"ext nan", Vec3(0, 2, 0)}, {"glass", Vec3(0, 0, 2)},
                             {"glass2", Vec3(0, 0, 3)},  {"biased", Vec3(3, 0, 1)},  {"tinted", Vec3(-3, 0, 1)},
                             {"multi", Vec3(0, -2, 1)}};
    for (const Placed& p : placed)
        composed.meshes.emplace_back(p.name, quad, p.position);
    for (Content::ComposedMesh& mesh : composed.meshes) {
        if (mesh.name == "twin") {
            mesh.intConstants["FrontfaceAndBackface"] = 1;
            mesh.constants["zBias"] = 50.0f;
        }
        if (mesh.name == "hidden")
            mesh.intConstants["visible"] = 0;
        if (mesh.name == "gone")
            mesh.constants["dissolve"] = 1.0f;
        if (mesh.name == "biased")
            mesh.constants["glow"] = 0.25f;
    }
    const std::string file = dir.file("log.sce");
    Content::writeComposedScene(file, composed);
    std::unique_ptr<LwScene> lwScene = LwScene::create(file, nullptr);

    OwnedShaderContext unblendedShader(flatGraph()), blendedShader(flatGraph());
    BasicSceneMaterial unblended(unblendedShader.get()), blended(blendedShader.get());
    blended.setBlendEnabled(true);
    unblendedShader->setCullMode(Core::CULL_NONE);
    BiasMaterial bias(glowGraph()), multiEnabled(glowGraph()), multiDisabled(glowGraph());
    for (BiasMaterial* material : {&bias, &multiEnabled, &multiDisabled})
        material->setBlendMode(0, 1, 11, 0.5f, 0.5f, 0.5f, 0.5f, false, 0, 1, 1);
    bias.setSortKey(1.0f);
    MultipassMaterial multi;
    multi.setSortKey(-1.0f);
    multi.addEntry(&multiEnabled, true);
    multi.addEntry(&multiDisabled, false);

    std::vector<Draw> log;
    const BuildOf buildOf = [&](Core::RenderContext& context) -> const ShaderBuild* {
        for (ShaderContext* shader : {unblendedShader.get(), blendedShader.get()})
            if (&shader->getRenderContext() == &context)
                return &shader->getShaderBuild();
        for (BiasMaterial* material : {&bias, &multiEnabled, &multiDisabled})
            if (&material->getContext() == &context)
                return &material->getBuild();
        return nullptr;
    };
    std::vector<std::unique_ptr<LoggingMesh>> meshes;
    for (const Placed& p : placed) {
        meshes.push_back(std::make_unique<LoggingMesh>(p.name, log, buildOf));
        lwScene->setMesh(p.name, meshes.back().get());
    }
    lwScene->setDefaultMaterial(&unblended);
    lwScene->setMaterialByObjectName("glass", &blended);
    lwScene->setMaterial("biased", &bias);
    lwScene->setMaterial("tinted", &bias);
    lwScene->setMaterial("multi", &multi);
    lwScene->setUniform("tinted", "glow", Vec4(1, 2, 3, 4));
    lwScene->setUniform("far", "meshPosition", Vec4(9, 9, 9, 9));
    lwScene->setExternalZ("ext a", 3.0f);
    lwScene->setExternalZ("ext b", 3.0f);
    lwScene->setExternalZ("ext nan", std::numeric_limits<float>::quiet_NaN());
    lwScene->addPass(LightScenePass::instance());
    lwScene->addPass(BiasScenePass::instance());
    lwScene->prepare();

    std::unique_ptr<Core::Texture> target = makeTarget(64, 48);
    const float time = 1.25f;
    auto counter = new CountingFunction(0.0f);
    lwScene->findMesh("near")->object->setAttribute("x", counter);
    target->getRenderTarget()->begin();
    lwScene->getRenderer()->render("Camera", time);
    const int evaluations = counter->count;
    lwScene->getRenderer()->render("Camera", time);
    target->getRenderTarget()->end();
    EXPECT_EQ(evaluations, 1);
    EXPECT_EQ(counter->count, evaluations) << "a second render at the same time and camera evaluated again";
    ASSERT_EQ(log.size() % 2, 0u);
    log.resize(log.size() / 2);

    // What the records should be, from GLM.
    const double aspect = 64.0 / 48.0, zoom = 2.0, zNear = 0.01, zFar = 2000.0;
    const glm::dmat4 projection = glm::frustumLH_ZO(-aspect * zNear / zoom, aspect * zNear / zoom, -zNear / zoom,
                                                    zNear / zoom, zNear, zFar);
    const glm::dvec3 eye(0, 2, -12);
    const glm::dmat4 view = glm::lookAtLH(eye, glm::dvec3(0, 0, 0), glm::dvec3(0, 1, 0));
    std::map<std::string, glm::dmat4> world;
    for (const Placed& p : placed)
        world[p.name] = glm::translate(glm::dmat4(1.0), glm::dvec3(p.position[0], p.position[1], p.position[2]));

    struct Expected {
        std::string mesh;
        double key;
        int cullMode;
        bool blending;
    };
    std::vector<Expected> records;
    for (const char* name : {"near", "far", "twin", "ext a", "ext b", "ext nan"}) {
        const double z = (projection * view * world[name])[3][2];
        if (std::string(name) == "twin") {
            records.push_back({name, -10000 - (z - 0.001), Core::CULL_COUNTER_CLOCKWISE, false});
            records.push_back({name, -10000 - (z + 0.001), Core::CULL_CLOCKWISE, false});
        } else {
            const double external = std::string(name) == "ext nan" ? std::nan("") : 3.0;
            records.push_back({name, std::string(name).compare(0, 3, "ext") == 0 ? external : -10000 - z,
                               Core::CULL_NONE, false});
        }
    }
    for (const char* name : {"glass", "glass2"})
        records.push_back({name, -(projection * view * world[name])[3][2], Core::CULL_NONE, true});
    std::stable_sort(records.begin(), records.end(), [](const Expected& a, const Expected& b) {
        return !std::isnan(a.key) && (std::isnan(b.key) || a.key < b.key);
    });
    for (const char* name : {"multi", "biased", "tinted"})
        records.push_back({name, 0, Core::CULL_COUNTER_CLOCKWISE, true});

    ASSERT_EQ(log.size(), records.size());
    for (size_t i = 0; i < log.size(); ++i) {
        const Draw& draw = log[i];
        const Expected& expected = records[i];
        SCOPED_TRACE("draw " + std::to_string(i) + " " + draw.mesh);
        EXPECT_EQ(draw.mesh, expected.mesh);
        EXPECT_EQ(draw.cullMode, expected.cullMode);
        EXPECT_EQ(draw.blending, expected.blending);
        const glm::dmat4& m = world[expected.mesh];
        expectNear(draw.uniforms.at("fullTransform"), rowsOf(projection * view * m), "fullTransform");
        expectNear(draw.uniforms.at("meshTransform"), rowsOf(m), "meshTransform");
        const bool basic = i + 3 < log.size();
        if (basic) {
            expectNear(draw.uniforms.at("cameraSpace"), rowsOf(view * m), "cameraSpace");
            expectNear(draw.uniforms.at("perspectiveTransform"), rowsOf(projection), "perspectiveTransform");
            expectNear(draw.uniforms.at("cameraView"), rowsOf(view), "cameraView");
            expectNear(draw.uniforms.at("cameraTransform"), rowsOf(glm::inverse(view)), "cameraTransform");
            expectNear(draw.uniforms.at("cameraPosition"), {0, 2, -12, 1}, "cameraPosition");
            const std::vector<float> position =
                expected.mesh == "far" ? std::vector<float>{9, 9, 9, 9}
                                       : std::vector<float>{float(m[3][0]), float(m[3][1]), float(m[3][2]), 1};
            expectNear(draw.uniforms.at("meshPosition"), position, "meshPosition");
            expectNear(draw.uniforms.at("lightPos"), {1, 5, -3, 1}, "lightPos");
            expectNear(draw.uniforms.at("lightColor"), {1, 0.5f, 0.25f, 1}, "lightColor");
            expectNear(draw.uniforms.at("time"), {time, time, time, time}, "time");
        } else {
            expectNear(draw.uniforms.at("time"), {time, time, time, 0}, "time");
            const std::vector<float> glow = expected.mesh == "biased"   ? std::vector<float>{0.25f, 0.25f, 0.25f, 0}
                                            : expected.mesh == "tinted" ? std::vector<float>{1, 2, 3, 4}
                                                                        : std::vector<float>{0, 0, 0, 0};
            expectNear(draw.uniforms.at("mesh:glow"), glow, "mesh:glow");
        }
    }
    EXPECT_EQ(unblendedShader->getCullMode(), Core::CULL_NONE) << "a twin's cull mode leaked into its material";
    EXPECT_EQ(multiDisabled.getObjects().size(), 1u);

    freeShaders(bias.getBuild());
    freeShaders(multiEnabled.getBuild());
    freeShaders(multiDisabled.getBuild());
    lwScene.reset();
}

TEST_F(SceneDrawLog, MisuseIsRefusedNamingItsCause)
{
    MultipassMaterial outer, inner;
    outer.addEntry(&inner);
    inner.addEntry(&outer);
    SceneMesh record;
    SceneRenderState state;
    OwnedShaderContext shader(flatGraph());
    BasicSceneMaterial material(shader.get());
    material.setTextureCount(2);
    const std::string quad = quadFile();
    Scene scene;
    addObject(scene, "bare", 1);
    addObject(scene, "quad", 1);
    LwScene lwScene(&scene, nullptr);
    lwScene.setMesh("quad", MeshCache::instance().loadLayer(quad, 1, nullptr));
    struct Case {
        std::function<void()> action;
        std::string message;
    };
    const Case cases[] = {
        {[&] { outer.addObject(&record); }, "MultipassMaterial: the material contains itself"},
        {[&] { outer.render(state); }, "MultipassMaterial: the material contains itself"},
        {[&] { material.setTextureCount(-1); }, "BasicSceneMaterial::setTextureCount: negative count -1"},
        {[&] { material.setTexture(2, nullptr); }, "BasicSceneMaterial::setTexture: slot 2 is outside the 2 slots"},
        {[] { BasicSceneMaterial none(nullptr); }, "material != 0 does not hold."},
        // "bare" has neither mesh nor material and is passed over.
        {[&] { lwScene.prepare(); }, "SceneRenderer::groupByMaterial: mesh 'quad' has no material"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(failureOf(c.action).message, c.message);
    EXPECT_EQ(failureOf([] { BasicSceneMaterial none(nullptr); }).line, 163);
}

TEST_F(SceneDrawLog, TextureSlotsBindByNameAndADeclaredEmptySlotIsRefused)
{
    ShaderGraph graph = flatGraph();
    graph.setColorResult(texld(graph.constantScalar(0.5f), graph.texture("texture1", 0)) +
                         texld(graph.constantScalar(0.5f), graph.texture("texture3", 0)));
    OwnedShaderContext shader(graph);
    BasicSceneMaterial material(shader.get());
    Scene scene;
    SceneObject* light = addObject(scene, "light", 2);
    for (const char* channel : {"color.r", "color.g", "color.b"})
        light->setAttribute(channel, new ConstantFunction<float>(1.0f));
    SceneLight key{0, light};
    SceneCamera camera;
    SceneRenderState state;
    state.passName = "lights";
    state.light = &key;
    state.camera = &camera;
    std::vector<SceneDrawRecord> records;

    Core::TextureParameters parameters;
    parameters.width = parameters.height = 4;
    parameters.minFilter = Core::MIN_LINEAR;
    std::unique_ptr<Core::Texture> first(Core::createTexture(parameters)), third(Core::createTexture(parameters));
    material.setTextureCount(3);
    material.setTexture(2, third.get());
    EXPECT_EQ(failureOf([&] { material.collectDrawRecords(state, records); }).message,
              "BasicSceneMaterial: texture slot 0 (texture1) is empty");
    // "texture2" is not read by the shader: its empty slot does not matter.
    material.setTexture(0, first.get());
    material.collectDrawRecords(state, records);
    const auto& samplers = shader->getShaderBuild().getTextureMap();
    EXPECT_EQ(shader->getTexture(int(samplers.at("texture1").sampler)), first.get());
    EXPECT_EQ(shader->getTexture(int(samplers.at("texture3").sampler)), third.get());
}

TEST_F(SceneDrawLog, BiasMaterialSettersReachItsShaderAndState)
{
    BiasMaterial bias(glowGraph());
    const ShaderBuild::UniformBinding& glow = *bias.getBuild().findUniform("mesh:glow");
    auto value = [&] {
        return glow.vsReg >= 0 ? bias.getContext().getVertexConstant(glow.vsReg)
                               : bias.getContext().getPixelConstant(glow.psReg);
    };
    bias.setUniformFloat("mesh:glow", 2.0f);
    EXPECT_EQ(value(), Vec4(2, 2, 2, 0));
    bias.setUniformVec3("mesh:glow", Vec3(1, 2, 3));
    EXPECT_EQ(value(), Vec4(1, 2, 3, 1));
    // The eleven values in their order, blending on and depth writing off.
    bias.setBlendMode(1, 5, 4, 1, 1, 1, 1, true, 3, 0, 1);
    const Core::RenderContext& context = bias.getContext();
    EXPECT_TRUE(context.isBlending());
    EXPECT_FALSE(context.isDepthWrite());
    EXPECT_EQ(context.getBlendOperation(), Core::BLENDOP_SUBTRACT);
    EXPECT_EQ(context.getSourceBlend(), Core::BLEND_INVERSE_SOURCE_ALPHA);
    EXPECT_EQ(context.getDestinationBlend(), Core::BLEND_SOURCE_ALPHA);
    EXPECT_EQ(context.getAlphaBlendOperation(), Core::BLENDOP_MINIMUM);
    EXPECT_EQ(context.getAlphaDestinationBlend(), Core::BLEND_ONE);
    freeShaders(bias.getBuild());
}

} // namespace
