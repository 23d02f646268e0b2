// The entry points: delivery order, the written flag, the output capacity and
// the errors of opening.

#include "Tests/Video/StreamWriter.h"
#include "Tests/Video/VideoTestSupport.h"

#include "Libs/Common/Exception.h"

#include <gtest/gtest.h>

using namespace VideoTest;
using Vostrel::VideoDecoder;

namespace {

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Vostrel::Exception& e) {
        return e.message;
    }
    return "(no exception)";
}

std::string intraStream(int frames)
{
    return ffmpegStream("intra-" + std::to_string(frames) + ".m2v",
                        "-f lavfi -i testsrc2=size=48x32:rate=25 -frames:v " + std::to_string(frames) +
                            " -c:v mpeg2video -g 1");
}

struct Delivery {
    int pictures = 0;             // calls that returned 1
    std::vector<bool> fieldOrder; // of each written frame
    std::string notices;
};

Delivery deliver(const std::vector<uint8_t>& bytes)
{
    Delivery result;
    std::FILE* notices = std::tmpfile();
    VideoDecoder decoder;
    decoder.setMessageStreams(notices, nullptr);
    decoder.setOutputSize(32, 32);
    decoder.setFrameObserver([&](const Vostrel::VideoFrameView& view) { result.fieldOrder.push_back(view.fieldOrder); });
    decoder.openMemory(bytes.data(), bytes.size());
    std::vector<uint8_t> rgb(32 * 32 * 3);
    while (decoder.decodeNextFrame(rgb.data()))
        ++result.pictures;
    std::rewind(notices);
    char line[128];
    while (std::fgets(line, sizeof line, notices))
        result.notices += line;
    std::fclose(notices);
    return result;
}

// I pictures of an interlaced 32 x 32 sequence, one macroblock each, as
// (picture_structure, progressive_frame).
std::vector<uint8_t> intraPictures(const std::vector<std::pair<int, int>>& pictures)
{
    VideoTest::StreamWriter writer({32, 32, true, 0});
    writer.sequenceHeader();
    for (auto [structure, progressiveFrame] : pictures) {
        VideoTest::PictureOptions options;
        options.structure = structure;
        options.progressiveFrame = progressiveFrame;
        writer.picture(options);
        writer.intraMacroblock(0, 0, std::vector<int>(6, 0));
    }
    writer.sequenceEnd();
    return writer.bytes();
}

} // namespace

// A reference frame is written, one picture late, with its own
// progressive_frame; the last one with that of the last decoded picture.
TEST(StreamInterfaceTest, ReferencesAreWrittenWithTheirOwnProgressiveFlag)
{
    Delivery delivery = deliver(intraPictures({{3, 1}, {3, 0}, {3, 1}}));
    EXPECT_EQ(delivery.pictures, 3);
    EXPECT_EQ(delivery.fieldOrder, (std::vector<bool>{false, true, false}));
}

TEST(StreamInterfaceTest, FieldPairsLeftOpenAreReported)
{
    // A frame picture while a pair is open: the lone field is given up.
    Delivery lone = deliver(intraPictures({{1, 0}, {3, 0}}));
    EXPECT_EQ(lone.notices, "odd number of field pictures\n");
    EXPECT_EQ(lone.pictures, 2);
    EXPECT_EQ(lone.fieldOrder.size(), 1u);
    // The stream ends inside a pair: the frame waiting is not written either.
    Delivery open = deliver(intraPictures({{3, 0}, {1, 0}}));
    EXPECT_EQ(open.notices, "last frame incomplete, not stored\n");
    EXPECT_EQ(open.pictures, 2);
    EXPECT_TRUE(open.fieldOrder.empty());
}

// The first call decodes the only picture and writes nothing; the call that
// finds the end writes it.
TEST(StreamInterfaceTest, SinglePictureIsWrittenByTheCallThatEnds)
{
    // Flat macroblocks, which decode exactly: the frame written is the
    // conversion of ffmpeg's.
    std::string raw = writeFile("single.yuv", blockyFrames(48, 32, 1, false, 3));
    std::string stream = ffmpegStream("single.m2v", "-f rawvideo -pix_fmt yuv420p -s 48x32 -r 25 -i " + raw +
                                                        " -c:v mpeg2video -q:v 2");
    std::vector<uint8_t> expected = referenceRgb(ffmpegFrames(stream, "yuv420p", 48, 32).at(0), true, true, false, 0);

    VideoDecoder decoder;
    decoder.setMessageStreams(nullptr, nullptr);
    Vostrel::Set_Video_Output_Size(decoder, 48, 32);
    Vostrel::Open_Video_Stream(decoder, stream.c_str());
    std::vector<uint8_t> rgb(48 * 32 * 3, 0xAB);
    EXPECT_EQ(Vostrel::Decode_Next_Frame(decoder, rgb.data()), 1);
    EXPECT_EQ(Vostrel::Video_Frame_Written(decoder), 0);
    EXPECT_EQ(rgb, std::vector<uint8_t>(48 * 32 * 3, 0xAB));
    EXPECT_EQ(Vostrel::Decode_Next_Frame(decoder, rgb.data()), 0);
    EXPECT_EQ(Vostrel::Video_Frame_Written(decoder), 1);
    EXPECT_EQ(rgb, expected);
    // Finished: further calls write nothing.
    EXPECT_EQ(Vostrel::Decode_Next_Frame(decoder, rgb.data()), 0);
    EXPECT_EQ(Vostrel::Video_Frame_Written(decoder), 0);
}

