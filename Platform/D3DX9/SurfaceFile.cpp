#include "Platform/D3D9/Internal.h"
#include "Platform/D3D9/TextureFormat.h"
#include "Platform/D3DX9/ImageFile.h"

#include <cstdio>
#include <memory>

namespace {

bool validRect(const RECT& rect, UINT width, UINT height)
{
    return rect.left >= 0 && rect.top >= 0 && rect.left < rect.right && rect.top < rect.bottom &&
           static_cast<UINT>(rect.right) <= width && static_cast<UINT>(rect.bottom) <= height;
}

// Channels a file keeps of a surface format.
int channelsOf(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_L8:
    case D3DFMT_L16: return 1;
    case D3DFMT_A8L8: return 2;
    case D3DFMT_A8R8G8B8:
    case D3DFMT_A16B16G16R16F:
    case D3DFMT_A32B32G32R32F: return 4;
    default: return 3;
    }
}

} // namespace

HRESULT WINAPI D3DXLoadSurfaceFromFileA(IDirect3DSurface9* destSurface, const PALETTEENTRY* destPalette,
                                        const RECT* destRect, const char* sourceFile, const RECT* sourceRect,
                                        DWORD filter, D3DCOLOR colorKey, D3DXIMAGE_INFO* sourceInfo)
{
    const char* call = "D3DXLoadSurfaceFromFileA";
    if (!destSurface)
        return D3D9::refuse(call, "no surface");
    if (!sourceFile)
        return D3D9::refuse(call, "no file name");
    D3DSURFACE_DESC description;
    if (FAILED(destSurface->GetDesc(&description)) || D3D9::memoryPixelBytes(description.Format) == 0)
        return D3D9::refuse(call, "a surface of no known format");
    D3DX9::Image image;
    std::string reason;
    if (!D3DX9::readImageFile(sourceFile, image, false, reason))
        return D3D9::refuse(call, "\"" + std::string(sourceFile) + "\": " + reason, D3DXERR_INVALIDDATA);
    RECT target = destRect ? *destRect
                           : RECT{0, 0, static_cast<LONG>(description.Width), static_cast<LONG>(description.Height)};
    if (!validRect(target, description.Width, description.Height))
        return D3D9::refuse(call, "destination rectangle outside the surface");
    if (sourceRect && !validRect(*sourceRect, image.width, image.height))
        return D3D9::refuse(call, "source rectangle outside the image");
    UINT width = static_cast<UINT>(target.right - target.left);
    UINT height = static_cast<UINT>(target.bottom - target.top);
    D3DX9::Texels texels = D3DX9::resampleImage(image, sourceRect, width, height, colorKey);
    D3DLOCKED_RECT locked;
    HRESULT status = destSurface->LockRect(&locked, &target, 0);
    if (FAILED(status))
        return status;
    D3DX9::storeTexels(texels, width, height, description.Format, static_cast<uint8_t*>(locked.pBits), locked.Pitch);
    destSurface->UnlockRect();
    if (sourceInfo)
        *sourceInfo = {image.width, image.height, 1, 1, image.format, D3DRTYPE_TEXTURE, image.fileFormat};
    return D3D_OK;
}

HRESULT WINAPI D3DXSaveSurfaceToFileA(const char* destFile, D3DXIMAGE_FILEFORMAT destFormat,
                                      IDirect3DSurface9* sourceSurface, const PALETTEENTRY* sourcePalette,
                                      const RECT* sourceRect)
{
    const char* call = "D3DXSaveSurfaceToFileA";
    if (!destFile)
        return D3D9::refuse(call, "no file name");
    if (!sourceSurface)
        return D3D9::refuse(call, "no surface");
    D3DSURFACE_DESC description;
    if (FAILED(sourceSurface->GetDesc(&description)) || D3D9::memoryPixelBytes(description.Format) == 0)
        return D3D9::refuse(call, "a surface of no known format");
    RECT area = sourceRect ? *sourceRect
                           : RECT{0, 0, static_cast<LONG>(description.Width), static_cast<LONG>(description.Height)};
    if (!validRect(area, description.Width, description.Height))
        return D3D9::refuse(call, "source rectangle outside the surface");
    D3DLOCKED_RECT locked;
    HRESULT status = sourceSurface->LockRect(&locked, &area, D3DLOCK_READONLY);
    if (FAILED(status))
        return status;
    D3DX9::Image image;
    image.width = static_cast<UINT>(area.right - area.left);
    image.height = static_cast<UINT>(area.bottom - area.top);
    image.rgba.resize(static_cast<size_t>(image.width) * image.height * 4);
    size_t bytes = static_cast<size_t>(D3D9::memoryPixelBytes(description.Format));
    for (UINT y = 0; y < image.height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) + static_cast<ptrdiff_t>(y) * locked.Pitch;
        for (UINT x = 0; x < image.width; ++x) {
            std::array<float, 4> texel = D3D9::decodeTexel(description.Format, row + x * bytes);
            for (int c = 0; c < 4; ++c) {
                float value = texel[c] < 0.0f ? 0.0f : (texel[c] > 1.0f ? 1.0f : texel[c]);
                image.rgba[(static_cast<size_t>(y) * image.width + x) * 4 + c] =
                    static_cast<uint8_t>(value * 255.0f + 0.5f);
            }
        }
    }
    sourceSurface->UnlockRect();
    std::vector<uint8_t> file;
    std::string reason;
    if (!D3DX9::encodeImage(image, channelsOf(description.Format), destFormat, file, reason))
        return D3D9::refuse(call, reason);
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out(std::fopen(destFile, "wb"), std::fclose);
    if (!out || std::fwrite(file.data(), 1, file.size(), out.get()) != file.size())
        return D3D9::refuse(call, std::string("cannot write \"") + destFile + "\"");
    return D3D_OK;
}
