#pragma once

// A device drawing into a render-target texture, with shaders from assembly
// text and read-backs of what was drawn.

#include "Platform/D3D9/Texture.h"
#include "Platform/D3DX9/d3dx9.h"
#include "Tests/D3D9/DeviceFixture.h"

#include <epoxy/gl.h>

#include <array>
#include <string>

using Float4 = std::array<float, 4>;

// The copy shaders of the blitters: position and texture coordinate in, one
// texture read out.
inline const char* copyVertexShader = "vs_2_0\n"
                                      "dcl_texcoord0 v0\n"
                                      "dcl_texcoord1 v1\n"
                                      "mov oPos, v0\n"
                                      "mov oT0, v1\n";
inline const char* copyPixelShader = "ps_2_0\n"
                                     "dcl t0.xy\n"
                                     "dcl_2d s0\n"
                                     "texld r0, t0, s0\n"
                                     "mov oC0, r0\n";

class DrawTest : public DeviceTest {
protected:
    void TearDown() override
    {
        release(vertexShader);
        release(pixelShader);
        release(declaration);
        release(vertices);
        release(target);
        release(depth);
        if (device)
            device->EndScene();
        DeviceTest::TearDown();
    }

    template <typename Object>
    static void release(Object*& object)
    {
        if (object)
            object->Release();
        object = nullptr;
    }

    static std::vector<DWORD> assemble(const std::string& text)
    {
        LPD3DXBUFFER code = nullptr;
        LPD3DXBUFFER errors = nullptr;
        HRESULT result = D3DXAssembleShader(text.c_str(), static_cast<UINT>(text.size()), nullptr, nullptr, 0, &code,
                                            &errors);
        EXPECT_EQ(result, D3D_OK) << (errors ? static_cast<const char*>(errors->GetBufferPointer()) : "") << text;
        std::vector<DWORD> tokens;
        if (code) {
            auto* begin = static_cast<const DWORD*>(code->GetBufferPointer());
            tokens.assign(begin, begin + code->GetBufferSize() / 4);
            code->Release();
        }
        if (errors)
            errors->Release();
        return tokens;
    }

    void setShaders(const std::string& vertexText, const std::string& pixelText)
    {
        release(vertexShader);
        release(pixelShader);
        std::vector<DWORD> vertexCode = assemble(vertexText);
        std::vector<DWORD> pixelCode = assemble(pixelText);
        ASSERT_EQ(device->CreateVertexShader(vertexCode.data(), &vertexShader), D3D_OK);
        ASSERT_EQ(device->CreatePixelShader(pixelCode.data(), &pixelShader), D3D_OK);
        device->SetVertexShader(vertexShader);
        device->SetPixelShader(pixelShader);
    }

    // Elements of stream 0, all TEXCOORD usage with index = attribute number.
    void setDeclaration(std::initializer_list<std::pair<BYTE, WORD>> typeAndOffset)
    {
        release(declaration);
        std::vector<D3DVERTEXELEMENT9> elements;
        BYTE index = 0;
        for (const auto& element : typeAndOffset)
            elements.push_back({0, element.second, element.first, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, index++});
        elements.push_back(D3DDECL_END());
        ASSERT_EQ(device->CreateVertexDeclaration(elements.data(), &declaration), D3D_OK);
        device->SetVertexDeclaration(declaration);
    }

    void setVertices(const void* data, UINT bytes, UINT stride)
    {
        release(vertices);
        ASSERT_EQ(device->CreateVertexBuffer(bytes, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vertices, nullptr), D3D_OK);
        void* locked = nullptr;
        ASSERT_EQ(vertices->Lock(0, 0, &locked, 0), D3D_OK);
        std::memcpy(locked, data, bytes);
        vertices->Unlock();
        device->SetStreamSource(0, vertices, 0, stride);
    }

    // The copy shaders over vertices of a position and a texture coordinate.
    void useCopyShaders()
    {
        setShaders(copyVertexShader, copyPixelShader);
        setDeclaration({{D3DDECLTYPE_FLOAT2, 0}, {D3DDECLTYPE_FLOAT2, 8}});
    }

