#include "Platform/D3D9/Device.h"

#include "Platform/D3D9/Internal.h"
#include "Platform/D3D9/Pipeline.h"
#include "Platform/D3D9/TextureFormat.h"
#include "Platform/Win32/Host.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <iostream>

namespace D3D9 {

namespace {

int64_t argument(DWORD value) { return static_cast<int64_t>(value); }

} // namespace

HRESULT Device::create(IDirect3D9* direct3D, D3DDEVTYPE type, HWND focusWindow, DWORD behavior,
                       D3DPRESENT_PARAMETERS& parameters, Device** result)
{
    logCall("CreateDevice", {argument(type), argument(behavior)});
    DWORD processing = behavior & (D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING |
                                   D3DCREATE_MIXED_VERTEXPROCESSING);
    if (processing != D3DCREATE_SOFTWARE_VERTEXPROCESSING && processing != D3DCREATE_HARDWARE_VERTEXPROCESSING &&
        processing != D3DCREATE_MIXED_VERTEXPROCESSING)
        return refuse("CreateDevice", "not exactly one kind of vertex processing");
    if (type != D3DDEVTYPE_HAL && type != D3DDEVTYPE_REF)
        return refuse("CreateDevice", "neither a HAL nor a reference device");
    if (type == D3DDEVTYPE_HAL && adapterSwitches().halDeviceFails)
        return refuse("CreateDevice", "the HAL device is switched off", D3DERR_NOTAVAILABLE);
    if (!parameters.hDeviceWindow)
        parameters.hDeviceWindow = focusWindow;
    if (!IsWindow(parameters.hDeviceWindow))
        return refuse("CreateDevice", "no device window");

    std::string error;
    std::unique_ptr<GL::Context> context = GL::Context::create(error);
    if (!context) {
        // The engine only reports that no device was made; this says what
        // the machine lacks.
        std::cerr << "Direct3D 9 CreateDevice (" << (type == D3DDEVTYPE_HAL ? "HAL" : "reference")
                  << " device): " << error << std::endl;
        return refuse("CreateDevice", error, D3DERR_NOTAVAILABLE);
    }
    Device* device = new Device(direct3D, type, std::move(context));
    HRESULT created = SwapChain::create(*device, parameters, true, device->implicitChain_);
    if (FAILED(created)) {
        device->Release();
        return created;
    }
    IDirect3DSurface9* backBuffer = nullptr;
    device->implicitChain_->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer);
    device->SetRenderTarget(0, backBuffer);
    backBuffer->Release();
    if (parameters.EnableAutoDepthStencil) {
        IDirect3DSurface9* depth = nullptr;
        HRESULT made = device->CreateDepthStencilSurface(parameters.BackBufferWidth, parameters.BackBufferHeight,
                                                         parameters.AutoDepthStencilFormat, parameters.MultiSampleType,
                                                         parameters.MultiSampleQuality, FALSE, &depth, nullptr);
        if (FAILED(made)) {
            device->Release();
            return made;
        }
        device->SetDepthStencilSurface(depth);
        depth->Release();
    }
    device->setDefaultRenderStates(parameters.EnableAutoDepthStencil != FALSE);
    *result = device;
    return D3D_OK;
}

Device::Device(IDirect3D9* direct3D, D3DDEVTYPE type, std::unique_ptr<GL::Context> context)
    : direct3D_(direct3D), type_(type), context_(std::move(context))
{
    direct3D_->AddRef();
    context_->makeCurrent();
    framebuffer_ = GL::makeFramebuffer();
    shadow_.bindDrawFramebuffer(framebuffer_.get());
    vertexConstants_.assign(vertexConstantCount, {0, 0, 0, 0});
    pixelConstants_.assign(pixelConstantCount, {0, 0, 0, 0});
    pipeline_ = std::make_unique<Pipeline>();
}

Device::~Device()
{
    // Nothing public is left (every object holds a reference on the
    // device), so only the device's own bindings remain.
    context_->makeCurrent();
    rebind<Surface>(renderTarget_, nullptr);
    rebind<Surface>(depthStencil_, nullptr);
    for (IDirect3DBaseTexture9*& texture : textures_)
        rebind(texture, static_cast<IDirect3DBaseTexture9*>(nullptr));
    for (Stream& stream : streams_)
        rebind(stream.buffer, static_cast<IDirect3DVertexBuffer9*>(nullptr));
    rebind(indices_, static_cast<IDirect3DIndexBuffer9*>(nullptr));
    rebind(declaration_, static_cast<IDirect3DVertexDeclaration9*>(nullptr));
    rebind(vertexShader_, static_cast<IDirect3DVertexShader9*>(nullptr));
    rebind(pixelShader_, static_cast<IDirect3DPixelShader9*>(nullptr));
    implicitChain_.reset();
    pipeline_.reset();
    framebuffer_.reset();
    programs_ = GL::ProgramCache();
    context_.reset();
    direct3D_->Release();
}

template <typename Resource>
void Device::rebind(Resource*& slot, Resource* resource)
{
    if (slot == resource)
        return;
    if constexpr (std::is_base_of_v<DeviceObject, Resource>) {
        if (resource)
            resource->bind();
        Resource* old = slot;
        slot = resource;
        if (old)
            old->unbind();
    } else {
        // The device's objects count bindings apart from public references;
        // anything else is held by a reference.
        auto hold = [](Resource* object) {
            if (auto* owned = dynamic_cast<DeviceObject*>(object))
                owned->bind();
            else
                object->AddRef();
        };
        auto drop = [](Resource* object) {
            if (auto* owned = dynamic_cast<DeviceObject*>(object))
                owned->unbind();
            else
                object->Release();
        };
        if (resource)
            hold(resource);
        Resource* old = slot;
        slot = resource;
        if (old)
            drop(old);
    }
}

