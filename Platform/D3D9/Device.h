#pragma once

// Internal: the device. It keeps Direct3D's state, translates render states
// into OpenGL at once (through the state shadow, so repeats cost nothing),
// and draws into one framebuffer object holding the current render target
// and depth/stencil surface.

#include "Platform/D3D9/GL/Context.h"
#include "Platform/D3D9/GL/ProgramCache.h"
#include "Platform/D3D9/GL/StateShadow.h"
#include "Platform/D3D9/SwapChain.h"

#include <array>
#include <memory>
#include <vector>

namespace D3D9 {

struct Pipeline;

constexpr DWORD maxRenderState = 210;
constexpr DWORD maxClipPlanes = 6;
constexpr DWORD maxTextureStages = 16;
constexpr DWORD maxStreams = 16;
constexpr UINT vertexConstantCount = 256;
constexpr UINT pixelConstantCount = 32;

D3DCAPS9 capabilities(D3DDEVTYPE type);

class Device : public IDirect3DDevice9 {
public:
    static HRESULT create(IDirect3D9* direct3D, D3DDEVTYPE type, HWND focusWindow, DWORD behavior,
                          D3DPRESENT_PARAMETERS& parameters, Device** result);

    ULONG AddRef() override;
    ULONG Release() override;
    HRESULT GetDirect3D(IDirect3D9** direct3D) override;
    HRESULT GetDeviceCaps(D3DCAPS9* caps) override;
    HRESULT GetDisplayMode(UINT swapChain, D3DDISPLAYMODE* mode) override;
    HRESULT CreateAdditionalSwapChain(D3DPRESENT_PARAMETERS* parameters, IDirect3DSwapChain9** swapChain) override;
    HRESULT GetSwapChain(UINT swapChain, IDirect3DSwapChain9** result) override;
    UINT GetNumberOfSwapChains() override { return 1; }
    HRESULT Present(const RECT* sourceRect, const RECT* destRect, HWND destWindowOverride,
                    const RGNDATA* dirtyRegion) override;
    HRESULT GetBackBuffer(UINT swapChain, UINT backBuffer, D3DBACKBUFFER_TYPE type,
                          IDirect3DSurface9** surface) override;
    HRESULT CreateRenderTarget(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                               DWORD multisampleQuality, BOOL lockable, IDirect3DSurface9** surface,
                               HANDLE* sharedHandle) override;
    HRESULT CreateDepthStencilSurface(UINT width, UINT height, D3DFORMAT format, D3DMULTISAMPLE_TYPE multiSample,
                                      DWORD multisampleQuality, BOOL discard, IDirect3DSurface9** surface,
                                      HANDLE* sharedHandle) override;
    HRESULT CreateOffscreenPlainSurface(UINT width, UINT height, D3DFORMAT format, D3DPOOL pool,
                                        IDirect3DSurface9** surface, HANDLE* sharedHandle) override;
    HRESULT GetFrontBufferData(UINT swapChain, IDirect3DSurface9* destSurface) override;
    HRESULT SetRenderTarget(DWORD index, IDirect3DSurface9* renderTarget) override;
    HRESULT GetRenderTarget(DWORD index, IDirect3DSurface9** renderTarget) override;
    HRESULT SetDepthStencilSurface(IDirect3DSurface9* surface) override;
    HRESULT GetDepthStencilSurface(IDirect3DSurface9** surface) override;
    HRESULT BeginScene() override;
    HRESULT EndScene() override;
    HRESULT Clear(DWORD count, const D3DRECT* rects, DWORD flags, D3DCOLOR color, float z, DWORD stencil) override;
    HRESULT SetViewport(const D3DVIEWPORT9* viewport) override;
    HRESULT GetViewport(D3DVIEWPORT9* viewport) override;
    HRESULT SetRenderState(D3DRENDERSTATETYPE state, DWORD value) override;
    HRESULT GetRenderState(D3DRENDERSTATETYPE state, DWORD* value) override;
    HRESULT SetClipPlane(DWORD index, const float* plane) override;
    HRESULT GetClipPlane(DWORD index, float* plane) override;
    HRESULT SetScissorRect(const RECT* rect) override;
    HRESULT GetScissorRect(RECT* rect) override;
    HRESULT SetTexture(DWORD stage, IDirect3DBaseTexture9* texture) override;
    HRESULT SetStreamSource(UINT stream, IDirect3DVertexBuffer9* data, UINT offset, UINT stride) override;
    HRESULT SetIndices(IDirect3DIndexBuffer9* indexData) override;
    HRESULT SetVertexDeclaration(IDirect3DVertexDeclaration9* declaration) override;
    HRESULT SetVertexShader(IDirect3DVertexShader9* shader) override;
    HRESULT SetPixelShader(IDirect3DPixelShader9* shader) override;
    HRESULT SetVertexShaderConstantF(UINT startRegister, const float* data, UINT vector4fCount) override;
    HRESULT SetPixelShaderConstantF(UINT startRegister, const float* data, UINT vector4fCount) override;
    HRESULT DrawPrimitive(D3DPRIMITIVETYPE type, UINT startVertex, UINT primitiveCount) override;
    HRESULT DrawIndexedPrimitive(D3DPRIMITIVETYPE type, INT baseVertexIndex, UINT minVertexIndex, UINT numVertices,
                                 UINT startIndex, UINT primitiveCount) override;

