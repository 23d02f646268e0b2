// Textures, vertex formats, streams and shader objects of the Direct3D core,
// on the real device: the calls they make and what they hold.

#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/DirectX/DXIndexStream.h"
#include "Libs/Core/DirectX/DXPixelShader.h"
#include "Libs/Core/DirectX/DXTexture.h"
#include "Libs/Core/DirectX/DXVertexFormat.h"
#include "Libs/Core/DirectX/DXVertexShader.h"
#include "Libs/Core/DirectX/DXVertexStream.h"
#include "Libs/Core/ShaderGen.h"
#include "Libs/Core/RenderContext.h"
#include "Libs/Core/StateBlocks.h"
#include "Tests/Support/HeadlessCore.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>
#include <numeric>
#include <vector>

namespace {

using namespace Vostrel;
using namespace Vostrel::Core;
using D3D9Testing::Call;

class DXResourcesTest : public TestSupport::HeadlessCoreTest {
protected:
    // Every device call an action makes.
    static std::vector<Call> logOf(const std::function<void()>& action)
    {
        D3D9Testing::startLog();
        action();
        D3D9Testing::stopLog();
        return D3D9Testing::takeLog();
    }

    static TextureParameters pointFiltered(int width, int height, bool renderTarget)
    {
        TextureParameters parameters;
        parameters.renderTarget = renderTarget;
        parameters.width = width;
        parameters.height = height;
        parameters.minFilter = MIN_POINT;
        parameters.magFilter = MAG_POINT;
        return parameters;
    }
};

TEST_F(DXResourcesTest, TextureRecordsBecomeTheirDirect3DTextures)
{
    struct Case {
        std::function<void(TextureParameters&)> change;
        std::vector<int64_t> arguments; // width, height, levels, usage, format, pool
    };
    const Case cases[] = {
        {[](TextureParameters&) {}, {256, 256, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED}},
        {[](TextureParameters& p) { p.minFilter = MIN_LINEAR; }, {256, 256, 1, 0, D3DFMT_A8R8G8B8, D3DPOOL_MANAGED}},
        {[](TextureParameters& p) { p.renderTarget = true; p.width = 64; p.height = 32; },
         {64, 32, 1, D3DUSAGE_RENDERTARGET, D3DFMT_A8R8G8B8, D3DPOOL_DEFAULT}},
        {[](TextureParameters& p) { p.dynamic = true; p.minFilter = MIN_POINT; p.format = FORMAT_RGBA16F; },
         {256, 256, 1, D3DUSAGE_DYNAMIC, D3DFMT_A16B16G16R16F, D3DPOOL_DEFAULT}},
        {[](TextureParameters& p) { p.format = FORMAT_RGBA32F; p.minFilter = MIN_POINT_MIP_POINT; },
         {256, 256, 0, D3DUSAGE_AUTOGENMIPMAP, D3DFMT_A32B32G32R32F, D3DPOOL_MANAGED}},
    };
    for (const Case& c : cases) {
        TextureParameters parameters;
        c.change(parameters);
        std::unique_ptr<Texture> texture;
        std::vector<Call> calls = callsOf("CreateTexture", [&] { texture.reset(createTexture(parameters)); });
        ASSERT_EQ(calls.size(), 1u);
        EXPECT_EQ(calls[0].arguments, c.arguments);
        EXPECT_EQ(texture->getParameters().width, parameters.width) << "the record is kept";
        EXPECT_EQ(texture->getRenderTarget() != nullptr, parameters.renderTarget);
    }
}

TEST_F(DXResourcesTest, TextureRecordsTheDeviceCannotMakeAreRefused)
{
    struct Case {
        std::function<void(TextureParameters&)> change;
        const char* message;
    };
    const Case cases[] = {
        {[](TextureParameters& p) { p.format = FORMAT_R8G8B8; }, "DXCore internal error, invalid texture format (24 bit)!"},
        {[](TextureParameters& p) { p.format = FORMAT_R8G8B8; p.type = TEXTURE_TYPE_CUBE; },
         "DXCore internal error, invalid texture format (24 bit)!"},
        {[](TextureParameters& p) { p.type = TEXTURE_TYPE_CUBE; p.height = 128; },
         "DXCore internal error, invalid cubemap dimensions!"},
        {[](TextureParameters& p) { p.type = static_cast<TextureType>(3); }, "DXCore internal error, unknown texture type!"},
        {[](TextureParameters& p) { p.renderTarget = true; p.dynamic = true; }, "Dynamic rendertarget textures are not allowed"},
        {[](TextureParameters& p) { p.width = 9000; }, "DXCore internal error, CreateTexture failed (invalid call)."},
        {[](TextureParameters& p) { p.type = TEXTURE_TYPE_VOLUME; p.depth = 4000; },
         "DXCore internal error, CreateVolumeTexture failed (invalid call)."},
        {[](TextureParameters& p) { p.width = p.height = 8192; p.format = FORMAT_RGBA32F; },
         "DXCore internal error, CreateTexture failed (out of memory)."},
        {[](TextureParameters& p) { p.format = static_cast<TextureFormat>(12); }, "Invalid texture format."},
    };
    for (const Case& c : cases) {
        TextureParameters parameters;
        c.change(parameters);
        EXPECT_EQ(messageOf([&] { delete createTexture(parameters); }), c.message);
    }
}

TEST_F(DXResourcesTest, AFailedRenderTargetTextureLeavesNothingBehindAndSaysWhy)
{
    TextureParameters parameters;
    parameters.renderTarget = true;
    parameters.width = 9000;
    EXPECT_TRUE(callsOf("CreateDepthStencilSurface", [&] {
                    EXPECT_EQ(messageOf([&] { delete createTexture(parameters); }),
                              "DXCore internal error, CreateTexture failed (invalid call).");
                }).empty())
        << "no target for a texture that was not made";
    // Every reference came back: the core's teardown reports any that did not.
    testing::internal::CaptureStderr();
    APICore::destroyInstance();
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(DXResourcesTest, PrioritiesBorderColoursAndFillsAreSentAsDirect3DWantsThem)
{
    TextureParameters parameters;
    parameters.borderColor[0] = 1.0f;
    parameters.borderColor[1] = 0.5f;
    parameters.borderColor[3] = 1.0f;
    parameters.maxAnisotropy = 3.9f;
    parameters.wrapV = TEXTURE_BORDER;
    std::unique_ptr<Texture> texture(createTexture(parameters));
    std::vector<Call> priorities = callsOf("SetPriority", [&] {
        texture->setPriority(0.25f);
        texture->setPriority(0.5f);
        texture->setPriority(1.0f);
    });
    ASSERT_EQ(priorities.size(), 3u);
    EXPECT_EQ(priorities[0].arguments[0], 1073741824);
    EXPECT_EQ(priorities[1].arguments[0], 0x80000000);
    EXPECT_EQ(priorities[2].arguments[0], 0x80000000);

    texture->setFilter(MIN_POINT_MIP_LINEAR, MAG_POINT);
    std::vector<Call> states = callsOf("SetSamplerState", [&] { texture->bind(2); });
    std::vector<std::vector<int64_t>> expected = {
        {2, D3DSAMP_ADDRESSU, D3DTADDRESS_WRAP},   {2, D3DSAMP_ADDRESSV, D3DTADDRESS_BORDER},
        {2, D3DSAMP_ADDRESSW, D3DTADDRESS_WRAP},   {2, D3DSAMP_BORDERCOLOR, 0xFFFF8000},
        {2, D3DSAMP_MINFILTER, D3DTEXF_POINT},     {2, D3DSAMP_MIPFILTER, D3DTEXF_LINEAR},
        {2, D3DSAMP_MAGFILTER, D3DTEXF_POINT},     {2, D3DSAMP_MAXANISOTROPY, 3},
    };
    ASSERT_EQ(states.size(), expected.size());
    for (size_t i = 0; i < states.size(); ++i)
        EXPECT_EQ(states[i].arguments, expected[i]) << i;

    std::vector<Call> fills = callsOf("ColorFill", [&] { texture->fill(Vec4(1.0f, 0.5f, 0.0f, 1.0f)); });
    ASSERT_EQ(fills.size(), 1u);
    EXPECT_EQ(fills[0].arguments[1], 0xFFFF7F00) << "truncated, not rounded";

    texture->setWrap(static_cast<TextureWrap>(7), TEXTURE_WRAP, TEXTURE_WRAP);
    EXPECT_EQ(messageOf([&] { texture->bind(0); }), "DXCore: Unknown texture wrap type.\n");
    texture->setWrapU(TEXTURE_CLAMP);
    texture->setFilter(static_cast<MinFilter>(6), MAG_LINEAR);
    EXPECT_EQ(messageOf([&] { texture->bind(0); }), "Invalid min filter.");
    texture->setFilter(MIN_POINT, static_cast<MagFilter>(2));
    EXPECT_EQ(messageOf([&] { texture->bind(0); }), "Invalid mag filter.");
}

TEST_F(DXResourcesTest, UpdatesRespectThePitchAndLandInTheirFaceOrRectangle)
{
    // Three-texel rows of L8 have a wider pitch than their bytes.
    TextureParameters parameters;
    parameters.width = 3;
    parameters.height = 2;
    parameters.format = FORMAT_L8;
    parameters.minFilter = MIN_POINT;
    std::unique_ptr<Texture> texture(createTexture(parameters));
    const unsigned char rows[] = {1, 2, 3, 4, 5, 6};
    texture->update(0, rows);
    int pitch = 0;
    auto* texels = static_cast<unsigned char*>(texture->lock(0, pitch, LOCK_READ_ONLY));
    ASSERT_GT(pitch, 3);
    EXPECT_EQ(std::vector<unsigned char>(texels, texels + 3), std::vector<unsigned char>({1, 2, 3}));
    EXPECT_EQ(std::vector<unsigned char>(texels + pitch, texels + pitch + 3), std::vector<unsigned char>({4, 5, 6}));
    texture->unlock(0);
    const unsigned char corner[] = {9, 8};
    texture->updateRect(0, corner, 1, 1, 2, 1);
    texels = static_cast<unsigned char*>(texture->lockRect(0, pitch, 0, 1, 3, 1, LOCK_READ_ONLY));
    EXPECT_EQ(std::vector<unsigned char>(texels, texels + 3), std::vector<unsigned char>({4, 9, 8}));
    texture->unlock(0);
    EXPECT_EQ(messageOf([&] { texture->lockRect(0, pitch, 2, 0, 2, 1, LOCK_READ_WRITE); }),
              "DXCore internal error, LockRect failed.")
        << "a rectangle past the edge";
    EXPECT_EQ(messageOf([&] { texture->lock(0, pitch, static_cast<LockType>(3)); }), "Invalid lock type");

    TextureParameters cubeParameters;
    cubeParameters.type = TEXTURE_TYPE_CUBE;
    cubeParameters.width = cubeParameters.height = 2;
    std::unique_ptr<Texture> cube(createTexture(cubeParameters));
    for (int face = 0; face < 6; ++face) {
        std::vector<uint32_t> face4(4, 0xFF000000u + face);
        cube->update(face, face4.data());
    }
    for (int face = 0; face < 6; ++face) {
        EXPECT_EQ(*static_cast<uint32_t*>(cube->lock(face, pitch, LOCK_READ_ONLY)), 0xFF000000u + face);
        cube->unlock(face);
    }
    std::vector<Call> fills = callsOf("ColorFill", [&] { cube->fill(Vec4(0, 0, 1, 1)); });
    EXPECT_EQ(fills.size(), 1u) << "face 0 at level 0";

    TextureParameters volumeParameters;
    volumeParameters.type = TEXTURE_TYPE_VOLUME;
    volumeParameters.width = volumeParameters.height = 2;
    volumeParameters.depth = 3;
    std::unique_ptr<Texture> volume(createTexture(volumeParameters));
    std::vector<uint32_t> slices(12);
    std::iota(slices.begin(), slices.end(), 100u);
    volume->update(0, slices.data());
    auto* stored = static_cast<uint32_t*>(volume->lock(0, pitch, LOCK_READ_ONLY));
    EXPECT_EQ(stored[11], 111u);
    volume->unlock(0);
    EXPECT_EQ(messageOf([&] { volume->fill(Vec4(0, 0, 0, 0)); }), "DXTexture::getSurface not supported for 3D textures");
    EXPECT_EQ(messageOf([&] { volume->lockRect(0, pitch, 0, 0, 1, 1, LOCK_READ_ONLY); }),
              "Texture::lockRect not supported for 3D textures");
    EXPECT_EQ(messageOf([&] { volume->updateRect(0, slices.data(), 0, 0, 1, 1); }),
              "Texture::updateRect not supported for 3D textures.");

    // Three-texel L8 rows are padded, so the volume cannot take tight slices;
    // the refusal leaves it unlocked.
    volumeParameters.width = 3;
    volumeParameters.format = FORMAT_L8;
    std::unique_ptr<Texture> padded(createTexture(volumeParameters));
    EXPECT_EQ(messageOf([&] { padded->update(0, slices.data()); }),
              "rowPitch == locked.RowPitch && slicePitch == locked.SlicePitch does not hold.");
    EXPECT_NE(padded->lock(0, pitch, LOCK_READ_ONLY), nullptr);
    padded->unlock(0);
}

TEST_F(DXResourcesTest, ARenderTargetTextureIsDrawnIntoThroughItsTarget)
{
    std::unique_ptr<Texture> texture(createTexture(pointFiltered(8, 4, true)));
    RenderTarget* target = texture->getRenderTarget();
    ASSERT_NE(target, nullptr);
    EXPECT_EQ(target->getWidth(), 8);
    std::vector<Call> log = logOf([&] {
        target->begin();
        clear(1, Vec4(0.0f, 1.0f, 0.0f, 1.0f), 1.0f, 0);
        target->setViewport(0.5f, 0.0f, 0.5f, 1.0f);
        APICore::getInstance()->clearViewport(1, Vec4(0.0f, 0.0f, 1.0f, 1.0f), 1.0f, 0);
        target->end();
    });
    EXPECT_EQ(D3D9Testing::callsNamed(log, "SetRenderTarget").size(), 1u);
    EXPECT_EQ(D3D9Testing::callsNamed(log, "SetDepthStencilSurface").size(), 1u);
    EXPECT_EQ(D3D9Testing::callsNamed(log, "BeginScene").size(), 1u);

    // What was drawn, read back from the texture's surface.
    std::vector<uint32_t> pixels = readTexture(*texture);
    EXPECT_EQ(pixels[0], 0xFF00FF00u);
    EXPECT_EQ(pixels[3], 0xFF00FF00u);
    EXPECT_EQ(pixels[4], 0xFF0000FFu) << "the right half was the viewport";

    // Beginning it again while it is current keeps the surfaces but begins
    // a scene and resets the viewport.
    target->begin();
    target->setViewport(0.5f, 0.5f, 0.5f, 0.5f);
    log = logOf([&] {
        target->endScene();
        target->beginScene();
    });
    EXPECT_TRUE(D3D9Testing::callsNamed(log, "SetRenderTarget").empty());
    EXPECT_EQ(D3D9Testing::callsNamed(log, "BeginScene").size(), 1u);
    std::vector<Call> viewports = D3D9Testing::callsNamed(log, "SetViewport");
    ASSERT_EQ(viewports.size(), 1u);
    EXPECT_EQ(std::vector<int64_t>(viewports[0].arguments.begin(), viewports[0].arguments.begin() + 4),
              std::vector<int64_t>({0, 0, 8, 4}));
    target->end();
}

TEST_F(DXResourcesTest, TexturesFromFilesKeepTheirRecordAndReportFailures)
{
    TextureParameters parameters;
    std::unique_ptr<Texture> texture(
        DXTextureFactory::getInstance()->createTextureFromFile("../D3DX9/images/rgba.png", parameters));
    EXPECT_EQ(texture->getParameters().width, 256) << "not the file's 5";
    EXPECT_EQ(texture->getRenderTarget(), nullptr);
    int pitch = 0;
    EXPECT_NE(texture->lock(0, pitch, LOCK_READ_ONLY), nullptr);
    texture->unlock(0);
    EXPECT_EQ(messageOf([&] {
                  delete DXTextureFactory::getInstance()->createTextureFromFile("../D3DX9/images/truncated.png",
                                                                                parameters);
              }),
              "D3DXCreateTextureFromFileEx failed for file ../D3DX9/images/truncated.png, invalid data.");
}

TEST_F(DXResourcesTest, VertexFormatsDeclareEveryElementAsATextureCoordinate)
{
    const VertexElement elements[] = {{0, 0, VERTEX_FLOAT3, 0}, {1, 12, VERTEX_UBYTE4, 5}};
    std::unique_ptr<VertexFormat> format;
    std::vector<Call> calls = callsOf("CreateVertexDeclaration", [&] { format.reset(createVertexFormat(2, elements)); });
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].arguments, std::vector<int64_t>({0, 0, D3DDECLTYPE_FLOAT3, 0, D3DDECLUSAGE_TEXCOORD, 0, 1, 12,
                                                        D3DDECLTYPE_UBYTE4, 0, D3DDECLUSAGE_TEXCOORD, 5}));
    std::unique_ptr<VertexFormat> empty(createVertexFormat(0, nullptr));
    EXPECT_EQ(callsOf("SetVertexDeclaration", [&] { empty->bind(); }).size(), 1u);
    const VertexElement bad[] = {{0, 0, static_cast<VertexDataType>(5), 0}};
    EXPECT_EQ(messageOf([&] { delete createVertexFormat(1, bad); }), "Unknown vertex stream data type.");
}