ULONG Device::AddRef()
{
    return ++references_;
}

ULONG Device::Release()
{
    ULONG left = --references_;
    if (left == 0)
        delete this;
    return left;
}

HRESULT Device::GetDirect3D(IDirect3D9** direct3D)
{
    if (!direct3D)
        return refuse("GetDirect3D", "no result pointer");
    direct3D_->AddRef();
    *direct3D = direct3D_;
    return D3D_OK;
}

HRESULT Device::GetDeviceCaps(D3DCAPS9* caps)
{
    if (!caps)
        return refuse("GetDeviceCaps", "no result pointer");
    *caps = capabilities(type_);
    return D3D_OK;
}

HRESULT Device::GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode)
{
    if (swapChain != 0)
        return refuse("GetDisplayMode", "no such swap chain");
    return implicitChain_->GetDisplayMode(mode);
}

HRESULT Device::CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* parameters, IDirect3DSwapChain9** swapChain)
{
    logCall("CreateAdditionalSwapChain",
            {parameters ? argument(parameters->BackBufferWidth) : 0, parameters ? argument(parameters->BackBufferHeight) : 0,
             parameters ? argument(parameters->MultiSampleType) : 0, parameters ? argument(parameters->PresentationInterval) : 0});
    if (!parameters)
        return refuse("CreateAdditionalSwapChain", "no presentation parameters");
    if (!swapChain)
        return refuse("CreateAdditionalSwapChain", "no result pointer");
    if (!parameters->hDeviceWindow)
        return refuse("CreateAdditionalSwapChain", "no device window");
    std::unique_ptr<SwapChain> chain;
    HRESULT created = SwapChain::create(*this, *parameters, false, chain);
    if (FAILED(created))
        return created;
    // The chain counts its own references from here on.
    *swapChain = chain.release();
    return D3D_OK;
}

HRESULT Device::GetSwapChain(UINT swapChain, IDirect3DSwapChain9** result)
{
    if (swapChain != 0)
        return refuse("GetSwapChain", "no such swap chain");
    if (!result)
        return refuse("GetSwapChain", "no result pointer");
    *result = implicitChain_.get();
    (*result)->AddRef();
    return D3D_OK;
}

HRESULT Device::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                        const RGNDATA* dirtyRegion)
{
    return implicitChain_->Present(sourceRect, destRect, destWindowOverride, dirtyRegion, 0);
}

HRESULT Device::GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface)
{
    if (swapChain != 0)
        return refuse("GetBackBuffer", "no such swap chain");
    return implicitChain_->GetBackBuffer(backBuffer, type, surface);
}

HRESULT Device::CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                   DWORD multisampleQuality, BOOL lockable, IDirect3DSurface9** surface,
                                   HANDLE* sharedHandle)
{
    logCall("CreateRenderTarget", {argument(width), argument(height), argument(format), argument(multiSample)});
    std::optional<SurfaceFormat> info = surfaceFormat(format);
    std::optional<GLsizei> samples = sampleCount(multiSample);
    const char* call = "CreateRenderTarget";
    if (!surface)                          return refuse(call, "no result pointer");
    if (!info || info->isDepth)            return refuse(call, "not a colour format");
    if (!samples)                          return refuse(call, "unknown multisample type");
    if (*samples > context_->maxSamples()) return refuse(call, "more samples than the adapter has");
    if (lockable)                          return refuse(call, "lockable");
    if (sharedHandle)                      return refuse(call, "shared handle");
    if (width == 0 || height == 0)         return refuse(call, "zero width or height");
    if (width > 8192 || height > 8192)     return refuse(call, "wider or higher than 8192", D3DERR_OUTOFVIDEOMEMORY);
    D3DSURFACE_DESC description = {format, D3DRTYPE_SURFACE, D3DUSAGE_RENDERTARGET, D3DPOOL_DEFAULT,
                                   multiSample, multisampleQuality, width, height};
    *surface = new RenderbufferSurface(*this, DeviceObject::Ownership::Own, nullptr, description, *info, *samples);
    return D3D_OK;
}

HRESULT Device::CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                          DWORD multisampleQuality, BOOL discard, IDirect3DSurface9** surface,
                                          HANDLE* sharedHandle)
{
    logCall("CreateDepthStencilSurface",
            {argument(width), argument(height), argument(format), argument(multiSample), argument(discard)});
    std::optional<SurfaceFormat> info = surfaceFormat(format);
    std::optional<GLsizei> samples = sampleCount(multiSample);
    const char* call = "CreateDepthStencilSurface";
    if (!surface)                          return refuse(call, "no result pointer");
    if (!info || !info->isDepth)           return refuse(call, "not a depth format");
    if (!samples)                          return refuse(call, "unknown multisample type");
    if (*samples > context_->maxSamples()) return refuse(call, "more samples than the adapter has");
    if (sharedHandle)                      return refuse(call, "shared handle");
    if (width == 0 || height == 0)         return refuse(call, "zero width or height");
    if (width > 8192 || height > 8192)     return refuse(call, "wider or higher than 8192", D3DERR_OUTOFVIDEOMEMORY);
    D3DSURFACE_DESC description = {format, D3DRTYPE_SURFACE, D3DUSAGE_DEPTHSTENCIL, D3DPOOL_DEFAULT,
                                   multiSample, multisampleQuality, width, height};
    *surface = new RenderbufferSurface(*this, DeviceObject::Ownership::Own, nullptr, description, *info, *samples);
    return D3D_OK;
}

