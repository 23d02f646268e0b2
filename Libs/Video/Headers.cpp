#include "Libs/Video/Headers.h"

#include "Libs/Common/Exception.h"
#include "Libs/Video/VlcTables.h"

#include <algorithm>

namespace Vostrel::Video {

namespace {

int signExtend(uint32_t value, int bits)
{
    int shift = 32 - bits;
    return static_cast<int32_t>(value << shift) >> shift;
}

std::string hex8(uint32_t value)
{
    char text[16];
    std::snprintf(text, sizeof text, "%08x", value);
    return text;
}

} // namespace

Parameters::Parameters()
{
    for (int i = 0; i < 64; ++i) {
        intraQuantiserMatrix[i] = chromaIntraQuantiserMatrix[i] = kDefaultIntraQuantiserMatrix[i];
        nonIntraQuantiserMatrix[i] = chromaNonIntraQuantiserMatrix[i] = 16;
    }
}

int HeaderParser::nextHeader()
{
    for (;;) {
        input.nextStartCode();
        uint32_t code = input.getBits(32);
        switch (code) {
        case 0x000001B3:
            sequenceHeader();
            break;
        case 0x000001B8:
            groupOfPicturesHeader();
            break;
        case 0x00000100:
            pictureHeader();
            return 1;
        case 0x000001B7:
            return 0;
        default:
            messages.warning("Unexpected next_start_code " + hex8(code) + " (ignored)\n");
            break;
        }
    }
}

void HeaderParser::sequenceHeader()
{
    Parameters& p = parameters;
    p.horizontalSize = static_cast<int>(input.getBits(12));
    p.verticalSize = static_cast<int>(input.getBits(12));
    p.aspectRatioInformation = static_cast<int>(input.getBits(4));
    p.frameRateCode = static_cast<int>(input.getBits(4));
    p.bitRateValue = static_cast<int>(input.getBits(18));
    input.skipBits(1); // marker
    p.vbvBufferSize = static_cast<int>(input.getBits(10));
    p.constrainedParametersFlag = static_cast<int>(input.getBit());

    p.loadIntraQuantiserMatrix = static_cast<int>(input.getBit());
    if (p.loadIntraQuantiserMatrix)
        readMatrix(p.intraQuantiserMatrix);
    else
        for (int i = 0; i < 64; ++i)
            p.intraQuantiserMatrix[i] = kDefaultIntraQuantiserMatrix[i];

    p.loadNonIntraQuantiserMatrix = static_cast<int>(input.getBit());
    if (p.loadNonIntraQuantiserMatrix)
        readMatrix(p.nonIntraQuantiserMatrix);
    else
        std::fill(p.nonIntraQuantiserMatrix, p.nonIntraQuantiserMatrix + 64, 16);

    std::copy(p.intraQuantiserMatrix, p.intraQuantiserMatrix + 64, p.chromaIntraQuantiserMatrix);
    std::copy(p.nonIntraQuantiserMatrix, p.nonIntraQuantiserMatrix + 64, p.chromaNonIntraQuantiserMatrix);

    extensionAndUserData();
}

void HeaderParser::readMatrix(int* matrix)
{
    for (int i = 0; i < 64; ++i)
        matrix[kZigZagScan[i]] = static_cast<int>(input.getBits(8));
}

void HeaderParser::groupOfPicturesHeader()
{
    Parameters& p = parameters;
    temporalReferenceBase = highestTrueFrameNumber + 1;
    groupReset = true;

    p.dropFlag = static_cast<int>(input.getBit());
    p.hour = static_cast<int>(input.getBits(5));
    p.minute = static_cast<int>(input.getBits(6));
    input.skipBits(1); // marker
    p.sec = static_cast<int>(input.getBits(6));
    p.frame = static_cast<int>(input.getBits(6));
    p.closedGop = static_cast<int>(input.getBit());
    p.brokenLink = static_cast<int>(input.getBit());

    extensionAndUserData();
}

void HeaderParser::pictureHeader()
{
    Parameters& p = parameters;
    p.pictureSpatialScalable = false;
    p.temporalReference = static_cast<int>(input.getBits(10));
    p.pictureCodingType = static_cast<int>(input.getBits(3));
    p.vbvDelay = static_cast<int>(input.getBits(16));
    if (p.pictureCodingType == kPPicture || p.pictureCodingType == kBPicture) {
        p.fullPelForwardVector = static_cast<int>(input.getBit());
        p.forwardFCode = static_cast<int>(input.getBits(3));
    }
    if (p.pictureCodingType == kBPicture) {
        p.fullPelBackwardVector = static_cast<int>(input.getBit());
        p.backwardFCode = static_cast<int>(input.getBits(3));
    }
    while (input.getBit())
        input.skipBits(8); // extra_information_picture

    extensionAndUserData();
    updateTrueFrameNumber();
}

void HeaderParser::updateTrueFrameNumber()
{
    Parameters& p = parameters;
    if (p.pictureCodingType != kBPicture && p.temporalReference != previousReferenceTemporalReference) {
        if (temporalReferenceWrap) {
            temporalReferenceBase += 1024;
            temporalReferenceWrap = false;
        }
        if (p.temporalReference < previousReferenceTemporalReference && !groupReset)
            temporalReferenceWrap = true;
        previousReferenceTemporalReference = p.temporalReference;
        groupReset = false;
    }
    p.trueFrameNumber = temporalReferenceBase + p.temporalReference;
    if (temporalReferenceWrap && p.temporalReference <= previousReferenceTemporalReference)
        p.trueFrameNumber += 1024;
    highestTrueFrameNumber = std::max(highestTrueFrameNumber, p.trueFrameNumber);
}

void HeaderParser::extensionAndUserData()
{
    input.nextStartCode();
    for (;;) {
        uint32_t code = input.showWord();
        if (code == 0x000001B5) {
            input.skipBits(32);
            int id = static_cast<int>(input.getBits(4));
            switch (id) {
            case 1: sequenceExtension(); break;
            case 2: sequenceDisplayExtension(); break;
            case 3: quantMatrixExtension(); break;
            case 4: copyrightExtension(); break;
            case 5: sequenceScalableExtension(); break;
            case 7: pictureDisplayExtension(); break;
            case 8: pictureCodingExtension(); break;
            case 9: pictureSpatialScalableExtension(); break;
            case 10: VOSTREL_THROW("temporal scalability not supported");
            default:
                messages.error("reserved extension start code ID " + std::to_string(id) + "\n");
                break;
            }
        } else if (code == 0x000001B2) {
            input.skipBits(32); // user data: its bytes go with the next search
        } else {
            return;
        }
        input.nextStartCode();
    }
}

void HeaderParser::sequenceExtension()
{
    Parameters& p = parameters;
    p.mpeg2 = true;
    p.scalableMode = kNotScalable;
    p.layerId = 0;

    int profileAndLevel = static_cast<int>(input.getBits(8));
    if (profileAndLevel & 0x80) {
        if ((profileAndLevel & 0x0F) == 5) {
            p.profile = 133;
            p.level = 8;
        }
    } else {
        p.profile = profileAndLevel >> 4;
        p.level = profileAndLevel & 0x0F;
    }
    p.progressiveSequence = static_cast<int>(input.getBit());
    p.chromaFormat = static_cast<int>(input.getBits(2));
    int horizontalExtension = static_cast<int>(input.getBits(2));
    int verticalExtension = static_cast<int>(input.getBits(2));
    int bitRateExtension = static_cast<int>(input.getBits(12));
    input.skipBits(1); // marker
    int vbvBufferSizeExtension = static_cast<int>(input.getBits(8));
    p.lowDelay = static_cast<int>(input.getBit());
    p.frameRateExtensionN = static_cast<int>(input.getBits(2));
    p.frameRateExtensionD = static_cast<int>(input.getBits(5));

    p.horizontalSize = (horizontalExtension << 12) | (p.horizontalSize & 0x0FFF);
    p.verticalSize = (verticalExtension << 12) | (p.verticalSize & 0x0FFF);
    p.bitRateValue = (bitRateExtension << 18) | (p.bitRateValue & 0x3FFFF);
    p.vbvBufferSize = (vbvBufferSizeExtension << 10) | (p.vbvBufferSize & 0x3FF);
}

void HeaderParser::sequenceDisplayExtension()
{
    Parameters& p = parameters;
    p.videoFormat = static_cast<int>(input.getBits(3));
    if (input.getBit()) {
        p.colorPrimaries = static_cast<int>(input.getBits(8));
        p.transferCharacteristics = static_cast<int>(input.getBits(8));
        p.matrixCoefficients = static_cast<int>(input.getBits(8));
    }
    p.displayHorizontalSize = static_cast<int>(input.getBits(14));
    input.skipBits(1); // marker
    p.displayVerticalSize = static_cast<int>(input.getBits(14));
}

void HeaderParser::quantMatrixExtension()
{
    Parameters& p = parameters;
    p.loadIntraQuantiserMatrix = static_cast<int>(input.getBit());
    if (p.loadIntraQuantiserMatrix) {
        readMatrix(p.intraQuantiserMatrix);
        std::copy(p.intraQuantiserMatrix, p.intraQuantiserMatrix + 64, p.chromaIntraQuantiserMatrix);
    }
    p.loadNonIntraQuantiserMatrix = static_cast<int>(input.getBit());
    if (p.loadNonIntraQuantiserMatrix) {
        readMatrix(p.nonIntraQuantiserMatrix);
        std::copy(p.nonIntraQuantiserMatrix, p.nonIntraQuantiserMatrix + 64, p.chromaNonIntraQuantiserMatrix);
    }
    p.loadChromaIntraQuantiserMatrix = static_cast<int>(input.getBit());
    if (p.loadChromaIntraQuantiserMatrix)
        readMatrix(p.chromaIntraQuantiserMatrix);
    p.loadChromaNonIntraQuantiserMatrix = static_cast<int>(input.getBit());
    if (p.loadChromaNonIntraQuantiserMatrix)
        readMatrix(p.chromaNonIntraQuantiserMatrix);
}

void HeaderParser::sequenceScalableExtension()
{
    Parameters& p = parameters;
    p.scalableMode = static_cast<int>(input.getBits(2)) + 1;
    p.layerId = static_cast<int>(input.getBits(4));
    if (p.scalableMode == kSpatialScalable) {
        p.lowerLayerPredictionHorizontalSize = static_cast<int>(input.getBits(14));
        input.skipBits(1); // marker
        p.lowerLayerPredictionVerticalSize = static_cast<int>(input.getBits(14));
        p.horizontalSubsamplingFactorM = static_cast<int>(input.getBits(5));
        p.horizontalSubsamplingFactorN = static_cast<int>(input.getBits(5));
        p.verticalSubsamplingFactorM = static_cast<int>(input.getBits(5));
        p.verticalSubsamplingFactorN = static_cast<int>(input.getBits(5));
    }
    if (p.scalableMode == kTemporalScalable)
        VOSTREL_THROW("temporal scalability not implemented");
}

void HeaderParser::pictureDisplayExtension()
{
    Parameters& p = parameters;
    int offsets;
    if (p.progressiveSequence)
        offsets = p.repeatFirstField ? (p.topFieldFirst ? 3 : 2) : 1;
    else if (p.pictureStructure == kFramePicture)
        offsets = p.repeatFirstField ? 3 : 2;
    else
        offsets = 1;
    for (int i = 0; i < offsets; ++i) {
        p.frameCentreHorizontalOffset[i] = signExtend(input.getBits(16), 16);
        input.skipBits(1); // marker
        p.frameCentreVerticalOffset[i] = signExtend(input.getBits(16), 16);
        input.skipBits(1); // marker
    }
}

void HeaderParser::pictureCodingExtension()
{
    Parameters& p = parameters;
    p.fCode[0][0] = static_cast<int>(input.getBits(4));
    p.fCode[0][1] = static_cast<int>(input.getBits(4));
    p.fCode[1][0] = static_cast<int>(input.getBits(4));
    p.fCode[1][1] = static_cast<int>(input.getBits(4));
    p.intraDcPrecision = static_cast<int>(input.getBits(2));
    p.pictureStructure = static_cast<int>(input.getBits(2));
    p.topFieldFirst = static_cast<int>(input.getBit());
    p.framePredFrameDct = static_cast<int>(input.getBit());
    p.concealmentMotionVectors = static_cast<int>(input.getBit());
    p.qScaleType = static_cast<int>(input.getBit());
    p.intraVlcFormat = static_cast<int>(input.getBit());
    p.alternateScan = static_cast<int>(input.getBit());
    p.repeatFirstField = static_cast<int>(input.getBit());
    p.chroma420Type = static_cast<int>(input.getBit());
    p.progressiveFrame = static_cast<int>(input.getBit());
    p.compositeDisplayFlag = static_cast<int>(input.getBit());
    if (p.compositeDisplayFlag) {
        p.vAxis = static_cast<int>(input.getBit());
        p.fieldSequence = static_cast<int>(input.getBits(3));
        p.subCarrier = static_cast<int>(input.getBit());
        p.burstAmplitude = static_cast<int>(input.getBits(7));
        p.subCarrierPhase = static_cast<int>(input.getBits(8));
    }
}

void HeaderParser::pictureSpatialScalableExtension()
{
    Parameters& p = parameters;
    p.pictureSpatialScalable = true;
    p.lowerLayerTemporalReference = static_cast<int>(input.getBits(10));
    input.skipBits(1); // marker
    p.lowerLayerHorizontalOffset = signExtend(input.getBits(15), 15);
    input.skipBits(1); // marker
    p.lowerLayerVerticalOffset = signExtend(input.getBits(15), 15);
    p.spatialTemporalWeightCodeTableIndex = static_cast<int>(input.getBits(2));
    p.lowerLayerProgressiveFrame = static_cast<int>(input.getBit());
    p.lowerLayerDeinterlacedFieldSelect = static_cast<int>(input.getBit());
}

void HeaderParser::copyrightExtension()
{
    Parameters& p = parameters;
    p.copyrightFlag = static_cast<int>(input.getBit());
    p.copyrightIdentifier = static_cast<int>(input.getBits(8));
    p.originalOrCopy = static_cast<int>(input.getBit());
    input.skipBits(7); // reserved
    input.skipBits(1); // marker
    p.copyrightNumber1 = static_cast<int>(input.getBits(20));
    input.skipBits(1);
    p.copyrightNumber2 = static_cast<int>(input.getBits(22));
    input.skipBits(1);
    p.copyrightNumber3 = static_cast<int>(input.getBits(22));
}

int HeaderParser::sliceHeader()
{
    Parameters& p = parameters;
    int verticalPositionExtension = 0;
    if (p.mpeg2 && p.verticalSize > 2800)
        verticalPositionExtension = static_cast<int>(input.getBits(3));
    if (p.scalableMode == kDataPartitioning)
        p.priorityBreakpoint = static_cast<int>(input.getBits(7));

    int code = static_cast<int>(input.getBits(5));
    if (p.mpeg2)
        p.quantizerScale = p.qScaleType ? kNonLinearQuantiserScale[code] : code * 2;
    else
        p.quantizerScale = code;

    if (input.getBit()) {
        input.skipBits(1); // intra_slice
        input.skipBits(1); // reserved
        input.skipBits(6); // slice_picture_id
        while (input.getBit())
            input.skipBits(8); // extra_information_slice
    }
    return verticalPositionExtension;
}

} // namespace Vostrel::Video
