#pragma once

// The picture data layer: slices, macroblocks, motion vectors and coefficient
// blocks, and their reconstruction into the frame stores by motion-compensated
// prediction and the inverse DCT.

#include "Libs/Video/BitInput.h"
#include "Libs/Video/FrameStores.h"
#include "Libs/Video/Headers.h"
#include "Libs/Video/Messages.h"

#include <functional>

namespace Vostrel::Video {

class PictureDecoder {
public:
    PictureDecoder(BitInput& input, Parameters& parameters, HeaderParser& headers, const Messages& messages)
        : input(input), parameters(parameters), headers(headers), messages(messages) {}

    // Selects the store the picture goes into (exchanging the references for
    // I, P and D pictures unless this is the second field of a pair) and
    // decodes the picture's slices into it. Damaged slices are abandoned; the
    // macroblocks they do not reach keep the store's previous contents.
    void decodePicture(FrameStores& stores, bool secondField);
    void setDoubleIdct(bool use) { doubleIdct = use; }
    // Called with the store a picture goes into, before its slices.
    void setPictureHook(std::function<void(FrameStore&)> hook) { pictureHook = std::move(hook); }

    // Two layers. SNR scalability: the enhancement layer's decoder, whose
    // macroblocks refine this one's coefficients; null for one layer.
    void setSnrLayer(PictureDecoder* enhancement);
    // Data partitioning: partition one's input and headers; null for one layer.
    void setPartitionOne(BitInput* input, HeaderParser* headers);
    // Spatial scalability: the up-sampled lower layer picture that the
    // picture's compatible macroblocks are predicted from; null for none.
    void setLowerLayer(const FrameStore* upsampled) { lowerLayer = upsampled; }
    // The SNR enhancement layer's decoder: the picture its macroblocks refine.
    void beginSnrPicture(const Geometry& geometry);

    // Dual-prime derived vectors (half samples, field lines) for a transmitted
    // field vector: [0] predicts the top field (or, in a field picture, the
    // current field) from the opposite parity, [1] the bottom field.
    static void dualPrimeVectors(int mvx, int mvy, const int dmvector[2], int pictureStructure,
                                 int topFieldFirst, int derived[2][2]);

private:
    enum MotionVectorFormat { kFieldFormat = 0, kFrameFormat = 1 };
    // Motion types as coded; 2 is frame prediction in frame pictures and 16x8
    // prediction in field pictures.
    static constexpr int kFieldMotion = 1;
    static constexpr int kFrameMotion = 2;
    static constexpr int k16x8Motion = 2;
    static constexpr int kDualPrimeMotion = 3;

    struct Macroblock {
        int type = 0;
        int motionType = 0;
        int motionVectorCount = 1;
        int mvFormat = kFrameFormat;
        bool dualPrime = false;
        int fieldSelect[2][2] = {{0, 0}, {0, 0}};
        int dmvector[2] = {0, 0};
        int dctType = 0;
        int codedBlockPattern = 0;
    };

    struct PlaneView {
        uint8_t* data;
        int stride;
        int width;
        int height;
    };

    bool decodeSlice();
    int addressIncrement();
    void decodeMacroblock(Macroblock& mb);
    void skippedMacroblock(Macroblock& mb);
    void macroblockModes(Macroblock& mb);
    void motionVectors(Macroblock& mb, int s);
    void motionVector(int* vector, int* dmvector, int hRSize, int vRSize, bool dualPrime, bool halveVertical,
                      bool fullPel);
    void decodeMotionComponent(int& predictor, int rSize, bool fullPel);
    int motionCode();
    void resetDcPredictors();
    void resetMotionPredictors();

    template <bool Mpeg2, bool Intra>
    bool decodeBlock(int comp, int16_t* block);
    bool intraDc(int cc, int& predictor);

    // Two layers (TwoLayers.cpp).
    int snrMacroblock(int address);
    bool startSnrSlice();
    bool decodeSnrMacroblock(int& codedBlockPattern);
    void combineSnr(int address, Macroblock& mb);
    // Returns the slice's priority_breakpoint.
    int syncPartitionOne(uint32_t sliceCode);
    bool enterPartitionOne();
    void leavePartitionOne();

    void spatialPrediction(int bx, int by);
    void reconstruct(int address, const Macroblock& mb);
    void formPredictions(int bx, int by, const Macroblock& mb);
    const FrameStore& fieldReference(int direction, int fieldSelect) const;
    void predict(const FrameStore& reference, int referenceField, int currentField, int bx, int by, int lumaHeight,
                 int mvx, int mvy, bool average);
    PlaneView view(FrameStore& store, int plane, int field) const;
    void addBlock(int comp, int bx, int by, int dctType, bool intra, int16_t* block);

    BitInput& input;
    Parameters& parameters;
    HeaderParser& headers;
    const Messages& messages;
    bool doubleIdct = false;
    std::function<void(FrameStore&)> pictureHook;

    // Two layers.
    PictureDecoder* snrLayer = nullptr;
    const FrameStore* lowerLayer = nullptr;
    bool mismatchControl = true; // off while coefficients of two layers are summed
    bool snrInSlice = false;
    bool snrEnded = false;
    int snrAddress = 0;
    BitInput* partitionOne = nullptr;
    HeaderParser* partitionOneHeaders = nullptr;
    bool partitionOneMissing = false;
    bool inPartitionOne = false;
    int partitionItems = -1; // block items (DC, run-level pairs) partition zero carries; -1: one partition

    // The picture being decoded.
    Geometry geometry;
    FrameStore* current = nullptr;
    FrameStore* forwardReference = nullptr;
    FrameStore* backwardReference = nullptr;
    int pictureType = 0;
    int structure = kFramePicture;
    int parity = 0; // of the current field: 0 top, 1 bottom
    bool secondField = false;
    bool mpeg2 = false;
    int macroblockCount = 0;
    const uint8_t* scan = nullptr;

    // Per slice and macroblock.
    bool fault = false;
    int dcPredictor[3] = {0, 0, 0};
    int pmv[2][2][2] = {{{0, 0}, {0, 0}}, {{0, 0}, {0, 0}}}; // [vector][direction][component]
    int previousType = 0;
    alignas(16) int16_t blocks[12][64] = {};
};

} // namespace Vostrel::Video