HRESULT Device::CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                            IDirect3DSurface9** surface, HANDLE* sharedHandle)
{
    logCall("CreateOffscreenPlainSurface", {argument(width), argument(height), argument(format), argument(pool)});
    // Any format a texture may have, and 24-bit colour for image files.
    int bytesPerPixel = memoryPixelBytes(format);
    const char* call = "CreateOffscreenPlainSurface";
    if (!surface)                  return refuse(call, "no result pointer");
    if (sharedHandle)              return refuse(call, "shared handle");
    if (width == 0 || height == 0) return refuse(call, "zero width or height");
    if (pool == D3DPOOL_MANAGED)   return refuse(call, "managed pool");
    if (bytesPerPixel == 0)        return refuse(call, "unknown format");
    if (width > 16384 || height > 16384 || uint64_t(width) * height * bytesPerPixel > (uint64_t(512) << 20))
        return refuse(call, "larger than 512 MB or 16384 on a side", E_OUTOFMEMORY);
    D3DSURFACE_DESC description = {format, D3DRTYPE_SURFACE, 0, pool, D3DMULTISAMPLE_NONE, 0, width, height};
    *surface = new MemorySurface(*this, description, bytesPerPixel);
    return D3D_OK;
}

HRESULT Device::GetFrontBufferData(UINT swapChain, IDirect3DSurface9* destSurface)
{
    logCall("GetFrontBufferData", {argument(swapChain)});
    auto* memory = dynamic_cast<MemorySurface*>(static_cast<Surface*>(destSurface));
    Win32Host::DisplayMode mode = Win32Host::currentDisplayMode();
    const char* call = "GetFrontBufferData";
    if (swapChain != 0)
        return refuse(call, "no such swap chain");
    if (!memory)
        return refuse(call, "not a memory surface");
    if (memory->description().Format != D3DFMT_A8R8G8B8 || memory->description().Pool != D3DPOOL_SYSTEMMEM)
        return refuse(call, "not an A8R8G8B8 system-memory surface");
    if (memory->description().Width != static_cast<UINT>(mode.width) ||
        memory->description().Height != static_cast<UINT>(mode.height))
        return refuse(call, "not the display mode's size");

    // The desktop: black, with each window's last frame at its client
    // position, the most recent on top.
    uint32_t* desktop = reinterpret_cast<uint32_t*>(memory->bytes());
    std::fill(desktop, desktop + static_cast<size_t>(mode.width) * mode.height, 0xFF000000u);
    std::vector<SwapChain*> shown;
    for (SwapChain* chain : chains_)
        if (chain->presentedSequence() > 0 && IsWindow(chain->window()))
            shown.push_back(chain);
    std::sort(shown.begin(), shown.end(),
              [](SwapChain* a, SwapChain* b) { return a->presentedSequence() < b->presentedSequence(); });
    std::vector<uint32_t> pixels;
    for (SwapChain* chain : shown) {
        int width = 0;
        int height = 0;
        if (!chain->readFront(pixels, width, height))
            continue;
        WINDOWINFO info = {};
        info.cbSize = sizeof(info);
        GetWindowInfo(chain->window(), &info);
        LONG left = Win32Host::isFullscreen(chain->window()) ? 0 : info.rcClient.left;
        LONG top = Win32Host::isFullscreen(chain->window()) ? 0 : info.rcClient.top;
        PixelRect visible = intersect({left, top, left + width, top + height}, {0, 0, mode.width, mode.height});
        for (LONG y = visible.top; y < visible.bottom; ++y) {
            const uint32_t* source = &pixels[static_cast<size_t>(y - top) * width + (visible.left - left)];
            uint32_t* destination = desktop + static_cast<size_t>(y) * mode.width + visible.left;
            std::memcpy(destination, source, static_cast<size_t>(visible.right - visible.left) * 4);
        }
    }
    return D3D_OK;
}

HRESULT Device::SetRenderTarget(DWORD index, IDirect3DSurface9* renderTarget)
{
    logCall("SetRenderTarget", {argument(index), pointerArgument(renderTarget)});
    if (index > 0)
        return renderTarget ? refuse("SetRenderTarget", "only one render target") : D3D_OK;
    auto* surface = static_cast<Surface*>(renderTarget);
    if (!surface)
        return refuse("SetRenderTarget", "no surface for target 0");
    if (!(surface->description().Usage & D3DUSAGE_RENDERTARGET))
        return refuse("SetRenderTarget", "not a render target");
    if (&surface->device() != this)
        return refuse("SetRenderTarget", "another device's surface");
    if (surface != renderTarget_)
        submitEndedScenes();
    rebind(renderTarget_, surface);
    if (surface->chain)
        surface->chain->noteDrawnInto(surface->backBufferIndex);
    attachTargets();
    // A new target resets the viewport and the scissor rectangle to all of it.
    D3DVIEWPORT9 full = {0, 0, surface->description().Width, surface->description().Height, 0.0f, 1.0f};
    viewport_ = full;
    shadow_.viewport(0, 0, static_cast<GLsizei>(full.Width), static_cast<GLsizei>(full.Height));
    shadow_.depthRange(0.0f, 1.0f);
    scissor_ = {0, 0, static_cast<LONG>(full.Width), static_cast<LONG>(full.Height)};
    shadow_.scissor(0, 0, static_cast<GLsizei>(full.Width), static_cast<GLsizei>(full.Height));
    return D3D_OK;
}

