#include "Libs/Core/DirectX/DXCore.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXIndexStream.h"
#include "Libs/Core/DirectX/DXPixelShader.h"
#include "Libs/Core/DirectX/DXRenderCanvas.h"
#include "Libs/Core/DirectX/DXRenderWindow.h"
#include "Libs/Core/DirectX/DXShaderGen.h"
#include "Libs/Core/DirectX/DXStateValues.h"
#include "Libs/Core/DirectX/DXTexture.h"
#include "Libs/Core/DirectX/DXVertexFormat.h"
#include "Libs/Core/DirectX/DXVertexShader.h"
#include "Libs/Core/DirectX/DXVertexStream.h"
#include "Libs/Core/IndexStream.h"
#include "Libs/Core/PixelShader.h"
#include "Libs/Core/StateBlocks.h"
#include "Libs/Core/Texture.h"
#include "Libs/Core/VertexFormat.h"
#include "Libs/Core/VertexShader.h"
#include "Libs/Core/VertexStream.h"

#include <cstring>
#include <iostream>
#include <memory>
#include <vector>

namespace Vostrel {
namespace Core {

namespace {

// The device layer's program-wide storage.
struct DeviceStorage {
    bool instance = false;
    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
    DXRenderWindow* mainWindow = nullptr;
    IDirect3DSwapChain9* deviceSwapChain = nullptr;
    // The device's own chain went to the main window (full screen), which
    // releases it; otherwise the core does.
    bool swapChainHandedOver = false;
    bool fullscreen = false;
    D3DCAPS9 caps = {};
};

DeviceStorage storage;

DWORD floatBits(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

APICore* makeCore(const WindowParameters* parameters, RenderWindow** mainWindow)
{
    APICore* core = parameters ? new DXCore(*parameters) : new DXCore();
    *mainWindow = DXCore::getRenderWindow();
    return core;
}

} // namespace

void DXCore::install()
{
    APICore::registerImplementation(&makeCore);
}

DXCore::DXCore()
{
    construct(WindowParameters(), false);
}

DXCore::DXCore(const WindowParameters& parameters)
{
    construct(parameters, true);
}

void DXCore::construct(const WindowParameters& parameters, bool complete)
{
    if (storage.instance)
        VOSTREL_THROW("Only one instance of DXCore allowed!");
    try {
        storage.direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        if (!storage.direct3D)
            VOSTREL_THROW("DXCore: Failed to create D3D9.");
        if (FAILED(storage.direct3D->GetDeviceCaps(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, &storage.caps)))
            VOSTREL_THROW("DXCore: Failed to get D3D capabilities.");
        if (complete)
            storage.fullscreen = parameters.fullscreen;
        storage.mainWindow = new DXRenderWindow(parameters);
        createDevice(storage.mainWindow->getHandle(), parameters);
        if (complete) {
            IDirect3DSwapChain9* swapChain = storage.deviceSwapChain;
            IDirect3DSurface9* depthStencil = nullptr;
            createNewTarget(storage.mainWindow->getHandle(), parameters, swapChain, depthStencil);
            storage.swapChainHandedOver = swapChain == storage.deviceSwapChain;
            storage.mainWindow->setTarget(storage.device, swapChain, depthStencil);
        }
        setRenderState(D3DRS_POINTSIZE_MAX, floatBits(256.0f));
        setRenderState(D3DRS_POINTSIZE_MIN, floatBits(0.5f));
        storage.instance = true;
    } catch (...) {
        // Nothing stays behind, and the window's destructor gives the
        // desktop its display mode back.
        releaseAll();
        throw;
    }
}

void DXCore::releaseAll()
{
    delete storage.mainWindow;
    storage.mainWindow = nullptr;
    if (storage.deviceSwapChain && !storage.swapChainHandedOver)
        storage.deviceSwapChain->Release();
    if (storage.device)
        storage.device->Release();
    if (storage.direct3D)
        storage.direct3D->Release();
    storage = DeviceStorage();
}

DXCore::~DXCore()
{
    if (!storage.instance)
        return;
    delete storage.mainWindow;
    storage.mainWindow = nullptr;
    IDirect3DDevice9* device = storage.device;
    device->SetStreamSource(0, nullptr, 0, 0);
    device->SetIndices(nullptr);
    device->SetVertexShader(nullptr);
    device->SetPixelShader(nullptr);
    if (storage.deviceSwapChain && !storage.swapChainHandedOver)
        storage.deviceSwapChain->Release();
    ULONG references = device->Release();
    if (references)
        std::cerr << "warning: renderer went down but Direct3DDevice is still referenced (refs=" << references
                  << ")" << std::endl;
    references = storage.direct3D->Release();
    if (references)
        std::cerr << "warning: d3d went down but Direct3D is still referenced (refs=" << references << ")"
                  << std::endl;
    storage = DeviceStorage();
}

IDirect3DDevice9* DXCore::getDevice()
{
    if (!storage.device)
        VOSTREL_THROW("DXCore internal error, IDirect3DDevice9 is null!");
    return storage.device;
}

const D3DCAPS9& DXCore::getCaps()
{
    return storage.caps;
}

DXRenderWindow* DXCore::getRenderWindow()
{
    return storage.mainWindow;
}

D3DMULTISAMPLE_TYPE DXCore::multisampleType(int count)
{
    return count >= 2 && count <= 16 ? static_cast<D3DMULTISAMPLE_TYPE>(count) : D3DMULTISAMPLE_NONE;
}

IDirect3DDevice9* DXCore::createDevice(HWND window, const WindowParameters& parameters)
{
    const D3DCAPS9& caps = storage.caps;
    DWORD vertexVersion = caps.VertexShaderVersion & 0xFFFF;
    DWORD pixelVersion = caps.PixelShaderVersion & 0xFFFF;
    bool goodEnough = vertexVersion >= 0x200 && pixelVersion >= 0x200;

    D3DDISPLAYMODE current;
    if (FAILED(storage.direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &current)))
        VOSTREL_THROW("DXCore: Failed to get current display mode.");

