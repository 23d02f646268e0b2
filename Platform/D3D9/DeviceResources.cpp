// The device's resource calls: creation of textures, buffers, declarations
// and shaders, sampler states, fills and read-backs.

#include "Platform/D3D9/Buffer.h"
#include "Platform/D3D9/Device.h"
#include "Platform/D3D9/Internal.h"
#include "Platform/D3D9/Pipeline.h"
#include "Platform/D3D9/Texture.h"
#include "Platform/D3D9/VertexDeclaration.h"

#include <cstring>

namespace D3D9 {

namespace {

int64_t argument(DWORD value) { return static_cast<int64_t>(value); }

template <typename Kind, typename Interface>
HRESULT makeTexture(Device& device, const BaseTexture::Shape& shape, Interface** result, HANDLE* sharedHandle)
{
    if (!result)
        return refuse(BaseTexture::creationCall(shape.type), "no result pointer");
    if (sharedHandle)
        return refuse(BaseTexture::creationCall(shape.type), "shared handle");
    HRESULT valid = BaseTexture::check(shape);
    if (FAILED(valid))
        return valid;
    *result = new Kind(device, shape);
    return D3D_OK;
}

} // namespace

HRESULT Device::CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DTexture9** texture, HANDLE* sharedHandle)
{
    logCall("CreateTexture",
            {argument(width), argument(height), argument(levels), argument(usage), argument(format), argument(pool)});
    return makeTexture<Texture2D>(*this, {D3DRTYPE_TEXTURE, width, height, 1, levels, usage, format, pool}, texture,
                                  sharedHandle);
}

HRESULT Device::CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                                    D3DPOOL pool, IDirect3DVolumeTexture9** texture, HANDLE* sharedHandle)
{
    logCall("CreateVolumeTexture", {argument(width), argument(height), argument(depth), argument(levels),
                                    argument(usage), argument(format), argument(pool)});
    return makeTexture<VolumeTexture>(*this, {D3DRTYPE_VOLUMETEXTURE, width, height, depth, levels, usage, format, pool},
                                      texture, sharedHandle);
}

HRESULT Device::CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DCubeTexture9** texture, HANDLE* sharedHandle)
{
    logCall("CreateCubeTexture",
            {argument(edgeLength), argument(levels), argument(usage), argument(format), argument(pool)});
    return makeTexture<CubeTexture>(
        *this, {D3DRTYPE_CUBETEXTURE, edgeLength, edgeLength, 1, levels, usage, format, pool}, texture, sharedHandle);
}

HRESULT Device::CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                                   HANDLE* sharedHandle)
{
    logCall("CreateVertexBuffer", {argument(length), argument(usage), argument(fvf), argument(pool)});
    if (!buffer)
        return refuse("CreateVertexBuffer", "no result pointer");
    if (sharedHandle)
        return refuse("CreateVertexBuffer", "shared handle");
    // Vertices reach the shaders through declarations only.
    if (fvf != 0)
        return refuse("CreateVertexBuffer", "a flexible vertex format");
    HRESULT valid = BufferStorage::check("CreateVertexBuffer", length, usage, pool);
    if (FAILED(valid))
        return valid;
    *buffer = new VertexBuffer(*this, {D3DFMT_UNKNOWN, D3DRTYPE_VERTEXBUFFER, usage, pool, length, fvf});
    return D3D_OK;
}

HRESULT Device::CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                                  IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle)
{
    logCall("CreateIndexBuffer", {argument(length), argument(usage), argument(format), argument(pool)});
    if (!buffer)
        return refuse("CreateIndexBuffer", "no result pointer");
    if (sharedHandle)
        return refuse("CreateIndexBuffer", "shared handle");
    if (format != D3DFMT_INDEX16 && format != D3DFMT_INDEX32)
        return refuse("CreateIndexBuffer", "not an index format");
    // Points mean nothing to indices.
    HRESULT valid = BufferStorage::check("CreateIndexBuffer", length, usage & ~D3DUSAGE_POINTS, pool);
    if (FAILED(valid))
        return valid;
    *buffer = new IndexBuffer(*this, {format, D3DRTYPE_INDEXBUFFER, usage, pool, length});
    return D3D_OK;
}

