#pragma once

#include "Libs/Core/Texture.h"

namespace Vostrel {

namespace Core {
class RenderTarget;
}

// A render-target texture with its own target and size. The screen record
// has the window as its target and no texture.
struct RenderTexture {
    int width = 0;
    int height = 0;
    Core::Texture* texture = nullptr;
    Core::RenderTarget* target = nullptr;
};

// Program-wide scratch render textures: acquire hands out a free entry of
// the size asked for (whatever its format) or makes one; release takes it
// back. Entries live until releaseAll.
class RenderTargetPool {
public:
    static RenderTexture* create(int width, int height, Core::TextureFormat format);
    static RenderTexture* acquire(int width, int height, Core::TextureFormat format);
    static void release(RenderTexture* entry);
    static int getFreeCount();
    // Destroys every entry ever made; the core's destruction does it too.
    static void releaseAll();
};

// A scratch entry acquired from the pool for one scope: it goes back to the
// pool however the scope is left.
class PooledRenderTexture {
public:
    PooledRenderTexture(int width, int height, Core::TextureFormat format)
        : entry_(RenderTargetPool::acquire(width, height, format))
    {
    }
    ~PooledRenderTexture() { RenderTargetPool::release(entry_); }
    PooledRenderTexture(const PooledRenderTexture&) = delete;
    PooledRenderTexture& operator=(const PooledRenderTexture&) = delete;

    RenderTexture* get() const { return entry_; }
    RenderTexture* operator->() const { return entry_; }

private:
    RenderTexture* entry_;
};

} // namespace Vostrel
