#pragma once

#include "Libs/Core/RenderTarget.h"
#include "Platform/D3D9/d3d9.h"

namespace Vostrel {
namespace Core {

// A render target drawn into a window the caller owns; it follows the
// window's client size, rebuilding its swap chain when the size changes.
class DXRenderCanvas : public RenderTarget {
public:
    explicit DXRenderCanvas(HWND window);
    ~DXRenderCanvas() override;

    void setViewport(float x, float y, float width, float height) override;
    void getFramebuffer(std::uint32_t* destination) override;
    void beginScene() override;
    void endScene() override;
    void update() override;

    void setTarget(IDirect3DDevice9* device, IDirect3DSwapChain9* swapChain, IDirect3DSurface9* depthStencil);
    void resizeResources(int width, int height);

private:
    HWND window; // not owned
    IDirect3DDevice9* device; // not owned
    IDirect3DSwapChain9* swapChain;
    IDirect3DSurface9* depthStencil;
};

} // namespace Core
} // namespace Vostrel
