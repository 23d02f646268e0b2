#include "Tests/D3D9/DeviceFixture.h"

#include <epoxy/gl.h>

#include <cstdlib>
#include <string>

namespace {

// A Direct3D object and a small window to make devices on.
class DeviceCreationTest : public testing::Test {
protected:
    ~DeviceCreationTest() override
    {
        direct3D->Release();
        DestroyWindow(window);
    }
    HRESULT create(D3DDEVTYPE type, IDirect3DDevice9** device)
    {
        const DWORD processing =
            type == D3DDEVTYPE_HAL ? D3DCREATE_HARDWARE_VERTEXPROCESSING : D3DCREATE_SOFTWARE_VERTEXPROCESSING;
        return direct3D->CreateDevice(0, type, window, processing, &parameters, device);
    }

    IDirect3D9* direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    HWND window = makeWindow(0, 0, 32, 32);
    D3DPRESENT_PARAMETERS parameters = windowedParameters(window, 1, 1);
    IDirect3DDevice9* device = nullptr;
};

TEST(Direct3DTest, OnlyTheKnownSdkVersionsAreAccepted)
{
    EXPECT_EQ(Direct3DCreate9(30), nullptr);
    IDirect3D9* direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_NE(direct3D, nullptr);
    EXPECT_EQ(direct3D->Release(), 0u);
}

TEST(Direct3DTest, CapabilitiesReportShaderVersionsAndTheSwitchLowersTheHal)
{
    IDirect3D9* direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    D3DCAPS9 caps;
    ASSERT_EQ(direct3D->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.VertexShaderVersion & 0xFFFF, 0x200u);
    EXPECT_EQ(caps.PixelShaderVersion, static_cast<DWORD>(D3DPS_VERSION(2, 0)));
    EXPECT_NE(caps.Caps2 & D3DCAPS2_DYNAMICTEXTURES, 0u);
    D3D9Testing::setHalShaderVersions(0x101, 0x200);
    ASSERT_EQ(direct3D->GetDeviceCaps(0, D3DDEVTYPE_HAL, &caps), D3D_OK);
    EXPECT_EQ(caps.VertexShaderVersion & 0xFFFF, 0x101u);
    ASSERT_EQ(direct3D->GetDeviceCaps(0, D3DDEVTYPE_REF, &caps), D3D_OK);
    EXPECT_EQ(caps.VertexShaderVersion & 0xFFFF, 0x200u) << "the reference rasteriser does everything";
    D3D9Testing::resetAdapter();
    direct3D->Release();
}

TEST(Direct3DTest, AdapterModesAreTheDisplaysModesInOrder)
{
    Win32Host::setDisplayModesForTesting({{1024, 768, 60}, {1024, 768, 75}, {1024, 768, 85}, {1024, 768, 100}},
                                         {1024, 768, 60});
    IDirect3D9* direct3D = Direct3DCreate9(D3D_SDK_VERSION);
    ASSERT_EQ(direct3D->GetAdapterModeCount(0, D3DFMT_X8R8G8B8), 4u);
    EXPECT_EQ(direct3D->GetAdapterModeCount(0, D3DFMT_R5G6B5), 0u);
    D3DDISPLAYMODE mode;
    ASSERT_EQ(direct3D->EnumAdapterModes(0, D3DFMT_X8R8G8B8, 2, &mode), D3D_OK);
    EXPECT_EQ(mode.RefreshRate, 85u);
    EXPECT_EQ(mode.Format, D3DFMT_X8R8G8B8);
    ASSERT_EQ(direct3D->GetAdapterDisplayMode(0, &mode), D3D_OK);
    EXPECT_EQ(mode.Width, 1024u);
    direct3D->Release();
    Win32Host::setDisplayModesForTesting({}, {0, 0, 0});
}

// The show runs on a plain context; tests ask for a debug one.
TEST_F(DeviceCreationTest, DebugContextOnlyWhenAskedFor)
{
    const char* variable = std::getenv("VOSTREL_GL_DEBUG");
    const std::string kept = variable ? variable : "";
    unsetenv("VOSTREL_GL_DEBUG");
    for (bool asked : {false, true}) {
        D3D9Testing::setGlDebugContext(asked);
        ASSERT_EQ(create(D3DDEVTYPE_HAL, &device), D3D_OK);
        GLint flags = 0;
        glGetIntegerv(GL_CONTEXT_FLAGS, &flags);
        EXPECT_EQ((flags & GL_CONTEXT_FLAG_DEBUG_BIT) != 0, asked);
        EXPECT_EQ(glIsEnabled(GL_DEBUG_OUTPUT) == GL_TRUE, asked);
        device->Release();
    }
    if (variable)
        setenv("VOSTREL_GL_DEBUG", kept.c_str(), 1);
}

// A machine without the OpenGL version gets no device, and is told which
// context was asked for and what SDL answered.
TEST_F(DeviceCreationTest, AnOpenGLVersionTheDriverLacksFailsTheDeviceNamingTheRequest)
{
    D3D9Testing::setGlContextVersion(9, 9);
    testing::internal::CaptureStderr();
    EXPECT_EQ(create(D3DDEVTYPE_REF, &device), D3DERR_NOTAVAILABLE);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(said.rfind("Direct3D 9 CreateDevice (reference device): no OpenGL 9.9 core context", 0), 0u) << said;
    EXPECT_GT(said.size(), said.find("; SDL: ") + 8) << said;
    EXPECT_EQ(said.find('\n'), said.size() - 1) << said;
    EXPECT_EQ(D3D9Testing::takeRefusal().rfind("CreateDevice: no OpenGL 9.9 core context", 0), 0u);
    D3D9Testing::resetAdapter();
    ASSERT_EQ(create(D3DDEVTYPE_REF, &device), D3D_OK);
    EXPECT_EQ(device->Release(), 0u);
}

TEST_F(DeviceCreationTest, HalFailureLeavesTheReferenceDevice)
{
    D3D9Testing::setHalDeviceFails(true);
    EXPECT_EQ(create(D3DDEVTYPE_HAL, &device), D3DERR_NOTAVAILABLE);
    ASSERT_EQ(create(D3DDEVTYPE_REF, &device), D3D_OK);
    D3DCAPS9 caps;
    device->GetDeviceCaps(&caps);
    EXPECT_EQ(caps.DeviceType, D3DDEVTYPE_REF);
    EXPECT_EQ(device->Release(), 0u);
    D3D9Testing::resetAdapter();
}

TEST_F(DeviceTest, ObjectsHoldTheDeviceWhileTheyAreReferenced)
{
    IDirect3DSurface9* depth = nullptr;
    ASSERT_EQ(device->CreateDepthStencilSurface(64, 48, D3DFMT_D24S8, D3DMULTISAMPLE_NONE, 0, FALSE, &depth, nullptr),
              D3D_OK);
    IDirect3DSwapChain9* chain = nullptr;
    ASSERT_EQ(device->GetSwapChain(0, &chain), D3D_OK);
    EXPECT_EQ(device->AddRef(), 4u) << "the device, the surface and the chain";
    device->Release();
    ASSERT_EQ(device->SetDepthStencilSurface(depth), D3D_OK);
    EXPECT_EQ(depth->Release(), 0u);
    EXPECT_EQ(device->AddRef(), 3u) << "a binding alone holds no reference on the device";
    device->Release();
    IDirect3DSurface9* bound = nullptr;
    ASSERT_EQ(device->GetDepthStencilSurface(&bound), D3D_OK);
    EXPECT_EQ(bound, depth) << "the bound surface lives on";
    bound->Release();
    chain->Release();
}

TEST_F(DeviceTest, SurfacesDescribeThemselves)
{
    IDirect3DSurface9* back = nullptr;
    ASSERT_EQ(device->GetBackBuffer(0, 0, D3DBACKBUFFER_TYPE_MONO, &back), D3D_OK);
    D3DSURFACE_DESC description;
    back->GetDesc(&description);
    EXPECT_EQ(description.Width, 64u);
    EXPECT_EQ(description.Height, 48u);
    EXPECT_EQ(description.Format, D3DFMT_X8R8G8B8);
    EXPECT_EQ(description.Usage, static_cast<DWORD>(D3DUSAGE_RENDERTARGET));
    back->Release();

    IDirect3DSurface9* memory = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(8, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &memory, nullptr), D3D_OK);
    D3DLOCKED_RECT locked;
    ASSERT_EQ(memory->LockRect(&locked, nullptr, D3DLOCK_DISCARD), D3D_OK);
    EXPECT_EQ(locked.Pitch, 32);
    EXPECT_EQ(memory->UnlockRect(), D3D_OK);
    memory->Release();
}

TEST_F(DeviceTest, DesktopIsBlackBeforeAnythingIsPresented)
{
    std::vector<uint32_t> pixels = desktop();
    EXPECT_EQ(shown(pixels, 0, 0), black);
}

} // namespace
