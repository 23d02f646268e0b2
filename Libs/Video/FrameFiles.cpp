#include "Libs/Video/FrameFiles.h"

#include "Libs/Common/Exception.h"
#include "Libs/Video/Headers.h"

#include <algorithm>
#include <cstring>
#include <new>

namespace Vostrel::Video {

namespace {

// Widths and precisions beyond this only make huge names.
constexpr int kLargestFieldWidth = 255;

std::string formatted(const std::string& conversion, int value)
{
    const int length = std::snprintf(nullptr, 0, conversion.c_str(), value);
    if (length < 0)
        return std::string();
    std::string text(size_t(length) + 1, '\0');
    std::snprintf(&text[0], text.size(), conversion.c_str(), value);
    text.resize(size_t(length));
    return text;
}

} // namespace

FilePattern::FilePattern(const std::string& text) : pattern(text)
{
    std::string literal;
    bool number = false, letter = false;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            literal += text[i];
            continue;
        }
        if (i + 1 < text.size() && text[i + 1] == '%') {
            literal += '%';
            ++i;
            continue;
        }
        const size_t start = i++;
        while (i < text.size() && std::strchr("-+ #0", text[i]))
            ++i;
        int width = 0, precision = 0;
        while (i < text.size() && text[i] >= '0' && text[i] <= '9')
            width = std::min(width * 10 + (text[i++] - '0'), 100000);
        if (i < text.size() && text[i] == '.') {
            ++i;
            while (i < text.size() && text[i] >= '0' && text[i] <= '9')
                precision = std::min(precision * 10 + (text[i++] - '0'), 100000);
        }
        const std::string conversion = text.substr(start, i < text.size() ? i - start + 1 : std::string::npos);
        const char kind = i < text.size() ? text[i] : '\0';
        const bool integer = kind && std::strchr("diouxX", kind);
        if (!(integer && !number && !letter) && !(kind == 'c' && number && !letter))
            VOSTREL_THROW("file name pattern \"" << text << "\": conversion \"" << conversion << "\" not allowed");
        if (width > kLargestFieldWidth || precision > kLargestFieldWidth)
            VOSTREL_THROW("file name pattern \"" << text << "\": conversion \"" << conversion << "\" too wide");
        if (!literal.empty())
            pieces.push_back({literal, 0});
        literal.clear();
        pieces.push_back({conversion, integer ? 'd' : 'c'});
        (integer ? number : letter) = true;
    }
    if (!literal.empty())
        pieces.push_back({literal, 0});
}

std::string FilePattern::format(int number, char letter) const
{
    std::string name;
    for (const Piece& piece : pieces) {
        if (piece.conversion == 0)
            name += piece.text;
        else
            name += formatted(piece.text, piece.conversion == 'd' ? number : static_cast<unsigned char>(letter));
    }
    return name;
}

OutputFile::OutputFile(const std::string& fileName) : name(fileName)
{
    file = std::fopen(name.c_str(), "wb");
    if (!file)
        VOSTREL_THROW("Couldn't create " << name);
    // The buffer here is the only one.
    std::setvbuf(file, nullptr, _IONBF, 0);
}

OutputFile::~OutputFile()
{
    if (file)
        std::fclose(file);
}

void OutputFile::write(const uint8_t* data, size_t size)
{
    // Whole buffers' worth goes straight to the file.
    if (size >= sizeof buffer) {
        flush();
        if (std::fwrite(data, 1, size, file) != size)
            VOSTREL_THROW("Error writing " << name);
        return;
    }
    while (size > 0) {
        if (used == sizeof buffer)
            flush();
        const size_t take = std::min(size, sizeof buffer - used);
        std::memcpy(buffer + used, data, take);
        used += take;
        data += take;
        size -= take;
    }
}

void OutputFile::flush()
{
    if (used && std::fwrite(buffer, 1, used, file) != used)
        VOSTREL_THROW("Error writing " << name);
    used = 0;
}

void OutputFile::close()
{
    flush();
    std::FILE* closing = file;
    file = nullptr;
    if (std::fclose(closing) != 0)
        VOSTREL_THROW("Error closing " << name);
}

int displayedChromaWidth(int width, int chromaFormat)
{
    return chromaFormat == kChroma444 ? width : (width + 1) / 2;
}

int displayedChromaHeight(int height, int chromaFormat)
{
    return chromaFormat == kChroma420 ? (height + 1) / 2 : height;
}

FrameFileWriter::FrameFileWriter(int type, const FilePattern& pattern, bool frameOrder, const Messages& messages)
    : type(type), pattern(pattern), frameOrder(frameOrder), messages(messages)
{
}

void FrameFileWriter::announce(const std::string& name) const
{
    messages.warning("saving " + name + "\n");
}

