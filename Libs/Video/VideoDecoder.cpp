#include "Libs/Video/VideoDecoder.h"

#include "Libs/Common/Exception.h"
#include "Libs/Video/BitInput.h"
#include "Libs/Video/FrameStores.h"
#include "Libs/Video/Headers.h"
#include "Libs/Video/PictureDecoder.h"
#include "Libs/Video/RgbWriter.h"
#include "Libs/Video/SpatialLayer.h"

namespace Vostrel {

namespace Video {

// Settings survive a new stream; everything else starts over with it.
struct DecoderSettings {
    Messages messages;
    int outputWidth = 0;
    int outputHeight = 0;
    int maxWidth = 4096;
    int maxHeight = 4096;
    bool doubleIdct = false;
    bool rgbOutput = true;
    bool allSequences = false;
    std::function<void(const VideoFrameView&)> observer;
    std::function<void(const PictureStoreView&)> pictureHook;
    bool spatial = false; // a lower layer pattern is set
    FilePattern lowerLayerPattern;
};

// The second input of a two-layer stream: an SNR enhancement layer or data
// partition one, read in step with the base layer.
struct EnhancementLayer {
    explicit EnhancementLayer(const Messages& messages)
        : headers(input, parameters, messages), pictures(input, parameters, headers, messages) {}
    BitInput input;
    Parameters parameters;
    HeaderParser headers;
    PictureDecoder pictures;
};

// Video elementary stream or system stream, from the first start code.
void detectStreamKind(BitInput& input)
{
    if (input.showBits(8) == 0x47)
        VOSTREL_THROW("Decoder currently does not parse transport streams");
    input.nextStartCode();
    uint32_t code = input.showWord();
    if (code == 0x000001BA || code == 0x000001E0)
        input.setSystemStream(true);
    else if (code != 0x000001B3)
        VOSTREL_THROW("Unable to recognize stream type");
    input.rewind();
}

struct StreamState {
    explicit StreamState(const DecoderSettings& settings)
        : settings(settings), headers(input, parameters, settings.messages),
          pictures(input, parameters, headers, settings.messages)
    {
        pictures.setDoubleIdct(settings.doubleIdct);
        input.setPesPacketNotice([this] { this->settings.messages.notice("MPEG-2 PES packet\n"); });
        if (settings.pictureHook)
            pictures.setPictureHook([this](FrameStore& store) { announcePicture(store); });
    }

    void open();
    int decodeNextFrame(unsigned char* rgb);

private:
    bool decodable() const;
    void beginSequence(const Geometry& geometry);
    void deliver();
    void writeFrame(FrameStore& frame, int progressiveFrame);
    void announcePicture(FrameStore& store);
    void notifyObserver(FrameStore& frame, int progressiveFrame);

public:
    const DecoderSettings& settings;
    BitInput input;
    Parameters parameters;
    HeaderParser headers;
    PictureDecoder pictures;
    FrameStores stores;
    RgbWriter writer;
    std::unique_ptr<EnhancementLayer> enhancement;
    LowerLayer lowerLayer{settings.messages};
    FrameStore upsampledLowerLayer;

