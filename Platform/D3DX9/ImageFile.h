#pragma once

// Internal: PNG and JPEG files in memory as 8-bit red, green, blue, alpha.

#include "Platform/D3DX9/d3dx9.h"

#include <array>
#include <cstdint>
#include <string>
#include <vector>

namespace D3DX9 {

// Larger images are refused as invalid rather than allocated.
constexpr UINT maxImageSide = 16384;
constexpr uint64_t maxImagePixels = uint64_t(1) << 26;

struct Image {
    UINT width = 0;
    UINT height = 0;
    D3DFORMAT format = D3DFMT_UNKNOWN; // what the file holds
    D3DXIMAGE_FILEFORMAT fileFormat = D3DXIFF_PNG;
    std::vector<uint8_t> rgba;         // width x height x 4, rows top first
};

// Decodes a PNG or JPEG (told apart by their signatures). With headerOnly
// only the size and formats are read. False, with the reason, for anything
// else, damaged data or an image past the limits.
bool decodeImage(const uint8_t* data, size_t size, Image& image, bool headerOnly, std::string& reason);

// Writes the pixels as a PNG, JPEG (quality 90) or BMP file with the given
// channels: 1 grey, 2 grey and alpha, 3 colour, 4 colour and alpha (JPEG
// and BMP keep no alpha). False, with the reason, for other file formats.
bool encodeImage(const Image& image, int channels, D3DXIMAGE_FILEFORMAT format, std::vector<uint8_t>& file,
                 std::string& reason);

// Pixels as floats, red first, rows top first.
using Texels = std::vector<std::array<float, 4>>;

// A rectangle of the image (null: all of it) at width x height, each pixel
// the nearest; pixels equal to a non-zero A8R8G8B8 colour key become
// transparent black.
Texels resampleImage(const Image& image, const RECT* source, UINT width, UINT height, D3DCOLOR colorKey);
// Stores texels in locked rows of a format that memory surfaces can have.
void storeTexels(const Texels& texels, UINT width, UINT height, D3DFORMAT format, uint8_t* bits, INT pitch);

// Reads a file named as data files name them (case and separators are
// forgiven). False, with the reason, when it cannot be read or decoded.
bool readImageFile(const char* name, Image& image, bool headerOnly, std::string& reason);

// Why the last image file read on this thread failed ("No such file or
// directory", "PNG: ..."), for callers that only see a D3DX result code;
// empty when the last read succeeded or its failure was taken already.
std::string takeImageFileFailure();

} // namespace D3DX9
