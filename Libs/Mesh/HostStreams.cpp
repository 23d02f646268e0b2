#include "Libs/Mesh/HostStreams.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/StreamCopy.h"

namespace Vostrel {
namespace Mesh {

namespace {

void checkUsage(StreamUsage usage)
{
    if (usage < 0 || (usage & 7) > 4)
        VOSTREL_THROW("Invalid usage");
}

} // namespace

HostBytes::HostBytes(size_t size, StreamUsage usage) : bytes(size, 0), size(size), usage(usage)
{
    checkUsage(usage);
}

void HostBytes::setSize(size_t newSize)
{
    if (newSize > bytes.size())
        VOSTREL_THROW("setSize: " << newSize << " bytes exceed the stream's " << bytes.size());
    size = newSize;
}

void* HostBytes::lockRange(size_t offset, size_t length, LockType lockType)
{
    if (lockType < LOCK_READ_WRITE || lockType > LOCK_DISCARD)
        VOSTREL_THROW("Invalid lock type");
    if (offset > size || length > size - offset)
        VOSTREL_THROW("lockRange: " << length << " bytes at " << offset << " lie outside the stream's " << size);
    locked = true;
    return bytes.data() + offset;
}

void HostBytes::setUsage(StreamUsage newUsage)
{
    checkUsage(newUsage);
    usage = newUsage;
}

void HostVertexStream::setSize(int size)
{
    if (size < 0)
        VOSTREL_THROW("setSize: negative size " << size);
    bytes.setSize(static_cast<size_t>(size));
}

void* HostVertexStream::lockRange(int offset, int size, LockType lockType)
{
    if (offset < 0 || size < 0)
        VOSTREL_THROW("lockRange: negative range " << offset << ", " << size);
    return bytes.lockRange(static_cast<size_t>(offset), static_cast<size_t>(size), lockType);
}

void HostVertexStream::bind(int streamNumber)
{
    VOSTREL_THROW("A mesh stream in system memory cannot be bound to device stream " << streamNumber << ".");
}

void HostVertexStream::copyFrom(Core::VertexStream& source, int size, int sourceOffset, int destinationOffset)
{
    Core::copyStreamBytes<Core::VertexStream>(*this, source, size, sourceOffset, destinationOffset);
}

void* HostIndexStream::lockRange(int offset, int size, LockType lockType)
{
    if (offset < 0 || size < 0)
        VOSTREL_THROW("lockRange: negative range " << offset << ", " << size);
    return bytes.lockRange(static_cast<size_t>(offset), static_cast<size_t>(size), lockType);
}

void HostIndexStream::bind()
{
    VOSTREL_THROW("Mesh indices in system memory cannot be bound to the device.");
}

void HostIndexStream::copyFrom(Core::IndexStream& source, int size, int sourceOffset, int destinationOffset)
{
    Core::copyStreamBytes<Core::IndexStream>(*this, source, size, sourceOffset, destinationOffset);
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