    D3DPRESENT_PARAMETERS presentation;
    std::memset(&presentation, 0, sizeof(presentation));
    if (!parameters.fullscreen) {
        presentation.BackBufferWidth = 1;
        presentation.BackBufferHeight = 1;
        presentation.BackBufferFormat = current.Format;
        presentation.Windowed = TRUE;
    } else {
        D3DDISPLAYMODE mode = enumerateModes(parameters);
        presentation.BackBufferWidth = mode.Width;
        presentation.BackBufferHeight = mode.Height;
        presentation.BackBufferFormat = mode.Format;
        presentation.BackBufferCount = 3;
        presentation.FullScreen_RefreshRateInHz = mode.RefreshRate;
        presentation.Windowed = FALSE;
    }
    presentation.MultiSampleType = multisampleType(parameters.multisample);
    presentation.MultiSampleQuality = 0;
    presentation.SwapEffect = D3DSWAPEFFECT_DISCARD;
    presentation.hDeviceWindow = window;
    presentation.EnableAutoDepthStencil = FALSE;
    presentation.PresentationInterval = parameters.vSync ? D3DPRESENT_INTERVAL_DEFAULT : D3DPRESENT_INTERVAL_IMMEDIATE;

    IDirect3DDevice9* device = nullptr;
    HRESULT result = E_FAIL;
    if (goodEnough) {
        D3DPRESENT_PARAMETERS hardware = presentation;
        result = storage.direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                                D3DCREATE_HARDWARE_VERTEXPROCESSING, &hardware, &device);
    }
    if (!goodEnough || FAILED(result)) {
        D3DPRESENT_PARAMETERS reference = presentation;
        result = storage.direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_REF, window,
                                                D3DCREATE_SOFTWARE_VERTEXPROCESSING, &reference, &device);
        if (FAILED(result))
            VOSTREL_THROW("DXCore: Failed to create D3D9 Device.");
        std::cout << "WARNING: HAL vertex shader version: " << std::hex << vertexVersion << "\n"
                  << "WARNING: HAL pixel shader version: " << pixelVersion << std::dec << "\n"
                  << "WARNING: Using Software Vertex Processing." << std::endl;
    }
    storage.device = device;
    device->GetSwapChain(0, &storage.deviceSwapChain);
    return device;
}