TEST_F(DXResourcesTest, StreamUsagesPoolsAndLockFlags)
{
    std::unique_ptr<VertexStream> vertices;
    std::vector<Call> created = callsOf("CreateVertexBuffer", [&] { vertices.reset(createVertexStream(64, 16, 11)); });
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].arguments,
              std::vector<int64_t>({64, D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY | D3DUSAGE_POINTS, 0, D3DPOOL_DEFAULT}));
    EXPECT_EQ(messageOf([&] { delete createVertexStream(64, 16, 5); }), "Invalid usage");
    std::unique_ptr<IndexStream> indices;
    created = callsOf("CreateIndexBuffer", [&] { indices.reset(createIndexStream(64, INDEX_32BIT, 9)); });
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].arguments, std::vector<int64_t>({64, 0, D3DFMT_INDEX32, D3DPOOL_MANAGED}));
    EXPECT_EQ(messageOf([&] { delete createIndexStream(8, static_cast<IndexStreamType>(2), 1); }),
              "convert(IndexStreamType): Unknown index type: 2");

    std::vector<Call> locks = callsOf("LockVertexBuffer", [&] {
        vertices->lock(LOCK_READ_ONLY);
        vertices->unlock();
    });
    EXPECT_EQ(locks[0].arguments[2], 0x1010);
    locks = callsOf("LockIndexBuffer", [&] {
        indices->lock(LOCK_READ_ONLY);
        indices->unlock();
    });
    EXPECT_EQ(locks[0].arguments[2], 0x10);
    EXPECT_EQ(messageOf([&] { vertices->lock(static_cast<LockType>(3)); }), "Invalid lock type");
    EXPECT_EQ(messageOf([&] { indices->lock(static_cast<LockType>(3)); }), "DXMapLockType: Invalid lock type: 3");

    std::vector<Call> priorities = callsOf("SetPriority", [&] {
        vertices->setPriority(0.5f);
        vertices->setPriority(2.0f);
        indices->setPriority(1.0f);
    });
    ASSERT_EQ(priorities.size(), 3u);
    EXPECT_EQ(priorities[0].arguments[0], 0);
    EXPECT_EQ(priorities[1].arguments[0], 0xFFFFFFFE);
    EXPECT_EQ(priorities[2].arguments[0], 0xFFFFFFFF);
}

