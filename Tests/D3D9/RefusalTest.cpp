#include "Platform/D3D9/ShaderCode.h"
#include "Tests/D3D9/DeviceFixture.h"

#include <epoxy/gl.h>

#include <functional>

namespace {

// A device on the 64 x 48 window with a managed texture of a full chain, a
// render-target texture, a memory surface and a vertex buffer at hand.
class Refusals : public DeviceTest {
protected:
    void SetUp() override
    {
        DeviceTest::SetUp();
        ASSERT_EQ(device->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
        ASSERT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                        &renderTexture, nullptr),
                  D3D_OK);
        ASSERT_EQ(device->CreateOffscreenPlainSurface(8, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &memory, nullptr),
                  D3D_OK);
        ASSERT_EQ(device->CreateVertexBuffer(16, 0, 0, D3DPOOL_MANAGED, &buffer, nullptr), D3D_OK);
        ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &backBuffer), D3D_OK);
    }

    void TearDown() override
    {
        for (IUnknown* object : std::initializer_list<IUnknown*>{texture, renderTexture, memory, buffer, backBuffer})
            if (object)
                object->Release();
        DeviceTest::TearDown();
    }

    // A call made between two others, which undo what the first one did.
    static HRESULT between(const std::function<void()>& before, const std::function<HRESULT()>& call,
                           const std::function<void()>& after)
    {
        before();
        HRESULT result = call();
        after();
        return result;
    }

    IDirect3DTexture9* texture = nullptr;
    IDirect3DTexture9* renderTexture = nullptr;
    IDirect3DSurface9* memory = nullptr;
    IDirect3DVertexBuffer9* buffer = nullptr;
    IDirect3DSurface9* backBuffer = nullptr;
};

struct Refusal {
    const char* reason; // the call and the rule that refused it
    HRESULT result;
    std::function<HRESULT()> call;
};

