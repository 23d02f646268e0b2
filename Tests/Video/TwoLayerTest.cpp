// Two-layer streams made by the test writer: data partitioning and SNR
// scalability against single-layer streams that carry the same coefficients.

#include "Libs/Common/Exception.h"
#include "Libs/Video/VideoDecoder.h"
#include "Tests/Video/StreamWriter.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <map>
#include <random>

using namespace VideoTest;

namespace {

constexpr int kSize = 64;
const int kFlatIntraMatrix[64] = {16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16,
                                  16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16,
                                  16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16,
                                  16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16, 16};

using Macroblock = std::vector<BlockCoefficients>;

// Blocks with a DC value and up to four pairs at random scan positions.
Macroblock randomMacroblock(std::mt19937& random, bool withDc)
{
    auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    Macroblock blocks(6);
    for (BlockCoefficients& block : blocks) {
        block.dc = withDc ? pick(-12, 12) * 4 : 0;
        int position = withDc ? 1 : 0;
        for (int n = pick(0, 4); n > 0; --n) {
            const int run = pick(0, 12);
            if (position + run > 63)
                break;
            const int level = pick(1, 6) * (pick(0, 1) ? 1 : -1);
            block.pairs.push_back({run, level});
            position += run + 1;
        }
    }
    return blocks;
}

struct Decoded {
    std::vector<std::vector<uint8_t>> frames; // Y, Cb, Cr of each frame
    std::string warnings;
};

Decoded decodeLayers(const std::vector<uint8_t>& base, const std::vector<uint8_t>& enhancement)
{
    Decoded result;
    std::FILE* warnings = std::tmpfile();
    Vostrel::VideoDecoder decoder;
    decoder.setMessageStreams(nullptr, warnings);
    decoder.setQuiet(false);
    decoder.setRgbOutput(false);
    decoder.setFrameObserver([&](const Vostrel::VideoFrameView& view) {
        std::vector<uint8_t> frame;
        for (int plane = 0; plane < 3; ++plane) {
            const int rows = plane ? view.chromaHeight : view.height;
            frame.insert(frame.end(), view.planes[plane], view.planes[plane] + size_t(rows) * view.strides[plane]);
        }
        result.frames.push_back(frame);
    });
    decoder.openMemory(base.data(), base.size());
    if (!enhancement.empty())
        decoder.openEnhancementMemory(enhancement.data(), enhancement.size());
    while (decoder.decodeNextFrame(nullptr)) {
    }
    std::rewind(warnings);
    for (int c; (c = std::fgetc(warnings)) != EOF;)
        result.warnings += char(c);
    std::fclose(warnings);
    return result;
}

PictureOptions intraPicture()
{
    PictureOptions picture;
    picture.type = 1;
    picture.progressiveFrame = 1;
    return picture;
}

// Streams of `pictures` intra pictures, written by each writer in step.
template <typename EachMacroblock>
void writePictures(std::vector<StreamWriter*> writers, int pictures, EachMacroblock eachMacroblock)
{
    for (StreamWriter* w : writers) {
        w->sequenceHeader();
        w->groupOfPictures();
    }
    for (int n = 0; n < pictures; ++n) {
        for (StreamWriter* w : writers)
            w->picture(intraPicture());
        for (int mby = 0; mby < kSize / 16; ++mby)
            for (int mbx = 0; mbx < kSize / 16; ++mbx)
                eachMacroblock(mbx, mby);
    }
    for (StreamWriter* w : writers)
        w->sequenceEnd();
}

// The first `items` items of each block (the DC, then the pairs); a block
// without its DC decodes as DC 0.
Macroblock truncated(const Macroblock& blocks, int items)
{
    Macroblock out = blocks;
    for (BlockCoefficients& block : out) {
        if (items == 0)
            block.dc = 0;
        block.pairs.resize(std::min<size_t>(block.pairs.size(), size_t(std::max(0, items - 1))));
    }
    return out;
}

} // namespace

TEST(TwoLayerTest, DataPartitionsDecodeAsTheUnsplitStream)
{
    for (int breakpoint : {0, 1, 2, 64, 65, 67}) {
        // Without partition one's slices of a row, its blocks keep what
        // partition zero holds (its macroblocks are lost below 2).
        for (bool missingRow : {false, breakpoint >= 2}) {
            SCOPED_TRACE(testing::Message()
                         << "priority_breakpoint " << breakpoint << (missingRow ? ", row 0 missing" : ""));
            const int items = breakpoint >= 64 ? breakpoint - 63 : 0;
            SequenceOptions plain(kSize, kSize, true, 1);
            SequenceOptions split = plain;
            split.scalableMode = 0;
            split.priorityBreakpoint = breakpoint;
            StreamWriter whole(plain), zero(split), one(split), lost(split);
            std::mt19937 random(breakpoint);
            writePictures({&whole, &zero, &one}, 2, [&](int mbx, int mby) {
                const Macroblock blocks = randomMacroblock(random, true);
                const bool lose = missingRow && mby == 0;
                // One slice per row when no row is lost, so that slices of
                // several macroblocks end right in either partition.
                const bool newSlice = missingRow || mbx == 0;
                whole.intraMacroblock(mbx, mby, lose ? truncated(blocks, items) : blocks, nullptr, newSlice);
                zero.intraMacroblock(mbx, mby, blocks, lose ? &lost : &one, newSlice);
            });
            const Decoded expected = decodeLayers(whole.bytes(), {});
            const Decoded decoded = decodeLayers(zero.bytes(), one.bytes());
            ASSERT_EQ(expected.frames.size(), 2u);
            EXPECT_TRUE(decoded.frames == expected.frames);
            EXPECT_EQ(decoded.warnings.find("DP: Premature end of picture\n") != std::string::npos, missingRow)
                << decoded.warnings;
        }
    }
}

