#pragma once

// A Direct3D core on a small window, made before each test and destroyed
// after it, with the device at hand to see what reached it. Tests that use
// it link VostrelDirectX.

#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/DirectX/DXTexture.h"
#include "Platform/D3D9/D3D9Testing.h"
#include "Platform/Win32/Host.h"
#include "Tests/Support/GlErrorCheck.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

namespace Vostrel {
namespace TestSupport {

// What an A8R8G8B8 render-target texture of the installed Direct3D core
// holds, row after row.
inline std::vector<uint32_t> readTargetTexture(Core::Texture& texture)
{
    IDirect3DDevice9* device = Core::DXCore::getDevice();
    const int width = texture.getParameters().width;
    const int height = texture.getParameters().height;
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    IDirect3DSurface9* surface = dynamic_cast<Core::DXTexture&>(texture).getSurface(0);
    IDirect3DSurface9* memory = nullptr;
    EXPECT_EQ(device->CreateOffscreenPlainSurface(width, height, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &memory, nullptr),
              D3D_OK);
    if (memory && device->GetRenderTargetData(surface, memory) == D3D_OK) {
        D3DLOCKED_RECT locked;
        memory->LockRect(&locked, nullptr, D3DLOCK_READONLY);
        for (int y = 0; y < height; ++y)
            std::memcpy(&pixels[static_cast<size_t>(y) * width],
                        static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch, width * 4u);
        memory->UnlockRect();
    } else {
        ADD_FAILURE() << "the texture could not be read back";
    }
    if (memory)
        memory->Release();
    surface->Release();
    return pixels;
}

class HeadlessCoreTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        startGlErrorCheck();
        Win32Host::setDisplayModesForTesting({{640, 480, 60}}, {640, 480, 60});
        Core::APICore::destroyInstance();
        makeCore();
    }

    // A fresh core, as the fixture makes (after destroyInstance when a test
    // wants a second one).
    void makeCore()
    {
        Core::DXCore::install();
        Core::WindowParameters parameters;
        parameters.width = 32;
        parameters.height = 32;
        window = Core::createCore(parameters);
        ASSERT_NE(window, nullptr);
        device = Core::DXCore::getDevice();
    }

    void TearDown() override
    {
        Core::APICore::destroyInstance();
        D3D9Testing::stopLog();
        Win32Host::setDisplayModesForTesting({}, {0, 0, 0});
        expectNoGlErrors();
    }

    // The device calls of one name that an action makes.
    static std::vector<D3D9Testing::Call> callsOf(const std::string& name, const std::function<void()>& action)
    {
        D3D9Testing::startLog();
        action();
        D3D9Testing::stopLog();
        return D3D9Testing::callsNamed(D3D9Testing::takeLog(), name);
    }

    // The message of the exception an action throws; empty when it throws none.
    static std::string messageOf(const std::function<void()>& action)
    {
        try {
            action();
        } catch (const Exception& exception) {
            return exception.message;
        }
        return "";
    }

    // What an A8R8G8B8 render-target texture holds, row after row.
    std::vector<uint32_t> readTexture(Core::Texture& texture) { return readTargetTexture(texture); }

    Core::RenderWindow* window = nullptr;
    IDirect3DDevice9* device = nullptr;
};

} // namespace TestSupport
} // namespace Vostrel
