#include "Libs/Video/PictureDecoder.h"

#include "Libs/Video/VlcTables.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace Vostrel::Video {

namespace {

// No legal increment comes near this; a run of escapes beyond it is damage.
constexpr int kLargestAddressIncrement = 1 << 24;

inline int16_t saturate(int value)
{
    return static_cast<int16_t>(std::clamp(value, -2048, 2047));
}

} // namespace

void PictureDecoder::decodePicture(FrameStores& stores, bool second)
{
    const Parameters& p = parameters;
    geometry = stores.geometry();
    pictureType = p.pictureCodingType;
    structure = p.pictureStructure;
    parity = structure == kBottomField ? 1 : 0;
    secondField = second;
    mpeg2 = p.mpeg2;
    if (pictureType == kBPicture) {
        current = &stores.auxiliary();
    } else {
        if (!secondField)
            stores.swapReferences();
        current = &stores.backward();
    }
    forwardReference = &stores.forward();
    backwardReference = &stores.backward();
    macroblockCount = geometry.mbWidth * geometry.mbHeight;
    if (structure != kFramePicture)
        macroblockCount /= 2;
    scan = p.alternateScan ? kAlternateScan : kZigZagScan;
    previousType = 0;
    if (pictureHook)
        pictureHook(*current);
    if (snrLayer)
        snrLayer->beginSnrPicture(geometry);

    while (decodeSlice()) {
    }
}

bool PictureDecoder::decodeSlice()
{
    fault = false;
    input.nextStartCode();
    uint32_t code = input.showWord();
    if (code < 0x00000101 || code > 0x000001AF) {
        messages.info("start_of_slice(): Premature end of picture\n");
        return false;
    }
    input.skipBits(32);
    int verticalPositionExtension = headers.sliceHeader();
    // Partition one holds everything after the slice header (breakpoint 0)
    // or every macroblock's data after its address increment (1).
    struct LeavePartitionOne {
        PictureDecoder& decoder;
        ~LeavePartitionOne()
        {
            if (decoder.inPartitionOne)
                decoder.leavePartitionOne();
        }
    } leaveAtEnd{*this};
    const int split = partitionOne ? syncPartitionOne(code) : -1;
    if (split == 0 && !enterPartitionOne())
        return true;

    int increment = addressIncrement();
    if (split == 1 && !enterPartitionOne())
        return true;
    if (fault) {
        messages.notice("start_of_slice(): MBAinc unsuccessful\n");
        return true;
    }
    int address = ((verticalPositionExtension << 7) + static_cast<int>(code & 255) - 1) * geometry.mbWidth +
                  increment - 1;
    increment = 1;
    resetDcPredictors();
    resetMotionPredictors();

    Macroblock mb;
    while (address < macroblockCount) {
        if (increment == 0) {
            if (split == 1 && inPartitionOne)
                leavePartitionOne();
            if (input.showBits(23) == 0)
                return true; // a start code follows: next slice
            increment = addressIncrement();
            if (fault || (split == 1 && !enterPartitionOne()))
                return true;
        }
        if (increment == 1) {
            decodeMacroblock(mb);
            if (fault)
                return true;
        } else {
            skippedMacroblock(mb);
        }
        if (snrLayer)
            combineSnr(address, mb);
        reconstruct(address, mb);
        ++address;
        --increment;
    }
    return false;
}

int PictureDecoder::addressIncrement()
{
    const VlcTable& table = macroblockAddressIncrementTable();
    int increment = 0;
    for (;;) {
        VlcEntry entry = table.lookup(input.showWord());
        if (entry.length == 0 || increment > kLargestAddressIncrement) {
            messages.warning("Invalid macroblock_address_increment code\n");
            fault = true;
            return 1;
        }
        input.skipBits(entry.length);
        if (entry.value == kAddressStuffing)
            continue;
        if (entry.value == kAddressEscape) {
            increment += 33;
            continue;
        }
        return increment + entry.value;
    }
}

