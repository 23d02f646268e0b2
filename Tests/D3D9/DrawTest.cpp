#include "Tests/D3D9/DrawFixture.h"

#include <random>

namespace {

IDirect3DTexture9* randomTexture(IDirect3DDevice9* device, UINT size, std::vector<uint32_t>& texels)
{
    IDirect3DTexture9* texture = nullptr;
    EXPECT_EQ(device->CreateTexture(size, size, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
    std::mt19937 random(size);
    texels.resize(size * size);
    for (uint32_t& texel : texels)
        texel = random();
    D3DLOCKED_RECT locked;
    texture->LockRect(0, &locked, nullptr, 0);
    for (UINT y = 0; y < size; ++y)
        std::memcpy(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch, &texels[y * size], size * 4);
    texture->UnlockRect(0);
    return texture;
}

void useLinearClamp(IDirect3DDevice9* device, DWORD stage)
{
    device->SetSamplerState(stage, D3DSAMP_MINFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(stage, D3DSAMP_MAGFILTER, D3DTEXF_LINEAR);
    device->SetSamplerState(stage, D3DSAMP_ADDRESSU, D3DTADDRESS_CLAMP);
    device->SetSamplerState(stage, D3DSAMP_ADDRESSV, D3DTADDRESS_CLAMP);
}

TEST_F(DrawTest, ABlitterQuadCopiesATextureExactlyAndHalvesItBilinearly)
{
    std::vector<uint32_t> source;
    IDirect3DTexture9* texture = randomTexture(device, 64, source);
    useCopyShaders();
    device->SetTexture(0, texture);
    useLinearClamp(device, 0);

    makeTarget(64, 64);
    setBlitQuad(64, 64);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    std::vector<uint32_t> copy = readTarget();
    int differing = 0;
    for (size_t i = 0; i < copy.size(); ++i)
        differing += copy[i] != source[i];
    EXPECT_EQ(differing, 0) << "pixel for pixel";

    makeTarget(32, 32);
    setBlitQuad(32, 32);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    std::vector<uint32_t> half = readTarget();
    int worst = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            for (int channel = 0; channel < 32; channel += 8) {
                int sum = 0;
                for (int dy = 0; dy < 2; ++dy)
                    for (int dx = 0; dx < 2; ++dx)
                        sum += (source[(2 * y + dy) * 64 + 2 * x + dx] >> channel) & 0xFF;
                int got = (half[y * 32 + x] >> channel) & 0xFF;
                worst = std::max(worst, std::abs(got * 4 - sum));
            }
        }
    }
    EXPECT_LE(worst, 4) << "each pixel the average of its 2 x 2 block, within one step";
    texture->Release();
}

// What a shader reads from a 2 x 2 texture of each format at texel (1, 0),
// point sampled: the channel defaults of formats that lack channels.
TEST_F(DrawTest, EveryFormatSamplesWithDirect3DsChannelDefaults)
{
    const D3DFORMAT formats[] = {D3DFMT_A8R8G8B8, D3DFMT_X8R8G8B8, D3DFMT_L8, D3DFMT_A8L8, D3DFMT_L16,
                                 D3DFMT_G16R16, D3DFMT_R16F, D3DFMT_R32F, D3DFMT_A16B16G16R16F,
                                 D3DFMT_A32B32G32R32F, D3DFMT_R5G6B5, D3DFMT_A8};
    useCopyShaders();
    makeTarget(2, 2, D3DFMT_A32B32G32R32F);
    setBlitQuad(2, 2);
    const Float4 color = {0.25f, 0.5f, 0.75f, 0.125f};
    for (D3DFORMAT format : formats) {
        SCOPED_TRACE(format);
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(device->CreateTexture(2, 2, 1, 0, format, D3DPOOL_MANAGED, &texture, nullptr), D3D_OK);
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        int bytes = D3D9::textureFormat(format)->bytesPerTexel;
        D3D9::encodeTexel(format, color, static_cast<uint8_t*>(locked.pBits) + bytes);
        texture->UnlockRect(0);
        Float4 expected = D3D9::decodeTexel(format, static_cast<uint8_t*>(locked.pBits) + bytes);
        device->SetTexture(0, texture);
        ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
        Float4 read = readFloatTarget()[1];
        // OpenGL widens 5- and 6-bit channels through 8 bits.
        float tolerance = format == D3DFMT_R5G6B5 ? 2.0f / 255 : 1e-6f;
        for (int i = 0; i < 4; ++i)
            EXPECT_NEAR(read[i], expected[i], tolerance) << "channel " << i;
        texture->Release();
    }
}

TEST_F(DrawTest, CubeFacesAndVolumeSlicesAreSampledWhereTheyLie)
{
    setDeclaration({{D3DDECLTYPE_FLOAT2, 0}, {D3DDECLTYPE_FLOAT3, 8}});
    makeTarget(6, 1, D3DFMT_A32B32G32R32F);
    // One pixel per direction: +x, -x, +y, -y, +z, -z.
    struct Vertex {
        float x, y;
        float u, v, w;
    };
    const float directions[6][3] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    std::vector<Vertex> points;
    for (int i = 0; i < 6; ++i) {
        Float4 centre = pixelCentre(i, 0);
        points.push_back({centre[0], centre[1], directions[i][0], directions[i][1], directions[i][2]});
    }
    setVertices(points.data(), static_cast<UINT>(points.size() * sizeof(Vertex)), sizeof(Vertex));
    setShaders(copyVertexShader, "ps_2_0\ndcl t0.xyz\ndcl_cube s0\ntexld r0, t0, s0\nmov oC0, r0\n");
    IDirect3DCubeTexture9* cube = nullptr;
    ASSERT_EQ(device->CreateCubeTexture(1, 1, 0, D3DFMT_L8, D3DPOOL_MANAGED, &cube, nullptr), D3D_OK);
    for (int face = 0; face < 6; ++face) {
        D3DLOCKED_RECT locked;
        cube->LockRect(static_cast<D3DCUBEMAP_FACES>(face), 0, &locked, nullptr, 0);
        *static_cast<uint8_t*>(locked.pBits) = static_cast<uint8_t>(40 * (face + 1));
        cube->UnlockRect(static_cast<D3DCUBEMAP_FACES>(face), 0);
    }
    device->SetTexture(0, cube);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 6), D3D_OK);
    std::vector<Float4> read = readFloatTarget();
    for (int face = 0; face < 6; ++face)
        EXPECT_NEAR(read[face][0], 40 * (face + 1) / 255.0f, 1e-6f) << "face " << face;
    cube->Release();

