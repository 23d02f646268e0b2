#include "Platform/D3D9/Texture.h"

#include "Platform/D3D9/Device.h"
#include "Platform/D3D9/Internal.h"

#include <algorithm>
#include <cstring>

namespace D3D9 {

namespace {

// Beyond this a texture is refused as out of memory rather than allocated.
constexpr uint64_t maxTextureBytes = uint64_t(512) << 20;

UINT fullChain(UINT width, UINT height, UINT depth)
{
    UINT largest = std::max({width, height, depth});
    UINT levels = 1;
    while (largest > 1) {
        largest >>= 1;
        ++levels;
    }
    return levels;
}

UINT faceCount(D3DRESOURCETYPE type) { return type == D3DRTYPE_CUBETEXTURE ? 6 : 1; }

UINT storageLevels(const BaseTexture::Shape& shape)
{
    UINT chain = fullChain(shape.width, shape.height, shape.type == D3DRTYPE_VOLUMETEXTURE ? shape.depth : 1);
    return shape.levels == 0 ? chain : shape.levels;
}

D3DBOX wholeLevel(UINT width, UINT height, UINT depth) { return {0, 0, width, height, 0, depth}; }

D3DBOX boxOfRect(const RECT* rect, UINT width, UINT height)
{
    if (!rect)
        return wholeLevel(width, height, 1);
    // Negative edges become huge and fail the bounds check.
    return {static_cast<UINT>(rect->left), static_cast<UINT>(rect->top), static_cast<UINT>(rect->right),
            static_cast<UINT>(rect->bottom), 0, 1};
}

// Whether each byte of a texel is a channel of its own, so that a mean of
// texels is the mean of each byte.
bool byteChannels(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
    case D3DFMT_A8:
    case D3DFMT_L8:
    case D3DFMT_A8L8: return true;
    default: return false;
    }
}

// The next level of byte channels, rows packed: each texel the rounded mean
// of the 2 x 2 above it, which is what a linear filter between the levels'
// texel centres gives. An odd side leaves its last texel out; a side of one
// counts its texels twice.
void halveBytes(const uint8_t* source, size_t sourcePitch, UINT width, UINT height, size_t texelBytes,
                uint8_t* target)
{
    const UINT halfWidth = std::max(1u, width / 2);
    const UINT halfHeight = std::max(1u, height / 2);
    for (UINT y = 0; y < halfHeight; ++y) {
        const uint8_t* upper = source + static_cast<size_t>(2 * y) * sourcePitch;
        const uint8_t* lower = source + static_cast<size_t>(std::min(2 * y + 1, height - 1)) * sourcePitch;
        for (UINT x = 0; x < halfWidth; ++x) {
            const size_t left = static_cast<size_t>(2 * x) * texelBytes;
            const size_t right = static_cast<size_t>(std::min(2 * x + 1, width - 1)) * texelBytes;
            for (size_t c = 0; c < texelBytes; ++c)
                *target++ = static_cast<uint8_t>(
                    (upper[left + c] + upper[right + c] + lower[left + c] + lower[right + c] + 2) >> 2);
        }
    }
}

} // namespace

const char* BaseTexture::creationCall(D3DRESOURCETYPE type)
{
    switch (type) {
    case D3DRTYPE_VOLUMETEXTURE: return "CreateVolumeTexture";
    case D3DRTYPE_CUBETEXTURE: return "CreateCubeTexture";
    default: return "CreateTexture";
    }
}

