#include "Platform/D3D9/Device.h"
#include "Platform/D3D9/Internal.h"
#include "Platform/Win32/Host.h"

namespace D3D9 {

D3DCAPS9 capabilities(D3DDEVTYPE type)
{
    D3DCAPS9 caps = {};
    caps.DeviceType = type;
    caps.AdapterOrdinal = 0;
    caps.Caps2 = D3DCAPS2_DYNAMICTEXTURES;
    caps.PresentationIntervals = D3DPRESENT_INTERVAL_ONE | D3DPRESENT_INTERVAL_IMMEDIATE;
    caps.MaxTextureWidth = 8192;
    caps.MaxTextureHeight = 8192;
    caps.MaxVolumeExtent = 2048;
    caps.MaxAnisotropy = 16;
    caps.MaxSimultaneousTextures = 8;
    caps.MaxUserClipPlanes = maxClipPlanes;
    caps.MaxPointSize = 256.0f;
    caps.MaxPrimitiveCount = 0xFFFFFF;
    caps.MaxVertexIndex = 0xFFFFFF;
    caps.MaxStreams = maxStreams;
    caps.MaxStreamStride = 255;
    caps.MaxVertexShaderConst = vertexConstantCount;
    caps.PixelShader1xMaxValue = 65504.0f;
    caps.NumSimultaneousRTs = 1;
    DWORD vertexVersion = 0x200;
    DWORD pixelVersion = 0x200;
    if (type == D3DDEVTYPE_HAL) {
        vertexVersion = adapterSwitches().halVertexShaderVersion;
        pixelVersion = adapterSwitches().halPixelShaderVersion;
    }
    caps.VertexShaderVersion = 0xFFFE0000u | vertexVersion;
    caps.PixelShaderVersion = 0xFFFF0000u | pixelVersion;
    return caps;
}

namespace {

D3DDISPLAYMODE asDirect3D(const Win32Host::DisplayMode& mode)
{
    return {static_cast<UINT>(mode.width), static_cast<UINT>(mode.height), static_cast<UINT>(mode.refreshRate),
            D3DFMT_X8R8G8B8};
}

class Direct3D : public IDirect3D9 {
public:
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override
    {
        ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }

    UINT GetAdapterCount() override { return 1; }

    UINT GetAdapterModeCount(UINT adapter, D3DFORMAT format) override
    {
        if (adapter != 0 || format != D3DFMT_X8R8G8B8)
            return 0;
        return static_cast<UINT>(Win32Host::displayModes().size());
    }

    HRESULT EnumAdapterModes(UINT adapter, D3DFORMAT format, UINT mode, D3DDISPLAYMODE* result) override
    {
        if (adapter != 0)
            return refuse("EnumAdapterModes", "no such adapter");
        if (!result)
            return refuse("EnumAdapterModes", "no result pointer");
        if (format != D3DFMT_X8R8G8B8)
            return refuse("EnumAdapterModes", "modes of X8R8G8B8 only", D3DERR_NOTAVAILABLE);
        std::vector<Win32Host::DisplayMode> modes = Win32Host::displayModes();
        if (mode >= modes.size())
            return refuse("EnumAdapterModes", "no such mode");
        *result = asDirect3D(modes[mode]);
        return D3D_OK;
    }

    HRESULT GetAdapterDisplayMode(UINT adapter, D3DDISPLAYMODE* mode) override
    {
        if (adapter != 0)
            return refuse("GetAdapterDisplayMode", "no such adapter");
        if (!mode)
            return refuse("GetAdapterDisplayMode", "no result pointer");
        *mode = asDirect3D(Win32Host::currentDisplayMode());
        return D3D_OK;
    }

    HRESULT GetDeviceCaps(UINT adapter, D3DDEVTYPE deviceType, D3DCAPS9* caps) override
    {
        if (adapter != 0)
            return refuse("GetDeviceCaps", "no such adapter");
        if (!caps)
            return refuse("GetDeviceCaps", "no result pointer");
        if (deviceType != D3DDEVTYPE_HAL && deviceType != D3DDEVTYPE_REF)
            return refuse("GetDeviceCaps", "neither a HAL nor a reference device");
        *caps = capabilities(deviceType);
        return D3D_OK;
    }

    HRESULT CreateDevice(UINT adapter, D3DDEVTYPE deviceType, HWND focusWindow, DWORD behaviorFlags,
                         D3DPRESENT_PARAMETERS* parameters, IDirect3DDevice9** result) override
    {
        if (adapter != 0)
            return refuse("CreateDevice", "no such adapter");
        if (!parameters)
            return refuse("CreateDevice", "no presentation parameters");
        if (!result)
            return refuse("CreateDevice", "no result pointer");
        Device* device = nullptr;
        HRESULT created = Device::create(this, deviceType, focusWindow, behaviorFlags, *parameters, &device);
        if (FAILED(created))
            return created;
        *result = device;
        return D3D_OK;
    }

private:
    ~Direct3D() override = default;
    ULONG references_ = 1;
};

} // namespace

} // namespace D3D9

IDirect3D9* WINAPI Direct3DCreate9(UINT sdkVersion)
{
    if (sdkVersion != 31 && sdkVersion != 32)
        return nullptr;
    if (!Win32Host::ensureVideo())
        return nullptr;
    return new D3D9::Direct3D();
}
