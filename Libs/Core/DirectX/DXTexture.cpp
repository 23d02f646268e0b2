#include "Libs/Core/DirectX/DXTexture.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Platform/D3DX9/ImageFile.h"
#include "Platform/D3DX9/d3dx9.h"

#include <cmath>
#include <cstring>

namespace Vostrel {
namespace Core {

namespace {

const char* creationFailure(HRESULT result)
{
    switch (result) {
    case E_OUTOFMEMORY: return "out of memory";
    case D3DERR_OUTOFVIDEOMEMORY: return "out of video memory";
    case D3DERR_INVALIDCALL: return "invalid call";
    default: return "unknown error";
    }
}

// The format of a record, refusing 24-bit texels.
D3DFORMAT creationFormat(TextureFormat format)
{
    if (format == FORMAT_R8G8B8)
        VOSTREL_THROW("DXCore internal error, invalid texture format (24 bit)!");
    return DXTexture::direct3DFormat(format);
}

// Levels and usage of a texture that is not a render target: one level
// without a mip filter, else a full chain the device generates.
void levelsAndUsage(const TextureParameters& parameters, UINT& levels, DWORD& usage)
{
    if (parameters.minFilter == MIN_POINT || parameters.minFilter == MIN_LINEAR) {
        levels = 1;
        usage = 0;
    } else {
        levels = 0;
        usage = D3DUSAGE_AUTOGENMIPMAP;
    }
}

DWORD addressMode(TextureWrap wrap)
{
    switch (wrap) {
    case TEXTURE_WRAP: return D3DTADDRESS_WRAP;
    case TEXTURE_CLAMP: return D3DTADDRESS_CLAMP;
    case TEXTURE_BORDER: return D3DTADDRESS_BORDER;
    case TEXTURE_MIRROR: return D3DTADDRESS_MIRROR;
    default: VOSTREL_THROW("DXCore: Unknown texture wrap type.\n");
    }
}

// Colours of a fill: each channel truncated, not rounded.
D3DCOLOR truncatedColor(const Vec4& color)
{
    auto channel = [](float value) { return static_cast<DWORD>(static_cast<int>(value * 255.0f)) & 0xFF; };
    return (channel(color[3]) << 24) | (channel(color[0]) << 16) | (channel(color[1]) << 8) | channel(color[2]);
}

} // namespace

DXTexture::DXTexture(const TextureParameters& parameters) : parameters(parameters) {}

DXTexture::~DXTexture() = default;

D3DFORMAT DXTexture::direct3DFormat(TextureFormat format)
{
    switch (format) {
    case FORMAT_L8: return D3DFMT_L8;
    case FORMAT_A8L8: return D3DFMT_A8L8;
    case FORMAT_L16: return D3DFMT_L16;
    case FORMAT_R8G8B8: return D3DFMT_R8G8B8;
    case FORMAT_A8R8G8B8: return D3DFMT_A8R8G8B8;
    case FORMAT_G16R16: return D3DFMT_G16R16;
    case FORMAT_R16F: return D3DFMT_R16F;
    case FORMAT_R32F: return D3DFMT_R32F;
    case FORMAT_A16B16G16R16F:
    case FORMAT_RGBA16F: return D3DFMT_A16B16G16R16F;
    case FORMAT_A32B32G32R32F:
    case FORMAT_RGBA32F: return D3DFMT_A32B32G32R32F;
    default: VOSTREL_THROW("Invalid texture format.");
    }
}

int DXTexture::texelSize(TextureFormat format)
{
    switch (format) {
    case FORMAT_L8: return 1;
    case FORMAT_A8L8:
    case FORMAT_L16:
    case FORMAT_R16F: return 2;
    case FORMAT_R8G8B8: return 3;
    case FORMAT_A8R8G8B8:
    case FORMAT_G16R16:
    case FORMAT_R32F: return 4;
    case FORMAT_A16B16G16R16F:
    case FORMAT_RGBA16F: return 8;
    case FORMAT_A32B32G32R32F:
    case FORMAT_RGBA32F: return 16;
    default: VOSTREL_THROW("Invalid texture format.");
    }
}

DWORD DXTexture::lockFlags(LockType lockType)
{
    switch (lockType) {
    case LOCK_READ_WRITE: return 0;
    case LOCK_READ_ONLY: return D3DLOCK_READONLY | D3DLOCK_NOOVERWRITE;
    case LOCK_DISCARD: return D3DLOCK_DISCARD;
    default: VOSTREL_THROW("Invalid lock type");
    }
}

void DXTexture::setPriority(float priority)
{
    // A fraction of the 32-bit range; what does not fit is the smallest value.
    double scaled = std::trunc(static_cast<double>(priority) * 4294967296.0);
    int32_t value = INT32_MIN;
    if (scaled >= -2147483648.0 && scaled < 2147483648.0)
        value = static_cast<int32_t>(scaled);
    getBaseTexture()->SetPriority(static_cast<DWORD>(value));
}

RenderTarget* DXTexture::getRenderTarget()
{
    return target;
}

void DXTexture::fill(const Vec4& color)
{
    IDirect3DSurface9* surface = getSurface(0);
    if (!surface)
        return;
    DXCore::getDevice()->ColorFill(surface, nullptr, truncatedColor(color));
    surface->Release();
}

void DXTexture::setFilter(MinFilter minFilter, MagFilter magFilter)
{
    parameters.minFilter = minFilter;
    parameters.magFilter = magFilter;
}

void DXTexture::setWrap(TextureWrap u, TextureWrap v, TextureWrap w)
{
    parameters.wrapU = u;
    parameters.wrapV = v;
    parameters.wrapW = w;
}

void DXTexture::bind(int stage)
{
    IDirect3DDevice9* device = DXCore::getDevice();
    DWORD sampler = static_cast<DWORD>(stage);
    device->SetTexture(sampler, getBaseTexture());
    device->SetSamplerState(sampler, D3DSAMP_ADDRESSU, addressMode(parameters.wrapU));
    device->SetSamplerState(sampler, D3DSAMP_ADDRESSV, addressMode(parameters.wrapV));
    device->SetSamplerState(sampler, D3DSAMP_ADDRESSW, addressMode(parameters.wrapW));
    const float* border = parameters.borderColor;
    device->SetSamplerState(sampler, D3DSAMP_BORDERCOLOR,
                            DXCore::packColor(Vec4(border[0], border[1], border[2], border[3])));
    static const DWORD MIN_FILTERS[6][2] = {
        {D3DTEXF_POINT, D3DTEXF_NONE},  {D3DTEXF_LINEAR, D3DTEXF_NONE},  {D3DTEXF_POINT, D3DTEXF_POINT},
        {D3DTEXF_LINEAR, D3DTEXF_POINT}, {D3DTEXF_POINT, D3DTEXF_LINEAR}, {D3DTEXF_LINEAR, D3DTEXF_LINEAR},
    };
    if (parameters.minFilter < MIN_POINT || parameters.minFilter > MIN_LINEAR_MIP_LINEAR)
        VOSTREL_THROW("Invalid min filter.");
    if (parameters.magFilter != MAG_POINT && parameters.magFilter != MAG_LINEAR)
        VOSTREL_THROW("Invalid mag filter.");
    const DWORD* minification = MIN_FILTERS[parameters.minFilter];
    device->SetSamplerState(sampler, D3DSAMP_MINFILTER, minification[0]);
    device->SetSamplerState(sampler, D3DSAMP_MIPFILTER, minification[1]);
    device->SetSamplerState(sampler, D3DSAMP_MAGFILTER,
                            parameters.magFilter == MAG_POINT ? D3DTEXF_POINT : D3DTEXF_LINEAR);
    device->SetSamplerState(sampler, D3DSAMP_MAXANISOTROPY,
                            static_cast<DWORD>(static_cast<int>(parameters.maxAnisotropy)));
}

void DXTexture::update(int face, const void* source)
{
    int pitch = 0;
    void* destination = lock(face, pitch, LOCK_DISCARD);
    copyRows(static_cast<unsigned char*>(destination), pitch, source, parameters.width, parameters.height);
    unlock(face);
}

void DXTexture::updateRect(int face, const void* source, int x, int y, int width, int height)
{
    int pitch = 0;
    void* destination = lockRect(face, pitch, x, y, width, height, LOCK_DISCARD);
    copyRows(static_cast<unsigned char*>(destination), pitch, source, width, height);
    unlock(face);
}

void DXTexture::copyRows(unsigned char* destination, int pitch, const void* source, int width, int height) const
{
    size_t rowSize = static_cast<size_t>(width) * texelSize(parameters.format);
    const auto* from = static_cast<const unsigned char*>(source);
    if (static_cast<size_t>(pitch) == rowSize) {
        std::memcpy(destination, from, rowSize * height);
        return;
    }
    for (int row = 0; row < height; ++row)
        std::memcpy(destination + static_cast<size_t>(row) * pitch, from + row * rowSize, rowSize);
}

// --- 2-D ---

DXTexture2D::DXTexture2D(const TextureParameters& parameters) : DXTexture(parameters)
{
    D3DFORMAT format = creationFormat(parameters.format);
    UINT levels = 1;
    DWORD usage = 0;
    D3DPOOL pool = D3DPOOL_MANAGED;
    if (parameters.renderTarget) {
        if (parameters.dynamic)
            VOSTREL_THROW("Dynamic rendertarget textures are not allowed");
        usage = D3DUSAGE_RENDERTARGET;
        pool = D3DPOOL_DEFAULT;
    } else {
        levelsAndUsage(parameters, levels, usage);
    }
    if (parameters.dynamic) {
        if (!(DXCore::getCaps().Caps2 & D3DCAPS2_DYNAMICTEXTURES))
            VOSTREL_THROW("Dynamic textures not supported");
        usage |= D3DUSAGE_DYNAMIC;
        pool = D3DPOOL_DEFAULT;
    }
    HRESULT result = DXCore::getDevice()->CreateTexture(static_cast<UINT>(parameters.width),
                                                        static_cast<UINT>(parameters.height), levels, usage, format,
                                                        pool, &texture, nullptr);
    // The failure is reported as it is, before any target is made for a
    // texture that does not exist.
    if (result != D3D_OK)
        VOSTREL_THROW("DXCore internal error, CreateTexture failed (" << creationFailure(result) << ").");
    if (parameters.renderTarget) {
        try {
            target = new DXTextureTarget(*this);
        } catch (...) {
            texture->Release();
            throw;
        }
    }
}

DXTexture2D::DXTexture2D(const TextureParameters& parameters, IDirect3DTexture9* texture)
    : DXTexture(parameters), texture(texture)
{
}

DXTexture2D::~DXTexture2D()
{
    delete target;
    target = nullptr;
    texture->Release();
}

void* DXTexture2D::lock(int face, int& pitch, LockType lockType)
{
    D3DLOCKED_RECT locked;
    if (texture->LockRect(0, &locked, nullptr, lockFlags(lockType)) != D3D_OK)
        VOSTREL_THROW("DXCore internal error, LockRect failed.");
    pitch = locked.Pitch;
    return locked.pBits;
}

void* DXTexture2D::lockRect(int face, int& pitch, int x, int y, int width, int height, LockType lockType)
{
    RECT rect = {x, y, x + width, y + height};
    D3DLOCKED_RECT locked;
    if (texture->LockRect(0, &locked, &rect, lockFlags(lockType)) != D3D_OK)
        VOSTREL_THROW("DXCore internal error, LockRect failed.");
    pitch = locked.Pitch;
    return locked.pBits;
}

void DXTexture2D::unlock(int face)
{
    texture->UnlockRect(static_cast<UINT>(face));
}

IDirect3DSurface9* DXTexture2D::getSurface(int index)
{
    IDirect3DSurface9* surface = nullptr;
    if (texture->GetSurfaceLevel(static_cast<UINT>(index), &surface) != D3D_OK)
        return nullptr;
    return surface;
}

// --- volume ---

DXTexture3D::DXTexture3D(const TextureParameters& parameters) : DXTexture(parameters)
{
    D3DFORMAT format = creationFormat(parameters.format);
    UINT levels = 1;
    DWORD usage = 0;
    levelsAndUsage(parameters, levels, usage);
    HRESULT result = DXCore::getDevice()->CreateVolumeTexture(
        static_cast<UINT>(parameters.width), static_cast<UINT>(parameters.height), static_cast<UINT>(parameters.depth),
        levels, usage, format, D3DPOOL_MANAGED, &texture, nullptr);
    if (result != D3D_OK)
        VOSTREL_THROW("DXCore internal error, CreateVolumeTexture failed (" << creationFailure(result) << ").");
}

DXTexture3D::~DXTexture3D()
{
    texture->Release();
}

void* DXTexture3D::lock(int level, int& pitch, LockType lockType)
{
    D3DLOCKED_BOX locked;
    if (texture->LockBox(static_cast<UINT>(level), &locked, nullptr, lockFlags(lockType)) != D3D_OK)
        VOSTREL_THROW("DXCore internal error, LockBox failed.");
    pitch = locked.RowPitch;
    return locked.pBits;
}

void* DXTexture3D::lockRect(int face, int& pitch, int x, int y, int width, int height, LockType lockType)
{
    VOSTREL_THROW("Texture::lockRect not supported for 3D textures");
}

void DXTexture3D::unlock(int level)
{
    texture->UnlockBox(static_cast<UINT>(level));
}

void DXTexture3D::update(int level, const void* source)
{
    D3DLOCKED_BOX locked;
    if (texture->LockBox(static_cast<UINT>(level), &locked, nullptr, 0) != D3D_OK)
        VOSTREL_THROW("DXCore internal error, LockBox failed.");
    int rowPitch = parameters.width * texelSize(parameters.format);
    int slicePitch = parameters.height * rowPitch;
    // Refused with the box unlocked again.
    if (!(rowPitch == locked.RowPitch && slicePitch == locked.SlicePitch))
        texture->UnlockBox(static_cast<UINT>(level));
    VOSTREL_ASSERT(rowPitch == locked.RowPitch && slicePitch == locked.SlicePitch);
    std::memcpy(locked.pBits, source, static_cast<size_t>(parameters.depth) * slicePitch);
    texture->UnlockBox(static_cast<UINT>(level));
}

void DXTexture3D::updateRect(int face, const void* source, int x, int y, int width, int height)
{
    VOSTREL_THROW("Texture::updateRect not supported for 3D textures.");
}

IDirect3DSurface9* DXTexture3D::getSurface(int index)
{
    VOSTREL_THROW("DXTexture::getSurface not supported for 3D textures");
}

// --- cube ---

DXTextureCube::DXTextureCube(const TextureParameters& parameters) : DXTexture(parameters)
{
    D3DFORMAT format = creationFormat(parameters.format);
    if (parameters.width != parameters.height)
        VOSTREL_THROW("DXCore internal error, invalid cubemap dimensions!");
    UINT levels = 1;
    DWORD usage = 0;
    levelsAndUsage(parameters, levels, usage);
    HRESULT result = DXCore::getDevice()->CreateCubeTexture(static_cast<UINT>(parameters.width), levels, usage,
                                                            format, D3DPOOL_MANAGED, &texture, nullptr);
    if (result != D3D_OK)
        VOSTREL_THROW("DXCore internal error, CreateCubeTexture failed (" << creationFailure(result) << ").");
}

DXTextureCube::~DXTextureCube()
{
    texture->Release();
}

void* DXTextureCube::lock(int face, int& pitch, LockType lockType)
{
    // Cube faces are locked without flags, whatever the lock type.
    lockFlags(lockType);
    D3DLOCKED_RECT locked;
    if (texture->LockRect(static_cast<D3DCUBEMAP_FACES>(face), 0, &locked, nullptr, 0) != D3D_OK)
        VOSTREL_THROW("DXCore internal error, LockRect failed.");
    pitch = locked.Pitch;
    return locked.pBits;
}

void* DXTextureCube::lockRect(int face, int& pitch, int x, int y, int width, int height, LockType lockType)
{
    lockFlags(lockType);
    RECT rect = {x, y, x + width, y + height};
    D3DLOCKED_RECT locked;
    if (texture->LockRect(static_cast<D3DCUBEMAP_FACES>(face), 0, &locked, &rect, 0) != D3D_OK)
        VOSTREL_THROW("DXCore internal error, LockRect failed.");
    pitch = locked.Pitch;
    return locked.pBits;
}

void DXTextureCube::unlock(int face)
{
    texture->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), 0);
}

