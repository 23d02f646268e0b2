#include "Tests/Scene/Render/SceneRenderTestSupport.h"

#include <gtest/gtest.h>

using namespace SceneRenderTest;

namespace {

// Remembers what the renderer hands it.
struct RecordingMaterial : SceneMaterial {
    void prepare(const std::vector<std::string>& passNames, const std::vector<std::unique_ptr<SceneLight>>&,
                 const std::vector<std::unique_ptr<SceneCamera>>&) override
    {
        preparedFor.push_back(passNames);
    }
    std::vector<std::vector<std::string>> preparedFor;
};

struct NamedPass : ScenePass {
    std::vector<std::string> getPassNames() const override { return {"mine"}; }
    void render(SceneRenderer&, SceneRenderState&) override {}
};

class LwSceneEditing : public SceneRenderFixture {
protected:
    void SetUp() override
    {
        SceneRenderFixture::SetUp();
        for (const char* name : {"a", "b", "Wall01", "BigWall"})
            addObject(scene, name, 1);
        SceneObject* camera = addObject(scene, "cam", 3, Vec3(0, 0, -5));
        camera->setAttribute("zoomFactor", new ConstantFunction<float>(2.0f));
        camera->setIntConstant("frameWidth", 64);
        camera->setIntConstant("frameHeight", 48);
        addObject(scene, "lamp", 2)->setIntConstant("lightType", 0);
        lwScene = std::make_unique<LwScene>(&scene, nullptr);
    }
    void TearDown() override
    {
        lwScene.reset();
        SceneRenderFixture::TearDown();
    }

    std::vector<std::string> namesMatching(const std::string& text)
    {
        std::vector<SceneMesh*> found;
        lwScene->findMeshesByObjectName(text, found);
        std::vector<std::string> names;
        for (SceneMesh* mesh : found)
            names.push_back(mesh->object->getStringConstant("objectName"));
        return names;
    }

