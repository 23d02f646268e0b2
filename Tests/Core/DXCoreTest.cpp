#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/DirectX/DXRenderWindow.h"
#include "Libs/Core/StateBlocks.h"
#include "Platform/D3D9/D3D9Testing.h"
#include "Platform/Win32/Host.h"
#include "Tests/Core/WindowTestSupport.h"
#include "Tests/Support/GlErrorCheck.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace Vostrel;
using namespace Vostrel::Core;

const uint32_t red = 0xFFFF0000u;
const uint32_t green = 0xFF00FF00u;
const uint32_t blue = 0xFF0000FFu;

class DXCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestSupport::startGlErrorCheck();
        Win32Host::setDisplayModesForTesting(
            {{640, 480, 60}, {1024, 768, 60}, {1024, 768, 75}, {1024, 768, 85}, {1024, 768, 100}},
            {1024, 768, 60});
        APICore::destroyInstance();
        DXCore::install();
    }
    void TearDown() override
    {
        APICore::destroyInstance();
        D3D9Testing::stopLog();
        D3D9Testing::resetAdapter();
        Win32Host::setDisplayModesForTesting({}, {0, 0, 0});
        TestSupport::expectNoGlErrors();
    }

    static WindowParameters windowed(int width = 64, int height = 48)
    {
        return WindowTestSupport::placed("core", 100, 100, width, height);
    }

    // A shown window of the given size, ready to be drawn into.
    RenderWindow* openWindow(int width = 64, int height = 48)
    {
        RenderWindow* window = createCore(windowed(width, height));
        window->setVisible(true);
        return window;
    }

    // A clip block with only the scissor on, as fractions of the viewport.
    static ClipState scissorOf(float x, float y, float width, float height)
    {
        ClipState state;
        state.scissorEnabled = true;
        state.scissorX = x;
        state.scissorY = y;
        state.scissorWidth = width;
        state.scissorHeight = height;
        return state;
    }

    std::vector<uint32_t> framebuffer(RenderWindow* window)
    {
        std::vector<uint32_t> pixels(static_cast<size_t>(window->getWidth()) * window->getHeight());
        window->getFramebuffer(pixels.data());
        return pixels;
    }
};

TEST_F(DXCoreTest, ReferenceDeviceServesWeakOrUnwillingHardwareAndSaysSo)
{
    const std::string warnings = "WARNING: HAL vertex shader version: 101\n"
                                 "WARNING: HAL pixel shader version: 200\n"
                                 "WARNING: Using Software Vertex Processing.\n";
    struct Case {
        DWORD vertexVersion;
        bool halFails;
        std::vector<std::vector<int64_t>> devices; // type and behaviour of each CreateDevice
        std::string output;
    };
    const Case cases[] = {
        {0x200, false, {{D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING}}, ""},
        // Vertex shaders 1.1: the HAL is not even tried.
        {0x101, false, {{D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING}}, warnings},
        {0x200, true,
         {{D3DDEVTYPE_HAL, D3DCREATE_HARDWARE_VERTEXPROCESSING}, {D3DDEVTYPE_REF, D3DCREATE_SOFTWARE_VERTEXPROCESSING}},
         "WARNING: HAL vertex shader version: 200\n" + warnings.substr(warnings.find('\n') + 1)},
    };
    for (const Case& c : cases) {
        APICore::destroyInstance();
        D3D9Testing::setHalShaderVersions(c.vertexVersion, 0x200);
        D3D9Testing::setHalDeviceFails(c.halFails);
        D3D9Testing::startLog();
        testing::internal::CaptureStdout();
        ASSERT_NE(createCore(windowed()), nullptr);
        EXPECT_EQ(testing::internal::GetCapturedStdout(), c.output);
        std::vector<std::vector<int64_t>> devices;
        for (const auto& call : D3D9Testing::callsNamed(D3D9Testing::takeLog(), "CreateDevice"))
            devices.push_back({call.arguments[0], call.arguments[1]});
        EXPECT_EQ(devices, c.devices) << "vertex shaders " << c.vertexVersion << ", HAL fails " << c.halFails;
    }
    EXPECT_EQ(createCore(windowed()), nullptr) << "a second core is refused";
    EXPECT_THROW(DXCore second(windowed()), Exception);
}