HRESULT Device::CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements, IDirect3DVertexDeclaration9** declaration)
{
    std::vector<D3DVERTEXELEMENT9> parsed;
    std::string fault = VertexDeclaration::parse(elements, parsed);
    if (logging()) {
        std::vector<int64_t> arguments;
        for (const D3DVERTEXELEMENT9& element : parsed)
            arguments.insert(arguments.end(), {element.Stream, element.Offset, element.Type, element.Method,
                                               element.Usage, element.UsageIndex});
        // The elements, six numbers each, end marker left out.
        logCall("CreateVertexDeclaration", arguments);
    }
    if (!declaration)
        return refuse("CreateVertexDeclaration", "no result pointer");
    if (!fault.empty())
        return refuse("CreateVertexDeclaration", fault);
    *declaration = new VertexDeclaration(*this, std::move(parsed));
    return D3D_OK;
}

HRESULT Device::GetTexture(DWORD stage, IDirect3DBaseTexture9** texture)
{
    if (!texture)
        return refuse("GetTexture", "no result pointer");
    if (stage >= maxTextureStages)
        return refuse("GetTexture", "no texture stage " + std::to_string(stage));
    *texture = textures_[stage];
    if (*texture)
        (*texture)->AddRef();
    return D3D_OK;
}

HRESULT Device::SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value)
{
    logCall("SetSamplerState", {argument(sampler), argument(type), argument(value)});
    if (sampler >= maxTextureStages)
        return refuse("SetSamplerState", "no sampler " + std::to_string(sampler));
    if (type == 0 || static_cast<DWORD>(type) >= samplerStateCount)
        return refuse("SetSamplerState", "unknown sampler state " + std::to_string(type));
    std::string unknown = unknownSamplerStateValue(type, value);
    if (!unknown.empty())
        return refuse("SetSamplerState", unknown);
    pipeline_->samplerStates[sampler][type] = value;
    return D3D_OK;
}

HRESULT Device::GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value)
{
    if (!value)
        return refuse("GetSamplerState", "no result pointer");
    if (sampler >= maxTextureStages)
        return refuse("GetSamplerState", "no sampler " + std::to_string(sampler));
    if (type == 0 || static_cast<DWORD>(type) >= samplerStateCount)
        return refuse("GetSamplerState", "unknown sampler state " + std::to_string(type));
    *value = pipeline_->samplerStates[sampler][type];
    return D3D_OK;
}

HRESULT Device::ColorFill(IDirect3DSurface9* target, const RECT* rect, D3DCOLOR color)
{
    logCall("ColorFill", {pointerArgument(target), argument(color)});
    auto* surface = static_cast<Surface*>(target);
    if (!surface)
        return refuse("ColorFill", "no surface");
    if (&surface->device() != this)
        return refuse("ColorFill", "another device's surface");
    if (auto* level = dynamic_cast<TextureSurface*>(surface))
        return level->texture().fill(level->face(), level->level(), rect, color);
    const D3DSURFACE_DESC& description = surface->description();
    PixelRect area = {0, 0, static_cast<LONG>(description.Width), static_cast<LONG>(description.Height)};
    if (rect) {
        if (rect->left < 0 || rect->top < 0 || rect->right > area.right || rect->bottom > area.bottom)
            return refuse("ColorFill", "rectangle outside the surface");
        area = {rect->left, rect->top, rect->right, rect->bottom};
    }
    if (area.empty())
        return refuse("ColorFill", "empty rectangle");
    if (auto* memory = dynamic_cast<MemorySurface*>(surface)) {
        size_t size = static_cast<size_t>(memoryPixelBytes(description.Format));
        uint8_t texel[16];
        encodeTexel(description.Format, colorToFloats(color), texel);
        for (LONG y = area.top; y < area.bottom; ++y) {
            uint8_t* row = memory->bytes() + static_cast<size_t>(y) * memory->pitch();
            for (LONG x = area.left; x < area.right; ++x)
                std::memcpy(row + x * size, texel, size);
        }
        return D3D_OK;
    }
    if (!surface->drawable() || !(description.Usage & D3DUSAGE_RENDERTARGET))
        return refuse("ColorFill", "neither a render target nor in memory");
    fillDrawable(*surface, area, color);
    return D3D_OK;
}

