#include "Libs/Video/VlcTables.h"
#include "Tests/Video/VlcTranscription.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

using namespace Vostrel::Video;
using VideoTest::TranscribedCode;

namespace {

struct TableCase {
    const char* transcribed;
    const VlcTable& (*table)();
};

const VlcTable& intraTypes() { return macroblockTypeTable(1); }
const VlcTable& predictiveTypes() { return macroblockTypeTable(2); }
const VlcTable& bidirectionalTypes() { return macroblockTypeTable(3); }
const VlcTable& dcOnlyTypes() { return macroblockTypeTable(4); }

const TableCase kTables[] = {
    {"macroblock_address_increment", macroblockAddressIncrementTable},
    {"macroblock_type I", intraTypes},
    {"macroblock_type P", predictiveTypes},
    {"macroblock_type B", bidirectionalTypes},
    {"macroblock_type D", dcOnlyTypes},
    {"macroblock_type I spatial", spatialIntraMacroblockTypeTable},
    {"macroblock_type SNR", snrMacroblockTypeTable},
    {"coded_block_pattern", codedBlockPatternTable},
    {"motion_code", motionCodeTable},
    {"dmvector", dmvectorTable},
    {"dct_dc_size_luminance", dctDcSizeLuminanceTable},
    {"dct_dc_size_chrominance", dctDcSizeChrominanceTable},
    {"dct_coefficients_zero", dctCoefficientTableZero},
    {"dct_coefficients_one", dctCoefficientTableOne},
};

int flagsOf(const std::string& names)
{
    int flags = 0;
    std::string rest = names + "+";
    for (std::string::size_type at; (at = rest.find('+')) != std::string::npos; rest.erase(0, at + 1)) {
        std::string name = rest.substr(0, at);
        flags |= name == "quant" ? kMacroblockQuant
                 : name == "forward" ? kMacroblockForward
                 : name == "backward" ? kMacroblockBackward
                 : name == "pattern" ? kMacroblockPattern
                 : name == "intra" ? kMacroblockIntra
                 : name == "none" ? 0
                 : name == "spatial" ? kMacroblockSpatial
                                      : 1 << 30;
    }
    return flags;
}

// What a transcribed code must decode to, as (value, level).
std::pair<int, int> expectedValue(const std::string& table, const TranscribedCode& code)
{
    const std::string& first = code.fields.at(0);
    if (table.rfind("macroblock_type", 0) == 0)
        return {flagsOf(first), 0};
    if (first == "escape")
        return {kAddressEscape, 0};
    if (first == "stuffing")
        return {kAddressStuffing, 0};
    if (first == "EOB")
        return {kEndOfBlock, 0};
    if (first == "ESC")
        return {kCoefficientEscape, 0};
    return {std::stoi(first), code.fields.size() > 1 ? std::stoi(code.fields[1]) : 0};
}

} // namespace

// Every table is prefix-free, so every bit pattern starts with one
// transcribed code at most: the decoder's lookup must return it with its
// length and value, or, when there is none, report the bits as invalid
// whatever follows them.
TEST(VlcTablesTest, TablesArePrefixFreeAndLookupsAgreeWithTheTranscription)
{
    std::mt19937 random(1180);
    for (const TableCase& c : kTables) {
        const auto& codes = VideoTest::transcription().at(c.transcribed);
        size_t longest = 0;
        for (const TranscribedCode& code : codes)
            longest = std::max(longest, code.bits.size());
        // Which transcribed code each pattern of `longest` bits starts with.
        std::vector<int> starts(size_t(1) << longest, -1);
        for (size_t i = 0; i < codes.size(); ++i) {
            const size_t length = codes[i].bits.size();
            const size_t first = std::stoul(codes[i].bits, nullptr, 2) << (longest - length);
            for (size_t pattern = first; pattern < first + (size_t(1) << (longest - length)); ++pattern) {
                ASSERT_EQ(starts[pattern], -1) << c.transcribed << " code " << codes[i].bits << " has a prefix";
                starts[pattern] = static_cast<int>(i);
            }
        }
        const VlcTable& table = c.table();
        EXPECT_EQ(table.codes().size(), codes.size()) << c.transcribed;
        for (uint32_t pattern = 0; pattern < (1u << longest); ++pattern) {
            uint32_t window = (pattern << (32 - longest)) | (random() >> longest);
            VlcEntry entry = table.lookup(window);
            if (starts[pattern] < 0) {
                ASSERT_EQ(entry.length, 0) << c.transcribed << " pattern " << pattern;
                continue;
            }
            const TranscribedCode& match = codes[size_t(starts[pattern])];
            std::pair<int, int> expected = expectedValue(c.transcribed, match);
            ASSERT_EQ(entry.length, match.bits.size()) << c.transcribed << " code " << match.bits;
            ASSERT_EQ(entry.value, expected.first) << c.transcribed << " code " << match.bits;
            ASSERT_EQ(entry.level, expected.second) << c.transcribed << " code " << match.bits;
        }
    }
}
