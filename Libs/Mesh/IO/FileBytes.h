#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace Vostrel {
namespace Mesh {

// Reads a whole file as raw bytes into bytes. False when it is not a regular
// file or cannot be read, after a context line with the file and the system's
// reason; the caller names the failure.
bool readFileBytes(const std::string& fileName, std::vector<char>& bytes);
bool readFileBytes(const std::string& fileName, std::vector<uint8_t>& bytes);

} // namespace Mesh
} // namespace Vostrel
