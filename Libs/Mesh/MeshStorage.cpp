#include "Libs/Mesh/MeshStorage.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"

#include <climits>

namespace Vostrel {
namespace Mesh {

namespace {

int streamSize(size_t bytes)
{
    if (bytes > static_cast<size_t>(INT_MAX))
        VOSTREL_THROW("A mesh stream of " << bytes << " bytes is larger than a stream can hold.");
    return static_cast<int>(bytes);
}

} // namespace

std::unique_ptr<Core::VertexStream> makeVertexStream(size_t bytes, int stride, StreamUsage usage)
{
    return std::unique_ptr<Core::VertexStream>(Core::createVertexStream(streamSize(bytes), stride, usage));
}

std::unique_ptr<Core::IndexStream> makeIndexStream(size_t bytes, IndexStreamType type, StreamUsage usage)
{
    return std::unique_ptr<Core::IndexStream>(Core::createIndexStream(streamSize(bytes), type, usage));
}

} // namespace Mesh
} // namespace Vostrel
