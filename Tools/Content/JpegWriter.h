#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vostrel {
namespace Content {

// Writes 8-bit RGBA pixels (rows top first; alpha dropped) as a baseline
// JPEG file of the given quality (1..100); throws naming the file when it
// cannot.
void writeJpegRgba(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba,
                   int quality = 95);

} // namespace Content
} // namespace Vostrel
