// System streams built packet by packet around a video elementary stream.

#include "Tests/Video/VideoTestSupport.h"

#include "Libs/Common/Exception.h"

#include <gtest/gtest.h>

#include <cstdio>

using namespace VideoTest;

namespace {

std::vector<uint8_t> elementaryStream()
{
    return readFile(ffmpegStream("system-payload.m1v", "-f lavfi -i testsrc2=size=48x32:rate=25 -frames:v 6 "
                                                       "-c:v mpeg1video -g 3 -bf 1 -b:v 200k"));
}

void append(std::vector<uint8_t>& out, std::initializer_list<int> bytes)
{
    for (int b : bytes)
        out.push_back(static_cast<uint8_t>(b));
}

void packet(std::vector<uint8_t>& out, int streamId, const std::vector<uint8_t>& header, const uint8_t* payload,
            size_t size)
{
    size_t length = header.size() + size;
    append(out, {0, 0, 1, streamId, int(length >> 8), int(length & 255)});
    out.insert(out.end(), header.begin(), header.end());
    out.insert(out.end(), payload, payload + size);
}

// Stuffing, buffer size and a time stamp.
std::vector<uint8_t> stuffedVideoHeader()
{
    return {0xFF, 0xFF, 0x40, 0x20, 0x21, 0x00, 0x01, 0x00, 0x01};
}

struct Layout {
    std::vector<uint8_t> videoHeader = stuffedVideoHeader();
    size_t chunk = 500;
    bool audio = true;
    bool end = true;
};

// Packs of one video packet and, between them, audio packets whose payload
// would end the video at once if it ever reached it.
std::vector<uint8_t> systemStream(const std::vector<uint8_t>& video, const Layout& layout)
{
    std::vector<uint8_t> out;
    const std::vector<uint8_t> sequenceEnds = {0, 0, 1, 0xB7, 0, 0, 1, 0xB7};
    for (size_t at = 0; at < video.size(); at += layout.chunk) {
        append(out, {0, 0, 1, 0xBA, 0x21, 0, 1, 0, 1, 0x80, 0, 1}); // pack header
        packet(out, 0xE0, layout.videoHeader, video.data() + at, std::min(layout.chunk, video.size() - at));
        if (layout.audio)
            packet(out, 0xC0, {0x0F}, sequenceEnds.data(), sequenceEnds.size());
        packet(out, 0xBE, {}, sequenceEnds.data(), 4); // padding
    }
    if (layout.end)
        append(out, {0, 0, 1, 0xB9});
    return out;
}

std::string messageOf(const std::vector<uint8_t>& bytes)
{
    try {
        decodeBytes(bytes, 48, 32);
    } catch (const Vostrel::Exception& e) {
        return e.message;
    }
    return "(no exception)";
}

} // namespace

// Packets of several sizes, and packet headers of every kind: the decoder
// sees the video payload and nothing else.
TEST(SystemLayerTest, OnlyVideoPayloadReachesTheDecoder)
{
    std::vector<uint8_t> video = elementaryStream();
    DecodedStream direct = decodeBytes(video, 48, 32);
    ASSERT_EQ(direct.frames.size(), 6u);
    std::vector<Layout> layouts(7);
    layouts[0].chunk = 7;
    layouts[1].chunk = 4000;
    layouts[3].videoHeader = {0x0F};                                                       // nothing
    layouts[4].videoHeader = {0x21, 0x00, 0x01, 0x00, 0x01};                               // one time stamp
    layouts[5].videoHeader = {0x31, 0x00, 0x01, 0x00, 0x01, 0x11, 0x00, 0x01, 0x00, 0x01}; // two time stamps
    layouts[6].videoHeader = {0x40, 0x20, 0x0F};                                           // buffer size only
    for (size_t k = 0; k < layouts.size(); ++k) {
        DecodedStream wrapped = decodeBytes(systemStream(video, layouts[k]), 48, 32);
        ASSERT_EQ(wrapped.frames.size(), direct.frames.size()) << "layout " << k;
        for (size_t i = 0; i < direct.frames.size(); ++i)
            EXPECT_EQ(maxDifference(wrapped.frames[i], direct.frames[i]), 0) << "layout " << k;
    }
}

