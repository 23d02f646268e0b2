#include "Libs/Core/APICore.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/StateBlocks.h"

#include <algorithm>
#include <vector>

namespace Vostrel {
namespace Core {

namespace {
APICore* instance = nullptr;
APICore::Factory implementation = nullptr;

std::vector<void (*)()>& releasers()
{
    static std::vector<void (*)()> registered;
    return registered;
}

APICore* build(const WindowParameters* parameters, RenderWindow** mainWindow)
{
    if (!implementation)
        VOSTREL_THROW("APICore: no rendering implementation is registered");
    return implementation(parameters, mainWindow);
}
} // namespace

APICore::APICore()
    : currentCullState(nullptr), currentFillState(nullptr), currentColorWriteState(nullptr),
      currentClipState(nullptr), currentAuxState(nullptr), currentAlphaTestState(nullptr),
      currentDepthState(nullptr), currentBlendState(nullptr), currentStencilState(nullptr),
      currentStreamSet(nullptr), currentTextureSet(nullptr), currentVertexConstants(nullptr),
      currentPixelConstants(nullptr), currentVertexFormat(nullptr), currentIndexStream(nullptr),
      currentVertexShader(nullptr), currentPixelShader(nullptr), currentRenderTarget(nullptr),
      targetChanged(false), boundTextureCount(0), boundStreamCount(0)
{
}

APICore::~APICore() = default;

void APICore::setCurrentTarget(RenderTarget* target)
{
    if (target != currentRenderTarget)
        targetChanged = true;
    currentRenderTarget = target;
}

int APICore::recordTextures(TextureSet* textures)
{
    int before = boundTextureCount;
    currentTextureSet = textures;
    boundTextureCount = textures ? textures->count : 0;
    return before;
}

int APICore::recordVertexStreams(StreamSet* streams, VertexFormat* format)
{
    int before = boundStreamCount;
    currentStreamSet = streams;
    currentVertexFormat = format;
    boundStreamCount = streams ? streams->count : 0;
    return before;
}

APICore* APICore::getInstance()
{
    if (!instance)
        createDefaultInstance();
    return instance;
}

APICore* APICore::getExistingInstance()
{
    return instance;
}

void APICore::createDefaultInstance()
{
    if (instance)
        return;
    RenderWindow* mainWindow = nullptr;
    instance = build(nullptr, &mainWindow);
}

RenderWindow* APICore::createInstance(const WindowParameters& parameters)
{
    if (instance)
        return nullptr;
    RenderWindow* mainWindow = nullptr;
    instance = build(&parameters, &mainWindow);
    return mainWindow;
}

void APICore::destroyInstance()
{
    if (!instance)
        return;
    // A copy: a cache may register another while it empties.
    const std::vector<void (*)()> caches = releasers();
    for (auto release = caches.rbegin(); release != caches.rend(); ++release)
        (*release)();
    // Cleared first: what the core frees on its way down finds no record to
    // update.
    APICore* core = instance;
    instance = nullptr;
    delete core;
}

void APICore::registerImplementation(Factory factory)
{
    implementation = factory;
}

void APICore::installInstance(APICore* core)
{
    if (instance)
        VOSTREL_THROW("APICore::installInstance(): an instance exists already");
    instance = core;
}

void APICore::releaseWithInstance(void (*release)())
{
    std::vector<void (*)()>& caches = releasers();
    if (std::find(caches.begin(), caches.end(), release) == caches.end())
        caches.push_back(release);
}

void APICore::objectDestroyed(const void* object)
{
    if (instance && object)
        instance->forget(object);
}

void APICore::forget(const void* object)
{
    auto clearIfSame = [object](auto*& field) {
        if (field == object)
            field = nullptr;
    };
    clearIfSame(currentCullState);
    clearIfSame(currentFillState);
    clearIfSame(currentColorWriteState);
    clearIfSame(currentClipState);
    clearIfSame(currentAuxState);
    clearIfSame(currentAlphaTestState);
    clearIfSame(currentDepthState);
    clearIfSame(currentBlendState);
    clearIfSame(currentStencilState);
    clearIfSame(currentStreamSet);
    clearIfSame(currentTextureSet);
    clearIfSame(currentVertexConstants);
    clearIfSame(currentPixelConstants);
    clearIfSame(currentVertexFormat);
    clearIfSame(currentIndexStream);
    clearIfSame(currentVertexShader);
    clearIfSame(currentPixelShader);
    if (currentRenderTarget == object) {
        currentRenderTarget = nullptr;
        targetChanged = true;
    }
    // A texture or stream that dies inside the recorded set makes the set
    // due again, or a new resource at the same address would be skipped.
    if (currentTextureSet)
        for (int stage = 0; stage < currentTextureSet->count; ++stage)
            if (currentTextureSet->textures[stage] == object) {
                currentTextureSet->changed = true;
                currentTextureSet->dirty = true;
            }
    if (currentStreamSet)
        for (int slot = 0; slot < currentStreamSet->count; ++slot)
            if (currentStreamSet->streams[slot] == object)
                currentStreamSet->changed = true;
}

void createDefaultCore()
{
    APICore::createDefaultInstance();
}

void destroyCore()
{
    APICore::destroyInstance();
}

RenderWindow* createCore(const WindowParameters& parameters)
{
    return APICore::createInstance(parameters);
}

Texture* createTexture(const TextureParameters& parameters)
{
    return APICore::getInstance()->createTexture(parameters);
}

RenderTarget* createRenderCanvas(NativeWindowHandle window)
{
    return APICore::getInstance()->createRenderCanvas(window);
}

void clear(int flags, const Vec4& color, float depth, int stencil)
{
    APICore::getInstance()->clearTarget(flags, color, depth, stencil);
}

VertexFormat* createVertexFormat(int elementCount, const VertexElement* elements)
{
    return APICore::getInstance()->createVertexFormat(elementCount, elements);
}

VertexStream* createVertexStream(int size, int stride, int usage)
{
    return APICore::getInstance()->createVertexStream(size, stride, usage);
}

IndexStream* createIndexStream(int size, IndexStreamType type, int usage)
{
    return APICore::getInstance()->createIndexStream(size, type, usage);
}

VertexShader* createVertexShader(const ShaderProgram& program)
{
    return APICore::getInstance()->createVertexShader(program);
}

PixelShader* createPixelShader(const ShaderProgram& program)
{
    return APICore::getInstance()->createPixelShader(program);
}

RenderWindow* createRenderWindow(const WindowParameters& parameters)
{
    return APICore::getInstance()->createRenderWindow(parameters);
}

bool canCreateRenderWindow(const WindowParameters& parameters)
{
    return APICore::getInstance()->canCreateRenderWindow(parameters);
}

} // namespace Core
} // namespace Vostrel
