#include "Platform/D3DX9/ImageFile.h"
#include "Platform/D3DX9/d3dx9.h"
#include "Tests/D3D9/DeviceFixture.h"

#include <zlib.h>

#include <fstream>
#include <iterator>

namespace {

std::vector<uint8_t> fileBytes(const std::string& name)
{
    std::ifstream file("images/" + name, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(file), {});
}

using TextureFromFileTest = DeviceTest;

// Each texel of level 0 as A8R8G8B8.
std::vector<uint32_t> texels(IDirect3DTexture9* texture)
{
    D3DSURFACE_DESC description;
    texture->GetLevelDesc(0, &description);
    D3DLOCKED_RECT locked;
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    std::vector<uint32_t> result(description.Width * description.Height);
    for (UINT y = 0; y < description.Height; ++y)
        std::memcpy(&result[y * description.Width], static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch,
                    description.Width * 4);
    texture->UnlockRect(0);
    return result;
}

TEST_F(TextureFromFileTest, EachPngColourTypeReadsAsItsPixels)
{
    std::vector<uint8_t> rgba = fileBytes("pixels.rgba");
    std::vector<uint8_t> grey = fileBytes("pixels.grey");
    std::vector<uint8_t> greyAlpha = fileBytes("pixels.greyalpha");
    ASSERT_EQ(rgba.size(), 60u);
    struct Case {
        const char* file;
        D3DFORMAT format;
        // Expected R, G, B, A of pixel i.
        std::function<std::array<uint8_t, 4>(size_t)> pixel;
    };
    const Case cases[] = {
        {"rgba.png", D3DFMT_A8R8G8B8, [&](size_t i) { return std::array<uint8_t, 4>{rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2], rgba[i * 4 + 3]}; }},
        {"rgb.png", D3DFMT_R8G8B8, [&](size_t i) { return std::array<uint8_t, 4>{rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2], 255}; }},
        {"rgb16.png", D3DFMT_R8G8B8, [&](size_t i) { return std::array<uint8_t, 4>{rgba[i * 4], rgba[i * 4 + 1], rgba[i * 4 + 2], 255}; }},
        {"grey.png", D3DFMT_L8, [&](size_t i) { return std::array<uint8_t, 4>{grey[i], grey[i], grey[i], 255}; }},
        {"greyalpha.png", D3DFMT_A8L8, [&](size_t i) { return std::array<uint8_t, 4>{greyAlpha[i * 2], greyAlpha[i * 2], greyAlpha[i * 2], greyAlpha[i * 2 + 1]}; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.file);
        std::string path = std::string("images/") + c.file;
        D3DXIMAGE_INFO info = {};
        ASSERT_EQ(D3DXGetImageInfoFromFileA(path.c_str(), &info), D3D_OK);
        EXPECT_EQ(info.Width, 5u);
        EXPECT_EQ(info.Height, 3u);
        EXPECT_EQ(info.Format, c.format);
        EXPECT_EQ(info.ImageFileFormat, D3DXIFF_PNG);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(D3DXCreateTextureFromFileExA(device, path.c_str(), D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_A8R8G8B8,
                                               D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr,
                                               nullptr, &texture),
                  D3D_OK);
        std::vector<uint32_t> read = texels(texture);
        ASSERT_EQ(read.size(), 15u);
        for (size_t i = 0; i < read.size(); ++i) {
            std::array<uint8_t, 4> want = c.pixel(i);
            EXPECT_EQ(read[i], D3DCOLOR_ARGB(want[3], want[0], want[1], want[2])) << "pixel " << i;
        }
        texture->Release();
    }
}

TEST_F(TextureFromFileTest, JpegsDecodeAsImageMagickDoes)
{
    struct Case {
        const char* file;
        const char* reference;
        D3DFORMAT format;
        int channels;
    };
    for (const Case& c : {Case{"photo.jpg", "photo.rgb", D3DFMT_X8R8G8B8, 3}, Case{"grey.jpg", "grey.grey", D3DFMT_L8, 1}}) {
        SCOPED_TRACE(c.file);
        std::vector<uint8_t> reference = fileBytes(c.reference);
        D3DX9::Image image;
        std::string reason;
        std::vector<uint8_t> bytes = fileBytes(c.file);
        ASSERT_TRUE(D3DX9::decodeImage(bytes.data(), bytes.size(), image, false, reason)) << reason;
        EXPECT_EQ(image.format, c.format);
        EXPECT_EQ(image.fileFormat, D3DXIFF_JPG);
        ASSERT_EQ(image.width * image.height * c.channels, reference.size());
        int worst = 0;
        for (size_t i = 0; i < image.width * image.height; ++i)
            for (int channel = 0; channel < 3; ++channel)
                worst = std::max(worst, std::abs(image.rgba[i * 4 + channel] -
                                                 reference[i * c.channels + (c.channels == 3 ? channel : 0)]));
        EXPECT_LE(worst, 1);
    }
}

