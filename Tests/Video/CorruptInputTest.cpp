// Damaged input: every outcome is frames or a Vostrel::Exception, never a
// crash or an access outside a buffer (the sanitizer build checks the last).

#include "Tests/Video/StreamWriter.h"
#include "Tests/Video/VideoTestSupport.h"

#include "Libs/Common/Exception.h"

#include <gtest/gtest.h>

#include <random>

using namespace VideoTest;

namespace {

struct Outcome {
    size_t frames = 0;
    bool failed = false;
};

// Decodes with an output buffer of exactly the stated size.
Outcome decodeDamaged(const std::vector<uint8_t>& bytes, int width, int height)
{
    Outcome outcome;
    try {
        DecodedStream decoded = decodeBytes(bytes, width, height);
        outcome.frames = decoded.frames.size();
    } catch (const Vostrel::Exception&) {
        outcome.failed = true;
    }
    return outcome;
}

std::vector<std::string> damagedSources()
{
    const std::string source = "-f lavfi -i testsrc2=size=64x48:rate=25 -frames:v 12 ";
    return {
        ffmpegStream("damage-mpeg1.m1v", source + "-c:v mpeg1video -g 6 -bf 2 -b:v 200k"),
        ffmpegStream("damage-mpeg2.m2v",
                     source + "-c:v mpeg2video -g 6 -bf 2 -b:v 200k -flags +ildct+ilme -alternate_scan 1 -intra_vlc 1"),
        ffmpegStream("damage-422.m2v", source + "-c:v mpeg2video -pix_fmt yuv422p -g 6 -bf 2 -b:v 200k"),
        ffmpegStream("damage-system.mpg", source + "-c:v mpeg1video -g 6 -bf 2 -b:v 200k -f mpeg"),
        ffmpegStream("damage-program.mpg", source + "-c:v mpeg2video -g 6 -bf 2 -b:v 200k -f vob"),
    };
}

} // namespace

TEST(CorruptInputTest, TruncatedStreamsEndOrFailCleanly)
{
    for (const std::string& path : damagedSources()) {
        std::vector<uint8_t> bytes = readFile(path);
        for (int part = 1; part < 24; ++part) {
            std::vector<uint8_t> cut(bytes.begin(), bytes.begin() + long(bytes.size() * size_t(part) / 24));
            Outcome outcome = decodeDamaged(cut, 64, 48);
            EXPECT_LE(outcome.frames, 12u) << path << " part " << part;
        }
    }
}

TEST(CorruptInputTest, RandomBitFlipsEndOrFailCleanly)
{
    std::mt19937 random(2024);
    int failures = 0, runs = 0;
    for (const std::string& path : damagedSources()) {
        std::vector<uint8_t> bytes = readFile(path);
        for (int variant = 0; variant < 30; ++variant) {
            std::vector<uint8_t> damaged = bytes;
            int flips = 1 + variant % 8 * 4;
            for (int i = 0; i < flips; ++i) {
                size_t bit = std::uniform_int_distribution<size_t>(0, damaged.size() * 8 - 1)(random);
                damaged[bit / 8] ^= uint8_t(1 << (bit % 8));
            }
            Outcome outcome = decodeDamaged(damaged, 64, 48);
            failures += outcome.failed;
            ++runs;
        }
    }
    // Most damage is concealed; some (a size or a packet header hit) is an error.
    EXPECT_LT(failures, runs);
}

TEST(CorruptInputTest, RandomBytesAfterASequenceHeaderEndOrFailCleanly)
{
    std::mt19937 random(77);
    StreamWriter writer({32, 32, true, 0, 1, -1});
    writer.sequenceHeader();
    std::vector<uint8_t> header = writer.bytes();
    for (int variant = 0; variant < 40; ++variant) {
        std::vector<uint8_t> bytes = header;
        for (int i = 0; i < 3000; ++i) {
            // Start codes now and then, so that pictures and slices begin.
            if (std::uniform_int_distribution<int>(0, 60)(random) == 0) {
                static const uint8_t codes[] = {0x00, 0x01, 0x02, 0x03, 0xB5, 0xB3, 0xB8, 0x10};
                bytes.insert(bytes.end(), {0, 0, 1, codes[std::uniform_int_distribution<int>(0, 7)(random)]});
            }
            bytes.push_back(uint8_t(random()));
        }
        Outcome outcome = decodeDamaged(bytes, 32, 32);
        EXPECT_LE(outcome.frames, 3000u);
    }
}

TEST(CorruptInputTest, AbsurdPictureSizesAreErrors)
{
    struct Case {
        int width, height;
        bool mpeg2;
    };
    for (Case c : {Case{16383, 16383, true}, Case{8000, 16, true}, Case{0, 32, false}, Case{32, 0, true}}) {
        StreamWriter writer({c.width, c.height, c.mpeg2, 1, 1, -1});
        writer.sequenceHeader();
        PictureOptions options;
        options.progressiveFrame = 1;
        writer.picture(options);
        writer.intraMacroblock(0, 0, std::vector<int>(6, 0));
        writer.sequenceEnd();
        try {
            decodeBytes(writer.bytes(), 64, 64);
            ADD_FAILURE() << c.width << "x" << c.height << " accepted";
        } catch (const Vostrel::Exception& e) {
            EXPECT_EQ(e.message, "Sequence: unsupported picture size " + std::to_string(c.width) + "x" +
                                     std::to_string(c.height));
        }
    }
}

// Field pictures in a progressive sequence with an odd number of macroblock
// rows cannot be stored; they are passed over.
TEST(CorruptInputTest, FieldPicturesThatDoNotFitTheStoresArePassedOver)
{
    StreamWriter writer({32, 48, true, 1, 1, -1});
    writer.sequenceHeader();
    for (int structure : {3, 1, 2, 3}) {
        PictureOptions options;
        options.structure = structure;
        options.progressiveFrame = 1;
        writer.picture(options);
        for (int mby = 0; mby < (structure == 3 ? 3 : 2); ++mby)
            for (int mbx = 0; mbx < 2; ++mbx)
                writer.intraMacroblock(mbx, mby, std::vector<int>(6, 10 * structure));
    }
    writer.sequenceEnd();
    DecodedStream decoded = decodeBytes(writer.bytes(), 32, 48);
    EXPECT_EQ(decoded.pictures, 2);
    EXPECT_EQ(decoded.frames.size(), 2u);
}

// A sequence header with another size right before the sequence end: the
// frame still waiting is written at the size it was decoded at.
TEST(CorruptInputTest, SizeChangeJustBeforeTheEndWritesTheWaitingFrameAtItsOwnSize)
{
    StreamWriter small({32, 32, true, 1, 1, -1}), large({64, 64, true, 1, 1, -1});
    small.sequenceHeader();
    PictureOptions options;
    options.progressiveFrame = 1;
    small.picture(options);
    for (int mby = 0; mby < 2; ++mby)
        for (int mbx = 0; mbx < 2; ++mbx)
            small.intraMacroblock(mbx, mby, std::vector<int>(6, 20));
    large.sequenceHeader();
    large.sequenceEnd();
    std::vector<uint8_t> bytes = small.bytes(), tail = large.bytes();
    bytes.insert(bytes.end(), tail.begin(), tail.end());
    DecodedStream decoded = decodeBytes(bytes, 64, 64);
    ASSERT_EQ(decoded.frames.size(), 1u);
    EXPECT_EQ(decoded.frames[0].width, 32);
    EXPECT_EQ(decoded.frames[0].height, 32);
    EXPECT_EQ(decoded.frames[0].planes[0], std::vector<uint8_t>(32 * 32, 148));
}