HRESULT Device::GetRenderTarget(DWORD index, IDirect3DSurface9** renderTarget)
{
    if (!renderTarget)
        return refuse("GetRenderTarget", "no result pointer");
    if (index != 0 || !renderTarget_)
        return refuse("GetRenderTarget", "no render target there", D3DERR_NOTFOUND);
    *renderTarget = renderTarget_;
    renderTarget_->AddRef();
    return D3D_OK;
}

HRESULT Device::SetDepthStencilSurface(IDirect3DSurface9* depthStencil)
{
    logCall("SetDepthStencilSurface", {pointerArgument(depthStencil)});
    auto* surface = static_cast<Surface*>(depthStencil);
    if (surface && !(surface->description().Usage & D3DUSAGE_DEPTHSTENCIL))
        return refuse("SetDepthStencilSurface", "not a depth/stencil surface");
    if (surface && &surface->device() != this)
        return refuse("SetDepthStencilSurface", "another device's surface");
    rebind(depthStencil_, surface);
    attachTargets();
    applyDepthBias();
    return D3D_OK;
}

HRESULT Device::GetDepthStencilSurface(IDirect3DSurface9** surface)
{
    if (!surface)
        return refuse("GetDepthStencilSurface", "no result pointer");
    if (!depthStencil_)
        return refuse("GetDepthStencilSurface", "no depth/stencil surface set", D3DERR_NOTFOUND);
    *surface = depthStencil_;
    depthStencil_->AddRef();
    return D3D_OK;
}

void Device::attachTargets()
{
    context_->makeCurrent();
    GLuint framebuffer = framebuffer_.get();
    if (renderTarget_)
        renderTarget_->attachTo(framebuffer, GL_COLOR_ATTACHMENT0);
    else
        glNamedFramebufferRenderbuffer(framebuffer, GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER, 0);
    glNamedFramebufferRenderbuffer(framebuffer, GL_DEPTH_STENCIL_ATTACHMENT, GL_RENDERBUFFER, 0);
    if (depthStencil_) {
        bool stencil = surfaceFormat(depthStencil_->description().Format)->hasStencil;
        depthStencil_->attachTo(framebuffer, stencil ? GL_DEPTH_STENCIL_ATTACHMENT : GL_DEPTH_ATTACHMENT);
    }
}

bool Device::framebufferComplete()
{
    return glCheckNamedFramebufferStatus(framebuffer_.get(), GL_DRAW_FRAMEBUFFER) == GL_FRAMEBUFFER_COMPLETE;
}

void Device::restoreDrawState()
{
    shadow_.bindDrawFramebuffer(framebuffer_.get());
    shadow_.enable(GL_SCISSOR_TEST, renderStates_[D3DRS_SCISSORTESTENABLE] != FALSE);
}

void Device::registerChain(SwapChain* chain)
{
    chains_.push_back(chain);
}

void Device::unregisterChain(SwapChain* chain)
{
    chains_.erase(std::remove(chains_.begin(), chains_.end(), chain), chains_.end());
}

HRESULT Device::BeginScene()
{
    logCall("BeginScene", {});
    if (inScene_)
        return refuse("BeginScene", "already in a scene");
    inScene_ = true;
    return D3D_OK;
}

HRESULT Device::EndScene()
{
    logCall("EndScene", {});
    if (!inScene_)
        return refuse("EndScene", "not in a scene");
    inScene_ = false;
    // Submitted when the target changes, not here: a software rasteriser
    // then runs the scenes of one target (a clear, then the draws) as one
    // pass over its tiles rather than one pass each.
    endedUnsubmitted_ = true;
    return D3D_OK;
}

void Device::submitEndedScenes()
{
    if (!endedUnsubmitted_)
        return;
    endedUnsubmitted_ = false;
    context_->makeCurrent();
    glFlush();
}