void PictureDecoder::resetDcPredictors()
{
    dcPredictor[0] = dcPredictor[1] = dcPredictor[2] = 0;
}

void PictureDecoder::resetMotionPredictors()
{
    std::memset(pmv, 0, sizeof pmv);
}

void PictureDecoder::macroblockModes(Macroblock& mb)
{
    const Parameters& p = parameters;
    const VlcTable& types = lowerLayer && pictureType == kIPicture ? spatialIntraMacroblockTypeTable()
                                                                    : macroblockTypeTable(pictureType);
    VlcEntry entry = types.lookup(input.showWord());
    if (entry.length == 0) {
        messages.warning("Invalid macroblock_type code\n");
        fault = true;
        return;
    }
    input.skipBits(entry.length);
    mb.type = entry.value;

    if (mb.type & (kMacroblockForward | kMacroblockBackward)) {
        if (structure == kFramePicture)
            mb.motionType = p.framePredFrameDct ? kFrameMotion : static_cast<int>(input.getBits(2));
        else
            mb.motionType = static_cast<int>(input.getBits(2));
    } else if ((mb.type & kMacroblockIntra) && p.concealmentMotionVectors) {
        mb.motionType = structure == kFramePicture ? kFrameMotion : kFieldMotion;
    }

    if (structure == kFramePicture) {
        mb.motionVectorCount = mb.motionType == kFieldMotion ? 2 : 1;
        mb.mvFormat = mb.motionType == kFrameMotion ? kFrameFormat : kFieldFormat;
    } else {
        mb.motionVectorCount = mb.motionType == k16x8Motion ? 2 : 1;
        mb.mvFormat = kFieldFormat;
    }
    mb.dualPrime = mb.motionType == kDualPrimeMotion;

    mb.dctType = 0;
    if (structure == kFramePicture && !p.framePredFrameDct && (mb.type & (kMacroblockPattern | kMacroblockIntra)))
        mb.dctType = static_cast<int>(input.getBit());
}

void PictureDecoder::decodeMacroblock(Macroblock& mb)
{
    Parameters& p = parameters;
    macroblockModes(mb);
    if (fault)
        return;

    if (mb.type & kMacroblockQuant) {
        int code = static_cast<int>(input.getBits(5));
        if (mpeg2)
            p.quantizerScale = p.qScaleType ? kNonLinearQuantiserScale[code] : code * 2;
        else
            p.quantizerScale = code;
    }

    const bool intra = mb.type & kMacroblockIntra;
    const bool concealment = intra && p.concealmentMotionVectors;
    if ((mb.type & kMacroblockForward) || concealment) {
        if (mpeg2)
            motionVectors(mb, 0);
        else
            motionVector(pmv[0][0], mb.dmvector, p.forwardFCode - 1, p.forwardFCode - 1, false, false,
                         p.fullPelForwardVector);
        if (fault)
            return;
    }
    if (mb.type & kMacroblockBackward) {
        if (mpeg2)
            motionVectors(mb, 1);
        else
            motionVector(pmv[0][1], mb.dmvector, p.backwardFCode - 1, p.backwardFCode - 1, false, false,
                         p.fullPelBackwardVector);
        if (fault)
            return;
    }
    if (concealment)
        input.skipBits(1); // marker

    const int blockCount = geometry.blockCount;
    if (mb.type & kMacroblockPattern) {
        VlcEntry entry = codedBlockPatternTable().lookup(input.showWord());
        if (entry.length == 0) {
            messages.warning("Invalid coded_block_pattern code\n");
            fault = true;
            return;
        }
        input.skipBits(entry.length);
        mb.codedBlockPattern = entry.value;
        if (geometry.chromaFormat == kChroma422)
            mb.codedBlockPattern = (mb.codedBlockPattern << 2) | static_cast<int>(input.getBits(2));
        else if (geometry.chromaFormat == kChroma444)
            mb.codedBlockPattern = (mb.codedBlockPattern << 6) | static_cast<int>(input.getBits(6));
    } else {
        mb.codedBlockPattern = intra ? (1 << blockCount) - 1 : 0;
    }

    for (int comp = 0; comp < blockCount; ++comp) {
        if (!(mb.codedBlockPattern & (1 << (blockCount - 1 - comp))))
            continue;
        bool decoded;
        if (mpeg2)
            decoded = intra ? decodeBlock<true, true>(comp, blocks[comp]) : decodeBlock<true, false>(comp, blocks[comp]);
        else
            decoded = intra ? decodeBlock<false, true>(comp, blocks[comp]) : decodeBlock<false, false>(comp, blocks[comp]);
        if (inPartitionOne && partitionItems >= 0)
            leavePartitionOne();
        if (!decoded) {
            fault = true;
            std::memset(blocks, 0, sizeof blocks);
            return;
        }
    }

    if (pictureType == kDPicture)
        input.skipBits(1); // end_of_macroblock

    if (!intra)
        resetDcPredictors();
    if (intra && !p.concealmentMotionVectors)
        resetMotionPredictors();
    if (pictureType == kPPicture && !(mb.type & (kMacroblockForward | kMacroblockIntra))) {
        // No motion compensation: a zero vector from the forward reference.
        pmv[0][0][0] = pmv[0][0][1] = pmv[1][0][0] = pmv[1][0][1] = 0;
        mb.motionType = structure == kFramePicture ? kFrameMotion : kFieldMotion;
        mb.fieldSelect[0][0] = mb.fieldSelect[1][0] = parity;
        mb.dualPrime = false;
    }
    previousType = mb.type;
}

