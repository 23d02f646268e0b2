#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/DirectX/DXTexture.h"
#include "Libs/Image/Image.h"
#include "Libs/Image/ImageCodec.h"

#include "Platform/D3DX9/d3dx9.h"

#include <cstring>
#include <iostream>
#include <memory>
#include <string>

namespace Vostrel {

namespace {

// Releases the surface on every path out.
struct SurfaceHolder {
    IDirect3DSurface9* surface = nullptr;
    ~SurfaceHolder()
    {
        if (surface)
            surface->Release();
    }
};

void copyRows(unsigned char* destination, int destinationPitch, const unsigned char* source, int sourcePitch,
              int rowBytes, int rows)
{
    if (destinationPitch == rowBytes && sourcePitch == rowBytes) {
        std::memcpy(destination, source, static_cast<size_t>(rowBytes) * rows);
        return;
    }
    for (int y = 0; y < rows; ++y)
        std::memcpy(destination + static_cast<size_t>(y) * destinationPitch,
                    source + static_cast<size_t>(y) * sourcePitch, rowBytes);
}

// A file's pixel format for a reason line: grey with alpha, the one image
// files can have that no channel layout here takes, by name; others by number.
std::string formatName(D3DFORMAT format)
{
    if (format == D3DFMT_A8L8)
        return "A8L8 (grey with alpha)";
    return "D3DFORMAT " + std::to_string(static_cast<long long>(format));
}

} // namespace

void WinCodec::read(const char* fileName, int* width, int* height, int* channels, unsigned char** pixels)
{
    D3DXIMAGE_INFO info;
    HRESULT result = D3DXGetImageInfoFromFileA(fileName, &info);
    if (result != D3D_OK) {
        Core::reportImageFileFailure(fileName);
        VOSTREL_THROW("D3DXGetImageInfoFromFile failed: " << fileName << ", errorcode = " << result);
    }
    int fileChannels = 0;
    D3DFORMAT format = info.Format;
    switch (info.Format) {
    case D3DFMT_R8G8B8: fileChannels = 3; break;
    case D3DFMT_A8R8G8B8: fileChannels = 4; break;
    case D3DFMT_X8R8G8B8: fileChannels = 4; format = D3DFMT_A8R8G8B8; break;
    case D3DFMT_L8: fileChannels = 1; break;
    default: break;
    }
    // No channel layout for the file's own format: an image without pixels
    // would only fail later.
    if (fileChannels == 0) {
        reportFileFailure(fileName, "pixel format " + formatName(info.Format) +
                                        " is not one images are read in (L8, R8G8B8, A8R8G8B8, X8R8G8B8)");
        VOSTREL_THROW("D3DXLoadSurfaceFromFile failed: " << fileName);
    }
    SurfaceHolder holder;
    if (Core::DXCore::getDevice()->CreateOffscreenPlainSurface(info.Width, info.Height, format, D3DPOOL_SYSTEMMEM,
                                                               &holder.surface, nullptr) != D3D_OK)
        VOSTREL_THROW("CreateOffscreenPlainSurface failed.");
    if (D3DXLoadSurfaceFromFileA(holder.surface, nullptr, nullptr, fileName, nullptr, D3DX_FILTER_NONE, 0,
                                 nullptr) != D3D_OK) {
        Core::reportImageFileFailure(fileName);
        VOSTREL_THROW("D3DXLoadSurfaceFromFile failed: " << fileName);
    }
    const int w = static_cast<int>(info.Width);
    const int h = static_cast<int>(info.Height);
    std::unique_ptr<unsigned char[]> data(new unsigned char[imageByteCount(w, h, fileChannels)]);
    D3DLOCKED_RECT locked;
    if (holder.surface->LockRect(&locked, nullptr, 0) != D3D_OK)
        VOSTREL_THROW("D3DXLoadSurfaceFromFile failed: " << fileName);
    copyRows(data.get(), w * fileChannels, static_cast<const unsigned char*>(locked.pBits), locked.Pitch,
             w * fileChannels, h);
    holder.surface->UnlockRect();
    *width = w;
    *height = h;
    *channels = fileChannels;
    *pixels = data.release();
}

void WinCodec::write(int fileFormat, const char* fileName, int width, int height, int channels,
                     const unsigned char* pixels)
{
    D3DFORMAT format;
    switch (channels) {
    case 1: format = D3DFMT_L8; break;
    case 3: format = D3DFMT_R8G8B8; break;
    case 4: format = D3DFMT_X8R8G8B8; break;
    default: VOSTREL_THROW("Cannot write an image with " << channels << " channels: " << fileName);
    }
    std::cout << "width: " << width << "\nheight: " << height << "\nchannels: " << channels << "\n";
    SurfaceHolder holder;
    if (Core::DXCore::getDevice()->CreateOffscreenPlainSurface(width, height, format, D3DPOOL_SYSTEMMEM,
                                                               &holder.surface, nullptr) != D3D_OK)
        VOSTREL_THROW("CreateOffscreenPlainSurface failed.");
    D3DLOCKED_RECT locked;
    if (holder.surface->LockRect(&locked, nullptr, 0) != D3D_OK)
        VOSTREL_THROW("CreateOffscreenPlainSurface failed.");
    copyRows(static_cast<unsigned char*>(locked.pBits), locked.Pitch, pixels, width * channels, width * channels,
             height);
    holder.surface->UnlockRect();
    if (D3DXSaveSurfaceToFileA(fileName, static_cast<D3DXIMAGE_FILEFORMAT>(fileFormat), holder.surface, nullptr,
                               nullptr) != D3D_OK)
        VOSTREL_THROW("D3DXSaveSurfaceToFile failed: " << fileName);
}

void JPEGCodec::write(const char* fileName, int width, int height, int channels, const unsigned char* pixels)
{
    WinCodec::write(D3DXIFF_JPG, fileName, width, height, channels, pixels);
}

void JPEGCodec::read(const char* fileName, int* width, int* height, int* channels, unsigned char** pixels)
{
    WinCodec::read(fileName, width, height, channels, pixels);
}

void PNGCodec::write(const char* fileName, int width, int height, int channels, const unsigned char* pixels)
{
    WinCodec::write(D3DXIFF_PNG, fileName, width, height, channels, pixels);
}

void PNGCodec::read(const char* fileName, int* width, int* height, int* channels, unsigned char** pixels)
{
    WinCodec::read(fileName, width, height, channels, pixels);
}

} // namespace Vostrel