HRESULT BaseTexture::check(const Shape& shape)
{
    const char* call = creationCall(shape.type);
    std::optional<TextureFormat> format = textureFormat(shape.format);
    const DWORD known = D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC | D3DUSAGE_AUTOGENMIPMAP;
    bool volume = shape.type == D3DRTYPE_VOLUMETEXTURE;
    UINT limit = volume ? 2048 : 8192;
    UINT depth = volume ? shape.depth : 1;
    bool renderTarget = (shape.usage & D3DUSAGE_RENDERTARGET) != 0;
    bool dynamic = (shape.usage & D3DUSAGE_DYNAMIC) != 0;
    if (!format)
        return refuse(call, "unknown format");
    if (shape.usage & ~known)
        return refuse(call, "unknown usage");
    if (shape.width == 0 || shape.height == 0 || depth == 0)
        return refuse(call, "zero size");
    if (shape.width > limit || shape.height > limit || depth > limit)
        return refuse(call, "larger than " + std::to_string(limit) + " on a side");
    if (shape.type == D3DRTYPE_CUBETEXTURE && shape.width != shape.height)
        return refuse(call, "a cube of unequal sides");
    if (renderTarget && dynamic)
        return refuse(call, "a dynamic render target");
    if (renderTarget && volume)
        return refuse(call, "a volume render target");
    if (renderTarget && shape.pool != D3DPOOL_DEFAULT)
        return refuse(call, "a render target outside the default pool");
    if (renderTarget && !format->renderable)
        return refuse(call, "a render target of a format that cannot be drawn into");
    if (dynamic && shape.pool == D3DPOOL_MANAGED)
        return refuse(call, "dynamic and managed");
    if (shape.pool > D3DPOOL_SCRATCH)
        return refuse(call, "unknown pool");
    UINT chain = fullChain(shape.width, shape.height, depth);
    if (shape.levels > chain)
        return refuse(call, "more levels than the mip chain has");
    if ((shape.usage & D3DUSAGE_AUTOGENMIPMAP) && shape.levels > 1)
        return refuse(call, "automatic mipmaps with more than one level");
    uint64_t bytes = 0;
    for (UINT level = 0; level < storageLevels(shape); ++level) {
        uint64_t width = std::max(1u, shape.width >> level);
        uint64_t height = std::max(1u, shape.height >> level);
        uint64_t slices = std::max(1u, depth >> level);
        bytes += rowPitch(*format, static_cast<UINT>(width)) * height * slices * faceCount(shape.type);
    }
    if (bytes > maxTextureBytes)
        return refuse(call, "larger than 512 MB", E_OUTOFMEMORY);
    return D3D_OK;
}

BaseTexture::BaseTexture(Device& device, const Shape& shape)
    : DeviceObject(device, Ownership::Own),
      shape_(shape),
      format_((shape.usage & D3DUSAGE_RENDERTARGET) ? *textureFormat(shape.format)
                                                     : uploadedTextureFormat(*textureFormat(shape.format))),
      faces_(faceCount(shape.type)),
      storageLevels_(storageLevels(shape))
{
    if (shape_.type != D3DRTYPE_VOLUMETEXTURE)
        shape_.depth = 1;
    visibleLevels_ = (shape_.usage & D3DUSAGE_AUTOGENMIPMAP) ? 1 : storageLevels_;
    // Volumes and other formats keep the driver's generation; so does a
    // GPU, which makes mipmaps without the processor.
    averagedMips_ = (shape_.usage & D3DUSAGE_AUTOGENMIPMAP) && storageLevels_ > 1 && !isRenderTarget() &&
                    shape_.type != D3DRTYPE_VOLUMETEXTURE && byteChannels(shape_.format) &&
                    device.context().software();
    device.context().makeCurrent();
    texture_ = GL::makeTexture(target());
    GLuint name = texture_.get();
    GLsizei width = static_cast<GLsizei>(shape_.width);
    GLsizei height = static_cast<GLsizei>(shape_.height);
    GLsizei levels = static_cast<GLsizei>(storageLevels_);
    if (shape_.type == D3DRTYPE_VOLUMETEXTURE)
        glTextureStorage3D(name, levels, format_.internalFormat, width, height, static_cast<GLsizei>(shape_.depth));
    else
        glTextureStorage2D(name, levels, format_.internalFormat, width, height);
    glTextureParameteriv(name, GL_TEXTURE_SWIZZLE_RGBA, format_.swizzle.data());
    // Without it a mip filter on a texture of fewer levels samples black.
    glTextureParameteri(name, GL_TEXTURE_MAX_LEVEL, levels - 1);
    for (GLint level = 0; level < levels; ++level)
        glClearTexImage(name, level, format_.pixelFormat, format_.pixelType, nullptr);

    if (isRenderTarget())
        return;
    images_.resize(static_cast<size_t>(faces_) * visibleLevels_);
    for (UINT face = 0; face < faces_; ++face) {
        for (UINT level = 0; level < visibleLevels_; ++level) {
            UINT levelWidth, levelHeight, levelDepth;
            levelSize(level, levelWidth, levelHeight, levelDepth);
            Image& entry = *image(face, level);
            entry.rowPitch = rowPitch(format_, levelWidth);
            entry.slicePitch = entry.rowPitch * levelHeight;
            entry.bytes.assign(static_cast<size_t>(entry.slicePitch) * levelDepth, 0);
        }
    }
}

