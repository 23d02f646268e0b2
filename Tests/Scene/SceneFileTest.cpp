#include "Libs/Math/Envelope.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Serializing/Serializer.h"
#include "Tests/Scene/SceneTestSupport.h"
#include "Tests/Support/TempDir.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>

using namespace Vostrel;
using SceneTest::failureOf;

namespace {

void expectSameObject(const SceneObject& a, const SceneObject& b)
{
    const std::string name = a.describe();
    EXPECT_EQ(a.getPivot() != nullptr, b.getPivot() != nullptr) << name;
    EXPECT_EQ(a.getPivotValue(), b.getPivotValue()) << name;
    EXPECT_EQ(a.getStringConstants(), b.getStringConstants()) << name;
    EXPECT_EQ(a.getIntConstants(), b.getIntConstants()) << name;
    ASSERT_EQ(a.getAttributes().size(), b.getAttributes().size()) << name;
    for (auto ia = a.getAttributes().begin(), ib = b.getAttributes().begin(); ia != a.getAttributes().end();
         ++ia, ++ib) {
        ASSERT_EQ(ia->first, ib->first) << name;
        const std::string what = name + " " + ia->first;
        ASSERT_EQ(ia->second->isConstant(), ib->second->isConstant()) << what;
        if (ia->second->isConstant()) {
            EXPECT_EQ(ia->second->evaluate(0.0f), ib->second->evaluate(0.0f)) << what;
            continue;
        }
        const Envelope& ea = dynamic_cast<const Envelope&>(*ia->second);
        const Envelope& eb = dynamic_cast<const Envelope&>(*ib->second);
        EXPECT_EQ(ea.getPreBehavior(), eb.getPreBehavior()) << what;
        EXPECT_EQ(ea.getPostBehavior(), eb.getPostBehavior()) << what;
        ASSERT_EQ(ea.getKeys().size(), eb.getKeys().size()) << what;
        for (size_t k = 0; k < ea.getKeys().size(); ++k) {
            const EnvelopeKey &ka = ea.getKeys()[k], &kb = eb.getKeys()[k];
            EXPECT_TRUE(ka.time == kb.time && ka.value == kb.value && ka.tension == kb.tension
                        && ka.continuity == kb.continuity && ka.bias == kb.bias)
                << what << " key " << k;
        }
    }
}

void expectSameScene(const Scene& a, const Scene& b)
{
    ASSERT_EQ(a.size(), b.size());
    for (size_t i = 0; i < a.size(); ++i)
        expectSameObject(*a.getObjects()[i], *b.getObjects()[i]);
}

std::string writeScene(const Scene& scene, const std::string& path, bool binary)
{
    Serializer out(path, binary);
    scene.serialize(out);
    out.finish();
    return VostrelTest::TempDir::read(path);
}

class SceneFiles : public ::testing::Test {
protected:
    void SetUp() override
    {
        SceneTest::buildSample(builder);
        textPath = dir.file("sample.sce");
        builder.write(textPath);
        binaryPath = dir.file("sample-binary.sce");
        builder.write(binaryPath, true);
    }

    VostrelTest::TempDir dir;
    Content::SceneBuilder builder;
    std::string textPath, binaryPath;
};

} // namespace

TEST_F(SceneFiles, BothFormsLoadToTheBuiltObjectsAndWriteBackByteIdentical)
{
    std::unique_ptr<Scene> text = Scene::load(textPath);
    std::unique_ptr<Scene> binary = Scene::load(binaryPath);
    expectSameScene(builder.getScene(), *text);
    expectSameScene(*text, *binary);
    EXPECT_EQ(writeScene(*text, dir.file("again.sce"), false), VostrelTest::TempDir::read(textPath));
    EXPECT_EQ(writeScene(*binary, dir.file("again-binary.sce"), true), VostrelTest::TempDir::read(binaryPath));
    // Text read, binary written: the binary file of the same scene.
    EXPECT_EQ(writeScene(*text, dir.file("converted.sce"), true), VostrelTest::TempDir::read(binaryPath));

    // Links come from the ids.
    SceneObject* camera = text->findObject("Main Camera");
    ASSERT_NE(camera, nullptr);
    EXPECT_EQ(camera->getTarget(), text->findObject("box:Layer1 (1)"));
    EXPECT_EQ(text->findObject("quad:Layer1")->getParent(), text->findObject("box:Layer1 (1)"));
    EXPECT_EQ(text->findObject("Key Light")->getParent(), nullptr);
}

