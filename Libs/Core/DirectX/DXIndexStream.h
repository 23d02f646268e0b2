#pragma once

#include "Libs/Core/IndexStream.h"
#include "Platform/D3D9/d3d9.h"

namespace Vostrel {
namespace Core {

// The lock flags of an engine lock type as index streams map them:
// read-only without no-overwrite.
DWORD DXMapLockType(LockType lockType);

// 16- or 32-bit indices in a Direct3D index buffer.
class DXIndexStream : public IndexStream {
public:
    DXIndexStream(int size, IndexStreamType type, StreamUsage usage);
    ~DXIndexStream() override;

    int getSize() const override { return size; }
    IndexStreamType getType() const override { return type; }
    void setPriority(float priority) override;
    void* lockRange(int offset, int size, LockType lockType) override;
    void* lock(LockType lockType) override;
    void unlock() override;
    bool isLocked() const override { return locked; }
    void bind() override;
    StreamUsage getUsage() const override { return usage; }
    void setUsage(StreamUsage usage) override;
    void copyFrom(IndexStream& source, int size, int sourceOffset, int destinationOffset) override;

private:
    IDirect3DIndexBuffer9* createBuffer(StreamUsage usage) const;

    int size;
    IndexStreamType type;
    IDirect3DIndexBuffer9* buffer = nullptr;
    bool locked = false;
    StreamUsage usage;
};

} // namespace Core
} // namespace Vostrel
