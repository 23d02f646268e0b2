#include "Libs/Core/DirectX/DXRenderWindow.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <string>

namespace Vostrel {
namespace Core {

namespace {

// The shared helpers report failures in their caller's name.
[[noreturn]] void failAs(const char* file, int line, const std::string& message)
{
    throw Exception(message, file, line);
}

} // namespace

void bindSurfaces(IDirect3DDevice9* device, IDirect3DSwapChain9* swapChain, UINT backBuffer,
                  IDirect3DSurface9* depthStencil, const char* file)
{
    IDirect3DSurface9* surface = nullptr;
    HRESULT result = swapChain->GetBackBuffer(backBuffer, D3DBACKBUFFER_TYPE_MONO, &surface);
    if (FAILED(result))
        failAs(file, __LINE__, "IDirect3DSwapChain9::GetBackBuffer failed: " + std::to_string(result));
    result = device->SetDepthStencilSurface(depthStencil);
    if (FAILED(result)) {
        surface->Release();
        failAs(file, __LINE__, "IDirect3DDevice9::SetDepthStencilSurface failed: " + std::to_string(result));
    }
    result = device->SetRenderTarget(0, surface);
    surface->Release();
    if (FAILED(result))
        failAs(file, __LINE__, "IDirect3DDevice9::SetRenderTarget failed: " + std::to_string(result));
}

D3DSURFACE_DESC describeBackBuffer(IDirect3DSwapChain9* swapChain)
{
    D3DSURFACE_DESC description;
    std::memset(&description, 0, sizeof(description));
    IDirect3DSurface9* backBuffer = nullptr;
    if (SUCCEEDED(swapChain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &backBuffer))) {
        backBuffer->GetDesc(&description);
        backBuffer->Release();
    }
    return description;
}

D3DSURFACE_DESC replaceChain(IDirect3DDevice9* device, D3DPRESENT_PARAMETERS& presentation,
                             D3DMULTISAMPLE_TYPE multisample, IDirect3DSwapChain9*& swapChain,
                             IDirect3DSurface9*& depthStencil, const char* file)
{
    IDirect3DSwapChain9* newSwapChain = nullptr;
    if (FAILED(device->CreateAdditionalSwapChain(&presentation, &newSwapChain)))
        failAs(file, __LINE__, "DXCore: Failed to create an additional swap chain");
    D3DSURFACE_DESC description = describeBackBuffer(newSwapChain);
    IDirect3DSurface9* newDepthStencil = nullptr;
    if (FAILED(device->CreateDepthStencilSurface(description.Width, description.Height, D3DFMT_D24S8, multisample, 0,
                                                 FALSE, &newDepthStencil, nullptr))) {
        newSwapChain->Release();
        failAs(file, __LINE__, "DXCore: Failed to create depth/stencil surface.");
    }
    swapChain->Release();
    depthStencil->Release();
    swapChain = newSwapChain;
    depthStencil = newDepthStencil;
    return description;
}

void readScreen(HWND window, int width, int height, std::uint32_t* destination, const char* file)
{
    IDirect3DDevice9* device = DXCore::getDevice();
    D3DDISPLAYMODE mode;
    device->GetDisplayMode(0, &mode);
    IDirect3DSurface9* screen = nullptr;
    if (FAILED(device->CreateOffscreenPlainSurface(mode.Width, mode.Height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                   &screen, nullptr)))
        failAs(file, __LINE__, "DXRenderWindow::getFramebuffer(): Failed to create temporary offscreen surface.");
    if (FAILED(device->GetFrontBufferData(0, screen))) {
        screen->Release();
        failAs(file, __LINE__, "DXRenderWindow::getFramebuffer(): GetFrontBufferData failed.");
    }
    D3DLOCKED_RECT locked;
    if (FAILED(screen->LockRect(&locked, nullptr, D3DLOCK_DISCARD))) {
        screen->Release();
        failAs(file, __LINE__, "DXRenderWindow::getFramebuffer(): LockRect failed.");
    }
    WINDOWINFO info;
    std::memset(&info, 0, sizeof(info));
    info.cbSize = sizeof(info);
    GetWindowInfo(window, &info);
    // A window partly off the screen reads black where the screen has no
    // pixels, rather than past the image.
    const LONG screenWidth = static_cast<LONG>(mode.Width);
    const LONG screenHeight = static_cast<LONG>(mode.Height);
    const auto* rows = static_cast<const std::uint8_t*>(locked.pBits);
    for (int row = 0; row < height; ++row) {
        std::uint32_t* out = destination + static_cast<size_t>(row) * width;
        std::fill(out, out + width, 0xFF000000u);
        LONG screenY = info.rcClient.top + row;
        if (screenY < 0 || screenY >= screenHeight)
            continue;
        LONG first = std::max<LONG>(0, -info.rcClient.left);
        LONG last = std::min<LONG>(width, screenWidth - info.rcClient.left);
        if (first >= last)
            continue;
        const std::uint8_t* in = rows + static_cast<size_t>(screenY) * locked.Pitch +
                                 static_cast<size_t>(info.rcClient.left + first) * 4;
        std::memcpy(out + first, in, static_cast<size_t>(last - first) * 4);
    }
    screen->UnlockRect();
    screen->Release();
}

DXRenderWindow::DXRenderWindow(const WindowParameters& windowParameters)
    : RenderWindowWin32(windowParameters), device(nullptr), swapChain(nullptr), depthStencil(nullptr),
      parameters(windowParameters), backBufferCount(0)
{
}

DXRenderWindow::~DXRenderWindow()
{
    if (swapChain)
        swapChain->Release();
    if (depthStencil)
        depthStencil->Release();
}

void DXRenderWindow::setTarget(IDirect3DDevice9* newDevice, IDirect3DSwapChain9* newSwapChain,
                               IDirect3DSurface9* newDepthStencil)
{
    device = newDevice;
    swapChain = newSwapChain;
    depthStencil = newDepthStencil;
    D3DPRESENT_PARAMETERS presentation;
    std::memset(&presentation, 0, sizeof(presentation));
    swapChain->GetPresentParameters(&presentation);
    backBufferCount = presentation.BackBufferCount;
}

void DXRenderWindow::setViewport(float x, float y, float width, float height)
{
    RenderTarget::setViewport(x, y, width, height);
    if (device)
        DXCore::setDeviceViewport(x, y, width, height);
}

void DXRenderWindow::beginScene()
{
    if (getCurrentTarget() != this) {
        if (!device || !swapChain)
            std::cerr << "DXRenderWindow::begin(): device or chain is null ??" << std::endl;
        else
            bindSurfaces(device, swapChain, backBufferCount - 1, depthStencil, sourceName(__FILE__));
        becomeCurrent();
    }
    if (device)
        device->BeginScene();
    setViewport(0.0f, 0.0f, 1.0f, 1.0f);
}

void DXRenderWindow::endScene()
{
    if (device)
        device->EndScene();
}

void DXRenderWindow::update()
{
    if (!device || !swapChain)
        VOSTREL_THROW("DXRenderWindow::update(): device or chain is null ??");
    while (swapChain->Present(nullptr, nullptr, nullptr, nullptr, D3DPRESENT_DONOTWAIT) == D3DERR_WASSTILLDRAWING) {
    }
}

void DXRenderWindow::getFramebuffer(std::uint32_t* destination)
{
    readScreen(getHandle(), width, height, destination, sourceName(__FILE__));
}

void DXRenderWindow::resize(int newWidth, int newHeight)
{
    if (fullscreen)
        VOSTREL_THROW("DXRenderWindow::resize: In fullscreen mode, this should not get called!");
    if (newWidth == 0 || newHeight == 0)
        return;
    width = newWidth;
    height = newHeight;
    // A window without a device (the default core's) has nothing to rebuild.
    if (!device || !swapChain)
        return;
    D3DPRESENT_PARAMETERS presentation;
    swapChain->GetPresentParameters(&presentation);
    presentation.BackBufferWidth = 0;
    presentation.BackBufferHeight = 0;
    replaceChain(device, presentation, DXCore::multisampleType(parameters.multisample), swapChain, depthStencil,
                 sourceName(__FILE__));
}

} // namespace Core
} // namespace Vostrel