void PictureDecoder::skippedMacroblock(Macroblock& mb)
{
    resetDcPredictors();
    if (pictureType == kPPicture)
        pmv[0][0][0] = pmv[0][0][1] = pmv[1][0][0] = pmv[1][0][1] = 0;
    mb.type = previousType & ~kMacroblockIntra;
    mb.motionType = structure == kFramePicture ? kFrameMotion : kFieldMotion;
    mb.motionVectorCount = 1;
    mb.mvFormat = structure == kFramePicture ? kFrameFormat : kFieldFormat;
    mb.dualPrime = false;
    mb.fieldSelect[0][0] = mb.fieldSelect[1][0] = mb.fieldSelect[0][1] = mb.fieldSelect[1][1] = parity;
    mb.dctType = 0;
    mb.codedBlockPattern = 0;
}

void PictureDecoder::motionVectors(Macroblock& mb, int s)
{
    const Parameters& p = parameters;
    const int hRSize = p.fCode[s][0] - 1;
    const int vRSize = p.fCode[s][1] - 1;
    const bool halveVertical = mb.mvFormat == kFieldFormat && structure == kFramePicture;
    if (mb.motionVectorCount == 1) {
        if (mb.mvFormat == kFieldFormat && !mb.dualPrime)
            mb.fieldSelect[0][s] = mb.fieldSelect[1][s] = static_cast<int>(input.getBit());
        motionVector(pmv[0][s], mb.dmvector, hRSize, vRSize, mb.dualPrime, halveVertical, false);
        pmv[1][s][0] = pmv[0][s][0];
        pmv[1][s][1] = pmv[0][s][1];
    } else {
        mb.fieldSelect[0][s] = static_cast<int>(input.getBit());
        motionVector(pmv[0][s], mb.dmvector, hRSize, vRSize, false, halveVertical, false);
        if (fault)
            return;
        mb.fieldSelect[1][s] = static_cast<int>(input.getBit());
        motionVector(pmv[1][s], mb.dmvector, hRSize, vRSize, false, halveVertical, false);
    }
}

