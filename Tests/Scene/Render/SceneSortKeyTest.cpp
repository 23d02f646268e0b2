#include "Tests/Scene/Render/SceneRenderTestSupport.h"

#include <gtest/gtest.h>

#include <glm/ext/matrix_clip_space.hpp>
#include <glm/ext/matrix_transform.hpp>
#include <glm/mat4x4.hpp>

#include <cmath>
#include <limits>
#include <map>

using namespace SceneRenderTest;

namespace {

// v0 + slope x time.
struct LinearFunction : Function<float, float> {
    LinearFunction(float v0, float slope) : v0(v0), slope(slope) {}
    float evaluate(const float& time) const override { return v0 + slope * time; }
    float v0, slope;
};

struct Row {
    std::string name;
    Vec3 position;
    bool blended;
    std::map<std::string, float> attributes;
    bool twin;
    float externalZ; // NaN: none
    // Expected (key, cull face) per record, from the clip-space z.
    std::function<std::vector<std::pair<double, std::string>>(double z)> expected;
};

const float none = std::numeric_limits<float>::quiet_NaN();

std::vector<std::pair<double, std::string>> one(double key) { return {{key, ""}}; }

class SceneSortKey : public SceneRenderFixture {};

TEST_F(SceneSortKey, KeysOrderUnblendedBeforeBlendedAndFarBeforeNear)
{
    const std::string quad = quadFile();
    const Row rows[] = {
        {"plain", Vec3(0, 0, 5), false, {}, false, none, [](double z) { return one(-10000 - z); }},
        {"blended", Vec3(1, 0, 8), true, {}, false, none, [](double z) { return one(-z); }},
        {"zBias", Vec3(0, 1, 3), false, {{"zBias", 2}}, false, none, [](double z) { return one(-10000 - z + 2); }},
        {"zBias blended", Vec3(0, 1, 3), true, {{"zBias", 2}}, false, none, [](double z) { return one(-z + 2); }},
        {"last bias wins", Vec3(2, 0, 6), false, {{"frontZBias", 0.01f}, {"backZBias", -0.01f}}, false, none,
         [](double z) { return one(-10000 - z - 0.01); }},
        {"twin", Vec3(0, -1, 4), false, {{"zBias", 3}}, true, none,
         [](double z) {
             return std::vector<std::pair<double, std::string>>{{-10000 - (z - 0.001), "frontface"},
                                                                {-10000 - (z + 0.001), "backface"}};
         }},
        {"external", Vec3(0, 0, 9), false, {}, false, 7.0f, [](double) { return one(7); }},
        {"external blended twin", Vec3(0, 0, 9), true, {}, true, 7.0f,
         [](double) {
             return std::vector<std::pair<double, std::string>>{{7, "frontface"}, {7, "backface"}};
         }},
        {"dissolving", Vec3(-1, 0, 2), false, {{"dissolve", 0.999f}}, false, none,
         [](double z) { return one(-10000 - z); }},
        {"dissolved", Vec3(-1, 0, 2), false, {{"dissolve", 1.0f}}, false, none,
         [](double) { return std::vector<std::pair<double, std::string>>(); }},
        {"dissolve NaN", Vec3(-1, 0, 2), false, {{"dissolve", none}}, false, none,
         [](double) { return std::vector<std::pair<double, std::string>>(); }},
        {"hidden", Vec3(-1, 0, 2), false, {{"visible", 0}}, false, none,
         [](double) { return std::vector<std::pair<double, std::string>>(); }},
        {"shown", Vec3(-1, 2, 2), false, {{"visible", 1}}, false, none, [](double z) { return one(-10000 - z); }},
    };

    Scene scene;
    const Vec3 eye(0.5f, 1.0f, -10.0f);
    SceneObject* camera = addObject(scene, "cam", 3, eye);
    camera->setAttribute("zoomFactor", new ConstantFunction<float>(2.0f));
    camera->setAttribute("nearPlane", new ConstantFunction<float>(0.5f));
    camera->setAttribute("farPlane", new ConstantFunction<float>(50.0f));
    camera->setIntConstant("frameWidth", 64);
    camera->setIntConstant("frameHeight", 48);
    SceneObject* light = addObject(scene, "light", 2);
    light->setIntConstant("lightType", 0);
    for (const char* channel : {"color.r", "color.g", "color.b"})
        light->setAttribute(channel, new ConstantFunction<float>(1.0f));
    for (const Row& row : rows) {
        SceneObject* object = addObject(scene, row.name, 1, row.position);
        object->setStringConstant("fileName", quad);
        object->setIntConstant("layer", 1);
        for (const auto& attribute : row.attributes) {
            if (attribute.first == "visible")
                object->setIntConstant("visible", static_cast<int>(attribute.second));
            else
                object->setAttribute(attribute.first, new ConstantFunction<float>(attribute.second));
        }
        if (row.twin)
            object->setIntConstant("FrontfaceAndBackface", 0);
    }
    // Biases are read at time 0 (plus the object's offset), not at the frame's time.
    SceneObject* late = addObject(scene, "bias at zero", 1, Vec3(1, 1, 1));
    late->setStringConstant("fileName", quad);
    late->setIntConstant("layer", 1);
    late->setAttribute("zBias", new LinearFunction(1.0f, 1.0f));
    late->setTimeOffset(0.5f);

    LwScene lwScene(&scene, nullptr);
    OwnedShaderContext unblendedShader(flatGraph()), blendedShader(flatGraph());
    BasicSceneMaterial unblended(unblendedShader.get()), blended(blendedShader.get());
    blended.setBlendEnabled(true);
    lwScene.setDefaultMaterial(&unblended);
    for (const Row& row : rows) {
        if (row.blended)
            lwScene.setMaterial(row.name, &blended);
        if (!std::isnan(row.externalZ))
            lwScene.setExternalZ(row.name, row.externalZ);
    }
    lwScene.prepare();

    SceneRenderer& renderer = *lwScene.getRenderer();
    const float time = 2.0f;
    renderer.updateTransforms("cam", time);
    SceneRenderState state;
    state.time = time;
    state.passName = "lights";
    state.light = lwScene.findLight("light");
    state.camera = lwScene.findCamera("cam");
    std::vector<SceneDrawRecord> records;
    for (SceneMaterial* material : renderer.getMaterials())
        material->collectDrawRecords(state, records);

    const double aspect = 64.0 / 48.0, zoom = 2.0, zNear = 0.5, zFar = 50.0;
    const glm::dmat4 projection = glm::frustumLH_ZO(-aspect * zNear / zoom, aspect * zNear / zoom, -zNear / zoom,
                                                    zNear / zoom, zNear, zFar);
    const glm::dvec3 eyePosition(eye[0], eye[1], eye[2]);
    const glm::dmat4 view = glm::lookAtLH(eyePosition, eyePosition + glm::dvec3(0, 0, 1), glm::dvec3(0, 1, 0));
    auto clipZ = [&](const Vec3& p) { return (projection * view * glm::dvec4(p[0], p[1], p[2], 1.0)).z; };

    std::map<std::string, std::vector<std::pair<double, std::string>>> collected;
    for (const SceneDrawRecord& record : records)
        collected[record.mesh->object->getStringConstant("objectName")].push_back(
            {record.sortKey, record.cullFaces.empty() ? "" : record.cullFaces[0]});
    for (const Row& row : rows) {
        const auto expected = row.expected(clipZ(row.position));
        const auto& actual = collected[row.name];
        ASSERT_EQ(actual.size(), expected.size()) << row.name;
        for (size_t i = 0; i < expected.size(); ++i) {
            EXPECT_NEAR(actual[i].first, expected[i].first, 2e-3) << row.name;
            EXPECT_EQ(actual[i].second, expected[i].second) << row.name;
        }
    }
    EXPECT_LT(collected["twin"][1].first, collected["twin"][0].first);
    ASSERT_EQ(collected["bias at zero"].size(), 1u);
    EXPECT_NEAR(collected["bias at zero"][0].first, -10000 - clipZ(Vec3(1, 1, 1)) + 1.5, 2e-3);

    // Other lights and passes add nothing.
    std::vector<SceneDrawRecord> none;
    SceneLight fill{1, state.light->object};
    SceneRenderState other = state;
    other.light = &fill;
    unblended.collectDrawRecords(other, none);
    other = state;
    other.passName = "basic";
    unblended.collectDrawRecords(other, none);
    EXPECT_TRUE(none.empty());
}

} // namespace
