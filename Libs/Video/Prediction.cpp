// Reconstruction of decoded macroblocks: motion-compensated prediction from
// the reference stores and the inverse DCT added into the current store.

#include "Libs/Video/Idct.h"
#include "Libs/Video/PictureDecoder.h"
#include "Libs/Video/VlcTables.h"

#include <algorithm>
#include <cstring>

namespace Vostrel::Video {

namespace {

// Mode: bit 0 half-sample horizontally, bit 1 vertically.
template <int W, bool Average, int Mode>
void predictionKernel(const uint8_t* __restrict src, int srcStride, uint8_t* __restrict dst, int dstStride, int h)
{
    for (int y = 0; y < h; ++y, src += srcStride, dst += dstStride)
        for (int i = 0; i < W; ++i) {
            int value;
            if (Mode == 0)
                value = src[i];
            else if (Mode == 1)
                value = (src[i] + src[i + 1] + 1) >> 1;
            else if (Mode == 2)
                value = (src[i] + src[i + srcStride] + 1) >> 1;
            else
                value = (src[i] + src[i + 1] + src[i + srcStride] + src[i + srcStride + 1] + 2) >> 2;
            dst[i] = static_cast<uint8_t>(Average ? (dst[i] + value + 1) >> 1 : value);
        }
}

using Kernel = void (*)(const uint8_t*, int, uint8_t*, int, int);

template <int W, bool Average>
constexpr Kernel kernelsByMode[4] = {predictionKernel<W, Average, 0>, predictionKernel<W, Average, 1>,
                                     predictionKernel<W, Average, 2>, predictionKernel<W, Average, 3>};

// One plane's part of a prediction: a w x h block at half-sample position
// (x + mvx / 2, y + mvy / 2) of the reference, copied or averaged into dst.
void predictPlaneBlock(const uint8_t* reference, int referenceStride, int referenceWidth, int referenceHeight,
                       uint8_t* dst, int dstStride, int x, int y, int w, int h, int mvx, int mvy, bool average)
{
    int halfX = mvx & 1;
    int halfY = mvy & 1;
    int sx = x + (mvx >> 1);
    int sy = y + (mvy >> 1);
    // Vectors of damaged streams may point anywhere; the read area is kept
    // inside the reference, which legal vectors never leave.
    sx = std::max(sx, 0);
    if (sx + w + halfX > referenceWidth) {
        sx = referenceWidth - w - halfX;
        if (sx < 0) {
            sx = 0;
            halfX = 0;
        }
    }
    sy = std::max(sy, 0);
    if (sy + h + halfY > referenceHeight) {
        sy = referenceHeight - h - halfY;
        if (sy < 0) {
            sy = 0;
            halfY = 0;
        }
    }
    const uint8_t* src = reference + sy * referenceStride + sx;
    const int mode = halfX | halfY << 1;
    const Kernel kernel = w == 16 ? (average ? kernelsByMode<16, true> : kernelsByMode<16, false>)[mode]
                                  : (average ? kernelsByMode<8, true> : kernelsByMode<8, false>)[mode];
    kernel(src, referenceStride, dst, dstStride, h);
}

inline int roundHalfAwayFromZero(int twice)
{
    return (twice + (twice > 0)) >> 1;
}

} // namespace

void PictureDecoder::dualPrimeVectors(int mvx, int mvy, const int dmvector[2], int pictureStructure,
                                      int topFieldFirst, int derived[2][2])
{
    if (pictureStructure == kFramePicture) {
        // Field distances 1 and 3 between the fields of the two frames.
        int nearX = roundHalfAwayFromZero(mvx), nearY = roundHalfAwayFromZero(mvy);
        int farX = roundHalfAwayFromZero(3 * mvx), farY = roundHalfAwayFromZero(3 * mvy);
        if (topFieldFirst) {
            derived[0][0] = nearX + dmvector[0];
            derived[0][1] = nearY + dmvector[1] - 1;
            derived[1][0] = farX + dmvector[0];
            derived[1][1] = farY + dmvector[1] + 1;
        } else {
            derived[0][0] = farX + dmvector[0];
            derived[0][1] = farY + dmvector[1] - 1;
            derived[1][0] = nearX + dmvector[0];
            derived[1][1] = nearY + dmvector[1] + 1;
        }
    } else {
        derived[0][0] = roundHalfAwayFromZero(mvx) + dmvector[0];
        derived[0][1] = roundHalfAwayFromZero(mvy) + dmvector[1] + (pictureStructure == kTopField ? -1 : 1);
        derived[1][0] = derived[0][0];
        derived[1][1] = derived[0][1];
    }
}

PictureDecoder::PlaneView PictureDecoder::view(FrameStore& store, int plane, int field) const
{
    const int width = geometry.planeWidth(plane);
    const int height = geometry.planeHeight(plane);
    uint8_t* data = store.planes[plane].data();
    if (field < 0)
        return {data, width, width, height};
    return {data + field * width, 2 * width, width, height / 2};
}

void PictureDecoder::predict(const FrameStore& reference, int referenceField, int currentField, int bx, int by,
                             int lumaHeight, int mvx, int mvy, bool average)
{
    for (int plane = 0; plane < 3; ++plane) {
        int x = bx, y = by, w = 16, h = lumaHeight, vx = mvx, vy = mvy;
        if (plane > 0) {
            // Chroma vectors: the luma ones halved towards zero.
            if (geometry.chromaFormat != kChroma444) {
                x /= 2;
                w = 8;
                vx /= 2;
            }
            if (geometry.chromaFormat == kChroma420) {
                y /= 2;
                h /= 2;
                vy /= 2;
            }
        }
        PlaneView source = view(const_cast<FrameStore&>(reference), plane, referenceField);
        PlaneView target = view(*current, plane, currentField);
        predictPlaneBlock(source.data, source.stride, source.width, source.height,
                          target.data + y * target.stride + x, target.stride, x, y, w, h, vx, vy, average);
    }
}

const FrameStore& PictureDecoder::fieldReference(int direction, int fieldSelect) const
{
    // The second field of a P picture may predict from the first field of
    // the frame being decoded.
    if (direction == 0 && pictureType == kPPicture && secondField && fieldSelect != parity)
        return *current;
    return direction == 0 ? *forwardReference : *backwardReference;
}

void PictureDecoder::formPredictions(int bx, int by, const Macroblock& mb)
{
    const bool forward = (mb.type & kMacroblockForward) || pictureType == kPPicture;
    const bool backward = mb.type & kMacroblockBackward;
    for (int s = 0; s < 2; ++s) {
        if (s == 0 ? !forward : !backward)
            continue;
        const bool average = s == 1 && forward;
        const FrameStore& frame = s == 0 ? *forwardReference : *backwardReference;
        const int(&vectors)[2][2] = {{pmv[0][s][0], pmv[0][s][1]}, {pmv[1][s][0], pmv[1][s][1]}};
        if (structure == kFramePicture) {
            if (mb.motionType == kFrameMotion) {
                predict(frame, -1, -1, bx, by, 16, vectors[0][0], vectors[0][1], average);
            } else if (mb.motionType == kFieldMotion) {
                predict(frame, mb.fieldSelect[0][s], 0, bx, by / 2, 8, vectors[0][0], vectors[0][1] >> 1, average);
                predict(frame, mb.fieldSelect[1][s], 1, bx, by / 2, 8, vectors[1][0], vectors[1][1] >> 1, average);
            } else if (mb.motionType == kDualPrimeMotion && s == 0) {
                const int mvx = vectors[0][0], mvy = vectors[0][1] >> 1;
                int derived[2][2];
                dualPrimeVectors(mvx, mvy, mb.dmvector, structure, parameters.topFieldFirst, derived);
                predict(frame, 0, 0, bx, by / 2, 8, mvx, mvy, false);
                predict(frame, 1, 0, bx, by / 2, 8, derived[0][0], derived[0][1], true);
                predict(frame, 1, 1, bx, by / 2, 8, mvx, mvy, false);
                predict(frame, 0, 1, bx, by / 2, 8, derived[1][0], derived[1][1], true);
            } else {
                messages.notice("invalid motion_type\n");
            }
        } else {
            if (mb.motionType == kFieldMotion) {
                const int select = mb.fieldSelect[0][s];
                predict(fieldReference(s, select), select, parity, bx, by, 16, vectors[0][0], vectors[0][1], average);
            } else if (mb.motionType == k16x8Motion) {
                const int upper = mb.fieldSelect[0][s], lower = mb.fieldSelect[1][s];
                predict(fieldReference(s, upper), upper, parity, bx, by, 8, vectors[0][0], vectors[0][1], average);
                predict(fieldReference(s, lower), lower, parity, bx, by + 8, 8, vectors[1][0], vectors[1][1],
                        average);
            } else if (mb.motionType == kDualPrimeMotion && s == 0) {
                int derived[2][2];
                dualPrimeVectors(vectors[0][0], vectors[0][1], mb.dmvector, structure, parameters.topFieldFirst,
                                 derived);
                predict(fieldReference(0, parity), parity, parity, bx, by, 16, vectors[0][0], vectors[0][1], false);
                predict(fieldReference(0, 1 - parity), 1 - parity, parity, bx, by, 16, derived[0][0], derived[0][1],
                        true);
            } else {
                messages.notice("invalid motion_type\n");
            }
        }
    }
}

void PictureDecoder::addBlock(int comp, int bx, int by, int dctType, bool intra, int16_t* block)
{
    const bool framePicture = structure == kFramePicture;
    const int field = framePicture ? -1 : parity;
    uint8_t* dst;
    int stride;
    if (comp < 4) {
        PlaneView v = view(*current, 0, field);
        const int x = bx + (comp & 1) * 8;
        if (framePicture && dctType) {
            dst = v.data + (by + (comp >> 1)) * v.stride + x;
            stride = 2 * v.stride;
        } else {
            dst = v.data + (by + (comp >> 1) * 8) * v.stride + x;
            stride = v.stride;
        }
    } else {
        PlaneView v = view(*current, 1 + (comp & 1), field);
        int x = geometry.chromaFormat == kChroma444 ? bx : bx / 2;
        int y = geometry.chromaFormat == kChroma420 ? by / 2 : by;
        stride = v.stride;
        if (geometry.chromaFormat == kChroma420) {
            dst = v.data + y * v.stride + x;
        } else {
            // Blocks 4, 5 top left; 6, 7 below; 8 to 11 to their right (4:4:4).
            x += (comp & 8) ? 8 : 0;
            if (framePicture && dctType) {
                dst = v.data + (y + ((comp & 2) >> 1)) * v.stride + x;
                stride = 2 * v.stride;
            } else {
                dst = v.data + (y + ((comp & 2) ? 8 : 0)) * v.stride + x;
            }
        }
    }

    if (doubleIdct)
        Vostrel::Video::doubleIdct(block);
    else
        fastIdct(block);

    if (intra) {
        for (int row = 0; row < 8; ++row, dst += stride)
            for (int i = 0; i < 8; ++i)
                dst[i] = static_cast<uint8_t>(std::clamp(block[8 * row + i] + 128, 0, 255));
    } else {
        for (int row = 0; row < 8; ++row, dst += stride)
            for (int i = 0; i < 8; ++i)
                dst[i] = static_cast<uint8_t>(std::clamp(dst[i] + block[8 * row + i], 0, 255));
    }
    std::memset(block, 0, 64 * sizeof(int16_t));
}

void PictureDecoder::reconstruct(int address, const Macroblock& mb)
{
    const int bx = 16 * (address % geometry.mbWidth);
    const int by = 16 * (address / geometry.mbWidth);
    const bool intra = mb.type & kMacroblockIntra;
    if (!intra)
        formPredictions(bx, by, mb);
    if (mb.type & kMacroblockSpatial)
        spatialPrediction(bx, by);
    // Blocks that are not coded add nothing: they are zero, and the mismatch
    // control of a zero block (coefficient 63 = 1) transforms to zero too.
    const int blockCount = geometry.blockCount;
    for (int comp = 0; comp < blockCount; ++comp)
        if (intra || (mb.codedBlockPattern & (1 << (blockCount - 1 - comp))))
            addBlock(comp, bx, by, mb.dctType, intra, blocks[comp]);
}

} // namespace Vostrel::Video
