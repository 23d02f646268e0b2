#include "Platform/D3D9/Internal.h"
#include "Platform/D3DX9/d3dx9.h"

#include <vector>

namespace {

class Buffer : public ID3DXBuffer {
public:
    explicit Buffer(DWORD size) : bytes_(size, 0) {}
    ULONG AddRef() override { return ++references_; }
    ULONG Release() override
    {
        ULONG left = --references_;
        if (left == 0)
            delete this;
        return left;
    }
    void* GetBufferPointer() override { return bytes_.empty() ? nullptr : bytes_.data(); }
    DWORD GetBufferSize() override { return static_cast<DWORD>(bytes_.size()); }

private:
    ~Buffer() override = default;
    std::vector<unsigned char> bytes_;
    ULONG references_ = 1;
};

} // namespace

HRESULT WINAPI D3DXCreateBuffer(DWORD numBytes, LPD3DXBUFFER* buffer)
{
    if (!buffer)
        return D3D9::refuse("D3DXCreateBuffer", "no result pointer");
    if (numBytes > (1u << 30))
        return D3D9::refuse("D3DXCreateBuffer", "larger than 1 GB", E_OUTOFMEMORY);
    *buffer = new Buffer(numBytes);
    return D3D_OK;
}