void FrameFileWriter::write(const VideoFrameView& frame, int number)
{
    if (type == kOutputSif && frame.chromaFormat == kChroma444)
        VOSTREL_THROW("4:4:4 not supported for SIF format");
    const bool fields = frame.fieldOrder && !frameOrder;
    const Part frameParts[1] = {{'f', 0, 1, frame.height}};
    const Part fieldParts[2] = {{'a', 0, 2, frame.height / 2}, {'b', 1, 2, frame.height / 2}};
    const Part* parts = fields ? fieldParts : frameParts;
    for (int k = 0; k < (fields ? 2 : 1); ++k) {
        const std::string name = pattern.format(number, parts[k].letter);
        switch (type) {
        case kOutputYuv: writeYuv(frame, parts[k], name); break;
        case kOutputSif: writeSif(frame, parts[k], name + ".SIF"); break;
        case kOutputTga: writeRgb(frame, parts[k], name + ".tga", k); break;
        case kOutputPpm: writeRgb(frame, parts[k], name + ".ppm", k); break;
        default: break;
        }
    }
}

void FrameFileWriter::writeYuv(const VideoFrameView& frame, const Part& part, const std::string& name)
{
    announce(name);
    static const char* const extensions[3] = {".Y", ".U", ".V"};
    for (int plane = 0; plane < 3; ++plane) {
        int width = frame.width, rows = part.rows;
        if (plane) {
            width = displayedChromaWidth(frame.width, frame.chromaFormat);
            rows = std::min(displayedChromaHeight(part.rows, frame.chromaFormat),
                            (frame.chromaHeight - part.firstRow + part.rowStep - 1) / part.rowStep);
        }
        OutputFile out(name + extensions[plane]);
        for (int r = 0; r < rows; ++r)
            out.write(frame.planes[plane] + size_t(part.firstRow + r * part.rowStep) * frame.strides[plane],
                      size_t(width));
        out.close();
    }
}

void FrameFileWriter::writeSif(const VideoFrameView& frame, const Part& part, const std::string& name)
{
    announce(name);
    const int pairs = (frame.width + 1) / 2;
    std::vector<uint8_t> chroma[2];
    for (std::vector<uint8_t>& c : chroma)
        c.resize(size_t(frame.chromaWidth));
    row.resize(size_t(4) * pairs);
    OutputFile out(name);
    for (int r = 0; r < part.rows; ++r) {
        const int y = part.firstRow + r * part.rowStep;
        const uint8_t* luma = frame.planes[0] + size_t(y) * frame.strides[0];
        const uint8_t* c422[2];
        for (int c = 0; c < 2; ++c) {
            if (frame.chromaFormat == kChroma420) {
                verticalChromaRow(frame.planes[1 + c], frame.chromaWidth, frame.chromaHeight, y,
                                  frame.progressiveFrame, chroma[c].data());
                c422[c] = chroma[c].data();
            } else {
                c422[c] = frame.planes[1 + c] + size_t(y) * frame.strides[1 + c];
            }
        }
        for (int i = 0; i < pairs; ++i) {
            row[4 * i] = c422[0][i];
            row[4 * i + 1] = luma[2 * i];
            row[4 * i + 2] = c422[1][i];
            row[4 * i + 3] = luma[2 * i + 1];
        }
        out.write(row.data(), row.size());
    }
    out.close();
}

void FrameFileWriter::writeRgb(const VideoFrameView& frame, const Part& part, const std::string& name, int partIndex)
{
    announce(name);
    // Both fields come from one conversion in field order.
    if (partIndex == 0) {
        FrameToWrite toWrite;
        for (int plane = 0; plane < 3; ++plane)
            toWrite.planes[plane] = frame.planes[plane];
        toWrite.codedWidth = frame.strides[0];
        toWrite.codedHeight = frame.chromaFormat == kChroma420 ? 2 * frame.chromaHeight : frame.chromaHeight;
        toWrite.chromaFormat = frame.chromaFormat;
        toWrite.width = frame.width;
        toWrite.height = frame.height;
        toWrite.mpeg2 = frame.mpeg2;
        toWrite.progressiveFrame = frame.progressiveFrame;
        toWrite.fieldOrder = part.rowStep == 2;
        toWrite.matrixCoefficients = frame.matrixCoefficients;
        try {
            rgb.resize(size_t(frame.width) * frame.height * 3);
        } catch (const std::bad_alloc&) {
            VOSTREL_THROW("malloc failed");
        }
        rgbWriter.write(toWrite, rgb.data());
    }
    const size_t rowBytes = size_t(frame.width) * 3;
    const uint8_t* first = rgb.data() + size_t(partIndex) * part.rows * rowBytes;
    OutputFile out(name);
    if (type == kOutputPpm) {
        const std::string header = "P6\n" + std::to_string(frame.width) + " " + std::to_string(part.rows) + "\n255\n";
        out.write(reinterpret_cast<const uint8_t*>(header.data()), header.size());
        out.write(first, rowBytes * part.rows);
    } else {
        const uint8_t header[18] = {0, 0, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0,
                                    uint8_t(frame.width & 255), uint8_t(frame.width >> 8),
                                    uint8_t(part.rows & 255), uint8_t(part.rows >> 8), 24, 32};
        out.write(header, sizeof header);
        row.resize(rowBytes);
        for (int r = 0; r < part.rows; ++r) {
            const uint8_t* source = first + r * rowBytes;
            for (size_t x = 0; x < rowBytes; x += 3) {
                row[x] = source[x + 2];
                row[x + 1] = source[x + 1];
                row[x + 2] = source[x];
            }
            out.write(row.data(), rowBytes);
        }
    }
    out.close();
}

} // namespace Vostrel::Video
