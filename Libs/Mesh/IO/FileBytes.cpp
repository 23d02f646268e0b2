#include "Libs/Mesh/IO/FileBytes.h"

#include "Libs/Common/Exception.h"

#include <cstdio>

namespace Vostrel {
namespace Mesh {

namespace {

template <typename Byte>
bool readBytes(const std::string& fileName, std::vector<Byte>& bytes)
{
    FILE* file = std::fopen(fileName.c_str(), "rb");
    if (!file)
        return false;
    long length = -1;
    if (std::fseek(file, 0, SEEK_END) == 0)
        length = std::ftell(file);
    bool ok = length >= 0 && std::fseek(file, 0, SEEK_SET) == 0;
    if (ok) {
        // A spare byte, so that a reader adding a terminator copies nothing.
        bytes.reserve(static_cast<size_t>(length) + 1);
        bytes.resize(static_cast<size_t>(length));
        ok = std::fread(bytes.data(), 1, bytes.size(), file) == bytes.size();
    }
    std::fclose(file);
    if (!ok)
        VOSTREL_THROW("Cannot read the file " << fileName << ".");
    return true;
}

} // namespace

bool readFileBytes(const std::string& fileName, std::vector<char>& bytes)
{
    return readBytes(fileName, bytes);
}

bool readFileBytes(const std::string& fileName, std::vector<uint8_t>& bytes)
{
    return readBytes(fileName, bytes);
}

} // namespace Mesh
} // namespace Vostrel
