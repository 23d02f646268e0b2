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

// What the Direct3D window and canvas share. Their failures are reported
// as the calling class's own: `file` is its source name.
// Binds a back buffer and a depth/stencil surface as the device's targets.
void bindSurfaces(IDirect3DDevice9* device, IDirect3DSwapChain9* swapChain, UINT backBuffer,
                  IDirect3DSurface9* depthStencil, const char* file);
// The description of a chain's back buffer 0 (zeroed when there is none).
D3DSURFACE_DESC describeBackBuffer(IDirect3DSwapChain9* swapChain);
// Makes a new additional chain from the present parameters and a D24S8
// depth/stencil surface of its back buffer's size, and releases the old pair
// only once both exist. Returns the new back buffer's description.
D3DSURFACE_DESC replaceChain(IDirect3DDevice9* device, D3DPRESENT_PARAMETERS& presentation,
                             D3DMULTISAMPLE_TYPE multisample, IDirect3DSwapChain9*& swapChain,
                             IDirect3DSurface9*& depthStencil, const char* file);
// Reads width x height pixels of what the screen shows at a window's client
// area; what lies off the screen reads as black.
void readScreen(HWND window, int width, int height, std::uint32_t* destination, const char* file);

} // namespace Core
} // namespace Vostrel
