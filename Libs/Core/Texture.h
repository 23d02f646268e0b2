#pragma once

#include "Libs/Core/LockType.h"
#include "Libs/Core/TextureType.h"
#include "Libs/Math/Vec.h"

namespace Vostrel {
namespace Core {

class RenderTarget;

// Addressing of a texture coordinate.
enum TextureWrap : int {
    TEXTURE_WRAP = 0,
    TEXTURE_CLAMP = 1,
    TEXTURE_BORDER = 2,
    TEXTURE_MIRROR = 3,
};

// The minification filter and the mip filter together.
enum MinFilter : int {
    MIN_POINT = 0,
    MIN_LINEAR = 1,
    MIN_POINT_MIP_POINT = 2,
    MIN_LINEAR_MIP_POINT = 3,
    MIN_POINT_MIP_LINEAR = 4,
    MIN_LINEAR_MIP_LINEAR = 5,
};

enum MagFilter : int {
    MAG_POINT = 0,
    MAG_LINEAR = 1,
};

enum TextureFormat : int {
    FORMAT_L8 = 0,
    FORMAT_A8L8 = 1,
    FORMAT_L16 = 2,
    FORMAT_R8G8B8 = 3, // refused: no texture has 24-bit texels
    FORMAT_A8R8G8B8 = 4,
    FORMAT_G16R16 = 5,
    FORMAT_R16F = 6,
    FORMAT_R32F = 7,
    FORMAT_A16B16G16R16F = 8,
    FORMAT_A32B32G32R32F = 9,
    FORMAT_RGBA16F = 10, // as FORMAT_A16B16G16R16F
    FORMAT_RGBA32F = 11, // as FORMAT_A32B32G32R32F
};

// The description of a texture to create; copied whole into the texture.
struct TextureParameters {
    TextureType type = TEXTURE_TYPE_2D;
    int width = 256;
    int height = 256;
    int depth = 1; // slices of a volume texture
    TextureWrap wrapU = TEXTURE_WRAP;
    TextureWrap wrapV = TEXTURE_WRAP;
    TextureWrap wrapW = TEXTURE_WRAP;
    int reserved = 0; // carried along, read by nothing
    MinFilter minFilter = MIN_LINEAR_MIP_LINEAR;
    MagFilter magFilter = MAG_LINEAR;
    float maxAnisotropy = 1.0f;
    TextureFormat format = FORMAT_A8R8G8B8;
    float borderColor[4] = {0.0f, 0.0f, 0.0f, 0.0f}; // red, green, blue, alpha
    bool renderTarget = false;
    bool dynamic = false; // rewritten often
};

// An image resource of the render core: 2-D, volume or cube. Locks and
// uploads work on the top level; the face argument picks a cube's face
// (0 for the other kinds). Made by the rendering interface's createTexture.
class Texture {
public:
    Texture() = default;
    Texture(const Texture&) = delete;
    Texture& operator=(const Texture&) = delete;
    virtual ~Texture() = 0;

    virtual const TextureParameters& getParameters() const = 0;
    // 0..1; how much the texture deserves to stay resident.
    virtual void setPriority(float priority) = 0;
    // The texels of the top level and its row pitch in bytes.
    virtual void* lock(int face, int& pitch, LockType lockType) = 0;
    virtual void* lockRect(int face, int& pitch, int x, int y, int width, int height, LockType lockType) = 0;
    virtual void unlock(int face) = 0;
    // Uploads the whole top level from tightly packed rows.
    virtual void update(int face, const void* source) = 0;
    // Uploads a rectangle from tightly packed rows of its own width.
    virtual void updateRect(int face, const void* source, int x, int y, int width, int height) = 0;
    virtual RenderTarget* getTarget(int index) = 0; // null in every texture
    // The target that draws into the texture; null unless it is a render target.
    virtual RenderTarget* getRenderTarget() = 0;
    // The top level in one colour (red, green, blue, alpha in 0..1).
    virtual void fill(const Vec4& color) = 0;
    // Filters and wrap modes take effect at the next bind.
    virtual void setFilter(MinFilter minFilter, MagFilter magFilter) = 0;
    virtual void setWrap(TextureWrap u, TextureWrap v, TextureWrap w) = 0;
    // Binds the texture to a sampler stage; the base does nothing.
    virtual void bind(int stage) {}
    virtual void setWrapUV(TextureWrap u, TextureWrap v) { setWrap(u, v, TEXTURE_WRAP); }
    virtual void setWrapU(TextureWrap u) { setWrap(u, TEXTURE_WRAP, TEXTURE_WRAP); }
};

} // namespace Core
} // namespace Vostrel