TEST_F(DXResourcesTest, IndexStreamsKeepTheirLockedFlag)
{
    std::unique_ptr<IndexStream> indices(createIndexStream(16, INDEX_16BIT, 1));
    EXPECT_FALSE(indices->isLocked());
    indices->lockRange(4, 4, LOCK_READ_WRITE);
    EXPECT_TRUE(indices->isLocked());
    indices->unlock();
    EXPECT_FALSE(indices->isLocked());
    indices->lock(LOCK_DISCARD);
    EXPECT_TRUE(indices->isLocked());
    indices->unlock();
}

// Both kinds of stream behave alike where their Parts agree; each case runs
// on a vertex and an index stream.
template <typename Stream>
struct StreamKind;

template <>
struct StreamKind<VertexStream> {
    static VertexStream* make(int size, int usage) { return createVertexStream(size, 4, usage); }
};

template <>
struct StreamKind<IndexStream> {
    static IndexStream* make(int size, int usage) { return createIndexStream(size, INDEX_16BIT, usage); }
};

template <typename Stream>
std::unique_ptr<Stream> filledStream(int size, int usage)
{
    std::unique_ptr<Stream> stream(StreamKind<Stream>::make(size, usage));
    auto* bytes = static_cast<unsigned char*>(stream->lock(LOCK_DISCARD));
    std::iota(bytes, bytes + size, static_cast<unsigned char>(1));
    stream->unlock();
    return stream;
}

