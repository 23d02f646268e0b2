#include "Libs/Math/Envelope.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Scene/Scene.h"
#include "Tests/Scene/SceneTestSupport.h"
#include "Tests/Support/RecordingCore.h"

#include <gtest/gtest.h>

#include <glm/ext/matrix_clip_space.hpp>
#include <glm/ext/matrix_transform.hpp>
#include <glm/mat4x4.hpp>

#include <cmath>
#include <random>

using namespace Vostrel;
using SceneTest::failureOf;

namespace {

SceneObject* channelled(Scene& scene, const char* name, std::vector<std::pair<const char*, float>> channels)
{
    SceneObject* object = new SceneObject;
    scene.addObject(object);
    object->setStringConstant("objectName", name);
    for (const auto& channel : channels)
        object->setAttribute(channel.first, new ConstantFunction<float>(channel.second));
    return object;
}

SceneObject* placed(Scene& scene, const char* name, float x = 0, float y = 0, float z = 0)
{
    return channelled(scene, name, {{"x", x}, {"y", y}, {"z", z}, {"heading", 0}, {"pitch", 0}, {"bank", 0}});
}

float channel(const SceneObject& object, const char* name, float fallback)
{
    const Function<float, float>* f = object.getAttributeFunction(name);
    return f ? f->evaluate(0.0f) : fallback;
}

// The documented composition, in double through GLM.
glm::dmat4 reference(const SceneObject& o)
{
    glm::dmat4 m = glm::translate(glm::dmat4(1), glm::dvec3(channel(o, "x", 0), channel(o, "y", 0), channel(o, "z", 0)));
    m = glm::rotate(m, double(channel(o, "heading", 0)), glm::dvec3(0, 1, 0));
    m = glm::rotate(m, double(channel(o, "pitch", 0)), glm::dvec3(1, 0, 0));
    m = glm::rotate(m, double(channel(o, "bank", 0)), glm::dvec3(0, 0, 1));
    m = glm::scale(m, glm::dvec3(channel(o, "sx", 1), channel(o, "sy", 1), channel(o, "sz", 1)));
    if (o.getPivot())
        m = glm::translate(m, glm::dvec3((*o.getPivot())[0], (*o.getPivot())[1], (*o.getPivot())[2]));
    return o.getParent() ? reference(*o.getParent()) * m : m;
}

void expectNearMatrix(const Matrix4& ours, const glm::dmat4& expected, double tolerance, const std::string& what)
{
    for (int c = 0; c < 4; ++c)
        for (int r = 0; r < 4; ++r)
            ASSERT_NEAR(ours(r, c), expected[c][r], tolerance * std::max(1.0, std::fabs(expected[c][r])))
                << what << " (" << r << ", " << c << ")";
}

glm::dvec3 translationOf(const Matrix4& m)
{
    return glm::dvec3(m(0, 3), m(1, 3), m(2, 3));
}

} // namespace

