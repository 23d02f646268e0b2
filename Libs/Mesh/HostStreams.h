#pragma once

#include "Libs/Core/IndexStream.h"
#include "Libs/Core/VertexStream.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// Vertex and index storage of the mesh in system memory: render-core
// streams that live on the host, so that the mesh and its rendering
// instances read the same over either kind.
namespace Vostrel {
namespace Mesh {

// 0 read-write, 1 read-only, 2 discard (the whole contents are overwritten).
typedef Core::LockType LockType;
const LockType LOCK_READ_WRITE = Core::LOCK_READ_WRITE;
const LockType LOCK_READ_ONLY = Core::LOCK_READ_ONLY;
const LockType LOCK_DISCARD = Core::LOCK_DISCARD;

// Low three bits: 0 system memory, 1 and 2 managed, 3 dynamic, 4 static
// write-only; bit 3 asks for point sprites.
typedef Core::StreamUsage StreamUsage;

typedef Core::IndexStreamType IndexStreamType;
const IndexStreamType IS_16BIT = Core::INDEX_16BIT;
const IndexStreamType IS_32BIT = Core::INDEX_32BIT;

// The bytes, usage and lock flag both kinds of stream keep.
class HostBytes {
public:
    HostBytes(size_t size, StreamUsage usage);

    // The recorded size, never more than the bytes held.
    size_t getSize() const { return size; }
    void setSize(size_t newSize);
    void* lockRange(size_t offset, size_t length, LockType lockType);
    void* lock(LockType lockType) { return lockRange(0, size, lockType); }
    void unlock() { locked = false; }
    bool isLocked() const { return locked; }
    StreamUsage getUsage() const { return usage; }
    void setUsage(StreamUsage newUsage);

private:
    std::vector<unsigned char> bytes;
    size_t size;
    StreamUsage usage;
    bool locked = false;
};

class HostVertexStream : public Core::VertexStream {
public:
    HostVertexStream(size_t size, int stride, StreamUsage usage) : bytes(size, usage), stride(stride) {}

    int getSize() const override { return static_cast<int>(bytes.getSize()); }
    int getStride() const override { return stride; }
    void setSize(int size) override;
    void setPriority(float) override {}
    void* lockRange(int offset, int size, LockType lockType) override;
    void* lock(LockType lockType) override { return bytes.lock(lockType); }
    void unlock() override { bytes.unlock(); }
    bool isLocked() const override { return bytes.isLocked(); }
    // System memory cannot be bound to the device.
    void bind(int streamNumber) override;
    StreamUsage getUsage() const override { return bytes.getUsage(); }
    void setUsage(StreamUsage usage) override { bytes.setUsage(usage); }
    void copyFrom(Core::VertexStream& source, int size, int sourceOffset, int destinationOffset) override;

private:
    HostBytes bytes;
    int stride;
};

class HostIndexStream : public Core::IndexStream {
public:
    HostIndexStream(size_t size, IndexStreamType type, StreamUsage usage) : bytes(size, usage), type(type) {}

    int getSize() const override { return static_cast<int>(bytes.getSize()); }
    IndexStreamType getType() const override { return type; }
    void setPriority(float) override {}
    void* lockRange(int offset, int size, LockType lockType) override;
    void* lock(LockType lockType) override { return bytes.lock(lockType); }
    void unlock() override { bytes.unlock(); }
    bool isLocked() const override { return bytes.isLocked(); }
    void bind() override;
    StreamUsage getUsage() const override { return bytes.getUsage(); }
    void setUsage(StreamUsage usage) override { bytes.setUsage(usage); }
    void copyFrom(Core::IndexStream& source, int size, int sourceOffset, int destinationOffset) override;

private:
    HostBytes bytes;
    IndexStreamType type;
};

typedef HostVertexStream VertexBuffer;
typedef HostIndexStream IndexBuffer;

std::unique_ptr<VertexBuffer> createVertexBuffer(size_t size, int stride, StreamUsage usage);
std::unique_ptr<IndexBuffer> createIndexBuffer(size_t size, IndexStreamType type, StreamUsage usage);

} // namespace Mesh
} // namespace Vostrel
