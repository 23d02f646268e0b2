#include "Libs/Testing/MapEffect3.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Image/Image.h"
#include "Libs/Postprocessing/PostProcessing.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Testing/DemoParts.h"
#include "Libs/Testing/Utils/Panels.h"
#include "Libs/Testing/Utils/QuadStrip.h"

#include <cmath>

namespace Vostrel {

namespace {

constexpr double pi = 3.14159265358979323846;
// The ray march's step: the float nearest to 0.3 / 13.
constexpr double marchStep = 0.023076923564076424;

const Vec4 luminanceWeights(0.3f, 0.59f, 0.11f, 0.0f);

// One wave's push along the normal at world point p: a damped sine of the
// distance inside the wave front.
ShaderValue wave(ShaderGraph& g, const ShaderValue& p, const char* range, const char* origin)
{
    const ShaderValue d = p - g.uniform(origin, 1);
    const ShaderValue m = max(g.uniform(range, 1)[0] - sqrt(dp3(d, d)), 0.0f);
    const ShaderValue angle = m * 1.2f;
    const float twoPi = static_cast<float>(2.0 * pi);
    const ShaderValue wrapped = frac(angle * static_cast<float>(1.0 / (2.0 * pi)) + 0.5f) * twoPi -
                                static_cast<float>(pi);
    return exp(m * m * -0.02f) * sincos(wrapped)[1] * 0.04f;
}

ShaderGraph wallGraph(const Vec4& blockColor)
{
    ShaderGraph g;
    const ShaderValue location = g.vertexStream("location");
    const ShaderValue p = matrixProduct4(g.uniform("meshTransform", 4), location);
    const ShaderValue push = wave(g, p, "explosionRange1", "origin1") + wave(g, p, "explosionRange2", "origin2");
    g.setPosition(matrixProduct4(g.uniform("fullTransform", 4), location + push * g.vertexStream("normal")));
    const ShaderValue uv = g.vertexStream("Texture");
    const ShaderValue base = texld(uv, g.texture("texture1", Core::TEXTURE_TYPE_2D)) * 0.6f +
                             g.constant4(blockColor[0], blockColor[1], blockColor[2], blockColor[3]) * push;
    const ShaderValue s = dp3(base, g.constant4(luminanceWeights[0], luminanceWeights[1], luminanceWeights[2], 0)) *
                          texld(uv, g.texture("texture2", Core::TEXTURE_TYPE_2D))[0];
    g.setColorResult(base * s + g.constant4(0, 0, 0, 1) * s);
    return g;
}

ShaderGraph ringGraph()
{
    ShaderGraph g;
    g.setPosition(matrixProduct4(g.uniform("fullTransform", 4), g.vertexStream("location")));
    const ShaderValue c = texld(g.vertexStream("texcoord"), g.texture("texture1", Core::TEXTURE_TYPE_2D)) *
                          g.constant4(4.0f, 3.0f, 2.0f, 0.0f);
    g.setColorResult(c + g.constant4(0, 0, 0, 1) *
                             dp3(g.constant4(luminanceWeights[0], luminanceWeights[1], luminanceWeights[2], 0), c));
    return g;
}

Matrix4 translation(double x, double y, double z)
{
    return affineTransform(Matrix3(1.0f), Vec3(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)));
}

// Small targets borrowed for one frame, given back when it ends.
class MarchTarget {
public:
    MarchTarget()
        : target(RenderTargetPool::acquire(MapEffect3::marchSize, MapEffect3::marchSize, Core::FORMAT_A8R8G8B8))
    {
    }
    ~MarchTarget() { RenderTargetPool::release(target); }
    MarchTarget(const MarchTarget&) = delete;
    MarchTarget& operator=(const MarchTarget&) = delete;
    RenderTexture* get() const { return target; }

private:
    RenderTexture* target;
};

Core::TextureFormat volumeFormat(int channels, const std::string& fileName)
{
    switch (channels) {
    case 1:
        return Core::FORMAT_L8;
    case 2:
        return Core::FORMAT_A8L8;
    case 4:
        return Core::FORMAT_A8R8G8B8;
    default:
        VOSTREL_THROW("MapEffect3: volume image " << fileName << " has " << channels
                                                  << " channels; 1, 2 or 4 are needed");
    }
}

} // namespace

std::unique_ptr<Core::Texture> loadStackedVolume(const std::string& fileName)
{
    Image* image = loadImage(fileName, true);
    const int width = image->getWidth(), height = image->getHeight();
    if (width <= 0 || height < width || height % width != 0)
        VOSTREL_THROW("MapEffect3: volume image " << fileName << " is " << width << " x " << height
                                                  << "; its height must be a positive multiple of its width");
    Core::TextureParameters parameters;
    parameters.type = Core::TEXTURE_TYPE_VOLUME;
    parameters.width = parameters.height = width;
    parameters.depth = height / width;
    parameters.wrapU = parameters.wrapV = parameters.wrapW = Core::TEXTURE_CLAMP;
    parameters.minFilter = Core::MIN_LINEAR;
    parameters.magFilter = Core::MAG_LINEAR;
    parameters.format = volumeFormat(image->getChannels(), fileName);
    std::unique_ptr<Core::Texture> texture(Core::createTexture(parameters));
    texture->update(0, image->getData());
    return texture;
}

