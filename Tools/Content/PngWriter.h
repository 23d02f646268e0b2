#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vostrel {
namespace Content {

// Writes 8-bit RGBA pixels (rows top first, four bytes red, green, blue,
// alpha) as a PNG file; the show's textures are all of this kind.
void writePngRgba(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba);

} // namespace Content
} // namespace Vostrel