void PictureDecoder::motionVector(int* vector, int* dmvector, int hRSize, int vRSize, bool dualPrime,
                                  bool halveVertical, bool fullPel)
{
    decodeMotionComponent(vector[0], hRSize, fullPel);
    if (fault)
        return;
    if (dualPrime) {
        VlcEntry entry = dmvectorTable().lookup(input.showWord());
        input.skipBits(entry.length);
        dmvector[0] = entry.value;
    }
    // A field vector of a frame picture is predicted from the frame vector
    // predictor at half scale.
    if (halveVertical)
        vector[1] >>= 1;
    decodeMotionComponent(vector[1], vRSize, fullPel);
    if (halveVertical)
        vector[1] *= 2;
    if (fault)
        return;
    if (dualPrime) {
        VlcEntry entry = dmvectorTable().lookup(input.showWord());
        input.skipBits(entry.length);
        dmvector[1] = entry.value;
    }
}

int PictureDecoder::motionCode()
{
    VlcEntry entry = motionCodeTable().lookup(input.showWord());
    if (entry.length == 0) {
        messages.warning("Invalid motion_vector code\n");
        fault = true;
        return 0;
    }
    input.skipBits(entry.length);
    return entry.value;
}

void PictureDecoder::decodeMotionComponent(int& predictor, int rSize, bool fullPel)
{
    int code = motionCode();
    if (fault)
        return;
    if (rSize < 0) { // f_code 0 is forbidden
        fault = true;
        return;
    }
    int residual = (rSize > 0 && code != 0) ? static_cast<int>(input.getBits(rSize)) : 0;
    int vector = fullPel ? predictor >> 1 : predictor;
    if (code > 0)
        vector += ((code - 1) << rSize) + residual + 1;
    else if (code < 0)
        vector -= ((-code - 1) << rSize) + residual + 1;
    const int limit = 16 << rSize;
    const int range = 2 * limit;
    vector = ((vector + limit) % range + range) % range - limit;
    predictor = fullPel ? vector * 2 : vector;
}

bool PictureDecoder::intraDc(int cc, int& predictor)
{
    const VlcTable& sizes = cc == 0 ? dctDcSizeLuminanceTable() : dctDcSizeChrominanceTable();
    VlcEntry entry = sizes.lookup(input.showWord());
    if (entry.length == 0)
        return false;
    input.skipBits(entry.length);
    int size = entry.value;
    int differential = 0;
    if (size > 0) {
        differential = static_cast<int>(input.getBits(size));
        if ((differential >> (size - 1)) == 0)
            differential -= (1 << size) - 1;
    }
    // Legal predictors stay within 11 bits; keep damaged ones from growing.
    dcPredictor[cc] = std::clamp(dcPredictor[cc] + differential, -(1 << 16), 1 << 16);
    predictor = dcPredictor[cc];
    return true;
}

