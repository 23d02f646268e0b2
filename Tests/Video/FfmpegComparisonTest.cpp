// The decoder against ffmpeg: streams that ffmpeg encodes, frames that ffmpeg
// decodes from them.

#include "Tests/Video/VideoTestSupport.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

using namespace VideoTest;

namespace {

// `filters` continue the chain of the test pattern.
std::string source(int width, int height, int frames, const std::string& audio = "", const std::string& filters = "")
{
    char text[256];
    std::snprintf(text, sizeof text, "-f lavfi -i testsrc2=size=%dx%d:rate=25%s %s -frames:v %d", width, height,
                  filters.c_str(), audio.c_str(), frames);
    return text;
}

// Interlaced frames whose two fields show different instants, so that the
// encoder uses its field modes.
std::string interlacedSource(int width, int height, int frames)
{
    return source(width, height / 2, frames, "", ",tinterlace=mode=merge");
}

// Noise that motion cannot follow: intra macroblocks among predicted ones in
// the same slice, which is where the predictors are reset.
const std::string kNoise = ",noise=alls=40:allf=t";

std::string matrix(int first, int step)
{
    std::string text;
    for (int i = 0; i < 64; ++i)
        text += (i ? "," : "") + std::to_string(first + step * (i % 8 + i / 8));
    return text;
}

// What a stream actually uses, read from its headers by a small parser of
// its own, so that each case is known to exercise what it claims.
struct Features {
    std::set<int> pictureTypes;
    std::set<int> pictureStructures;
    bool mpeg2 = false;
    int chromaFormat = 1;
    int progressiveSequence = 1;
    bool alternateScan = false;
    bool intraVlc = false;
    bool nonLinearQuantiser = false;
    bool loadedMatrix = false;
    bool frameDctChoice = false; // frame_pred_frame_dct 0
};

Features featuresOf(const std::vector<uint8_t>& bytes)
{
    Features f;
    auto bit = [&](size_t position) { return (bytes[position / 8] >> (7 - position % 8)) & 1; };
    auto bits = [&](size_t& position, int count) {
        uint64_t value = 0;
        for (int i = 0; i < count && position / 8 < bytes.size(); ++i)
            value = value << 1 | uint64_t(bit(position++));
        return int(value & 0xFFFF);
    };
    for (size_t i = 0; i + 12 < bytes.size(); ++i) {
        if (bytes[i] || bytes[i + 1] || bytes[i + 2] != 1)
            continue;
        size_t p = 8 * (i + 4);
        switch (bytes[i + 3]) {
        case 0xB3:
            bits(p, 62);
            if (bits(p, 1) || bits(p, 1))
                f.loadedMatrix = true;
            break;
        case 0x00:
            bits(p, 10);
            f.pictureTypes.insert(bits(p, 3));
            break;
        case 0xB5: {
            int id = bits(p, 4);
            if (id == 1) {
                f.mpeg2 = true;
                bits(p, 8);
                f.progressiveSequence = bits(p, 1);
                f.chromaFormat = bits(p, 2);
            } else if (id == 3) {
                f.loadedMatrix = true;
            } else if (id == 8) {
                bits(p, 18);
                f.pictureStructures.insert(bits(p, 2));
                bits(p, 1);
                if (!bits(p, 1))
                    f.frameDctChoice = true;
                bits(p, 1);
                if (bits(p, 1))
                    f.nonLinearQuantiser = true;
                if (bits(p, 1))
                    f.intraVlc = true;
                if (bits(p, 1))
                    f.alternateScan = true;
            }
            break;
        }
        default:
            break;
        }
    }
    return f;
}

struct StreamCase {
    const char* name;
    const char* file;
    std::string arguments;
    const char* pixelFormat;
    int width;
    int height;
    bool intraOnly;
    std::function<void(const Features&)> checkFeatures;
};

std::vector<StreamCase> streamCases()
{
    return {
        {"Mpeg1IntraOnly", "mpeg1-intra.m1v", source(96, 64, 5) + " -c:v mpeg1video -g 1 -q:v 3", "yuv420p", 96,
         64, true,
         [](const Features& f) {
             EXPECT_FALSE(f.mpeg2);
             EXPECT_EQ(f.pictureTypes, std::set<int>{1});
         }},
        {"Mpeg2IntraOnlyInterlacedWithAlternateScanNonLinearQuantiserAndIntraVlc", "mpeg2-intra-interlaced.m2v",
         interlacedSource(96, 64, 5) +
             " -c:v mpeg2video -g 1 -q:v 3 -flags +ildct+ilme -alternate_scan 1 -non_linear_quant 1 -qmax 28 -intra_vlc 1",
         "yuv420p", 96, 64, true,
         [](const Features& f) {
             EXPECT_TRUE(f.mpeg2);
             EXPECT_EQ(f.progressiveSequence, 0);
             EXPECT_TRUE(f.alternateScan);
             EXPECT_TRUE(f.intraVlc);
             EXPECT_TRUE(f.nonLinearQuantiser);
             EXPECT_TRUE(f.frameDctChoice);
         }},
        {"Mpeg2IntraOnlyInterlaced422", "mpeg2-intra-422.m2v",
         interlacedSource(96, 64, 5) + " -c:v mpeg2video -pix_fmt yuv422p -g 1 -flags +ildct+ilme", "yuv422p", 96,
         64, true,
         [](const Features& f) {
             EXPECT_EQ(f.chromaFormat, 2);
             EXPECT_TRUE(f.frameDctChoice);
         }},
        {"Mpeg2IntraOnlyCustomMatrices", "mpeg2-intra-matrices.m2v",
         source(96, 64, 5) + " -c:v mpeg2video -g 1 -intra_matrix " + matrix(8, 3) + " -inter_matrix " +
             matrix(16, 2),
         "yuv420p", 96, 64, true, [](const Features& f) { EXPECT_TRUE(f.loadedMatrix); }},
        {"Mpeg1LongGopWithBPicturesOddSize", "mpeg1-gop.m1v",
         source(100, 60, 40, "", kNoise) + " -c:v mpeg1video -g 25 -bf 2 -b:v 600k", "yuv420p", 100, 60, false,
         [](const Features& f) { EXPECT_EQ(f.pictureTypes, (std::set<int>{1, 2, 3})); }},
        {"Mpeg1LongGopCustomMatrices", "mpeg1-gop-matrices.m1v",
         source(96, 64, 20) + " -c:v mpeg1video -g 12 -bf 2 -b:v 300k -intra_matrix " + matrix(8, 2) +
             " -inter_matrix " + matrix(12, 1),
         "yuv420p", 96, 64, false, [](const Features& f) { EXPECT_TRUE(f.loadedMatrix); }},
        {"Mpeg2LongGopInterlacedOddSize", "mpeg2-gop-interlaced.m2v",
         interlacedSource(100, 60, 30) + " -c:v mpeg2video -g 25 -bf 2 -b:v 400k -intra_matrix " + matrix(8, 2) +
             " -flags +ildct+ilme -alternate_scan 1 -non_linear_quant 1 -qmax 28",
         "yuv420p", 100, 60, false,
         [](const Features& f) {
             EXPECT_EQ(f.pictureTypes, (std::set<int>{1, 2, 3}));
             EXPECT_EQ(f.progressiveSequence, 0);
             EXPECT_TRUE(f.alternateScan);
             EXPECT_TRUE(f.nonLinearQuantiser);
             EXPECT_FALSE(f.intraVlc);
         }},
        {"Mpeg2LongGopInterlaced422", "mpeg2-gop-422.m2v",
         interlacedSource(96, 64, 25) + " -c:v mpeg2video -pix_fmt yuv422p -g 12 -bf 2 -b:v 500k -flags +ildct+ilme",
         "yuv422p", 96, 64, false,
         [](const Features& f) {
             EXPECT_EQ(f.chromaFormat, 2);
             EXPECT_EQ(f.pictureTypes, (std::set<int>{1, 2, 3}));
             EXPECT_TRUE(f.frameDctChoice);
         }},
        {"Mpeg2LowDelayWithoutBPictures", "mpeg2-p-only.m2v",
         source(80, 48, 20, "", kNoise) + " -c:v mpeg2video -g 30 -bf 0 -b:v 400k", "yuv420p", 80, 48, false,
         [](const Features& f) { EXPECT_EQ(f.pictureTypes, (std::set<int>{1, 2})); }},
        {"Mpeg1SystemStreamWithAudio", "mpeg1-system.mpg",
         source(96, 64, 25, "-f lavfi -i sine=frequency=440:sample_rate=44100") +
             " -c:v mpeg1video -g 12 -bf 2 -b:v 300k -c:a mp2 -b:a 64k -shortest -f mpeg",
         "yuv420p", 96, 64, false, nullptr},
        {"Mpeg2ProgramStreamWithAudio", "mpeg2-program.mpg",
         source(96, 64, 25, "-f lavfi -i sine=frequency=440:sample_rate=48000") +
             " -c:v mpeg2video -g 12 -bf 2 -b:v 300k -c:a mp2 -b:a 64k -shortest -f vob",
         "yuv420p", 96, 64, false, nullptr},
    };
}

void PrintTo(const StreamCase& c, std::ostream* out)
{
    *out << c.name;
}

class FfmpegComparisonTest : public testing::TestWithParam<StreamCase> {};

} // namespace