template <typename Stream>
std::vector<unsigned char> contents(Stream& stream)
{
    auto* bytes = static_cast<unsigned char*>(stream.lock(LOCK_READ_ONLY));
    std::vector<unsigned char> result(bytes, bytes + stream.getSize());
    stream.unlock();
    return result;
}

template <typename Stream>
void copiesAndUsageChangesKeepTheContents()
{
    SCOPED_TRACE(typeid(Stream).name());
    const int dynamic = 3;
    // A dynamic source: read through a discard lock it would come back empty.
    std::unique_ptr<Stream> source = filledStream<Stream>(16, dynamic);
    std::unique_ptr<Stream> destination = filledStream<Stream>(16, dynamic);
    destination->copyFrom(*source, 4, 2, 8);
    std::vector<unsigned char> copied = contents(*destination);
    EXPECT_EQ(copied[8], 3) << "source byte 2";
    EXPECT_EQ(copied[11], 6);
    EXPECT_EQ(copied[0], 1) << "the rest of a dynamic destination stays";
    EXPECT_EQ(copied[15], 16);
    EXPECT_EQ(contents(*source)[0], 1) << "the source is untouched";
    EXPECT_FALSE(source->isLocked());
    EXPECT_FALSE(destination->isLocked());

    // Overlapping copies within one stream.
    destination->copyFrom(*destination, 8, 0, 4);
    copied = contents(*destination);
    EXPECT_EQ(copied[4], 1);
    EXPECT_EQ(copied[11], 8);

    // Ranges past either end are refused, nothing copied.
    std::vector<unsigned char> before = contents(*destination);
    EXPECT_THROW(destination->copyFrom(*source, 8, 10, 0), Exception);
    EXPECT_THROW(destination->copyFrom(*source, 8, 0, 9), Exception);
    EXPECT_THROW(destination->copyFrom(*source, -1, 0, 0), Exception);
    EXPECT_THROW(destination->lockRange(12, 8, LOCK_READ_WRITE), Exception);
    EXPECT_FALSE(destination->isLocked());
    EXPECT_EQ(contents(*destination), before);

    // A new usage keeps the bytes, even those of a dynamic stream.
    source->setUsage(4);
    EXPECT_EQ(source->getUsage(), 4);
    std::vector<unsigned char> kept = contents(*source);
    EXPECT_EQ(kept[0], 1);
    EXPECT_EQ(kept[15], 16);
    EXPECT_EQ(std::unique_ptr<Stream>(StreamKind<Stream>::make(0, 4))->getSize(), 0) << "empty streams are fine";
}

