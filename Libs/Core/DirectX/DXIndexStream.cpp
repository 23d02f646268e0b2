#include "Libs/Core/DirectX/DXIndexStream.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/DirectX/DXVertexStream.h"
#include "Libs/Core/StreamCopy.h"

#include <cstring>
#include <memory>

namespace Vostrel {
namespace Core {

namespace {

D3DFORMAT convert(IndexStreamType type)
{
    switch (type) {
    case INDEX_16BIT: return D3DFMT_INDEX16;
    case INDEX_32BIT: return D3DFMT_INDEX32;
    default: VOSTREL_THROW("convert(IndexStreamType): Unknown index type: " << static_cast<int>(type));
    }
}

// Releases a buffer on the way out unless it was kept.
struct BufferGuard {
    IDirect3DIndexBuffer9* buffer;
    ~BufferGuard()
    {
        if (buffer)
            buffer->Release();
    }
};

} // namespace

DWORD DXMapLockType(LockType lockType)
{
    switch (lockType) {
    case LOCK_READ_WRITE: return 0;
    case LOCK_READ_ONLY: return D3DLOCK_READONLY;
    case LOCK_DISCARD: return D3DLOCK_DISCARD;
    default: VOSTREL_THROW("DXMapLockType: Invalid lock type: " << static_cast<int>(lockType));
    }
}

IDirect3DIndexBuffer9* DXIndexStream::createBuffer(StreamUsage newUsage) const
{
    D3DFORMAT format = convert(type);
    D3DPOOL pool;
    DWORD flags;
    streamPoolAndUsage(newUsage, false, pool, flags);
    IDirect3DIndexBuffer9* created = nullptr;
    HRESULT result = size < 0 ? D3DERR_INVALIDCALL
                              : DXCore::getDevice()->CreateIndexBuffer(static_cast<UINT>(size), flags, format, pool,
                                                                       &created, nullptr);
    if (result != D3D_OK)
        VOSTREL_THROW("DXIndexStream: could not create index buffer, result = " << static_cast<long>(result));
    return created;
}

DXIndexStream::DXIndexStream(int size, IndexStreamType type, StreamUsage usage)
    : size(size), type(type), usage(usage)
{
    buffer = createBuffer(usage);
}

DXIndexStream::~DXIndexStream()
{
    if (buffer)
        buffer->Release();
}

void DXIndexStream::setPriority(float priority)
{
    buffer->SetPriority(streamPriority(priority));
}

void* DXIndexStream::lockRange(int offset, int length, LockType lockType)
{
    if (!rangeInside(offset, length, size))
        VOSTREL_THROW("DXIndexStream::lockRange: " << length << " bytes at " << offset << " lie outside the stream's "
                                                   << size);
    void* data = nullptr;
    HRESULT result = buffer->Lock(static_cast<UINT>(offset), static_cast<UINT>(length), &data, DXMapLockType(lockType));
    if (result != D3D_OK)
        VOSTREL_THROW("lock: unable to lock stream, result = " << static_cast<long>(result));
    locked = true;
    return data;
}

void* DXIndexStream::lock(LockType lockType)
{
    void* data = nullptr;
    HRESULT result = buffer->Lock(0, 0, &data, DXMapLockType(lockType));
    if (result != D3D_OK)
        VOSTREL_THROW("lock: unable to lock stream, result = " << static_cast<long>(result));
    locked = true;
    return data;
}

void DXIndexStream::unlock()
{
    locked = false;
    HRESULT result = buffer->Unlock();
    if (result != D3D_OK)
        VOSTREL_THROW("unlock: unlock error, result = " << static_cast<long>(result));
}

void DXIndexStream::bind()
{
    DXCore::getDevice()->SetIndices(buffer);
}

void DXIndexStream::setUsage(StreamUsage newUsage)
{
    BufferGuard fresh = {createBuffer(newUsage)};
    HRESULT result = D3D_OK;
    void* to = nullptr;
    result = fresh.buffer->Lock(0, 0, &to, DXMapLockType(LOCK_DISCARD));
    VOSTREL_ASSERT(result == D3D_OK);
    // The old contents are read through a lock that keeps them.
    void* from = nullptr;
    result = buffer->Lock(0, 0, &from, DXMapLockType(LOCK_READ_ONLY));
    if (result != D3D_OK) {
        fresh.buffer->Unlock();
        VOSTREL_THROW("lock: unable to lock stream, result = " << static_cast<long>(result));
    }
    if (size > 0)
        std::memcpy(to, from, static_cast<size_t>(size));
    buffer->Unlock();
    result = fresh.buffer->Unlock();
    VOSTREL_ASSERT(result == D3D_OK);
    buffer->Release();
    buffer = fresh.buffer;
    fresh.buffer = nullptr;
    usage = newUsage;
    APICore::deviceObjectReplaced(this);
}

void DXIndexStream::copyFrom(IndexStream& source, int length, int sourceOffset, int destinationOffset)
{
    copyStreamBytes<IndexStream>(*this, source, length, sourceOffset, destinationOffset);
}

} // namespace Core
} // namespace Vostrel
