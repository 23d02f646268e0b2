#pragma once

// Internal: PNG and JPEG files in memory as 8-bit red, green, blue, alpha.

#include "Platform/D3DX9/d3dx9.h"

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

// Reads a file named as data files name them (case and separators are
// forgiven). False, with the reason, when it cannot be read or decoded.
bool readImageFile(const char* name, Image& image, bool headerOnly, std::string& reason);

} // namespace D3DX9
