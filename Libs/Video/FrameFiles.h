#pragma once

// Decoded frames as files (planar YUV, SIF, TGA, PPM), the file name patterns
// that name them, and pictures read back from such files.

#include "Libs/Video/Messages.h"
#include "Libs/Video/RgbWriter.h"
#include "Libs/Video/VideoDecoder.h"

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace Vostrel::Video {

// A file name pattern from the command line, in printf form: literal text and
// "%%", at most one integer conversion (flags, width and precision allowed),
// and after it at most one character conversion. Anything else is refused
// when the pattern is made, naming the conversion.
class FilePattern {
public:
    FilePattern() = default;
    explicit FilePattern(const std::string& pattern);
    // The pattern with the number and the letter put in, of any length.
    std::string format(int number, char letter = 'f') const;
    const std::string& text() const { return pattern; }

private:
    struct Piece {
        std::string text; // literal text, or a conversion's printf form
        char conversion;  // 0 literal, 'd' the number, 'c' the letter
    };
    std::string pattern;
    std::vector<Piece> pieces;
};

// A file written through a 4096-byte buffer; failing to create, write or
// close it throws, naming it.
class OutputFile {
public:
    explicit OutputFile(const std::string& name);
    ~OutputFile();
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    void write(const uint8_t* data, size_t size);
    void close();

private:
    void flush();
    std::string name;
    std::FILE* file = nullptr;
    uint8_t buffer[4096];
    size_t used = 0;
};

enum OutputType { kOutputYuv = 0, kOutputSif = 1, kOutputTga = 2, kOutputPpm = 3, kOutputRgb = 6, kOutputNone = 9 };

// Writes each frame as the files of one output type, named by the pattern,
// the frame number and 'f' (a frame) or 'a' and 'b' (the top and bottom
// fields of an interlaced frame, unless frame order is asked for).
class FrameFileWriter {
public:
    FrameFileWriter(int type, const FilePattern& pattern, bool frameOrder, const Messages& messages);
    void write(const VideoFrameView& frame, int number);

private:
    struct Part {
        char letter;
        int firstRow; // of the frame
        int rowStep;
        int rows;
    };
    void writeYuv(const VideoFrameView& frame, const Part& part, const std::string& name);
    void writeSif(const VideoFrameView& frame, const Part& part, const std::string& name);
    void writeRgb(const VideoFrameView& frame, const Part& part, const std::string& name, int partIndex);
    void announce(const std::string& name) const;

    int type;
    FilePattern pattern;
    bool frameOrder;
    const Messages& messages;
    RgbWriter rgbWriter;
    std::vector<uint8_t> rgb, row;
};

// The displayed size of a chroma plane: half the luma, rounded up, where
// the chroma format halves it.
int displayedChromaWidth(int width, int chromaFormat);
int displayedChromaHeight(int height, int chromaFormat);

// Substitute pictures: before a picture is decoded its store is filled from
// the files of its display-order number, so that a damaged or missing
// picture is replaced. Failures are reported and decoding goes on.
class SubstitutePictures {
public:
    SubstitutePictures(const FilePattern& pattern, bool oneFile, const Messages& messages)
        : pattern(pattern), oneFile(oneFile), messages(messages) {}
    void fill(const PictureStoreView& store);

private:
    bool readConcatenated(const PictureStoreView& store, int number, std::vector<uint8_t> planes[3],
                          bool& displayed);
    bool readPlaneFiles(const PictureStoreView& store, int number, std::vector<uint8_t> planes[3], bool displayed[3]);

    FilePattern pattern;
    bool oneFile;
    const Messages& messages;
};

} // namespace Vostrel::Video
