#include "Platform/D3D9/Internal.h"
#include "Platform/D3D9/TextureFormat.h"
#include "Platform/D3DX9/ImageFile.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

using D3DX9::Image;

UINT chainLength(UINT width, UINT height)
{
    UINT levels = 1;
    for (UINT side = std::max(width, height); side > 1; side >>= 1)
        ++levels;
    return levels;
}

using D3DX9::Texels;
using Level = Texels;

// The next level: each texel the average of the (up to) 2 x 2 above it.
Level halved(const Level& level, UINT width, UINT height, UINT& newWidth, UINT& newHeight)
{
    newWidth = std::max(1u, width / 2);
    newHeight = std::max(1u, height / 2);
    Level result(static_cast<size_t>(newWidth) * newHeight);
    for (UINT y = 0; y < newHeight; ++y) {
        for (UINT x = 0; x < newWidth; ++x) {
            std::array<float, 4> sum = {};
            int count = 0;
            for (UINT dy = 0; dy < 2; ++dy) {
                for (UINT dx = 0; dx < 2; ++dx) {
                    UINT sx = std::min(width - 1, x * 2 + dx);
                    UINT sy = std::min(height - 1, y * 2 + dy);
                    for (int c = 0; c < 4; ++c)
                        sum[c] += level[static_cast<size_t>(sy) * width + sx][c];
                    ++count;
                }
            }
            for (int c = 0; c < 4; ++c)
                result[static_cast<size_t>(y) * newWidth + x][c] = sum[c] / static_cast<float>(count);
        }
    }
    return result;
}

HRESULT writeLevel(IDirect3DTexture9* texture, UINT index, D3DFORMAT format, const Level& level, UINT width,
                   UINT height)
{
    D3DLOCKED_RECT locked;
    HRESULT status = texture->LockRect(index, &locked, nullptr, 0);
    if (FAILED(status))
        return status;
    D3DX9::storeTexels(level, width, height, format, static_cast<uint8_t*>(locked.pBits), locked.Pitch);
    return texture->UnlockRect(index);
}

D3DXIMAGE_INFO informationOf(const Image& image)
{
    return {image.width, image.height, 1, 1, image.format, D3DRTYPE_TEXTURE, image.fileFormat};
}

} // namespace

HRESULT WINAPI D3DXGetImageInfoFromFileA(const char* sourceFile, D3DXIMAGE_INFO* sourceInfo)
{
    if (!sourceFile)
        return D3D9::refuse("D3DXGetImageInfoFromFileA", "no file name");
    if (!sourceInfo)
        return D3D9::refuse("D3DXGetImageInfoFromFileA", "no result pointer");
    Image image;
    std::string reason;
    if (!D3DX9::readImageFile(sourceFile, image, true, reason))
        return D3D9::refuse("D3DXGetImageInfoFromFileA", "\"" + std::string(sourceFile) + "\": " + reason,
                            D3DXERR_INVALIDDATA);
    *sourceInfo = informationOf(image);
    return D3D_OK;
}

HRESULT WINAPI D3DXCreateTextureFromFileExA(IDirect3DDevice9* device, const char* sourceFile, UINT width, UINT height,
                                            UINT mipLevels, DWORD usage, D3DFORMAT format, D3DPOOL pool, DWORD filter,
                                            DWORD mipFilter, D3DCOLOR colorKey, D3DXIMAGE_INFO* sourceInfo,
                                            PALETTEENTRY* palette, IDirect3DTexture9** texture)
{
    const char* call = "D3DXCreateTextureFromFileExA";
    if (!device)
        return D3D9::refuse(call, "no device");
    if (!sourceFile)
        return D3D9::refuse(call, "no file name");
    if (!texture)
        return D3D9::refuse(call, "no result pointer");
    Image image;
    std::string reason;
    if (!D3DX9::readImageFile(sourceFile, image, false, reason))
        return D3D9::refuse(call, "\"" + std::string(sourceFile) + "\": " + reason, D3DXERR_INVALIDDATA);
    auto fromFile = [](UINT value) { return value == 0 || value == D3DX_DEFAULT || value == D3DX_DEFAULT_NONPOW2 || value == D3DX_FROM_FILE; };
    if (fromFile(width))
        width = image.width;
    if (fromFile(height))
        height = image.height;
    if (format == D3DFMT_UNKNOWN || format == static_cast<D3DFORMAT>(D3DX_FROM_FILE))
        format = image.format;
    // Textures have no 24-bit format; the nearest they have.
    if (format == D3DFMT_R8G8B8)
        format = D3DFMT_X8R8G8B8;
    if (!D3D9::textureFormat(format))
        return D3D9::refuse(call, "no texture format for format " + std::to_string(format), D3DERR_NOTAVAILABLE);
    // Automatic mipmaps fill their own levels from the top one.
    bool automatic = (usage & D3DUSAGE_AUTOGENMIPMAP) != 0;
    UINT levels = mipLevels == 0 || mipLevels == D3DX_DEFAULT ? chainLength(width, height) : mipLevels;
    levels = std::min(levels, chainLength(width, height));
    IDirect3DTexture9* made = nullptr;
    HRESULT status = device->CreateTexture(width, height, automatic ? 0 : levels, usage, format, pool, &made, nullptr);
    if (FAILED(status))
        return status;
    Level level = D3DX9::resampleImage(image, nullptr, width, height, colorKey);
    UINT levelWidth = width;
    UINT levelHeight = height;
    UINT written = automatic ? 1 : levels;
    for (UINT index = 0; index < written; ++index) {
        if (index > 0)
            level = halved(level, levelWidth, levelHeight, levelWidth, levelHeight);
        status = writeLevel(made, index, format, level, levelWidth, levelHeight);
        if (FAILED(status)) {
            made->Release();
            return status;
        }
    }
    if (sourceInfo)
        *sourceInfo = informationOf(image);
    *texture = made;
    return D3D_OK;
}