TEST(Transforms, WorldMatricesMatchGlmOnRandomForests)
{
    std::mt19937 random(1234);
    std::uniform_real_distribution<float> position(-10, 10), angle(-3.1f, 3.1f), scale(0.5f, 2), unit(0, 1);
    Scene scene;
    std::vector<SceneObject*> objects;
    std::vector<int> depth;
    for (int i = 0; i < 1000; ++i) {
        SceneObject* o = channelled(scene, "o", {{"x", position(random)}, {"y", position(random)},
                                                 {"z", position(random)}, {"heading", angle(random)},
                                                 {"pitch", angle(random)}, {"bank", angle(random)}});
        if (unit(random) < 0.5f) {
            o->setAttribute("sx", new ConstantFunction<float>(scale(random)));
            o->setAttribute("sy", new ConstantFunction<float>(scale(random)));
            o->setAttribute("sz", new ConstantFunction<float>(scale(random)));
        }
        if (unit(random) < 0.4f)
            o->setPivot(Vec3(position(random), position(random), position(random)) * 0.2f);
        int d = 0;
        if (i > 0 && unit(random) < 0.7f) {
            int p = static_cast<int>(random() % i);
            if (depth[p] < 4) {
                o->setParent(objects[p]);
                d = depth[p] + 1;
            }
        }
        objects.push_back(o);
        depth.push_back(d);
    }
    for (int i = 0; i < 1000; ++i)
        expectNearMatrix(*objects[i]->getTransform(0.0f), reference(*objects[i]), 2e-4, "object " + std::to_string(i));

    // Aiming: the +z axis points from the object's place at the target, also
    // under rotated and scaled parents.
    int aimed = 0;
    for (int i = 1; i < 1000; ++i) {
        SceneObject* o = objects[i];
        if (o->getPivot() || random() % 3 != 0)
            continue;
        o->setTarget(objects[random() % i]);
        o->setAttribute("heading", nullptr);
        o->setAttribute("pitch", nullptr);
        const Matrix4 world = *o->getTransform(1.0f);
        // Parents may aim themselves, so their matrices are taken as they are.
        const Matrix4 parent = o->getParent() ? *o->getParent()->getTransform(1.0f) : Matrix4(1.0f);
        const Vec3 place = parent * Vec3(channel(*o, "x", 0), channel(*o, "y", 0), channel(*o, "z", 0));
        const glm::dvec3 from(place[0], place[1], place[2]);
        const glm::dvec3 to = translationOf(*o->getTarget()->getTransform(1.0f));
        const glm::dvec3 axis(world(0, 2), world(1, 2), world(2, 2));
        if (glm::length(to - from) < 0.5)
            continue;
        EXPECT_GT(glm::dot(glm::normalize(axis), glm::normalize(to - from)), 1 - 1e-4) << "object " << i;
        ++aimed;
    }
    EXPECT_GT(aimed, 100);
}

TEST(Transforms, TheListedCases)
{
    Scene scene;
    SceneObject* pivoted = placed(scene, "pivoted");
    pivoted->setPivot(Vec3(1, 0, 0));
    EXPECT_EQ(*pivoted->getTransform(0) * Vec3(0, 0, 0), Vec3(1, 0, 0));

    SceneObject* parent = placed(scene, "parent", 10, 0, 0);
    SceneObject* child = placed(scene, "child", 1, 0, 0);
    child->setParent(parent);
    EXPECT_EQ(translationOf(*child->getTransform(0)), glm::dvec3(11, 0, 0));

    struct Aim {
        float x, y, z, heading, pitch;
    } aims[] = {{0, 0, 5, 0, 0}, {5, 0, 0, float(M_PI / 2), 0}, {0, 5, 0, 0, float(-M_PI / 2)}};
    for (const Aim& aim : aims) {
        SceneObject* target = placed(scene, "target", aim.x, aim.y, aim.z);
        SceneObject* looker = channelled(scene, "looker", {{"x", 0}, {"y", 0}, {"z", 0}, {"bank", 0}});
        looker->setTarget(target);
        const glm::dmat4 expected = glm::rotate(glm::rotate(glm::dmat4(1), double(aim.heading), glm::dvec3(0, 1, 0)),
                                                double(aim.pitch), glm::dvec3(1, 0, 0));
        expectNearMatrix(*looker->getTransform(0), expected, 1e-6, "aim");
    }
}

TEST(Transforms, ATargetUnderAParentWithoutInverseIsAimedAtInWorldSpace)
{
    Scene scene;
    SceneObject* flat = channelled(scene, "flat", {{"x", 0}, {"y", 0}, {"z", 0}, {"heading", 0}, {"pitch", 0},
                                                   {"bank", 0}, {"sx", 1}, {"sy", 0}, {"sz", 1}});
    SceneObject* target = placed(scene, "target", 3, 0, 0);
    SceneObject* looker = channelled(scene, "looker", {{"x", 0}, {"y", 0}, {"z", 0}, {"bank", 0}});
    looker->setParent(flat);
    looker->setTarget(target);
    const Matrix4 world = *looker->getTransform(0);
    // heading +pi/2 turns +z onto +x; the flat parent keeps x and z.
    EXPECT_NEAR(world(0, 2), 1, 1e-6);
    EXPECT_NEAR(world(2, 2), 0, 1e-6);
}