BaseTexture::~BaseTexture()
{
    device().context().makeCurrent();
}

GLenum BaseTexture::target() const
{
    switch (shape_.type) {
    case D3DRTYPE_VOLUMETEXTURE: return GL_TEXTURE_3D;
    case D3DRTYPE_CUBETEXTURE: return GL_TEXTURE_CUBE_MAP;
    default: return GL_TEXTURE_2D;
    }
}

void BaseTexture::levelSize(UINT level, UINT& width, UINT& height, UINT& depth) const
{
    width = std::max(1u, shape_.width >> level);
    height = std::max(1u, shape_.height >> level);
    depth = std::max(1u, shape_.depth >> level);
}

D3DSURFACE_DESC BaseTexture::levelDescription(UINT level) const
{
    UINT width, height, depth;
    levelSize(level, width, height, depth);
    return {shape_.format, D3DRTYPE_SURFACE, shape_.usage, shape_.pool, D3DMULTISAMPLE_NONE, 0, width, height};
}

BaseTexture::Image* BaseTexture::image(UINT face, UINT level)
{
    if (face >= faces_ || level >= visibleLevels_ || images_.empty())
        return nullptr;
    return &images_[static_cast<size_t>(face) * visibleLevels_ + level];
}

bool BaseTexture::lockable() const
{
    return !isRenderTarget() && (shape_.pool != D3DPOOL_DEFAULT || (shape_.usage & D3DUSAGE_DYNAMIC));
}

HRESULT BaseTexture::lock(UINT face, UINT level, const D3DBOX* box, DWORD flags, D3DLOCKED_BOX& locked)
{
    logCall("LockTexture", {static_cast<int64_t>(face), static_cast<int64_t>(level), static_cast<int64_t>(flags)});
    const char* call = shape_.type == D3DRTYPE_VOLUMETEXTURE ? "LockBox" : "LockRect";
    if (face >= faces_ || level >= visibleLevels_)
        return refuse(call, "no such level");
    if (!lockable())
        return refuse(call, "not lockable");
    Image* entry = image(face, level);
    if (entry->locked)
        return refuse(call, "already locked");
    UINT width, height, depth;
    levelSize(level, width, height, depth);
    D3DBOX region = box ? *box : wholeLevel(width, height, depth);
    if (region.Left >= region.Right || region.Top >= region.Bottom || region.Front >= region.Back)
        return refuse(call, "empty region");
    if (region.Right > width || region.Bottom > height || region.Back > depth)
        return refuse(call, "region outside the level");
    entry->locked = true;
    entry->lockFlags = flags;
    entry->lockedBox = region;
    size_t offset = static_cast<size_t>(region.Front) * entry->slicePitch +
                    static_cast<size_t>(region.Top) * entry->rowPitch +
                    static_cast<size_t>(region.Left) * format_.bytesPerTexel;
    locked.RowPitch = static_cast<INT>(entry->rowPitch);
    locked.SlicePitch = static_cast<INT>(entry->slicePitch);
    locked.pBits = entry->bytes.data() + offset;
    return D3D_OK;
}