    bool ended = false;
    int64_t bitstreamFrame = 0;
    int64_t sequenceFrame = 0;
    bool secondField = false;
    int referenceProgressiveFrame = 1; // of the reference frame waiting to be written
    // What the frames of the stores' sequence are written with, kept apart
    // from the headers, which may already belong to the next sequence.
    struct {
        bool mpeg2 = false;
        int progressiveSequence = 1;
        int matrixCoefficients = 0;
    } format;
    unsigned char* output = nullptr;
    bool written = false;
};

struct DecoderState {
    DecoderSettings settings;
    std::unique_ptr<StreamState> stream;
};

void StreamState::open()
{
    detectStreamKind(input);
    bitstreamFrame = sequenceFrame = 0;
}

bool StreamState::decodable() const
{
    const Parameters& p = parameters;
    if (p.pictureCodingType < kIPicture || p.pictureCodingType > kDPicture)
        return false;
    if (p.pictureStructure < kTopField || p.pictureStructure > kFramePicture)
        return false;
    return true;
}

void StreamState::beginSequence(const Geometry& geometry)
{
    Parameters& p = parameters;
    const bool snr = enhancement && enhancement->parameters.scalableMode == kSnrScalable;
    const bool partitioned = enhancement && p.scalableMode == kDataPartitioning;
    const bool spatial = !enhancement && settings.spatial && p.scalableMode == kSpatialScalable;
    if (enhancement ? !(snr || partitioned) : p.scalableMode != kNotScalable && !spatial)
        VOSTREL_THROW("unsupported scalability mode");
    if (snr && Geometry::of(enhancement->parameters) != geometry)
        VOSTREL_THROW("unsupported scalability mode: the layers differ in size");
    pictures.setSnrLayer(snr ? &enhancement->pictures : nullptr);
    pictures.setPartitionOne(partitioned ? &enhancement->input : nullptr,
                             partitioned ? &enhancement->headers : nullptr);
    if (p.chromaFormat < kChroma420 || p.chromaFormat > kChroma444)
        VOSTREL_THROW("Sequence: reserved chroma_format " << p.chromaFormat);
    if (p.horizontalSize <= 0 || p.verticalSize <= 0 || p.horizontalSize > settings.maxWidth ||
        p.verticalSize > settings.maxHeight)
        VOSTREL_THROW("Sequence: unsupported picture size " << p.horizontalSize << "x" << p.verticalSize);
    stores.allocate(geometry);
    format.mpeg2 = p.mpeg2;
    format.progressiveSequence = p.progressiveSequence;
    format.matrixCoefficients = p.matrixCoefficients;
}

int StreamState::decodeNextFrame(unsigned char* rgb)
{
    output = rgb;
    written = false;
    if (ended)
        return 0;
    try {
        for (;;) {
            const int header = headers.nextHeader();
            if (enhancement && enhancement->headers.nextHeader() != header)
                settings.messages.warning("streams out of sync\n");
            if (!header) {
                if (sequenceFrame != 0) {
                    if (secondField)
                        settings.messages.notice("last frame incomplete, not stored\n");
                    else
                        writeFrame(stores.backward(), parameters.progressiveFrame);
                }
                stores.release();
                parameters.mpeg2 = false;
                const bool wrote = written;
                sequenceFrame = 0;
                secondField = false;
                if (settings.allSequences && !input.exhausted()) {
                    if (wrote)
                        return 1;
                    continue;
                }
                ended = true;
                return 0;
            }
            // Pictures with reserved coding types or structures are passed over.
            if (!decodable())
                continue;

            Parameters& p = parameters;
            if (p.pictureStructure == kFramePicture && secondField) {
                settings.messages.notice("odd number of field pictures\n");
                secondField = false;
            }
            if (sequenceFrame == 0 && !p.mpeg2) {
                p.progressiveSequence = 1;
                p.progressiveFrame = 1;
                p.pictureStructure = kFramePicture;
                p.framePredFrameDct = 1;
                p.chromaFormat = kChroma420;
                p.matrixCoefficients = 5;
            }
            // The stores are prepared once per sequence: the second field of
            // the first frame still has sequence frame number 0 and must find
            // the first field in place.
            const Geometry geometry = Geometry::of(p);
            if (!stores.allocated()) {
                beginSequence(geometry);
            } else if (geometry != stores.geometry()) {
                // A new size without a sequence end: start over with stores
                // of the new size. The reference waiting for output is
                // written first when all sequences are wanted, else dropped.
                if (settings.allSequences && sequenceFrame != 0 && !secondField)
                    writeFrame(stores.backward(), referenceProgressiveFrame);
                sequenceFrame = 0;
                secondField = false;
                beginSequence(geometry);
            }
            // Field pictures need an even number of macroblock rows.
            if (p.pictureStructure != kFramePicture && geometry.mbHeight % 2 != 0)
                continue;

            if (p.scalableMode == kSpatialScalable && settings.spatial && p.pictureSpatialScalable) {
                // Only I pictures of a spatial enhancement layer are decoded.
                if (p.pictureCodingType != kIPicture)
                    VOSTREL_THROW("spatial scalability: only I pictures are supported");
                lowerLayer.prepare(settings.lowerLayerPattern, p, geometry, upsampledLowerLayer);
                pictures.setLowerLayer(&upsampledLowerLayer);
            } else {
                pictures.setLowerLayer(nullptr);
            }
            pictures.decodePicture(stores, secondField);
            deliver();
            if (p.pictureStructure != kFramePicture)
                secondField = !secondField;
            if (!secondField) {
                ++bitstreamFrame;
                ++sequenceFrame;
            }
            return 1;
        }
    } catch (...) {
        ended = true;
        stores.release();
        throw;
    }
}

void StreamState::deliver()
{
    const Parameters& p = parameters;
    if (sequenceFrame == 0) {
        referenceProgressiveFrame = p.progressiveFrame;
        return;
    }
    if (p.pictureStructure != kFramePicture && !secondField)
        return;
    if (p.pictureCodingType == kBPicture) {
        writeFrame(stores.auxiliary(), p.progressiveFrame);
    } else {
        writeFrame(stores.forward(), referenceProgressiveFrame);
        referenceProgressiveFrame = p.progressiveFrame;
    }
}

void StreamState::writeFrame(FrameStore& frame, int progressiveFrame)
{
    // The frame has the size its stores were made for, whatever headers
    // were read since.
    const Geometry& g = stores.geometry();
    if (!settings.rgbOutput) {
        notifyObserver(frame, progressiveFrame);
        written = true;
        return;
    }
    const int64_t needed = int64_t(g.width) * g.height;
    const int64_t capacity = int64_t(settings.outputWidth) * settings.outputHeight;
    if (needed > capacity)
        VOSTREL_THROW("Decode_Next_Frame: a frame of " << g.width << "x" << g.height << " does not fit the output of "
                                                       << settings.outputWidth << "x" << settings.outputHeight);
    if (!output)
        VOSTREL_THROW("Decode_Next_Frame: no output buffer");

    FrameToWrite toWrite;
    for (int plane = 0; plane < 3; ++plane)
        toWrite.planes[plane] = frame.planes[plane].data();
    toWrite.codedWidth = g.codedWidth;
    toWrite.codedHeight = g.codedHeight;
    toWrite.chromaFormat = g.chromaFormat;
    toWrite.width = g.width;
    toWrite.height = g.height;
    toWrite.mpeg2 = format.mpeg2;
    toWrite.progressiveFrame = progressiveFrame != 0;
    toWrite.fieldOrder = !format.progressiveSequence && !progressiveFrame;
    toWrite.matrixCoefficients = format.matrixCoefficients;

    notifyObserver(frame, progressiveFrame);
    writer.write(toWrite, output);
    written = true;
}

void StreamState::notifyObserver(FrameStore& frame, int progressiveFrame)
{
    if (!settings.observer)
        return;
    const Geometry& g = stores.geometry();
    VideoFrameView view;
    for (int plane = 0; plane < 3; ++plane) {
        view.planes[plane] = frame.planes[plane].data();
        view.strides[plane] = g.planeWidth(plane);
    }
    view.width = g.width;
    view.height = g.height;
    view.chromaFormat = g.chromaFormat;
    view.chromaWidth = g.chromaWidth;
    view.chromaHeight = g.chromaHeight;
    view.mpeg2 = format.mpeg2;
    view.progressiveFrame = progressiveFrame != 0;
    view.fieldOrder = !format.progressiveSequence && !progressiveFrame;
    view.matrixCoefficients = format.matrixCoefficients;
    settings.observer(view);
}

void StreamState::announcePicture(FrameStore& store)
{
    const Parameters& p = parameters;
    const Geometry& g = stores.geometry();
    PictureStoreView view;
    for (int plane = 0; plane < 3; ++plane) {
        view.planes[plane] = store.planes[plane].data();
        view.strides[plane] = g.planeWidth(plane);
        view.heights[plane] = g.planeHeight(plane);
    }
    view.width = g.width;
    view.height = g.height;
    view.chromaFormat = g.chromaFormat;
    view.pictureStructure = p.pictureStructure;
    view.secondField = secondField;
    view.trueFrameNumber = p.trueFrameNumber;
    settings.pictureHook(view);
}

} // namespace Video

VideoDecoder::VideoDecoder() : state(std::make_unique<Video::DecoderState>()) {}

VideoDecoder::~VideoDecoder() = default;

void VideoDecoder::open(const char* fileName)
{
    state->stream.reset();
    auto stream = std::make_unique<Video::StreamState>(state->settings);
    stream->input.openFile(fileName ? fileName : "");
    stream->open();
    state->stream = std::move(stream);
}

void VideoDecoder::openMemory(const uint8_t* data, size_t size)
{
    state->stream.reset();
    auto stream = std::make_unique<Video::StreamState>(state->settings);
    stream->input.openMemory(std::vector<uint8_t>(data, data + size));
    stream->open();
    state->stream = std::move(stream);
}

void VideoDecoder::openEnhancement(const char* fileName)
{
    if (!state->stream)
        VOSTREL_THROW("no base layer is open");
    const std::string name = fileName ? fileName : "";
    auto layer = std::make_unique<Video::EnhancementLayer>(state->settings.messages);
    layer->input.openFile(name, "enhancment layer bitstream file " + name + " not found");
    Video::detectStreamKind(layer->input);
    state->stream->enhancement = std::move(layer);
}

void VideoDecoder::openEnhancementMemory(const uint8_t* data, size_t size)
{
    if (!state->stream)
        VOSTREL_THROW("no base layer is open");
    auto layer = std::make_unique<Video::EnhancementLayer>(state->settings.messages);
    layer->input.openMemory(std::vector<uint8_t>(data, data + size));
    Video::detectStreamKind(layer->input);
    state->stream->enhancement = std::move(layer);
}

void VideoDecoder::setLowerLayerPattern(const std::string& pattern)
{
    state->settings.lowerLayerPattern = Video::FilePattern(pattern);
    state->settings.spatial = true;
}

void VideoDecoder::close()
{
    state->stream.reset();
}

int VideoDecoder::decodeNextFrame(unsigned char* rgb)
{
    if (!state->stream)
        VOSTREL_THROW("Decode_Next_Frame: no stream is open");
    return state->stream->decodeNextFrame(rgb);
}

bool VideoDecoder::frameWritten() const
{
    return state->stream && state->stream->written;
}

void VideoDecoder::setOutputSize(int width, int height)
{
    state->settings.outputWidth = std::max(0, width);
    state->settings.outputHeight = std::max(0, height);
}

void VideoDecoder::setMessageStreams(std::FILE* notices, std::FILE* warnings)
{
    state->settings.messages.notices = notices;
    state->settings.messages.warnings = warnings;
}

void VideoDecoder::setFrameObserver(std::function<void(const VideoFrameView&)> observer)
{
    state->settings.observer = std::move(observer);
}

void VideoDecoder::setDoubleIdct(bool use)
{
    state->settings.doubleIdct = use;
    if (state->stream)
        state->stream->pictures.setDoubleIdct(use);
}

void VideoDecoder::setMaxPictureSize(int width, int height)
{
    state->settings.maxWidth = width;
    state->settings.maxHeight = height;
}

void VideoDecoder::setQuiet(bool quiet)
{
    state->settings.messages.quiet = quiet;
}

void VideoDecoder::setRgbOutput(bool write)
{
    state->settings.rgbOutput = write;
}

void VideoDecoder::setAllSequences(bool all)
{
    state->settings.allSequences = all;
}

void VideoDecoder::setPictureStoreHook(std::function<void(const PictureStoreView&)> hook)
{
    state->settings.pictureHook = std::move(hook);
}

int VideoDecoder::pictureWidth() const
{
    return state->stream && state->stream->stores.allocated() ? state->stream->stores.geometry().width : 0;
}

int VideoDecoder::pictureHeight() const
{
    return state->stream && state->stream->stores.allocated() ? state->stream->stores.geometry().height : 0;
}

int Open_Video_Stream(VideoDecoder& decoder, const char* fileName)
{
    decoder.open(fileName);
    return 0;
}

int Decode_Next_Frame(VideoDecoder& decoder, unsigned char* rgb)
{
    return decoder.decodeNextFrame(rgb);
}

int Video_Frame_Written(const VideoDecoder& decoder)
{
    return decoder.frameWritten() ? 1 : 0;
}

void Set_Video_Output_Size(VideoDecoder& decoder, int width, int height)
{
    decoder.setOutputSize(width, height);
}

} // namespace Vostrel