HRESULT Device::Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil)
{
    logCall("Clear", {argument(count), argument(flags), argument(color), argument(bitsFromFloat(z)), argument(stencil)});
    if (!renderTarget_)
        return refuse("Clear", "no render target");
    if (count > 0 && !rects)
        return refuse("Clear", "a rectangle count without rectangles");
    if (!(flags & (D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)))
        return refuse("Clear", "nothing to clear");
    if ((flags & (D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL)) && !depthStencil_)
        return refuse("Clear", "depth or stencil without a depth/stencil surface");
    if ((flags & D3DCLEAR_STENCIL) && !surfaceFormat(depthStencil_->description().Format)->hasStencil)
        return refuse("Clear", "stencil in a format without one");
    context_->makeCurrent();
    if (!framebufferComplete())
        return refuse("Clear", "the render target and depth surface do not make a framebuffer");

    std::vector<PixelRect> pieces =
        clearRectangles(viewport_, renderStates_[D3DRS_SCISSORTESTENABLE] != FALSE, scissor_, rects, count,
                        renderTarget_->description().Width, renderTarget_->description().Height);
    // Direct3D clears whatever the write masks say: force them on around
    // the clear and put them back.
    GL::StateShadow::Masks masks = shadow_.masks();
    shadow_.bindDrawFramebuffer(framebuffer_.get());
    shadow_.colorMask(true, true, true, true);
    shadow_.depthMask(true);
    shadow_.stencilMask(GL_FRONT, 0xFF);
    shadow_.stencilMask(GL_BACK, 0xFF);
    shadow_.enable(GL_SCISSOR_TEST, true);
    std::array<float, 4> rgba = colorToFloats(color);
    glClearColor(rgba[0], rgba[1], rgba[2], rgba[3]);
    glClearDepthf(std::clamp(z, 0.0f, 1.0f));
    glClearStencil(static_cast<GLint>(stencil & 0xFF));
    GLbitfield bits = ((flags & D3DCLEAR_TARGET) ? GL_COLOR_BUFFER_BIT : 0) |
                      ((flags & D3DCLEAR_ZBUFFER) ? GL_DEPTH_BUFFER_BIT : 0) |
                      ((flags & D3DCLEAR_STENCIL) ? GL_STENCIL_BUFFER_BIT : 0);
    for (const PixelRect& piece : pieces) {
        shadow_.scissor(piece.left, piece.top, piece.right - piece.left, piece.bottom - piece.top);
        glClear(bits);
    }
    shadow_.colorMask(masks.color[0], masks.color[1], masks.color[2], masks.color[3]);
    shadow_.depthMask(masks.depth);
    shadow_.stencilMask(GL_FRONT, masks.stencilFront);
    shadow_.stencilMask(GL_BACK, masks.stencilBack);
    shadow_.scissor(scissor_.left, scissor_.top, std::max<LONG>(0, scissor_.right - scissor_.left),
                    std::max<LONG>(0, scissor_.bottom - scissor_.top));
    restoreDrawState();
    return D3D_OK;
}

HRESULT Device::SetViewport(const D3DVIEWPORT9* viewport)
{
    if (!viewport)
        return refuse("SetViewport", "no viewport");
    logCall("SetViewport", {argument(viewport->X), argument(viewport->Y), argument(viewport->Width),
                            argument(viewport->Height), argument(bitsFromFloat(viewport->MinZ)),
                            argument(bitsFromFloat(viewport->MaxZ))});
    if (!renderTarget_)
        return refuse("SetViewport", "no render target");
    uint64_t right = static_cast<uint64_t>(viewport->X) + viewport->Width;
    uint64_t bottom = static_cast<uint64_t>(viewport->Y) + viewport->Height;
    if (right > renderTarget_->description().Width || bottom > renderTarget_->description().Height)
        return refuse("SetViewport", "outside the render target");
    if (!(viewport->MinZ >= 0.0f && viewport->MinZ <= 1.0f) || !(viewport->MaxZ >= 0.0f && viewport->MaxZ <= 1.0f))
        return refuse("SetViewport", "depth range outside 0..1");
    viewport_ = *viewport;
    context_->makeCurrent();
    shadow_.viewport(static_cast<GLint>(viewport->X), static_cast<GLint>(viewport->Y),
                     static_cast<GLsizei>(viewport->Width), static_cast<GLsizei>(viewport->Height));
    shadow_.depthRange(viewport->MinZ, viewport->MaxZ);
    return D3D_OK;
}

HRESULT Device::GetViewport(D3DVIEWPORT9* viewport)
{
    if (!viewport)
        return refuse("GetViewport", "no result pointer");
    *viewport = viewport_;
    return D3D_OK;
}

HRESULT Device::SetRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    logCall("SetRenderState", {argument(state), argument(value)});
    if (static_cast<DWORD>(state) >= maxRenderState || !knownRenderState(state))
        return refuse("SetRenderState", "unknown render state " + std::to_string(state));
    std::string unknown = unknownRenderStateValue(state, value);
    if (!unknown.empty())
        return refuse("SetRenderState", unknown);
    renderStates_[state] = value;
    context_->makeCurrent();
    applyRenderState(state);
    return D3D_OK;
}

HRESULT Device::GetRenderState(D3DRENDERSTATETYPE state, DWORD* value)
{
    if (!value)
        return refuse("GetRenderState", "no result pointer");
    if (static_cast<DWORD>(state) >= maxRenderState || !knownRenderState(state))
        return refuse("GetRenderState", "unknown render state " + std::to_string(state));
    *value = renderStates_[state];
    return D3D_OK;
}