IDirect3DSurface9* DXTextureCube::getSurface(int index)
{
    IDirect3DSurface9* surface = nullptr;
    if (texture->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(index), 0, &surface) != D3D_OK)
        return nullptr;
    return surface;
}

// --- target ---

DXTextureTarget::DXTextureTarget(DXTexture& texture) : texture(texture)
{
    width = texture.getParameters().width;
    height = texture.getParameters().height;
    if (DXCore::getDevice()->CreateDepthStencilSurface(static_cast<UINT>(width), static_cast<UINT>(height),
                                                       D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &depthStencil,
                                                       nullptr) != D3D_OK)
        VOSTREL_THROW("Could not create depth/stencil surface for render target texture.");
}

DXTextureTarget::~DXTextureTarget()
{
    if (depthStencil)
        depthStencil->Release();
}

void DXTextureTarget::setViewport(float x, float y, float width, float height)
{
    RenderTarget::setViewport(x, y, width, height);
    DXCore::setDeviceViewport(x, y, width, height);
}

void DXTextureTarget::beginScene()
{
    IDirect3DDevice9* device = DXCore::getDevice();
    if (getCurrentTarget() != this) {
        if (device->SetDepthStencilSurface(depthStencil) != D3D_OK)
            VOSTREL_THROW("SetDepthStencil failed.");
        IDirect3DSurface9* surface = texture.getSurface(0);
        HRESULT result = device->SetRenderTarget(0, surface);
        if (surface)
            surface->Release();
        if (result != D3D_OK)
            VOSTREL_THROW("SetRenderTarget failed.");
        becomeCurrent();
    }
    device->BeginScene();
    setViewport(0.0f, 0.0f, 1.0f, 1.0f);
}