HRESULT BaseTexture::unlock(UINT face, UINT level)
{
    const char* call = shape_.type == D3DRTYPE_VOLUMETEXTURE ? "UnlockBox" : "UnlockRect";
    Image* entry = image(face, level);
    if (!entry || !entry->locked)
        return refuse(call, "not locked");
    entry->locked = false;
    if (entry->lockFlags & D3DLOCK_READONLY)
        return D3D_OK;
    upload(face, level, entry->lockedBox);
    return D3D_OK;
}

void BaseTexture::upload(UINT face, UINT level, const D3DBOX& box)
{
    const Image& entry = *image(face, level);
    const uint8_t* start = entry.bytes.data() + static_cast<size_t>(box.Front) * entry.slicePitch +
                           static_cast<size_t>(box.Top) * entry.rowPitch +
                           static_cast<size_t>(box.Left) * format_.bytesPerTexel;
    put(face, level, box, start, entry.rowPitch, entry.slicePitch);
    if (level == 0 && averagedMips_)
        averageMips(face);
    else if (level == 0)
        generateMips();
}

void BaseTexture::put(UINT face, UINT level, const D3DBOX& box, const uint8_t* start, UINT rowPitch, UINT slicePitch)
{
    device().context().makeCurrent();
    glPixelStorei(GL_UNPACK_ALIGNMENT, 1);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, static_cast<GLint>(rowPitch / format_.bytesPerTexel));
    glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, static_cast<GLint>(slicePitch / rowPitch));
    GLint x = static_cast<GLint>(box.Left);
    GLint y = static_cast<GLint>(box.Top);
    GLsizei width = static_cast<GLsizei>(box.Right - box.Left);
    GLsizei height = static_cast<GLsizei>(box.Bottom - box.Top);
    GLint glLevel = static_cast<GLint>(level);
    switch (shape_.type) {
    case D3DRTYPE_VOLUMETEXTURE:
        glTextureSubImage3D(name(), glLevel, x, y, static_cast<GLint>(box.Front), width, height,
                            static_cast<GLsizei>(box.Back - box.Front), format_.pixelFormat, format_.pixelType, start);
        break;
    case D3DRTYPE_CUBETEXTURE:
        glTextureSubImage3D(name(), glLevel, x, y, static_cast<GLint>(face), width, height, 1, format_.pixelFormat,
                            format_.pixelType, start);
        break;
    default:
        glTextureSubImage2D(name(), glLevel, x, y, width, height, format_.pixelFormat, format_.pixelType, start);
        break;
    }
    glPixelStorei(GL_UNPACK_ALIGNMENT, 4);
    glPixelStorei(GL_UNPACK_ROW_LENGTH, 0);
    glPixelStorei(GL_UNPACK_IMAGE_HEIGHT, 0);
}

void BaseTexture::averageMips(UINT face)
{
    const Image& top = *image(face, 0);
    const size_t texelBytes = static_cast<size_t>(format_.bytesPerTexel);
    size_t total = 0;
    UINT width, height, depth;
    for (UINT level = 1; level < storageLevels_; ++level) {
        levelSize(level, width, height, depth);
        total += width * texelBytes * height;
    }
    mips_.resize(total);
    const uint8_t* source = top.bytes.data();
    size_t sourcePitch = top.rowPitch;
    uint8_t* target = mips_.data();
    for (UINT level = 1; level < storageLevels_; ++level) {
        UINT sourceWidth, sourceHeight;
        levelSize(level - 1, sourceWidth, sourceHeight, depth);
        halveBytes(source, sourcePitch, sourceWidth, sourceHeight, texelBytes, target);
        levelSize(level, width, height, depth);
        const UINT pitch = static_cast<UINT>(width * texelBytes);
        put(face, level, wholeLevel(width, height, 1), target, pitch, pitch * height);
        source = target;
        sourcePitch = pitch;
        target += static_cast<size_t>(pitch) * height;
    }
}

void BaseTexture::generateMips()
{
    if (!(shape_.usage & D3DUSAGE_AUTOGENMIPMAP) || storageLevels_ < 2)
        return;
    if (averagedMips_) {
        for (UINT face = 0; face < faces_; ++face)
            averageMips(face);
        return;
    }
    device().context().makeCurrent();
    glGenerateTextureMipmap(name());
}