void Device::setDefaultRenderStates(bool depthEnabled)
{
    renderStates_.fill(0);
    auto& rs = renderStates_;
    rs[D3DRS_ZENABLE] = depthEnabled ? D3DZB_TRUE : D3DZB_FALSE;
    rs[D3DRS_FILLMODE] = D3DFILL_SOLID;
    rs[D3DRS_SHADEMODE] = 2;
    rs[D3DRS_ZWRITEENABLE] = TRUE;
    rs[D3DRS_LASTPIXEL] = TRUE;
    rs[D3DRS_SRCBLEND] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLEND] = D3DBLEND_ZERO;
    rs[D3DRS_CULLMODE] = D3DCULL_CCW;
    rs[D3DRS_ZFUNC] = D3DCMP_LESSEQUAL;
    rs[D3DRS_ALPHAFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_STENCILMASK] = 0xFFFFFFFF;
    rs[D3DRS_STENCILWRITEMASK] = 0xFFFFFFFF;
    rs[D3DRS_TEXTUREFACTOR] = 0xFFFFFFFF;
    rs[D3DRS_CLIPPING] = TRUE;
    rs[D3DRS_LIGHTING] = TRUE;
    rs[D3DRS_POINTSIZE] = bitsFromFloat(1.0f);
    rs[D3DRS_POINTSIZE_MIN] = bitsFromFloat(1.0f);
    rs[D3DRS_POINTSIZE_MAX] = bitsFromFloat(64.0f);
    rs[D3DRS_MULTISAMPLEANTIALIAS] = TRUE;
    rs[D3DRS_MULTISAMPLEMASK] = 0xFFFFFFFF;
    rs[D3DRS_COLORWRITEENABLE] = 0xF;
    rs[D3DRS_COLORWRITEENABLE1] = 0xF;
    rs[D3DRS_COLORWRITEENABLE2] = 0xF;
    rs[D3DRS_COLORWRITEENABLE3] = 0xF;
    rs[D3DRS_BLENDOP] = D3DBLENDOP_ADD;
    rs[D3DRS_CCW_STENCILFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_CCW_STENCILZFAIL] = D3DSTENCILOP_KEEP;
    rs[D3DRS_CCW_STENCILPASS] = D3DSTENCILOP_KEEP;
    rs[D3DRS_CCW_STENCILFUNC] = D3DCMP_ALWAYS;
    rs[D3DRS_BLENDFACTOR] = 0xFFFFFFFF;
    rs[D3DRS_SRCBLENDALPHA] = D3DBLEND_ONE;
    rs[D3DRS_DESTBLENDALPHA] = D3DBLEND_ZERO;
    rs[D3DRS_BLENDOPALPHA] = D3DBLENDOP_ADD;
    context_->makeCurrent();
    for (DWORD state = 0; state < maxRenderState; ++state)
        applyRenderState(state);
}

void Device::applyRenderState(DWORD state)
{
    const auto& rs = renderStates_;
    switch (state) {
    case D3DRS_ZENABLE: shadow_.enable(GL_DEPTH_TEST, rs[D3DRS_ZENABLE] != D3DZB_FALSE); break;
    case D3DRS_ZWRITEENABLE: shadow_.depthMask(rs[D3DRS_ZWRITEENABLE] != FALSE); break;
    case D3DRS_ZFUNC:
        if (std::optional<GLenum> function = compareFunction(rs[D3DRS_ZFUNC]))
            shadow_.depthFunc(*function);
        break;
    case D3DRS_DEPTHBIAS:
    case D3DRS_SLOPESCALEDEPTHBIAS: applyDepthBias(); break;
    case D3DRS_STENCILENABLE: shadow_.enable(GL_STENCIL_TEST, rs[D3DRS_STENCILENABLE] != FALSE); break;
    case D3DRS_STENCILFAIL:
    case D3DRS_STENCILZFAIL:
    case D3DRS_STENCILPASS:
    case D3DRS_STENCILFUNC:
    case D3DRS_STENCILREF:
    case D3DRS_STENCILMASK:
    case D3DRS_STENCILWRITEMASK:
    case D3DRS_TWOSIDEDSTENCILMODE:
    case D3DRS_CCW_STENCILFAIL:
    case D3DRS_CCW_STENCILZFAIL:
    case D3DRS_CCW_STENCILPASS:
    case D3DRS_CCW_STENCILFUNC: applyStencil(); break;
    case D3DRS_ALPHABLENDENABLE: shadow_.enable(GL_BLEND, rs[D3DRS_ALPHABLENDENABLE] != FALSE); break;
    case D3DRS_SRCBLEND:
    case D3DRS_DESTBLEND:
    case D3DRS_BLENDOP:
    case D3DRS_SEPARATEALPHABLENDENABLE:
    case D3DRS_SRCBLENDALPHA:
    case D3DRS_DESTBLENDALPHA:
    case D3DRS_BLENDOPALPHA: applyBlend(); break;
    case D3DRS_BLENDFACTOR: shadow_.blendColor(colorToFloats(rs[D3DRS_BLENDFACTOR])); break;
    case D3DRS_CULLMODE: {
        Culling cull = culling(rs[D3DRS_CULLMODE]);
        shadow_.enable(GL_CULL_FACE, cull.enabled);
        if (cull.enabled)
            shadow_.cullFace(cull.face);
        break;
    }
    case D3DRS_FILLMODE:
        if (std::optional<GLenum> mode = polygonMode(rs[D3DRS_FILLMODE]))
            shadow_.polygonMode(*mode);
        break;
    case D3DRS_COLORWRITEENABLE: {
        ColorMask mask = colorMask(rs[D3DRS_COLORWRITEENABLE]);
        shadow_.colorMask(mask.red, mask.green, mask.blue, mask.alpha);
        break;
    }
    case D3DRS_SCISSORTESTENABLE: shadow_.enable(GL_SCISSOR_TEST, rs[D3DRS_SCISSORTESTENABLE] != FALSE); break;
    // OpenGL dithers by default; Direct3D 9 only when asked.
    case D3DRS_DITHERENABLE: shadow_.enable(GL_DITHER, rs[D3DRS_DITHERENABLE] != FALSE); break;
    case D3DRS_CLIPPLANEENABLE:
        for (DWORD plane = 0; plane < maxClipPlanes; ++plane)
            shadow_.enable(GL_CLIP_DISTANCE0 + plane, (rs[D3DRS_CLIPPLANEENABLE] >> plane) & 1);
        break;
    case D3DRS_MULTISAMPLEANTIALIAS: shadow_.enable(GL_MULTISAMPLE, rs[D3DRS_MULTISAMPLEANTIALIAS] != FALSE); break;
    default:
        // Alpha test and point sizes live in the shaders the draw path makes;
        // the rest has no meaning without the fixed-function pipeline.
        break;
    }
}