void DXTextureTarget::endScene()
{
    DXCore::getDevice()->EndScene();
}

// --- factory ---

DXTextureFactory* DXTextureFactory::getInstance()
{
    static DXTextureFactory* instance = new DXTextureFactory();
    return instance;
}

Texture* DXTextureFactory::createTexture(const TextureParameters& parameters)
{
    switch (parameters.type) {
    case TEXTURE_TYPE_2D: return new DXTexture2D(parameters);
    case TEXTURE_TYPE_VOLUME: return new DXTexture3D(parameters);
    case TEXTURE_TYPE_CUBE: return new DXTextureCube(parameters);
    default: VOSTREL_THROW("DXCore internal error, unknown texture type!");
    }
}

Texture* DXTextureFactory::createTextureFromFile(const std::string& fileName, const TextureParameters& parameters)
{
    IDirect3DTexture9* texture = nullptr;
    HRESULT result = D3DXCreateTextureFromFileExA(
        DXCore::getDevice(), fileName.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
        DXTexture::direct3DFormat(parameters.format), D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr,
        nullptr, &texture);
    if (result != D3D_OK) {
        const char* reason = "unknown error.";
        switch (result) {
        case E_OUTOFMEMORY: reason = "out of memory."; break;
        case D3DERR_OUTOFVIDEOMEMORY: reason = "out of video memory."; break;
        case D3DERR_NOTAVAILABLE: reason = "support not available."; break;
        case D3DERR_INVALIDCALL: reason = "invalid call."; break;
        case D3DXERR_INVALIDDATA: reason = "invalid data."; break;
        default: break;
        }
        reportImageFileFailure(fileName);
        VOSTREL_THROW("D3DXCreateTextureFromFileEx failed for file " << fileName << ", " << reason);
    }
    return new DXTexture2D(parameters, texture);
}

void reportImageFileFailure(const std::string& fileName)
{
    const std::string reason = D3DX9::takeImageFileFailure();
    if (!reason.empty())
        reportFileFailure(fileName, reason);
}

} // namespace Core
} // namespace Vostrel
