#include "Libs/Video/VlcTables.h"

#include "Libs/Common/Exception.h"

#include <algorithm>
#include <map>

namespace Vostrel::Video {

namespace {

struct Row {
    const char* bits;
    int value;
    int level = 0;
};

std::vector<VlcCode> parseRows(const Row* rows, size_t count)
{
    std::vector<VlcCode> codes;
    for (size_t i = 0; i < count; ++i) {
        VlcCode code{0, 0, rows[i].value, rows[i].level};
        for (const char* c = rows[i].bits; *c; ++c) {
            if (*c == ' ')
                continue;
            VOSTREL_ASSERT(*c == '0' || *c == '1');
            code.bits = (code.bits << 1) | static_cast<uint32_t>(*c - '0');
            ++code.length;
        }
        codes.push_back(code);
    }
    return codes;
}

template <size_t N>
std::vector<VlcCode> parseRows(const Row (&rows)[N])
{
    return parseRows(rows, N);
}

// Table B-1.
const Row kAddressIncrementRows[] = {
    {"1", 1}, {"011", 2}, {"010", 3}, {"0011", 4}, {"0010", 5}, {"0001 1", 6}, {"0001 0", 7},
    {"0000 111", 8}, {"0000 110", 9}, {"0000 1011", 10}, {"0000 1010", 11}, {"0000 1001", 12},
    {"0000 1000", 13}, {"0000 0111", 14}, {"0000 0110", 15}, {"0000 0101 11", 16},
    {"0000 0101 10", 17}, {"0000 0101 01", 18}, {"0000 0101 00", 19}, {"0000 0100 11", 20},
    {"0000 0100 10", 21}, {"0000 0100 011", 22}, {"0000 0100 010", 23}, {"0000 0100 001", 24},
    {"0000 0100 000", 25}, {"0000 0011 111", 26}, {"0000 0011 110", 27}, {"0000 0011 101", 28},
    {"0000 0011 100", 29}, {"0000 0011 011", 30}, {"0000 0011 010", 31}, {"0000 0011 001", 32},
    {"0000 0011 000", 33}, {"0000 0001 000", kAddressEscape}, {"0000 0001 111", kAddressStuffing},
};

// Tables B-2 to B-4 and the D-picture table of MPEG-1.
const Row kIntraTypeRows[] = {
    {"1", kMacroblockIntra},
    {"01", kMacroblockQuant | kMacroblockIntra},
};
const Row kPredictiveTypeRows[] = {
    {"1", kMacroblockForward | kMacroblockPattern},
    {"01", kMacroblockPattern},
    {"001", kMacroblockForward},
    {"0001 1", kMacroblockIntra},
    {"0001 0", kMacroblockQuant | kMacroblockForward | kMacroblockPattern},
    {"0000 1", kMacroblockQuant | kMacroblockPattern},
    {"0000 01", kMacroblockQuant | kMacroblockIntra},
};
const Row kBidirectionalTypeRows[] = {
    {"10", kMacroblockForward | kMacroblockBackward},
    {"11", kMacroblockForward | kMacroblockBackward | kMacroblockPattern},
    {"010", kMacroblockBackward},
    {"011", kMacroblockBackward | kMacroblockPattern},
    {"0010", kMacroblockForward},
    {"0011", kMacroblockForward | kMacroblockPattern},
    {"0001 1", kMacroblockIntra},
    {"0001 0", kMacroblockQuant | kMacroblockForward | kMacroblockBackward | kMacroblockPattern},
    {"0000 11", kMacroblockQuant | kMacroblockForward | kMacroblockPattern},
    {"0000 10", kMacroblockQuant | kMacroblockBackward | kMacroblockPattern},
    {"0000 01", kMacroblockQuant | kMacroblockIntra},
};
const Row kDcOnlyTypeRows[] = {
    {"1", kMacroblockIntra},
};

// Table B-5: I pictures with spatial scalability.
const Row kSpatialIntraTypeRows[] = {
    {"1", kMacroblockPattern | kMacroblockSpatial},
    {"01", kMacroblockQuant | kMacroblockPattern | kMacroblockSpatial},
    {"0011", kMacroblockIntra},
    {"0010", kMacroblockQuant | kMacroblockIntra},
    {"0001", kMacroblockSpatial},
};

// Table B-8: SNR enhancement layers, pictures of every type.
const Row kSnrTypeRows[] = {
    {"1", kMacroblockPattern},
    {"01", kMacroblockQuant | kMacroblockPattern},
    {"001", 0},
};

// Table B-9.
const Row kCodedBlockPatternRows[] = {
    {"111", 60}, {"1101", 4}, {"1100", 8}, {"1011", 16}, {"1010", 32}, {"1001 1", 12},
    {"1001 0", 48}, {"1000 1", 20}, {"1000 0", 40}, {"0111 1", 28}, {"0111 0", 44},
    {"0110 1", 52}, {"0110 0", 56}, {"0101 1", 1}, {"0101 0", 61}, {"0100 1", 2},
    {"0100 0", 62}, {"0011 11", 24}, {"0011 10", 36}, {"0011 01", 3}, {"0011 00", 63},
    {"0010 111", 5}, {"0010 110", 9}, {"0010 101", 17}, {"0010 100", 33}, {"0010 011", 6},
    {"0010 010", 10}, {"0010 001", 18}, {"0010 000", 34}, {"0001 1111", 7}, {"0001 1110", 11},
    {"0001 1101", 19}, {"0001 1100", 35}, {"0001 1011", 13}, {"0001 1010", 49},
    {"0001 1001", 21}, {"0001 1000", 41}, {"0001 0111", 14}, {"0001 0110", 50},
    {"0001 0101", 22}, {"0001 0100", 42}, {"0001 0011", 15}, {"0001 0010", 51},
    {"0001 0001", 23}, {"0001 0000", 43}, {"0000 1111", 25}, {"0000 1110", 37},
    {"0000 1101", 26}, {"0000 1100", 38}, {"0000 1011", 29}, {"0000 1010", 45},
    {"0000 1001", 53}, {"0000 1000", 57}, {"0000 0111", 30}, {"0000 0110", 46},
    {"0000 0101", 54}, {"0000 0100", 58}, {"0000 0011 1", 31}, {"0000 0011 0", 47},
    {"0000 0010 1", 55}, {"0000 0010 0", 59}, {"0000 0001 1", 27}, {"0000 0001 0", 39},
    {"0000 0000 1", 0},
};

// Table B-10, the sign included as the last bit.
const Row kMotionCodeRows[] = {
    {"0000 0011 001", -16}, {"0000 0011 011", -15}, {"0000 0011 101", -14},
    {"0000 0011 111", -13}, {"0000 0100 001", -12}, {"0000 0100 011", -11},
    {"0000 0100 11", -10}, {"0000 0101 01", -9}, {"0000 0101 11", -8}, {"0000 0111", -7},
    {"0000 1001", -6}, {"0000 1011", -5}, {"0000 111", -4}, {"0001 1", -3}, {"0011", -2},
    {"011", -1}, {"1", 0}, {"010", 1}, {"0010", 2}, {"0001 0", 3}, {"0000 110", 4},
    {"0000 1010", 5}, {"0000 1000", 6}, {"0000 0110", 7}, {"0000 0101 10", 8},
    {"0000 0101 00", 9}, {"0000 0100 10", 10}, {"0000 0100 010", 11}, {"0000 0100 000", 12},
    {"0000 0011 110", 13}, {"0000 0011 100", 14}, {"0000 0011 010", 15},
    {"0000 0011 000", 16},
};

// Table B-11.
const Row kDmvectorRows[] = {{"11", -1}, {"0", 0}, {"10", 1}};

// Tables B-12 and B-13.
const Row kDcSizeLuminanceRows[] = {
    {"100", 0}, {"00", 1}, {"01", 2}, {"101", 3}, {"110", 4}, {"1110", 5}, {"1111 0", 6},
    {"1111 10", 7}, {"1111 110", 8}, {"1111 1110", 9}, {"1111 1111 0", 10}, {"1111 1111 1", 11},
};
const Row kDcSizeChrominanceRows[] = {
    {"00", 0}, {"01", 1}, {"10", 2}, {"110", 3}, {"1110", 4}, {"1111 0", 5}, {"1111 10", 6},
    {"1111 110", 7}, {"1111 1110", 8}, {"1111 1111 0", 9}, {"1111 1111 10", 10},
    {"1111 1111 11", 11},
};

// Most codes of length 12 and above are shared by both coefficient tables.
#define VOSTREL_SHARED_LONG_COEFFICIENT_ROWS                                                        \
    {"0000 0001 1111", 17, 1}, {"0000 0001 1010", 18, 1}, {"0000 0001 1001", 19, 1},             \
    {"0000 0001 0111", 20, 1}, {"0000 0001 0110", 21, 1}, {"0000 0000 1011 0", 1, 6},            \
    {"0000 0000 1010 1", 1, 7}, {"0000 0000 1010 0", 2, 5},                                      \
    {"0000 0000 1001 1", 3, 4}, {"0000 0000 1001 0", 5, 3}, {"0000 0000 1000 1", 9, 2},          \
    {"0000 0000 1000 0", 10, 2}, {"0000 0000 1111 1", 22, 1}, {"0000 0000 1111 0", 23, 1},       \
    {"0000 0000 1110 1", 24, 1}, {"0000 0000 1110 0", 25, 1}, {"0000 0000 1101 1", 26, 1},       \
    {"0000 0000 0111 11", 0, 16}, {"0000 0000 0111 10", 0, 17}, {"0000 0000 0111 01", 0, 18},    \
    {"0000 0000 0111 00", 0, 19}, {"0000 0000 0110 11", 0, 20}, {"0000 0000 0110 10", 0, 21},    \
    {"0000 0000 0110 01", 0, 22}, {"0000 0000 0110 00", 0, 23}, {"0000 0000 0101 11", 0, 24},    \
    {"0000 0000 0101 10", 0, 25}, {"0000 0000 0101 01", 0, 26}, {"0000 0000 0101 00", 0, 27},    \
    {"0000 0000 0100 11", 0, 28}, {"0000 0000 0100 10", 0, 29}, {"0000 0000 0100 01", 0, 30},    \
    {"0000 0000 0100 00", 0, 31}, {"0000 0000 0011 000", 0, 32}, {"0000 0000 0010 111", 0, 33},  \
    {"0000 0000 0010 110", 0, 34}, {"0000 0000 0010 101", 0, 35}, {"0000 0000 0010 100", 0, 36}, \
    {"0000 0000 0010 011", 0, 37}, {"0000 0000 0010 010", 0, 38}, {"0000 0000 0010 001", 0, 39}, \
    {"0000 0000 0010 000", 0, 40}, {"0000 0000 0011 111", 1, 8}, {"0000 0000 0011 110", 1, 9},   \
    {"0000 0000 0011 101", 1, 10}, {"0000 0000 0011 100", 1, 11}, {"0000 0000 0011 011", 1, 12}, \
    {"0000 0000 0011 010", 1, 13}, {"0000 0000 0011 001", 1, 14},                                \
    {"0000 0000 0001 0011", 1, 15}, {"0000 0000 0001 0010", 1, 16},                              \
    {"0000 0000 0001 0001", 1, 17}, {"0000 0000 0001 0000", 1, 18},                              \
    {"0000 0000 0001 0100", 6, 3}, {"0000 0000 0001 1010", 11, 2},                               \
    {"0000 0000 0001 1001", 12, 2}, {"0000 0000 0001 1000", 13, 2},                              \
    {"0000 0000 0001 0111", 14, 2}, {"0000 0000 0001 0110", 15, 2},                              \
    {"0000 0000 0001 0101", 16, 2}, {"0000 0000 0001 1111", 27, 1},                              \
    {"0000 0000 0001 1110", 28, 1}, {"0000 0000 0001 1101", 29, 1},                              \
    {"0000 0000 0001 1100", 30, 1}, {"0000 0000 0001 1011", 31, 1}

// Table B-14 without the sign bit; the code "1" of the first coefficient of
// a non-intra block is handled where it applies.
const Row kCoefficientZeroRows[] = {
    {"10", kEndOfBlock, 0}, {"11", 0, 1}, {"011", 1, 1}, {"0100", 0, 2}, {"0101", 2, 1},
    {"0010 1", 0, 3}, {"0011 1", 3, 1}, {"0011 0", 4, 1}, {"0001 10", 1, 2}, {"0001 11", 5, 1},
    {"0001 01", 6, 1}, {"0001 00", 7, 1}, {"0000 110", 0, 4}, {"0000 100", 2, 2},
    {"0000 111", 8, 1}, {"0000 101", 9, 1}, {"0000 01", kCoefficientEscape, 0},
    {"0010 0110", 0, 5}, {"0010 0001", 0, 6}, {"0010 0101", 1, 3}, {"0010 0100", 3, 2},
    {"0010 0111", 10, 1}, {"0010 0011", 11, 1}, {"0010 0010", 12, 1}, {"0010 0000", 13, 1},
    {"0000 0010 10", 0, 7}, {"0000 0011 00", 1, 4}, {"0000 0010 11", 2, 3},
    {"0000 0011 11", 4, 2}, {"0000 0010 01", 5, 2}, {"0000 0011 10", 14, 1},
    {"0000 0011 01", 15, 1}, {"0000 0010 00", 16, 1}, {"0000 0001 1101", 0, 8},
    {"0000 0001 1000", 0, 9}, {"0000 0001 0011", 0, 10}, {"0000 0001 0000", 0, 11},
    {"0000 0001 1011", 1, 5}, {"0000 0001 0100", 2, 4}, {"0000 0001 1100", 3, 3},
    {"0000 0001 0010", 4, 3}, {"0000 0001 1110", 6, 2}, {"0000 0001 0101", 7, 2},
    {"0000 0001 0001", 8, 2}, {"0000 0000 1101 0", 0, 12}, {"0000 0000 1100 1", 0, 13},
    {"0000 0000 1100 0", 0, 14}, {"0000 0000 1011 1", 0, 15}, VOSTREL_SHARED_LONG_COEFFICIENT_ROWS,
};

// Table B-15 without the sign bit.
const Row kCoefficientOneRows[] = {
    {"0110", kEndOfBlock, 0}, {"10", 0, 1}, {"010", 1, 1}, {"110", 0, 2}, {"0010 1", 2, 1},
    {"0111", 0, 3}, {"0011 1", 3, 1}, {"0001 10", 4, 1}, {"0011 0", 1, 2}, {"0001 11", 5, 1},
    {"0000 110", 6, 1}, {"0000 100", 7, 1}, {"1110 0", 0, 4}, {"0000 111", 2, 2},
    {"0000 101", 8, 1}, {"1111 000", 9, 1}, {"0000 01", kCoefficientEscape, 0}, {"1110 1", 0, 5},
    {"0001 01", 0, 6}, {"1111 001", 1, 3}, {"0010 0110", 3, 2}, {"1111 010", 10, 1},
    {"0010 0001", 11, 1}, {"0010 0101", 12, 1}, {"0010 0100", 13, 1}, {"0001 00", 0, 7},
    {"0010 0111", 1, 4}, {"1111 1100", 2, 3}, {"1111 1101", 4, 2}, {"0000 0010 0", 5, 2},
    {"0000 0010 1", 14, 1}, {"0000 0011 1", 15, 1}, {"0000 0011 01", 16, 1}, {"1111 011", 0, 8},
    {"1111 100", 0, 9}, {"0010 0011", 0, 10}, {"0010 0010", 0, 11}, {"0010 0000", 1, 5},
    {"0000 0011 00", 2, 4}, {"0000 0001 1100", 3, 3}, {"0000 0001 0010", 4, 3},
    {"0000 0001 1110", 6, 2}, {"0000 0001 0101", 7, 2}, {"0000 0001 0001", 8, 2},
    {"1111 1010", 0, 12}, {"1111 1011", 0, 13}, {"1111 1110", 0, 14}, {"1111 1111", 0, 15},
    VOSTREL_SHARED_LONG_COEFFICIENT_ROWS,
};

#undef VOSTREL_SHARED_LONG_COEFFICIENT_ROWS

} // namespace

VlcTable::VlcTable(const char* name, int primaryBits, const std::vector<VlcCode>& codes)
    : tableName(name), primaryBits(primaryBits), codeList(codes)
{
    for (const VlcCode& code : codes)
        longest = std::max(longest, code.length);
    entries.assign(size_t(1) << primaryBits, VlcEntry{0, 0, 0, 0});

    // Codes longer than the first level share a second-level table per prefix,
    // sized by the longest code with that prefix.
    std::map<uint32_t, int> subBitsByPrefix;
    for (const VlcCode& code : codes)
        if (code.length > primaryBits) {
            uint32_t prefix = code.bits >> (code.length - primaryBits);
            int& bits = subBitsByPrefix[prefix];
            bits = std::max(bits, code.length - primaryBits);
        }
    for (const auto& [prefix, bits] : subBitsByPrefix) {
        VOSTREL_ASSERT(entries[prefix].length == 0 && entries[prefix].subBits == 0);
        VOSTREL_ASSERT(entries.size() + (size_t(1) << bits) < 32768);
        entries[prefix].value = static_cast<int16_t>(entries.size());
        entries[prefix].subBits = static_cast<uint8_t>(bits);
        entries.resize(entries.size() + (size_t(1) << bits), VlcEntry{0, 0, 0, 0});
    }

    for (const VlcCode& code : codes) {
        VlcEntry entry{static_cast<int16_t>(code.value), static_cast<int16_t>(code.level),
                       static_cast<uint8_t>(code.length), 0};
        size_t first, count;
        if (code.length <= primaryBits) {
            first = size_t(code.bits) << (primaryBits - code.length);
            count = size_t(1) << (primaryBits - code.length);
        } else {
            const VlcEntry& pointer = entries[code.bits >> (code.length - primaryBits)];
            int rest = code.length - primaryBits;
            uint32_t low = code.bits & ((1u << rest) - 1);
            first = size_t(pointer.value) + (size_t(low) << (pointer.subBits - rest));
            count = size_t(1) << (pointer.subBits - rest);
        }
        for (size_t i = first; i < first + count; ++i) {
            // Two codes landing on one slot would mean a table that is not prefix-free.
            VOSTREL_ASSERT(entries[i].length == 0 && entries[i].subBits == 0);
            entries[i] = entry;
        }
    }
}

const VlcTable& macroblockAddressIncrementTable()
{
    static const VlcTable table("macroblock_address_increment", 8, parseRows(kAddressIncrementRows));
    return table;
}

const VlcTable& macroblockTypeTable(int pictureCodingType)
{
    static const VlcTable intra("macroblock_type I", 6, parseRows(kIntraTypeRows));
    static const VlcTable predictive("macroblock_type P", 6, parseRows(kPredictiveTypeRows));
    static const VlcTable bidirectional("macroblock_type B", 6, parseRows(kBidirectionalTypeRows));
    static const VlcTable dcOnly("macroblock_type D", 6, parseRows(kDcOnlyTypeRows));
    switch (pictureCodingType) {
    case 1: return intra;
    case 2: return predictive;
    case 3: return bidirectional;
    default: return dcOnly;
    }
}

const VlcTable& spatialIntraMacroblockTypeTable()
{
    static const VlcTable table("macroblock_type I spatial", 4, parseRows(kSpatialIntraTypeRows));
    return table;
}

const VlcTable& snrMacroblockTypeTable()
{
    static const VlcTable table("macroblock_type SNR", 3, parseRows(kSnrTypeRows));
    return table;
}

const VlcTable& codedBlockPatternTable()
{
    static const VlcTable table("coded_block_pattern", 9, parseRows(kCodedBlockPatternRows));
    return table;
}

const VlcTable& motionCodeTable()
{
    static const VlcTable table("motion_code", 11, parseRows(kMotionCodeRows));
    return table;
}

const VlcTable& dmvectorTable()
{
    static const VlcTable table("dmvector", 2, parseRows(kDmvectorRows));
    return table;
}

const VlcTable& dctDcSizeLuminanceTable()
{
    static const VlcTable table("dct_dc_size_luminance", 9, parseRows(kDcSizeLuminanceRows));
    return table;
}

const VlcTable& dctDcSizeChrominanceTable()
{
    static const VlcTable table("dct_dc_size_chrominance", 10, parseRows(kDcSizeChrominanceRows));
    return table;
}

const VlcTable& dctCoefficientTableZero()
{
    static const VlcTable table("DCT coefficients table zero", 10, parseRows(kCoefficientZeroRows));
    return table;
}

const VlcTable& dctCoefficientTableOne()
{
    static const VlcTable table("DCT coefficients table one", 10, parseRows(kCoefficientOneRows));
    return table;
}

std::vector<const VlcTable*> allVlcTables()
{
    return {&macroblockAddressIncrementTable(), &macroblockTypeTable(1), &macroblockTypeTable(2),
            &macroblockTypeTable(3), &macroblockTypeTable(4), &spatialIntraMacroblockTypeTable(),
            &snrMacroblockTypeTable(), &codedBlockPatternTable(),
            &motionCodeTable(), &dmvectorTable(), &dctDcSizeLuminanceTable(),
            &dctDcSizeChrominanceTable(), &dctCoefficientTableZero(), &dctCoefficientTableOne()};
}

const uint8_t kZigZagScan[64] = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,
    12, 19, 26, 33, 40, 48, 41, 34, 27, 20, 13, 6,  7,  14, 21, 28,
    35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23, 30, 37, 44, 51,
    58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63,
};