D3DDISPLAYMODE DXCore::enumerateModes(const WindowParameters& parameters)
{
    IDirect3D9* direct3D = storage.direct3D;
    UINT count = direct3D->GetAdapterModeCount(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8);
    if (count == 0)
        VOSTREL_THROW("DXCore: No X8R8G8B8 display modes available.");
    std::vector<D3DDISPLAYMODE> matching;
    for (UINT i = 0; i < count; ++i) {
        D3DDISPLAYMODE mode;
        if (SUCCEEDED(direct3D->EnumAdapterModes(D3DADAPTER_DEFAULT, D3DFMT_X8R8G8B8, i, &mode)) &&
            static_cast<int>(mode.Width) == parameters.width && static_cast<int>(mode.Height) == parameters.height)
            matching.push_back(mode);
    }
    if (matching.empty())
        VOSTREL_THROW("DXCore: Accelerated " << parameters.width << "x" << parameters.height
                                             << " X8R8G8B8 display modes not supported.");
    const D3DDISPLAYMODE* best = nullptr;
    for (const D3DDISPLAYMODE& mode : matching) {
        if (mode.RefreshRate >= 1 && mode.RefreshRate <= 99 && (!best || mode.RefreshRate > best->RefreshRate))
            best = &mode;
    }
    return best ? *best : matching.front();
}

void DXCore::createNewTarget(HWND window, const WindowParameters& parameters, IDirect3DSwapChain9*& swapChain,
                             IDirect3DSurface9*& depthStencil)
{
    IDirect3DDevice9* device = storage.device;
    if (!device)
        VOSTREL_THROW("DXCore: Device not initialized in createNewTarget!");
    D3DMULTISAMPLE_TYPE multisample = multisampleType(parameters.multisample);
    if (!parameters.fullscreen) {
        D3DDISPLAYMODE current;
        if (FAILED(storage.direct3D->GetAdapterDisplayMode(D3DADAPTER_DEFAULT, &current)))
            VOSTREL_THROW("DXCore: Failed to get current display mode.");
        D3DPRESENT_PARAMETERS presentation;
        std::memset(&presentation, 0, sizeof(presentation));
        presentation.BackBufferWidth = 1;
        presentation.BackBufferHeight = 1;
        presentation.BackBufferFormat = current.Format;
        presentation.BackBufferCount = 1;
        presentation.MultiSampleType = multisample;
        presentation.MultiSampleQuality = 0;
        presentation.SwapEffect = D3DSWAPEFFECT_DISCARD;
        presentation.hDeviceWindow = window;
        presentation.Windowed = TRUE;
        presentation.EnableAutoDepthStencil = FALSE;
        presentation.AutoDepthStencilFormat = D3DFMT_D24S8;
        presentation.PresentationInterval =
            parameters.vSync ? D3DPRESENT_INTERVAL_DEFAULT : D3DPRESENT_INTERVAL_IMMEDIATE;
        HRESULT result = device->CreateAdditionalSwapChain(&presentation, &swapChain);
        if (FAILED(result))
            VOSTREL_THROW("DXCore: Failed to get additional swap chain from D3D device, result = " << result);
    }
    D3DSURFACE_DESC description = describeBackBuffer(swapChain);
    if (FAILED(device->CreateDepthStencilSurface(description.Width, description.Height, D3DFMT_D24S8, multisample, 0,
                                                 FALSE, &depthStencil, nullptr))) {
        if (!parameters.fullscreen)
            swapChain->Release();
        VOSTREL_THROW("DXCore: Failed to create depth/stencil surface.");
    }
}

D3DCOLOR DXCore::packColor(const Vec4& color)
{
    auto channel = [](float value) { return static_cast<DWORD>(static_cast<int>(value * 255.0f + 0.5f)); };
    return (channel(color[3]) << 24) | ((channel(color[0]) & 0xFF) << 16) | ((channel(color[1]) & 0xFF) << 8) |
           (channel(color[2]) & 0xFF);
}

