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

HostBytes::HostBytes(size_t size, StreamUsage usage) : bytes(size, 0), usage(usage)
{
    checkUsage(usage);
}

void* HostBytes::lock(LockType lockType)
{
    if (lockType < LOCK_READ_WRITE || lockType > LOCK_DISCARD)
        VOSTREL_THROW("Invalid lock type");
    locked = true;
    return bytes.data();
}

void HostBytes::setUsage(StreamUsage newUsage)
{
    checkUsage(newUsage);
    usage = newUsage;
}

void HostBytes::copyFrom(const HostBytes& source, size_t size, size_t sourceOffset, size_t destinationOffset)
{
    VOSTREL_ASSERT(sourceOffset <= source.bytes.size() && size <= source.bytes.size() - sourceOffset);
    VOSTREL_ASSERT(destinationOffset <= bytes.size() && size <= bytes.size() - destinationOffset);
    if (size > 0)
        std::memmove(bytes.data() + destinationOffset, source.bytes.data() + sourceOffset, size);
}

void HostVertexStream::bind(int streamNumber)
{
    VOSTREL_THROW("A mesh stream in system memory cannot be bound to device stream " << streamNumber << ".");
}

void HostIndexStream::bind()
{
    VOSTREL_THROW("Mesh indices in system memory cannot be bound to the device.");
}

std::unique_ptr<VertexBuffer> createVertexBuffer(size_t size, int stride, StreamUsage usage)
{
    return std::make_unique<HostVertexStream>(size, stride, usage);
}

std::unique_ptr<IndexBuffer> createIndexBuffer(size_t size, IndexStreamType type, StreamUsage usage)
{
    return std::make_unique<HostIndexStream>(size, type, usage);
}

} // namespace Mesh
} // namespace Vostrel
