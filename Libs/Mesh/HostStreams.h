#pragma once

#include "Libs/Core/IndexStream.h"
#include "Libs/Core/VertexStream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Vertex and index storage of the mesh in system memory, shaped like the
// render core's streams (size, stride or index type, usage, lock, copy), so
// that the mesh and its rendering instances read the same over either. The
// device's own streams take their place once they can hold data.
namespace Vostrel {
namespace Mesh {

// 0 read-write, 1 read-only, 2 discard (the whole contents are overwritten).
typedef int LockType;
const LockType LOCK_READ_WRITE = 0;
const LockType LOCK_READ_ONLY = 1;
const LockType LOCK_DISCARD = 2;

// Low three bits: 0 system memory, 1 and 2 managed, 3 dynamic, 4 static
// write-only; bit 3 asks for point sprites.
typedef int StreamUsage;

typedef Core::IndexStreamType IndexStreamType;
const IndexStreamType IS_16BIT = Core::INDEX_16BIT;
const IndexStreamType IS_32BIT = Core::INDEX_32BIT;

// The bytes, usage and lock flag both kinds of stream keep.
class HostBytes {
public:
    HostBytes(size_t size, StreamUsage usage);

    size_t getSize() const { return bytes.size(); }
    void* lock(LockType lockType);
    void unlock() { locked = false; }
    bool isLocked() const { return locked; }
    StreamUsage getUsage() const { return usage; }
    void setUsage(StreamUsage newUsage);
    // Byte copy of size bytes from source at sourceOffset to this at destinationOffset.
    void copyFrom(const HostBytes& source, size_t size, size_t sourceOffset, size_t destinationOffset);

private:
    std::vector<unsigned char> bytes;
    StreamUsage usage;
    bool locked = false;
};

class HostVertexStream : public Core::VertexStream, public HostBytes {
public:
    HostVertexStream(size_t size, int stride, StreamUsage usage) : HostBytes(size, usage), stride(stride) {}
    int getStride() const { return stride; }
    // System memory cannot be bound to the device.
    void bind(int streamNumber) override;

private:
    int stride;
};

class HostIndexStream : public Core::IndexStream, public HostBytes {
public:
    HostIndexStream(size_t size, IndexStreamType type, StreamUsage usage) : HostBytes(size, usage), type(type) {}
    IndexStreamType getType() const { return type; }
    void bind() override;

private:
    IndexStreamType type;
};

typedef HostVertexStream VertexBuffer;
typedef HostIndexStream IndexBuffer;

std::unique_ptr<VertexBuffer> createVertexBuffer(size_t size, int stride, StreamUsage usage);
std::unique_ptr<IndexBuffer> createIndexBuffer(size_t size, IndexStreamType type, StreamUsage usage);

} // namespace Mesh
} // namespace Vostrel