TEST_F(DXCoreTest, FullScreenPicksTheFastestModeBelow100Hz)
{
    WindowParameters parameters = windowed(1024, 768);
    parameters.fullscreen = true;
    ASSERT_NE(createCore(parameters), nullptr);
    EXPECT_EQ(Win32Host::currentDisplayMode().refreshRate, 85);
    D3DDISPLAYMODE chosen = DXCore::enumerateModes(parameters);
    EXPECT_EQ(chosen.RefreshRate, 85u);
    EXPECT_THROW(createRenderWindow(windowed()), Exception);
    EXPECT_FALSE(canCreateRenderWindow(windowed()));
    APICore::destroyInstance();
    EXPECT_EQ(Win32Host::currentDisplayMode().width, 1024);
    EXPECT_EQ(Win32Host::currentDisplayMode().refreshRate, 60) << "the desktop mode is back";
}

TEST_F(DXCoreTest, ModesOnlyAbove99HzGiveTheFirstOne)
{
    Win32Host::setDisplayModesForTesting({{800, 600, 120}, {1024, 768, 100}, {1024, 768, 120}}, {1024, 768, 60});
    ASSERT_NE(createCore(windowed()), nullptr);
    WindowParameters parameters = windowed(1024, 768);
    EXPECT_EQ(DXCore::enumerateModes(parameters).RefreshRate, 100u);
    parameters.width = 640;
    parameters.height = 480;
    try {
        DXCore::enumerateModes(parameters);
        FAIL();
    } catch (const Exception& exception) {
        EXPECT_EQ(exception.message, "DXCore: Accelerated 640x480 X8R8G8B8 display modes not supported.");
    }
}

TEST_F(DXCoreTest, FailedConstructionGivesTheDesktopItsModeBack)
{
    // A mode too large for any back buffer: both devices refuse, after the
    // window has switched the display mode.
    Win32Host::setDisplayModesForTesting({{1024, 768, 60}, {9000, 9000, 60}}, {1024, 768, 60});
    WindowParameters parameters = windowed(9000, 9000);
    parameters.fullscreen = true;
    try {
        createCore(parameters);
        FAIL() << "the device was made";
    } catch (const Exception& exception) {
        EXPECT_EQ(exception.message, "DXCore: Failed to create D3D9 Device.");
    }
    EXPECT_EQ(Win32Host::currentDisplayMode().width, 1024);
    EXPECT_EQ(APICore::getExistingInstance(), nullptr);
    ASSERT_NE(createCore(windowed()), nullptr) << "a later attempt succeeds";
}

TEST_F(DXCoreTest, MultisamplingIsUsedOnlyForTwoToSixteenSamples)
{
    struct Case {
        int requested;
        int64_t type;
    };
    for (const Case& c : {Case{1, D3DMULTISAMPLE_NONE}, Case{17, D3DMULTISAMPLE_NONE}, Case{4, 4}}) {
        WindowParameters parameters = windowed();
        parameters.multisample = c.requested;
        D3D9Testing::startLog();
        RenderWindow* window = createCore(parameters);
        ASSERT_NE(window, nullptr);
        window->setVisible(true);
        auto log = D3D9Testing::takeLog();
        auto chains = D3D9Testing::callsNamed(log, "CreateAdditionalSwapChain");
        auto depths = D3D9Testing::callsNamed(log, "CreateDepthStencilSurface");
        ASSERT_EQ(chains.size(), 2u) << "the window's chain, then the one of its client size";
        ASSERT_EQ(depths.size(), 2u);
        for (const auto& call : chains)
            EXPECT_EQ(call.arguments[2], c.type) << c.requested;
        for (const auto& call : depths)
            EXPECT_EQ(call.arguments[3], c.type) << c.requested;
        IDirect3DSwapChain9* deviceChain = nullptr;
        DXCore::getDevice()->GetSwapChain(0, &deviceChain);
        D3DPRESENT_PARAMETERS presentation;
        deviceChain->GetPresentParameters(&presentation);
        EXPECT_EQ(presentation.MultiSampleType, c.type);
        deviceChain->Release();
        APICore::destroyInstance();
    }
}

