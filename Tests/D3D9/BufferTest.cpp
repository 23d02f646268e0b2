#include "Platform/D3D9/Buffer.h"
#include "Platform/D3D9/VertexDeclaration.h"
#include "Tests/D3D9/DeviceFixture.h"

#include <epoxy/gl.h>

#include <numeric>

namespace {

using BufferTest = DeviceTest;

std::vector<uint8_t> heldByOpenGL(IDirect3DVertexBuffer9* buffer)
{
    D3D9::VertexBuffer* object = D3D9::asVertexBuffer(buffer);
    std::vector<uint8_t> bytes(object->storage().size());
    glGetNamedBufferSubData(object->storage().name(), 0, static_cast<GLsizeiptr>(bytes.size()), bytes.data());
    return bytes;
}

IDirect3DVertexBuffer9* filledBuffer(IDirect3DDevice9* device, UINT size, DWORD usage, D3DPOOL pool)
{
    IDirect3DVertexBuffer9* buffer = nullptr;
    EXPECT_EQ(device->CreateVertexBuffer(size, usage, 0, pool, &buffer, nullptr), D3D_OK);
    void* data = nullptr;
    EXPECT_EQ(buffer->Lock(0, 0, &data, 0), D3D_OK);
    std::iota(static_cast<uint8_t*>(data), static_cast<uint8_t*>(data) + size, uint8_t(1));
    EXPECT_EQ(buffer->Unlock(), D3D_OK);
    return buffer;
}

TEST_F(BufferTest, RangeLocksReachOpenGL)
{
    IDirect3DVertexBuffer9* buffer = filledBuffer(device, 16, 0, D3DPOOL_MANAGED);
    void* data = nullptr;
    ASSERT_EQ(buffer->Lock(4, 4, &data, 0), D3D_OK);
    EXPECT_EQ(*static_cast<uint8_t*>(data), 5);
    std::memset(data, 0xAA, 4);
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    std::vector<uint8_t> held = heldByOpenGL(buffer);
    EXPECT_EQ(held[3], 4);
    EXPECT_EQ(held[4], 0xAA);
    EXPECT_EQ(held[7], 0xAA);
    EXPECT_EQ(held[8], 9);
    buffer->Release();
}

TEST_F(BufferTest, DiscardGivesFreshStorageOnlyToDynamicBuffers)
{
    struct Case {
        DWORD usage;
        D3DPOOL pool;
        bool keeps;
    };
    const Case cases[] = {
        {D3DUSAGE_DYNAMIC | D3DUSAGE_WRITEONLY, D3DPOOL_DEFAULT, false},
        {D3DUSAGE_WRITEONLY, D3DPOOL_DEFAULT, true},
        {0, D3DPOOL_MANAGED, true},
        {0, D3DPOOL_SYSTEMMEM, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.usage);
        IDirect3DVertexBuffer9* buffer = filledBuffer(device, 8, c.usage, c.pool);
        void* data = nullptr;
        ASSERT_EQ(buffer->Lock(4, 4, &data, D3DLOCK_DISCARD), D3D_OK);
        EXPECT_EQ(*static_cast<uint8_t*>(data), c.keeps ? 5 : 0);
        ASSERT_EQ(buffer->Unlock(), D3D_OK);
        EXPECT_EQ(heldByOpenGL(buffer)[0], c.keeps ? 1 : 0) << "the GPU copy matches";
        // A read-only lock of a write-only buffer still reads.
        ASSERT_EQ(buffer->Lock(0, 0, &data, D3DLOCK_READONLY), D3D_OK);
        EXPECT_EQ(static_cast<uint8_t*>(data)[1], c.keeps ? 2 : 0);
        buffer->Unlock();
        buffer->Release();
    }
}

TEST_F(BufferTest, LocksNestAndTheLastUnlockUploadsBoth)
{
    IDirect3DVertexBuffer9* buffer = filledBuffer(device, 8, D3DUSAGE_WRITEONLY, D3DPOOL_DEFAULT);
    void* first = nullptr;
    void* second = nullptr;
    ASSERT_EQ(buffer->Lock(0, 2, &first, D3DLOCK_READONLY), D3D_OK);
    ASSERT_EQ(buffer->Lock(6, 2, &second, 0), D3D_OK);
    static_cast<uint8_t*>(second)[1] = 0x55;
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    ASSERT_EQ(buffer->Unlock(), D3D_OK);
    EXPECT_EQ(heldByOpenGL(buffer)[7], 0x55);
    buffer->Release();
}

TEST_F(BufferTest, EmptyBuffersAreCreatableAndLockable)
{
    IDirect3DVertexBuffer9* vertices = nullptr;
    ASSERT_EQ(device->CreateVertexBuffer(0, D3DUSAGE_WRITEONLY, 0, D3DPOOL_DEFAULT, &vertices, nullptr), D3D_OK);
    void* data = nullptr;
    ASSERT_EQ(vertices->Lock(0, 0, &data, 0), D3D_OK);
    EXPECT_NE(data, nullptr);
    EXPECT_EQ(vertices->Unlock(), D3D_OK);
    vertices->Release();
    IDirect3DIndexBuffer9* indices = nullptr;
    ASSERT_EQ(device->CreateIndexBuffer(0, 0, D3DFMT_INDEX16, D3DPOOL_MANAGED, &indices, nullptr), D3D_OK);
    D3DINDEXBUFFER_DESC description;
    indices->GetDesc(&description);
    EXPECT_EQ(description.Size, 0u);
    EXPECT_EQ(description.Format, D3DFMT_INDEX16);
    indices->Release();
}

TEST_F(BufferTest, DeclarationsEndAtTheMarker)
{
    const D3DVERTEXELEMENT9 elements[] = {
        {0, 0, D3DDECLTYPE_FLOAT3, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 0},
        {1, 4, D3DDECLTYPE_UBYTE4, D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD, 3},
        D3DDECL_END(),
    };
    IDirect3DVertexDeclaration9* declaration = nullptr;
    ASSERT_EQ(device->CreateVertexDeclaration(elements, &declaration), D3D_OK);
    UINT count = 0;
    ASSERT_EQ(declaration->GetDeclaration(nullptr, &count), D3D_OK);
    EXPECT_EQ(count, 3u) << "the end marker counts";
    D3DVERTEXELEMENT9 back[3];
    declaration->GetDeclaration(back, &count);
    EXPECT_EQ(back[1].Offset, 4);
    EXPECT_EQ(back[2].Stream, 0xFF);
    declaration->Release();

    const D3DVERTEXELEMENT9 onlyEnd[] = {D3DDECL_END()};
    ASSERT_EQ(device->CreateVertexDeclaration(onlyEnd, &declaration), D3D_OK);
    declaration->Release();
}

} // namespace
