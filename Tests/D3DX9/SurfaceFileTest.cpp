#include "Platform/D3DX9/d3dx9.h"
#include "Tests/D3D9/DeviceFixture.h"
#include "Tests/Support/TempDir.h"

#include <cstdio>
#include <fstream>
#include <iterator>

namespace {

std::vector<uint8_t> bytesOf(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

using SurfaceFileTest = DeviceTest;

IDirect3DSurface9* memorySurface(IDirect3DDevice9* device, UINT width, UINT height, D3DFORMAT format)
{
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(device->CreateOffscreenPlainSurface(width, height, format, D3DPOOL_SYSTEMMEM, &surface, nullptr), D3D_OK)
        << format;
    return surface;
}

// The surface's rows without their padding.
std::vector<uint8_t> rowsOf(IDirect3DSurface9* surface, size_t rowBytes, UINT height)
{
    D3DLOCKED_RECT locked;
    surface->LockRect(&locked, nullptr, D3DLOCK_READONLY);
    std::vector<uint8_t> rows;
    for (UINT y = 0; y < height; ++y) {
        const uint8_t* row = static_cast<const uint8_t*>(locked.pBits) + y * locked.Pitch;
        rows.insert(rows.end(), row, row + rowBytes);
    }
    surface->UnlockRect();
    return rows;
}

// ImageMagick's reading of a file, as raw bytes of the given map ("rgba", "rgb", "gray").
std::vector<uint8_t> readByImageMagick(const std::string& path, const std::string& map, const VostrelTest::TempDir& dir)
{
    std::string raw = dir.file("decoded.raw");
    std::string command = "convert '" + path + "' -depth 8 " + map + ":'" + raw + "' 2>/dev/null";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
    return bytesOf(raw);
}

TEST_F(SurfaceFileTest, FilesLoadIntoSurfacesOfEachFormatAndRectangle)
{
    std::vector<uint8_t> rgba = bytesOf("images/pixels.rgba");
    std::vector<uint8_t> grey = bytesOf("images/pixels.grey");
    D3DXIMAGE_INFO info = {};
    IDirect3DSurface9* surface = memorySurface(device, 5, 3, D3DFMT_A8R8G8B8);
    ASSERT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, "images/rgba.png", nullptr, D3DX_FILTER_NONE, 0, &info),
              D3D_OK);
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
    std::vector<uint8_t> expected;
    for (size_t i = 0; i < 15; ++i)
        expected.insert(expected.end(), {rgba[i * 4 + 2], rgba[i * 4 + 1], rgba[i * 4], rgba[i * 4 + 3]});
    EXPECT_EQ(rowsOf(surface, 20, 3), expected);
    surface->Release();

    surface = memorySurface(device, 5, 3, D3DFMT_R8G8B8);
    ASSERT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, "images/rgb.png", nullptr, D3DX_FILTER_NONE, 0, &info),
              D3D_OK);
    EXPECT_EQ(info.Format, D3DFMT_R8G8B8);
    expected.clear();
    for (size_t i = 0; i < 15; ++i)
        expected.insert(expected.end(), {rgba[i * 4 + 2], rgba[i * 4 + 1], rgba[i * 4]});
    EXPECT_EQ(rowsOf(surface, 15, 3), expected);
    surface->Release();

    surface = memorySurface(device, 5, 3, D3DFMT_L8);
    ASSERT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, "images/grey.png", nullptr, D3DX_FILTER_NONE, 0, &info),
              D3D_OK);
    EXPECT_EQ(rowsOf(surface, 5, 3), grey);
    surface->Release();

    // Pixels (1, 1) and (2, 1) of the file into (3, 0) and (4, 0) of a
    // cleared surface.
    surface = memorySurface(device, 6, 2, D3DFMT_X8R8G8B8);
    device->ColorFill(surface, nullptr, 0);
    RECT from = {1, 1, 3, 2};
    RECT to = {3, 0, 5, 1};
    ASSERT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, &to, "images/rgba.png", &from, D3DX_FILTER_NONE, 0, nullptr),
              D3D_OK);
    std::vector<uint8_t> rows = rowsOf(surface, 24, 2);
    EXPECT_EQ(rows[3 * 4 + 2], rgba[6 * 4]) << "red of file pixel (1, 1)";
    EXPECT_EQ(rows[4 * 4 + 1], rgba[7 * 4 + 1]) << "green of file pixel (2, 1)";
    EXPECT_EQ(rows[4 * 4 + 3], 0xFF) << "X8R8G8B8 has no alpha to keep";
    EXPECT_EQ(rows[2 * 4 + 2], 0) << "outside the rectangle";
    RECT outside = {4, 0, 7, 1};
    EXPECT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, &outside, "images/rgba.png", nullptr, D3DX_FILTER_NONE, 0,
                                       nullptr),
              D3DERR_INVALIDCALL);
    EXPECT_EQ(D3D9Testing::takeRefusal(), "D3DXLoadSurfaceFromFileA: destination rectangle outside the surface");
    EXPECT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, "images/truncated.png", nullptr, D3DX_FILTER_NONE, 0,
                                       nullptr),
              D3DXERR_INVALIDDATA);
    std::string refusal = D3D9Testing::takeRefusal();
    EXPECT_EQ(refusal.rfind("D3DXLoadSurfaceFromFileA: \"images/truncated.png\": PNG: ", 0), 0u) << refusal;
    surface->Release();
}

