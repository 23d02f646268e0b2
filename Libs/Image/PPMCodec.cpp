#include "Libs/Common/Exception.h"
#include "Libs/Image/Image.h"
#include "Libs/Image/ImageCodec.h"

#include <cctype>
#include <cstdio>
#include <iostream>
#include <memory>

namespace Vostrel {

namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// A decimal header number after white space; anything else, or a value that
// no image could have, is refused rather than read as garbage.
int readHeaderNumber(std::FILE* file)
{
    int c = std::fgetc(file);
    while (c != EOF && std::isspace(c))
        c = std::fgetc(file);
    if (c == EOF || !std::isdigit(c))
        VOSTREL_THROW("PPM-file has an invalid header.");
    long value = 0;
    while (c != EOF && std::isdigit(c)) {
        value = value * 10 + (c - '0');
        if (value > 65536)
            VOSTREL_THROW("PPM-file has an invalid header.");
        c = std::fgetc(file);
    }
    if (c != EOF)
        std::ungetc(c, file);
    return static_cast<int>(value);
}

} // namespace

void PPMCodec::read(const char* fileName, int* width, int* height, int* channels, unsigned char** pixels)
{
    File file(openDataFileOrSayWhy(fileName, "rb"));
    if (!file)
        VOSTREL_THROW("Couldn't open " << fileName << " for reading. Does it exist?");
    const int p = std::fgetc(file.get());
    const int kind = std::fgetc(file.get());
    if (p != 'P' || (kind != '6' && kind != '5'))
        VOSTREL_THROW("PPM-file has invalid magic number (P6 was expected).");
    const int fileChannels = kind == '6' ? 3 : 1;
    const int w = readHeaderNumber(file.get());
    const int h = readHeaderNumber(file.get());
    const int maxValue = readHeaderNumber(file.get());
    if (maxValue != 255)
        VOSTREL_THROW("Maximum color value 255 was expected.");
    if (w == 0 || h == 0 || w > 16384 || h > 16384)
        VOSTREL_THROW("PPM-file has an invalid size: " << w << " x " << h);
    std::fgetc(file.get());
    const size_t size = imageByteCount(w, h, fileChannels);
    std::unique_ptr<unsigned char[]> data(new unsigned char[size]);
    // A short file would otherwise leave the rest of the pixels undefined.
    if (std::fread(data.get(), 1, size, file.get()) != size)
        VOSTREL_THROW("PPM-file " << fileName << " is truncated.");
    if (fileChannels == 3)
        for (size_t i = 0; i < size; i += 3)
            std::swap(data[i], data[i + 2]);
    *width = w;
    *height = h;
    *channels = fileChannels;
    *pixels = data.release();
}

void PPMCodec::write(const char* fileName, int width, int height, int channels, const unsigned char* pixels)
{
    int magic = 0;
    switch (channels) {
    case 1: magic = 5; break;
    case 3: magic = 6; break;
    case 4:
        magic = 6;
        std::cout << "PPMCodec: warning: 4-channel data truncated to 3 channels\n";
        break;
    default: VOSTREL_THROW("Only 1 or 3-channel PPM files can be written.");
    }
    File file(std::fopen(fileName, "wb"));
    if (!file)
        VOSTREL_THROW("Couldn't open " << fileName << " for writing.");
    std::fprintf(file.get(), "P%d\n%d %d 255\n", magic, width, height);
    const size_t count = static_cast<size_t>(width) * height;
    bool written = true;
    if (channels == 1) {
        written = std::fwrite(pixels, 1, count, file.get()) == count;
    } else {
        for (size_t i = 0; i < count && written; ++i) {
            const unsigned char* pixel = pixels + i * channels;
            const unsigned char rgb[3] = {pixel[2], pixel[1], pixel[0]};
            written = std::fwrite(rgb, 1, 3, file.get()) == 3;
        }
    }
    // A full disk must not pass for a written file.
    if (!written || std::fflush(file.get()) != 0)
        VOSTREL_THROW("Couldn't write " << fileName << ".");
}

} // namespace Vostrel