void DXCore::setDeviceViewport(float x, float y, float width, float height)
{
    RenderTarget* target = RenderTarget::getCurrentTarget();
    if (!target)
        return;
    float targetWidth = static_cast<float>(target->getWidth());
    float targetHeight = static_cast<float>(target->getHeight());
    D3DVIEWPORT9 viewport;
    viewport.X = static_cast<DWORD>(static_cast<int>(targetWidth * x));
    viewport.Y = static_cast<DWORD>(static_cast<int>(targetHeight * y));
    viewport.Width = static_cast<DWORD>(static_cast<int>(targetWidth * width));
    viewport.Height = static_cast<DWORD>(static_cast<int>(targetHeight * height));
    viewport.MinZ = 0.0f;
    viewport.MaxZ = 1.0f;
    getDevice()->SetViewport(&viewport);
}

void DXCore::setRenderState(D3DRENDERSTATETYPE state, DWORD value)
{
    getDevice()->SetRenderState(state, value);
}

void DXCore::setPixelShader(PixelShader* shader)
{
    if (shader == currentPixelShader)
        return;
    currentPixelShader = shader;
    if (shader)
        shader->bind();
    else
        getDevice()->SetPixelShader(nullptr);
}

void DXCore::setVertexShader(VertexShader* shader)
{
    if (shader == currentVertexShader)
        return;
    currentVertexShader = shader;
    if (shader)
        shader->bind();
    else
        getDevice()->SetVertexShader(nullptr);
}

void DXCore::setIndexStream(IndexStream* stream)
{
    currentIndexStream = stream;
    if (stream)
        stream->bind();
    else
        getDevice()->SetIndices(nullptr);
}

void DXCore::setPixelShaderConstants(ConstantSet* constants)
{
    currentPixelConstants = constants;
    if (constants && constants->count != 0)
        getDevice()->SetPixelShaderConstantF(0, constants->getValues(), static_cast<UINT>(constants->count));
}

void DXCore::setVertexShaderConstants(ConstantSet* constants)
{
    currentVertexConstants = constants;
    if (constants && constants->count != 0)
        getDevice()->SetVertexShaderConstantF(0, constants->getValues(), static_cast<UINT>(constants->count));
}

void DXCore::setTextures(TextureSet* textures)
{
    if (textures && textures == currentTextureSet && !textures->dirty)
        return;
    IDirect3DDevice9* device = getDevice();
    if (textures)
        textures->dirty = false;
    int count = textures ? textures->count : 0;
    int before = recordTextures(textures);
    for (int stage = count; stage < before; ++stage)
        device->SetTexture(static_cast<DWORD>(stage), nullptr);
    for (int stage = 0; stage < count; ++stage) {
        if (Texture* texture = textures->textures[stage])
            texture->bind(stage);
        else
            device->SetTexture(static_cast<DWORD>(stage), nullptr);
    }
}

void DXCore::setVertexStreams(StreamSet* streams, VertexFormat* format)
{
    IDirect3DDevice9* device = getDevice();
    int count = streams ? streams->count : 0;
    int before = recordVertexStreams(streams, format);
    if (format)
        format->bind();
    for (int slot = count; slot < before; ++slot)
        device->SetStreamSource(static_cast<UINT>(slot), nullptr, 0, 0);
    for (int slot = 0; slot < count; ++slot) {
        if (VertexStream* stream = streams->streams[slot])
            stream->bind(slot);
        else
            device->SetStreamSource(static_cast<UINT>(slot), nullptr, 0, 0);
    }
}

void DXCore::setStencilState(StencilState* state)
{
    currentStencilState = state;
    if (!state->enabled) {
        setRenderState(D3DRS_STENCILENABLE, FALSE);
        return;
    }
    setRenderState(D3DRS_STENCILENABLE, TRUE);
    setRenderState(D3DRS_STENCILFAIL, toD3DStencilOperation(state->fail));
    setRenderState(D3DRS_STENCILZFAIL, toD3DStencilOperation(state->depthFail));
    setRenderState(D3DRS_STENCILPASS, toD3DStencilOperation(state->pass));
    setRenderState(D3DRS_STENCILFUNC, toD3DCompareFunction(state->function));
    setRenderState(D3DRS_STENCILREF, static_cast<DWORD>(state->reference));
    setRenderState(D3DRS_STENCILMASK, static_cast<DWORD>(state->readMask));
    setRenderState(D3DRS_STENCILWRITEMASK, static_cast<DWORD>(state->writeMask));
}

