#pragma once

// Internal: 2-D, volume and cube textures. Each keeps an OpenGL texture and,
// unless it is a render target, a CPU copy of every level (and face) with
// Direct3D's pitches: a lock hands out the copy, an unlock uploads what may
// have changed. Render-target textures live on the GPU only.
// Automatic mipmaps of 8-bit channels are averaged here and uploaded with
// their top level where the driver would otherwise render a pass per level
// (a software rasteriser).

#include "Platform/D3D9/Surface.h"
#include "Platform/D3D9/TextureFormat.h"

#include <memory>
#include <vector>

namespace D3D9 {

class BaseTexture;

// A level of a texture (of one face of a cube) as a surface, so that a
// render-target texture can be drawn into and any level filled or locked.
class TextureSurface : public Surface {
public:
    TextureSurface(BaseTexture& texture, UINT face, UINT level, const D3DSURFACE_DESC& description);

    HRESULT LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect() override;
    void attachTo(GLuint framebuffer, GLenum attachment) override;
    bool drawable() const override;

    BaseTexture& texture() const { return texture_; }
    UINT face() const { return face_; }
    UINT level() const { return level_; }

private:
    BaseTexture& texture_;
    UINT face_;
    UINT level_;
};

class BaseTexture : public DeviceObject {
public:
    struct Shape {
        D3DRESOURCETYPE type; // TEXTURE, VOLUMETEXTURE or CUBETEXTURE
        UINT width;
        UINT height;
        UINT depth;
        UINT levels; // 0: the full chain
        DWORD usage;
        D3DFORMAT format;
        D3DPOOL pool;
    };
    // D3D_OK when the device can make a texture of this shape.
    static HRESULT check(const Shape& shape);
    // The device call that makes a texture of the type.
    static const char* creationCall(D3DRESOURCETYPE type);

    BaseTexture(Device& device, const Shape& shape);
    ~BaseTexture() override;

    // Level bounds of the box (null: the whole level), Direct3D's rules for
    // what may be locked, one lock per level at a time.
    HRESULT lock(UINT face, UINT level, const D3DBOX* box, DWORD flags, D3DLOCKED_BOX& locked);
    HRESULT unlock(UINT face, UINT level);
    HRESULT surface(UINT face, UINT level, IDirect3DSurface9** result);
    HRESULT fill(UINT face, UINT level, const RECT* rect, D3DCOLOR color);
    D3DSURFACE_DESC levelDescription(UINT level) const;
    void levelSize(UINT level, UINT& width, UINT& height, UINT& depth) const;

    const Shape& shape() const { return shape_; }
    // How OpenGL stores the texels.
    const TextureFormat& format() const { return format_; }
    // The levels the application sees: one with automatic mipmaps.
    DWORD levelCount() const { return visibleLevels_; }
    UINT faces() const { return faces_; }
    bool isRenderTarget() const { return (shape_.usage & D3DUSAGE_RENDERTARGET) != 0; }
    void generateMips();
    DWORD setPriority(DWORD priority);
    DWORD priority() const { return priority_; }

    GLuint name() const { return texture_.get(); }
    GLenum target() const;

private:
    struct Image {
        std::vector<uint8_t> bytes;
        UINT rowPitch = 0;
        UINT slicePitch = 0;
        bool locked = false;
        DWORD lockFlags = 0;
        D3DBOX lockedBox = {};
    };
    Image* image(UINT face, UINT level);
    bool lockable() const;
    void upload(UINT face, UINT level, const D3DBOX& box);
    // Writes a box of one level from rows of the given pitches.
    void put(UINT face, UINT level, const D3DBOX& box, const uint8_t* start, UINT rowPitch, UINT slicePitch);
    // The lower levels of a face from its CPU copy, box-filtered.
    void averageMips(UINT face);

    Shape shape_;
    TextureFormat format_;
    UINT faces_;
    UINT storageLevels_;
    DWORD visibleLevels_;
    DWORD priority_ = 0;
    bool averagedMips_ = false; // automatic mipmaps made by averageMips
    GL::Texture texture_;
    std::vector<Image> images_; // face-major; empty for render targets
    std::vector<uint8_t> mips_; // averageMips' levels below the top, packed
    std::vector<std::unique_ptr<TextureSurface>> surfaces_; // made on first request
};

// The COM face of the three kinds.
template <typename Interface>
class TextureObject : public Interface, public BaseTexture {
public:
    TextureObject(Device& device, const Shape& shape) : BaseTexture(device, shape) {}

    ULONG AddRef() override { return addRef(); }
    ULONG Release() override { return release(); }
    HRESULT GetDevice(IDirect3DDevice9** result) override;
    DWORD SetPriority(DWORD value) override { return setPriority(value); }
    DWORD GetPriority() override { return priority(); }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return shape().type; }
    DWORD GetLevelCount() override { return levelCount(); }
    void GenerateMipSubLevels() override { generateMips(); }
};

class Texture2D final : public TextureObject<IDirect3DTexture9> {
public:
    using TextureObject::TextureObject;
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* description) override;
    HRESULT GetSurfaceLevel(UINT level, IDirect3DSurface9** result) override;
    HRESULT LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags) override;
    HRESULT UnlockRect(UINT level) override;
};

class VolumeTexture final : public TextureObject<IDirect3DVolumeTexture9> {
public:
    using TextureObject::TextureObject;
    HRESULT GetLevelDesc(UINT level, D3DVOLUME_DESC* description) override;
    HRESULT LockBox(UINT level, D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags) override;
    HRESULT UnlockBox(UINT level) override;
};

class CubeTexture final : public TextureObject<IDirect3DCubeTexture9> {
public:
    using TextureObject::TextureObject;
    HRESULT GetLevelDesc(UINT level, D3DSURFACE_DESC* description) override;
    HRESULT GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level, IDirect3DSurface9** result) override;
    HRESULT LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                     DWORD flags) override;
    HRESULT UnlockRect(D3DCUBEMAP_FACES face, UINT level) override;
};

// The texture behind an interface pointer the device was given, or null.
BaseTexture* asTexture(IDirect3DBaseTexture9* texture);

} // namespace D3D9