TEST_F(DXResourcesTest, CopiesAndUsageChangesKeepTheContents)
{
    copiesAndUsageChangesKeepTheContents<VertexStream>();
    copiesAndUsageChangesKeepTheContents<IndexStream>();
}

TEST_F(DXResourcesTest, AVertexStreamsRecordedSizeStaysWithinItsBuffer)
{
    std::unique_ptr<VertexStream> stream = filledStream<VertexStream>(16, 1);
    EXPECT_THROW(stream->setSize(17), Exception);
    EXPECT_EQ(stream->getSize(), 16);
    stream->setSize(8);
    EXPECT_EQ(stream->getSize(), 8);
    EXPECT_THROW(stream->lockRange(4, 8, LOCK_READ_ONLY), Exception) << "past the recorded size";
    std::vector<Call> created = callsOf("CreateVertexBuffer", [&] { stream->setUsage(2); });
    ASSERT_EQ(created.size(), 1u);
    EXPECT_EQ(created[0].arguments[0], 8) << "the new buffer takes the recorded size";
    EXPECT_EQ(contents(*stream), std::vector<unsigned char>({1, 2, 3, 4, 5, 6, 7, 8}));
    EXPECT_THROW(stream->setSize(9), Exception);
}

TEST_F(DXResourcesTest, ShaderTextThatDoesNotAssembleIsReportedWithTheAssemblersText)
{
    std::vector<Call> created;
    std::string message;
    created = callsOf("CreateVertexShader", [&] {
        message = messageOf([] { DXVertexShader shader("vs_2_0\ndcl_texcoord0 v0\nsin r0, v0.x\nmov oPos, r0\n"); });
    });
    EXPECT_EQ(message.rfind("Unable to assemble vertex shader: (3): error: ", 0), 0u) << message;
    EXPECT_NE(message.find("sin"), std::string::npos) << message;
    EXPECT_TRUE(created.empty()) << "no device shader";
    message = messageOf([] { DXPixelShader shader("ps_2_0\ncos r0, c0.x\nmov oC0, r0\n"); });
    EXPECT_EQ(message.rfind("Unable to assemble pixel shader: (2): error: ", 0), 0u) << message;

    DXVertexShader vertex("vs_2_0\ndcl_texcoord0 v0\nmov oPos, v0\n");
    DXPixelShader pixel("ps_2_0\nmov oC0, c0\n");
    EXPECT_EQ(callsOf("SetVertexShader", [&] { vertex.bind(); }).size(), 1u);
    EXPECT_EQ(callsOf("SetPixelShader", [&] { pixel.bind(); }).size(), 1u);
}