DWORD BaseTexture::setPriority(DWORD priority)
{
    logCall("SetPriority", {static_cast<int64_t>(priority)});
    // Only managed resources have a priority.
    if (shape_.pool != D3DPOOL_MANAGED)
        return 0;
    return std::exchange(priority_, priority);
}

HRESULT BaseTexture::surface(UINT face, UINT level, IDirect3DSurface9** result)
{
    const char* call = shape_.type == D3DRTYPE_CUBETEXTURE ? "GetCubeMapSurface" : "GetSurfaceLevel";
    if (!result)
        return refuse(call, "no result pointer");
    if (face >= faces_ || level >= visibleLevels_)
        return refuse(call, "no such level");
    if (surfaces_.empty())
        surfaces_.resize(static_cast<size_t>(faces_) * visibleLevels_);
    std::unique_ptr<TextureSurface>& entry = surfaces_[static_cast<size_t>(face) * visibleLevels_ + level];
    if (!entry)
        entry = std::make_unique<TextureSurface>(*this, face, level, levelDescription(level));
    entry->AddRef();
    *result = entry.get();
    return D3D_OK;
}

HRESULT BaseTexture::fill(UINT face, UINT level, const RECT* rect, D3DCOLOR color)
{
    if (shape_.type == D3DRTYPE_VOLUMETEXTURE)
        return refuse("ColorFill", "a volume");
    if (face >= faces_ || level >= visibleLevels_)
        return refuse("ColorFill", "no such level");
    UINT width, height, depth;
    levelSize(level, width, height, depth);
    D3DBOX box = boxOfRect(rect, width, height);
    if (box.Left >= box.Right || box.Top >= box.Bottom)
        return refuse("ColorFill", "empty rectangle");
    if (box.Right > width || box.Bottom > height)
        return refuse("ColorFill", "rectangle outside the surface");
    std::array<float, 4> rgba = colorToFloats(color);
    if (isRenderTarget()) {
        device().context().makeCurrent();
        glClearTexSubImage(name(), static_cast<GLint>(level), static_cast<GLint>(box.Left),
                           static_cast<GLint>(box.Top), static_cast<GLint>(face),
                           static_cast<GLsizei>(box.Right - box.Left), static_cast<GLsizei>(box.Bottom - box.Top), 1,
                           GL_RGBA, GL_FLOAT, rgba.data());
        return D3D_OK;
    }
    Image& entry = *image(face, level);
    if (entry.locked)
        return refuse("ColorFill", "locked");
    uint8_t texel[16];
    encodeTexel(shape_.format, rgba, texel);
    size_t size = static_cast<size_t>(format_.bytesPerTexel);
    for (UINT y = box.Top; y < box.Bottom; ++y) {
        uint8_t* row = entry.bytes.data() + static_cast<size_t>(y) * entry.rowPitch;
        for (UINT x = box.Left; x < box.Right; ++x)
            std::memcpy(row + x * size, texel, size);
    }
    upload(face, level, box);
    return D3D_OK;
}

template <typename Interface>
HRESULT TextureObject<Interface>::GetDevice(IDirect3DDevice9** result)
{
    return getDevice(result);
}

template class TextureObject<IDirect3DTexture9>;
template class TextureObject<IDirect3DVolumeTexture9>;
template class TextureObject<IDirect3DCubeTexture9>;

HRESULT Texture2D::GetLevelDesc(UINT level, D3DSURFACE_DESC* description)
{
    if (!description)
        return refuse("GetLevelDesc", "no result pointer");
    if (level >= levelCount())
        return refuse("GetLevelDesc", "no such level");
    *description = levelDescription(level);
    return D3D_OK;
}

HRESULT Texture2D::GetSurfaceLevel(UINT level, IDirect3DSurface9** result)
{
    return surface(0, level, result);
}

