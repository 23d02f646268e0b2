#include "Libs/Core/DirectX/DXVertexStream.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/DirectX/DXTexture.h"
#include "Libs/Core/StreamCopy.h"

#include <cmath>
#include <cstring>

namespace Vostrel {
namespace Core {

void streamPoolAndUsage(StreamUsage usage, bool vertices, D3DPOOL& pool, DWORD& flags)
{
    flags = 0;
    switch (usage & 7) {
    case 0: pool = D3DPOOL_SYSTEMMEM; break;
    case 1:
    case 2: pool = D3DPOOL_MANAGED; break;
    case 3:
        pool = D3DPOOL_DEFAULT;
        flags = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY;
        break;
    case 4:
        pool = D3DPOOL_DEFAULT;
        flags = D3DUSAGE_WRITEONLY;
        break;
    default: VOSTREL_THROW("Invalid usage");
    }
    if (vertices && (usage & STREAM_POINT_SPRITES))
        flags |= D3DUSAGE_POINTS;
}

DWORD streamPriority(float priority)
{
    double whole = std::trunc(static_cast<double>(priority));
    if (!(whole > -2147483648.0 && whole < 2147483648.0))
        whole = 0.0;
    return static_cast<DWORD>(-static_cast<int64_t>(whole));
}

IDirect3DVertexBuffer9* DXVertexStream::createBuffer(int size, StreamUsage usage)
{
    D3DPOOL pool;
    DWORD flags;
    streamPoolAndUsage(usage, true, pool, flags);
    IDirect3DVertexBuffer9* created = nullptr;
    if (size < 0 || DXCore::getDevice()->CreateVertexBuffer(static_cast<UINT>(size), flags, 0, pool, &created,
                                                            nullptr) != D3D_OK)
        VOSTREL_THROW("Could not create vertex buffer.");
    return created;
}

DXVertexStream::DXVertexStream(int size, int stride, StreamUsage usage)
    : size(size), stride(stride), usage(usage), capacity(size)
{
    buffer = createBuffer(size, usage);
}

DXVertexStream::~DXVertexStream()
{
    buffer->Release();
}

void DXVertexStream::setSize(int bytes)
{
    // The buffer keeps its size, so no larger size can be recorded.
    if (bytes < 0 || bytes > capacity)
        VOSTREL_THROW("DXVertexStream::setSize: " << bytes << " bytes do not fit the buffer's " << capacity);
    size = bytes;
}

void DXVertexStream::setPriority(float priority)
{
    buffer->SetPriority(streamPriority(priority));
}

void* DXVertexStream::lockRange(int offset, int length, LockType lockType)
{
    if (!rangeInside(offset, length, size))
        VOSTREL_THROW("DXVertexStream::lockRange: " << length << " bytes at " << offset << " lie outside the stream's "
                                                    << size);
    DWORD flags = DXTexture::lockFlags(lockType);
    void* data = nullptr;
    if (buffer->Lock(static_cast<UINT>(offset), static_cast<UINT>(length), &data, flags) != D3D_OK)
        VOSTREL_THROW("Unable to lock vertex stream!");
    locked = true;
    return data;
}

void* DXVertexStream::lock(LockType lockType)
{
    DWORD flags = DXTexture::lockFlags(lockType);
    void* data = nullptr;
    if (buffer->Lock(0, 0, &data, flags) != D3D_OK)
        VOSTREL_THROW("Unable to lock vertex stream!");
    locked = true;
    return data;
}

void DXVertexStream::unlock()
{
    locked = false;
    buffer->Unlock();
}

void DXVertexStream::bind(int streamNumber)
{
    DXCore::getDevice()->SetStreamSource(static_cast<UINT>(streamNumber), buffer, 0, static_cast<UINT>(stride));
}

void DXVertexStream::setUsage(StreamUsage newUsage)
{
    // The new buffer is made and filled before the old one goes, and the old
    // one is read through a lock that keeps its contents.
    IDirect3DVertexBuffer9* fresh = createBuffer(size, newUsage);
    void* to = nullptr;
    void* from = nullptr;
    if (fresh->Lock(0, 0, &to, DXTexture::lockFlags(LOCK_DISCARD)) != D3D_OK) {
        fresh->Release();
        VOSTREL_THROW("Unable to lock vertex stream!");
    }
    if (buffer->Lock(0, 0, &from, DXTexture::lockFlags(LOCK_READ_ONLY)) != D3D_OK) {
        fresh->Unlock();
        fresh->Release();
        VOSTREL_THROW("Unable to lock vertex stream!");
    }
    if (size > 0)
        std::memcpy(to, from, static_cast<size_t>(size));
    fresh->Unlock();
    buffer->Unlock();
    buffer->Release();
    buffer = fresh;
    capacity = size;
    usage = newUsage;
    APICore::deviceObjectReplaced(this);
}

void DXVertexStream::copyFrom(VertexStream& source, int length, int sourceOffset, int destinationOffset)
{
    copyStreamBytes<VertexStream>(*this, source, length, sourceOffset, destinationOffset);
}

} // namespace Core
} // namespace Vostrel
