#include "Platform/D3D9/Device.h"
#include "Platform/D3D9/Texture.h"
#include "Tests/D3D9/DeviceFixture.h"

#include <epoxy/gl.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

using TextureTest = DeviceTest;

// What OpenGL holds for one level (and layer range) of a texture, tightly
// packed in the texture's memory layout.
std::vector<uint8_t> heldByOpenGL(IDirect3DBaseTexture9* texture, int level, int firstLayer = 0, int layers = 1)
{
    D3D9::BaseTexture* base = D3D9::asTexture(texture);
    const D3D9::TextureFormat& format = base->format();
    UINT width, height, depth;
    base->levelSize(static_cast<UINT>(level), width, height, depth);
    if (base->shape().type == D3DRTYPE_VOLUMETEXTURE && layers == 1)
        layers = static_cast<int>(depth);
    std::vector<uint8_t> bytes(static_cast<size_t>(width) * height * layers * format.bytesPerTexel);
    glPixelStorei(GL_PACK_ALIGNMENT, 1);
    glGetTextureSubImage(base->name(), level, 0, 0, firstLayer, static_cast<GLsizei>(width),
                         static_cast<GLsizei>(height), layers, format.pixelFormat, format.pixelType,
                         static_cast<GLsizei>(bytes.size()), bytes.data());
    glPixelStorei(GL_PACK_ALIGNMENT, 4);
    return bytes;
}

std::vector<uint8_t> randomBytes(size_t count, unsigned seed)
{
    std::mt19937 random(seed);
    std::vector<uint8_t> bytes(count);
    for (uint8_t& byte : bytes)
        byte = static_cast<uint8_t>(random() & 0x3F); // small values stay finite in float formats
    return bytes;
}

// Writes tightly packed rows through a locked pitch.
void writeRows(const D3DLOCKED_RECT& locked, const std::vector<uint8_t>& rows, size_t rowBytes)
{
    for (size_t row = 0; row < rows.size() / rowBytes; ++row)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + row * locked.Pitch, &rows[row * rowBytes], rowBytes);
}

TEST_F(TextureTest, EveryFormatRoundTripsThroughALockInDirect3DsLayout)
{
    const D3DFORMAT formats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_L8, D3DFMT_A8L8, D3DFMT_L16,
                                 D3DFMT_G16R16, D3DFMT_R16F, D3DFMT_R32F, D3DFMT_A16B16G16R16F,
                                 D3DFMT_A32B32G32R32F, D3DFMT_R5G6B5, D3DFMT_A8};
    for (D3DFORMAT format : formats) {
        SCOPED_TRACE(format);
        const UINT width = 5;
        const UINT height = 3;
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(device->CreateTexture(width, height, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
        size_t rowBytes = width * D3D9::textureFormat(format)->bytesPerTexel;
        std::vector<uint8_t> rows = randomBytes(rowBytes * height, format);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        EXPECT_EQ(locked.Pitch % 4, 0) << "rows start on four bytes";
        EXPECT_GE(static_cast<size_t>(locked.Pitch), rowBytes);
        writeRows(locked, rows, rowBytes);
        ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
        EXPECT_EQ(heldByOpenGL(texture, 0), rows);

        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_READONLY), D3D_OK);
        for (UINT row = 0; row < height; ++row)
            EXPECT_EQ(std::memcmp(static_cast<uint8_t*>(locked.pBits) + row * locked.Pitch, &rows[row * rowBytes],
                                  rowBytes),
                      0);
        texture->UnlockRect(0);
        texture->Release();
    }
}

TEST_F(TextureTest, ARectangleLockWritesOnlyItsRectangle)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    RECT rect = {2, 3, 5, 7};
    D3DLOCKED_RECT locked;
    // Direct3D's discard on a managed texture keeps what lies outside.
    ASSERT_EQ(texture->LockRect(0, &locked, &rect, D3DLOCK_DISCARD), D3D_OK);
    for (int y = 0; y < 4; ++y)
        for (int x = 0; x < 3; ++x)
            reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] = 0xFF00FF00u;
    ASSERT_EQ(texture->UnlockRect(0), D3D_OK);
    std::vector<uint8_t> held = heldByOpenGL(texture, 0);
    for (int y = 0; y < 8; ++y) {
        for (int x = 0; x < 8; ++x) {
            uint32_t texel;
            std::memcpy(&texel, &held[(y * 8 + x) * 4], 4);
            bool inside = x >= 2 && x < 5 && y >= 3 && y < 7;
            EXPECT_EQ(texel, inside ? 0xFF00FF00u : 0u) << x << ", " << y;
        }
    }
    texture->Release();
}