// Written by hand, independent of the writer: comments, a negative count,
// escaped blanks, a repeated name, a child before its parent.
TEST_F(SceneFiles, AHandWrittenSceneLoadsToTheListedObjects)
{
    const std::string path = dir.write("hand.sce", "VSEASCII\n"
                                                   "# two objects\n"
                                                   "2\n"
                                                   "0 0 1   4  x 67 1.5  y 69 1 2 0 2 0 0 0 0 0 1 10 0.5 0 0"
                                                   "  z 67 -2  x 67 2.5\n"
                                                   "-4  2 objectId 8 parentId 7\n"
                                                   "0 0 0  0  1 objectName Small\\ Box  1 objectId 7 # parent\n");
    std::unique_ptr<Scene> scene = Scene::load(path);
    ASSERT_EQ(scene->size(), 2u);
    SceneObject& parent = *scene->getObjects()[0];
    SceneObject& child = *scene->getObjects()[1];
    EXPECT_EQ(parent.getStringConstant("objectName"), "Small Box");
    EXPECT_EQ(parent.getIntConstant("objectId"), 7);
    EXPECT_EQ(parent.getPivot(), nullptr);
    EXPECT_TRUE(parent.getAttributes().empty());

    EXPECT_EQ(child.getParent(), &parent);
    ASSERT_NE(child.getPivot(), nullptr);
    EXPECT_EQ(*child.getPivot(), Vec3(0, 0, 1));
    EXPECT_TRUE(child.getStringConstants().empty());
    EXPECT_EQ(child.getAttributes().size(), 3u);
    EXPECT_EQ(child.getAttribute("x", 0), 2.5f);
    EXPECT_EQ(child.getAttribute("z", 0), -2.0f);
    const Envelope* y = dynamic_cast<const Envelope*>(child.getAttributeFunction("y"));
    ASSERT_NE(y, nullptr);
    EXPECT_EQ(y->getPreBehavior(), 1);
    EXPECT_EQ(y->getPostBehavior(), 2);
    ASSERT_EQ(y->getKeys().size(), 2u);
    EXPECT_EQ(y->getKeys()[1].time, 1.0f);
    EXPECT_EQ(y->getKeys()[1].value, 10.0f);
    EXPECT_EQ(y->getKeys()[1].tension, 0.5f);
}

// A failed look-up keeps its report and says on a line of its own which
// object it looked for, and in which file.
TEST_F(SceneFiles, FailedLookUpsNameTheObjectAndTheFile)
{
    std::unique_ptr<Scene> scene = Scene::load(textPath);
    EXPECT_EQ(scene->getFileName(), textPath);
    const struct Case {
        std::function<void()> lookUp;
        const char* message;
        int line;
        std::string context;
    } cases[] = {
        {[&] { scene->getPositionEnvelope("Flow"); }, "obj != 0 does not hold.", 520,
         "In Scene::getEnvelopeVec3(Flow, x, y, z) of " + textPath + "\n"},
        {[&] { scene->getPositionEnvelope("box:Layer1 (1)"); },
         "! obj->getAttribute(channel3)->isConstant() does not hold.", 526,
         "In Scene::getEnvelopeVec3(box:Layer1 (1), x, y, z) of " + textPath + "\n"},
        {[&] { scene->getAnimatedAttribute("HDRBeat", "x"); }, "obj != 0 does not hold.", 462,
         "In Scene::getAnimatedAttribute(HDRBeat, x) of " + textPath + "\n"},
    };
    for (const Case& c : cases) {
        testing::internal::CaptureStderr();
        const SceneTest::Failure failure = failureOf(c.lookUp);
        EXPECT_EQ(testing::internal::GetCapturedStderr(), c.context);
        EXPECT_EQ(failure.message, c.message);
        EXPECT_EQ(failure.file, "Libs\\Scene\\Scene");
        EXPECT_EQ(failure.line, c.line);
    }
    testing::internal::CaptureStderr();
    EXPECT_NE(scene->getAnimatedAttribute("box:Layer1 (1)", "x"), nullptr);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a look-up that finds says nothing";

    // Built in memory, a scene has no file to name.
    Scene built;
    EXPECT_EQ(built.getFileName(), "");
    testing::internal::CaptureStderr();
    failureOf([&] { built.getAnimatedAttribute("HDRBeat", "x"); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "In Scene::getAnimatedAttribute(HDRBeat, x)\n");
}

// A failure in an object's channels names the object and its file once,
// however deep in a chain of parents it lies.
TEST_F(SceneFiles, FailuresInAnObjectsChannelsNameTheObjectAndItsFile)
{
    std::unique_ptr<Scene> scene = Scene::load(textPath);
    SceneObject* box = scene->findObject("box:Layer1 (1)");
    box->setAttribute("bank", nullptr);
    testing::internal::CaptureStderr();
    EXPECT_EQ(failureOf([&] { scene->findObject("quad:Layer1")->getTransform(2.5f); }).line, 181);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "In SceneObject 'box:Layer1 (1)' of " + textPath + " at time 2.5\n");

    SceneObject* light = scene->findObject("Key Light");
    light->setTimeOffset(0.5f);
    testing::internal::CaptureStderr();
    EXPECT_EQ(light->getAttribute("x", 1.0f), -5.0f);
    failureOf([&] { light->getAttribute("nope", 1.0f); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "In SceneObject 'Key Light' of " + textPath + " at time 1.5\n");

    // Made in memory, an object has no file to name.
    SceneObject made;
    made.setStringConstant("objectName", "made");
    testing::internal::CaptureStderr();
    failureOf([&] { made.getTransform(0.0f); });
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "In SceneObject 'made' at time 0\n");
}

