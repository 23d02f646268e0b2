#pragma once

#include "Platform/D3D9/D3D9Testing.h"
#include "Platform/Win32/Host.h"
#include "Tests/Support/GlErrorCheck.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

inline LRESULT CALLBACK plainProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    return DefWindowProcA(window, message, wParam, lParam);
}

// A framed window whose client area is width x height at (x, y).
inline HWND makeWindow(int x, int y, int width, int height, DWORD style = WS_OVERLAPPEDWINDOW)
{
    static bool registered = false;
    if (!registered) {
        WNDCLASSEXA windowClass = {};
        windowClass.cbSize = sizeof(windowClass);
        windowClass.lpfnWndProc = plainProcedure;
        windowClass.lpszClassName = "DeviceTestWindow";
        RegisterClassExA(&windowClass);
        registered = true;
    }
    RECT rect = {0, 0, width, height};
    AdjustWindowRectEx(&rect, style, FALSE, 0);
    HWND window = CreateWindowExA(0, "DeviceTestWindow", "device", style, x, y, rect.right - rect.left,
                                  rect.bottom - rect.top, nullptr, nullptr, nullptr, nullptr);
    ShowWindow(window, SW_SHOWNORMAL);
    return window;
}

inline D3DPRESENT_PARAMETERS windowedParameters(HWND window, UINT width = 0, UINT height = 0)
{
    D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = width;
    parameters.BackBufferHeight = height;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = window;
    parameters.Windowed = TRUE;
    parameters.PresentationInterval = D3DPRESENT_INTERVAL_IMMEDIATE;
    return parameters;
}

// A desktop of 320 x 240 with a device on a 64 x 48 window at (40, 30).
class DeviceTest : public ::testing::Test {
protected:
    static constexpr int desktopWidth = 320;
    static constexpr int desktopHeight = 240;
    static constexpr int clientX = 40;
    static constexpr int clientY = 30;

    void SetUp() override
    {
        Vostrel::TestSupport::startGlErrorCheck();
        Win32Host::setDisplayModesForTesting({{320, 240, 60}, {640, 480, 60}}, {desktopWidth, desktopHeight, 60});
        direct3D = Direct3DCreate9(D3D_SDK_VERSION);
        ASSERT_NE(direct3D, nullptr);
        window = makeWindow(clientX - 8, clientY - 31, 64, 48);
        RECT client;
        GetClientRect(window, &client);
        ASSERT_EQ(client.right, 64);
        WINDOWINFO info = {};
        GetWindowInfo(window, &info);
        ASSERT_EQ(info.rcClient.left, clientX);
        ASSERT_EQ(info.rcClient.top, clientY);
        D3DPRESENT_PARAMETERS parameters = windowedParameters(window);
        parameters.EnableAutoDepthStencil = TRUE;
        parameters.AutoDepthStencilFormat = D3DFMT_D24S8;
        ASSERT_EQ(direct3D->CreateDevice(D3DADAPTER_DEFAULT, D3DDEVTYPE_HAL, window,
                                         D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters, &device),
                  D3D_OK);
        ASSERT_EQ(parameters.BackBufferWidth, 64u) << "a zero size takes the client size";
    }

    void TearDown() override
    {
        D3D9Testing::stopLog();
        if (device) {
            EXPECT_EQ(device->Release(), 0u) << "every reference was given back";
        }
        if (direct3D) {
            EXPECT_EQ(direct3D->Release(), 0u);
        }
        DestroyWindow(window);
        Win32Host::setDisplayModesForTesting({}, {0, 0, 0});
        D3D9Testing::resetAdapter();
        Vostrel::TestSupport::expectNoGlErrors();
    }

    // What the desktop shows after the last present, as A8R8G8B8 values.
    std::vector<uint32_t> desktop()
    {
        IDirect3DSurface9* surface = nullptr;
        EXPECT_EQ(device->CreateOffscreenPlainSurface(desktopWidth, desktopHeight, D3DFMT_A8R8G8B8,
                                                      D3DPOOL_SYSTEMMEM, &surface, nullptr),
                  D3D_OK);
        EXPECT_EQ(device->GetFrontBufferData(0, surface), D3D_OK);
        D3DLOCKED_RECT locked;
        EXPECT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_DISCARD), D3D_OK);
        std::vector<uint32_t> pixels(desktopWidth * desktopHeight);
        for (int y = 0; y < desktopHeight; ++y)
            std::memcpy(&pixels[y * desktopWidth], static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch,
                        desktopWidth * 4);
        surface->UnlockRect();
        surface->Release();
        return pixels;
    }

    // A pixel of the window's client area as last presented.
    uint32_t shown(const std::vector<uint32_t>& pixels, int x, int y)
    {
        return pixels[(clientY + y) * desktopWidth + clientX + x];
    }

    void presentAndLook(std::vector<uint32_t>& pixels)
    {
        ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
        pixels = desktop();
    }

    IDirect3D9* direct3D = nullptr;
    IDirect3DDevice9* device = nullptr;
    HWND window = nullptr;
};

constexpr uint32_t red = 0xFFFF0000u;
constexpr uint32_t green = 0xFF00FF00u;
constexpr uint32_t blue = 0xFF0000FFu;
constexpr uint32_t black = 0xFF000000u;
