#include "Platform/D3D9/SwapChain.h"

#include "Platform/D3D9/Device.h"
#include "Platform/D3D9/Internal.h"
#include "Platform/Win32/Host.h"

namespace D3D9 {

namespace {

bool validInterval(UINT interval)
{
    return interval == D3DPRESENT_INTERVAL_DEFAULT || interval == D3DPRESENT_INTERVAL_ONE ||
           interval == D3DPRESENT_INTERVAL_IMMEDIATE;
}

const Win32Host::DisplayMode* findMode(const std::vector<Win32Host::DisplayMode>& modes, UINT width, UINT height,
                                       UINT refreshRate)
{
    for (const Win32Host::DisplayMode& mode : modes) {
        if (static_cast<UINT>(mode.width) == width && static_cast<UINT>(mode.height) == height &&
            (refreshRate == 0 || static_cast<UINT>(mode.refreshRate) == refreshRate))
            return &mode;
    }
    return nullptr;
}

} // namespace

HRESULT SwapChain::create(Device& device, D3DPRESENT_PARAMETERS& parameters, bool implicit,
                          std::unique_ptr<SwapChain>& result)
{
    const char* call = implicit ? "CreateDevice" : "CreateAdditionalSwapChain";
    HWND window = parameters.hDeviceWindow;
    RECT client;
    if (!GetClientRect(window, &client))
        return refuse(call, "no device window");
    if (parameters.SwapEffect < D3DSWAPEFFECT_DISCARD || parameters.SwapEffect > D3DSWAPEFFECT_COPY)
        return refuse(call, "unknown swap effect");
    if (parameters.BackBufferCount > 3)
        return refuse(call, "more than three back buffers");
    if (!validInterval(parameters.PresentationInterval))
        return refuse(call, "unknown presentation interval");
    std::optional<GLsizei> samples = sampleCount(parameters.MultiSampleType);
    if (!samples)
        return refuse(call, "unknown multisample type");
    if (*samples > device.context().maxSamples())
        return refuse(call, "more samples than the adapter has");
    if (*samples > 0 && parameters.SwapEffect != D3DSWAPEFFECT_DISCARD)
        return refuse(call, "multisampling without DISCARD");

    if (parameters.Windowed) {
        if (parameters.BackBufferWidth == 0)
            parameters.BackBufferWidth = static_cast<UINT>(std::max<LONG>(1, client.right));
        if (parameters.BackBufferHeight == 0)
            parameters.BackBufferHeight = static_cast<UINT>(std::max<LONG>(1, client.bottom));
        if (parameters.BackBufferFormat == D3DFMT_UNKNOWN)
            parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    } else {
        // Only the device's own chain may own the screen.
        if (!implicit)
            return refuse(call, "full screen on an additional chain");
        std::vector<Win32Host::DisplayMode> modes = Win32Host::displayModes();
        const Win32Host::DisplayMode* mode = findMode(modes, parameters.BackBufferWidth, parameters.BackBufferHeight,
                                                      parameters.FullScreen_RefreshRateInHz);
        if (!mode)
            return refuse(call, "no such display mode");
        if (parameters.BackBufferFormat == D3DFMT_UNKNOWN)
            return refuse(call, "full screen without a back-buffer format");
        if (!Win32Host::setFullscreen(window, true, *mode))
            return refuse(call, "the display mode cannot be set", D3DERR_NOTAVAILABLE);
    }
    if (parameters.BackBufferFormat != D3DFMT_X8R8G8B8 && parameters.BackBufferFormat != D3DFMT_A8R8G8B8)
        return refuse(call, "a back-buffer format other than X8R8G8B8 or A8R8G8B8");
    if (parameters.BackBufferWidth > 8192 || parameters.BackBufferHeight > 8192)
        return refuse(call, "back buffers wider or higher than 8192", D3DERR_OUTOFVIDEOMEMORY);
    if (parameters.BackBufferCount == 0)
        parameters.BackBufferCount = 1;

    result.reset(new SwapChain(device, implicit ? Ownership::Device : Ownership::Own, parameters));
    D3DSURFACE_DESC description = {parameters.BackBufferFormat,
                                   D3DRTYPE_SURFACE,
                                   D3DUSAGE_RENDERTARGET,
                                   D3DPOOL_DEFAULT,
                                   parameters.MultiSampleType,
                                   parameters.MultiSampleQuality,
                                   parameters.BackBufferWidth,
                                   parameters.BackBufferHeight};
    SurfaceFormat format = *surfaceFormat(parameters.BackBufferFormat);
    for (UINT i = 0; i < parameters.BackBufferCount; ++i) {
        auto surface = std::make_unique<RenderbufferSurface>(device, Ownership::Container, result.get(), description,
                                                             format, *samples);
        surface->chain = result.get();
        surface->backBufferIndex = i;
        result->backBuffers_.push_back(std::move(surface));
    }
    return D3D_OK;
}

SwapChain::SwapChain(Device& device, Ownership ownership, const D3DPRESENT_PARAMETERS& parameters)
    : DeviceObject(device, ownership), parameters_(parameters)
{
    device.context().makeCurrent();
    sourceFramebuffer_ = GL::makeFramebuffer();
    device.registerChain(this);
}

SwapChain::~SwapChain()
{
    device().context().makeCurrent();
    device().unregisterChain(this);
    if (fullscreen())
        Win32Host::setFullscreen(parameters_.hDeviceWindow, false, {});
}

void SwapChain::ensureFront(int width, int height)
{
    if (front_ && width == frontWidth_ && height == frontHeight_)
        return;
    front_ = GL::makeTexture(GL_TEXTURE_2D);
    glTextureStorage2D(front_.get(), 1, GL_RGBA8, width, height);
    frontFramebuffer_ = GL::makeFramebuffer();
    glNamedFramebufferTexture(frontFramebuffer_.get(), GL_COLOR_ATTACHMENT0, front_.get(), 0);
    frontWidth_ = width;
    frontHeight_ = height;
}

HRESULT SwapChain::Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                           const RGNDATA* dirtyRegion, DWORD flags)
{
    logCall("Present", {pointerArgument(this), static_cast<int64_t>(flags)});
    if ((sourceRect || destRect) && parameters_.SwapEffect != D3DSWAPEFFECT_COPY)
        return refuse("Present", "rectangles without COPY");
    HWND target = destWindowOverride ? destWindowOverride : parameters_.hDeviceWindow;
    RECT client;
    if (!GetClientRect(target, &client))
        return refuse("Present", "no window");
    int width = client.right;
    int height = client.bottom;
    if (width <= 0 || height <= 0)
        return D3D_OK;

    // With DISCARD which back buffer a present shows is ours to choose: the
    // one drawn into last, so no frame is held back.
    RenderbufferSurface& back = *backBuffers_[lastDrawn_ < backBuffers_.size() ? lastDrawn_ : 0];
    int backWidth = static_cast<int>(back.description().Width);
    int backHeight = static_cast<int>(back.description().Height);
    Device& owner = device();
    owner.submitEndedScenes();
    owner.context().makeCurrent();
    ensureFront(width, height);
    GL::StateShadow& shadow = owner.shadow();
    shadow.enable(GL_SCISSOR_TEST, false);
    back.attachTo(sourceFramebuffer_.get(), GL_COLOR_ATTACHMENT0);
    GLuint read = sourceFramebuffer_.get();
    if (back.samples() > 0 && (backWidth != width || backHeight != height)) {
        // A multisampled image resolves at its own size before it scales.
        if (!resolveBuffer_ || resolveWidth_ != backWidth || resolveHeight_ != backHeight) {
            resolveBuffer_ = GL::makeRenderbuffer();
            glNamedRenderbufferStorage(resolveBuffer_.get(), GL_RGBA8, backWidth, backHeight);
            resolveFramebuffer_ = GL::makeFramebuffer();
            glNamedFramebufferRenderbuffer(resolveFramebuffer_.get(), GL_COLOR_ATTACHMENT0, GL_RENDERBUFFER,
                                           resolveBuffer_.get());
            resolveWidth_ = backWidth;
            resolveHeight_ = backHeight;
        }
        glBlitNamedFramebuffer(read, resolveFramebuffer_.get(), 0, 0, backWidth, backHeight, 0, 0, backWidth,
                               backHeight, GL_COLOR_BUFFER_BIT, GL_NEAREST);
        read = resolveFramebuffer_.get();
    }
    bool sameSize = backWidth == width && backHeight == height;
    glBlitNamedFramebuffer(read, frontFramebuffer_.get(), 0, 0, backWidth, backHeight, 0, 0, width, height,
                           GL_COLOR_BUFFER_BIT, sameSize ? GL_NEAREST : GL_LINEAR);
    presentedSequence_ = owner.nextPresentSequence();
    owner.restoreDrawState();

    if (SDL_Window* window = Win32Host::sdlWindow(target)) {
        int interval = parameters_.PresentationInterval == D3DPRESENT_INTERVAL_IMMEDIATE ? 0 : 1;
        owner.context().presentToWindow(window, frontFramebuffer_.get(), width, height, fullscreen(), interval);
    }
    return D3D_OK;
}