// Coded order I P B B: each call after the first writes one frame, the
// reference one picture late; the end writes the last reference. (Which
// frames, in which order, the comparisons with ffmpeg check.)
TEST(StreamInterfaceTest, EveryCallAfterTheFirstWritesOneFrame)
{
    std::string stream = ffmpegStream("ipbb.m2v", "-f lavfi -i testsrc2=size=48x32:rate=25 -frames:v 4 "
                                                  "-c:v mpeg2video -g 10 -bf 2");
    VideoDecoder decoder;
    decoder.setMessageStreams(nullptr, nullptr);
    decoder.setOutputSize(48, 32);
    decoder.open(stream.c_str());
    std::vector<uint8_t> rgb(48 * 32 * 3);
    std::vector<std::pair<int, int>> calls; // result, whether a frame was written
    for (;;) {
        int result = decoder.decodeNextFrame(rgb.data());
        calls.emplace_back(result, int(decoder.frameWritten()));
        if (!result)
            break;
    }
    EXPECT_EQ(calls, (std::vector<std::pair<int, int>>{{1, 0}, {1, 1}, {1, 1}, {1, 1}, {0, 1}}));
}

TEST(StreamInterfaceTest, FrameLargerThanTheStatedOutputIsRefused)
{
    std::string stream = intraStream(2);
    VideoDecoder decoder;
    decoder.setMessageStreams(nullptr, nullptr);
    decoder.setOutputSize(32, 32);
    decoder.open(stream.c_str());
    std::vector<uint8_t> rgb(32 * 32 * 3); // exactly the stated size
    EXPECT_EQ(decoder.decodeNextFrame(rgb.data()), 1);
    EXPECT_EQ(messageOf([&] { decoder.decodeNextFrame(rgb.data()); }),
              "Decode_Next_Frame: a frame of 48x32 does not fit the output of 32x32");
    // The context has given up on the stream.
    EXPECT_EQ(decoder.decodeNextFrame(rgb.data()), 0);

    VideoDecoder unsized;
    unsized.setMessageStreams(nullptr, nullptr);
    unsized.open(stream.c_str());
    EXPECT_EQ(unsized.decodeNextFrame(rgb.data()), 1);
    EXPECT_EQ(messageOf([&] { unsized.decodeNextFrame(rgb.data()); }),
              "Decode_Next_Frame: a frame of 48x32 does not fit the output of 0x0");
}

TEST(StreamInterfaceTest, OpeningFailuresNameTheirCause)
{
    VideoDecoder decoder;
    std::string missing = generatedDirectory() + "/no-such-video.mpg";
    EXPECT_EQ(messageOf([&] { Vostrel::Open_Video_Stream(decoder, missing.c_str()); }),
              "Base layer input file " + missing + " not found");

    const struct {
        std::vector<uint8_t> bytes;
        const char* message;
    } cases[] = {
        {{0x47, 0x40, 0x00, 0x10, 0x00, 0x00, 0x01, 0xB3}, "Decoder currently does not parse transport streams"},
        {{0x00, 0x00, 0x01, 0xC0, 0x00, 0x10, 0xFF, 0xFF}, "Unable to recognize stream type"},
        {{}, "Unable to recognize stream type"},
        {{0x12, 0x34, 0x56}, "Unable to recognize stream type"},
    };
    for (const auto& c : cases) {
        std::string path = writeFile("opening.bin", c.bytes);
        EXPECT_EQ(messageOf([&] { Vostrel::Open_Video_Stream(decoder, path.c_str()); }), c.message);
    }
    VideoDecoder unopened;
    std::vector<uint8_t> rgb(16);
    EXPECT_EQ(messageOf([&] { unopened.decodeNextFrame(rgb.data()); }), "Decode_Next_Frame: no stream is open");
}

TEST(StreamInterfaceTest, ErrorsNameTheDecoderSource)
{
    VideoDecoder decoder;
    try {
        std::string path = writeFile("transport.bin", {0x47, 0, 0, 0});
        decoder.open(path.c_str());
        FAIL() << "no exception";
    } catch (const Vostrel::Exception& e) {
        EXPECT_EQ(std::string(e.file), "Libs\\Video\\VideoDecoder");
    }
}

TEST(StreamInterfaceTest, ContextOpensAnotherStreamAfterTheFirst)
{
    VideoDecoder decoder;
    decoder.setMessageStreams(nullptr, nullptr);
    decoder.setOutputSize(48, 32);
    for (int frames : {2, 3}) {
        std::string stream = intraStream(frames);
        decoder.open(stream.c_str());
        EXPECT_EQ(countWrittenFrames(decoder, 48, 32), frames);
    }
}