TEST(Transforms, OneEvaluationPerDistinctTimeWithOffsetsReachingParentsAndTargets)
{
    Scene scene;
    std::vector<float> parentTimes, targetTimes, childTimes;
    SceneObject* parent = placed(scene, "parent");
    parent->setAttribute("x", new SceneTest::CountingFunction(1, &parentTimes));
    parent->setTimeOffset(0.25f);
    SceneObject* target = placed(scene, "target", 0, 0, 9);
    target->setAttribute("x", new SceneTest::CountingFunction(1, &targetTimes));
    SceneObject* child = channelled(scene, "child", {{"y", 0}, {"z", 0}, {"bank", 0}});
    child->setAttribute("x", new SceneTest::CountingFunction(2, &childTimes));
    child->setParent(parent);
    child->setTarget(target);
    child->setTimeOffset(0.5f);

    EXPECT_FALSE(child->hasCachedTransform());
    child->getTransform(1.0f);
    child->getTransform(1.0f);
    parent->getTransform(1.5f);
    target->getTransform(1.5f);
    EXPECT_EQ(childTimes, std::vector<float>({1.5f}));
    EXPECT_EQ(parentTimes, std::vector<float>({1.75f}));
    EXPECT_EQ(targetTimes, std::vector<float>({1.5f}));
    EXPECT_EQ(parent->getCachedTime(), 1.5f);

    // A new offset shows only at the next distinct time.
    child->setTimeOffset(0.0f);
    child->getTransform(1.0f);
    EXPECT_EQ(childTimes.size(), 1u);
    child->getTransform(2.0f);
    EXPECT_EQ(childTimes, std::vector<float>({1.5f, 2.0f}));

    // The first evaluation happens even at the start value of the cache time.
    SceneObject* fresh = placed(scene, "fresh", 4, 5, 6);
    EXPECT_EQ(translationOf(*fresh->getTransform(-1e10f)), glm::dvec3(4, 5, 6));

    Matrix4 external(2.0f);
    fresh->setExternalTransform(&external);
    EXPECT_EQ(fresh->getTransform(3.0f), &external);
    // getAttribute adds the offset; the function itself does not.
    child->setTimeOffset(0.5f);
    EXPECT_EQ(child->getAttribute("x", 7.0f), 2.0f);
    child->getAttributeFunction("x")->evaluate(7.0f);
    EXPECT_EQ(childTimes, std::vector<float>({1.5f, 2.0f, 7.5f, 7.0f}));
}

TEST(Transforms, CyclesAndRunawayChainsAreReported)
{
    Scene scene;
    SceneObject* a = placed(scene, "a");
    SceneObject* b = placed(scene, "b");
    a->setParent(b);
    b->setTarget(a);
    b->setAttribute("heading", nullptr);
    EXPECT_EQ(failureOf([&] { a->getTransform(0); }).message,
              "SceneObject::getTransform: object 'a' depends on itself through its parent or target");
    // Nothing is left marked: once the cycle is broken both evaluate.
    b->setTarget(nullptr);
    b->setAttribute("heading", new ConstantFunction<float>(0));
    EXPECT_EQ(translationOf(*a->getTransform(0)), glm::dvec3(0, 0, 0));

    std::vector<SceneObject*> chain{placed(scene, "root", 1, 0, 0)};
    for (int i = 1; i < 1001; ++i) {
        chain.push_back(placed(scene, "link", 1, 0, 0));
        chain[i]->setParent(chain[i - 1]);
    }
    EXPECT_EQ(translationOf(*chain[999]->getTransform(0)), glm::dvec3(1000, 0, 0));
    EXPECT_EQ(failureOf([&] { chain[1000]->getTransform(5); }).message,
              "SceneObject::getTransform: object 'root' is reached through more than 1000 parents or targets");
}