    // A volume of four slices read at each slice's centre.
    IDirect3DVolumeTexture9* volume = nullptr;
    ASSERT_EQ(device->CreateVolumeTexture(1, 1, 4, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &volume, nullptr), D3D_OK);
    D3DLOCKED_BOX box;
    volume->LockBox(0, &box, nullptr, 0);
    for (int slice = 0; slice < 4; ++slice)
        *reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(box.pBits) + slice * box.SlicePitch) = 0xFF000010u * (slice + 1);
    volume->UnlockBox(0);
    for (int slice = 0; slice < 4; ++slice)
        points[slice].w = (slice + 0.5f) / 4;
    setVertices(points.data(), static_cast<UINT>(points.size() * sizeof(Vertex)), sizeof(Vertex));
    setShaders(copyVertexShader, "ps_2_0\ndcl t0.xyz\ndcl_volume s0\ntexld r0, t0, s0\nmov oC0, r0\n");
    device->SetTexture(0, volume);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 4), D3D_OK);
    read = readFloatTarget();
    for (int slice = 0; slice < 4; ++slice)
        EXPECT_NEAR(read[slice][2], 16 * (slice + 1) / 255.0f, 1e-6f) << "slice " << slice;
    volume->Release();
}

TEST_F(DrawTest, EachElementTypeReachesTheShaderWithItsMissingComponents)
{
    // One point whose elements are read into four outputs.
    struct Vertex {
        float position[2];
        float one;
        float three[3];
        uint8_t bytes[4];
        float four[4];
    } vertex = {{-1, 1}, 7.5f, {1, -2, 3}, {0, 128, 255, 3}, {-1, 0.5f, 2, 9}};
    makeTarget(1, 1, D3DFMT_A32B32G32R32F);
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT2, 0, D3DDECLUSAGE_TEXCOORD, 0},
        {0, 8, D3DDECLTYPE_FLOAT1, 0, D3DDECLUSAGE_TEXCOORD, 1},
        {0, 12, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TEXCOORD, 2},
        {0, 24, D3DDECLTYPE_UBYTE4, 0, D3DDECLUSAGE_TEXCOORD, 3},
        {0, 28, D3DDECLTYPE_FLOAT4, 0, D3DDECLUSAGE_TEXCOORD, 4},
        D3DDECL_END(),
    };
    ASSERT_EQ(device->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    device->SetVertexDeclaration(declaration);
    setVertices(&vertex, sizeof(vertex), sizeof(vertex));
    const char* outputs[] = {"v1", "v2", "v3", "v4", "v5"};
    const Float4 expected[] = {{7.5f, 0, 0, 1}, {1, -2, 3, 1}, {0, 128, 255, 3}, {-1, 0.5f, 2, 9}, {0, 0, 0, 1}};
    for (int i = 0; i < 5; ++i) {
        SCOPED_TRACE(outputs[i]);
        setShaders(std::string("vs_2_0\ndcl_texcoord0 v0\ndcl_texcoord1 v1\ndcl_texcoord2 v2\ndcl_texcoord3 v3\n"
                               "dcl_texcoord4 v4\ndcl_texcoord5 v5\nmov oPos, v0\nmov oT0, ") +
                       outputs[i] + "\n",
                   "ps_2_0\ndcl t0\nmov oC0, t0\n");
        ASSERT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 1), D3D_OK);
        Float4 read = readFloatTarget()[0];
        for (int c = 0; c < 4; ++c)
            EXPECT_EQ(read[c], expected[i][c]) << "component " << c;
    }
}

