#pragma once

// Shared helpers of the video decoder tests: streams and reference frames
// made by ffmpeg at test time, the decoder run over a whole stream, and the
// RGB conversion written out plainly as an oracle.

#include "Libs/Video/VideoDecoder.h"

#include <cstdint>
#include <string>
#include <vector>

namespace VideoTest {

// Planar frames, each plane cropped to the displayed size.
struct YuvFrame {
    int width = 0;
    int height = 0;
    int chromaWidth = 0;
    int chromaHeight = 0;
    std::vector<uint8_t> planes[3];
};

// Generated files live in the build tree; each is made once, named by a hash
// of the command that makes it, and moved into place when complete.
std::string generatedDirectory();
// ffmpeg <arguments> <output>: a stream with the extension of `name`.
std::string ffmpegStream(const std::string& name, const std::string& arguments);
// The frames ffmpeg decodes from a stream, as yuv420p, yuv422p or yuv444p.
std::vector<YuvFrame> ffmpegFrames(const std::string& stream, const std::string& pixelFormat, int width,
                                   int height);
// A file with the given bytes in the generated directory.
std::string writeFile(const std::string& name, const std::vector<uint8_t>& bytes);
std::vector<uint8_t> readFile(const std::string& path);

struct DecodedStream {
    std::vector<YuvFrame> frames;        // delivered frames, displayed area
    std::vector<std::vector<uint8_t>> rgb; // what each writing call wrote
    std::vector<Vostrel::VideoFrameView> views; // plane pointers not kept valid
    int pictures = 0;                    // calls that returned 1
};

// Decodes a whole stream (file or bytes) with an output buffer of the given
// size, collecting every delivered frame.
DecodedStream decodeFile(const std::string& path, int outputWidth, int outputHeight, bool doubleIdct = false);
DecodedStream decodeBytes(const std::vector<uint8_t>& bytes, int outputWidth, int outputHeight);

// Raw planar frames whose macroblocks are flat, with values on the DC
// quantiser's grid: every decoder reconstructs intra pictures of them exactly,
// whatever its inverse DCT.
std::vector<uint8_t> blockyFrames(int width, int height, int frames, bool chroma422, unsigned seed);

// Decodes an opened stream to its end; returns how many calls wrote a frame.
int countWrittenFrames(Vostrel::VideoDecoder& decoder, int outputWidth, int outputHeight);

double psnr(const YuvFrame& a, const YuvFrame& b);
int maxDifference(const YuvFrame& a, const YuvFrame& b);

// Chroma up-sampling and colour conversion written plainly after their
// definitions, for comparing the decoder's RGB output.
std::vector<uint8_t> referenceRgb(const YuvFrame& frame, bool mpeg2, bool progressiveFrame, bool fieldOrder,
                                  int matrixCoefficients);

} // namespace VideoTest