void Device::applyStencil()
{
    const auto& rs = renderStates_;
    auto operation = [](DWORD value) { return stencilOperation(value).value_or(GL_KEEP); };
    auto function = [](DWORD value) { return compareFunction(value).value_or(GL_ALWAYS); };
    GLint reference = static_cast<GLint>(rs[D3DRS_STENCILREF] & 0xFF);
    GLuint readMask = rs[D3DRS_STENCILMASK] & 0xFF;
    // Direct3D's front faces are clockwise, as the context's front face makes them.
    shadow_.stencilFunc(GL_FRONT, function(rs[D3DRS_STENCILFUNC]), reference, readMask);
    shadow_.stencilOp(GL_FRONT, operation(rs[D3DRS_STENCILFAIL]), operation(rs[D3DRS_STENCILZFAIL]),
                      operation(rs[D3DRS_STENCILPASS]));
    bool twoSided = rs[D3DRS_TWOSIDEDSTENCILMODE] != FALSE;
    shadow_.stencilFunc(GL_BACK, function(rs[twoSided ? D3DRS_CCW_STENCILFUNC : D3DRS_STENCILFUNC]), reference,
                        readMask);
    shadow_.stencilOp(GL_BACK, operation(rs[twoSided ? D3DRS_CCW_STENCILFAIL : D3DRS_STENCILFAIL]),
                      operation(rs[twoSided ? D3DRS_CCW_STENCILZFAIL : D3DRS_STENCILZFAIL]),
                      operation(rs[twoSided ? D3DRS_CCW_STENCILPASS : D3DRS_STENCILPASS]));
    shadow_.stencilMask(GL_FRONT, rs[D3DRS_STENCILWRITEMASK] & 0xFF);
    shadow_.stencilMask(GL_BACK, rs[D3DRS_STENCILWRITEMASK] & 0xFF);
}

void Device::applyBlend()
{
    const auto& rs = renderStates_;
    BlendFactors color = blendFactors(rs[D3DRS_SRCBLEND], rs[D3DRS_DESTBLEND]);
    GLenum colorEquation = blendEquation(rs[D3DRS_BLENDOP]).value_or(GL_FUNC_ADD);
    BlendFactors alpha = color;
    GLenum alphaEquation = colorEquation;
    if (rs[D3DRS_SEPARATEALPHABLENDENABLE]) {
        alpha = blendFactors(rs[D3DRS_SRCBLENDALPHA], rs[D3DRS_DESTBLENDALPHA]);
        alphaEquation = blendEquation(rs[D3DRS_BLENDOPALPHA]).value_or(GL_FUNC_ADD);
    }
    shadow_.blendFunc(color.source, color.destination, alpha.source, alpha.destination);
    shadow_.blendEquation(colorEquation, alphaEquation);
}

void Device::applyDepthBias()
{
    int bits = depthStencil_ ? surfaceFormat(depthStencil_->description().Format)->depthBits : 24;
    float slope = floatFromBits(renderStates_[D3DRS_SLOPESCALEDEPTHBIAS]);
    float units = depthBiasUnits(floatFromBits(renderStates_[D3DRS_DEPTHBIAS]), bits);
    if (!std::isfinite(slope))
        slope = 0.0f;
    bool on = slope != 0.0f || units != 0.0f;
    shadow_.enable(GL_POLYGON_OFFSET_FILL, on);
    shadow_.enable(GL_POLYGON_OFFSET_LINE, on);
    shadow_.enable(GL_POLYGON_OFFSET_POINT, on);
    if (on)
        shadow_.polygonOffset(slope, units);
}

HRESULT Device::SetClipPlane(DWORD index, const float* plane)
{
    if (index >= maxClipPlanes)
        return refuse("SetClipPlane", "no clip plane " + std::to_string(index));
    if (!plane)
        return refuse("SetClipPlane", "no plane");
    logCall("SetClipPlane", {argument(index), argument(bitsFromFloat(plane[0])), argument(bitsFromFloat(plane[1])),
                             argument(bitsFromFloat(plane[2])), argument(bitsFromFloat(plane[3]))});
    std::memcpy(clipPlanes_[index], plane, sizeof(clipPlanes_[index]));
    return D3D_OK;
}

HRESULT Device::GetClipPlane(DWORD index, float* plane)
{
    if (index >= maxClipPlanes)
        return refuse("GetClipPlane", "no clip plane " + std::to_string(index));
    if (!plane)
        return refuse("GetClipPlane", "no result pointer");
    std::memcpy(plane, clipPlanes_[index], sizeof(clipPlanes_[index]));
    return D3D_OK;
}