TEST_F(DXResourcesTest, ShaderProgramsBecomeDeviceShadersThroughTheCore)
{
    typedef ShaderGen::Register Register;
    ShaderGen vertexGen;
    Register matrix = vertexGen.uniform(0, 4), position = vertexGen.vary(VARY_POSITION);
    const char* rows[] = {"x", "y", "z", "w"};
    for (int row = 0; row < 4; ++row)
        vertexGen.dp4(position.swizzle(rows[row]), vertexGen.attrib(0), matrix.offset(row));
    ShaderProgram vertexProgram;
    vertexGen.getProgram(vertexProgram);
    ShaderGen pixelGen;
    Register sample = pixelGen.temp();
    pixelGen.texld(sample, pixelGen.vary(VARY_TEXCOORD0), pixelGen.sampler(0, TEXTURE_TYPE_2D));
    pixelGen.mov(pixelGen.result(RESULT_COLOR), sample);
    ShaderProgram pixelProgram;
    pixelGen.getProgram(pixelProgram);
    std::unique_ptr<VertexShader> vertex;
    std::unique_ptr<PixelShader> pixel;
    EXPECT_EQ(callsOf("CreateVertexShader", [&] { vertex.reset(vertexGen.createVertexShader(vertexProgram)); }).size(),
              1u);
    EXPECT_EQ(callsOf("CreatePixelShader", [&] { pixel.reset(pixelGen.createPixelShader(pixelProgram)); }).size(), 1u);
    EXPECT_NE(dynamic_cast<DXVertexShader*>(vertex.get()), nullptr);
    EXPECT_NE(dynamic_cast<DXPixelShader*>(pixel.get()), nullptr);
}

