#include "Platform/D3D9/VertexDeclaration.h"

#include "Platform/D3D9/Device.h"
#include "Platform/D3D9/Internal.h"

namespace D3D9 {

std::optional<AttributeFormat> attributeFormat(BYTE declarationType)
{
    switch (declarationType) {
    case D3DDECLTYPE_FLOAT1: return AttributeFormat{1, GL_FLOAT, GL_FALSE, 4};
    case D3DDECLTYPE_FLOAT2: return AttributeFormat{2, GL_FLOAT, GL_FALSE, 8};
    case D3DDECLTYPE_FLOAT3: return AttributeFormat{3, GL_FLOAT, GL_FALSE, 12};
    case D3DDECLTYPE_FLOAT4: return AttributeFormat{4, GL_FLOAT, GL_FALSE, 16};
    case D3DDECLTYPE_D3DCOLOR: return AttributeFormat{GL_BGRA, GL_UNSIGNED_BYTE, GL_TRUE, 4};
    case D3DDECLTYPE_UBYTE4: return AttributeFormat{4, GL_UNSIGNED_BYTE, GL_FALSE, 4};
    case D3DDECLTYPE_SHORT2: return AttributeFormat{2, GL_SHORT, GL_FALSE, 4};
    case D3DDECLTYPE_SHORT4: return AttributeFormat{4, GL_SHORT, GL_FALSE, 8};
    case D3DDECLTYPE_UBYTE4N: return AttributeFormat{4, GL_UNSIGNED_BYTE, GL_TRUE, 4};
    case D3DDECLTYPE_SHORT2N: return AttributeFormat{2, GL_SHORT, GL_TRUE, 4};
    case D3DDECLTYPE_SHORT4N: return AttributeFormat{4, GL_SHORT, GL_TRUE, 8};
    case D3DDECLTYPE_USHORT2N: return AttributeFormat{2, GL_UNSIGNED_SHORT, GL_TRUE, 4};
    case D3DDECLTYPE_USHORT4N: return AttributeFormat{4, GL_UNSIGNED_SHORT, GL_TRUE, 8};
    default: return std::nullopt;
    }
}

std::string VertexDeclaration::parse(const D3DVERTEXELEMENT9* elements, std::vector<D3DVERTEXELEMENT9>& result)
{
    result.clear();
    if (!elements)
        return "no elements";
    for (size_t i = 0;; ++i) {
        const D3DVERTEXELEMENT9& element = elements[i];
        auto fault = [i](const std::string& what) { return "element " + std::to_string(i) + ": " + what; };
        if (element.Stream == 0xFF)
            return element.Type == D3DDECLTYPE_UNUSED ? std::string() : fault("an end marker not of type UNUSED");
        if (i + 1 >= MAXD3DDECLLENGTH)
            return "no end marker within " + std::to_string(MAXD3DDECLLENGTH) + " elements";
        if (element.Stream >= maxStreams)
            return fault("no stream " + std::to_string(element.Stream));
        if (!attributeFormat(element.Type))
            return fault("unknown type " + std::to_string(element.Type));
        if (element.Method != D3DDECLMETHOD_DEFAULT)
            return fault("a method other than DEFAULT");
        if (element.Usage > D3DDECLUSAGE_SAMPLE)
            return fault("unknown usage " + std::to_string(element.Usage));
        if (element.UsageIndex >= 16)
            return fault("usage index past 15");
        for (const D3DVERTEXELEMENT9& earlier : result)
            if (earlier.Usage == element.Usage && earlier.UsageIndex == element.UsageIndex)
                return fault("usage and index repeat");
        result.push_back(element);
    }
}

VertexDeclaration::VertexDeclaration(Device& device, std::vector<D3DVERTEXELEMENT9> elements)
    : DeviceObject(device, Ownership::Own), elements_(std::move(elements))
{
}

HRESULT VertexDeclaration::GetDevice(IDirect3DDevice9** result)
{
    return getDevice(result);
}

HRESULT VertexDeclaration::GetDeclaration(D3DVERTEXELEMENT9* elements, UINT* count)
{
    if (!count)
        return refuse("GetDeclaration", "no count pointer");
    *count = static_cast<UINT>(elements_.size() + 1);
    if (elements) {
        std::copy(elements_.begin(), elements_.end(), elements);
        elements[elements_.size()] = D3DDECL_END();
    }
    return D3D_OK;
}

const D3DVERTEXELEMENT9* VertexDeclaration::find(BYTE usage, BYTE usageIndex) const
{
    for (const D3DVERTEXELEMENT9& element : elements_)
        if (element.Usage == usage && element.UsageIndex == usageIndex)
            return &element;
    return nullptr;
}

} // namespace D3D9
