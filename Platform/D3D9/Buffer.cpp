#include "Platform/D3D9/Buffer.h"

#include "Platform/D3D9/Device.h"
#include "Platform/D3D9/Internal.h"

#include <algorithm>
#include <cstring>

namespace D3D9 {

namespace {

constexpr UINT maxBufferBytes = 256u << 20;

GLenum bufferUsage(DWORD usage)
{
    return (usage & D3DUSAGE_DYNAMIC) ? GL_DYNAMIC_DRAW : GL_STATIC_DRAW;
}

} // namespace

HRESULT BufferStorage::check(const char* call, UINT length, DWORD usage, D3DPOOL pool)
{
    const DWORD known = D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY | D3DUSAGE_POINTS;
    if (usage & ~known)
        return refuse(call, "unknown usage");
    if (pool > D3DPOOL_SCRATCH)
        return refuse(call, "unknown pool");
    if ((usage & D3DUSAGE_DYNAMIC) && pool == D3DPOOL_MANAGED)
        return refuse(call, "dynamic and managed");
    if (length > maxBufferBytes)
        return refuse(call, "larger than 256 MB", E_OUTOFMEMORY);
    return D3D_OK;
}

BufferStorage::BufferStorage(GL::Context& context, UINT length, DWORD usage)
    : context_(context), size_(length), usage_(usage), bytes_(std::max(length, 1u), 0)
{
    context_.makeCurrent();
    GLuint name = 0;
    glCreateBuffers(1, &name);
    buffer_ = GL::Buffer(name);
    glNamedBufferData(name, static_cast<GLsizeiptr>(size_), bytes_.data(), bufferUsage(usage_));
}

HRESULT BufferStorage::lock(UINT offset, UINT size, void** data, DWORD flags)
{
    if (!data)
        return refuse("Lock", "no result pointer");
    if (offset > size_ || size > size_ - offset)
        return refuse("Lock", "range past the end");
    UINT end = size == 0 ? size_ : offset + size;
    if ((flags & D3DLOCK_DISCARD) && (usage_ & D3DUSAGE_DYNAMIC)) {
        // Fresh storage: what was there is gone, and the next upload takes
        // all of it so the GPU copy matches.
        std::fill(bytes_.begin(), bytes_.end(), 0);
        context_.makeCurrent();
        glNamedBufferData(buffer_.get(), static_cast<GLsizeiptr>(size_), nullptr, bufferUsage(usage_));
        offset = 0;
        end = size_;
    }
    if (!(flags & D3DLOCK_READONLY)) {
        keptRange_.reset();
        if (dirtyBegin_ == dirtyEnd_) {
            dirtyBegin_ = offset;
            dirtyEnd_ = end;
        } else {
            dirtyBegin_ = std::min(dirtyBegin_, offset);
            dirtyEnd_ = std::max(dirtyEnd_, end);
        }
    }
    ++lockCount_;
    *data = bytes_.data() + (size_ == 0 ? 0 : offset);
    return D3D_OK;
}

HRESULT BufferStorage::unlock()
{
    if (lockCount_ == 0)
        return refuse("Unlock", "not locked");
    if (--lockCount_ > 0 || dirtyBegin_ == dirtyEnd_)
        return D3D_OK;
    context_.makeCurrent();
    glNamedBufferSubData(buffer_.get(), static_cast<GLintptr>(dirtyBegin_),
                         static_cast<GLsizeiptr>(dirtyEnd_ - dirtyBegin_), bytes_.data() + dirtyBegin_);
    dirtyBegin_ = dirtyEnd_ = 0;
    return D3D_OK;
}

BufferStorage::IndexRange BufferStorage::indexRange(UINT start, UINT count, bool wide)
{
    if (keptRange_ && keptRange_->start == start && keptRange_->count == count && keptRange_->wide == wide)
        return keptRange_->range;
    IndexRange range = {UINT32_MAX, 0};
    const uint8_t* at = bytes_.data() + static_cast<size_t>(start) * (wide ? 4 : 2);
    for (UINT i = 0; i < count; ++i) {
        uint32_t index;
        if (wide) {
            std::memcpy(&index, at + static_cast<size_t>(i) * 4, 4);
        } else {
            uint16_t narrow;
            std::memcpy(&narrow, at + static_cast<size_t>(i) * 2, 2);
            index = narrow;
        }
        range.lowest = std::min(range.lowest, index);
        range.highest = std::max(range.highest, index);
    }
    // Bytes under a lock may still change.
    if (lockCount_ == 0)
        keptRange_ = KeptRange{start, count, wide, range};
    return range;
}

template <typename Interface, typename Description>
BufferObject<Interface, Description>::BufferObject(Device& device, const Description& description)
    : DeviceObject(device, Ownership::Own),
      description_(description),
      storage_(device.context(), description.Size, description.Usage)
{
}

template <typename Interface, typename Description>
BufferObject<Interface, Description>::~BufferObject()
{
    device().context().makeCurrent();
}

template <typename Interface, typename Description>
HRESULT BufferObject<Interface, Description>::GetDevice(IDirect3DDevice9** result)
{
    return getDevice(result);
}

template <typename Interface, typename Description>
DWORD BufferObject<Interface, Description>::SetPriority(DWORD value)
{
    logCall("SetPriority", {static_cast<int64_t>(value)});
    if (description_.Pool != D3DPOOL_MANAGED)
        return 0;
    return std::exchange(priority_, value);
}

template <typename Interface, typename Description>
HRESULT BufferObject<Interface, Description>::Lock(UINT offset, UINT size, void** data, DWORD flags)
{
    logCall(description_.Type == D3DRTYPE_VERTEXBUFFER ? "LockVertexBuffer" : "LockIndexBuffer",
            {static_cast<int64_t>(offset), static_cast<int64_t>(size), static_cast<int64_t>(flags)});
    return storage_.lock(offset, size, data, flags);
}

template <typename Interface, typename Description>
HRESULT BufferObject<Interface, Description>::Unlock()
{
    return storage_.unlock();
}

template <typename Interface, typename Description>
HRESULT BufferObject<Interface, Description>::GetDesc(Description* result)
{
    if (!result)
        return refuse("GetDesc", "no result pointer");
    *result = description_;
    return D3D_OK;
}

template class BufferObject<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
template class BufferObject<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

VertexBuffer* asVertexBuffer(IDirect3DVertexBuffer9* buffer)
{
    return dynamic_cast<VertexBuffer*>(buffer);
}

IndexBuffer* asIndexBuffer(IDirect3DIndexBuffer9* buffer)
{
    return dynamic_cast<IndexBuffer*>(buffer);
}

} // namespace D3D9
