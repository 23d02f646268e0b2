#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/DirectX/DXRenderCanvas.h"
#include "Libs/Core/DirectX/DXRenderWindow.h"
#include "Platform/D3D9/D3D9Testing.h"
#include "Platform/Win32/Host.h"
#include "Tests/Support/GlErrorCheck.h"

#include <gtest/gtest.h>

namespace {

using namespace Vostrel;
using namespace Vostrel::Core;

class DXRenderWindowTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestSupport::startGlErrorCheck();
        Win32Host::setDisplayModesForTesting({{320, 240, 60}}, {320, 240, 60});
        APICore::destroyInstance();
        DXCore::install();
        WindowParameters parameters;
        parameters.x = 40;
        parameters.y = 40;
        parameters.width = 64;
        parameters.height = 48;
        window = static_cast<DXRenderWindow*>(createCore(parameters));
        ASSERT_NE(window, nullptr);
    }
    void TearDown() override
    {
        APICore::destroyInstance();
        D3D9Testing::stopLog();
        Win32Host::setDisplayModesForTesting({}, {0, 0, 0});
        TestSupport::expectNoGlErrors();
    }

    static D3DSURFACE_DESC backBufferOf(IDirect3DSwapChain9* chain)
    {
        IDirect3DSurface9* surface = nullptr;
        chain->GetBackBuffer(0, D3DBACKBUFFER_TYPE_MONO, &surface);
        D3DSURFACE_DESC description;
        surface->GetDesc(&description);
        surface->Release();
        return description;
    }

    DXRenderWindow* window = nullptr;
};

TEST_F(DXRenderWindowTest, FirstShowingSizesTheSwapChainToTheWindow)
{
    EXPECT_EQ(backBufferOf(window->getSwapChain()).Width, 1u) << "made before the window knew its size";
    window->setVisible(true);
    D3DSURFACE_DESC description = backBufferOf(window->getSwapChain());
    EXPECT_EQ(description.Width, 64u);
    EXPECT_EQ(description.Height, 48u);
}

TEST_F(DXRenderWindowTest, MinimisingKeepsTheSwapChain)
{
    window->setVisible(true);
    IDirect3DSwapChain9* before = window->getSwapChain();
    SendMessageA(window->getHandle(), WM_SIZE, SIZE_MINIMIZED, 0);
    EXPECT_EQ(window->getSwapChain(), before);
    EXPECT_EQ(window->getWidth(), 64);
    RECT outer = {0, 0, 80, 60};
    AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, FALSE, 0);
    MoveWindow(window->getHandle(), 0, 0, outer.right - outer.left, outer.bottom - outer.top, TRUE);
    EXPECT_NE(window->getSwapChain(), before);
    EXPECT_EQ(backBufferOf(window->getSwapChain()).Width, 80u);
    EXPECT_EQ(window->getWidth(), 80);
}

TEST_F(DXRenderWindowTest, BeginningTwiceBindsOnceAndEndPresentsWithoutWaiting)
{
    window->setVisible(true);
    D3D9Testing::startLog();
    window->begin();
    window->begin();
    auto log = D3D9Testing::takeLog();
    EXPECT_EQ(D3D9Testing::callsNamed(log, "SetRenderTarget").size(), 1u);
    EXPECT_EQ(D3D9Testing::callsNamed(log, "BeginScene").size(), 2u);
    EXPECT_EQ(D3D9Testing::callsNamed(log, "EndScene").size(), 1u);
    window->end();
    auto presents = D3D9Testing::callsNamed(D3D9Testing::takeLog(), "Present");
    ASSERT_EQ(presents.size(), 1u);
    EXPECT_EQ(presents[0].arguments[1], D3DPRESENT_DONOTWAIT);
}

TEST_F(DXRenderWindowTest, FramebufferOfAWindowPartlyOffTheScreenReadsBlackThere)
{
    window->setVisible(true);
    window->setRect(-40, 200, 64, 48);
    window->begin();
    APICore::getInstance()->clearViewport(CLEAR_COLOR, Vec4(1, 1, 1, 1), 1.0f, 0);
    window->end();
    WINDOWINFO info = {};
    GetWindowInfo(window->getHandle(), &info);
    ASSERT_LT(info.rcClient.left, 0);
    ASSERT_GT(info.rcClient.bottom, 240);
    std::vector<uint32_t> pixels(64 * 48, 0x12345678u);
    window->getFramebuffer(pixels.data());
    EXPECT_EQ(pixels[0], 0xFF000000u) << "left of the screen";
    EXPECT_EQ(pixels[63], 0xFFFFFFFFu);
    EXPECT_EQ(pixels[47 * 64 + 63], 0xFF000000u) << "below the screen";
}

