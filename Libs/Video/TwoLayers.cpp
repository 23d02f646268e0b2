// Two-layer decoding in the picture layer: SNR scalability (the enhancement
// layer's coefficients added to the base layer's before saturation, mismatch
// control and the inverse DCT) and data partitioning (each block's
// coefficients split at the priority breakpoint between two streams).

#include "Libs/Video/PictureDecoder.h"

#include "Libs/Video/VlcTables.h"

#include <algorithm>
#include <cstring>

namespace Vostrel::Video {

void PictureDecoder::setSnrLayer(PictureDecoder* enhancement)
{
    snrLayer = enhancement;
    mismatchControl = enhancement == nullptr;
}

void PictureDecoder::setPartitionOne(BitInput* partition, HeaderParser* partitionHeaders)
{
    partitionOne = partition;
    partitionOneHeaders = partitionHeaders;
    partitionItems = -1;
}

void PictureDecoder::beginSnrPicture(const Geometry& pictureGeometry)
{
    const Parameters& p = parameters;
    geometry = pictureGeometry;
    pictureType = p.pictureCodingType;
    structure = p.pictureStructure;
    mpeg2 = true;
    scan = p.alternateScan ? kAlternateScan : kZigZagScan;
    macroblockCount = geometry.mbWidth * geometry.mbHeight;
    if (structure != kFramePicture)
        macroblockCount /= 2;
    // Enhancement coefficients are summed before mismatch control.
    mismatchControl = false;
    snrInSlice = false;
    snrEnded = false;
    std::memset(blocks, 0, sizeof blocks);
}

bool PictureDecoder::startSnrSlice()
{
    fault = false;
    input.nextStartCode();
    const uint32_t code = input.showWord();
    if (code < 0x00000101 || code > 0x000001AF) {
        messages.warning("SNR: Premature end of picture\n");
        snrEnded = true;
        return false;
    }
    input.skipBits(32);
    const int verticalPositionExtension = headers.sliceHeader();
    const int increment = addressIncrement();
    if (fault)
        return false;
    snrAddress = ((verticalPositionExtension << 7) + static_cast<int>(code & 255) - 1) * geometry.mbWidth +
                 increment - 1;
    snrInSlice = true;
    return true;
}

bool PictureDecoder::decodeSnrMacroblock(int& codedBlockPattern)
{
    Parameters& p = parameters;
    codedBlockPattern = 0;
    const VlcEntry entry = snrMacroblockTypeTable().lookup(input.showWord());
    if (entry.length == 0) {
        messages.warning("Invalid macroblock_type code\n");
        return false;
    }
    input.skipBits(entry.length);
    const int type = entry.value;
    // The base layer's dct_type arranges the blocks of both layers.
    if (structure == kFramePicture && !p.framePredFrameDct && (type & kMacroblockPattern))
        input.skipBits(1);
    if (type & kMacroblockQuant) {
        const int code = static_cast<int>(input.getBits(5));
        p.quantizerScale = p.qScaleType ? kNonLinearQuantiserScale[code] : code * 2;
    }
    if (type & kMacroblockPattern) {
        const VlcEntry pattern = codedBlockPatternTable().lookup(input.showWord());
        if (pattern.length == 0) {
            messages.warning("Invalid coded_block_pattern code\n");
            return false;
        }
        input.skipBits(pattern.length);
        codedBlockPattern = pattern.value;
        if (geometry.chromaFormat == kChroma422)
            codedBlockPattern = (codedBlockPattern << 2) | static_cast<int>(input.getBits(2));
        else if (geometry.chromaFormat == kChroma444)
            codedBlockPattern = (codedBlockPattern << 6) | static_cast<int>(input.getBits(6));
    }
    const int blockCount = geometry.blockCount;
    for (int comp = 0; comp < blockCount; ++comp) {
        if ((codedBlockPattern & (1 << (blockCount - 1 - comp))) && !decodeBlock<true, false>(comp, blocks[comp])) {
            std::memset(blocks, 0, sizeof blocks);
            codedBlockPattern = 0;
            return false;
        }
    }
    return true;
}

int PictureDecoder::snrMacroblock(int address)
{
    // Enhancement macroblocks that the base layer passed by (damage in either
    // layer) are read and dropped until the two meet again.
    bool reported = false;
    for (;;) {
        if (snrEnded || (!snrInSlice && !startSnrSlice()))
            return 0;
        if (snrAddress >= macroblockCount) {
            messages.warning("Too many macroblocks in picture\n");
            snrEnded = true;
            return 0;
        }
        if (snrAddress > address)
            return 0;
        int codedBlockPattern = 0;
        const bool decoded = decodeSnrMacroblock(codedBlockPattern);
        const bool here = snrAddress == address;
        if (decoded) {
            if (input.showBits(23) == 0) {
                snrInSlice = false;
            } else {
                fault = false;
                snrAddress += addressIncrement();
                snrInSlice = !fault;
            }
        } else {
            snrInSlice = false;
        }
        if (here)
            return codedBlockPattern;
        std::memset(blocks, 0, sizeof blocks);
        if (!reported)
            messages.warning("Cant't synchronize streams\n");
        reported = true;
    }
}

void PictureDecoder::combineSnr(int address, Macroblock& mb)
{
    const int enhancementPattern = snrLayer->snrMacroblock(address);
    const int blockCount = geometry.blockCount;
    const bool intra = mb.type & kMacroblockIntra;
    for (int comp = 0; comp < blockCount; ++comp) {
        const int bit = 1 << (blockCount - 1 - comp);
        int16_t* block = blocks[comp];
        if (enhancementPattern & bit) {
            int16_t* extra = snrLayer->blocks[comp];
            for (int k = 0; k < 64; ++k)
                block[k] = static_cast<int16_t>(std::clamp(block[k] + extra[k], -2048, 2047));
            std::memset(extra, 0, 64 * sizeof(int16_t));
        } else if (!intra && !(mb.codedBlockPattern & bit)) {
            continue;
        }
        int sum = 0;
        for (int k = 0; k < 64; ++k)
            sum += block[k];
        if ((sum & 1) == 0)
            block[63] ^= 1;
    }
    mb.codedBlockPattern |= enhancementPattern;
}

int PictureDecoder::syncPartitionOne(uint32_t sliceCode)
{
    partitionOne->nextStartCode();
    partitionOneMissing = partitionOne->showWord() != sliceCode;
    if (partitionOneMissing) {
        messages.warning("DP: Premature end of picture\n");
    } else {
        partitionOne->skipBits(32);
        partitionOneHeaders->sliceHeader();
    }
    // Breakpoints 0 and 1 split the slice at the macroblock level; the
    // others within blocks, 2 (and the reserved 3 to 63) keeping no
    // coefficient in partition zero.
    const int breakpoint = parameters.priorityBreakpoint;
    partitionItems = breakpoint < 2 ? -1 : breakpoint >= 64 ? breakpoint - 63 : 0;
    return breakpoint;
}

bool PictureDecoder::enterPartitionOne()
{
    if (partitionOneMissing)
        return false;
    input.exchange(*partitionOne);
    inPartitionOne = true;
    return true;
}

void PictureDecoder::leavePartitionOne()
{
    input.exchange(*partitionOne);
    inPartitionOne = false;
}

void PictureDecoder::spatialPrediction(int bx, int by)
{
    const int field = structure == kFramePicture ? -1 : parity;
    FrameStore& lower = const_cast<FrameStore&>(*lowerLayer);
    for (int plane = 0; plane < 3; ++plane) {
        const PlaneView to = view(*current, plane, field);
        const PlaneView from = view(lower, plane, field);
        int x = bx, y = by, w = 16, h = 16;
        if (plane && geometry.chromaFormat != kChroma444) {
            x /= 2;
            w = 8;
        }
        if (plane && geometry.chromaFormat == kChroma420) {
            y /= 2;
            h = 8;
        }
        for (int row = 0; row < h; ++row)
            std::copy_n(from.data + size_t(y + row) * from.stride + x, w, to.data + size_t(y + row) * to.stride + x);
    }
}

} // namespace Vostrel::Video
