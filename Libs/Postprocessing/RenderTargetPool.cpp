#include "Libs/Postprocessing/RenderTexture.h"

#include "Libs/Core/APICore.h"
#include "Libs/Postprocessing/PostProcessing.h"

#include <algorithm>
#include <list>
#include <memory>
#include <vector>

namespace Vostrel {

namespace {

struct PoolState {
    std::list<RenderTexture*> freeList;
    std::vector<std::unique_ptr<Core::Texture>> textures;
    std::vector<std::unique_ptr<RenderTexture>> entries;
};

PoolState& pool()
{
    static PoolState state;
    [[maybe_unused]] static const bool registered =
        (Core::APICore::releaseWithInstance(&releasePostprocessingObjects), true);
    return state;
}

} // namespace

RenderTexture* RenderTargetPool::create(int width, int height, Core::TextureFormat format)
{
    Core::TextureParameters parameters;
    parameters.width = width;
    parameters.height = height;
    parameters.minFilter = Core::MIN_LINEAR;
    parameters.magFilter = Core::MAG_LINEAR;
    parameters.format = format;
    parameters.renderTarget = true;
    // A failed creation leaves no entry behind.
    std::unique_ptr<Core::Texture> texture(Core::createTexture(parameters));
    std::unique_ptr<RenderTexture> entry(new RenderTexture);
    entry->width = width;
    entry->height = height;
    entry->texture = texture.get();
    entry->target = texture->getRenderTarget();
    PoolState& state = pool();
    state.textures.push_back(std::move(texture));
    state.entries.push_back(std::move(entry));
    return state.entries.back().get();
}

RenderTexture* RenderTargetPool::acquire(int width, int height, Core::TextureFormat format)
{
    std::list<RenderTexture*>& freeList = pool().freeList;
    auto found = std::find_if(freeList.begin(), freeList.end(), [&](const RenderTexture* entry) {
        return entry->width == width && entry->height == height;
    });
    if (found == freeList.end())
        return create(width, height, format);
    RenderTexture* entry = *found;
    freeList.erase(found);
    return entry;
}

void RenderTargetPool::release(RenderTexture* entry)
{
    pool().freeList.push_back(entry);
}

int RenderTargetPool::getFreeCount()
{
    return static_cast<int>(pool().freeList.size());
}

void RenderTargetPool::releaseAll()
{
    PoolState& state = pool();
    state.freeList.clear();
    state.entries.clear();
    state.textures.clear();
}

} // namespace Vostrel
