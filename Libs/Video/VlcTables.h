#pragma once

// The variable-length code tables of MPEG-1/2 video, the scan orders and the
// fixed quantiser tables. Each code table is written once as the published
// rows (bit string, value) and turned into a two-level lookup on the next
// bits of the stream, so a lookup never reads outside its arrays whatever the
// bits are.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace Vostrel::Video {

// Special values of the code tables.
constexpr int kAddressEscape = -1;   // macroblock_address_increment: add 33
constexpr int kAddressStuffing = -2; // macroblock_stuffing, skipped
constexpr int kEndOfBlock = 64;      // coefficient run meaning end of block
constexpr int kCoefficientEscape = 65;

// Macroblock type bits.
constexpr int kMacroblockQuant = 16;
constexpr int kMacroblockForward = 8;
constexpr int kMacroblockBackward = 4;
constexpr int kMacroblockPattern = 2;
constexpr int kMacroblockIntra = 1;
// Spatial scalability: predicted from the up-sampled lower layer.
constexpr int kMacroblockSpatial = 32;

// One code of a table as published: its bits and what it decodes to (for
// coefficient tables `value` is the run and `level` the level, sign excluded).
struct VlcCode {
    uint32_t bits;
    int length;
    int value;
    int level;
};

// A lookup result; length 0 means that the bits start no valid code.
struct VlcEntry {
    int16_t value;
    int16_t level;
    uint8_t length;
    uint8_t subBits; // only inside the table: > 0 points to a second level
};

class VlcTable {
public:
    // rows: "bits value" or "bits run level" as text, one code per entry.
    VlcTable(const char* name, int primaryBits, const std::vector<VlcCode>& codes);

    // window: the next 32 bits of the stream, first bit in bit 31.
    VlcEntry lookup(uint32_t window) const
    {
        const VlcEntry& first = entries[window >> (32 - primaryBits)];
        if (first.subBits == 0)
            return first;
        return entries[static_cast<size_t>(first.value) + ((window << primaryBits) >> (32 - first.subBits))];
    }

    const std::vector<VlcCode>& codes() const { return codeList; }
    const std::string& name() const { return tableName; }
    int maxLength() const { return longest; }

private:
    std::string tableName;
    int primaryBits;
    int longest = 0;
    std::vector<VlcEntry> entries;
    std::vector<VlcCode> codeList;
};

// The tables, built once on first use.
const VlcTable& macroblockAddressIncrementTable();
const VlcTable& macroblockTypeTable(int pictureCodingType); // 1 I, 2 P, 3 B, 4 D
// I pictures of a spatial enhancement layer.
const VlcTable& spatialIntraMacroblockTypeTable();
// The SNR enhancement layer's, for pictures of every type.
const VlcTable& snrMacroblockTypeTable();
const VlcTable& codedBlockPatternTable();
const VlcTable& motionCodeTable();
const VlcTable& dmvectorTable();
const VlcTable& dctDcSizeLuminanceTable();
const VlcTable& dctDcSizeChrominanceTable();
const VlcTable& dctCoefficientTableZero();
const VlcTable& dctCoefficientTableOne();
std::vector<const VlcTable*> allVlcTables();

// Scan position -> raster position.
extern const uint8_t kZigZagScan[64];
extern const uint8_t kAlternateScan[64];
// Raster order.
extern const uint8_t kDefaultIntraQuantiserMatrix[64];
// quantiser_scale_code -> quantiser_scale for q_scale_type 1.
extern const uint8_t kNonLinearQuantiserScale[32];

} // namespace Vostrel::Video