TEST_F(DXResourcesTest, ResourcesDrawThroughTheCore)
{
    // A textured quad through the core's own slots into a texture target.
    std::unique_ptr<Texture> target(createTexture(pointFiltered(4, 4, true)));
    std::unique_ptr<Texture> source(createTexture(pointFiltered(4, 4, false)));
    std::vector<uint32_t> texels(16);
    for (int i = 0; i < 16; ++i)
        texels[i] = 0xFF000000u | (i * 0x0F0F0F);
    source->update(0, texels.data());

    const float quad[] = {-1.25f, 1.25f, 0, 0, 0.75f, 1.25f, 1, 0, -1.25f, -0.75f, 0, 1, 0.75f, -0.75f, 1, 1};
    std::unique_ptr<VertexStream> stream(createVertexStream(sizeof(quad), 16, 4));
    std::memcpy(stream->lock(LOCK_DISCARD), quad, sizeof(quad));
    stream->unlock();
    const VertexElement elements[] = {{0, 0, VERTEX_FLOAT2, 0}, {0, 8, VERTEX_FLOAT2, 1}};
    std::unique_ptr<VertexFormat> format(createVertexFormat(2, elements));
    std::unique_ptr<IndexStream> indices(createIndexStream(12, INDEX_16BIT, 1));
    const uint16_t order[] = {0, 1, 2, 2, 1, 3};
    std::memcpy(indices->lock(LOCK_DISCARD), order, sizeof(order));
    indices->unlock();
    DXVertexShader vertex("vs_2_0\ndcl_texcoord0 v0\ndcl_texcoord1 v1\nmov oPos, v0\nmov oT0, v1\n");
    DXPixelShader pixel("ps_2_0\ndcl t0.xy\ndcl_2d s0\ntexld r0, t0, s0\nmov oC0, r0\n");

    APICore& core = *APICore::getInstance();
    target->getRenderTarget()->begin();
    StreamSet streams;
    streams.streams[0] = stream.get();
    streams.count = 1;
    TextureSet textures;
    textures.textures[0] = source.get();
    textures.count = 1;
    DepthState noDepth;
    noDepth.testEnabled = false;
    core.setDepthState(&noDepth);
    core.setVertexStreams(&streams, format.get());
    core.setTextures(&textures);
    core.setIndexStream(indices.get());
    core.setVertexShader(&vertex);
    core.setPixelShader(&pixel);
    core.drawIndexedPrimitives(PRIMITIVE_TRIANGLE_LIST, 0, 4, 0, 2);
    target->getRenderTarget()->end();
    core.setIndexStream(nullptr);
    core.setVertexShader(nullptr);
    core.setPixelShader(nullptr);
    core.setTextures(nullptr);
    core.setVertexStreams(nullptr, nullptr);

    EXPECT_EQ(readTexture(*target), texels);
}