MapEffect3Scene::MapEffect3Scene() : MapScene("MapEffect3")
{
    loadScene("data/Models/mapeffect3.sce");
    readLinks("mapeffect3.links");
    setDefaultMaterial();

    wallShader = std::make_unique<ShaderContext>(wallGraph(settings.getVec4("blockColor")));
    wallMaterial = std::make_unique<BasicSceneMaterial>(wallShader.get());
    wallMaterial->setTextureCount(2);
    wallMaterial->setTexture(0, loadTextureWithDefaults("data/Textures/luovutan1.png", true));
    wallMaterial->setTexture(1, loadTextureWithDefaults("data/Textures/muurialpha.png", true));
    wallMaterial->setSourceBlend(1);
    wallMaterial->setDestinationBlend(5);
    wallMaterial->setBlendEnabled(true);
    wallCount = settings.getInt("muuriCount");
    for (int k = 1; k <= wallCount; ++k) {
        scene->setMaterial(wallName(k), wallMaterial.get());
        scene->setIntConstant(wallName(k), "visible", 1);
        scene->setIntConstant(wallName(k), "FrontfaceAndBackface", 1);
    }

    ring = std::make_unique<QuadStrip>();
    scene->addMesh("rad0", ring->getMesh(), "portti1");
    ringShader = std::make_unique<ShaderContext>(ringGraph());
    ringMaterial = std::make_unique<BasicSceneMaterial>(ringShader.get());
    ringMaterial->setTextureCount(1);
    ringMaterial->setTexture(0, loadTextureWithDefaults("data/Textures/flow1.png", true));
    ringMaterial->setBlendEnabled(true);
    ringMaterial->setSourceBlend(1);
    ringMaterial->setDestinationBlend(5);
    ringMaterial->setBlendColor(Vec4(1.0f, 1.0f, 1.0f, 1.0f));
    scene->setMaterialByObjectName("rad", ringMaterial.get());

    {
        MarchTarget a, b;
    }
    brainPanel = std::make_unique<SvgScreenPanel>(*scene, "data/Textures/mainUIFrame.svg", "brainPanel");
    const float fogStart = settings.getFloat("fogStart");
    buildFog(fogStart, settings.getFloat("fogEnd"));
    buildLinks();
    buildParticles();
    buildTerminals();
    prepare();
}

MapEffect3Scene::~MapEffect3Scene() = default;

std::string MapEffect3Scene::wallName(int k)
{
    return "muuri:Layer1 (" + std::to_string(k) + ")";
}

float MapEffect3Scene::firstRange(float time)
{
    return static_cast<float>(std::fmod(static_cast<double>(time) * 15.0, 25.0));
}

float MapEffect3Scene::secondRange(float time)
{
    return static_cast<float>(std::fmod((static_cast<double>(time) + 5.0) * 17.0, 28.0));
}

void MapEffect3Scene::update(float time)
{
    cameraName = "Camera";
    brainPanel->update(*scene, time, cameraName);
    updateToolkit(time);
    const float r1 = firstRange(time), r2 = secondRange(time);
    const Vec4 portal = scene->getPosition("portti1", time);
    for (int k = 1; k <= wallCount; ++k) {
        const std::string wall = wallName(k);
        scene->setUniform(wall, "explosionRange1", Vec4(r1, r1, r1, r1));
        scene->setUniform(wall, "origin1", portal);
        scene->setUniform(wall, "explosionRange2", Vec4(r2, r2, r2, r2));
        // The second wave starts from the portal too.
        scene->setUniform(wall, "origin2", portal);
    }
    updateFog(time);
}

BrainMarch brainMarchAt(float time)
{
    const double g = (std::sin(static_cast<double>(time)) + 1.0) * 0.35;
    const Matrix4 turn = rotationMatrix4(Vec3(0.0f, 1.0f, 0.0f), time);
    const Matrix4 centred = translation(0.5, 0.5, 0.5) * turn * translation(-0.5, -0.5, -0.5);
    BrainMarch march;
    march.first = centred * translation(0.0, 0.0, g + 0.3);
    march.second = centred * translation(0.0, 0.0, g + 0.3 - 7.0 * marchStep);
    march.step = centred[2] * -static_cast<float>(marchStep);
    march.step[3] = 0.0f;
    return march;
}

MapEffect3::MapEffect3() = default;

MapEffect3::~MapEffect3() = default;

void MapEffect3::init()
{
    prefillMapTargets(1);
    volume = loadStackedVolume("data/Textures/braintex.png");
    scene = std::make_unique<MapEffect3Scene>();
}

void MapEffect3::setTime(float seconds, int)
{
    sceneTime = static_cast<float>(seconds * timeFactor);
    scene->update(sceneTime);
}

void MapEffect3::render(RenderTexture& target)
{
    MarchTarget b, a;
    MapFrameTargets targets;
    RenderTexture* picture = targets.acquireScene();
    const BrainMarch march = brainMarchAt(sceneTime);
    clearTarget(a.get(), Vec4(0.0f, 0.0f, 0.0f, 1.0f));
    // The march applies its matrix's first three columns as rows, so it is
    // handed the transpose: the rays then start at P (u, v, 0, 1), the
    // translation included.
    blitVolumeRayMarch(b.get(), a.get(), volume.get(), march.first.transpose(), march.step);
    blitVolumeRayMarch(a.get(), b.get(), volume.get(), march.second.transpose(), march.step);
    scene->getBrainPanel().setTexture(*a.get());
    renderToTarget(picture, scene.get(), sceneTime, 100);
    bloom.finish(target, *picture, [this] { return keySettings.getFloat("bloomBase"); });
}

namespace {

const RegisterDemoEffect registration("MapEffect3", [] { return std::unique_ptr<DemoEffect>(new MapEffect3); });

} // namespace

} // namespace Vostrel
