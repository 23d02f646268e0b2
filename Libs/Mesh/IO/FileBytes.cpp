#include "Libs/Mesh/IO/FileBytes.h"

#include "Libs/Common/Exception.h"
#include "Platform/Runtime/Runtime.h"

namespace Vostrel {
namespace Mesh {

namespace {

// Far above any mesh the show holds; a larger file is refused rather than
// allocated.
constexpr size_t maxMeshFileBytes = size_t(1) << 30;

template <typename Byte>
bool readBytes(const std::string& fileName, std::vector<Byte>& bytes)
{
    std::string reason;
    if (Runtime::readDataFile(fileName, bytes, maxMeshFileBytes, reason))
        return true;
    reportFileFailure(fileName, reason);
    return false;
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