TEST_F(DXResourcesTest, AStreamMovedToAnotherUsageIsBoundAgainByTheNextApply)
{
    // The device buffer behind a stream changes with its usage; a context
    // that bound the old buffer must not skip the new one as unchanged.
    std::unique_ptr<VertexStream> stream(createVertexStream(64, 16, 0));
    std::unique_ptr<IndexStream> indices(createIndexStream(12, INDEX_16BIT, 0));
    const VertexElement elements[] = {{0, 0, VERTEX_FLOAT4, 0}};
    std::unique_ptr<VertexFormat> format(createVertexFormat(1, elements));
    RenderContext context;
    context.setVertexStream(0, stream.get());
    context.setVertexFormat(format.get());
    context.setIndexStream(indices.get());
    context.apply();

    EXPECT_TRUE(callsOf("SetStreamSource", [&] { context.apply(); }).empty());
    EXPECT_TRUE(callsOf("SetIndices", [&] { context.apply(); }).empty());

    for (int usage : {4, 1}) {
        stream->setUsage(usage);
        indices->setUsage(usage);
        std::vector<Call> log = logOf([&] { context.apply(); });
        EXPECT_EQ(D3D9Testing::callsNamed(log, "SetStreamSource").size(), 1u) << "usage " << usage;
        EXPECT_EQ(D3D9Testing::callsNamed(log, "SetIndices").size(), 1u) << "usage " << usage;
    }
}

} // namespace