TEST_F(SurfaceFileTest, SavedFilesReadBackAsImageMagickSeesThem)
{
    VostrelTest::TempDir dir;
    std::vector<uint8_t> rgba = bytesOf("images/pixels.rgba");
    IDirect3DSurface9* surface = memorySurface(device, 5, 3, D3DFMT_A8R8G8B8);
    ASSERT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, "images/rgba.png", nullptr, D3DX_FILTER_NONE, 0,
                                       nullptr),
              D3D_OK);
    std::string png = dir.file("saved.png");
    ASSERT_EQ(D3DXSaveSurfaceToFileA(png.c_str(), D3DXIFF_PNG, surface, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(readByImageMagick(png, "rgba", dir), rgba);
    std::string bmp = dir.file("saved.bmp");
    ASSERT_EQ(D3DXSaveSurfaceToFileA(bmp.c_str(), D3DXIFF_BMP, surface, nullptr, nullptr), D3D_OK);
    EXPECT_EQ(readByImageMagick(bmp, "rgb", dir), bytesOf("images/pixels.rgb"));
    RECT corner = {3, 1, 5, 3};
    ASSERT_EQ(D3DXSaveSurfaceToFileA(png.c_str(), D3DXIFF_PNG, surface, nullptr, &corner), D3D_OK);
    std::vector<uint8_t> part = readByImageMagick(png, "rgba", dir);
    ASSERT_EQ(part.size(), 16u);
    EXPECT_EQ(std::vector<uint8_t>(part.begin(), part.begin() + 4),
              std::vector<uint8_t>(rgba.begin() + (5 + 3) * 4, rgba.begin() + (5 + 3) * 4 + 4));
    EXPECT_EQ(D3DXSaveSurfaceToFileA(png.c_str(), D3DXIFF_DDS, surface, nullptr, nullptr), D3DERR_INVALIDCALL);
    surface->Release();

    // A JPEG of a smooth picture comes back close.
    std::vector<uint8_t> photo = bytesOf("images/photo.rgb");
    surface = memorySurface(device, 16, 8, D3DFMT_X8R8G8B8);
    ASSERT_EQ(D3DXLoadSurfaceFromFileA(surface, nullptr, nullptr, "images/photo.jpg", nullptr, D3DX_FILTER_NONE, 0,
                                       nullptr),
              D3D_OK);
    std::string jpg = dir.file("saved.jpg");
    ASSERT_EQ(D3DXSaveSurfaceToFileA(jpg.c_str(), D3DXIFF_JPG, surface, nullptr, nullptr), D3D_OK);
    std::vector<uint8_t> decoded = readByImageMagick(jpg, "rgb", dir);
    ASSERT_EQ(decoded.size(), photo.size());
    // Colour is kept at half resolution: a sharp red-blue edge may be off by
    // a few tens at a pixel, the picture as a whole by a few steps.
    int worst = 0;
    double total = 0;
    for (size_t i = 0; i < photo.size(); ++i) {
        worst = std::max(worst, std::abs(decoded[i] - photo[i]));
        total += std::abs(decoded[i] - photo[i]);
    }
    EXPECT_LE(worst, 32);
    EXPECT_LE(total / photo.size(), 6.0);
    D3DXIMAGE_INFO info = {};
    ASSERT_EQ(D3DXGetImageInfoFromFileA(jpg.c_str(), &info), D3D_OK);
    EXPECT_EQ(info.ImageFileFormat, D3DXIFF_JPG);
    EXPECT_EQ(info.Width, 16u);
    surface->Release();
}

} // namespace
