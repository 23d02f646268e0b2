#pragma once

// The video decoder as a command-line program: options, the decoding of every
// sequence of a file into frame files, and the small entry points around it.

#include "Libs/Video/VideoDecoder.h"

#include <cstdint>
#include <cstdio>
#include <string>

namespace Vostrel {

// The decoder's options; the defaults are those of the show (frames into
// memory, nothing written, no warnings).
struct VideoDecoderOptions {
    int outputType = 6; // 0 YUV, 1 SIF, 2 TGA, 3 PPM, 6 RGB in memory, 9 none
    std::string outputPattern = "qwert";
    bool mainBitstreamFlag = false;
    std::string mainBitstream;
    bool twoStreams = false;
    std::string enhancementBitstream;
    std::string lowerLayerPattern;
    bool substitute = false;
    std::string substitutePattern;
    bool concatenatedSubstitutes = false; // -g
    bool frameStore = false;              // -f: interlaced frames in frame order
    bool quiet = true;
    bool doubleIdct = false; // -r
};

enum VideoOptionsResult { kVideoOptionsError = -1, kVideoOptionsUsage = 0, kVideoOptionsDecode = 1 };

// Reads the command line into options (starting from the command line's
// defaults: no output, warnings on). Messages go to err.
VideoOptionsResult parseVideoDecoderOptions(int argc, const char* const* argv, VideoDecoderOptions& options,
                                            std::FILE* err);

// The command-line decoder: returns the exit status (0 decoded or usage
// shown, 255 option error, 1 fatal decoding error).
int runVideoDecoder(int argc, const char* const* argv);
int runVideoDecoder(int argc, const char* const* argv, std::FILE* out, std::FILE* err);

int Close_Video_Stream(VideoDecoder& decoder);
// Decodes "asd.mpg" to its end into a buffer sized from the stream.
int Decoder_Self_Test();
// The bit trace: the n low bits of value, most significant first, as '0'/'1'.
void Print_Bits(std::FILE* out, uint32_t value, int n);

} // namespace Vostrel