HRESULT Texture2D::LockRect(UINT level, D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    if (!locked)
        return refuse("LockRect", "no result pointer");
    D3DBOX box = boxOfRect(rect, 0, 0);
    D3DLOCKED_BOX result;
    HRESULT status = lock(0, level, rect ? &box : nullptr, flags, result);
    if (SUCCEEDED(status))
        *locked = {result.RowPitch, result.pBits};
    return status;
}

HRESULT Texture2D::UnlockRect(UINT level)
{
    return unlock(0, level);
}

HRESULT VolumeTexture::GetLevelDesc(UINT level, D3DVOLUME_DESC* description)
{
    if (!description)
        return refuse("GetLevelDesc", "no result pointer");
    if (level >= levelCount())
        return refuse("GetLevelDesc", "no such level");
    UINT width, height, depth;
    levelSize(level, width, height, depth);
    *description = {shape().format, D3DRTYPE_VOLUME, shape().usage, shape().pool, width, height, depth};
    return D3D_OK;
}

HRESULT VolumeTexture::LockBox(UINT level, D3DLOCKED_BOX* locked, const D3DBOX* box, DWORD flags)
{
    if (!locked)
        return refuse("LockBox", "no result pointer");
    return lock(0, level, box, flags, *locked);
}

HRESULT VolumeTexture::UnlockBox(UINT level)
{
    return unlock(0, level);
}

HRESULT CubeTexture::GetLevelDesc(UINT level, D3DSURFACE_DESC* description)
{
    if (!description)
        return refuse("GetLevelDesc", "no result pointer");
    if (level >= levelCount())
        return refuse("GetLevelDesc", "no such level");
    *description = levelDescription(level);
    return D3D_OK;
}

HRESULT CubeTexture::GetCubeMapSurface(D3DCUBEMAP_FACES face, UINT level, IDirect3DSurface9** result)
{
    return surface(static_cast<UINT>(face), level, result);
}

HRESULT CubeTexture::LockRect(D3DCUBEMAP_FACES face, UINT level, D3DLOCKED_RECT* locked, const RECT* rect,
                              DWORD flags)
{
    if (!locked)
        return refuse("LockRect", "no result pointer");
    D3DBOX box = boxOfRect(rect, 0, 0);
    D3DLOCKED_BOX result;
    HRESULT status = lock(static_cast<UINT>(face), level, rect ? &box : nullptr, flags, result);
    if (SUCCEEDED(status))
        *locked = {result.RowPitch, result.pBits};
    return status;
}

HRESULT CubeTexture::UnlockRect(D3DCUBEMAP_FACES face, UINT level)
{
    return unlock(static_cast<UINT>(face), level);
}

BaseTexture* asTexture(IDirect3DBaseTexture9* texture)
{
    return dynamic_cast<BaseTexture*>(texture);
}

TextureSurface::TextureSurface(BaseTexture& texture, UINT face, UINT level, const D3DSURFACE_DESC& description)
    : Surface(texture.device(), Ownership::Container, &texture, description),
      texture_(texture),
      face_(face),
      level_(level)
{
}

HRESULT TextureSurface::LockRect(D3DLOCKED_RECT* locked, const RECT* rect, DWORD flags)
{
    if (!locked)
        return refuse("LockRect", "no result pointer");
    D3DBOX box = boxOfRect(rect, 0, 0);
    D3DLOCKED_BOX result;
    HRESULT status = texture_.lock(face_, level_, rect ? &box : nullptr, flags, result);
    if (SUCCEEDED(status))
        *locked = {result.RowPitch, result.pBits};
    return status;
}

HRESULT TextureSurface::UnlockRect()
{
    return texture_.unlock(face_, level_);
}

void TextureSurface::attachTo(GLuint framebuffer, GLenum attachment)
{
    if (texture_.shape().type == D3DRTYPE_CUBETEXTURE)
        glNamedFramebufferTextureLayer(framebuffer, attachment, texture_.name(), static_cast<GLint>(level_),
                                       static_cast<GLint>(face_));
    else
        glNamedFramebufferTexture(framebuffer, attachment, texture_.name(), static_cast<GLint>(level_));
}

bool TextureSurface::drawable() const
{
    return texture_.isRenderTarget();
}

} // namespace D3D9