TEST_F(DrawTest, OneVertexShaderFeedsPixelShadersThatReadDifferentInterpolators)
{
    // The vertex shader writes every interpolator a distinct value; each
    // pixel shader, drawn after the others with the same vertex shader,
    // must see the value of the one it reads.
    makeTarget(1, 1, D3DFMT_A32B32G32R32F);
    setDeclaration({{D3DDECLTYPE_FLOAT2, 0}});
    float point[2] = {-1, 1};
    setVertices(point, sizeof(point), sizeof(point));
    std::string vertexText = "vs_2_0\ndcl_texcoord0 v0\nmov oPos, v0\n";
    auto value = [](int i) { return Float4{0.0625f * static_cast<float>(i + 1), 0.5f, 1.0f - 0.0625f * static_cast<float>(i), 0.25f}; };
    for (int i = 0; i < 10; ++i) {
        Float4 v = value(i);
        vertexText += "def c" + std::to_string(i) + ", " + std::to_string(v[0]) + ", " + std::to_string(v[1]) + ", " +
                      std::to_string(v[2]) + ", " + std::to_string(v[3]) + "\n";
        vertexText += (i < 8 ? "mov oT" + std::to_string(i) : "mov oD" + std::to_string(i - 8)) + ", c" +
                      std::to_string(i) + "\n";
    }
    std::vector<DWORD> vertexCode = assemble(vertexText);
    ASSERT_EQ(device->CreateVertexShader(vertexCode.data(), &vertexShader), D3D_OK);
    device->SetVertexShader(vertexShader);
    for (int i = 0; i < 10; ++i) {
        std::string input = i < 8 ? "t" + std::to_string(i) : "v" + std::to_string(i - 8);
        SCOPED_TRACE(input);
        release(pixelShader);
        std::vector<DWORD> pixelCode = assemble("ps_2_0\ndcl " + input + "\nmov oC0, " + input + "\n");
        ASSERT_EQ(device->CreatePixelShader(pixelCode.data(), &pixelShader), D3D_OK);
        device->SetPixelShader(pixelShader);
        ASSERT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 1), D3D_OK);
        Float4 read = readFloatTarget()[0];
        for (int c = 0; c < 4; ++c)
            EXPECT_FLOAT_EQ(read[c], value(i)[c]) << "component " << c;
    }
}