TEST(Transforms, SharedChannelsStayAliveAndAbsentOnesReadAsAbsent)
{
    Scene scene;
    SceneObject* source = placed(scene, "source", 1, 2, 3);
    SceneObject* copy = placed(scene, "copy");
    copy->setAttribute("sx", new ConstantFunction<float>(5));
    copy->shareChannels(source);
    copy->shareChannels(source);
    copy->shareChannels(copy);
    Function<float, float>* x = source->getAttributeFunction("x");
    EXPECT_EQ(copy->getAttributeFunction("x"), x);
    source->setAttribute("x", x);
    copy->setAttribute("x", x);
    source->setAttribute("x", new ConstantFunction<float>(8));
    EXPECT_EQ(copy->getAttribute("x", 0), 1.0f);
    EXPECT_EQ(source->getAttribute("x", 0), 8.0f);

    // The source has no scale: neither has the copy now.
    EXPECT_FALSE(copy->hasAttribute("sx"));
    EXPECT_EQ(copy->getAttributeFunction("sx"), nullptr);
    EXPECT_EQ(translationOf(*copy->getTransform(0)), glm::dvec3(1, 2, 3));
    EXPECT_EQ(failureOf([&] { copy->getAttribute("sx", 0); }).message,
              "SceneObject::getAttribute: attribute 'sx' not found, cannot evaluate");
    EXPECT_EQ(copy->getAttributes().count("sx"), 0u);
}

TEST(Transforms, EveryMessageWithItsPlace)
{
    Scene scene;
    SceneObject* o = placed(scene, "thing");
    o->setAttribute("flow", new Envelope);
    dynamic_cast<Envelope*>(o->getAttributeFunction("flow"))->addKey({0, 0, 1, 0, 0, 0});
    std::vector<float> times;
    o->setAttribute("odd", new SceneTest::CountingFunction(0, &times));
    SceneObject* scaled = placed(scene, "scaled");
    scaled->setAttribute("sx", new ConstantFunction<float>(1));
    SceneObject* camera = placed(scene, "cam");

    struct Case {
        std::function<void()> action;
        const char* message;
        const char* file;
        int line;
    } cases[] = {
        {[&] { o->getAttribute("nope", 0); }, "SceneObject::getAttribute: attribute 'nope' not found, cannot evaluate",
         "Scene", 181},
        {[&] { o->getStringConstant("nope"); }, "SceneObject::getStringConstant: string constant 'nope' not found",
         "Scene", 207},
        {[&] { o->getIntConstant("nope"); }, "SceneObject::getIntConstant: integer constant 'nope' not found", "Scene",
         223},
        {[&] { scaled->getTransform(0); }, "sy does not hold.", "Scene", 61},
        {[&] { scaled->setAttribute("sy", new ConstantFunction<float>(1)); scaled->getTransform(1); },
         "sz does not hold.", "Scene", 63},
        {[&] { scene.getAnimatedAttribute("nobody", "x"); }, "obj != 0 does not hold.", "Scene", 462},
        {[&] { scene.getAnimatedAttribute("thing", "nope"); }, "obj->hasAttribute(name) does not hold.", "Scene", 463},
        {[&] { scene.getAnimatedAttribute("thing", "x"); }, "! ret->isConstant() does not hold.", "Scene", 465},
        {[&] { scene.getEnvelopeVec3("nobody", "x", "y", "z"); }, "obj != 0 does not hold.", "Scene", 520},
        {[&] { scene.getEnvelopeVec3("thing", "a", "y", "z"); }, "obj->hasAttribute(channel1) does not hold.",
         "Scene", 521},
        {[&] { scene.getEnvelopeVec3("thing", "x", "b", "z"); }, "obj->hasAttribute(channel2) does not hold.",
         "Scene", 522},
        {[&] { scene.getEnvelopeVec3("thing", "x", "y", "c"); }, "obj->hasAttribute(channel3) does not hold.",
         "Scene", 523},
        {[&] { scene.getPositionEnvelope("thing"); }, "! obj->getAttribute(channel1)->isConstant() does not hold.",
         "Scene", 524},
        {[&] { scene.getEnvelopeVec3("thing", "flow", "y", "z"); },
         "! obj->getAttribute(channel2)->isConstant() does not hold.", "Scene", 525},
        {[&] { scene.getEnvelopeVec3("thing", "flow", "flow", "z"); },
         "! obj->getAttribute(channel3)->isConstant() does not hold.", "Scene", 526},
        {[&] { scene.getEnvelopeVec3("thing", "flow", "odd", "flow"); },
         "Scene::getEnvelopeVec3: attribute 'odd' of 'thing' is not an envelope", "Scene", -1},
        {[&] { PerspectiveFunction p(camera); }, "camera->hasAttribute(\"zoomFactor\") does not hold.", "LwScene", 37},
        {[&] { camera->setAttribute("zoomFactor", new ConstantFunction<float>(1)); PerspectiveFunction p(camera); },
         "camera->hasIntConstant(\"frameWidth\") does not hold.", "LwScene", 38},
        {[&] { camera->setIntConstant("frameWidth", 0); PerspectiveFunction p(camera); },
         "camera->hasIntConstant(\"frameHeight\") does not hold.", "LwScene", 39},
        {[&] { camera->setIntConstant("frameHeight", 480); PerspectiveFunction p(camera); },
         "PerspectiveFunction: camera 'cam' has the frame size 0 x 480, not at least 1 x 1", "LwScene", -1},
    };
    for (const Case& c : cases) {
        SceneTest::Failure failure = failureOf(c.action);
        EXPECT_EQ(failure.message, c.message);
        EXPECT_EQ(failure.file, std::string("Libs\\Scene\\") + c.file) << c.message;
        if (c.line > 0) {
            EXPECT_EQ(failure.line, c.line) << c.message;
        }
    }
    EXPECT_EQ(scene.getAnimatedAttribute("thing", "flow"), o->getAttributeFunction("flow"));
    EXPECT_EQ(scene.getEnvelopeVec3("thing", "flow", "flow", "flow")->evaluate(0.0f), Vec3(1, 1, 1));
}