void DXCore::setBlendState(BlendState* state)
{
    currentBlendState = state;
    if (!state->enabled) {
        setRenderState(D3DRS_ALPHABLENDENABLE, FALSE);
        return;
    }
    setRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    setRenderState(D3DRS_SRCBLEND, toD3DBlendMode(state->source));
    setRenderState(D3DRS_DESTBLEND, toD3DBlendMode(state->destination));
    setRenderState(D3DRS_BLENDOP, toD3DBlendOperation(state->operation));
    setRenderState(D3DRS_BLENDFACTOR, packColor(state->factor));
}

void DXCore::setDepthState(DepthState* state)
{
    currentDepthState = state;
    if (!state->testEnabled) {
        setRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
        return;
    }
    setRenderState(D3DRS_ZENABLE, D3DZB_TRUE);
    setRenderState(D3DRS_ZWRITEENABLE, state->writeEnabled ? TRUE : FALSE);
    setRenderState(D3DRS_ZFUNC, toD3DCompareFunction(state->function));
    setRenderState(D3DRS_DEPTHBIAS, floatBits(state->bias));
    setRenderState(D3DRS_SLOPESCALEDEPTHBIAS, floatBits(state->slopeScaledBias));
}

void DXCore::setAlphaTestState(AlphaTestState* state)
{
    currentAlphaTestState = state;
    if (!state->enabled) {
        setRenderState(D3DRS_ALPHATESTENABLE, FALSE);
        return;
    }
    setRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    setRenderState(D3DRS_ALPHAFUNC, toD3DCompareFunction(state->function));
    setRenderState(D3DRS_ALPHAREF, static_cast<DWORD>(static_cast<int>(state->reference * 255.0f + 0.5f)));
}

void DXCore::setAuxState(AuxState* state)
{
    currentAuxState = state;
}

void DXCore::setClipState(ClipState* state)
{
    currentClipState = state;
    IDirect3DDevice9* device = getDevice();
    RenderTarget* target = RenderTarget::getCurrentTarget();
    if (state->scissorEnabled && target) {
        float viewportX, viewportY, viewportWidth, viewportHeight;
        target->getViewport(viewportX, viewportY, viewportWidth, viewportHeight);
        float width = static_cast<float>(target->getWidth());
        float height = static_cast<float>(target->getHeight());
        RECT rect;
        rect.left = static_cast<LONG>((viewportWidth * state->scissorX + viewportX) * width);
        rect.top = static_cast<LONG>((viewportHeight * state->scissorY + viewportY) * height);
        rect.right = static_cast<LONG>(((state->scissorX + state->scissorWidth) * viewportWidth + viewportX) * width);
        rect.bottom =
            static_cast<LONG>(((state->scissorY + state->scissorHeight) * viewportHeight + viewportY) * height);
        device->SetScissorRect(&rect);
        setRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
    } else {
        setRenderState(D3DRS_SCISSORTESTENABLE, FALSE);
    }
    if (!state->planesEnabled) {
        setRenderState(D3DRS_CLIPPLANEENABLE, 0);
        return;
    }
    int count = state->planeCount;
    setRenderState(D3DRS_CLIPPLANEENABLE, (1u << count) - 1);
    for (int i = 0; i < count; ++i)
        device->SetClipPlane(static_cast<DWORD>(i), state->planes + 4 * i);
}

void DXCore::setColorWriteState(ColorWriteState* state)
{
    currentColorWriteState = state;
    setRenderState(D3DRS_COLORWRITEENABLE, state->enabled ? 15 : 0);
}

void DXCore::setFillState(FillState* state)
{
    currentFillState = state;
    setRenderState(D3DRS_FILLMODE, toD3DFillMode(state->mode));
    setRenderState(D3DRS_POINTSPRITEENABLE, state->pointSprite ? TRUE : FALSE);
}

void DXCore::setCullState(CullState* state)
{
    currentCullState = state;
    setRenderState(D3DRS_CULLMODE, toD3DCullMode(state->mode));
}

void DXCore::drawPrimitives(PrimitiveType type, int firstVertex, int primitiveCount)
{
    getDevice()->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(toD3DPrimitiveType(type)),
                               static_cast<UINT>(firstVertex), static_cast<UINT>(primitiveCount));
}