TEST(TwoLayerTest, SnrLayerAddsItsCoefficientsBeforeMismatchControl)
{
    SequenceOptions plain(kSize, kSize, true, 1);
    plain.intraMatrix = kFlatIntraMatrix;
    SequenceOptions enhanced = plain;
    enhanced.scalableMode = 2;
    StreamWriter base(plain), enhancement(enhanced), single(plain);
    std::mt19937 random(7);
    // One enhancement slice per row, passing over some macroblocks.
    int previousMbx = -1;
    writePictures({&base, &enhancement, &single}, 2, [&](int mbx, int mby) {
        const Macroblock lower = randomMacroblock(random, true);
        Macroblock upper = randomMacroblock(random, false);
        base.intraMacroblock(mbx, mby, lower);
        if (mbx == 0)
            previousMbx = -1;
        // quantiser_scale 32 in the enhancement: each of its levels l adds
        // 16 (2|l| + 1) with l's sign; the base's intra levels weigh 16 each
        // (quantiser_scale 16, flat matrix) and its DC 8.
        // A slice ends with a coded macroblock.
        if (random() % 4 == 0 && mbx < kSize / 16 - 1) {
            upper = Macroblock(6);
        } else {
            enhancement.snrMacroblock(mbx, mby, 16, upper, previousMbx);
            previousMbx = mbx;
        }
        Macroblock sum(6);
        for (int b = 0; b < 6; ++b) {
            std::map<int, int> values; // scan position -> value in units of 16
            int position = 0;
            for (const auto& [run, level] : lower[b].pairs)
                values[position += run + 1] += level;
            position = -1;
            for (const auto& [run, level] : upper[b].pairs)
                values[position += run + 1] += level > 0 ? 2 * level + 1 : 2 * level - 1;
            sum[b].dc = lower[b].dc + 2 * values[0];
            values.erase(0);
            int last = 0;
            for (const auto& [at, value] : values) {
                if (value == 0)
                    continue;
                sum[b].pairs.push_back({at - last - 1, value});
                last = at;
            }
        }
        single.intraMacroblock(mbx, mby, sum);
    });
    const Decoded expected = decodeLayers(single.bytes(), {});
    const Decoded decoded = decodeLayers(base.bytes(), enhancement.bytes());
    ASSERT_EQ(expected.frames.size(), 2u);
    EXPECT_TRUE(decoded.frames == expected.frames);
    EXPECT_TRUE(decoded.frames != decodeLayers(base.bytes(), {}).frames);
    EXPECT_EQ(decoded.warnings, "");
}

TEST(TwoLayerTest, LayersOutOfStepWarnAndOtherModesAreRefused)
{
    SequenceOptions plain(kSize, kSize, true, 1);
    SequenceOptions enhanced = plain;
    enhanced.scalableMode = 2;
    StreamWriter base(plain), shortEnhancement(enhanced);
    std::mt19937 random(3);
    writePictures({&base}, 2,
                  [&](int mbx, int mby) { base.intraMacroblock(mbx, mby, randomMacroblock(random, true)); });
    writePictures({&shortEnhancement}, 1, [&](int mbx, int mby) {
        shortEnhancement.snrMacroblock(mbx, mby, 8, randomMacroblock(random, false));
    });
    const Decoded decoded = decodeLayers(base.bytes(), shortEnhancement.bytes());
    EXPECT_EQ(decoded.frames.size(), 2u);
    EXPECT_NE(decoded.warnings.find("streams out of sync\n"), std::string::npos) << decoded.warnings;
    EXPECT_NE(decoded.warnings.find("SNR: Premature end of picture\n"), std::string::npos) << decoded.warnings;

    // A second layer that is neither SNR nor partition one.
    StreamWriter other(plain);
    writePictures({&other}, 1,
                  [&](int mbx, int mby) { other.intraMacroblock(mbx, mby, randomMacroblock(random, true)); });
    try {
        decodeLayers(base.bytes(), other.bytes());
        FAIL() << "decoded";
    } catch (const Vostrel::Exception& e) {
        EXPECT_EQ(e.getMessage(), "unsupported scalability mode");
    }
}
