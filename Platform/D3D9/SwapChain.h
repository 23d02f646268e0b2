#pragma once

// Internal: swap chains. Each back buffer is a renderbuffer; presenting
// copies the back buffer into the chain's front image (the window's client
// size, kept for GetFrontBufferData) and blits that into the window.

#include "Platform/D3D9/Surface.h"

#include <memory>
#include <vector>

namespace D3D9 {

class SwapChain : public IDirect3DSwapChain9, public DeviceObject {
public:
    // Checks and completes the parameters (zero sizes become the window's
    // client size, an unknown format the display's) and makes the chain.
    static HRESULT create(Device& device, D3DPRESENT_PARAMETERS& parameters, bool implicit,
                          std::unique_ptr<SwapChain>& result);

    ULONG AddRef() override { return addRef(); }
    ULONG Release() override { return release(); }
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const RGNDATA* dirtyRegion, DWORD flags) override;
    HRESULT GetFrontBufferData(IDirect3DSurface9* destSurface) override;
    HRESULT GetBackBuffer(UINT backBuffer, D3DBACKBUFFER_TYPE type, IDirect3DSurface9** surface) override;
    HRESULT GetDisplayMode(D3DDISPLAYMODE* mode) override;
    HRESULT GetDevice(IDirect3DDevice9** device) override;
    HRESULT GetPresentParameters(D3DPRESENT_PARAMETERS* parameters) override;

    ~SwapChain() override;

    HWND window() const { return parameters_.hDeviceWindow; }
    bool fullscreen() const { return !parameters_.Windowed; }
    void noteDrawnInto(UINT backBufferIndex) { lastDrawn_ = backBufferIndex; }
    // Which present came last across all chains; 0 before the first.
    uint64_t presentedSequence() const { return presentedSequence_; }
    // The last presented image, rows top first, as B, G, R, A bytes.
    bool readFront(std::vector<uint32_t>& pixels, int& width, int& height);

private:
    SwapChain(Device& device, Ownership ownership, const D3DPRESENT_PARAMETERS& parameters);
    void ensureFront(int width, int height);

    D3DPRESENT_PARAMETERS parameters_;
    std::vector<std::unique_ptr<RenderbufferSurface>> backBuffers_;
    UINT lastDrawn_ = 0;
    GL::Framebuffer sourceFramebuffer_;
    GL::Framebuffer resolveFramebuffer_;
    GL::Renderbuffer resolveBuffer_;
    int resolveWidth_ = 0;
    int resolveHeight_ = 0;
    GL::Framebuffer frontFramebuffer_;
    GL::Texture front_;
    int frontWidth_ = 0;
    int frontHeight_ = 0;
    uint64_t presentedSequence_ = 0;
};

} // namespace D3D9
