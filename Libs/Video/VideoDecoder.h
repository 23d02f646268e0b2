#pragma once

// MPEG-1 and MPEG-2 video decoder: a video elementary stream or a system
// stream (ISO/IEC 11172-1 packs, or MPEG-2 program stream packs) is decoded
// picture by picture into packed 24-bit RGB, frames in display order.
//
// Each decoder context holds one open stream. Bad data makes the decoder
// abandon the damaged slice and go on; what cannot be decoded at all throws
// Vostrel::Exception, after which the context delivers no more frames.

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

namespace Video {
struct DecoderState;
}

// A frame as it is delivered, before the conversion to RGB: coded-size planes
// in frame order.
struct VideoFrameView {
    const uint8_t* planes[3];
    int strides[3];
    int width;  // horizontal_size
    int height; // vertical_size
    int chromaFormat; // 1 4:2:0, 2 4:2:2, 3 4:4:4
    int chromaWidth;
    int chromaHeight;
    bool mpeg2;
    bool progressiveFrame;
    bool fieldOrder; // the RGB rows are all top-field rows, then all bottom-field rows
    int matrixCoefficients;
};

// The store a picture is decoded into, just before its slices are: coded-size
// planes in frame order.
struct PictureStoreView {
    uint8_t* planes[3];
    int strides[3];
    int heights[3];
    int width;  // horizontal_size
    int height; // vertical_size
    int chromaFormat;
    int pictureStructure; // 1 top field, 2 bottom field, 3 frame
    bool secondField;
    int trueFrameNumber; // display order over the whole stream
};

class VideoDecoder {
public:
    VideoDecoder();
    ~VideoDecoder();
    VideoDecoder(const VideoDecoder&) = delete;
    VideoDecoder& operator=(const VideoDecoder&) = delete;

    // Opens a stream; a context can be opened again for another stream.
    void open(const char* fileName);
    void openMemory(const uint8_t* data, size_t size);
    // The second layer of a two-layer stream (an SNR enhancement layer or
    // data partition one), after the base layer was opened.
    void openEnhancement(const char* fileName);
    void openEnhancementMemory(const uint8_t* data, size_t size);
    // Spatial scalability: the lower layer's decoded pictures come from the
    // planar YUV files of this pattern (frame number, then field letter).
    void setLowerLayerPattern(const std::string& pattern);
    // Closes the stream's file; the context delivers no more frames.
    void close();

    // Decodes the next picture: 1 when a picture (a frame, or one field of a
    // field pair) was decoded, 0 at the end of the stream. A frame is written
    // to rgb one picture late (display order); frameWritten() tells whether
    // this call wrote one. The buffer must hold the output size's
    // width * height * 3 bytes; a frame larger than that throws.
    int decodeNextFrame(unsigned char* rgb);
    bool frameWritten() const;

    // The capacity of the caller's RGB buffer, in pixels.
    void setOutputSize(int width, int height);
    // Notices (standard output) and warnings (standard error) by default;
    // null drops them.
    void setMessageStreams(std::FILE* notices, std::FILE* warnings);
    // Called with every frame just before it is written.
    void setFrameObserver(std::function<void(const VideoFrameView&)> observer);
    // The double-precision inverse DCT instead of the integer one.
    void setDoubleIdct(bool use);
    // Pictures larger than this are refused (default 4096 x 4096).
    void setMaxPictureSize(int width, int height);
    // Warnings are printed only when not quiet (quiet by default).
    void setQuiet(bool quiet);
    // Whether frames are converted into the RGB buffer (the default); without
    // it they reach only the observer and the buffer may be null.
    void setRgbOutput(bool write);
    // Whether decoding goes on after a sequence end to the sequences that
    // follow it in the data (off by default: the stream ends there).
    void setAllSequences(bool all);
    // Called with every picture's store before its slices are decoded.
    void setPictureStoreHook(std::function<void(const PictureStoreView&)> hook);
    // The picture size of the sequence being decoded; 0 before its first picture.
    int pictureWidth() const;
    int pictureHeight() const;

private:
    std::unique_ptr<Video::DecoderState> state;
};

// The decoder's entry points. Open_Video_Stream returns 0 (failures throw);
// Decode_Next_Frame returns 1 while pictures follow, 0 at the end.
int Open_Video_Stream(VideoDecoder& decoder, const char* fileName);
int Decode_Next_Frame(VideoDecoder& decoder, unsigned char* rgb);
// Whether the last Decode_Next_Frame wrote a frame (1) or not (0).
int Video_Frame_Written(const VideoDecoder& decoder);
// The size of the RGB buffer the caller hands to Decode_Next_Frame.
void Set_Video_Output_Size(VideoDecoder& decoder, int width, int height);

} // namespace Vostrel
