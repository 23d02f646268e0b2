#include "Libs/Testing/ElevatorEffect.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/Texture.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Image/Image.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Math/Envelope.h"
#include "Libs/Math/EnvelopeVec3.h"
#include "Libs/Postprocessing/Blitter.h"
#include "Libs/Postprocessing/HDRLighting.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Testing/DemoParts.h"
#include "Libs/Testing/Properties.h"
#include "Libs/Testing/Utils/FogLayers.h"
#include "Libs/Testing/Utils/Utils.h"

#include <cmath>

namespace Vostrel {

namespace {

const int targetSize = 512;
const char* const cameraName = "Camera";

// The layer-1 objects from the back of the stack to the front.
const int layer1Order[31] = {31, 12, 29, 30, 13, 14, 15, 16, 17, 18, 19, 20, 21, 22, 23, 24,
                             25, 26, 27, 28, 1,  2,  3,  4,  5,  7,  6,  8,  9,  10, 11};
const int layer2Count = 7;
const int outerFirst = 8, outerLast = 11;

std::string layer1(int n)
{
    return "Cubevator:Layer1 (" + std::to_string(n) + ")";
}

std::string layer2(int n)
{
    return "Cubevator:Layer2 (" + std::to_string(n) + ")";
}

ElevatorWaveTables makeWaveTables()
{
    // Formed in extended precision from the double nearest to pi: cosine[192]
    // is 63, since 192 pi / 128 lies just below 3 pi / 2.
    const long double pi = 3.14159265358979311599796346854L;
    ElevatorWaveTables tables;
    for (int i = 0; i < 256; ++i) {
        const long double angle = static_cast<long double>(i) * pi * 0.0078125L;
        tables.sine[i] = static_cast<int32_t>((std::sin(angle) + 1.0L) * 64.0L);
        tables.cosine[i] = static_cast<int32_t>((std::cos(angle) + 1.0L) * 64.0L);
    }
    return tables;
}

enum LayerColour { INNER, OUTER, LAYER2 };

const RegisterDemoEffect registration("ElevatorEffect",
                                      [] { return std::unique_ptr<DemoEffect>(ElevatorEffect::create()); });

} // namespace

const ElevatorWaveTables& elevatorWaveTables()
{
    static const ElevatorWaveTables tables = makeWaveTables();
    return tables;
}

void ElevatorPlasma::update(Core::Texture& texture, float time)
{
    const int32_t* sine = elevatorWaveTables().sine.data();
    const int32_t* cosine = elevatorWaveTables().cosine.data();
    const int32_t iu = static_cast<int32_t>(u), iv = static_cast<int32_t>(v), iw = static_cast<int32_t>(w);
    int pitch = 0;
    uint8_t* bits = static_cast<uint8_t*>(texture.lock(0, pitch, Core::LOCK_DISCARD));
    for (int32_t y = 0; y < size; ++y) {
        // Rows at the locked pitch: a texture wider than the plasma keeps
        // its picture square.
        uint32_t* row = reinterpret_cast<uint32_t*>(bits + static_cast<size_t>(y) * pitch);
        const int32_t rowSine = sine[(y + iv) & 255];
        const int32_t rowCosine = cosine[(y + iv) & 255];
        for (int32_t x = 0; x < size; ++x) {
            const int32_t g = sine[(y + iv - sine[(2 * iv + 2 * y + 2 * x) & 255]) & 255] +
                              2 * sine[(2 * (x - iv - sine[(x - iv) & 255])) & 255] +
                              5 * cosine[(x - iu + rowCosine) & 255];
            const int32_t r = cosine[(y + sine[(4 * iw - 4 * x) & 255]) & 255] +
                              2 * sine[(4 * (cosine[(x - iv) & 255] - y - iv - iw)) & 255] +
                              5 * cosine[(x - iw + iu + rowSine) & 255];
            const uint32_t word = ((((static_cast<uint32_t>(r) & ~31u) << 8) + (static_cast<uint32_t>(g) & ~31u)) << 5) +
                                  ((static_cast<uint32_t>(r) >> 3) & ~3u);
            row[x] = word;
        }
    }
    texture.unlock(0);
    w = -time;
    v = v - static_cast<float>(1 + (sine[(iu + iv) & 255] >> 8));
    u = time + time;
}

std::unique_ptr<Mesh::ModifiableMesh> ElevatorMeshCallback::onMeshLoaded(const std::string&, int,
                                                                         std::unique_ptr<Mesh::ModifiableMesh>&)
{
    return nullptr;
}

std::unique_ptr<BasicSceneMaterial> Elevator::makeMaterial(const std::string& textureStream, int colourKind,
                                                           const Vec4& outerColour, const Vec4& blendColour)
{
    ShaderGraph g;
    const ShaderValue location = g.vertexStream("location");
    g.setPosition(matrixProduct4(g.uniform("fullTransform", 4), location));
    const ShaderValue p = texld(g.vertexStream(textureStream), g.texture("texture1", Core::TEXTURE_TYPE_2D));
    const ShaderValue k = dp4(p, p);
    const ShaderValue meshTransform = g.uniform("meshTransform", 4);
    auto light = [&](const char* lightName) {
        return blinnPhong(g.constant4(0.98f, 0.79f, 0.6f, 0), g.constant4(0.5f, 0.5f, 0.5f, 0),
                          g.constantScalar(10.0f), matrixProduct4(meshTransform, location),
                          matrixProduct3(meshTransform, g.vertexStream("normal")), g.uniform("cameraPosition", 1),
                          g.uniform(lightName, 1));
    };
    switch (colourKind) {
    case INNER:
        g.setColorResult((k * g.uniform("colorizer", 1)) * light("lightPos"));
        break;
    case OUTER:
        g.setColorResult((g.constant4(outerColour[0], outerColour[1], outerColour[2], outerColour[3]) * k) *
                         light("phongLightPos"));
        break;
    default:
        g.setColorResult(g.constant4(0.6f, 0.6f, 0.6f, 0) + k * light("phongLightPos"));
        break;
    }
    shaders.push_back(std::make_unique<ShaderContext>(g));
    auto material = std::make_unique<BasicSceneMaterial>(shaders.back().get());
    material->setSourceBlend(Core::BLEND_FACTOR_COLOR);
    material->setDestinationBlend(Core::BLEND_INVERSE_FACTOR_COLOR);
    material->setBlendColor(blendColour);
    material->setBlendEnabled(true);
    material->setTextureCount(1);
    material->setTexture(0, plasmaTexture.get());
    return material;
}

Elevator::Elevator()
{
    scene = Scene::load("data/Models/Cubevator.sce");
    ElevatorMeshCallback callback;
    lwScene = std::make_unique<LwScene>(scene.get(), &callback);

    {
        std::unique_ptr<Image> image(Image::create(ElevatorPlasma::size, ElevatorPlasma::size, 4));
        const Core::TextureParameters defaults;
        plasmaTexture.reset(image->createTexture2D(&defaults));
    }

    ShaderGraph backgroundGraph;
    backgroundGraph.setPosition(backgroundGraph.constant4(1, -1, 1, 1) * backgroundGraph.vertexStream("location"));
    const ShaderValue t = texld(backgroundGraph.vertexStream("texcoord"),
                                backgroundGraph.texture("texture", Core::TEXTURE_TYPE_2D));
    backgroundGraph.setColorResult(dp4(t, t) * dp4(t, t));
    background.reset(createGenericFullscreenBlitter(backgroundGraph.build()));

    ShaderGraph defaultGraph;
    defaultGraph.setPosition(
        matrixProduct4(defaultGraph.uniform("fullTransform", 4), defaultGraph.vertexStream("location")));
    const Vec4 direction = normalize(Vec4(1, 2, 3, 0));
    defaultGraph.setColorResult(
        max(dp3(defaultGraph.constant4(direction[0], direction[1], direction[2], direction[3]),
                defaultGraph.vertexStream("normal")),
            0.0f) +
        defaultGraph.constant4(0.3f, 0.2f, 0.1f, 0));
    shaders.push_back(std::make_unique<ShaderContext>(defaultGraph));
    materials.push_back(std::make_unique<BasicSceneMaterial>(shaders.back().get()));
    lwScene->setDefaultMaterial(materials.back().get());

    Vec4 outer;
    parseHtmlColor(outer, Properties::getString("ElevatorEffect.color.outer", "#BAB88D"), 1.0f);
    materials.push_back(makeMaterial("Texture", INNER, outer, Vec4(0.4f, 0.4f, 0.4f, 0.4f)));
    lwScene->setMaterialByObjectName("Cubevator:Layer1", materials.back().get());
    materials.push_back(makeMaterial("Texture", OUTER, outer, Vec4(0.5f, 0.5f, 0.5f, 0.5f)));
    for (int n = outerFirst; n <= outerLast; ++n)
        lwScene->setMaterial(layer1(n), materials.back().get());
    materials.push_back(makeMaterial("Texture 1", LAYER2, outer, Vec4(0.7f, 0.7f, 0.7f, 0.6f)));
    lwScene->setMaterialByObjectName("Cubevator:Layer2", materials.back().get());

    // The blended layers draw in a fixed order, back to front.
    float z = -20000.0f;
    for (int n : layer1Order)
        lwScene->setExternalZ(layer1(n), z--);
    for (int i = 1; i <= layer2Count; ++i)
        lwScene->setExternalZ(layer2(i), -50100.0f - 100.0f * (i - 1));

    Vec4 inner;
    parseHtmlColor(inner, Properties::getString("ElevatorEffect.color.inner", "#BAB88D"), 1.0f);
    for (int n : layer1Order)
        lwScene->setUniform(layer1(n), "colorizer", inner);

    {
        SceneMesh* sceneMesh = lwScene->findMesh("AnnulusRoot");
        VOSTREL_ASSERT_AT_LINE(570, sceneMesh != 0);
        sceneMesh->object->setExternalTransform(&warpedTransforms[0]);
        warpedObjects.push_back(sceneMesh->object);
    }
    {
        SceneMesh* sceneMesh = lwScene->findMesh("BoxRoot");
        VOSTREL_ASSERT_AT_LINE(576, sceneMesh != 0);
        sceneMesh->object->setExternalTransform(&warpedTransforms[1]);
        warpedObjects.push_back(sceneMesh->object);
    }
    // Filled by every update before a draw; identity until then.
    warpedTransforms.fill(Matrix4(1.0f));

    if (Properties::getInt("ElevatorEffect.useFog", 0) != 0)
        fog = std::make_unique<FogLayers>(*lwScene, 800.0f, 1400.0f);

    lightEnvelope = scene->getPositionEnvelope("CubeLight");
    timeWarp = scene->getAnimatedAttribute("CubevatorTime", "x");
    beatCurve = scene->getAnimatedAttribute("HDRBeat", "x");

    lwScene->prepare();
    renderer = lwScene->getRenderer();
}

Elevator::~Elevator() = default;

void Elevator::update(float time)
{
    const float warped = timeWarp->evaluate(time);
    for (size_t i = 0; i < warpedObjects.size(); ++i) {
        SceneObject* object = warpedObjects[i];
        object->setExternalTransform(nullptr);
        warpedTransforms[i] = *object->getTransform(warped);
        object->setExternalTransform(&warpedTransforms[i]);
    }
    // Every material that lights by "phongLightPos" follows the light.
    const Vec3 p = lightEnvelope->evaluate(time);
    const Vec4 lightPosition(p[0], p[1], p[2], 0.0f);
    for (int i = 1; i <= 5; ++i)
        lwScene->setUniform(layer1(i), "phongLightPos", lightPosition);
    for (int i = outerFirst; i <= outerLast; ++i)
        lwScene->setUniform(layer1(i), "phongLightPos", lightPosition);
    for (int i = 1; i <= layer2Count; ++i)
        lwScene->setUniform(layer2(i), "phongLightPos", lightPosition);
    if (fog)
        fog->update(*lwScene, time, cameraName);
}

void Elevator::render(float time, int extra)
{
    plasma.update(*plasmaTexture, time);
    context.clear(Core::CLEAR_COLOR | Core::CLEAR_DEPTH, Vec4(0, 0, 0, 0), 1.0f, 0);
    background->setTexture("texture", plasmaTexture.get());
    background->blit();
    renderer->render(cameraName, time);
}

std::unique_ptr<ElevatorEffect> ElevatorEffect::create()
{
    return std::make_unique<ElevatorEffectImpl>();
}

ElevatorEffectImpl::ElevatorEffectImpl() = default;
ElevatorEffectImpl::~ElevatorEffectImpl() = default;

void ElevatorEffectImpl::init()
{
    scene = std::make_unique<Elevator>();
    useBloom = Properties::getInt("ElevatorEffect.useBloom", 0) != 0;
    useNoise = Properties::getInt("ElevatorEffect.useNoise", 0) != 0;
    // The pool makes the frame's two targets now, not while the show plays.
    RenderTexture* first = RenderTargetPool::acquire(targetSize, targetSize, Core::FORMAT_A8R8G8B8);
    RenderTexture* second = RenderTargetPool::acquire(targetSize, targetSize, Core::FORMAT_A8R8G8B8);
    RenderTargetPool::release(first);
    RenderTargetPool::release(second);
    beat = envelopeFromDigits("1000000010110000", 0.25f, 0.0f);
}

void ElevatorEffectImpl::setTime(float seconds, int variant)
{
    time = seconds;
    scene->update(seconds);
}

float ElevatorEffectImpl::bloomKey(float t) const
{
    const long double s = std::sin(static_cast<long double>(t) * std::cos(static_cast<long double>(t)));
    const long double h = static_cast<long double>(scene->getBeatCurve().evaluate(t)) * 0.01L;
    const long double b = static_cast<long double>(beat->evaluate(t)) * 0.003L;
    return static_cast<float>(((b + h) + std::fabs(0.0001L * s)) + 0.00205L);
}

void ElevatorEffectImpl::render(RenderTexture& target)
{
    RenderTexture* sceneTarget = RenderTargetPool::acquire(targetSize, targetSize, Core::FORMAT_A8R8G8B8);
    RenderTexture* output = RenderTargetPool::acquire(targetSize, targetSize, Core::FORMAT_A8R8G8B8);
    renderToTarget(sceneTarget, scene.get(), time, 0);
    if (useBloom)
        blitHdrLighting(output, sceneTarget, Vec4(1.0f, 1.0f, 1.0f, 1.0f), bloomKey(time));
    else
        blitCopy(output, sceneTarget, 0, 0, -1, -1);
    if (useNoise) {
        target.target->begin();
        blitCopy(nullptr, output, 0, 0, -1, -1);
        const float v = 0.1f + 0.025f * std::sin(time);
        drawNoise(Vec4(v, v, v, v), Core::BLENDOP_REVERSE_SUBTRACT);
        target.target->end();
    } else {
        blitCopy(&target, output, 0, 0, -1, -1);
    }
    RenderTargetPool::release(sceneTarget);
    RenderTargetPool::release(output);
}

} // namespace Vostrel
