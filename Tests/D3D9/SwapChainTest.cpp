#include "Tests/D3D9/DeviceFixture.h"

#include <SDL.h>
#include <epoxy/gl.h>

namespace {

using SwapChainTest = DeviceTest;

TEST_F(SwapChainTest, AdditionalChainsPresentIntoTheirOwnWindows)
{
    HWND second = makeWindow(200 - 8, 100 - 31, 40, 30);
    D3DPRESENT_PARAMETERS parameters = windowedParameters(second);
    IDirect3DSwapChain9* chain = nullptr;
    ASSERT_EQ(device->CreateAdditionalSwapChain(&parameters, &chain), D3D_OK);
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(chain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    ASSERT_EQ(device->SetRenderTarget(0, back), D3D_OK);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 255, 0), 1.0f, 0);
    ASSERT_EQ(chain->Present(nullptr, nullptr, nullptr, nullptr, D3DPRESENT_DONOTWAIT), D3D_OK);

    IDirect3DSurface9* main = nullptr;
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &main);
    device->SetRenderTarget(0, main);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 255, 0, 0), 1.0f, 0);
    std::vector<uint32_t> pixels;
    presentAndLook(pixels);
    EXPECT_EQ(shown(pixels, 0, 0), red);
    EXPECT_EQ(pixels[100 * desktopWidth + 200], green);
    EXPECT_EQ(pixels[129 * desktopWidth + 239], green);
    EXPECT_EQ(pixels[130 * desktopWidth + 239], black);

    main->Release();
    back->Release();
    EXPECT_EQ(chain->Release(), 0u);
    DestroyWindow(second);
}

TEST_F(SwapChainTest, TinyBackBufferIsStretchedOverTheWindow)
{
    D3DPRESENT_PARAMETERS parameters = windowedParameters(window, 1, 1);
    IDirect3DSwapChain9* chain = nullptr;
    ASSERT_EQ(device->CreateAdditionalSwapChain(&parameters, &chain), D3D_OK);
    IDirect3DSurface9* back = nullptr;
    chain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back);
    device->SetRenderTarget(0, back);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 0, 255), 1.0f, 0);
    ASSERT_EQ(chain->Present(nullptr, nullptr, nullptr, nullptr, 0), D3D_OK);
    std::vector<uint32_t> pixels = desktop();
    EXPECT_EQ(shown(pixels, 0, 0), blue);
    EXPECT_EQ(shown(pixels, 63, 47), blue);
    IDirect3DSurface9* main = nullptr;
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &main);
    device->SetRenderTarget(0, main);
    main->Release();
    back->Release();
    chain->Release();
}

TEST_F(SwapChainTest, PresentBlitsIntoTheWindowUpsideDown)
{
    D3DVIEWPORT9 top = {0, 0, 64, 8, 0.0f, 1.0f};
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 0, 0, 255), 1.0f, 0);
    device->SetViewport(&top);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 255, 0, 0), 1.0f, 0);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    // Without a compositor the window's drawable keeps what was blitted:
    // OpenGL counts its rows from the bottom, so the top rows are the last.
    SDL_Window* sdl = Win32Host::sdlWindow(window);
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    ASSERT_EQ(SDL_GL_MakeCurrent(sdl, context), 0);
    GLint read = 0;
    glGetIntegerv(GL_READ_FRAMEBUFFER_BINDING, &read);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, 0);
    uint8_t topRow[4];
    uint8_t bottomRow[4];
    glReadPixels(10, 47, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, topRow);
    glReadPixels(10, 0, 1, 1, GL_RGBA, GL_UNSIGNED_BYTE, bottomRow);
    glBindFramebuffer(GL_READ_FRAMEBUFFER, static_cast<GLuint>(read));
    SDL_GL_MakeCurrent(SDL_GL_GetCurrentWindow(), context);
    EXPECT_EQ(topRow[0], 255);
    EXPECT_EQ(topRow[2], 0);
    EXPECT_EQ(bottomRow[0], 0);
    EXPECT_EQ(bottomRow[2], 255);
}