TEST_F(DrawTest, DrawsBeforeADiscardLockOfADynamicTextureKeepWhatTheyRead)
{
    // Three whole-texture discard locks, each drawn into its own pixel:
    // every draw shows the colour it was given, also once storages repeat.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(1, 1, 1, D3DUSAGE_DYNAMIC, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &texture, nullptr),
              D3D_OK);
    useCopyShaders();
    device->SetTexture(0, texture);
    makeTarget(3, 1);
    const uint32_t colours[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu};
    for (int i = 0; i < 3; ++i) {
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, D3DLOCK_DISCARD), D3D_OK);
        *static_cast<uint32_t*>(locked.pBits) = colours[i];
        texture->UnlockRect(0);
        setPoint(i, 0, 0.5f, 0.5f);
        ASSERT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 1), D3D_OK);
    }
    std::vector<uint32_t> pixels = readTarget();
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(pixels[i], colours[i]) << "pixel " << i;
    texture->Release();
}

// Textures the processor fills keep their bytes in another channel order
// than render targets do; the border colour reads as given for both.
TEST_F(DrawTest, TheBorderColourReadsAsGivenFromUploadedAndDrawnTextures)
{
    useCopyShaders();
    makeTarget(1, 1);
    setPoint(0, 0, 1.5f, 1.5f);
    device->SetSamplerState(0, D3DSAMP_ADDRESSU, D3DTADDRESS_BORDER);
    device->SetSamplerState(0, D3DSAMP_ADDRESSV, D3DTADDRESS_BORDER);
    device->SetSamplerState(0, D3DSAMP_BORDERCOLOR, 0x80FF4000u);
    for (DWORD usage : {DWORD(0), DWORD(D3DUSAGE_RENDERTARGET)}) {
        IDirect3DTexture9* texture = nullptr;
        ASSERT_EQ(device->CreateTexture(2, 2, 1, usage, D3DFMT_A8R8G8B8, usage ? D3DPOOL_DEFAULT : D3DPOOL_MANAGED,
                                        &texture, nullptr),
                  D3D_OK);
        device->SetTexture(0, texture);
        ASSERT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 1), D3D_OK);
        EXPECT_EQ(readTarget()[0], 0x80FF4000u) << "usage " << usage;
        device->SetTexture(0, nullptr);
        texture->Release();
    }
}

TEST_F(DrawTest, AutomaticMipmapsFollowEachUnlockIntoTheNextDrawWithAMipFilter)
{
    // A 4 x 4 texture sampled at its 1 x 1 level: half white, then all white.
    IDirect3DTexture9* texture = nullptr;
    ASSERT_EQ(device->CreateTexture(4, 4, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED, &texture,
                                    nullptr),
              D3D_OK);
    useCopyShaders();
    device->SetTexture(0, texture);
    device->SetSamplerState(0, D3DSAMP_MIPFILTER, D3DTEXF_POINT);
    device->SetSamplerState(0, D3DSAMP_MAXMIPLEVEL, 2);
    makeTarget(1, 1);
    setPoint(0, 0, 0.5f, 0.5f);
    for (uint32_t right : {0xFF000000u, 0xFFFFFFFFu}) {
        D3DLOCKED_RECT locked;
        ASSERT_EQ(texture->LockRect(0, &locked, nullptr, 0), D3D_OK);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 4; ++x)
                reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(locked.pBits) + y * locked.Pitch)[x] =
                    x < 2 ? 0xFFFFFFFFu : right;
        texture->UnlockRect(0);
        ASSERT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 1), D3D_OK);
        int red = static_cast<int>((readTarget()[0] >> 16) & 0xFF);
        EXPECT_NEAR(red, right == 0xFFFFFFFFu ? 255 : 128, 1);
    }
    texture->Release();
}

// Solid colour shaders for the state tests: position in, constant colour out.
const char* positionShader = "vs_2_0\ndcl_texcoord0 v0\nmov oPos, v0\n";
const char* colorShader = "ps_2_0\nmov oC0, c0\n";

struct Point3 {
    float x, y, z;
};