TEST_F(Refusals, EachNamesTheRuleThatRefusedIt)
{
    D3DCAPS9 caps;
    D3DDISPLAYMODE mode;
    D3DLOCKED_RECT locked;
    void* data = nullptr;
    IDirect3DDevice9* other = nullptr;
    IDirect3DSurface9* surface = nullptr;
    IDirect3DTexture9* made = nullptr;
    IDirect3DVolumeTexture9* volume = nullptr;
    IDirect3DVertexBuffer9* vertices = nullptr;
    IDirect3DIndexBuffer9* indices = nullptr;
    IDirect3DVertexDeclaration9* declaration = nullptr;
    IDirect3DSwapChain9* chain = nullptr;
    IDirect3DVertexShader9* vertexShader = nullptr;
    IDirect3DPixelShader9* pixelShader = nullptr;
    D3DPRESENT_PARAMETERS parameters = windowedParameters(window);
    auto begin = [&] { device->BeginScene(); };
    auto end = [&] { device->EndScene(); };
    auto createTexture = [&](UINT size, UINT levels, DWORD usage, D3DFORMAT format, D3DPOOL pool) {
        return [=, &made] { return device->CreateTexture(size, size, levels, usage, format, pool, &made, nullptr); };
    };
    auto declare = [&](std::vector<D3DVERTEXELEMENT9> elements) {
        elements.push_back(D3DDECL_END());
        return [=, &declaration] { return device->CreateVertexDeclaration(elements.data(), &declaration); };
    };
    const std::vector<DWORD> vertexCode =
        D3D9::encodeShaderCode(D3D9::vertexShaderVersion, "vs_2_0\nmov oPos, c0\n");
    const std::vector<DWORD> pixelCode = D3D9::encodeShaderCode(D3D9::pixelShaderVersion, "ps_2_0\nmov oC0, c0\n");
    const RECT outside = {4, 0, 9, 4};
    const RECT empty = {4, 4, 4, 8};
    const D3DVIEWPORT9 tooWide = {40, 0, 40, 10, 0.0f, 1.0f};
    const float plane[4] = {0, 0, 1, 0};
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&depth), D3D_OK);

    const Refusal refusals[] = {
        {"GetDeviceCaps: no such adapter", D3DERR_INVALIDCALL,
         [&] { return direct3D->GetDeviceCaps(1, D3DDEVTYPE_HAL, &caps); }},
        {"EnumAdapterModes: no such mode", D3DERR_INVALIDCALL,
         [&] { return direct3D->EnumAdapterModes(0, D3DFMT_X8R8G8B8, 2, &mode); }},
        {"EnumAdapterModes: modes of X8R8G8B8 only", D3DERR_NOTAVAILABLE,
         [&] { return direct3D->EnumAdapterModes(0, D3DFMT_A8R8G8B8, 0, &mode); }},
        {"CreateDevice: not exactly one kind of vertex processing", D3DERR_INVALIDCALL,
         [&] {
             return direct3D->CreateDevice(0, D3DDEVTYPE_REF, window,
                                           D3DCREATE_SOFTWARE_VERTEXPROCESSING | D3DCREATE_HARDWARE_VERTEXPROCESSING,
                                           &parameters, &other);
         }},
        {"CreateDevice: the HAL device is switched off", D3DERR_NOTAVAILABLE,
         [&] {
             return between([] { D3D9Testing::setHalDeviceFails(true); },
                            [&] {
                                return direct3D->CreateDevice(0, D3DDEVTYPE_HAL, window,
                                                              D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &other);
                            },
                            [] { D3D9Testing::setHalDeviceFails(false); });
         }},

        {"CreateRenderTarget: zero width or height", D3DERR_INVALIDCALL,
         [&] { return device->CreateRenderTarget(0, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &surface, nullptr); }},
        {"CreateRenderTarget: lockable", D3DERR_INVALIDCALL,
         [&] { return device->CreateRenderTarget(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, TRUE, &surface, nullptr); }},
        {"CreateRenderTarget: not a colour format", D3DERR_INVALIDCALL,
         [&] { return device->CreateRenderTarget(8, 8, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &surface, nullptr); }},
        {"CreateDepthStencilSurface: not a depth format", D3DERR_INVALIDCALL,
         [&] {
             return device->CreateDepthStencilSurface(8, 8, D3DFMT_A8R8G8B8, D3DMULTISAMPLE_NONE, 0, FALSE, &surface,
                                                      nullptr);
         }},
        {"CreateOffscreenPlainSurface: managed pool", D3DERR_INVALIDCALL,
         [&] { return device->CreateOffscreenPlainSurface(8, 8, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &surface, nullptr); }},
        {"GetFrontBufferData: not the display mode's size", D3DERR_INVALIDCALL,
         [&] { return device->GetFrontBufferData(0, memory); }},
        {"GetFrontBufferData: not a memory surface", D3DERR_INVALIDCALL,
         [&] { return device->GetFrontBufferData(0, nullptr); }},

        {"LockRect: render targets and depth buffers are not lockable", D3DERR_INVALIDCALL,
         [&] { return backBuffer->LockRect(&locked, nullptr, 0); }},
        {"LockRect: already locked", D3DERR_INVALIDCALL,
         [&] {
             return between([&] { memory->LockRect(&locked, nullptr, 0); },
                            [&] { return memory->LockRect(&locked, nullptr, 0); }, [&] { memory->UnlockRect(); });
         }},
        {"LockRect: region outside the level", D3DERR_INVALIDCALL,
         [&] { return memory->LockRect(&locked, &outside, 0); }},

        {"Clear: nothing to clear", D3DERR_INVALIDCALL, [&] { return device->Clear(0, nullptr, 0, 0, 1.0f, 0); }},
        {"Clear: a rectangle count without rectangles", D3DERR_INVALIDCALL,
         [&] { return device->Clear(1, nullptr, D3DCLEAR_TARGET, 0, 1.0f, 0); }},
        {"Clear: depth or stencil without a depth/stencil surface", D3DERR_INVALIDCALL,
         [&] {
             return between([&] { device->SetDepthStencilSurface(nullptr); },
                            [&] { return device->Clear(0, nullptr, D3DCLEAR_ZBUFFER, 0, 1.0f, 0); },
                            [&] { device->SetDepthStencilSurface(depth); });
         }},
        {"SetViewport: outside the render target", D3DERR_INVALIDCALL, [&] { return device->SetViewport(&tooWide); }},
        {"SetClipPlane: no clip plane 6", D3DERR_INVALIDCALL, [&] { return device->SetClipPlane(6, plane); }},
        {"SetRenderState: unknown render state 3", D3DERR_INVALIDCALL,
         [&] { return device->SetRenderState(static_cast<D3DRENDERSTATETYPE>(3), 0); }},
        {"SetRenderState: unknown D3DRS_ZFUNC value 9", D3DERR_INVALIDCALL,
         [&] { return device->SetRenderState(D3DRS_ZFUNC, 9); }},
        {"SetRenderState: unknown D3DRS_DESTBLEND value 0", D3DERR_INVALIDCALL,
         [&] { return device->SetRenderState(D3DRS_DESTBLEND, 0); }},
        {"SetSamplerState: unknown D3DSAMP_ADDRESSU value 6", D3DERR_INVALIDCALL,
         [&] { return device->SetSamplerState(0, D3DSAMP_ADDRESSU, 6); }},
        {"SetSamplerState: unknown D3DSAMP_MIPFILTER value 6", D3DERR_INVALIDCALL,
         [&] { return device->SetSamplerState(1, D3DSAMP_MIPFILTER, D3DTEXF_PYRAMIDALQUAD); }},

        {"DrawPrimitive: not in a scene", D3DERR_INVALIDCALL,
         [&] { return device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1); }},
        {"BeginScene: already in a scene", D3DERR_INVALIDCALL,
         [&] { return between(begin, [&] { return device->BeginScene(); }, end); }},
        {"EndScene: not in a scene", D3DERR_INVALIDCALL, [&] { return device->EndScene(); }},
        {"DrawIndexedPrimitive: no index buffer", D3DERR_INVALIDCALL,
         [&] {
             return between(begin, [&] { return device->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0, 0, 3, 0, 1); },
                            end);
         }},
        {"DrawPrimitive: unknown primitive type or too many primitives", D3DERR_INVALIDCALL,
         [&] {
             return between(begin, [&] { return device->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(7), 0, 1); },
                            end);
         }},
        {"DrawPrimitive: no vertex declaration", D3DERR_INVALIDCALL,
         [&] { return between(begin, [&] { return device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 1); }, end); }},

        {"Lock: range past the end", D3DERR_INVALIDCALL, [&] { return buffer->Lock(12, 8, &data, 0); }},
        {"Lock: range past the end", D3DERR_INVALIDCALL, [&] { return buffer->Lock(17, 0, &data, 0); }},
        {"Lock: range past the end", D3DERR_INVALIDCALL, [&] { return buffer->Lock(0xFFFFFFF0u, 0x20, &data, 0); }},
        {"Unlock: not locked", D3DERR_INVALIDCALL, [&] { return buffer->Unlock(); }},
        {"CreateIndexBuffer: not an index format", D3DERR_INVALIDCALL,
         [&] { return device->CreateIndexBuffer(8, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &indices, nullptr); }},
        {"CreateVertexBuffer: dynamic and managed", D3DERR_INVALIDCALL,
         [&] { return device->CreateVertexBuffer(8, D3DUSAGE_DYNAMIC, 0, D3DPOOL_MANAGED, &vertices, nullptr); }},
        {"CreateVertexBuffer: larger than 256 MB", E_OUTOFMEMORY,
         [&] { return device->CreateVertexBuffer(0x40000000u, 0, 0, D3DPOOL_MANAGED, &vertices, nullptr); }},
        {"CreateVertexDeclaration: element 1: usage and index repeat", D3DERR_INVALIDCALL,
         declare({{0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 1},
                  {0, 12, D3DDECLTYPE_FLOAT1, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 1}})},
        {"CreateVertexDeclaration: element 0: unknown type 40", D3DERR_INVALIDCALL,
         declare({{0, 0, 40, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0}})},

        {"CreateTexture: unknown format", D3DERR_INVALIDCALL,
         createTexture(16, 1, 0, D3DFMT_R8G8B8, D3DPOOL_MANAGED)},
        {"CreateTexture: zero size", D3DERR_INVALIDCALL, createTexture(0, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)},
        {"CreateTexture: larger than 8192 on a side", D3DERR_INVALIDCALL,
         createTexture(8193, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)},
        {"CreateTexture: more levels than the mip chain has", D3DERR_INVALIDCALL,
         createTexture(16, 6, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)},
        {"CreateTexture: a dynamic render target", D3DERR_INVALIDCALL,
         createTexture(16, 1, D3DUSAGE_RENDERTARGET | D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT)},
        {"CreateTexture: a render target outside the default pool", D3DERR_INVALIDCALL,
         createTexture(16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)},
        {"CreateTexture: a render target of a format that cannot be drawn into", D3DERR_INVALIDCALL,
         createTexture(16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_L8, D3DPOOL_DEFAULT)},
        {"CreateTexture: dynamic and managed", D3DERR_INVALIDCALL,
         createTexture(16, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)},
        {"CreateTexture: automatic mipmaps with more than one level", D3DERR_INVALIDCALL,
         createTexture(16, 2, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED)},
        {"CreateTexture: larger than 512 MB", E_OUTOFMEMORY,
         createTexture(8192, 0, 0, D3DFMT_A32B32G32R32F, D3DPOOL_MANAGED)},
        {"CreateVolumeTexture: a volume render target", D3DERR_INVALIDCALL,
         [&] {
             return device->CreateVolumeTexture(4, 4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT,
                                                &volume, nullptr);
         }},
        {"CreateVolumeTexture: larger than 2048 on a side", D3DERR_INVALIDCALL,
         [&] {
             return device->CreateVolumeTexture(4, 4, 2049, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &volume, nullptr);
         }},
        {"LockRect: region outside the level", D3DERR_INVALIDCALL,
         [&] { return texture->LockRect(0, &locked, &outside, 0); }},
        {"LockRect: empty region", D3DERR_INVALIDCALL, [&] { return texture->LockRect(0, &locked, &empty, 0); }},
        {"LockRect: no such level", D3DERR_INVALIDCALL, [&] { return texture->LockRect(4, &locked, nullptr, 0); }},
        {"UnlockRect: not locked", D3DERR_INVALIDCALL, [&] { return texture->UnlockRect(0); }},
        {"LockRect: already locked", D3DERR_INVALIDCALL,
         [&] {
             return between([&] { texture->LockRect(3, &locked, nullptr, 0); },
                            [&] { return texture->LockRect(3, &locked, nullptr, 0); }, [&] { texture->UnlockRect(3); });
         }},
        {"LockRect: not lockable", D3DERR_INVALIDCALL, [&] { return renderTexture->LockRect(0, &locked, nullptr, 0); }},
        {"GetSurfaceLevel: no such level", D3DERR_INVALIDCALL, [&] { return texture->GetSurfaceLevel(4, &surface); }},

        {"CreatePixelShader: code of the other stage", D3DERR_INVALIDCALL,
         [&] { return device->CreatePixelShader(vertexCode.data(), &pixelShader); }},
        {"CreateVertexShader: code of the other stage", D3DERR_INVALIDCALL,
         [&] { return device->CreateVertexShader(pixelCode.data(), &vertexShader); }},

        {"CreateAdditionalSwapChain: unknown multisample type", D3DERR_INVALIDCALL,
         [&] {
             D3DPRESENT_PARAMETERS tooMany = windowedParameters(window, 8, 8);
             tooMany.MultiSampleType = static_cast<D3DMULTISAMPLE_TYPE>(17);
             return device->CreateAdditionalSwapChain(&tooMany, &chain);
         }},
        {"CreateAdditionalSwapChain: full screen on an additional chain", D3DERR_INVALIDCALL,
         [&] {
             D3DPRESENT_PARAMETERS fullScreen = windowedParameters(window);
             fullScreen.Windowed = FALSE;
             return device->CreateAdditionalSwapChain(&fullScreen, &chain);
         }},
        {"Present: rectangles without COPY", D3DERR_INVALIDCALL,
         [&] { return device->Present(&outside, nullptr, nullptr, nullptr); }},
    };
    for (const Refusal& refusal : refusals) {
        D3D9Testing::takeRefusal();
        EXPECT_EQ(refusal.call(), refusal.result) << refusal.reason;
        EXPECT_EQ(D3D9Testing::takeRefusal(), refusal.reason);
    }
    depth->Release();
    EXPECT_EQ(D3DERR_INVALIDCALL, static_cast<HRESULT>(0x8876086C)) << "the number the engine prints";
}

TEST_F(Refusals, UnknownStateValueLeavesTheStateAsItWas)
{
    ASSERT_EQ(device->SetRenderState(D3DRS_ZFUNC, D3DCMP_GREATER), D3D_OK);
    EXPECT_EQ(device->SetRenderState(D3DRS_ZFUNC, 0), D3DERR_INVALIDCALL);
    DWORD value = 0;
    device->GetRenderState(D3DRS_ZFUNC, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DCMP_GREATER));
    GLint function = 0;
    glGetIntegerv(GL_DEPTH_FUNC, &function);
    EXPECT_EQ(function, GL_GREATER);
    EXPECT_EQ(device->SetSamplerState(0, D3DSAMP_MAGFILTER, 5), D3DERR_INVALIDCALL);
    device->GetSamplerState(0, D3DSAMP_MAGFILTER, &value);
    EXPECT_EQ(value, static_cast<DWORD>(D3DTEXF_POINT)) << "the default";
    EXPECT_EQ(D3D9Testing::takeRefusal(), "SetSamplerState: unknown D3DSAMP_MAGFILTER value 5");
    EXPECT_EQ(D3D9Testing::takeRefusal(), "") << "taken";
}

} // namespace