void Device::fillDrawable(Surface& surface, const PixelRect& rect, D3DCOLOR color)
{
    context_->makeCurrent();
    GLuint scratch = pipeline_->scratch.get();
    surface.attachTo(scratch, GL_COLOR_ATTACHMENT0);
    // A clear obeys the write masks and the scissor rectangle: force them
    // for the fill and put them back.
    GL::StateShadow::Masks masks = shadow_.masks();
    bool scissorOn = shadow_.isEnabled(GL_SCISSOR_TEST);
    std::array<GLint, 4> scissor = shadow_.scissorBox();
    shadow_.colorMask(true, true, true, true);
    shadow_.enable(GL_SCISSOR_TEST, true);
    shadow_.scissor(rect.left, rect.top, rect.right - rect.left, rect.bottom - rect.top);
    std::array<float, 4> rgba = colorToFloats(color);
    glClearNamedFramebufferfv(scratch, GL_COLOR, 0, rgba.data());
    shadow_.colorMask(masks.color[0], masks.color[1], masks.color[2], masks.color[3]);
    shadow_.scissor(scissor[0], scissor[1], scissor[2], scissor[3]);
    shadow_.enable(GL_SCISSOR_TEST, scissorOn);
    glNamedFramebufferRenderbuffer(scratch, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
}

HRESULT Device::GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destSurface)
{
    logCall("GetRenderTargetData", {pointerArgument(renderTarget), pointerArgument(destSurface)});
    auto* source = static_cast<Surface*>(renderTarget);
    auto* destination = dynamic_cast<MemorySurface*>(static_cast<Surface*>(destSurface));
    const char* call = "GetRenderTargetData";
    if (!source)
        return refuse(call, "no render target");
    if (!destination)
        return refuse(call, "the destination is not a memory surface");
    if (&source->device() != this || &destination->device() != this)
        return refuse(call, "another device's surface");
    const D3DSURFACE_DESC& from = source->description();
    const D3DSURFACE_DESC& to = destination->description();
    auto fourBytes = [](D3DFORMAT format) { return format == D3DFMT_A8R8G8B8 || format == D3DFMT_X8R8G8B8; };
    if (!source->drawable() || !(from.Usage & D3DUSAGE_RENDERTARGET))
        return refuse(call, "the source is not a render target");
    if (from.MultiSampleType != D3DMULTISAMPLE_NONE)
        return refuse(call, "a multisampled source");
    if (to.Pool != D3DPOOL_SYSTEMMEM)
        return refuse(call, "the destination is not in system memory");
    if (from.Width != to.Width || from.Height != to.Height)
        return refuse(call, "sizes differ");
    if (!fourBytes(from.Format) || !fourBytes(to.Format))
        return refuse(call, "not A8R8G8B8 or X8R8G8B8");
    context_->makeCurrent();
    GLuint scratch = pipeline_->scratch.get();
    source->attachTo(scratch, GL_COLOR_ATTACHMENT0);
    glNamedFramebufferReadBuffer(scratch, GL_COLOR_ATTACHMENT0);
    shadow_.bindReadFramebuffer(scratch);
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    glPixelStorei(GL_PACK_ROW_LENGTH, destination->pitch() / 4);
    // Row 0 of the framebuffer is the top row.
    glReadPixels(0, 0, static_cast<GLsizei>(from.Width), static_cast<GLsizei>(from.Height), GL_BGRA, GL_UNSIGNED_BYTE,
                 destination->bytes());
    glPixelStorei(GL_PACK_ROW_LENGTH, 0);
    glNamedFramebufferRenderbuffer(scratch, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
    if (to.Format == D3DFMT_X8R8G8B8 || from.Format == D3DFMT_X8R8G8B8)
        for (UINT y = 0; y < to.Height; ++y)
            for (UINT x = 0; x < to.Width; ++x)
                destination->bytes()[static_cast<size_t>(y) * destination->pitch() + x * 4 + 3] = 0xFF;
    return D3D_OK;
}

} // namespace D3D9