TEST_F(SceneFiles, ACountBelowOneIsAnEmptyScene)
{
    for (const char* count : {"0", "-7"})
        EXPECT_EQ(Scene::load(dir.write("empty.sce", std::string("VSEASCII\n") + count + "\n"))->size(), 0u);
}

TEST_F(SceneFiles, BadFilesAreRefusedWithAClearMessage)
{
    struct Case {
        const char* text;
        const char* message;
    } cases[] = {
        {"VSEASCI\n1\n", "is not in the VSE serialization format."},
        {"VSEASCII\n1 0 0 0 1 x 70 1 0 0", "[SceneObject] deserializer: invalid attribute type: 70"},
        {"VSEASCII\n2000000000 0 0 0 0 0 0", "more than the rest of the file can hold"},
        {"VSEASCII\n1 0 0 0 1000000 x 67 1 0 0", "more than the rest of the file can hold"},
        {"VSEASCII\n1 0 0 0 0 1000000 a b 0", "more than the rest of the file can hold"},
        {"VSEASCII\n1 0 0 0 0 0 1000000 objectId 1", "more than the rest of the file can hold"},
        {"VSEASCII\n1 0 0 0 1 x 69 0 0 0 900000000 0 0", "more than the rest of the file can hold"},
        {"VSEASCII\n1 0 0 0 2 x 67 1 y 69 1 1 0 0 0 1 objectId 4", "object 0, attribute 'y' is an envelope without keys."},
        {"VSEASCII\n1 0 0 0 0 1 objectName", "ends in the middle of a string."},
        {"VSEASCII\n1 0 0 0 1 \x1b[8m 69 1 1 0 0 0 0", "attribute '\\x1b[8m' is an envelope without keys."},
    };
    for (const Case& c : cases) {
        const std::string path = dir.write("bad.sce", c.text);
        SceneTest::Failure failure = failureOf([&] { Scene::load(path); });
        EXPECT_NE(failure.message.find(c.message), std::string::npos) << c.text << "\n" << failure.message;
    }
    SceneTest::Failure type = failureOf([&] { Scene::load(dir.write("bad.sce", cases[1].text)); });
    EXPECT_EQ(type.file, "Libs\\Scene\\Scene");
    EXPECT_EQ(type.line, 285);

    testing::internal::CaptureStderr();
    failureOf([&] { Scene::load(dir.file("bad.sce")); });
    EXPECT_NE(testing::internal::GetCapturedStderr().find("In Scene::load(" + dir.file("bad.sce") + ")"),
              std::string::npos);
}

TEST_F(SceneFiles, EveryCutOfTheSampleFailsCleanly)
{
    const std::string binary = VostrelTest::TempDir::read(binaryPath);
    for (size_t size = 0; size < binary.size(); ++size) {
        const std::string path = dir.write("cut.sce", binary.substr(0, size));
        EXPECT_NE(failureOf([&] { Scene::load(path); }).message, "(nothing thrown)") << "binary cut at " << size;
    }
    // The text form, cut before each token after the header.
    const std::string text = VostrelTest::TempDir::read(textPath);
    int cuts = 0;
    for (size_t at = text.find('\n') + 1; at < text.size(); ++at) {
        const bool tokenStart = text[at] != ' ' && text[at] != '\n' && (text[at - 1] == ' ' || text[at - 1] == '\n');
        if (!tokenStart || text[at - 2] == '\\')
            continue;
        ++cuts;
        const std::string path = dir.write("cut.sce", text.substr(0, at));
        EXPECT_NE(failureOf([&] { Scene::load(path); }).message, "(nothing thrown)") << "text cut at " << at;
    }
    EXPECT_GT(cuts, 100);
}

TEST(SceneWriting, ANonEnvelopeFunctionAndAFailedWriteAreReported)
{
    VostrelTest::TempDir dir;
    Scene scene;
    SceneObject* object = new SceneObject;
    scene.addObject(object);
    object->setStringConstant("objectName", "Odd");
    std::vector<float> times;
    object->setAttribute("wobble", new SceneTest::CountingFunction(1, &times));
    SceneTest::Failure failure = failureOf([&] {
        Serializer out(dir.file("odd.sce"), false);
        scene.serialize(out);
    });
    EXPECT_EQ(failure.message, "SceneObject::serialize: attribute 'wobble' of 'Odd' is neither constant nor an envelope");

    object->setAttribute("wobble", nullptr);
    failure = failureOf([&] {
        Serializer out("/dev/full", true);
        scene.serialize(out);
        out.finish();
    });
    EXPECT_EQ(failure.message, "Cannot write the file /dev/full.");
}