TEST_F(TextureFromFileTest, FormatsSizesAndLevelsFollowTheRequest)
{
    const char* path = "images/rgba.png";
    IDirect3DTexture9* texture = nullptr;
    D3DXIMAGE_INFO info = {};
    // The file's format, a full chain of box-filtered levels.
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device, path, 0, 0, D3DX_DEFAULT, 0, D3DFMT_UNKNOWN, D3DPOOL_MANAGED,
                                           D3DX_FILTER_NONE, D3DX_FILTER_BOX, 0, &info, nullptr, &texture),
              D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 3u);
    D3DSURFACE_DESC description;
    texture->GetLevelDesc(2, &description);
    EXPECT_EQ(description.Format, D3DFMT_A8R8G8B8);
    EXPECT_EQ(description.Width, 1u);
    EXPECT_EQ(info.Format, D3DFMT_A8R8G8B8);
    texture->Release();

    // A larger size resamples by the nearest texel; the colour key of
    // pixel 0 clears it.
    std::vector<uint8_t> rgba = fileBytes("pixels.rgba");
    D3DCOLOR key = D3DCOLOR_ARGB(rgba[3], rgba[0], rgba[1], rgba[2]);
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device, path, 10, 6, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED,
                                           D3DX_FILTER_NONE, D3DX_FILTER_NONE, key, nullptr, nullptr, &texture),
              D3D_OK);
    std::vector<uint32_t> read = texels(texture);
    EXPECT_EQ(read[0], 0u);
    EXPECT_EQ(read[11], 0u) << "pixel 0 doubled";
    EXPECT_EQ(read[2], D3DCOLOR_ARGB(rgba[7], rgba[4], rgba[5], rgba[6]));
    texture->Release();

    // Float and luminance formats convert.
    ASSERT_EQ(D3DXCreateTextureFromFileExA(device, "images/grey.png", D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_R32F,
                                           D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr, nullptr,
                                           &texture),
              D3D_OK);
    D3DLOCKED_RECT locked;
    texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY);
    EXPECT_FLOAT_EQ(*static_cast<float*>(locked.pBits), fileBytes("pixels.grey")[0] / 255.0f);
    texture->UnlockRect(0);
    texture->Release();
}

TEST_F(TextureFromFileTest, BadFilesAreInvalidData)
{
    IDirect3DTexture9* texture = nullptr;
    for (const char* path : {"images/truncated.png", "images/missing.png", "images/make_images.sh"}) {
        SCOPED_TRACE(path);
        EXPECT_EQ(D3DXCreateTextureFromFileExA(device, path, D3DX_DEFAULT, D3DX_DEFAULT, 1, 0, D3DFMT_A8R8G8B8,
                                               D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0, nullptr,
                                               nullptr, &texture),
                  D3DXERR_INVALIDDATA);
        EXPECT_EQ(texture, nullptr);
        std::string refusal = D3D9Testing::takeRefusal();
        EXPECT_EQ(refusal.rfind("D3DXCreateTextureFromFileExA: \"" + std::string(path) + "\": ", 0), 0u) << refusal;
    }
    // Names from data files: any case, backslashes.
    EXPECT_EQ(D3DXCreateTextureFromFileExA(device, "IMAGES\\Rgba.PNG", D3DX_DEFAULT, D3DX_DEFAULT, 1, 0,
                                           D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, D3DX_FILTER_NONE, D3DX_FILTER_NONE, 0,
                                           nullptr, nullptr, &texture),
              D3D_OK);
    texture->Release();
    // A header that claims a huge image is refused before anything is allocated.
    std::vector<uint8_t> huge = fileBytes("rgba.png");
    // 16000 x 16000, each side allowed but not their product; the header's
    // checksum made right.
    const uint8_t side[4] = {0x00, 0x00, 0x3E, 0x80};
    std::memcpy(&huge[16], side, 4);
    std::memcpy(&huge[20], side, 4);
    uLong crc = crc32(0, huge.data() + 12, 17);
    for (int i = 0; i < 4; ++i)
        huge[29 + i] = static_cast<uint8_t>(crc >> (24 - 8 * i));
    D3DX9::Image image;
    std::string reason;
    EXPECT_FALSE(D3DX9::decodeImage(huge.data(), huge.size(), image, true, reason));
    EXPECT_EQ(reason, "image size 16000 x 16000 out of range");
}

} // namespace