bool SwapChain::readFront(std::vector<uint32_t>& pixels, int& width, int& height)
{
    if (presentedSequence_ == 0 || !front_)
        return false;
    device().context().makeCurrent();
    width = frontWidth_;
    height = frontHeight_;
    pixels.resize(static_cast<size_t>(width) * height);
    glGetTextureImage(front_.get(), 0, GL_BGRA, GL_UNSIGNED_BYTE, static_cast<GLsizei>(pixels.size() * 4),
                      pixels.data());
    // The desktop has no alpha.
    for (uint32_t& pixel : pixels)
        pixel |= 0xFF000000u;
    return true;
}

HRESULT SwapChain::GetFrontBufferData(IDirect3DSurface9* destSurface)
{
    return device().GetFrontBufferData(0, destSurface);
}

HRESULT SwapChain::GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface)
{
    if (!surface)
        return refuse("GetBackBuffer", "no result pointer");
    if (backBuffer >= backBuffers_.size())
        return refuse("GetBackBuffer", "no such back buffer");
    if (type != D3DBACKBUFFER_TYPE_MONO)
        return refuse("GetBackBuffer", "not MONO");
    *surface = backBuffers_[backBuffer].get();
    (*surface)->AddRef();
    return D3D_OK;
}

HRESULT SwapChain::GetDisplayMode(D3DDISPLAYMODE* mode)
{
    if (!mode)
        return refuse("GetDisplayMode", "no result pointer");
    Win32Host::DisplayMode current = Win32Host::currentDisplayMode();
    *mode = {static_cast<UINT>(current.width), static_cast<UINT>(current.height),
             static_cast<UINT>(current.refreshRate), D3DFMT_X8R8G8B8};
    return D3D_OK;
}

HRESULT SwapChain::GetDevice(IDirect3DDevice9** result)
{
    if (!result)
        return refuse("GetDevice", "no result pointer");
    device().AddRef();
    *result = &device();
    return D3D_OK;
}

HRESULT SwapChain::GetPresentParameters(D3DPRESENT_PARAMETERS* parameters)
{
    if (!parameters)
        return refuse("GetPresentParameters", "no result pointer");
    *parameters = parameters_;
    return D3D_OK;
}

} // namespace D3D9