const uint8_t kAlternateScan[64] = {
    0,  8,  16, 24, 1,  9,  2,  10, 17, 25, 32, 40, 48, 56, 57, 49,
    41, 33, 26, 18, 3,  11, 4,  12, 19, 27, 34, 42, 50, 58, 35, 43,
    51, 59, 20, 28, 5,  13, 6,  14, 21, 29, 36, 44, 52, 60, 37, 45,
    53, 61, 22, 30, 7,  15, 23, 31, 38, 46, 54, 62, 39, 47, 55, 63,
};

const uint8_t kDefaultIntraQuantiserMatrix[64] = {
    8,  16, 19, 22, 26, 27, 29, 34, 16, 16, 22, 24, 27, 29, 34, 37,
    19, 22, 26, 27, 29, 34, 34, 38, 22, 22, 26, 27, 29, 34, 37, 40,
    22, 26, 27, 29, 32, 35, 40, 48, 26, 27, 29, 32, 35, 40, 48, 58,
    26, 27, 29, 34, 38, 46, 56, 69, 27, 29, 35, 38, 46, 56, 69, 83,
};

const uint8_t kNonLinearQuantiserScale[32] = {
    0,  1,  2,  3,  4,  5,  6,  7,  8,  10, 12, 14, 16,  18,  20,  22,
    24, 28, 32, 36, 40, 44, 48, 52, 56, 64, 72, 80, 88, 96, 104, 112,
};

} // namespace Vostrel::Video