class StateDrawTest : public DrawTest {
protected:
    void SetUp() override
    {
        DrawTest::SetUp();
        makeTarget(16, 16);
        setShaders(positionShader, colorShader);
        setDeclaration({{D3DDECLTYPE_FLOAT3, 0}});
        device->SetRenderState(D3DRS_CULLMODE, D3DCULL_NONE);
    }

    void color(const Float4& rgba) { device->SetPixelShaderConstantF(0, rgba.data(), 1); }

    void clear(D3DCOLOR colour)
    {
        device->Clear(0, nullptr, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER | D3DCLEAR_STENCIL, colour, 1.0f, 0);
    }

    // A full-target quad at a depth, drawn as a strip.
    void fullQuad(float z)
    {
        Point3 quad[] = {{-1, 1, z}, {1, 1, z}, {-1, -1, z}, {1, -1, z}};
        setVertices(quad, sizeof(quad), sizeof(Point3));
        ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    }

    uint32_t pixel(int x, int y) { return readTarget()[y * 16 + x]; }
};

TEST_F(StateDrawTest, CullModesRemoveTheirWinding)
{
    // The left triangle is clockwise on screen, the right one counter-clockwise.
    Point3 both[] = {{-1, 1, 0}, {-0.1f, 1, 0}, {-1, -1, 0}, {1, 1, 0}, {0.1f, 1, 0}, {1, -1, 0}};
    setVertices(both, sizeof(both), sizeof(Point3));
    color({1, 1, 1, 1});
    struct Case {
        DWORD cull;
        bool left, right;
    };
    for (const Case& c : {Case{D3DCULL_NONE, true, true}, Case{D3DCULL_CCW, true, false}, Case{D3DCULL_CW, false, true}}) {
        SCOPED_TRACE(c.cull);
        clear(black);
        device->SetRenderState(D3DRS_CULLMODE, c.cull);
        ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLELIST, 0, 2), D3D_OK);
        std::vector<uint32_t> pixels = readTarget();
        EXPECT_EQ(pixels[2 * 16 + 1] == 0xFFFFFFFFu, c.left) << "clockwise";
        EXPECT_EQ(pixels[2 * 16 + 14] == 0xFFFFFFFFu, c.right) << "counter-clockwise";
    }
}

TEST_F(StateDrawTest, DepthTestAndDepthWrites)
{
    clear(black);
    color({1, 0, 0, 1});
    fullQuad(0.5f);
    color({0, 1, 0, 1});
    device->SetRenderState(D3DRS_ZFUNC, D3DCMP_LESS);
    fullQuad(0.75f);
    EXPECT_EQ(pixel(5, 5), red) << "behind: hidden";
    fullQuad(0.25f);
    EXPECT_EQ(pixel(5, 5), green) << "in front: drawn";
    device->SetRenderState(D3DRS_ZWRITEENABLE, FALSE);
    color({0, 0, 1, 1});
    fullQuad(0.1f);
    EXPECT_EQ(pixel(5, 5), blue);
    color({1, 1, 1, 1});
    fullQuad(0.2f);
    EXPECT_EQ(pixel(5, 5), 0xFFFFFFFFu) << "the last quad wrote no depth";
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    color({1, 0, 0, 1});
    fullQuad(0.9f);
    EXPECT_EQ(pixel(5, 5), red) << "no test";
}