TEST_F(TextureTest, LocksFollowDirect3DsRules)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(8, 8, 0, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    EXPECT_EQ(texture->GetLevelCount(), 4u) << "a full chain";
    D3DLOCKED_RECT locked;
    ASSERT_EQ(texture->LockRect(3, &locked, nullptr, 0), D3D_OK);
    EXPECT_EQ(texture->LockRect(2, &locked, nullptr, 0), D3D_OK) << "another level may be locked at once";
    texture->UnlockRect(2);
    texture->UnlockRect(3);
    texture->Release();
    ASSERT_EQ(device->CreateTexture(8, 8, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr),
              D3D_OK);
    EXPECT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3D_OK);
    texture->UnlockRect(0);
    texture->Release();
}

TEST_F(TextureTest, CreationTakesWhatTheDeviceCanMake)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 16, 5, 0, D3DFMT_L16, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    texture->Release();
    ASSERT_EQ(device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A16B16G16R16F, D3DPOOL_DEFAULT, &texture,
                                    nullptr),
              D3D_OK);
    texture->Release();
}

// The level below a packed level of 8-bit channels: each texel the mean of
// the 2 x 2 above it, rounded; an odd side drops its last texel, a side of
// one counts its texels twice.
std::vector<uint8_t> boxFiltered(const std::vector<uint8_t>& level, UINT width, UINT height, UINT texelBytes)
{
    UINT halfWidth = std::max(1u, width / 2), halfHeight = std::max(1u, height / 2);
    std::vector<uint8_t> result;
    for (UINT y = 0; y < halfHeight; ++y)
        for (UINT x = 0; x < halfWidth; ++x)
            for (UINT c = 0; c < texelBytes; ++c) {
                double sum = 0;
                for (UINT sy : {2 * y, std::min(2 * y + 1, height - 1)})
                    for (UINT sx : {2 * x, std::min(2 * x + 1, width - 1)})
                        sum += level[(sy * width + sx) * texelBytes + c];
                result.push_back(static_cast<uint8_t>(std::floor(sum / 4 + 0.5)));
            }
    return result;
}

// The driver may filter as it likes (Direct3D leaves it to the device); a
// software rasteriser's levels are ours, the box filter exactly. Each face
// of a cube has its own chain.
TEST_F(TextureTest, AutomaticMipmapsOfByteChannelsAreTheBoxFilteredTopLevel)
{
    struct Case {
        D3DFORMAT format;
        D3DRESOURCETYPE type;
        D3DPOOL pool;
        UINT width, height;
    };
    const Case cases[] = {
        {D3DFMT_A8R8G8B8, D3DRTYPE_TEXTURE, D3DPOOL_DEFAULT, 32, 32},
        {D3DFMT_X8R8G8B8, D3DRTYPE_TEXTURE, D3DPOOL_MANAGED, 8, 2},
        {D3DFMT_L8, D3DRTYPE_TEXTURE, D3DPOOL_MANAGED, 7, 5},
        {D3DFMT_A8L8, D3DRTYPE_TEXTURE, D3DPOOL_DEFAULT, 1, 6},
        {D3DFMT_A8, D3DRTYPE_TEXTURE, D3DPOOL_MANAGED, 3, 9},
        {D3DFMT_A8R8G8B8, D3DRTYPE_CUBETEXTURE, D3DPOOL_MANAGED, 4, 4},
    };
    for (const Case& test : cases) {
        SCOPED_TRACE(std::to_string(test.format) + " " + std::to_string(test.width) + " x " +
                     std::to_string(test.height));
        const DWORD usage = D3DUSAGE_AUTOGENMIPMAP | (test.pool == D3DPOOL_DEFAULT ? D3DUSAGE_DYNAMIC : 0);
        IDirect3DCubeTexture9* cube = nullptr;
        IDirect3DTexture9* plain = nullptr;
        if (test.type == D3DRTYPE_CUBETEXTURE)
            ASSERT_EQ(device->CreateCubeTexture(test.width, 0, usage, test.format, test.pool, &cube, nullptr), D3D_OK);
        else
            ASSERT_EQ(device->CreateTexture(test.width, test.height, 0, usage, test.format, test.pool, &plain, nullptr),
                      D3D_OK);
        IDirect3DBaseTexture9* texture = cube ? static_cast<IDirect3DBaseTexture9*>(cube) : plain;
        EXPECT_EQ(texture->GetLevelCount(), 1u) << "only the top level is there";
        D3D9::BaseTexture& base = *D3D9::asTexture(texture);
        const bool ours = base.device().context().software();
        if (!ours && (test.width & (test.width - 1) || test.height & (test.height - 1)))
            continue; // a driver resamples odd sides its own way
        const UINT texelBytes = D3D9::textureFormat(test.format)->bytesPerTexel;
        const UINT faces = base.faces();
        std::vector<std::vector<uint8_t>> tops;
        for (UINT face = 0; face < faces; ++face) {
            tops.push_back(randomBytes(test.width * test.height * texelBytes, face * 7 + test.width));
            for (uint8_t& byte : tops.back())
                byte = static_cast<uint8_t>(byte * 4 + face); // the full range of a byte
            IDirect3DSurface9* surface = nullptr;
            if (cube) {
                cube->GetCubeMapSurface(static_cast<D3DCUBEMAP_FACES>(face), 0, &surface);
            } else {
                EXPECT_EQ(plain->GetSurfaceLevel(1, &surface), D3DERR_INVALIDCALL);
                plain->GetSurfaceLevel(0, &surface);
            }
            D3DLOCKED_RECT locked;
            ASSERT_EQ(surface->LockRect(&locked, nullptr, 0), D3D_OK);
            writeRows(locked, tops.back(), test.width * texelBytes);
            ASSERT_EQ(surface->UnlockRect(), D3D_OK);
            surface->Release();
        }
        for (UINT face = 0; face < faces; ++face) {
            std::vector<uint8_t> expected = tops[face];
            UINT width = test.width, height = test.height;
            for (int level = 1; width > 1 || height > 1; ++level) {
                expected = boxFiltered(expected, width, height, texelBytes);
                width = std::max(1u, width / 2);
                height = std::max(1u, height / 2);
                std::vector<uint8_t> held = heldByOpenGL(texture, level, static_cast<int>(face));
                ASSERT_EQ(held.size(), expected.size()) << "level " << level;
                for (size_t i = 0; i < held.size(); ++i)
                    ASSERT_NEAR(held[i], expected[i], ours ? 0 : 1)
                        << "face " << face << ", level " << level << ", byte " << i;
            }
        }
        texture->Release();
    }
}