    // Resources (DeviceResources.cpp).
    HRESULT CreateTexture(UINT width, UINT height, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                          IDirect3DTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateVolumeTexture(UINT width, UINT height, UINT depth, UINT levels, DWORD usage, D3DFORMAT format,
                                D3DPOOL pool, IDirect3DVolumeTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateCubeTexture(UINT edgeLength, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DCubeTexture9** texture, HANDLE* sharedHandle) override;
    HRESULT CreateVertexBuffer(UINT length, DWORD usage, DWORD fvf, D3DPOOL pool, IDirect3DVertexBuffer9** buffer,
                               HANDLE* sharedHandle) override;
    HRESULT CreateIndexBuffer(UINT length, DWORD usage, D3DFORMAT format, D3DPOOL pool,
                              IDirect3DIndexBuffer9** buffer, HANDLE* sharedHandle) override;
    HRESULT CreateVertexDeclaration(const D3DVERTEXELEMENT9* elements,
                                    IDirect3DVertexDeclaration9** declaration) override;
    HRESULT CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader) override;
    HRESULT CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader) override;
    HRESULT GetTexture(DWORD stage, IDirect3DBaseTexture9** texture) override;
    HRESULT SetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD value) override;
    HRESULT GetSamplerState(DWORD sampler, D3DSAMPLERSTATETYPE type, DWORD* value) override;
    HRESULT ColorFill(IDirect3DSurface9* surface, const RECT* rect, D3DCOLOR color) override;
    HRESULT GetRenderTargetData(IDirect3DSurface9* renderTarget, IDirect3DSurface9* destSurface) override;

    // For the device's objects.
    GL::Context& context() { return *context_; }
    GL::StateShadow& shadow() { return shadow_; }
    GL::ProgramCache& programs() { return programs_; }
    // Drops the programs linked with a shader that is going away.
    void forgetShader(const void* shader);
    void registerChain(SwapChain* chain);
    void unregisterChain(SwapChain* chain);
    uint64_t nextPresentSequence() { return ++presentSequence_; }
    // Puts the device's framebuffer and scissor back after a blit.
    void restoreDrawState();
    // Hands the scenes ended so far to the driver.
    void submitEndedScenes();

private:
    Device(IDirect3D9* direct3D, D3DDEVTYPE type, std::unique_ptr<GL::Context> context);
    ~Device() override;

    void setDefaultRenderStates(bool depthEnabled);
    void applyRenderState(DWORD state);
    void applyStencil();
    void applyBlend();
    void applyDepthBias();
    void attachTargets();
    bool framebufferComplete();
    HRESULT draw(D3DPRIMITIVETYPE type, UINT primitiveCount, bool indexed, INT baseVertex, UINT startVertex,
                 UINT startIndex);
    template <typename Resource>
    void rebind(Resource*& slot, Resource* resource);

    // Draws through shaders, vertex input and samplers (Pipeline.cpp).
    HRESULT drawThroughPipeline(const char* call, D3DPRIMITIVETYPE type, const DrawShape& shape, INT baseVertex,
                                UINT startVertex, UINT startIndex, bool indexed);
    // Fills or reads a drawable surface through the pipeline's scratch framebuffer.
    void fillDrawable(Surface& surface, const PixelRect& rect, D3DCOLOR color);

    ULONG references_ = 1;
    IDirect3D9* direct3D_;
    D3DDEVTYPE type_;
    std::unique_ptr<GL::Context> context_;
    GL::StateShadow shadow_;
    GL::ProgramCache programs_;
    GL::Framebuffer framebuffer_;
    std::unique_ptr<SwapChain> implicitChain_;
    std::vector<SwapChain*> chains_;
    uint64_t presentSequence_ = 0;

    Surface* renderTarget_ = nullptr;
    Surface* depthStencil_ = nullptr;
    D3DVIEWPORT9 viewport_ = {};
    RECT scissor_ = {};
    std::array<DWORD, maxRenderState> renderStates_ = {};
    float clipPlanes_[maxClipPlanes][4] = {};
    std::array<IDirect3DBaseTexture9*, maxTextureStages> textures_ = {};
    struct Stream {
        IDirect3DVertexBuffer9* buffer = nullptr;
        UINT offset = 0;
        UINT stride = 0;
    };
    std::array<Stream, maxStreams> streams_ = {};
    IDirect3DIndexBuffer9* indices_ = nullptr;
    IDirect3DVertexDeclaration9* declaration_ = nullptr;
    IDirect3DVertexShader9* vertexShader_ = nullptr;
    IDirect3DPixelShader9* pixelShader_ = nullptr;
    std::vector<std::array<float, 4>> vertexConstants_;
    std::vector<std::array<float, 4>> pixelConstants_;
    bool inScene_ = false;
    bool endedUnsubmitted_ = false;
    std::unique_ptr<Pipeline> pipeline_;
};

} // namespace D3D9