TEST_F(SwapChainTest, MultisampledChainResolvesWhenItPresents)
{
    GLint maxSamples = 0;
    glGetIntegerv(GL_MAX_SAMPLES, &maxSamples);
    if (maxSamples < 4)
        GTEST_SKIP() << "no four-sample buffers here";
    D3DPRESENT_PARAMETERS parameters = windowedParameters(window, 32, 24);
    parameters.MultiSampleType = D3DMULTISAMPLE_4_SAMPLES;
    IDirect3DSwapChain9* chain = nullptr;
    ASSERT_EQ(device->CreateAdditionalSwapChain(&parameters, &chain), D3D_OK);
    IDirect3DSurface9* back = nullptr;
    chain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &back);
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->CreateDepthStencilSurface(32, 24, D3DFMT_D24S8, D3DMULTISAMPLE_4_SAMPLES, 0, FALSE, &depth,
                                                nullptr),
              D3D_OK);
    device->SetRenderTarget(0, back);
    device->SetDepthStencilSurface(depth);
    ASSERT_EQ(device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER, D3DCOLOR_ARGB(255, 0, 255, 0), 1.0f, 0),
              D3D_OK);
    ASSERT_EQ(chain->Present(nullptr, nullptr, nullptr, nullptr, 0), D3D_OK);
    std::vector<uint32_t> pixels = desktop();
    EXPECT_EQ(shown(pixels, 0, 0), green);
    EXPECT_EQ(shown(pixels, 63, 47), green);
    device->SetDepthStencilSurface(nullptr);
    IDirect3DSurface9* main = nullptr;
    device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &main);
    device->SetRenderTarget(0, main);
    main->Release();
    depth->Release();
    back->Release();
    chain->Release();
}

TEST_F(SwapChainTest, MinimisedWindowPresentsNothing)
{
    D3DPRESENT_PARAMETERS parameters = windowedParameters(window);
    IDirect3DSwapChain9* chain = nullptr;
    ASSERT_EQ(device->CreateAdditionalSwapChain(&parameters, &chain), D3D_OK);
    D3DPRESENT_PARAMETERS kept;
    chain->GetPresentParameters(&kept);
    EXPECT_EQ(kept.BackBufferCount, 1u);
    EXPECT_EQ(kept.BackBufferWidth, 64u);
    chain->Release();
}

TEST(FullscreenTest, FullScreenDeviceOwnsTheScreenInItsMode)
{
    Win32Host::setDisplayModesForTesting({{640, 480, 60}, {800, 600, 60}}, {800, 600, 60});
    IDirect3D9* direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    HWND window = makeWindow(0, 0, 640, 480, WS_POPUP);
    D3DPRESENT_PARAMETERS parameters = {};
    parameters.BackBufferWidth = 640;
    parameters.BackBufferHeight = 480;
    parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    parameters.BackBufferCount = 3;
    parameters.SwapEffect = D3DSWAPEFFECT_DISCARD;
    parameters.hDeviceWindow = window;
    parameters.Windowed = FALSE;
    parameters.FullScreen_RefreshRateInHz = 60;
    IDirect3DDevice9* device = nullptr;
    ASSERT_EQ(direct3D->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters,
                                     &device),
              D3D_OK);
    EXPECT_TRUE(Win32Host::isFullscreen(window));
    EXPECT_EQ(Win32Host::currentDisplayMode().width, 640);

    IDirect3DSurface9* last = nullptr;
    device->GetBackBuffer(0, 2, D3DBACKBUFFER_TYPE_MONO, &last);
    device->SetRenderTarget(0, last);
    device->Clear(0, nullptr, D3DCLEAR_TARGET, D3DCOLOR_ARGB(255, 255, 0, 0), 1.0f, 0);
    ASSERT_EQ(device->Present(nullptr, nullptr, nullptr, nullptr), D3D_OK);
    IDirect3DSurface9* screen = nullptr;
    device->CreateOffscreenPlainSurface(640, 480, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &screen, nullptr);
    ASSERT_EQ(device->GetFrontBufferData(0, screen), D3D_OK);
    D3DLOCKED_RECT locked;
    screen->LockRect(&locked, nullptr, 0);
    EXPECT_EQ(static_cast<uint32_t*>(locked.pBits)[0], red) << "the frame drawn into is the frame shown";
    screen->UnlockRect();
    screen->Release();
    last->Release();

    EXPECT_EQ(device->Release(), 0u);
    EXPECT_FALSE(Win32Host::isFullscreen(window));
    direct3D->Release();
    DestroyWindow(window);
    Win32Host::setDisplayModesForTesting({}, {0, 0, 0});
}

TEST(FullscreenTest, UnknownModeIsRefused)
{
    Win32Host::setDisplayModesForTesting({{640, 480, 60}}, {640, 480, 60});
    IDirect3D9* direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    HWND window = makeWindow(0, 0, 100, 100, WS_POPUP);
    D3DPRESENT_PARAMETERS parameters = windowedParameters(window, 1024, 768);
    parameters.Windowed = FALSE;
    parameters.BackBufferFormat = D3DFMT_X8R8G8B8;
    IDirect3DDevice9* device = nullptr;
    EXPECT_EQ(direct3D->CreateDevice(0, D3DDEVTYPE_HAL, window, D3DCREATE_HARDWARE_VERTEXPROCESSING, &parameters,
                                     &device),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3D9Testing::takeRefusal(), "CreateDevice: no such display mode");
    EXPECT_FALSE(Win32Host::isFullscreen(window));
    direct3D->Release();
    DestroyWindow(window);
    Win32Host::setDisplayModesForTesting({}, {0, 0, 0});
}

} // namespace
