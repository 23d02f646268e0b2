#include "Libs/Core/DirectX/DXRenderCanvas.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/DirectX/DXRenderWindow.h"
#include "Libs/Math/Vec.h"

#include <cstring>
#include <iostream>

namespace Vostrel {
namespace Core {

namespace {

void writeRect(const RECT& rect)
{
    std::cout << "(" << rect.left << ", " << rect.top << "), (" << rect.right << ", " << rect.bottom << "), ("
              << rect.right - rect.left << ", " << rect.bottom - rect.top << ")" << std::endl;
}

Vec2 sizeVector(UINT width, UINT height)
{
    return Vec2(static_cast<float>(width), static_cast<float>(height));
}

} // namespace

DXRenderCanvas::DXRenderCanvas(HWND handle)
    : window(handle), device(nullptr), swapChain(nullptr), depthStencil(nullptr)
{
    RECT client = {0, 0, 0, 0};
    GetClientRect(window, &client);
    width = client.right - client.left;
    height = client.bottom - client.top;
    std::cout << "initial: ";
    writeRect(client);
}

DXRenderCanvas::~DXRenderCanvas()
{
    if (swapChain)
        swapChain->Release();
    if (depthStencil)
        depthStencil->Release();
}

void DXRenderCanvas::setTarget(IDirect3DDevice9* newDevice, IDirect3DSwapChain9* newSwapChain,
                               IDirect3DSurface9* newDepthStencil)
{
    device = newDevice;
    swapChain = newSwapChain;
    depthStencil = newDepthStencil;
}

void DXRenderCanvas::setViewport(float x, float y, float viewportWidth, float viewportHeight)
{
    RenderTarget::setViewport(x, y, viewportWidth, viewportHeight);
    if (device)
        DXCore::setDeviceViewport(x, y, viewportWidth, viewportHeight);
}

void DXRenderCanvas::beginScene()
{
    if (getCurrentTarget() != this) {
        if (!device || !swapChain)
            VOSTREL_THROW("DXRenderWindow::begin(): device or chain is null ??");
        RECT client = {0, 0, 0, 0};
        GetClientRect(window, &client);
        int clientWidth = client.right - client.left;
        int clientHeight = client.bottom - client.top;
        if (clientWidth != width || clientHeight != height) {
            std::cout << "new size: ";
            writeRect(client);
            resizeResources(clientWidth, clientHeight);
        }
        bindSurfaces(device, swapChain, 0, depthStencil, sourceName(__FILE__));
        becomeCurrent();
    }
    if (device)
        device->BeginScene();
    setViewport(0.0f, 0.0f, 1.0f, 1.0f);
}

void DXRenderCanvas::endScene()
{
    if (device)
        device->EndScene();
}

void DXRenderCanvas::update()
{
    if (!device || !swapChain)
        VOSTREL_THROW("DXRenderWindow::update(): device or chain is null ??");
    HRESULT result = swapChain->Present(nullptr, nullptr, nullptr, nullptr, D3DPRESENT_DONOTWAIT);
    if (result == D3DERR_WASSTILLDRAWING) {
        std::cout << "blocked present" << std::endl;
        result = swapChain->Present(nullptr, nullptr, nullptr, nullptr, D3DPRESENT_DONOTWAIT);
    }
    if (result == D3DERR_DEVICELOST)
        std::cout << "Device has been lost!" << std::endl;
}

void DXRenderCanvas::getFramebuffer(std::uint32_t* destination)
{
    readScreen(window, width, height, destination, sourceName(__FILE__));
}

void DXRenderCanvas::resizeResources(int newWidth, int newHeight)
{
    std::cout << "resizing D3D canvas resources: " << Vec2(static_cast<float>(newWidth), static_cast<float>(newHeight))
              << std::endl;
    if (newWidth == 0 || newHeight == 0)
        return;
    width = newWidth;
    height = newHeight;
    D3DPRESENT_PARAMETERS presentation;
    swapChain->GetPresentParameters(&presentation);
    std::cout << "backbuffer size: " << sizeVector(presentation.BackBufferWidth, presentation.BackBufferHeight)
              << std::endl;
    presentation.BackBufferWidth = static_cast<UINT>(newWidth);
    presentation.BackBufferHeight = static_cast<UINT>(newHeight);
    std::cout << "backbuffer size: " << sizeVector(presentation.BackBufferWidth, presentation.BackBufferHeight)
              << std::endl;
    D3DSURFACE_DESC description =
        replaceChain(device, presentation, D3DMULTISAMPLE_NONE, swapChain, depthStencil, sourceName(__FILE__));
    std::cout << "backbuffer size: " << sizeVector(description.Width, description.Height) << std::endl;
}

} // namespace Core
} // namespace Vostrel
