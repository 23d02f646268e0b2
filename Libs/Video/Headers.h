#pragma once

// Sequence, group of pictures, picture and slice headers with their
// extensions: they fill the decoding parameters the picture layer reads.

#include "Libs/Video/BitInput.h"
#include "Libs/Video/Messages.h"

namespace Vostrel::Video {

enum PictureCodingType { kIPicture = 1, kPPicture = 2, kBPicture = 3, kDPicture = 4 };
enum PictureStructure { kTopField = 1, kBottomField = 2, kFramePicture = 3 };
enum ChromaFormat { kChroma420 = 1, kChroma422 = 2, kChroma444 = 3 };
enum ScalableMode { kNotScalable = 0, kDataPartitioning = 1, kSpatialScalable = 2, kSnrScalable = 3, kTemporalScalable = 4 };

struct Parameters {
    // Sequence header and sequence extension.
    int horizontalSize = 0;
    int verticalSize = 0;
    int aspectRatioInformation = 0;
    int frameRateCode = 0;
    int bitRateValue = 0;
    int vbvBufferSize = 0;
    int constrainedParametersFlag = 0;
    int profile = 0;
    int level = 0;
    int progressiveSequence = 0;
    int chromaFormat = kChroma420;
    int lowDelay = 0;
    int frameRateExtensionN = 0;
    int frameRateExtensionD = 0;
    // Sequence display extension.
    int videoFormat = 0;
    int colorPrimaries = 0;
    int transferCharacteristics = 0;
    int matrixCoefficients = 0;
    int displayHorizontalSize = 0;
    int displayVerticalSize = 0;
    // Sequence scalable extension.
    int scalableMode = kNotScalable;
    int layerId = 0;
    int lowerLayerPredictionHorizontalSize = 0;
    int lowerLayerPredictionVerticalSize = 0;
    int horizontalSubsamplingFactorM = 0;
    int horizontalSubsamplingFactorN = 0;
    int verticalSubsamplingFactorM = 0;
    int verticalSubsamplingFactorN = 0;

    // Per layer.
    bool mpeg2 = false;
    int intraQuantiserMatrix[64];
    int nonIntraQuantiserMatrix[64];
    int chromaIntraQuantiserMatrix[64];
    int chromaNonIntraQuantiserMatrix[64];
    int loadIntraQuantiserMatrix = 0;
    int loadNonIntraQuantiserMatrix = 0;
    int loadChromaIntraQuantiserMatrix = 0;
    int loadChromaNonIntraQuantiserMatrix = 0;
    int qScaleType = 0;
    int alternateScan = 0;
    int quantizerScale = 0;
    int priorityBreakpoint = 0;
    bool pictureSpatialScalable = false;

    // Group of pictures header.
    int dropFlag = 0;
    int hour = 0;
    int minute = 0;
    int sec = 0;
    int frame = 0;
    int closedGop = 0;
    int brokenLink = 0;

    // Picture header and picture coding extension.
    int temporalReference = 0;
    int pictureCodingType = 0;
    int vbvDelay = 0;
    int fullPelForwardVector = 0;
    int forwardFCode = 0;
    int fullPelBackwardVector = 0;
    int backwardFCode = 0;
    int fCode[2][2] = {{0, 0}, {0, 0}};
    int intraDcPrecision = 0;
    int pictureStructure = kFramePicture;
    int topFieldFirst = 0;
    int framePredFrameDct = 1;
    int concealmentMotionVectors = 0;
    int intraVlcFormat = 0;
    int repeatFirstField = 0;
    int chroma420Type = 0;
    int progressiveFrame = 1;
    int compositeDisplayFlag = 0;
    int vAxis = 0;
    int fieldSequence = 0;
    int subCarrier = 0;
    int burstAmplitude = 0;
    int subCarrierPhase = 0;
    int frameCentreHorizontalOffset[3] = {0, 0, 0};
    int frameCentreVerticalOffset[3] = {0, 0, 0};
    // Picture spatial scalable extension.
    int lowerLayerTemporalReference = 0;
    int lowerLayerHorizontalOffset = 0;
    int lowerLayerVerticalOffset = 0;
    int spatialTemporalWeightCodeTableIndex = 0;
    int lowerLayerProgressiveFrame = 0;
    int lowerLayerDeinterlacedFieldSelect = 0;
    // Copyright extension.
    int copyrightFlag = 0;
    int copyrightIdentifier = 0;
    int originalOrCopy = 0;
    int copyrightNumber1 = 0;
    int copyrightNumber2 = 0;
    int copyrightNumber3 = 0;

    // Frame number in display order over the whole stream (used by
    // two-layer decoding only).
    int trueFrameNumber = 0;

    Parameters();
};

class HeaderParser {
public:
    HeaderParser(BitInput& input, Parameters& parameters, const Messages& messages)
        : input(input), parameters(parameters), messages(messages) {}

    // Reads headers up to the next picture header (1) or sequence end (0).
    int nextHeader();
    // After a slice start code; returns slice_vertical_position_extension.
    int sliceHeader();

private:
    void sequenceHeader();
    void groupOfPicturesHeader();
    void pictureHeader();
    void extensionAndUserData();
    void sequenceExtension();
    void sequenceDisplayExtension();
    void quantMatrixExtension();
    void sequenceScalableExtension();
    void pictureDisplayExtension();
    void pictureCodingExtension();
    void pictureSpatialScalableExtension();
    void copyrightExtension();
    void readMatrix(int* matrix);
    void updateTrueFrameNumber();

    BitInput& input;
    Parameters& parameters;
    const Messages& messages;

    int temporalReferenceBase = 0;
    int highestTrueFrameNumber = -1;
    int previousReferenceTemporalReference = -1;
    bool groupReset = false;
    bool temporalReferenceWrap = false;
};

} // namespace Vostrel::Video