TEST_F(TextureTest, VolumeSlicesAndCubeFacesLandWhereTheyBelong)
{
    IDirect3DVolumeTexture9* volume = nullptr;
    ASSERT_EQ(device->CreateVolumeTexture(2, 3, 4, 1, 0, D3DFMT_L8, D3DPOOL_MANAGED, &volume, nullptr), D3D_OK);
    D3DLOCKED_BOX box;
    ASSERT_EQ(volume->LockBox(0, &box, nullptr, 0), D3D_OK);
    EXPECT_EQ(box.RowPitch, 4);
    EXPECT_EQ(box.SlicePitch, 12);
    std::vector<uint8_t> expected;
    for (int z = 0; z < 4; ++z)
        for (int y = 0; y < 3; ++y)
            for (int x = 0; x < 2; ++x) {
                uint8_t value = static_cast<uint8_t>(z * 100 + y * 10 + x);
                static_cast<uint8_t*>(box.pBits)[z * box.SlicePitch + y * box.RowPitch + x] = value;
                expected.push_back(value);
            }
    ASSERT_EQ(volume->UnlockBox(0), D3D_OK);
    EXPECT_EQ(heldByOpenGL(volume, 0), expected);
    D3DBOX part = {1, 1, 2, 3, 2, 3};
    ASSERT_EQ(volume->LockBox(0, &box, &part, 0), D3D_OK);
    EXPECT_EQ(*static_cast<uint8_t*>(box.pBits), 211);
    *static_cast<uint8_t*>(box.pBits) = 7;
    volume->UnlockBox(0);
    expected[2 * 6 + 1 * 2 + 1] = 7;
    EXPECT_EQ(heldByOpenGL(volume, 0), expected);
    volume->Release();

    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(device->CreateCubeTexture(2, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
    for (int face = 0; face < 6; ++face) {
        D3DLOCKED_RECT locked;
        ASSERT_EQ(cube->LockRect(static_cast<D3DCUBEMAP_FACES>(face), 0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 2; ++y)
            for (int x = 0; x < 2; ++x)
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] =
                    0xFF000000u | (face << 16) | (y << 8) | x;
        cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), 0);
    }
    for (int face = 0; face < 6; ++face) {
        std::vector<uint8_t> held = heldByOpenGL(cube, 0, face);
        uint32_t texel;
        std::memcpy(&texel, &held[12], 4);
        EXPECT_EQ(texel, 0xFF000101u | (face << 16)) << "face " << face;
    }
    IDirect3DSurface9* surface = nullptr;
    EXPECT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Z, 1, &surface), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3D9Testing::takeRefusal(), "GetCubeMapSurface: no such level");
    ASSERT_EQ(cube->GetCubeMapSurface(D3DCUBEMAP_FACE_NEGATIVE_Z, 0, &surface), D3D_OK);
    ASSERT_EQ(device->ColorFill(surface, nullptr, 0xFF123456u), D3D_OK);
    std::vector<uint8_t> held = heldByOpenGL(cube, 0, 5);
    EXPECT_EQ(held[0], 0x56);
    EXPECT_EQ(held[2], 0x12);
    held = heldByOpenGL(cube, 0, 4);
    EXPECT_EQ(held[2], 0x04) << "the other faces keep theirs";
    surface->Release();
    cube->Release();
}