// Blocks of both standards, intra or not, share one loop; they differ in the
// escape format, the inverse quantisation and the mismatch control.
template <bool Mpeg2, bool Intra>
bool PictureDecoder::decodeBlock(int comp, int16_t* block)
{
    static const char* const names[2][2][2] = {
        {{"invalid Huffman code in Decode_MPEG1_Non_Intra_Block()\n", "DCT coeff index (i) out of bounds (inter)\n"},
         {"invalid Huffman code in Decode_MPEG1_Intra_Block()\n", "DCT coeff index (i) out of bounds (intra)\n"}},
        {{"invalid Huffman code in Decode_MPEG2_Non_Intra_Block()\n", "DCT coeff index (i) out of bounds (inter2)\n"},
         {"invalid Huffman code in Decode_MPEG2_Intra_Block()\n", "DCT coeff index (i) out of bounds (intra2)\n"}}};
    const char* const invalidCode = names[Mpeg2][Intra][0];
    const char* const outOfBounds = names[Mpeg2][Intra][1];

    const Parameters& p = parameters;
    const int cc = comp < 4 ? 0 : 1 + (comp & 1);
    const bool chromaMatrix = Mpeg2 && cc != 0 && geometry.chromaFormat != kChroma420;
    const int* matrix = Intra ? (chromaMatrix ? p.chromaIntraQuantiserMatrix : p.intraQuantiserMatrix)
                              : (chromaMatrix ? p.chromaNonIntraQuantiserMatrix : p.nonIntraQuantiserMatrix);
    const uint8_t* order = Mpeg2 ? scan : kZigZagScan;
    const int scale = p.quantizerScale;
    const VlcTable& table = (Mpeg2 && Intra && p.intraVlcFormat) ? dctCoefficientTableOne() : dctCoefficientTableZero();

    // Saturation comes with the inverse quantisation, so that the parity of
    // the sum that mismatch control needs is kept on the way.
    int parity = 0;
    int i = 0;
    int items = 0; // for data partitioning
    if (partitionItems == 0 && !enterPartitionOne())
        return true;
    if (Intra) {
        int dc;
        if (!intraDc(cc, dc))
            return false;
        const int16_t value = saturate(dc * (Mpeg2 ? 8 >> p.intraDcPrecision : 8));
        block[0] = value;
        parity = value & 1;
        if (!Mpeg2 && pictureType == kDPicture)
            return true;
        i = 1;
        items = 1;
    }
    BitInput::Local bits(input);
    for (;; ++i, ++items) {
        // The rest of a long block is in partition one, which the input
        // takes in place of partition zero.
        if (items == partitionItems && !inPartitionOne) {
            bits.store();
            const bool entered = enterPartitionOne();
            bits.reload();
            if (!entered)
                break;
        }
        const uint32_t window = bits.showWord();
        int run, level;
        bool negative;
        if (!Intra && i == 0 && (window >> 31)) {
            // The first coefficient's short code for run 0, level 1.
            run = 0;
            level = 1;
            negative = (window >> 30) & 1;
            bits.skipBits(2);
        } else {
            const VlcEntry entry = table.lookup(window);
            if (entry.length == 0) {
                messages.warning(invalidCode);
                return false;
            }
            if (entry.value == kEndOfBlock) {
                bits.skipBits(entry.length);
                break;
            }
            if (entry.value == kCoefficientEscape) {
                bits.skipBits(6);
                run = static_cast<int>(bits.getBits(6));
                if (Mpeg2) {
                    const int code = static_cast<int>(bits.getBits(12));
                    if ((code & 2047) == 0) {
                        if (Intra)
                            messages.warning("invalid escape in Decode_MPEG2_Intra_Block()\n");
                        return false;
                    }
                    negative = code >= 2048;
                    level = negative ? 4096 - code : code;
                } else {
                    int code = static_cast<int>(bits.getBits(8));
                    if (code == 0)
                        code = static_cast<int>(bits.getBits(8));
                    else if (code == 128)
                        code = static_cast<int>(bits.getBits(8)) - 256;
                    else if (code > 128)
                        code -= 256;
                    negative = code < 0;
                    level = std::abs(code);
                }
            } else {
                run = entry.value;
                level = entry.level;
                negative = (window << entry.length) >> 31;
                bits.skipBits(entry.length + 1);
            }
        }
        i += run;
        if (i >= 64) {
            messages.warning(outOfBounds);
            return false;
        }
        const int j = order[i];
        int value;
        if (Mpeg2) {
            value = Intra ? (level * matrix[j] * scale) >> 4 : ((2 * level + 1) * matrix[j] * scale) >> 5;
        } else {
            value = Intra ? (level * matrix[j] * scale) >> 3 : ((2 * level + 1) * matrix[j] * scale) >> 4;
            if (value != 0)
                value = (value - 1) | 1; // toward zero to the odd neighbour
        }
        const int16_t stored = saturate(negative ? -value : value);
        block[j] = stored;
        parity ^= stored & 1;
    }
    if (Mpeg2 && parity == 0 && mismatchControl)
        block[63] ^= 1; // mismatch control
    return true;
}

// The SNR enhancement layer's blocks (TwoLayers.cpp).
template bool PictureDecoder::decodeBlock<true, false>(int comp, int16_t* block);

} // namespace Vostrel::Video
