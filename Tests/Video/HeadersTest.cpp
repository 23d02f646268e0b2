#include "Libs/Common/Exception.h"
#include "Libs/Video/Headers.h"
#include "Libs/Video/VlcTables.h"
#include "Tests/Video/StreamWriter.h"

#include <gtest/gtest.h>

using namespace Vostrel::Video;
using VideoTest::BitWriter;

namespace {

struct Parsed {
    Parsed(const std::vector<uint8_t>& bytes)
    {
        input.openMemory(bytes);
    }
    BitInput input;
    Parameters parameters;
    Messages messages{nullptr, nullptr, true};
    HeaderParser parser{input, parameters, messages};
};

} // namespace

TEST(HeadersTest, SequenceHeaderWithoutMatricesRestoresTheDefaults)
{
    int intra[64];
    for (int i = 0; i < 64; ++i)
        intra[i] = 100 + i;
    VideoTest::SequenceOptions loaded{64, 48, false};
    loaded.intraMatrix = intra;
    loaded.nonIntraMatrixValue = 33;
    VideoTest::StreamWriter first(loaded), second({64, 48, false});
    first.sequenceHeader();
    first.picture({});
    second.sequenceHeader();
    second.picture({});
    second.sequenceEnd();
    std::vector<uint8_t> bytes = first.bytes(), more = second.bytes();
    bytes.insert(bytes.end(), more.begin(), more.end());
    Parsed parsed(bytes);

    ASSERT_EQ(parsed.parser.nextHeader(), 1);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(parsed.parameters.intraQuantiserMatrix[i], 100 + i);
        EXPECT_EQ(parsed.parameters.chromaIntraQuantiserMatrix[i], 100 + i);
        EXPECT_EQ(parsed.parameters.nonIntraQuantiserMatrix[i], 33);
    }
    ASSERT_EQ(parsed.parser.nextHeader(), 1);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(parsed.parameters.intraQuantiserMatrix[i], kDefaultIntraQuantiserMatrix[i]);
        EXPECT_EQ(parsed.parameters.nonIntraQuantiserMatrix[i], 16);
        EXPECT_EQ(parsed.parameters.chromaNonIntraQuantiserMatrix[i], 16);
    }
    EXPECT_EQ(parsed.parser.nextHeader(), 0);
    EXPECT_FALSE(parsed.parameters.mpeg2);
}

// The number of frame centre offsets depends on the picture: a field picture
// has one pair, a frame picture of an interlaced sequence two.
TEST(HeadersTest, PictureDisplayExtensionReadsAsManyOffsetsAsThePictureHas)
{
    for (int structure : {1, 3}) {
        VideoTest::StreamWriter writer({64, 48, true, 0});
        writer.sequenceHeader();
        VideoTest::PictureOptions options;
        options.structure = structure;
        writer.picture(options);
        BitWriter& bits = writer.raw();
        bits.startCode(0xB5); // picture display extension with two pairs
        bits.put(7, 4);
        for (int pair = 0; pair < 2; ++pair) {
            bits.put(static_cast<uint16_t>(-100 * (pair + 1)), 16);
            bits.put(1, 1);
            bits.put(static_cast<uint16_t>(50 * (pair + 1)), 16);
            bits.put(1, 1);
        }
        writer.sequenceEnd();
        Parsed parsed(writer.bytes());
        ASSERT_EQ(parsed.parser.nextHeader(), 1);
        EXPECT_TRUE(parsed.parameters.mpeg2);
        EXPECT_EQ(parsed.parameters.pictureStructure, structure);
        EXPECT_EQ(parsed.parameters.frameCentreHorizontalOffset[0], -100);
        EXPECT_EQ(parsed.parameters.frameCentreVerticalOffset[0], 50);
        EXPECT_EQ(parsed.parameters.frameCentreHorizontalOffset[1], structure == 3 ? -200 : 0);
        EXPECT_EQ(parsed.parameters.frameCentreVerticalOffset[1], structure == 3 ? 100 : 0);
    }
}

TEST(HeadersTest, TemporalScalabilityIsRefused)
{
    VideoTest::StreamWriter writer({64, 48, false});
    writer.sequenceHeader();
    writer.raw().startCode(0xB5);
    writer.raw().put(10, 4);
    writer.raw().put(0, 8);
    writer.sequenceEnd();
    Parsed parsed(writer.bytes());
    try {
        parsed.parser.nextHeader();
        FAIL() << "no exception";
    } catch (const Vostrel::Exception& e) {
        EXPECT_EQ(e.message, "temporal scalability not supported");
    }
}

// A loaded intra or non-intra matrix is also the chroma one, unless the
// chroma matrix is loaded after it.
TEST(HeadersTest, QuantMatrixExtensionCopiesIntoTheChromaMatrices)
{
    VideoTest::StreamWriter writer({64, 48, true, 1, 2});
    writer.sequenceHeader();
    BitWriter& bits = writer.raw();
    bits.startCode(0xB5);
    bits.put(3, 4);
    for (int value : {20, 30, 0, 40}) {
        bits.put(value != 0, 1);
        for (int i = 0; value && i < 64; ++i)
            bits.put(static_cast<uint32_t>(value), 8);
    }
    writer.picture({});
    writer.sequenceEnd();
    Parsed parsed(writer.bytes());
    ASSERT_EQ(parsed.parser.nextHeader(), 1);
    for (int i = 0; i < 64; ++i) {
        EXPECT_EQ(parsed.parameters.intraQuantiserMatrix[i], 20);
        EXPECT_EQ(parsed.parameters.chromaIntraQuantiserMatrix[i], 20);
        EXPECT_EQ(parsed.parameters.nonIntraQuantiserMatrix[i], 30);
        EXPECT_EQ(parsed.parameters.chromaNonIntraQuantiserMatrix[i], 40);
    }
}
