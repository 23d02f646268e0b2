#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vostrel {
namespace Mesh {

// Reads a whole file as raw bytes into bytes. False when the file cannot be
// opened (the caller names the failure); throws when it opens but cannot be read.
bool readFileBytes(const std::string& fileName, std::vector<char>& bytes);
bool readFileBytes(const std::string& fileName, std::vector<uint8_t>& bytes);

} // namespace Mesh
} // namespace Vostrel