TEST_F(DXCoreTest, WindowedCoreMakesFurtherWindows)
{
    openWindow();
    EXPECT_TRUE(canCreateRenderWindow(windowed(32, 32)));
    WindowParameters fullscreen = windowed(640, 480);
    fullscreen.fullscreen = true;
    EXPECT_FALSE(canCreateRenderWindow(fullscreen));
    RenderWindow* second = createRenderWindow(windowed(32, 32));
    ASSERT_NE(second, nullptr);
    delete second;
}

TEST_F(DXCoreTest, DisabledDepthBlockSendsOnlyTheEnable)
{
    openWindow();
    APICore* core = APICore::getInstance();
    DepthState writing;
    writing.writeEnabled = false;
    core->setDepthState(&writing);
    D3D9Testing::startLog();
    DepthState off;
    off.testEnabled = false;
    off.writeEnabled = true;
    core->setDepthState(&off);
    auto states = D3D9Testing::callsNamed(D3D9Testing::takeLog(), "SetRenderState");
    ASSERT_EQ(states.size(), 1u);
    EXPECT_EQ(states[0].arguments, (std::vector<int64_t>{D3DRS_ZENABLE, D3DZB_FALSE}));
    DWORD write = TRUE;
    DXCore::getDevice()->GetRenderState(D3DRS_ZWRITEENABLE, &write);
    EXPECT_EQ(write, static_cast<DWORD>(FALSE)) << "the depth-write state stays as it was";
}

TEST_F(DXCoreTest, AlphaReferenceIsRoundedToAByte)
{
    openWindow();
    AlphaTestState state;
    state.enabled = true;
    state.reference = 0.5f;
    state.function = COMPARE_GREATER;
    D3D9Testing::startLog();
    APICore::getInstance()->setAlphaTestState(&state);
    auto states = D3D9Testing::callsNamed(D3D9Testing::takeLog(), "SetRenderState");
    ASSERT_EQ(states.size(), 3u);
    EXPECT_EQ(states[1].arguments, (std::vector<int64_t>{D3DRS_ALPHAFUNC, D3DCMP_GREATER}));
    EXPECT_EQ(states[2].arguments, (std::vector<int64_t>{D3DRS_ALPHAREF, 128}));
}

TEST_F(DXCoreTest, ScissorRectangleComesFromViewportFractions)
{
    RenderWindow* window = openWindow();
    window->begin();
    window->setViewport(0.5f, 0.0f, 0.5f, 1.0f);
    ClipState state = scissorOf(0.25f, 0.5f, 0.5f, 0.5f);
    const float planes[8] = {1, 0, 0, 0, 0, 1, 0, 0};
    state.planesEnabled = true;
    state.planeCount = 2;
    state.planes = planes;
    D3D9Testing::startLog();
    APICore::getInstance()->setClipState(&state);
    auto log = D3D9Testing::takeLog();
    auto rects = D3D9Testing::callsNamed(log, "SetScissorRect");
    ASSERT_EQ(rects.size(), 1u);
    EXPECT_EQ(rects[0].arguments, (std::vector<int64_t>{40, 24, 56, 48}));
    auto states = D3D9Testing::callsNamed(log, "SetRenderState");
    ASSERT_EQ(states.size(), 2u);
    EXPECT_EQ(states[0].arguments, (std::vector<int64_t>{D3DRS_SCISSORTESTENABLE, TRUE}));
    EXPECT_EQ(states[1].arguments, (std::vector<int64_t>{D3DRS_CLIPPLANEENABLE, 3}));
    EXPECT_EQ(D3D9Testing::callsNamed(log, "SetClipPlane").size(), 2u);
    window->end();
}

TEST_F(DXCoreTest, ColoursPackRoundedWithAlphaOnTop)
{
    EXPECT_EQ(DXCore::packColor(Vec4(1.0f, 0.5f, 0.0f, 1.0f)), 0xFFFF8000u);
    EXPECT_EQ(DXCore::packColor(Vec4(0.0f, 0.0f, 1.0f, 0.0f)), 0x000000FFu);
    EXPECT_EQ(DXCore::packColor(Vec4(2.0f, 0.0f, 0.0f, 0.5f)), 0x80FE0000u) << "red cut to its low 8 bits";
}