    Scene scene;
    std::unique_ptr<LwScene> lwScene;
};

TEST_F(LwSceneEditing, EveryOperationNamesWhatItDidNotFind)
{
    LwScene& s = *lwScene;
    const std::string quad = quadFile();
    const Matrix4 identity(1.0f);
    struct Case {
        std::function<void()> action;
        std::string message;
    };
    const Case cases[] = {
        {[&] { s.setTimeOffset("x", 1.0f); }, "LwScene::setTimeOffset: mesh 'x' not found"},
        {[&] { s.setParent("x", "y"); }, "LwScene::setParent: parent mesh 'y' not found"},
        {[&] { s.setParent("x", "a"); }, "LwScene::setParent: mesh 'x' not found"},
        {[&] { s.getPosition("x", 0.0f); }, "LwScene::getPosition: mesh 'x' not found"},
        {[&] { s.linkTransform("x", "y"); }, "LwScene::linkTransform: target mesh 'y' not found"},
        {[&] { s.linkTransform("x", "a"); }, "LwScene::linkTransform: mesh 'x' not found"},
        {[&] { s.linkTransformToCamera("x", "a"); }, "LwScene::linkTransformToCamera: camera 'a' not found"},
        {[&] { s.linkTransformToCamera("x", "cam"); }, "LwScene::linkTransformToCamera: mesh 'x' not found"},
        {[&] { s.linkTransformByChannels("x", "y"); }, "LwScene::linkTransform: target mesh 'y' not found"},
        {[&] { s.linkTransformByChannels("x", "a"); }, "LwScene::linkTransform: mesh 'x' not found"},
        {[&] { s.setVisible("lamp", false); }, "LwScene::setVisible: object lamp not found"},
        {[&] { s.setVisible("cam", false); }, "LwScene::setVisible: object cam not found"},
        {[&] { s.setMesh("x", nullptr); }, "LwScene::setMesh: object x not found"},
        {[&] { s.setMaterial("x", nullptr); }, "LwScene::setMaterial: object x not found"},
        {[&] { s.setAttribute("x", "k", 1.0f); }, "LwScene::setAttribute: mesh 'x' not found"},
        {[&] { s.setUniform("x", "k", Vec4(0.0f)); }, "LwScene::setUniform: mesh 'x' not found"},
        {[&] { s.setIntConstant("x", "k", 1); }, "LwScene::setIntConstant: mesh 'x' not found"},
        {[&] { s.setExternalTransform("x", &identity); }, "LwScene::setExternalTransform: mesh 'x' not found"},
        {[&] { s.setExternalTransform("x", std::make_shared<const Matrix4>(identity)); },
         "LwScene::setExternalTransform: mesh 'x' not found"},
        {[&] { s.setExternalZ("x", 1.0f); }, "LwScene::setExternalZ: mesh 'x' not found"},
        {[&] { s.addMesh("n", nullptr, "y"); }, "LwScene::addMesh: parent mesh 'y' not found"},
        {[&] { s.addMeshFromFile("n", quad + "@1", "y"); }, "LwScene::addMesh: parent mesh 'y' not found"},
        {[&] { s.addMeshFromFile("n", quad, ""); }, "LwScene::addMeshFromFile: '" + quad + "' is not file@layer"},
        {[&] { s.addMeshFromFile("n", quad + "@0", ""); }, "Lwo does not contain the layer."},
        {[&] { s.addMeshFromFile("n", quad + "@one", ""); }, "Integer parsing failed. (one)"},
        {[&] { s.setMaterialFromLwoSurface("a"); }, "LwScene::setMaterial: TODO! how to get LWO surface information?"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(failureOf(c.action).message, c.message);
    // Failed calls add nothing.
    EXPECT_FALSE(s.hasMesh("n"));
    EXPECT_EQ(s.getRenderer()->getMeshes().size(), 4u);
    EXPECT_EQ(scene.size(), 6u);
}

TEST_F(LwSceneEditing, OperationsReachTheirRecords)
{
    LwScene& s = *lwScene;
    s.setAttribute("a", "x", 3.0f);
    s.setParent("b", "a");
    EXPECT_EQ(s.getPosition("b", 0.0f), Vec4(3, 0, 0, 1));

    // b shows a's matrix as a last evaluated it, whatever b's own channels say.
    s.setAttribute("b", "y", 100.0f);
    s.linkTransform("b", "a");
    s.setAttribute("a", "x", 5.0f);
    EXPECT_EQ(s.getPosition("b", 1.0f), Vec4(3, 0, 0, 1));
    EXPECT_EQ(s.getPosition("a", 2.0f), Vec4(5, 0, 0, 1));
    EXPECT_EQ(s.getPosition("b", 3.0f), Vec4(5, 0, 0, 1));

    // The camera's world matrix, not its view.
    s.findCamera("cam")->object->getTransform(0.0f);
    s.linkTransformToCamera("Wall01", "cam");
    EXPECT_EQ(s.getPosition("Wall01", 0.0f), Vec4(0, 0, -5, 1));

    s.addMesh("child", nullptr, "BigWall");
    s.setAttribute("BigWall", "z", 2.0f);
    EXPECT_EQ(s.getPosition("child", 0.0f), Vec4(0, 0, 2, 1));
    s.addMeshFromFile("none", "", "");
    EXPECT_EQ(s.findMesh("none")->mesh, nullptr);
    EXPECT_EQ(s.getRenderer()->getMeshes().back().get(), s.findMesh("none"));

    s.setExternalZ("a", 7.0f);
    ASSERT_NE(s.findMesh("a")->externalZSource, nullptr);
    EXPECT_EQ(*s.findMesh("a")->externalZSource, 7.0f);
}

TEST_F(LwSceneEditing, AHeldExternalTransformLastsAsLongAsTheObjectsThatUseIt)
{
    lwScene->addMesh("added", nullptr, "");
    std::weak_ptr<const Matrix4> watch;
    {
        auto matrix = std::make_shared<const Matrix4>(2.0f);
        watch = matrix;
        lwScene->setExternalTransform("a", matrix);
        lwScene->setExternalTransform("added", matrix);
    }
    // The objects are the caller's scene's, and so are the matrices they hold.
    lwScene.reset();
    ASSERT_FALSE(watch.expired());
    for (const char* name : {"a", "added"}) {
        EXPECT_EQ(scene.findObject(name)->getTransform(1.0f), watch.lock().get()) << name;
        EXPECT_EQ(*scene.findObject(name)->getTransform(1.0f), Matrix4(2.0f)) << name;
    }

    // Another matrix, held or not, or none, lets go of the held one.
    Matrix4 callers(3.0f);
    scene.findObject("a")->setExternalTransform(&callers);
    EXPECT_EQ(scene.findObject("a")->getTransform(2.0f), &callers);
    EXPECT_FALSE(watch.expired());
    scene.findObject("added")->setExternalTransform(nullptr);
    EXPECT_TRUE(watch.expired());
    EXPECT_EQ(*scene.findObject("added")->getTransform(2.0f), Matrix4(1.0f));

    // A scene takes its objects' matrices along when it goes.
    {
        Scene own;
        auto matrix = std::make_shared<const Matrix4>(4.0f);
        watch = matrix;
        addObject(own, "m", 1)->setExternalTransform(std::move(matrix));
        EXPECT_EQ(*own.findObject("m")->getTransform(0.0f), Matrix4(4.0f));
    }
    EXPECT_TRUE(watch.expired());
}

TEST_F(LwSceneEditing, TextOperationsMatchSubstringsInRecordOrder)
{
    EXPECT_EQ(namesMatching("Wall"), (std::vector<std::string>{"Wall01", "BigWall"}));
    EXPECT_EQ(namesMatching(""), (std::vector<std::string>{"a", "b", "Wall01", "BigWall"}));
    EXPECT_TRUE(namesMatching("lamp").empty());

    lwScene->setAllVisible(true);
    lwScene->setVisibleByObjectName("Wall", false);
    RecordingMaterial material;
    lwScene->setMaterialByObjectName("Big", &material);
    for (const char* name : {"a", "b", "Wall01", "BigWall"}) {
        SceneMesh* mesh = lwScene->findMesh(name);
        const bool wall = std::string(name).find("Wall") != std::string::npos;
        EXPECT_EQ(mesh->object->getIntConstant("visible"), wall ? 0 : 1) << name;
        EXPECT_EQ(mesh->material, std::string(name) == "BigWall" ? &material : nullptr) << name;
    }
}

TEST_F(LwSceneEditing, PrepareGivesDefaultsOnceAndAddsTheLightPassOnlyWithoutPasses)
{
    RecordingMaterial fallback, own;
    lwScene->setMaterial("b", &own);
    lwScene->setDefaultMaterial(&fallback);
    lwScene->prepare();
    EXPECT_EQ(lwScene->getRenderer()->getPasses(), std::vector<ScenePass*>{LightScenePass::instance()});
    EXPECT_EQ(lwScene->findMesh("a")->material, &fallback);
    EXPECT_EQ(fallback.getObjects().size(), 3u);
    EXPECT_EQ(own.getObjects(), std::vector<SceneMesh*>{lwScene->findMesh("b")});
    EXPECT_EQ(own.preparedFor, std::vector<std::vector<std::string>>{{"lights"}});

    EXPECT_EQ(failureOf([&] { lwScene->prepare(); }).message, "LwScene::prepare: the scene is prepared already");
    EXPECT_EQ(fallback.getObjects().size(), 3u);
    EXPECT_EQ(lwScene->getRenderer()->getPasses().size(), 1u);

    // With passes of its own a scene gets no light pass.
    Scene other;
    addObject(other, "m", 1);
    LwScene withPasses(&other, nullptr);
    NamedPass pass;
    withPasses.addPass(&pass);
    withPasses.addPass(BiasScenePass::instance());
    withPasses.setDefaultMaterial(&fallback);
    withPasses.prepare();
    EXPECT_EQ(withPasses.getRenderer()->getPasses(), (std::vector<ScenePass*>{&pass, BiasScenePass::instance()}));
    EXPECT_EQ(fallback.preparedFor.back(), (std::vector<std::string>{"mine", "basic"}));
}

TEST_F(LwSceneEditing, RenderingNeedsTheNamedCamera)
{
    lwScene->prepare();
    Failure failure = failureOf([&] { lwScene->getRenderer()->render("Camera", 0.0f); });
    EXPECT_EQ(failure.message, "SceneRenderer: camera 'Camera' not found!");
    EXPECT_EQ(failure.file, "Libs\\Scene\\SceneRenderer");
    EXPECT_EQ(failure.line, 90);

    // A camera squashed flat has no view.
    lwScene->findCamera("cam")->object->setAttribute("sx", new ConstantFunction<float>(0.0f));
    EXPECT_EQ(failureOf([&] { lwScene->getRenderer()->render("cam", 2.5f); }).message,
              "SceneRenderer: camera 'cam' has a transform without inverse at time 2.5");
}

} // namespace