TEST_F(StateDrawTest, BlendModesAndTheBlendFactor)
{
    struct Case {
        DWORD source, destination, operation, factor;
        uint32_t expected;
    };
    // Destination (0.5, 0.25, 1, 1) as cleared; source (1, 0.5, 0, 0.5).
    const D3DCOLOR background = D3DCOLOR_ARGB(255, 128, 64, 255);
    const Case cases[] = {
        {D3DBLEND_ONE, D3DBLEND_ZERO, D3DBLENDOP_ADD, 0, D3DCOLOR_ARGB(128, 255, 128, 0)},
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLENDOP_ADD, 0, D3DCOLOR_ARGB(192, 192, 96, 128)},
        {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_ADD, 0, D3DCOLOR_ARGB(255, 255, 192, 255)},
        {D3DBLEND_ONE, D3DBLEND_ONE, D3DBLENDOP_REVSUBTRACT, 0, D3DCOLOR_ARGB(127, 0, 0, 255)},
        {D3DBLEND_BLENDFACTOR, D3DBLEND_INVBLENDFACTOR, D3DBLENDOP_ADD, D3DCOLOR_ARGB(0, 255, 0, 0),
         D3DCOLOR_ARGB(255, 255, 64, 255)},
    };
    color({1, 0.5f, 0, 0.5f});
    device->SetRenderState(D3DRS_ALPHABLENDENABLE, TRUE);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source);
        clear(background);
        device->SetRenderState(D3DRS_SRCBLEND, c.source);
        device->SetRenderState(D3DRS_DESTBLEND, c.destination);
        device->SetRenderState(D3DRS_BLENDOP, c.operation);
        device->SetRenderState(D3DRS_BLENDFACTOR, c.factor);
        fullQuad(0.5f);
        uint32_t got = pixel(3, 3);
        for (int shift = 0; shift < 32; shift += 8)
            EXPECT_NEAR(static_cast<int>((got >> shift) & 0xFF), static_cast<int>((c.expected >> shift) & 0xFF), 1)
                << std::hex << got << " against " << c.expected;
    }
}

// Scenes following each other on one target, one of them without a draw,
// then a pass into another target that reads it, then a clear back on the
// first: each target shows all of its own work, in order.
TEST_F(StateDrawTest, ScenesOnOneTargetAndAPassReadingItKeepTheirOrder)
{
    IDirect3DSurface9* first = nullptr;
    target->GetSurfaceLevel(0, &first);
    clear(red);
    device->EndScene();
    ASSERT_EQ(device->SetRenderTarget(0, first), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    color({0, 1, 0, 1});
    // The left half: its right edge halfway between the centres of columns 7
    // and 8, the other edges outside the target.
    Point3 left[] = {{-2, 2, 0.5f}, {-0.0625f, 2, 0.5f}, {-2, -2, 0.5f}, {-0.0625f, -2, 0.5f}};
    setVertices(left, sizeof(left), sizeof(Point3));
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    device->EndScene();
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    device->EndScene();

    IDirect3DTexture9* copy = nullptr;
    ASSERT_EQ(device->CreateTexture(16, 16, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT, &copy, nullptr),
              D3D_OK);
    IDirect3DSurface9* copySurface = nullptr;
    copy->GetSurfaceLevel(0, &copySurface);
    ASSERT_EQ(device->SetRenderTarget(0, copySurface), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    device->SetRenderState(D3DRS_ZENABLE, D3DZB_FALSE);
    useCopyShaders();
    device->SetTexture(0, target);
    useLinearClamp(device, 0);
    setBlitQuad(16, 16);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    device->EndScene();
    device->SetTexture(0, nullptr);

    ASSERT_EQ(device->SetRenderTarget(0, first), D3D_OK);
    ASSERT_EQ(device->BeginScene(), D3D_OK);
    D3DRECT right = {8, 0, 16, 16};
    device->Clear(1, &right, D3DCLEAR_TARGET, blue, 1.0f, 0);
    std::vector<uint32_t> firstPixels = readTarget();
    std::swap(target, copy);
    std::vector<uint32_t> copied = readTarget();
    std::swap(target, copy);
    int wrongFirst = 0, wrongCopy = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            wrongFirst += firstPixels[y * 16 + x] != (x < 8 ? green : blue);
            wrongCopy += copied[y * 16 + x] != (x < 8 ? green : red);
        }
    EXPECT_EQ(wrongFirst, 0) << "clear, draw, then the clear of the right half";
    EXPECT_EQ(wrongCopy, 0) << "the first target as it was before its last clear";
    copySurface->Release();
    copy->Release();
    first->Release();
}

TEST_F(StateDrawTest, AClipPlaneAndTheScissorCutAFullScreenQuad)
{
    color({1, 1, 1, 1});
    clear(black);
    // Keeps x >= 0: the right half.
    const float plane[4] = {1, 0, 0, 0};
    device->SetClipPlane(0, plane);
    device->SetRenderState(D3DRS_CLIPPLANEENABLE, 1);
    fullQuad(0.5f);
    std::vector<uint32_t> pixels = readTarget();
    EXPECT_EQ(pixels[5 * 16 + 7], black);
    EXPECT_EQ(pixels[5 * 16 + 8], 0xFFFFFFFFu);
    device->SetRenderState(D3DRS_CLIPPLANEENABLE, 0);

    clear(black);
    RECT scissor = {2, 3, 6, 9};
    device->SetScissorRect(&scissor);
    device->SetRenderState(D3DRS_SCISSORTESTENABLE, TRUE);
    fullQuad(0.5f);
    pixels = readTarget();
    int inside = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 16; ++x) {
            bool in = x >= 2 && x < 6 && y >= 3 && y < 9;
            inside += in;
            EXPECT_EQ(pixels[y * 16 + x], in ? 0xFFFFFFFFu : black) << x << ", " << y;
        }
    EXPECT_EQ(inside, 24);
}

