#include "Libs/Testing/AdminEffect.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/Texture.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Image/Image.h"
#include "Libs/Math/Matrix.h"
#include "Libs/Postprocessing/HDRLighting.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Testing/DemoParts.h"
#include "Libs/Testing/Properties.h"
#include "Libs/Testing/Utils/VideoTexture.h"

namespace Vostrel {

namespace {

const char* const sceneFile = "data/Models/admineffect.sce";
const char* const reflectionFile = "data/Textures/sunset.jpg";
const char* const cameraObject = "Camera2";
const char* const textQuad = "quad:Layer1 (6)";

const RegisterDemoEffect registration("AdminEffect", [] { return std::unique_ptr<DemoEffect>(new AdminEffect); });

// The six faces of a cube map stacked top to bottom in one picture.
std::unique_ptr<Core::Texture> cubeFromStrip(const std::string& fileName)
{
    Image* strip = loadImage(fileName, true);
    if (strip->getWidth() <= 0 || strip->getHeight() != 6 * strip->getWidth())
        VOSTREL_THROW("AdminEffectScene: " << fileName << " is " << strip->getWidth() << " x " << strip->getHeight()
                                           << ", not a strip of six square cube faces");
    return std::unique_ptr<Core::Texture>(strip->createCubeTexture(nullptr));
}

// The video colour with its luminance (times a gain, at most 1) as alpha,
// looked up at the quad's "Texture" coordinates turned upright.
ShaderValue lumaKeyed(ShaderGraph& graph, bool boosted)
{
    ShaderValue uv = graph.vertexStream("Texture") * graph.constant4(1.0f, -1.0f, 0.0f, 0.0f);
    ShaderValue c = texld(uv, graph.texture("texture1", 0));
    ShaderValue luminance = dp3(c, graph.constant4(0.3f, 0.59f, 0.11f, 0.0f));
    ShaderValue alpha = boosted ? min(luminance * 32.0f, 1.0f) : luminance;
    return graph.constant4(1, 1, 1, 0) * c + graph.constant4(0, 0, 0, 1) * alpha;
}

} // namespace

AdminEffectScene::AdminEffectScene(Core::Texture* videoTexture)
{
    lwScene = LwScene::create(sceneFile, nullptr);
    LwScene& scene = *lwScene;
    SceneCamera* sceneCamera = scene.findCamera(cameraObject);
    if (!sceneCamera)
        VOSTREL_THROW("AdminEffectScene: " << sceneFile << " has no camera '" << cameraObject << "'");
    camera = sceneCamera->object;
    for (const char* constant : {"frameWidth", "frameHeight"})
        if (!camera->hasIntConstant(constant) || camera->getIntConstant(constant) <= 0)
            VOSTREL_THROW("AdminEffectScene: camera '" << cameraObject << "' in " << sceneFile << " has no positive '"
                                                       << constant << "'");
    if (!camera->hasAttribute("zoomFactor"))
        VOSTREL_THROW("AdminEffectScene: camera '" << cameraObject << "' in " << sceneFile << " has no 'zoomFactor'");
    for (const char* name : {"kuutio", textQuad})
        if (!scene.findMesh(name))
            VOSTREL_THROW("AdminEffectScene: " << sceneFile << " has no mesh object '" << name << "'");

    // Read one by one, so a failure lists them in a fixed order.
    const std::string panelImage = Properties::getString("AdminEffect.textPanel1image", "");
    const std::string panelText = Properties::getString("AdminEffect.textPanel1text", "");
    const std::string panelParam = Properties::getString("AdminEffect.textPanel1param", "");
    textPanel = std::make_unique<TextPanel>(scene, panelImage, panelText, panelParam);

    auto addMaterial = [&](const ShaderGraph& graph) {
        shaders.push_back(std::make_unique<ShaderContext>(graph));
        materials.push_back(std::make_unique<BasicSceneMaterial>(shaders.back().get()));
        return materials.back().get();
    };
    {
        ShaderGraph graph;
        graph.setPosition(matrixProduct4(graph.uniform("fullTransform", 4), graph.vertexStream("location")));
        graph.setColorResult(graph.constantScalar(1.0f));
        scene.setDefaultMaterial(addMaterial(graph));
    }
    {
        ShaderGraph graph;
        ShaderValue location = graph.vertexStream("location");
        ShaderValue meshTransform = graph.uniform("meshTransform", 4);
        graph.setPosition(matrixProduct4(graph.uniform("fullTransform", 4), location));
        ShaderValue p = matrixProduct4(meshTransform, location);
        ShaderValue normal = matrixProduct3(meshTransform, graph.vertexStream("normal"));
        ShaderValue eye = graph.uniform("cameraPosition", 1);
        ShaderValue lighting =
            blinnPhongClamped(graph.constant4(0.2f, 0.3f, 0.4f, 0.0f), graph.constant4(0.6f, 0.6f, 0.6f, 0.6f),
                              graph.constantScalar(50.0f), p, normal, eye, graph.constant4(5.0f, 7.0f, 3.0f, 1.0f));
        ShaderValue n = normalize(normal);
        ShaderValue v = normalize(eye - p);
        ShaderValue r = n + n - v;
        graph.setColorResult(lighting + texld(r, graph.texture("texture1", Core::TEXTURE_TYPE_CUBE)) * 0.5f);
        BasicSceneMaterial* architecture = addMaterial(graph);
        reflection = cubeFromStrip(reflectionFile);
        architecture->setTextureCount(1);
        architecture->setTexture(0, reflection.get());
        scene.setMaterialByObjectName("architecture", architecture);
    }
    {
        scene.addMeshFromFile("admin", "data/Models/quad.lwo@1", "kuutio");
        admin = scene.findMesh("admin")->object;
        ShaderGraph graph;
        ShaderValue placed = graph.vertexStream("location") * graph.uniform("xyFactors", 1) + graph.uniform("zFactor", 1);
        graph.setPosition(matrixProduct4(graph.uniform("perspectiveTransform", 4), placed));
        graph.setColorResult(lumaKeyed(graph, true));
        BasicSceneMaterial* video = addMaterial(graph);
        video->setTextureCount(1);
        video->setTexture(0, videoTexture);
        video->setBlendEnabled(true);
        video->setSourceBlend(Core::BLEND_ONE);
        video->setDestinationBlend(Core::BLEND_INVERSE_SOURCE_ALPHA);
        scene.setMaterial("admin", video);
    }
    {
        ShaderGraph graph;
        graph.setPosition(matrixProduct4(graph.uniform("fullTransform", 4), graph.vertexStream("location")));
        graph.setColorResult(lumaKeyed(graph, false));
        textQuadMaterial = addMaterial(graph);
        textQuadMaterial->setTextureCount(1);
        textQuadMaterial->setBlendEnabled(true);
        textQuadMaterial->setSourceBlend(Core::BLEND_SOURCE_ALPHA);
        textQuadMaterial->setDestinationBlend(Core::BLEND_INVERSE_SOURCE_ALPHA);
        scene.setMaterial(textQuad, textQuadMaterial);
    }
    scene.prepare();
    renderer = scene.getRenderer();
}

AdminEffectScene::~AdminEffectScene() = default;

void AdminEffectScene::update(float time)
{
    cameraName = cameraObject;
    textPanel->update(*lwScene, time, std::string(cameraName));
    const float zoom = camera->getAttribute("zoomFactor", time);
    const float aspect = static_cast<float>(camera->getIntConstant("frameWidth")) /
                         static_cast<float>(camera->getIntConstant("frameHeight"));
    Matrix4 transform = *camera->getTransform(time);
    Matrix4 view;
    if (invertMatrix(transform, view) != 0)
        VOSTREL_THROW("AdminEffectScene: the transform of camera '" << cameraObject << "' at " << time
                                                                    << " s cannot be inverted");
    const Vec4 position = (*admin->getTransform(time))[3];
    const float z = (view * Vec4(position[0], position[1], position[2], 1.0f))[2];
    const double depth = 2.0 * z / zoom;
    lwScene->setUniform("admin", "xyFactors",
                        Vec4(static_cast<float>((depth * aspect - 0.1) * 0.64),
                             static_cast<float>((depth - 0.1) * (0.64 * 4.0 / 3.0)), 0.0f, 0.0f));
    lwScene->setUniform("admin", "zFactor", Vec4(0.0f, 0.0f, z, 1.0f));
}

void AdminEffectScene::render(float time, int)
{
    renderer->render(cameraName, time);
}

AdminEffect::AdminEffect() = default;
AdminEffect::~AdminEffect() = default;

void AdminEffect::init()
{
    // Every target render takes, so the pool has them before the show.
    RenderTexture* bloom = RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8);
    RenderTexture* sceneTarget = RenderTargetPool::acquire(1024, 1024, Core::FORMAT_A8R8G8B8);
    RenderTexture* text = RenderTargetPool::acquire(512, 512, Core::FORMAT_A8R8G8B8);
    RenderTargetPool::release(bloom);
    RenderTargetPool::release(sceneTarget);
    RenderTargetPool::release(text);
    video = std::make_unique<VideoTexture>("data/Videos/mov2005-6", 256, 256);
    scene = std::make_unique<AdminEffectScene>(video->getTexture());
}

void AdminEffect::setTime(float seconds, int)
{
    double s = seconds * 0.1;
    if (s > 1.6)
        s = 1.6f;
    sceneTime = static_cast<float>(s);
    if (sceneTime - videoClock > videoFrameTime) {
        videoClock += videoFrameTime;
        video->update();
    }
    scene->update(sceneTime);
}

void AdminEffect::render(RenderTexture& target)
{
    PooledRenderTexture bloom(512, 512, Core::FORMAT_A8R8G8B8);
    PooledRenderTexture sceneTarget(1024, 1024, Core::FORMAT_A8R8G8B8);
    PooledRenderTexture text(512, 512, Core::FORMAT_A8R8G8B8);
    scene->getTextPanel().renderTexture(*text.get());
    scene->getTextQuadMaterial().setTexture(0, text->texture);
    clearTarget(sceneTarget.get(), Vec4(0.0f, 0.0f, 0.0f, 0.0f));
    renderToTarget(sceneTarget.get(), scene.get(), sceneTime, 100);
    blitHdrLighting(bloom.get(), sceneTarget.get(), Vec4(1.2f, 1.2f, 1.2f, 1.2f), 0.0007f);
    blitCopy(&target, bloom.get());
}

} // namespace Vostrel
