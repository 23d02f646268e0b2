#pragma once

#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/Texture.h"
#include "Platform/D3D9/d3d9.h"

#include <string>

namespace Vostrel {
namespace Core {

class DXTextureTarget;

// What the three kinds of Direct3D texture share: the record they were made
// from, the sampler states a bind sends, the priority and the fill.
class DXTexture : public Texture {
public:
    ~DXTexture() override;

    const TextureParameters& getParameters() const override { return parameters; }
    void setPriority(float priority) override;
    RenderTarget* getTarget(int index) override { return nullptr; }
    RenderTarget* getRenderTarget() override;
    void fill(const Vec4& color) override;
    void setFilter(MinFilter minFilter, MagFilter magFilter) override;
    void setWrap(TextureWrap u, TextureWrap v, TextureWrap w) override;
    void bind(int stage) override;
    // Through a discard lock of the face's top level (2-D and cube).
    void update(int face, const void* source) override;
    void updateRect(int face, const void* source, int x, int y, int width, int height) override;

    // A surface of the texture (a 2-D texture's level, a cube's face at
    // level 0) with a reference the caller releases; null when there is none.
    virtual IDirect3DSurface9* getSurface(int index) = 0;
    virtual IDirect3DBaseTexture9* getBaseTexture() const = 0;

    // The Direct3D format of an engine format, and its texel size in bytes.
    static D3DFORMAT direct3DFormat(TextureFormat format);
    static int texelSize(TextureFormat format);
    // The lock flags of an engine lock type, as textures and vertex streams
    // map them.
    static DWORD lockFlags(LockType lockType);

protected:
    explicit DXTexture(const TextureParameters& parameters);
    // Copies height rows of width texels from tightly packed source rows to
    // locked rows of the given pitch.
    void copyRows(unsigned char* destination, int pitch, const void* source, int width, int height) const;

    TextureParameters parameters;
    DXTextureTarget* target = nullptr; // owned; only a 2-D render-target texture has one
};

class DXTexture2D : public DXTexture {
public:
    explicit DXTexture2D(const TextureParameters& parameters);
    // Takes over a texture made elsewhere (from a file); no render target.
    DXTexture2D(const TextureParameters& parameters, IDirect3DTexture9* texture);
    ~DXTexture2D() override;

    void* lock(int face, int& pitch, LockType lockType) override;
    void* lockRect(int face, int& pitch, int x, int y, int width, int height, LockType lockType) override;
    void unlock(int face) override;
    IDirect3DSurface9* getSurface(int index) override;
    IDirect3DBaseTexture9* getBaseTexture() const override { return texture; }

private:
    IDirect3DTexture9* texture = nullptr;
};

class DXTexture3D : public DXTexture {
public:
    explicit DXTexture3D(const TextureParameters& parameters);
    ~DXTexture3D() override;

    // The first argument is the level.
    void* lock(int level, int& pitch, LockType lockType) override;
    void* lockRect(int face, int& pitch, int x, int y, int width, int height, LockType lockType) override;
    void unlock(int level) override;
    void update(int level, const void* source) override;
    void updateRect(int face, const void* source, int x, int y, int width, int height) override;
    IDirect3DSurface9* getSurface(int index) override;
    IDirect3DBaseTexture9* getBaseTexture() const override { return texture; }

private:
    IDirect3DVolumeTexture9* texture = nullptr;
};

class DXTextureCube : public DXTexture {
public:
    explicit DXTextureCube(const TextureParameters& parameters);
    ~DXTextureCube() override;

    void* lock(int face, int& pitch, LockType lockType) override;
    void* lockRect(int face, int& pitch, int x, int y, int width, int height, LockType lockType) override;
    void unlock(int face) override;
    IDirect3DSurface9* getSurface(int index) override;
    IDirect3DBaseTexture9* getBaseTexture() const override { return texture; }

private:
    IDirect3DCubeTexture9* texture = nullptr;
};

// The render target of a render-target texture: draws into the texture's
// top level with a depth/stencil surface of its own.
class DXTextureTarget : public RenderTarget {
public:
    explicit DXTextureTarget(DXTexture& texture);
    ~DXTextureTarget() override;

    void setViewport(float x, float y, float width, float height) override;
    void getFramebuffer(std::uint32_t* destination) override {}
    bool queryFlag() override { return false; }
    void beginScene() override;
    void endScene() override;
    void update() override {}

private:
    DXTexture& texture; // not owned
    IDirect3DSurface9* depthStencil = nullptr;
};

// Makes textures from records and from image files. One instance, made on
// first use and never freed.
class DXTextureFactory {
public:
    static DXTextureFactory* getInstance();

    Texture* createTexture(const TextureParameters& parameters);
    // A 2-D texture of the file's size; the record is kept as given.
    Texture* createTextureFromFile(const std::string& fileName, const TextureParameters& parameters);
};

// The D3DX file calls return only a code: after one failed, the file and why
// it could not be read or decoded go on a context line of their own.
void reportImageFileFailure(const std::string& fileName);

} // namespace Core
} // namespace Vostrel