TEST_F(TextureTest, FillsConvertTheColourAndRenderTargetsReadBack)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_G16R16, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    RECT corner = {0, 0, 1, 1};
    ASSERT_EQ(device->ColorFill(surface, &corner, D3DCOLOR_ARGB(0, 255, 0, 0)), D3D_OK);
    std::vector<uint8_t> held = heldByOpenGL(texture, 0);
    EXPECT_EQ(held[0], 0xFF);
    EXPECT_EQ(held[1], 0xFF);
    EXPECT_EQ(held[2], 0x00);
    EXPECT_EQ(held[4], 0x00) << "outside the rectangle";
    D3DLOCKED_RECT locked;
    ASSERT_EQ(surface->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    EXPECT_EQ(static_cast<uint8_t*>(locked.pBits)[1], 0xFF) << "the CPU copy has the fill too";
    surface->UnlockRect();
    surface->Release();
    texture->Release();

    ASSERT_EQ(device->CreateTexture(8, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture,
                                    nullptr),
              D3D_OK);
    ASSERT_EQ(texture->GetSurfaceLevel(0, &surface), D3D_OK);
    ASSERT_EQ(device->ColorFill(surface, nullptr, 0x80FF0000u), D3D_OK);
    RECT right = {4, 0, 8, 4};
    ASSERT_EQ(device->ColorFill(surface, &right, 0xFF0000FFu), D3D_OK);
    IDirect3DSurface9* memory = nullptr;
    ASSERT_EQ(device->CreateOffscreenPlainSurface(8, 4, D3DFMT_A8R8G8B8, D3DPOOL_SYSTEMMEM, &memory, nullptr), D3D_OK);
    ASSERT_EQ(device->GetRenderTargetData(surface, memory), D3D_OK);
    ASSERT_EQ(memory->LockRect(&locked, nullptr, D3DLOCK_READONLY), D3D_OK);
    auto* pixels = static_cast<uint32_t*>(locked.pBits);
    EXPECT_EQ(pixels[0], 0x80FF0000u);
    EXPECT_EQ(pixels[3 * locked.Pitch / 4 + 7], 0xFF0000FFu);
    memory->UnlockRect();
    memory->Release();
    surface->Release();
    texture->Release();
}

TEST_F(TextureTest, ABoundTextureOutlivesItsLastReferenceUntilUnbound)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    ASSERT_EQ(device->SetTexture(3, texture), D3D_OK);
    EXPECT_EQ(texture->Release(), 0u);
    IDirect3DBaseTexture9* bound = nullptr;
    ASSERT_EQ(device->GetTexture(3, &bound), D3D_OK);
    EXPECT_EQ(bound, static_cast<IDirect3DBaseTexture9*>(texture));
    EXPECT_EQ(bound->GetLevelCount(), 1u) << "still alive";
    bound->Release();
    EXPECT_EQ(device->SetTexture(3, nullptr), D3D_OK);
    // The render target stays bound when the device goes; the fixture checks
    // that every reference came back.
    ASSERT_EQ(device->CreateTexture(4, 4, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture,
                                    nullptr),
              D3D_OK);
    IDirect3DSurface9* surface = nullptr;
    texture->GetSurfaceLevel(0, &surface);
    ASSERT_EQ(device->SetRenderTarget(0, surface), D3D_OK);
    surface->Release();
    texture->Release();
}

TEST_F(TextureTest, PrioritiesAreKeptForManagedTexturesOnly)
{
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    EXPECT_EQ(texture->SetPriority(0x40000000u), 0u);
    EXPECT_EQ(texture->SetPriority(7), 0x40000000u);
    EXPECT_EQ(texture->GetPriority(), 7u);
    texture->Release();
}

} // namespace