    // A full-target quad as the engine's blitters place it: corners moved by
    // (-1/W, +1/H) for a target of W x H, texture (0, 0) top left to (1, 1).
    void setBlitQuad(UINT width, UINT height)
    {
        const float dx = -1.0f / width;
        const float dy = 1.0f / height;
        const float quad[] = {-1 + dx, 1 + dy, 0, 0, 1 + dx, 1 + dy, 1, 0, -1 + dx, -1 + dy, 0, 1, 1 + dx, -1 + dy, 1, 1};
        setVertices(quad, sizeof(quad), 4 * sizeof(float));
    }

    // One point on the centre of pixel (x, y) with texture coordinate (u, v).
    void setPoint(int x, int y, float u, float v)
    {
        const Float4 centre = pixelCentre(x, y);
        const float point[4] = {centre[0], centre[1], u, v};
        setVertices(point, sizeof(point), sizeof(point));
    }

    // A render-target texture of the size and format with a depth/stencil
    // surface, current and begun.
    void makeTarget(UINT width, UINT height, D3DFORMAT format = D3DFMT_A8R8G8B8)
    {
        release(target);
        release(depth);
        ASSERT_EQ(device->CreateTexture(width, height, 1, D3DUSAGE_RENDERTARGET, format, D3DPOOL_DEFAULT, &target,
                                        nullptr),
                  D3D_OK);
        IDirect3DSurface9* surface = nullptr;
        target->GetSurfaceLevel(0, &surface);
        ASSERT_EQ(device->SetRenderTarget(0, surface), D3D_OK);
        surface->Release();
        ASSERT_EQ(device->CreateDepthStencilSurface(width, height, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &depth,
                                                    nullptr),
                  D3D_OK);
        ASSERT_EQ(device->SetDepthStencilSurface(depth), D3D_OK);
        device->EndScene();
        ASSERT_EQ(device->BeginScene(), D3D_OK);
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, 0, 1.0f, 0);
        targetWidth = width;
        targetHeight = height;
    }

    // The A8R8G8B8 target as it stands, row after row.
    std::vector<uint32_t> readTarget()
    {
        IDirect3DSurface9* surface = nullptr;
        target->GetSurfaceLevel(0, &surface);
        IDirect3DSurface9* memory = nullptr;
        EXPECT_EQ(device->CreateOffscreenPlainSurface(targetWidth, targetHeight, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM,
                                                      &memory, nullptr),
                  D3D_OK);
        EXPECT_EQ(device->GetRenderTargetData(surface, memory), D3D_OK);
        D3DLOCKED_RECT locked;
        memory->LockRect(&locked, nullptr, D3DLOCK_READONLY);
        std::vector<uint32_t> pixels(targetWidth * targetHeight);
        for (UINT y = 0; y < targetHeight; ++y)
            std::memcpy(&pixels[y * targetWidth], static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch,
                        targetWidth * 4);
        memory->UnlockRect();
        memory->Release();
        surface->Release();
        return pixels;
    }

    // A float target as it stands.
    std::vector<Float4> readFloatTarget()
    {
        std::vector<Float4> texels(targetWidth * targetHeight);
        glGetTextureImage(D3D9::asTexture(target)->name(), 0, GL_RGBA, GL_FLOAT,
                          static_cast<GLsizei>(texels.size() * sizeof(Float4)), texels.data());
        return texels;
    }

    // The clip-space position of a pixel's centre in Direct3D 9's terms.
    Float4 pixelCentre(int x, int y) const
    {
        return {2.0f * x / targetWidth - 1.0f, 1.0f - 2.0f * y / targetHeight, 0.5f, 1.0f};
    }

    IDirect3DVertexShader9* vertexShader = nullptr;
    IDirect3DPixelShader9* pixelShader = nullptr;
    IDirect3DVertexDeclaration9* declaration = nullptr;
    IDirect3DVertexBuffer9* vertices = nullptr;
    IDirect3DTexture9* target = nullptr;
    IDirect3DSurface9* depth = nullptr;
    UINT targetWidth = 0;
    UINT targetHeight = 0;
};

