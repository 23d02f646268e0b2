#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// System-memory vertex and index storage of the mesh, shaped like the render
// core's streams (size, stride or index type, usage, lock, copy) so that the
// mesh reads the same over either.
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

enum IndexStreamType { IS_16BIT = 0, IS_32BIT = 1 };

class HostStream {
public:
    HostStream(size_t size, int stride, IndexStreamType type, StreamUsage usage);

    size_t getSize() const { return bytes.size(); }
    int getStride() const { return stride; }
    IndexStreamType getType() const { return type; }
    void* lock(LockType lockType);
    void unlock() { locked = false; }
    bool isLocked() const { return locked; }
    StreamUsage getUsage() const { return usage; }
    void setUsage(StreamUsage newUsage);
    // Byte copy of size bytes from source at sourceOffset to this at destinationOffset.
    void copyFrom(HostStream& source, size_t size, size_t sourceOffset, size_t destinationOffset);

private:
    std::vector<unsigned char> bytes;
    int stride;
    IndexStreamType type;
    StreamUsage usage;
    bool locked = false;
};

typedef HostStream VertexBuffer;
typedef HostStream IndexBuffer;

std::unique_ptr<VertexBuffer> createVertexBuffer(size_t size, int stride, StreamUsage usage);
std::unique_ptr<IndexBuffer> createIndexBuffer(size_t size, IndexStreamType type, StreamUsage usage);

} // namespace Mesh
} // namespace Vostrel
