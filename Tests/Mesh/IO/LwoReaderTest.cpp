#include "Libs/Mesh/IO/IffReader.h"
#include "Libs/Mesh/IO/LwoReader.h"
#include "Tests/Mesh/IO/LwoTestBytes.h"
#include "Tests/Mesh/MeshTestHelpers.h"

#include <gtest/gtest.h>

using namespace Vostrel::Mesh;
using namespace LwoBytes;
using MeshTest::thrownMessage;

namespace {

TEST(IffReaderTest, PrimitivesAndChunkBounds)
{
    IffReader vx(Bytes{0xff, 0x01, 0x23, 0x45, 0x12, 0x34});
    EXPECT_EQ(vx.readVX(), 0x12345u);
    EXPECT_EQ(vx.tell(), 4u);
    EXPECT_EQ(vx.readVX(), 0x1234u);

    // Strings keep an even length: "ab" and "abc" both take four bytes.
    IffReader strings(cat({text("ab"), Bytes{0, 0}, text("abc"), Bytes{0}}));
    EXPECT_EQ(strings.readS0(), "ab");
    EXPECT_EQ(strings.tell(), 4u);
    EXPECT_EQ(strings.readS0(), "abc");
    EXPECT_EQ(strings.tell(), 8u);

    // An odd chunk is followed by its pad byte; a sub-chunk one byte too long
    // is refused and the parent is left at its end.
    IffReader nested(cat({chunk("AAAA", Bytes{1, 2, 3}), chunk("BBBB", cat({chunk("CCCC", Bytes{9, 9}, true)}))}));
    ASSERT_TRUE(nested.pushChunk(false));
    ASSERT_TRUE(nested.nextChunk(false));
    EXPECT_STREQ(nested.topChunk()->id, "BBBB");
    EXPECT_EQ(nested.tell(), 20u);
    Bytes overrun = cat({chunk("PARE", cat({text("SUBC"), u2(3), Bytes{1, 2}})), chunk("NEXT", {})});
    IffReader parent(overrun);
    ASSERT_TRUE(parent.pushChunk(false));
    EXPECT_FALSE(parent.pushChunk(true));
    EXPECT_EQ(parent.tell(), 8u);
    EXPECT_TRUE(parent.nextChunk(false));
    EXPECT_STREQ(parent.topChunk()->id, "NEXT");

    IffReader tiny(Bytes{'F', 'O', 'R', 'M', 0, 0, 0});
    EXPECT_FALSE(tiny.pushChunk(false));
    // Reads stop at the end of the chunk they are in.
    IffReader truncated(chunk("DATA", Bytes{1, 2}));
    ASSERT_TRUE(truncated.pushChunk(false));
    EXPECT_EQ(thrownMessage([&] { truncated.readU4(); }), "Truncated data at offset 8 in chunk DATA.");
    IffReader oddlyNamed(chunk("\x1b[5m", Bytes{1, 2}));
    ASSERT_TRUE(oddlyNamed.pushChunk(false));
    EXPECT_EQ(thrownMessage([&] { oddlyNamed.readU4(); }), "Truncated data at offset 8 in chunk \\x1b[5m.");
}

std::string readError(const Bytes& bytes, std::string* errorLines = nullptr)
{
    testing::internal::CaptureStderr();
    std::string message = thrownMessage([&] { LwoReader(bytes).read(); });
    std::string lines = testing::internal::GetCapturedStderr();
    if (errorLines)
        *errorLines = lines;
    return message;
}

TEST(LwoReaderTest, BadFilesFailWithAMessage)
{
    struct Case {
        const char* what;
        Bytes bytes;
        std::string message;
    };
    const Bytes points = chunk("PNTS", f4s({1, 2, 3}));
    const Case cases[] = {
        {"not FORM", chunk("FOR1", text("LWO2")), "This is not IFF-file."},
        {"not LWO2", chunk("FORM", text("LWOB")), "This is not LWO2-file."},
        {"FORM past the end", cat({text("FORM"), u4(100), text("LWO2")}), "This is not IFF-file."},
        {"empty file", {}, "This is not IFF-file."},
        {"BBOX first", form({chunk("BBOX", f4s({0, 0, 0, 1, 1, 1}))}), "BBOX before LAYR?"},
        {"VMAD without POLS", form({layr(0), points, chunk("VMAD", cat({text("TXUV"), u2(2), s0("uv")}))}),
         "VMAD before POLS in layer 1."},
        {"truncated polygon", form({layr(0), points, chunk("POLS", cat({text("FACE"), u2(3), u2(0), u2(0)}))}),
         "Truncated data at offset 76 in chunk POLS."},
        {"unterminated layer name", form({chunk("LAYR", cat({u2(0), u2(0), f4s({0, 0, 0}), text("ab")}))}),
         "Unterminated string at offset 36."},
        {"keys out of order",
         form({chunk("ENVL", cat({u2(0), chunk("KEY ", f4s({1, 0}), true), chunk("KEY ", f4s({0, 0}), true)}))}),
         "key->time >= env->keys.back()->time does not hold."},
        {"SPAN of 24 bytes",
         form({chunk("ENVL", cat({u2(0), chunk("KEY ", f4s({0, 0}), true),
                                  chunk("SPAN", cat({text("TCB "), f4s({1, 2, 3, 4, 5})}), true)}))}),
         "nparams <= 4 does not hold."},
        {"TIME first", form({chunk("CLIP", cat({u4(1), chunk("TIME", f4s({0, 1, 24}), true)}))}),
         "TIME before STIL/ISEQ/XREF?"},
        {"HUE first", form({chunk("CLIP", cat({u4(1), chunk("HUE ", cat({f4(0), u2(0)}), true)}))}),
         "HUE before STIL/ISEQ/XREF?"},
        {"empty BLOK", form({chunk("SURF", cat({s0("S"), s0(""), chunk("BLOK", {}, true)}))}),
         "BLOK header subchunk missing."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(readError(c.bytes), c.message) << c.what;

    std::string lines;
    EXPECT_EQ(readError(form({points}), &lines), "PNTS before LAYR?");
    EXPECT_EQ(lines, "In LwoReader::readObject()\nIn LwoReader::read()\n");
    EXPECT_EQ(thrownMessage([] { LwoReader("data/missing.lwo"); }), "File not found: data/missing.lwo");
}

TEST(LwoReaderTest, GeometryChunks)
{
    // A 30-byte PNTS holds two points; the flag bits of a vertex count are
    // dropped; a later TAGS does not change the names an earlier PTAG kept.
    Bytes bytes = form({chunk("TAGS", s0("A")), layr(0), layr(1),
                        chunk("PNTS", cat({f4s({1, 2, 3, 4, 5, 6}), Bytes(6, 0)})),
                        chunk("POLS", cat({text("FACE"), u2(0xfc03), u2(0), u2(1), Bytes{0xff, 0, 0, 1}})),
                        chunk("PTAG", cat({text("SURF"), u2(0), u2(0)})), chunk("TAGS", s0("B")),
                        chunk("PTAG", cat({text("PART"), u2(0), u2(0)})),
                        chunk("VMAP", cat({text("TXUV"), u2(2), s0("UV"), u2(0), f4s({1, 2}), u2(1), f4s({3, 4}),
                                           u2(0), f4s({5, 6})})),
                        chunk("POLS", cat({text("XXXX"), u2(1), u2(0)})), chunk("ZZZZ", Bytes{1})});
    LwoReader reader(bytes);
    ASSERT_TRUE(reader.read());
    std::unique_ptr<LwoObject> object = reader.releaseObject();
    EXPECT_EQ(reader.getObject(), nullptr);
    ASSERT_EQ(object->layers.size(), 2u);
    EXPECT_EQ(object->layers[0]->number, 1u);
    const LwoLayer& layer = *object->layers[1];
    EXPECT_EQ(layer.number, 2u);
    ASSERT_EQ(layer.getPointCount(), 2);
    EXPECT_EQ(layer.points[1][2], 6.0f);
    ASSERT_EQ(layer.polygonLists.size(), 1u);
    const LwoPolygonList& list = *layer.polygonLists[0];
    ASSERT_EQ(list.getCount(), 1);
    EXPECT_EQ(list.polygons[0].vertices, (std::vector<uint32_t>{0, 1, 1}));
    ASSERT_EQ(list.tagMaps.size(), 2u);
    EXPECT_EQ(list.tagMaps[0]->tagNames, std::vector<std::string>{"A"});
    EXPECT_EQ(list.tagMaps[1]->tagNames, std::vector<std::string>{"B"});
    EXPECT_EQ(list.tagMaps[1]->type, 1);
    ASSERT_EQ(layer.vertexMaps.size(), 1u);
    EXPECT_EQ(layer.vertexMaps[0]->getCount(), 3);
    EXPECT_EQ(layer.vertexMaps[0]->values.size(), 6u);
}

TEST(LwoReaderTest, SurfacesEnvelopesAndClipsOfTheFixture)
{
    LwoReader reader("data/cube.lwo");
    ASSERT_TRUE(reader.read());
    const LwoObject& object = *reader.getObject();
    ASSERT_EQ(object.surfaces.size(), 1u);
    const LwoSurface& surface = *object.surfaces[0];
    EXPECT_EQ(surface.name, "Default");
    EXPECT_EQ(surface.colour.value, Vec3(0.8f, 0.5f, 0.25f));
    EXPECT_EQ(surface.diffuse.value, 0.75f);
    EXPECT_EQ(surface.glossiness.value, 0.4f); // defaults stand where the file is silent
    EXPECT_EQ(surface.alphaMode, 3u);
    EXPECT_EQ(surface.sidedness, 3u);
    ASSERT_EQ(surface.blocks.size(), 1u);
    const LwoBlock& block = *surface.blocks[0];
    EXPECT_EQ(block.type, 0);
    EXPECT_STREQ(block.channel, "COLR");
    EXPECT_EQ(block.centre.value, Vec3(1, 2, 3));
    EXPECT_EQ(block.size.value, Vec3(2, 2, 2));
    EXPECT_EQ(block.projection, 5u);
    EXPECT_EQ(block.image, 1u);
    EXPECT_EQ(block.uvMapName, "UV");

    ASSERT_EQ(object.envelopes.size(), 1u);
    const LwoEnvelope& envelope = *object.envelopes[0];
    EXPECT_EQ(envelope.name, "Glow");
    EXPECT_EQ(envelope.type, 2u);
    ASSERT_EQ(envelope.keys.size(), 2u);
    EXPECT_EQ(envelope.keys[1]->value, 3.0f);
    EXPECT_EQ(envelope.keys[0]->shape, 0);
    EXPECT_EQ(envelope.keys[1]->shape, 3);

    ASSERT_EQ(object.clips.size(), 1u);
    EXPECT_EQ(object.clips[0]->kind, 1);
    EXPECT_EQ(object.clips[0]->still->fileName, "images/wall.png");
    EXPECT_TRUE(object.clips[0]->negative);
}

TEST(LwoReaderTest, BlockSubChunkSizes)
{
    Bytes header = chunk("PROC", cat({s0("\x80"), chunk("ENAB", u2(0), true)}), true);
    Bytes block = chunk("BLOK", cat({header, chunk("VALU", f4(0.5f), true),
                                     chunk("FKEY", f4s({0, 1, 2, 3, 4, 1, 5, 6, 7, 8}), true),
                                     chunk("IKEY", cat({u2(7), u2(8), u2(9)}), true)}), true);
    Bytes line = chunk("LINE", cat({u2(1), f4(2), u2(0)}), true);
    LwoReader reader(form({chunk("SURF", cat({s0("S"), s0(""), line, block})),
                           chunk("CLIP", cat({u4(2), chunk("ISEQ", cat({Bytes{3, 1}, u2(0xffff), u2(0), u2(1), u2(9),
                                                                          s0("f"), s0(".png")}), true)}))}));
    ASSERT_TRUE(reader.read());
    const LwoSurface& surface = *reader.getObject()->surfaces[0];
    EXPECT_TRUE(surface.outline);
    EXPECT_EQ(surface.outlineSize.value, 2.0f);
    const LwoBlock& b = *surface.blocks[0];
    EXPECT_EQ(b.type, 1);
    EXPECT_FALSE(b.enabled);
    EXPECT_EQ(b.proceduralValue, Vec3(0.5f));
    ASSERT_EQ(b.gradientKeys.size(), 2u);
    EXPECT_EQ(b.gradientKeys[1].output[3], 8.0f);
    EXPECT_EQ(b.gradientKeys[1].interpolation, 8u);
    EXPECT_EQ(reader.getObject()->clips[0]->sequence->offset, 65535u);
}

} // namespace