TEST(SystemLayerTest, Mpeg2PesPacketsAreDecodedAndAnnounced)
{
    std::vector<uint8_t> video = elementaryStream();
    Layout layout;
    layout.videoHeader = {0x80, 0x80, 0x05, 0x21, 0x00, 0x01, 0x00, 0x01};
    std::vector<uint8_t> bytes = systemStream(video, layout);

    std::FILE* notices = std::tmpfile();
    Vostrel::VideoDecoder decoder;
    decoder.setMessageStreams(notices, nullptr);
    decoder.setOutputSize(48, 32);
    decoder.openMemory(bytes.data(), bytes.size());
    EXPECT_EQ(countWrittenFrames(decoder, 48, 32), 6);
    std::rewind(notices);
    char line[64];
    int announcements = 0;
    while (std::fgets(line, sizeof line, notices))
        announcements += std::string(line) == "MPEG-2 PES packet\n";
    std::fclose(notices);
    EXPECT_EQ(announcements, int((video.size() + layout.chunk - 1) / layout.chunk));
}

TEST(SystemLayerTest, EndOfSystemStreamEndsTheVideo)
{
    std::vector<uint8_t> video = elementaryStream();
    std::vector<uint8_t> bytes = systemStream(video, Layout());
    // Whatever follows the end code is not read.
    append(bytes, {0, 0, 1, 0xE0, 0, 4, 0x0F, 0xFF, 0xFF, 0xFF, 0x12, 0x34});
    EXPECT_EQ(decodeBytes(bytes, 48, 32).frames.size(), 6u);
}

// Without the end code the end of the data ends the system stream as well;
// the pictures decoded so far are delivered.
TEST(SystemLayerTest, DataEndingInsideTheSystemLayerEndsTheVideo)
{
    std::vector<uint8_t> video = elementaryStream();
    Layout layout;
    layout.end = false;
    std::vector<uint8_t> bytes = systemStream(video, layout);
    EXPECT_EQ(decodeBytes(bytes, 48, 32).frames.size(), 6u);
    bytes.resize(bytes.size() - 20);
    EXPECT_EQ(messageOf(bytes), "(no exception)");
}

TEST(SystemLayerTest, MalformedPacketHeadersAreErrors)
{
    std::vector<uint8_t> video = elementaryStream();
    const struct {
        std::vector<uint8_t> header;
        const char* message;
    } cases[] = {
        {{0xFF, 0x80}, "Error in packet header"},
        {{0xFF, 0x40, 0x00, 0x41}, "Error in packet header"},
        {{0x10}, "Error in packet header"},
    };
    for (const auto& c : cases) {
        Layout layout;
        layout.videoHeader = c.header;
        EXPECT_EQ(messageOf(systemStream(video, layout)), c.message);
    }
    std::vector<uint8_t> bytes = systemStream(video, Layout());
    bytes.insert(bytes.begin() + 12, {0, 0, 1, 0xB3});
    EXPECT_EQ(messageOf(bytes), "Unexpected startcode 000001b3 in system layer");
}

// An elementary stream cut short of its end code and of a multiple of four
// bytes still ends cleanly after its pictures.
TEST(SystemLayerTest, ElementaryStreamWithoutEndCodeEndsAfterItsPictures)
{
    std::vector<uint8_t> video = elementaryStream();
    video.insert(video.end(), {0, 0, 1, 0xB7});
    DecodedStream direct = decodeBytes(video, 48, 32);
    ASSERT_EQ(direct.frames.size(), 6u);
    for (int extra : {0, 1, 2, 3}) {
        std::vector<uint8_t> cut(video.begin(), video.end() - 4);
        cut.insert(cut.end(), size_t(extra), 0);
        DecodedStream decoded = decodeBytes(cut, 48, 32);
        ASSERT_EQ(decoded.frames.size(), direct.frames.size()) << extra;
        for (size_t i = 0; i < direct.frames.size(); ++i)
            EXPECT_EQ(maxDifference(decoded.frames[i], direct.frames[i]), 0);
    }
}
