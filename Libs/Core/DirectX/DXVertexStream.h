#pragma once

#include "Libs/Core/VertexStream.h"
#include "Platform/D3D9/d3d9.h"

namespace Vostrel {
namespace Core {

// The pool and usage flags of a stream usage; throws "Invalid usage" for
// the kinds 5 to 7. Point sprites count only for vertex buffers.
void streamPoolAndUsage(StreamUsage usage, bool vertices, D3DPOOL& pool, DWORD& flags);
// SetPriority's value for a stream: the negated integer part.
DWORD streamPriority(float priority);

// Vertex bytes in a Direct3D vertex buffer.
class DXVertexStream : public VertexStream {
public:
    DXVertexStream(int size, int stride, StreamUsage usage);
    ~DXVertexStream() override;

    int getSize() const override { return size; }
    int getStride() const override { return stride; }
    void setSize(int bytes) override;
    void setPriority(float priority) override;
    void* lockRange(int offset, int size, LockType lockType) override;
    void* lock(LockType lockType) override;
    void unlock() override;
    bool isLocked() const override { return locked; }
    void bind(int streamNumber) override;
    StreamUsage getUsage() const override { return usage; }
    void setUsage(StreamUsage usage) override;
    void copyFrom(VertexStream& source, int size, int sourceOffset, int destinationOffset) override;

private:
    static IDirect3DVertexBuffer9* createBuffer(int size, StreamUsage usage);

    int size;     // as recorded; never more than capacity
    int stride;
    IDirect3DVertexBuffer9* buffer = nullptr;
    bool locked = false;
    StreamUsage usage;
    int capacity; // the buffer's bytes
};

} // namespace Core
} // namespace Vostrel
