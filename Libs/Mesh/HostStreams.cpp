#include "Libs/Mesh/HostStreams.h"

#include "Libs/Common/Exception.h"

#include <cstring>

namespace Vostrel {
namespace Mesh {

namespace {

void checkUsage(StreamUsage usage)
{
    if (usage < 0 || (usage & 7) > 4)
        VOSTREL_THROW("Invalid usage");
}

} // namespace

HostStream::HostStream(size_t size, int stride, IndexStreamType type, StreamUsage usage)
    : bytes(size, 0), stride(stride), type(type), usage(usage)
{
    checkUsage(usage);
}

void* HostStream::lock(LockType lockType)
{
    if (lockType < LOCK_READ_WRITE || lockType > LOCK_DISCARD)
        VOSTREL_THROW("Invalid lock type");
    locked = true;
    return bytes.data();
}

void HostStream::setUsage(StreamUsage newUsage)
{
    checkUsage(newUsage);
    usage = newUsage;
}

void HostStream::copyFrom(HostStream& source, size_t size, size_t sourceOffset, size_t destinationOffset)
{
    VOSTREL_ASSERT(sourceOffset <= source.bytes.size() && size <= source.bytes.size() - sourceOffset);
    VOSTREL_ASSERT(destinationOffset <= bytes.size() && size <= bytes.size() - destinationOffset);
    if (size > 0)
        std::memmove(bytes.data() + destinationOffset, source.bytes.data() + sourceOffset, size);
}

std::unique_ptr<VertexBuffer> createVertexBuffer(size_t size, int stride, StreamUsage usage)
{
    return std::make_unique<HostStream>(size, stride, IS_32BIT, usage);
}

std::unique_ptr<IndexBuffer> createIndexBuffer(size_t size, IndexStreamType type, StreamUsage usage)
{
    return std::make_unique<HostStream>(size, 0, type, usage);
}

} // namespace Mesh
} // namespace Vostrel
