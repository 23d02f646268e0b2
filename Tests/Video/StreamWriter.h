#pragma once

// A small MPEG-1/2 video writer for streams that ffmpeg cannot make: field
// pictures, 16x8 and dual-prime prediction, D pictures, odd slice layouts.
// Intra macroblocks carry DC coefficients only (flat 8x8 blocks, exactly
// reconstructed by any inverse DCT); predicted macroblocks carry motion and
// no coefficients. Every macroblock is a slice of its own, so all predictors
// start from zero. Codes come from the test transcription of the tables.

#include <cstdint>
#include <string>
#include <vector>

namespace VideoTest {

class BitWriter {
public:
    void put(uint32_t value, int bits);
    void putCode(const std::string& bits);
    void startCode(uint8_t code); // zero-stuffs to a byte boundary first
    const std::vector<uint8_t>& bytes();

private:
    std::vector<uint8_t> data;
    uint32_t pending = 0;
    int pendingBits = 0;
};

struct SequenceOptions {
    SequenceOptions(int width = 64, int height = 64, bool mpeg2 = true, int progressiveSequence = 0,
                    int chromaFormat = 1, int matrixCoefficients = -1)
        : width(width), height(height), mpeg2(mpeg2), progressiveSequence(progressiveSequence),
          chromaFormat(chromaFormat), matrixCoefficients(matrixCoefficients) {}

    int width;
    int height;
    bool mpeg2;
    int progressiveSequence;
    int chromaFormat;
    int matrixCoefficients;           // -1: no sequence display extension
    const int* intraMatrix = nullptr; // raster order; null: the default
    int nonIntraMatrixValue = 0;      // every entry; 0: the default
    int scalableMode = -1;            // sequence scalable extension: 0 data partitioning, 1 spatial, 2 SNR; -1 none
    int lowerWidth = 0, lowerHeight = 0; // spatial: the lower layer's size, up-sampled 2/1 each way
    int priorityBreakpoint = 0;       // in slice headers, with data partitioning
};

// The coefficients of one block: an intra block's DC value (the flat sample
// minus 128) and (run, level) pairs, written as escapes.
struct BlockCoefficients {
    int dc = 0;
    std::vector<std::pair<int, int>> pairs;
};

struct PictureOptions {
    int type = 1; // 1 I, 2 P, 3 B, 4 D
    int structure = 3;
    int topFieldFirst = 1;
    int framePredFrameDct = 1;
    int progressiveFrame = 0;
    int fCode[2][2] = {{3, 3}, {3, 3}};
    int concealmentMotionVectors = 0;
    int fullPel = 0; // MPEG-1
    // Spatial scalability: with a picture spatial scalable extension, the
    // lower layer's offset and how it is interlaced.
    bool spatialExtension = false;
    int lowerOffset[2] = {0, 0}; // horizontal, vertical
    int lowerProgressiveFrame = 1;
    int deinterlacedFieldSelect = 1;
};

// Motion of a predicted macroblock without coefficients, as the decoder will
// hold it: vectors in half samples, field vectors in field lines.
struct Motion {
    std::string type = "forward"; // macroblock_type flags of the P or B table
    int motionType = 2;           // as coded: frame pictures 1 field, 2 frame, 3 dual prime;
                                  // field pictures 1 field, 2 16x8, 3 dual prime
    int fieldSelect[2][2] = {{0, 0}, {0, 0}}; // [vector][direction]
    int vector[2][2][2] = {};                 // [vector][direction][horizontal, vertical]
    int dmvector[2] = {0, 0};
};

class StreamWriter {
public:
    explicit StreamWriter(const SequenceOptions& options) : sequence(options) {}

    void sequenceHeader();
    void groupOfPictures();
    void picture(const PictureOptions& options);
    // One DC value per block (6, 8 or 12), each the flat sample minus 128;
    // a non-zero `last` adds a coefficient of that level at each block's
    // last scan position (MPEG-2 escape).
    void intraMacroblock(int mbx, int mby, const std::vector<int>& dc, int last = 0);
    void predictedMacroblock(int mbx, int mby, const Motion& motion);
    // An intra macroblock with AC coefficients. With data partitioning, what
    // follows the priority breakpoint goes to partition one's slice: from the
    // address increment (0), after it (1), every block (2), or each block's
    // items (its DC, then each pair) from the (breakpoint - 63)th on, with
    // the block's end.
    // Without a new slice it follows the previous macroblock in its slice.
    void intraMacroblock(int mbx, int mby, const std::vector<BlockCoefficients>& blocks,
                         StreamWriter* partitionOne = nullptr, bool newSlice = true);
    // An SNR enhancement macroblock: coded_block_pattern, then non-intra blocks
    // of pairs (an empty block is not coded).
    // With previousMbx >= 0 it continues the slice of the macroblock there,
    // skipping those between.
    void snrMacroblock(int mbx, int mby, int quantiserScaleCode, const std::vector<BlockCoefficients>& blocks,
                       int previousMbx = -1);
    // A spatial enhancement layer's macroblock predicted from the lower layer
    // only (not coded, compatible).
    void spatialMacroblock(int mbx, int mby);
    void sequenceEnd();
    std::vector<uint8_t> bytes();
    // For what the writer does not make itself.
    BitWriter& raw() { return bits; }

    const SequenceOptions sequence;

private:
    void slice(int mbx, int mby, int quantiserScaleCode = 8);
    void sliceStart(int mby, int quantiserScaleCode);
    void addressIncrement(int mbx);
    void escape(int run, int level);
    void motionComponent(int delta, int rSize);
    void dcDifferential(int cc, int differential);

    BitWriter bits;
    PictureOptions current;
    int dcPredictor[3] = {0, 0, 0};
};

} // namespace VideoTest
