#pragma once

#include "Libs/Core/APICore.h"
#include "Platform/D3D9/d3d9.h"

namespace Vostrel {
namespace Core {

class DXRenderWindow;

// The rendering interface over Direct3D 9. The Direct3D object, the device,
// the main window and the capabilities live in program-wide storage, so the
// Direct3D resource classes reach the device without holding the core.
class DXCore : public APICore {
public:
    // The windowless default core: its main window gets no device.
    DXCore();
    explicit DXCore(const WindowParameters& parameters);
    ~DXCore() override;

    // Makes DXCore the implementation APICore builds its instance from.
    static void install();

    void setPixelShader(PixelShader* shader) override;
    void setVertexShader(VertexShader* shader) override;
    void setIndexStream(IndexStream* stream) override;
    void setPixelShaderConstants(ConstantSet* constants) override;
    void setVertexShaderConstants(ConstantSet* constants) override;
    void setTextures(TextureSet* textures) override;
    void setVertexStreams(StreamSet* streams, VertexFormat* format) override;
    void setStencilState(StencilState* state) override;
    void setBlendState(BlendState* state) override;
    void setDepthState(DepthState* state) override;
    void setAlphaTestState(AlphaTestState* state) override;
    void setAuxState(AuxState* state) override;
    void setClipState(ClipState* state) override;
    void setColorWriteState(ColorWriteState* state) override;
    void setFillState(FillState* state) override;
    void setCullState(CullState* state) override;
    void drawPrimitives(PrimitiveType type, int firstVertex, int primitiveCount) override;
    void drawIndexedPrimitives(PrimitiveType type, int lowestVertexIndex, int vertexCount, int firstIndex,
                               int primitiveCount) override;
    void clearTarget(int flags, const Vec4& color, float depth, int stencil) override;
    void clearViewport(int flags, const Vec4& color, float depth, int stencil) override;
    VertexFormat* createVertexFormat(int elementCount, const VertexElement* elements) override;
    VertexStream* createVertexStream(int size, int stride, int usage) override;
    IndexStream* createIndexStream(int size, IndexStreamType type, int usage) override;
    RenderWindow* createRenderWindow(const WindowParameters& parameters) override;
    RenderTarget* createRenderCanvas(NativeWindowHandle window) override;
    VertexShader* createVertexShader(const ShaderProgram& program) override;
    PixelShader* createPixelShader(const ShaderProgram& program) override;
    Texture* createTexture(const TextureParameters& parameters) override;
    int reservedQuery() override;
    bool flipsProjectionY() override;
    float getMinimumClipDepth() override;
    bool canCreateRenderWindow(const WindowParameters& parameters) override;

    static IDirect3DDevice9* getDevice();
    static const D3DCAPS9& getCaps();
    static DXRenderWindow* getRenderWindow();

    // The device viewport from fractions of the current target's size.
    static void setDeviceViewport(float x, float y, float width, float height);
    // The full-screen display mode for the parameters' size.
    static D3DDISPLAYMODE enumerateModes(const WindowParameters& parameters);
    // Makes a window a render target: a swap chain (kept when given, for a
    // full-screen window) and a depth/stencil surface of its back buffer's size.
    static void createNewTarget(HWND window, const WindowParameters& parameters, IDirect3DSwapChain9*& swapChain,
                                IDirect3DSurface9*& depthStencil);
    // Four floats as A8R8G8B8, each channel rounded.
    static D3DCOLOR packColor(const Vec4& color);
    // The multisample type of a requested count: 2..16, else none.
    static D3DMULTISAMPLE_TYPE multisampleType(int count);

private:
    void construct(const WindowParameters& parameters, bool complete);
    static IDirect3DDevice9* createDevice(HWND window, const WindowParameters& parameters);
    static void releaseAll();
    void setRenderState(D3DRENDERSTATETYPE state, DWORD value);
};

} // namespace Core
} // namespace Vostrel
