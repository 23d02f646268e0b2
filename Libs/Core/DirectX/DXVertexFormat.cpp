#include "Libs/Core/DirectX/DXVertexFormat.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"

#include <ios>
#include <vector>

namespace Vostrel {
namespace Core {

namespace {

BYTE declarationType(VertexDataType type)
{
    switch (type) {
    case VERTEX_FLOAT1: return D3DDECLTYPE_FLOAT1;
    case VERTEX_FLOAT2: return D3DDECLTYPE_FLOAT2;
    case VERTEX_FLOAT3: return D3DDECLTYPE_FLOAT3;
    case VERTEX_FLOAT4: return D3DDECLTYPE_FLOAT4;
    case VERTEX_UBYTE4: return D3DDECLTYPE_UBYTE4;
    default: VOSTREL_THROW("Unknown vertex stream data type.");
    }
}

} // namespace

DXVertexFormat::DXVertexFormat(int elementCount, const VertexElement* elements)
{
    std::vector<D3DVERTEXELEMENT9> entries;
    for (int i = 0; i < elementCount; ++i) {
        const VertexElement& element = elements[i];
        entries.push_back({static_cast<WORD>(element.stream), static_cast<WORD>(element.offset),
                           declarationType(element.type), D3DDECLMETHOD_DEFAULT, D3DDECLUSAGE_TEXCOORD,
                           static_cast<BYTE>(element.attribute)});
    }
    entries.push_back(D3DDECL_END());
    HRESULT result = DXCore::getDevice()->CreateVertexDeclaration(entries.data(), &declaration);
    if (result != D3D_OK)
        VOSTREL_THROW("Error in creating vertex declaration: 0x" << std::hex << static_cast<DWORD>(result));
}

DXVertexFormat::~DXVertexFormat()
{
    if (declaration)
        declaration->Release();
}

void DXVertexFormat::bind()
{
    DXCore::getDevice()->SetVertexDeclaration(declaration);
}

} // namespace Core
} // namespace Vostrel