TEST_F(StateDrawTest, AlphaTestDiscardsAgainstTheReference)
{
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAREF, 128);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATEREQUAL);
    clear(black);
    color({1, 0, 0, 127 / 255.0f});
    fullQuad(0.5f);
    EXPECT_EQ(pixel(3, 3), black) << "alpha 127 fails >= 128";
    color({1, 0, 0, 128 / 255.0f});
    fullQuad(0.5f);
    EXPECT_EQ(pixel(3, 3), 0x80FF0000u);
    device->SetRenderState(D3DRS_ALPHATESTENABLE, FALSE);
    color({0, 1, 0, 0});
    fullQuad(0.5f);
    EXPECT_EQ(pixel(3, 3), 0x0000FF00u) << "off again";
}

TEST_F(StateDrawTest, IndicesOfBothWidthsAndEveryPrimitiveType)
{
    color({1, 1, 1, 1});
    // A grid of pixel centres: vertex i is pixel (i % 4 * 4 + 1, i / 4 * 4 + 1).
    std::vector<Point3> grid;
    for (int i = 0; i < 16; ++i) {
        Float4 centre = pixelCentre(i % 4 * 4 + 1, i / 4 * 4 + 1);
        grid.push_back({centre[0], centre[1], 0.5f});
    }
    setVertices(grid.data(), static_cast<UINT>(grid.size() * sizeof(Point3)), sizeof(Point3));
    for (D3DFORMAT format : {D3DFMT_INDEX16, D3DFMT_INDEX32}) {
        SCOPED_TRACE(format);
        IDirect3DIndexBuffer9* indices = nullptr;
        ASSERT_EQ(device->CreateIndexBuffer(64, 0, format, D3DPOOL_MANAGED, &indices, nullptr), D3D_OK);
        auto write = [&](int at, std::initializer_list<uint32_t> values) {
            void* data = nullptr;
            indices->Lock(0, 0, &data, 0);
            for (uint32_t index : values) {
                if (format == D3DFMT_INDEX16)
                    static_cast<uint16_t*>(data)[at++] = static_cast<uint16_t>(index);
                else
                    static_cast<uint32_t*>(data)[at++] = index;
            }
            indices->Unlock();
        };
        write(4, {3, 8}); // points 5 and 10 through a base vertex of 2
        device->SetIndices(indices);
        clear(black);
        ASSERT_EQ(device->DrawIndexedPrimitive(D3DPT_POINTLIST, 2, 3, 6, 4, 2), D3D_OK);
        std::vector<uint32_t> pixels = readTarget();
        int lit = 0;
        for (uint32_t p : pixels)
            lit += p != black;
        EXPECT_EQ(lit, 2);
        EXPECT_NE(pixels[5 * 16 + 5], black) << "vertex 5";
        EXPECT_NE(pixels[9 * 16 + 9], black) << "vertex 10";
        EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_POINTLIST, 2, 3, 6, 31, 2), D3DERR_INVALIDCALL);
        EXPECT_EQ(D3D9Testing::takeRefusal(), "DrawIndexedPrimitive: indices past the index buffer's end");
        EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_POINTLIST, 14, 3, 6, 4, 2), D3DERR_INVALIDCALL);
        EXPECT_EQ(D3D9Testing::takeRefusal(), "DrawIndexedPrimitive: vertices past the end of stream 0");
        // A rewritten index counts at the next draw of the same range.
        write(4, {14});
        EXPECT_EQ(device->DrawIndexedPrimitive(D3DPT_POINTLIST, 2, 3, 6, 4, 2), D3DERR_INVALIDCALL);
        EXPECT_EQ(D3D9Testing::takeRefusal(), "DrawIndexedPrimitive: vertices past the end of stream 0");
        device->SetIndices(nullptr);
        indices->Release();
    }

    // What each primitive type lights of the square through vertices 0, 3,
    // 15 and 12 (pixels (1, 1), (13, 1), (13, 13), (1, 13)). Pixel centres
    // exactly on a triangle's edges follow Direct3D's top-left rule, which
    // FillRuleTest checks, so the triangles are probed inside.
    struct Case {
        D3DPRIMITIVETYPE type;
        UINT count;
        bool topRow;      // (7, 1): on the first line
        bool upperRight;  // (10, 3): inside the first triangle
        bool lowerLeft;   // (4, 10): inside the second triangle of a strip or fan
    };
    for (const Case& c : {Case{D3DPT_POINTLIST, 2, false, false, false}, Case{D3DPT_LINELIST, 1, true, false, false},
                          Case{D3DPT_LINESTRIP, 2, true, false, false}, Case{D3DPT_TRIANGLELIST, 1, false, true, false},
                          Case{D3DPT_TRIANGLESTRIP, 2, false, true, true}, Case{D3DPT_TRIANGLEFAN, 2, false, true, true}}) {
        SCOPED_TRACE(c.type);
        clear(black);
        std::vector<Point3> shape = {grid[0], grid[3], grid[15], grid[12]};
        setVertices(shape.data(), static_cast<UINT>(shape.size() * sizeof(Point3)), sizeof(Point3));
        ASSERT_EQ(device->DrawPrimitive(c.type, 0, c.count), D3D_OK);
        std::vector<uint32_t> pixels = readTarget();
        if (c.type != D3DPT_TRIANGLELIST && c.type != D3DPT_TRIANGLESTRIP && c.type != D3DPT_TRIANGLEFAN) {
            EXPECT_EQ(pixels[1 * 16 + 7] != black, c.topRow);
        }
        EXPECT_EQ(pixels[3 * 16 + 10] != black, c.upperRight);
        EXPECT_EQ(pixels[10 * 16 + 4] != black, c.lowerLeft);
    }
}

