#include "Tests/Video/StreamWriter.h"

#include "Tests/Video/VlcTranscription.h"

#include <cstdlib>
#include <stdexcept>

namespace VideoTest {

namespace {

// Raster position of each scan position, the zig-zag path worked out here.
struct ZigZag {
    int order[64];
    ZigZag()
    {
        int i = 0;
        for (int diagonal = 0; diagonal < 15; ++diagonal)
            for (int k = 0; k <= diagonal; ++k) {
                int row = diagonal % 2 ? k : diagonal - k;
                int column = diagonal - row;
                if (row < 8 && column < 8)
                    order[i++] = 8 * row + column;
            }
    }
};
const ZigZag kZigZag;

} // namespace

void BitWriter::put(uint32_t value, int count)
{
    for (int i = count - 1; i >= 0; --i) {
        pending = pending << 1 | ((value >> i) & 1);
        if (++pendingBits == 8) {
            data.push_back(static_cast<uint8_t>(pending));
            pending = 0;
            pendingBits = 0;
        }
    }
}

void BitWriter::putCode(const std::string& bits)
{
    for (char c : bits)
        put(c == '1' ? 1 : 0, 1);
}

void BitWriter::startCode(uint8_t code)
{
    if (pendingBits)
        put(0, 8 - pendingBits);
    put(0x000001, 24);
    put(code, 8);
}

const std::vector<uint8_t>& BitWriter::bytes()
{
    if (pendingBits)
        put(0, 8 - pendingBits);
    return data;
}

void StreamWriter::sequenceHeader()
{
    const SequenceOptions& s = sequence;
    bits.startCode(0xB3);
    bits.put(s.width & 0xFFF, 12);
    bits.put(s.height & 0xFFF, 12);
    bits.put(1, 4);       // square samples
    bits.put(3, 4);       // 25 frames per second
    bits.put(0x3FFFF, 18); // bit rate
    bits.put(1, 1);
    bits.put(112, 10); // buffer size
    bits.put(0, 1);
    bits.put(s.intraMatrix != nullptr, 1);
    for (int i = 0; s.intraMatrix && i < 64; ++i)
        bits.put(static_cast<uint32_t>(s.intraMatrix[kZigZag.order[i]]), 8);
    bits.put(s.nonIntraMatrixValue != 0, 1);
    for (int i = 0; s.nonIntraMatrixValue && i < 64; ++i)
        bits.put(static_cast<uint32_t>(s.nonIntraMatrixValue), 8);
    if (!s.mpeg2)
        return;
    bits.startCode(0xB5);
    bits.put(1, 4);
    bits.put(s.chromaFormat == 1 ? 0x48 : 0x85, 8);
    bits.put(s.progressiveSequence, 1);
    bits.put(s.chromaFormat, 2);
    bits.put(s.width >> 12, 2);
    bits.put(s.height >> 12, 2);
    bits.put(0, 12);
    bits.put(1, 1);
    bits.put(0, 8);
    bits.put(0, 1);
    bits.put(0, 2);
    bits.put(0, 5);
    if (s.scalableMode >= 0) {
        bits.startCode(0xB5);
        bits.put(5, 4);
        bits.put(static_cast<uint32_t>(s.scalableMode), 2);
        bits.put(s.scalableMode == 0 ? 0 : 1, 4); // layer_id
        if (s.scalableMode == 1) {
            bits.put(static_cast<uint32_t>(s.lowerWidth), 14);
            bits.put(1, 1);
            bits.put(static_cast<uint32_t>(s.lowerHeight), 14);
            for (int factor : {2, 1, 2, 1})
                bits.put(static_cast<uint32_t>(factor), 5);
        }
    }
    if (s.matrixCoefficients >= 0) {
        bits.startCode(0xB5);
        bits.put(2, 4);
        bits.put(5, 3);
        bits.put(1, 1);
        bits.put(1, 8);
        bits.put(1, 8);
        bits.put(s.matrixCoefficients, 8);
        bits.put(s.width, 14);
        bits.put(1, 1);
        bits.put(s.height, 14);
    }
}

void StreamWriter::groupOfPictures()
{
    bits.startCode(0xB8);
    bits.put(0, 1);
    bits.put(0, 5);
    bits.put(0, 6);
    bits.put(1, 1);
    bits.put(0, 6);
    bits.put(0, 6);
    bits.put(1, 1); // closed
    bits.put(0, 1);
}

void StreamWriter::picture(const PictureOptions& options)
{
    current = options;
    bits.startCode(0x00);
    bits.put(0, 10);
    bits.put(options.type, 3);
    bits.put(0xFFFF, 16);
    if (options.type == 2 || options.type == 3) {
        bits.put(options.fullPel, 1);
        bits.put(sequence.mpeg2 ? 7 : options.fCode[0][0], 3);
    }
    if (options.type == 3) {
        bits.put(options.fullPel, 1);
        bits.put(sequence.mpeg2 ? 7 : options.fCode[1][0], 3);
    }
    bits.put(0, 1);
    if (!sequence.mpeg2)
        return;
    bits.startCode(0xB5);
    bits.put(8, 4);
    for (int s = 0; s < 2; ++s)
        for (int t = 0; t < 2; ++t)
            bits.put(options.fCode[s][t], 4);
    bits.put(0, 2); // intra_dc_precision 8 bits
    bits.put(options.structure, 2);
    bits.put(options.topFieldFirst, 1);
    bits.put(options.framePredFrameDct, 1);
    bits.put(options.concealmentMotionVectors, 1);
    bits.put(0, 1); // q_scale_type
    bits.put(0, 1); // intra_vlc_format
    bits.put(0, 1); // alternate_scan
    bits.put(0, 1); // repeat_first_field
    bits.put(options.progressiveFrame, 1); // chroma_420_type
    bits.put(options.progressiveFrame, 1);
    bits.put(0, 1); // composite_display_flag
    if (options.spatialExtension) {
        bits.startCode(0xB5);
        bits.put(9, 4);
        bits.put(0, 10); // lower_layer_temporal_reference
        bits.put(1, 1);
        bits.put(static_cast<uint32_t>(options.lowerOffset[0]) & 0x7FFF, 15);
        bits.put(1, 1);
        bits.put(static_cast<uint32_t>(options.lowerOffset[1]) & 0x7FFF, 15);
        bits.put(0, 2); // spatial_temporal_weight_code_table_index
        bits.put(static_cast<uint32_t>(options.lowerProgressiveFrame), 1);
        bits.put(static_cast<uint32_t>(options.deinterlacedFieldSelect), 1);
    }
}

void StreamWriter::sliceStart(int mby, int quantiserScaleCode)
{
    if (sequence.mpeg2 && sequence.height > 2800) {
        bits.startCode(static_cast<uint8_t>((mby & 127) + 1));
        bits.put(mby >> 7, 3);
    } else {
        bits.startCode(static_cast<uint8_t>(mby + 1));
    }
    if (sequence.scalableMode == 0)
        bits.put(static_cast<uint32_t>(sequence.priorityBreakpoint), 7);
    bits.put(static_cast<uint32_t>(quantiserScaleCode), 5);
    bits.put(0, 1); // extra_bit_slice
    dcPredictor[0] = dcPredictor[1] = dcPredictor[2] = 0;
}

void StreamWriter::slice(int mbx, int mby, int quantiserScaleCode)
{
    sliceStart(mby, quantiserScaleCode);
    addressIncrement(mbx);
}

void StreamWriter::addressIncrement(int mbx)
{
    int increment = mbx + 1;
    for (; increment > 33; increment -= 33)
        bits.putCode(codeFor("macroblock_address_increment", "escape"));
    bits.putCode(codeFor("macroblock_address_increment", std::to_string(increment)));
}

void StreamWriter::dcDifferential(int cc, int differential)
{
    int size = 0;
    for (int magnitude = std::abs(differential); magnitude; magnitude >>= 1)
        ++size;
    bits.putCode(codeFor(cc == 0 ? "dct_dc_size_luminance" : "dct_dc_size_chrominance", std::to_string(size)));
    if (size)
        bits.put(static_cast<uint32_t>(differential > 0 ? differential : differential + (1 << size) - 1), size);
}

void StreamWriter::intraMacroblock(int mbx, int mby, const std::vector<int>& dc, int last)
{
    static const char* const typeTables[] = {"", "I", "P", "B", "D"};
    slice(mbx, mby);
    bits.putCode(codeFor(std::string("macroblock_type ") + typeTables[current.type], "intra"));
    if (sequence.mpeg2 && current.structure == 3 && !current.framePredFrameDct)
        bits.put(0, 1); // dct_type: frame
    int predictor[3] = {0, 0, 0};
    for (size_t b = 0; b < dc.size(); ++b) {
        int cc = b < 4 ? 0 : 1 + int(b & 1);
        dcDifferential(cc, dc[b] - predictor[cc]);
        predictor[cc] = dc[b];
        if (last) {
            bits.putCode(codeFor("dct_coefficients_zero", "ESC"));
            bits.put(62, 6); // run up to scan position 63
            bits.put(static_cast<uint32_t>(last) & 0xFFF, 12);
        }
        if (current.type != 4)
            bits.putCode(codeFor("dct_coefficients_zero", "EOB"));
    }
    if (current.type == 4)
        bits.put(1, 1); // end_of_macroblock
}

void StreamWriter::escape(int run, int level)
{
    bits.putCode(codeFor("dct_coefficients_zero", "ESC"));
    bits.put(static_cast<uint32_t>(run), 6);
    bits.put(static_cast<uint32_t>(level) & 0xFFF, 12);
}

void StreamWriter::intraMacroblock(int mbx, int mby, const std::vector<BlockCoefficients>& blocks,
                                   StreamWriter* partitionOne, bool newSlice)
{
    const int breakpoint = sequence.priorityBreakpoint;
    const int items = breakpoint >= 64 ? breakpoint - 63 : 0;
    if (newSlice) {
        sliceStart(mby, 8);
        if (partitionOne)
            partitionOne->sliceStart(mby, 8);
    }
    (partitionOne && breakpoint == 0 ? partitionOne : this)->addressIncrement(newSlice ? mbx : 0);
    StreamWriter* header = partitionOne && breakpoint < 2 ? partitionOne : this;
    header->bits.putCode(codeFor("macroblock_type I", "intra"));
    if (current.structure == 3 && !current.framePredFrameDct)
        header->bits.put(0, 1); // dct_type: frame
    for (size_t b = 0; b < blocks.size(); ++b) {
        const BlockCoefficients& block = blocks[b];
        const int count = 1 + int(block.pairs.size());
        const int cc = b < 4 ? 0 : 1 + int(b & 1);
        auto target = [&](int item) { return partitionOne && (breakpoint < 2 || item >= items) ? partitionOne : this; };
        target(0)->dcDifferential(cc, block.dc - dcPredictor[cc]);
        dcPredictor[cc] = block.dc;
        for (size_t k = 0; k < block.pairs.size(); ++k)
            target(int(k) + 1)->escape(block.pairs[k].first, block.pairs[k].second);
        target(count)->bits.putCode(codeFor("dct_coefficients_zero", "EOB"));
    }
}

void StreamWriter::snrMacroblock(int mbx, int mby, int quantiserScaleCode, const std::vector<BlockCoefficients>& blocks,
                                 int previousMbx)
{
    if (previousMbx < 0)
        slice(mbx, mby, quantiserScaleCode);
    else
        addressIncrement(mbx - previousMbx - 1);
    bits.putCode(codeFor("macroblock_type SNR", "pattern"));
    if (current.structure == 3 && !current.framePredFrameDct)
        bits.put(0, 1); // dct_type: frame
    int pattern = 0;
    for (size_t b = 0; b < blocks.size(); ++b)
        pattern |= blocks[b].pairs.empty() ? 0 : 1 << (blocks.size() - 1 - b);
    bits.putCode(codeFor("coded_block_pattern", std::to_string(pattern)));
    for (const BlockCoefficients& block : blocks) {
        if (block.pairs.empty())
            continue;
        for (const auto& [run, level] : block.pairs)
            escape(run, level);
        bits.putCode(codeFor("dct_coefficients_zero", "EOB"));
    }
}

void StreamWriter::spatialMacroblock(int mbx, int mby)
{
    slice(mbx, mby);
    bits.putCode(codeFor("macroblock_type I spatial", "spatial"));
}

void StreamWriter::motionComponent(int delta, int rSize)
{
    if (delta == 0) {
        bits.putCode(codeFor("motion_code", "0"));
        return;
    }
    int magnitude = std::abs(delta);
    if (magnitude > (16 << rSize))
        throw std::runtime_error("vector out of the f_code range");
    int code = ((magnitude - 1) >> rSize) + 1;
    bits.putCode(codeFor("motion_code", std::to_string(delta > 0 ? code : -code)));
    if (rSize > 0)
        bits.put(static_cast<uint32_t>((magnitude - 1) & ((1 << rSize) - 1)), rSize);
}

void StreamWriter::predictedMacroblock(int mbx, int mby, const Motion& motion)
{
    slice(mbx, mby);
    bits.putCode(codeFor(current.type == 2 ? "macroblock_type P" : "macroblock_type B", motion.type));
    const bool forward = motion.type.find("forward") != std::string::npos;
    const bool backward = motion.type.find("backward") != std::string::npos;
    const bool framePicture = current.structure == 3;
    if (sequence.mpeg2 && (!framePicture || !current.framePredFrameDct))
        bits.put(static_cast<uint32_t>(motion.motionType), 2);

    const bool dualPrime = motion.motionType == 3;
    const int count = framePicture ? (motion.motionType == 1 ? 2 : 1) : (motion.motionType == 2 ? 2 : 1);
    const bool fieldFormat = !framePicture || motion.motionType != 2;
    for (int s = 0; s < 2; ++s) {
        if (s == 0 ? !forward : !backward)
            continue;
        const int horizontalR = current.fCode[s][0] - 1;
        const int verticalR = current.fCode[s][1] - 1;
        if (!sequence.mpeg2) {
            motionComponent(motion.vector[0][s][0], horizontalR);
            motionComponent(motion.vector[0][s][1], horizontalR);
            continue;
        }
        for (int r = 0; r < count; ++r) {
            if (count == 2 || (fieldFormat && !dualPrime))
                bits.put(static_cast<uint32_t>(motion.fieldSelect[r][s]), 1);
            motionComponent(motion.vector[r][s][0], horizontalR);
            if (dualPrime)
                bits.putCode(codeFor("dmvector", std::to_string(motion.dmvector[0])));
            motionComponent(motion.vector[r][s][1], verticalR);
            if (dualPrime)
                bits.putCode(codeFor("dmvector", std::to_string(motion.dmvector[1])));
        }
    }
}

void StreamWriter::sequenceEnd()
{
    bits.startCode(0xB7);
}

std::vector<uint8_t> StreamWriter::bytes()
{
    return bits.bytes();
}

} // namespace VideoTest