TEST_P(FfmpegComparisonTest, FramesMatchFfmpegInCountOrderAndContent)
{
    const StreamCase& c = GetParam();
    std::string stream = ffmpegStream(c.file, c.arguments);
    if (c.checkFeatures)
        c.checkFeatures(featuresOf(readFile(stream)));
    std::vector<YuvFrame> expected = ffmpegFrames(stream, c.pixelFormat, c.width, c.height);
    DecodedStream decoded = decodeFile(stream, c.width, c.height);

    ASSERT_GT(expected.size(), 3u);
    ASSERT_EQ(decoded.frames.size(), expected.size());
    EXPECT_EQ(decoded.rgb.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        // In display order: a frame out of place would differ grossly.
        if (c.intraOnly)
            EXPECT_LE(maxDifference(decoded.frames[i], expected[i]), 2) << "frame " << i;
        else
            EXPECT_GE(psnr(decoded.frames[i], expected[i]), 45.0) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(Streams, FfmpegComparisonTest, testing::ValuesIn(streamCases()),
                         [](const testing::TestParamInfo<StreamCase>& info) { return std::string(info.param.name); });

TEST(FfmpegComparisonTest, DoublePrecisionTransformAlsoMatchesFfmpeg)
{
    std::string stream = ffmpegStream("mpeg1-intra.m1v", source(96, 64, 5) + " -c:v mpeg1video -g 1 -q:v 3");
    std::vector<YuvFrame> expected = ffmpegFrames(stream, "yuv420p", 96, 64);
    DecodedStream decoded = decodeFile(stream, 96, 64, true);
    ASSERT_EQ(decoded.frames.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        EXPECT_LE(maxDifference(decoded.frames[i], expected[i]), 2) << "frame " << i;
}

namespace {

struct RgbCase {
    const char* name;
    const char* codec;
    bool chroma422;
    std::string extra;
    bool interlaced;
    int matrixCoefficients;
};

void PrintTo(const RgbCase& c, std::ostream* out)
{
    *out << c.name;
}

class RgbConversionTest : public testing::TestWithParam<RgbCase> {};

} // namespace

TEST_P(RgbConversionTest, RgbEqualsTheConversionOfFfmpegFrames)
{
    const RgbCase& c = GetParam();
    const int width = 64, height = 64;
    std::string raw = writeFile(std::string("blocky-") + c.name + ".yuv", blockyFrames(width, height, 3, c.chroma422, 7));
    const char* pixelFormat = c.chroma422 ? "yuv422p" : "yuv420p";
    std::string stream = ffmpegStream(std::string("blocky-") + c.name + (std::string(c.codec) == "mpeg1video" ? ".m1v" : ".m2v"),
                                      std::string("-f rawvideo -pix_fmt ") + pixelFormat + " -s 64x64 -r 25 -i " + raw +
                                          " -c:v " + c.codec + " -pix_fmt " + pixelFormat + " -g 1 -q:v 2 " + c.extra);
    std::vector<YuvFrame> expected = ffmpegFrames(stream, pixelFormat, width, height);
    DecodedStream decoded = decodeFile(stream, width, height);
    ASSERT_EQ(decoded.rgb.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i) {
        const Vostrel::VideoFrameView& view = decoded.views[i];
        EXPECT_EQ(view.fieldOrder, c.interlaced);
        EXPECT_EQ(view.progressiveFrame, !c.interlaced);
        EXPECT_EQ(view.matrixCoefficients, c.matrixCoefficients);
        EXPECT_EQ(maxDifference(decoded.frames[i], expected[i]), 0) << "frame " << i;
        std::vector<uint8_t> rgb = referenceRgb(expected[i], view.mpeg2, !c.interlaced, c.interlaced,
                                                c.matrixCoefficients);
        ASSERT_EQ(rgb.size(), decoded.rgb[i].size());
        int worst = 0;
        for (size_t k = 0; k < rgb.size(); ++k)
            worst = std::max(worst, std::abs(int(rgb[k]) - int(decoded.rgb[i][k])));
        EXPECT_LE(worst, 1) << "frame " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Streams, RgbConversionTest,
    testing::Values(RgbCase{"Mpeg1ChromaBetweenSamples", "mpeg1video", false, "", false, 5},
                    RgbCase{"Mpeg2ProgressiveFcc", "mpeg2video", false, "-colorspace fcc", false, 4},
                    RgbCase{"Mpeg2InterlacedFieldsFilteredApart", "mpeg2video", false,
                            "-flags +ildct+ilme -colorspace smpte170m", true, 6},
                    RgbCase{"Mpeg2Chroma422Smpte240m", "mpeg2video", true, "-colorspace smpte240m", false, 7}),
    [](const testing::TestParamInfo<RgbCase>& info) { return std::string(info.param.name); });

TEST(RgbConversionTest, FlatGreyGives130)
{
    const int width = 48, height = 32;
    std::vector<uint8_t> grey(size_t(width) * height * 3 / 2 * 2, 128);
    std::string raw = writeFile("grey.yuv", grey);
    std::string stream = ffmpegStream("grey.m2v", "-f rawvideo -pix_fmt yuv420p -s 48x32 -r 25 -i " + raw +
                                                      " -c:v mpeg2video -g 1 -q:v 2");
    DecodedStream decoded = decodeFile(stream, width, height);
    ASSERT_EQ(decoded.rgb.size(), 2u);
    for (const std::vector<uint8_t>& rgb : decoded.rgb)
        for (uint8_t value : rgb)
            ASSERT_EQ(value, 130);
}
