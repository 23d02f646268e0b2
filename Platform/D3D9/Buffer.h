#pragma once

// Internal: vertex and index buffers. Each keeps its bytes on the CPU and in
// an OpenGL buffer; a lock hands out the CPU bytes (so read-only locks of
// write-only buffers work), the last unlock uploads what the locks may have
// changed. A discard lock of a dynamic buffer gives fresh storage, as
// Direct3D does; any other buffer keeps its contents.

#include "Platform/D3D9/DeviceObject.h"
#include "Platform/D3D9/GL/Context.h"
#include "Platform/D3D9/GL/Objects.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace D3D9 {

class BufferStorage {
public:
    // D3D_OK when the device can make a buffer of this size and usage; the
    // call making it names a refusal.
    static HRESULT check(const char* call, UINT length, DWORD usage, D3DPOOL pool);

    BufferStorage(GL::Context& context, UINT length, DWORD usage);

    // Locks nest; a size of 0 (with any offset) locks from the offset to
    // the end. A range past the end is refused.
    HRESULT lock(UINT offset, UINT size, void** data, DWORD flags);
    HRESULT unlock();
    bool locked() const { return lockCount_ > 0; }

    GLuint name() const { return buffer_.get(); }
    UINT size() const { return size_; }
    const uint8_t* bytes() const { return bytes_.data(); }

    // The smallest and the largest of `count` indices from `start` (16 or
    // 32 bits wide), which must lie in the buffer. The answer for the last
    // range asked is kept until a lock may change the bytes, since the same
    // large mesh is drawn frame after frame.
    struct IndexRange {
        uint32_t lowest;
        uint32_t highest;
    };
    IndexRange indexRange(UINT start, UINT count, bool wide);

private:
    GL::Context& context_;
    UINT size_;
    DWORD usage_;
    std::vector<uint8_t> bytes_; // at least one byte, so a lock of size 0 has a pointer
    GL::Buffer buffer_;
    int lockCount_ = 0;
    UINT dirtyBegin_ = 0;
    UINT dirtyEnd_ = 0;
    struct KeptRange {
        UINT start;
        UINT count;
        bool wide;
        IndexRange range;
    };
    std::optional<KeptRange> keptRange_;
};

template <typename Interface, typename Description>
class BufferObject : public Interface, public DeviceObject {
public:
    BufferObject(Device& device, const Description& description);
    ~BufferObject() override;

    ULONG AddRef() override { return addRef(); }
    ULONG Release() override { return release(); }
    HRESULT GetDevice(IDirect3DDevice9** result) override;
    DWORD SetPriority(DWORD value) override;
    DWORD GetPriority() override { return priority_; }
    void PreLoad() override {}
    D3DRESOURCETYPE GetType() override { return description_.Type; }
    HRESULT Lock(UINT offset, UINT size, void** data, DWORD flags) override;
    HRESULT Unlock() override;
    HRESULT GetDesc(Description* result) override;

    BufferStorage& storage() { return storage_; }
    const Description& description() const { return description_; }

private:
    Description description_;
    BufferStorage storage_;
    DWORD priority_ = 0;
};

using VertexBuffer = BufferObject<IDirect3DVertexBuffer9, D3DVERTEXBUFFER_DESC>;
using IndexBuffer = BufferObject<IDirect3DIndexBuffer9, D3DINDEXBUFFER_DESC>;

VertexBuffer* asVertexBuffer(IDirect3DVertexBuffer9* buffer);
IndexBuffer* asIndexBuffer(IDirect3DIndexBuffer9* buffer);

} // namespace D3D9
