#pragma once

#include "Libs/Core/RenderWindowWin32.h"
#include "Platform/D3D9/d3d9.h"

namespace Vostrel {
namespace Core {

// The render window drawn through its own swap chain and depth/stencil
// surface, both made by the device and handed over with setTarget.
class DXRenderWindow : public RenderWindowWin32 {
public:
    explicit DXRenderWindow(const WindowParameters& parameters);
    ~DXRenderWindow() override;

    void setViewport(float x, float y, float width, float height) override;
    void getFramebuffer(std::uint32_t* destination) override;
    void beginScene() override;
    void endScene() override;
    void update() override;
    void resize(int width, int height) override;

    void setTarget(IDirect3DDevice9* device, IDirect3DSwapChain9* swapChain, IDirect3DSurface9* depthStencil);
    IDirect3DSwapChain9* getSwapChain() const { return swapChain; }

private:
    IDirect3DDevice9* device; // not owned
    IDirect3DSwapChain9* swapChain;
    IDirect3DSurface9* depthStencil;
    WindowParameters parameters;
    UINT backBufferCount;
};

// Binds a back buffer and a depth/stencil surface as the device's targets.
void bindSurfaces(IDirect3DDevice9* device, IDirect3DSwapChain9* swapChain, UINT backBuffer,
                  IDirect3DSurface9* depthStencil);
// Reads width x height pixels of what the screen shows at a window's client
// area; what lies off the screen reads as black.
void readScreen(HWND window, int width, int height, std::uint32_t* destination);

} // namespace Core
} // namespace Vostrel