void DXCore::drawIndexedPrimitives(PrimitiveType type, int lowestVertexIndex, int vertexCount, int firstIndex,
                                   int primitiveCount)
{
    if (vertexCount <= 0 || primitiveCount <= 0)
        return;
    getDevice()->DrawIndexedPrimitive(static_cast<D3DPRIMITIVETYPE>(toD3DPrimitiveType(type)), 0,
                                      static_cast<UINT>(lowestVertexIndex), static_cast<UINT>(vertexCount),
                                      static_cast<UINT>(firstIndex), static_cast<UINT>(primitiveCount));
}

void DXCore::clearTarget(int flags, const Vec4& color, float depth, int stencil)
{
    IDirect3DDevice9* device = getDevice();
    D3DVIEWPORT9 saved;
    device->GetViewport(&saved);
    setDeviceViewport(0.0f, 0.0f, 1.0f, 1.0f);
    clearViewport(flags, color, depth, stencil);
    device->SetViewport(&saved);
}

void DXCore::clearViewport(int flags, const Vec4& color, float depth, int stencil)
{
    DWORD d3dFlags = ((flags & CLEAR_COLOR) ? D3DCLEAR_TARGET : 0) | ((flags & CLEAR_DEPTH) ? D3DCLEAR_ZBUFFER : 0) |
                     ((flags & CLEAR_STENCIL) ? D3DCLEAR_STENCIL : 0);
    getDevice()->Clear(0, nullptr, d3dFlags, packColor(color), depth, static_cast<DWORD>(stencil));
}

VertexFormat* DXCore::createVertexFormat(int elementCount, const VertexElement* elements)
{
    return new DXVertexFormat(elementCount, elements);
}

VertexStream* DXCore::createVertexStream(int size, int stride, int usage)
{
    return new DXVertexStream(size, stride, usage);
}

IndexStream* DXCore::createIndexStream(int size, IndexStreamType type, int usage)
{
    return new DXIndexStream(size, type, usage);
}

VertexShader* DXCore::createVertexShader(const ShaderProgram& program)
{
    return new DXVertexShader(DXShaderGen::generate(program, DXShaderGen::VERTEX_STAGE));
}

PixelShader* DXCore::createPixelShader(const ShaderProgram& program)
{
    return new DXPixelShader(DXShaderGen::generate(program, DXShaderGen::PIXEL_STAGE));
}

Texture* DXCore::createTexture(const TextureParameters& parameters)
{
    return DXTextureFactory::getInstance()->createTexture(parameters);
}

RenderWindow* DXCore::createRenderWindow(const WindowParameters& parameters)
{
    if (storage.fullscreen)
        VOSTREL_THROW("DXCore: Executing in fullscreen mode -> createRenderWindow cannot be called.");
    // A full-screen window needs the device's own swap chain, which belongs
    // to the main window.
    if (parameters.fullscreen)
        VOSTREL_THROW("DXCore: createRenderWindow cannot make a fullscreen window next to the main window.");
    auto window = std::make_unique<DXRenderWindow>(parameters);
    IDirect3DSwapChain9* swapChain = nullptr;
    IDirect3DSurface9* depthStencil = nullptr;
    createNewTarget(window->getHandle(), parameters, swapChain, depthStencil);
    window->setTarget(getDevice(), swapChain, depthStencil);
    return window.release(); // the caller owns the window from here
}

RenderTarget* DXCore::createRenderCanvas(NativeWindowHandle handle)
{
    auto canvas = std::make_unique<DXRenderCanvas>(static_cast<HWND>(handle));
    IDirect3DSwapChain9* swapChain = nullptr;
    IDirect3DSurface9* depthStencil = nullptr;
    createNewTarget(static_cast<HWND>(handle), WindowParameters(), swapChain, depthStencil);
    canvas->setTarget(getDevice(), swapChain, depthStencil);
    return canvas.release();
}

int DXCore::reservedQuery()
{
    return 0;
}

bool DXCore::flipsProjectionY()
{
    return false;
}

float DXCore::getMinimumClipDepth()
{
    return 0.0f;
}

bool DXCore::canCreateRenderWindow(const WindowParameters& parameters)
{
    try {
        const std::unique_ptr<RenderWindow> trial(createRenderWindow(parameters));
        return true;
    } catch (...) {
        return false;
    }
}

} // namespace Core
} // namespace Vostrel