TEST_F(DXRenderWindowTest, WindowWithoutDeviceSaysSoAndDrawsNothing)
{
    APICore::destroyInstance();
    APICore::createDefaultInstance();
    DXRenderWindow* bare = DXCore::getRenderWindow();
    ASSERT_NE(bare, nullptr);
    testing::internal::CaptureStderr();
    bare->beginScene();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "DXRenderWindow::begin(): device or chain is null ??\n");
    EXPECT_EQ(RenderTarget::getCurrentTarget(), bare);
    bare->endScene();
    EXPECT_THROW(bare->update(), Exception);
    bare->resize(100, 80);
    EXPECT_EQ(bare->getWidth(), 100) << "without a chain to rebuild it only takes the size";
}

TEST_F(DXRenderWindowTest, CanvasFollowsItsWindowsSize)
{
    HWND host = CreateWindowExA(0, "RenderWindowWin32", "host", WS_POPUP, 0, 0, 40, 30, nullptr, nullptr, nullptr,
                                nullptr);
    ASSERT_NE(host, nullptr);
    testing::internal::CaptureStdout();
    RenderTarget* canvas = createRenderCanvas(host);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), "initial: (0, 0), (40, 30), (40, 30)\n");
    EXPECT_EQ(canvas->getWidth(), 40);
    MoveWindow(host, 0, 0, 50, 20, TRUE);
    testing::internal::CaptureStdout();
    canvas->begin();
    std::string output = testing::internal::GetCapturedStdout();
    EXPECT_EQ(output, "new size: (0, 0), (50, 20), (50, 20)\n"
                      "resizing D3D canvas resources: (50 20)\n"
                      "backbuffer size: (1 1)\n"
                      "backbuffer size: (50 20)\n"
                      "backbuffer size: (50 20)\n");
    APICore::getInstance()->clearViewport(CLEAR_COLOR, Vec4(0, 1, 0, 1), 1.0f, 0);
    canvas->end();
    std::vector<uint32_t> pixels(50 * 20);
    canvas->getFramebuffer(pixels.data());
    EXPECT_EQ(pixels[49 * 1 + 19 * 50], 0xFF00FF00u);

    // A chain the device cannot make leaves the old one, and the failure is
    // the canvas's own.
    try {
        static_cast<DXRenderCanvas*>(canvas)->resizeResources(9000, 9000);
        FAIL() << "a 9000 x 9000 chain was made";
    } catch (const Exception& exception) {
        EXPECT_EQ(exception.message, "DXCore: Failed to create an additional swap chain");
        EXPECT_STREQ(exception.file, "Libs\\Core\\DirectX\\DXRenderCanvas");
    }
    testing::internal::CaptureStdout();
    canvas->begin();
    testing::internal::GetCapturedStdout();
    canvas->end();
    delete canvas;
    DestroyWindow(host);
}

TEST_F(DXRenderWindowTest, FailedResizeKeepsTheChainAndNamesTheWindow)
{
    window->setVisible(true);
    IDirect3DSwapChain9* before = window->getSwapChain();
    RECT outer = {0, 0, 9000, 9000};
    AdjustWindowRectEx(&outer, WS_OVERLAPPEDWINDOW | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, FALSE, 0);
    try {
        MoveWindow(window->getHandle(), 0, 0, outer.right - outer.left, outer.bottom - outer.top, TRUE);
        FAIL() << "a 9000 x 9000 chain was made";
    } catch (const Exception& exception) {
        EXPECT_EQ(exception.message, "DXCore: Failed to create an additional swap chain");
        EXPECT_STREQ(exception.file, "Libs\\Core\\DirectX\\DXRenderWindow");
    }
    EXPECT_EQ(window->getSwapChain(), before);
}

} // namespace