TEST_F(DXCoreTest, DeviceViewportTruncatesTheFractions)
{
    RenderWindow* window = openWindow(64, 48);
    window->begin();
    window->setViewport(0.5f, 0.26f, 0.5f, 0.49f);
    D3DVIEWPORT9 viewport;
    DXCore::getDevice()->GetViewport(&viewport);
    EXPECT_EQ(viewport.X, 32u);
    EXPECT_EQ(viewport.Y, 12u);
    EXPECT_EQ(viewport.Width, 32u);
    EXPECT_EQ(viewport.Height, 23u);
    window->end();
}

TEST_F(DXCoreTest, ClearsReadBackThroughTheFramebuffer)
{
    RenderWindow* window = openWindow(64, 48);
    APICore* core = APICore::getInstance();

    window->begin();
    core->clearViewport(CLEAR_COLOR | CLEAR_DEPTH, Vec4(0, 0, 1, 1), 1.0f, 0);
    window->setViewport(0.0f, 0.0f, 0.5f, 0.5f);
    core->clearViewport(CLEAR_COLOR, Vec4(1, 0, 0, 1), 1.0f, 0);
    window->end();
    std::vector<uint32_t> pixels = framebuffer(window);
    EXPECT_EQ(pixels[0], red) << "row 0 is the top row";
    EXPECT_EQ(pixels[23 * 64 + 31], red);
    EXPECT_EQ(pixels[24 * 64 + 31], blue);
    EXPECT_EQ(pixels[23 * 64 + 32], blue);
    EXPECT_EQ(pixels[47 * 64 + 63], blue);

    window->begin();
    ClipState scissor = scissorOf(0.5f, 0.5f, 0.5f, 0.5f);
    core->setClipState(&scissor);
    core->clearViewport(CLEAR_COLOR, Vec4(0, 1, 0, 1), 1.0f, 0);
    window->end();
    pixels = framebuffer(window);
    EXPECT_EQ(pixels[47 * 64 + 63], green);
    EXPECT_EQ(pixels[24 * 64 + 32], green);
    EXPECT_EQ(pixels[23 * 64 + 32], blue) << "the scissor limits the clear";
    EXPECT_EQ(pixels[0], red) << "kept from the frame before";

    ClipState none;
    core->setClipState(&none);
    window->begin();
    window->setViewport(0.25f, 0.25f, 0.5f, 0.5f);
    core->clearTarget(CLEAR_COLOR, Vec4(1, 0, 0, 1), 1.0f, 0);
    D3DVIEWPORT9 viewport;
    DXCore::getDevice()->GetViewport(&viewport);
    EXPECT_EQ(viewport.X, 16u) << "clearTarget puts the viewport back";
    EXPECT_EQ(viewport.Width, 32u);
    window->end();
    pixels = framebuffer(window);
    EXPECT_EQ(pixels[0], red);
    EXPECT_EQ(pixels[47 * 64 + 63], red) << "clearTarget clears the whole target";
}

TEST_F(DXCoreTest, DestructionWarnsOfReferencesStillHeld)
{
    openWindow();
    testing::internal::CaptureStderr();
    APICore::destroyInstance();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "") << "a clean shutdown holds nothing back";

    openWindow();
    DXCore::getDevice()->AddRef();
    IDirect3DDevice9* device = DXCore::getDevice();
    testing::internal::CaptureStderr();
    APICore::destroyInstance();
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "warning: renderer went down but Direct3DDevice is still referenced (refs=1)\n"
              "warning: d3d went down but Direct3D is still referenced (refs=1)\n");
    device->Release();
}

TEST_F(DXCoreTest, DeviceIsReachableOnlyWhileACoreExists)
{
    try {
        DXCore::getDevice();
        FAIL();
    } catch (const Exception& exception) {
        EXPECT_EQ(exception.message, "DXCore internal error, IDirect3DDevice9 is null!");
        EXPECT_STREQ(exception.file, "Libs\\Core\\DirectX\\DXCore");
    }
    EXPECT_EQ(DXCore::getRenderWindow(), nullptr);
}

} // namespace