TEST_F(StateDrawTest, PointSpritesTakeTheirSizeAndCoordinates)
{
    setShaders(positionShader, "ps_2_0\ndcl t0.xy\nmov r0, t0\nmov oC0, r0\n");
    Float4 centre = pixelCentre(8, 8);
    Point3 point = {centre[0], centre[1], 0.5f};
    setVertices(&point, sizeof(point), sizeof(point));
    device->SetRenderState(D3DRS_POINTSPRITEENABLE, TRUE);
    float size = 8.0f;
    DWORD sizeBits;
    std::memcpy(&sizeBits, &size, 4);
    device->SetRenderState(D3DRS_POINTSIZE, sizeBits);
    clear(black);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_POINTLIST, 0, 1), D3D_OK);
    std::vector<uint32_t> pixels = readTarget();
    // An 8 x 8 square around (8, 8); u grows to the right and v downwards,
    // from 0 at the top left.
    EXPECT_NE(pixels[8 * 16 + 8], black);
    EXPECT_EQ(pixels[2 * 16 + 8], black);
    EXPECT_EQ(pixels[14 * 16 + 8], black);
    EXPECT_EQ(pixels[8 * 16 + 2], black);
    uint32_t topLeft = pixels[5 * 16 + 5];
    uint32_t bottomRight = pixels[11 * 16 + 11];
    EXPECT_LT((topLeft >> 16) & 0xFF, 0x40u);
    EXPECT_LT((topLeft >> 8) & 0xFF, 0x40u);
    EXPECT_GT((bottomRight >> 16) & 0xFF, 0xC0u);
    EXPECT_GT((bottomRight >> 8) & 0xFF, 0xC0u);
}

} // namespace
