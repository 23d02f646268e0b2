#pragma once

#include <string>

namespace Vostrel {

// Reads and writes one file format. read allocates the pixels (new[]) and
// hands them to the caller; nothing is handed out on failure.
class ImageCodec {
public:
    virtual void write(const char* fileName, int width, int height, int channels, const unsigned char* pixels) = 0;
    virtual void read(const char* fileName, int* width, int* height, int* channels, unsigned char** pixels) = 0;

protected:
    ~ImageCodec() = default;
};

class JPEGCodec : public ImageCodec {
public:
    void write(const char* fileName, int width, int height, int channels, const unsigned char* pixels) override;
    void read(const char* fileName, int* width, int* height, int* channels, unsigned char** pixels) override;
};

class PNGCodec : public ImageCodec {
public:
    void write(const char* fileName, int width, int height, int channels, const unsigned char* pixels) override;
    void read(const char* fileName, int* width, int* height, int* channels, unsigned char** pixels) override;
};

// Raw P6 (3 channels) and P5 (1 channel) with maximum value 255.
class PPMCodec : public ImageCodec {
public:
    void write(const char* fileName, int width, int height, int channels, const unsigned char* pixels) override;
    void read(const char* fileName, int* width, int* height, int* channels, unsigned char** pixels) override;
};

// Rasterises the document at its own size, rounded up to powers of two.
class SVGCodec : public ImageCodec {
public:
    void write(const char* fileName, int width, int height, int channels, const unsigned char* pixels) override;
    void read(const char* fileName, int* width, int* height, int* channels, unsigned char** pixels) override;
};

namespace WinCodec {
void read(const char* fileName, int* width, int* height, int* channels, unsigned char** pixels);
// format is a D3DX image file format.
void write(int format, const char* fileName, int width, int height, int channels, const unsigned char* pixels);
} // namespace WinCodec

// The codec for the text after the last '.' of the name (the whole name
// without a '.'); extensions are case-sensitive.
ImageCodec* getImageCodec(const std::string& fileName);

} // namespace Vostrel