class Projections : public ::testing::Test {
protected:
    void SetUp() override { TestSupport::RecordingCore::install(); }
    void TearDown() override { Core::destroyCore(); }
};

TEST_F(Projections, CamerasMatchGlmFrustaWithTheDefaultPlanes)
{
    std::mt19937 random(99);
    std::uniform_real_distribution<float> zoom(0.5f, 6), nearPlane(0.05f, 5), ratio(2, 1000);
    Scene scene;
    for (int i = 0; i < 200; ++i) {
        SceneObject* camera = placed(scene, "camera");
        const int width = 1 + static_cast<int>(random() % 2000), height = 1 + static_cast<int>(random() % 2000);
        const float b = zoom(random);
        float n = 0.01f, f = 2000.0f;
        camera->setAttribute("zoomFactor", new ConstantFunction<float>(b));
        camera->setIntConstant("frameWidth", width);
        camera->setIntConstant("frameHeight", height);
        if (i % 2) {
            n = nearPlane(random);
            f = n * ratio(random);
            camera->setAttribute("nearPlane", new ConstantFunction<float>(n));
            camera->setAttribute("farPlane", new ConstantFunction<float>(f));
        }
        const double a = double(float(width) / float(height));
        const glm::dmat4 expected = glm::frustumLH_ZO(-a * n / b, a * n / b, -double(n) / b, double(n) / b, double(n),
                                                      double(f));
        camera->setTimeOffset(100.0f);
        expectNearMatrix(PerspectiveFunction(camera).evaluate(0.0f), expected, 1e-5, "camera " + std::to_string(i));
    }
    const Matrix4 m = perspectiveMatrix(640.0f / 480.0f, 1.0f, 0.01f, 2000.0f);
    // 2 near / width and 2 near / height: right = 0.013333, top = 0.01.
    EXPECT_NEAR(m(0, 0), 0.02 / 0.026667, 1e-4);
    EXPECT_NEAR(m(1, 1), 1.0, 1e-6);
}