HRESULT Device::SetScissorRect(const RECT* rect)
{
    if (!rect)
        return refuse("SetScissorRect", "no rectangle");
    logCall("SetScissorRect", {rect->left, rect->top, rect->right, rect->bottom});
    scissor_ = *rect;
    context_->makeCurrent();
    shadow_.scissor(rect->left, rect->top, std::max<LONG>(0, rect->right - rect->left),
                    std::max<LONG>(0, rect->bottom - rect->top));
    return D3D_OK;
}

HRESULT Device::GetScissorRect(RECT* rect)
{
    if (!rect)
        return refuse("GetScissorRect", "no result pointer");
    *rect = scissor_;
    return D3D_OK;
}

HRESULT Device::SetTexture(DWORD stage, IDirect3DBaseTexture9* texture)
{
    logCall("SetTexture", {argument(stage), pointerArgument(texture)});
    if (stage >= maxTextureStages)
        return refuse("SetTexture", "no texture stage " + std::to_string(stage));
    rebind(textures_[stage], texture);
    return D3D_OK;
}

HRESULT Device::SetStreamSource(UINT stream, IDirect3DVertexBuffer9* data, UINT offset, UINT stride)
{
    logCall("SetStreamSource", {argument(stream), pointerArgument(data), argument(offset), argument(stride)});
    if (stream >= maxStreams)
        return refuse("SetStreamSource", "no stream " + std::to_string(stream));
    rebind(streams_[stream].buffer, data);
    streams_[stream].offset = offset;
    streams_[stream].stride = stride;
    return D3D_OK;
}

HRESULT Device::SetIndices(IDirect3DIndexBuffer9* indexData)
{
    logCall("SetIndices", {pointerArgument(indexData)});
    rebind(indices_, indexData);
    return D3D_OK;
}

HRESULT Device::SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration)
{
    logCall("SetVertexDeclaration", {pointerArgument(declaration)});
    rebind(declaration_, declaration);
    return D3D_OK;
}

HRESULT Device::SetVertexShader(IDirect3DVertexShader9* shader)
{
    logCall("SetVertexShader", {pointerArgument(shader)});
    rebind(vertexShader_, shader);
    return D3D_OK;
}

HRESULT Device::SetPixelShader(IDirect3DPixelShader9* shader)
{
    logCall("SetPixelShader", {pointerArgument(shader)});
    rebind(pixelShader_, shader);
    return D3D_OK;
}

HRESULT Device::SetVertexShaderConstantF(UINT startRegister, const float* data, UINT vector4fCount)
{
    logCall("SetVertexShaderConstantF", {argument(startRegister), argument(vector4fCount)});
    if (!data)
        return refuse("SetVertexShaderConstantF", "no data");
    if (startRegister > vertexConstantCount || vector4fCount > vertexConstantCount - startRegister)
        return refuse("SetVertexShaderConstantF", "past the last constant register");
    std::memcpy(vertexConstants_[startRegister].data(), data, vector4fCount * sizeof(float) * 4);
    return D3D_OK;
}

HRESULT Device::SetPixelShaderConstantF(UINT startRegister, const float* data, UINT vector4fCount)
{
    logCall("SetPixelShaderConstantF", {argument(startRegister), argument(vector4fCount)});
    if (!data)
        return refuse("SetPixelShaderConstantF", "no data");
    if (startRegister > pixelConstantCount || vector4fCount > pixelConstantCount - startRegister)
        return refuse("SetPixelShaderConstantF", "past the last constant register");
    std::memcpy(pixelConstants_[startRegister].data(), data, vector4fCount * sizeof(float) * 4);
    return D3D_OK;
}

HRESULT Device::draw(D3DPRIMITIVETYPE type, UINT primitiveCount, bool indexed, INT baseVertex, UINT startVertex,
                     UINT startIndex)
{
    const char* call = indexed ? "DrawIndexedPrimitive" : "DrawPrimitive";
    std::optional<DrawShape> shape = drawShape(type, primitiveCount);
    if (!inScene_)
        return refuse(call, "not in a scene");
    if (!shape)
        return refuse(call, "unknown primitive type or too many primitives");
    if (primitiveCount == 0)
        return refuse(call, "no primitives");
    if (!renderTarget_)
        return refuse(call, "no render target");
    if (indexed && !indices_)
        return refuse(call, "no index buffer");
    context_->makeCurrent();
    if (!framebufferComplete())
        return refuse(call, "the render target and depth surface do not make a framebuffer");
    // Every draw runs a vertex declaration through a vertex and a pixel
    // shader; there is no fixed-function pipeline to fall back on.
    if (!declaration_)
        return refuse(call, "no vertex declaration");
    if (!vertexShader_ || !pixelShader_)
        return refuse(call, "no vertex or pixel shader");
    return drawThroughPipeline(call, type, *shape, baseVertex, startVertex, startIndex, indexed);
}

HRESULT Device::DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount)
{
    logCall("DrawPrimitive", {argument(type), argument(startVertex), argument(primitiveCount)});
    return draw(type, primitiveCount, false, 0, startVertex, 0);
}

HRESULT Device::DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex,
                                     UINT numVertices, UINT startIndex, UINT primitiveCount)
{
    logCall("DrawIndexedPrimitive", {argument(type), baseVertexIndex, argument(minVertexIndex), argument(numVertices),
                                     argument(startIndex), argument(primitiveCount)});
    return draw(type, primitiveCount, true, baseVertexIndex, minVertexIndex, startIndex);
}

} // namespace D3D9
