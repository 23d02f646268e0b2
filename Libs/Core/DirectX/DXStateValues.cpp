#include "Libs/Core/DirectX/DXStateValues.h"

#include "Libs/Common/Exception.h"

namespace Vostrel {
namespace Core {

namespace {

// Direct3D 9's values, from its documentation. Kept local so that this file
// needs no Direct3D header.
enum : std::uint32_t {
    D3DCMP_NEVER = 1, D3DCMP_LESS, D3DCMP_EQUAL, D3DCMP_LESSEQUAL,
    D3DCMP_GREATER, D3DCMP_NOTEQUAL, D3DCMP_GREATEREQUAL, D3DCMP_ALWAYS,
};
enum : std::uint32_t {
    D3DBLEND_ZERO = 1, D3DBLEND_ONE, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR,
    D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA,
    D3DBLEND_DESTCOLOR, D3DBLEND_INVDESTCOLOR, D3DBLEND_SRCALPHASAT,
    D3DBLEND_BLENDFACTOR = 14, D3DBLEND_INVBLENDFACTOR,
};
enum : std::uint32_t {
    D3DBLENDOP_ADD = 1, D3DBLENDOP_SUBTRACT, D3DBLENDOP_REVSUBTRACT, D3DBLENDOP_MIN, D3DBLENDOP_MAX,
};
enum : std::uint32_t {
    D3DSTENCILOP_KEEP = 1, D3DSTENCILOP_ZERO, D3DSTENCILOP_REPLACE, D3DSTENCILOP_INCRSAT,
    D3DSTENCILOP_DECRSAT, D3DSTENCILOP_INVERT, D3DSTENCILOP_INCR, D3DSTENCILOP_DECR,
};
enum : std::uint32_t { D3DCULL_NONE = 1, D3DCULL_CW, D3DCULL_CCW };
enum : std::uint32_t { D3DFILL_POINT = 1, D3DFILL_WIREFRAME, D3DFILL_SOLID };
enum : std::uint32_t {
    D3DPT_POINTLIST = 1, D3DPT_LINELIST, D3DPT_LINESTRIP, D3DPT_TRIANGLELIST,
    D3DPT_TRIANGLESTRIP, D3DPT_TRIANGLEFAN,
};

const std::uint32_t compareFunctions[] = {
    D3DCMP_NEVER, D3DCMP_LESS, D3DCMP_EQUAL, D3DCMP_LESSEQUAL,
    D3DCMP_GREATER, D3DCMP_NOTEQUAL, D3DCMP_GREATEREQUAL, D3DCMP_ALWAYS,
};
// The engine cannot express Direct3D's 12 and 13 (both-source-alpha).
const std::uint32_t blendModes[] = {
    D3DBLEND_ZERO, D3DBLEND_ONE, D3DBLEND_SRCCOLOR, D3DBLEND_INVSRCCOLOR,
    D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, D3DBLEND_DESTALPHA, D3DBLEND_INVDESTALPHA,
    D3DBLEND_DESTCOLOR, D3DBLEND_INVDESTCOLOR, D3DBLEND_SRCALPHASAT, D3DBLEND_BLENDFACTOR,
    D3DBLEND_INVBLENDFACTOR,
};
const std::uint32_t blendOperations[] = {
    D3DBLENDOP_ADD, D3DBLENDOP_SUBTRACT, D3DBLENDOP_REVSUBTRACT, D3DBLENDOP_MIN, D3DBLENDOP_MAX,
};
// The engine's zero and keep come in the reverse of Direct3D's order, and its
// value 2 is no operation at all (0 marks the hole).
const std::uint32_t stencilOperations[] = {
    D3DSTENCILOP_ZERO, D3DSTENCILOP_KEEP, 0, D3DSTENCILOP_REPLACE, D3DSTENCILOP_INCRSAT,
    D3DSTENCILOP_DECRSAT, D3DSTENCILOP_INVERT, D3DSTENCILOP_INCR, D3DSTENCILOP_DECR,
};
const std::uint32_t cullModes[] = {D3DCULL_NONE, D3DCULL_CW, D3DCULL_CCW};
const std::uint32_t fillModes[] = {D3DFILL_SOLID, D3DFILL_WIREFRAME, D3DFILL_POINT};
const std::uint32_t primitiveTypes[] = {
    D3DPT_POINTLIST, D3DPT_LINELIST, D3DPT_LINESTRIP, D3DPT_TRIANGLELIST,
    D3DPT_TRIANGLESTRIP, D3DPT_TRIANGLEFAN,
};

// The refusals are the device's own and are reported from its source.
template <std::size_t N>
std::uint32_t lookUp(const std::uint32_t (&table)[N], int value, const char* refusal, int line)
{
    if (value < 0 || value >= static_cast<int>(N) || table[value] == 0)
        throw Exception(refusal, sourceName("Libs/Core/DirectX/DXCore.cpp"), line);
    return table[value];
}

} // namespace

std::uint32_t toD3DCompareFunction(CompareFunction function)
{
    return lookUp(compareFunctions, function, "Invalid compare function.", __LINE__);
}

std::uint32_t toD3DBlendMode(BlendMode mode)
{
    return lookUp(blendModes, mode, "Invalid blend mode.", __LINE__);
}

std::uint32_t toD3DBlendOperation(BlendOperation operation)
{
    return lookUp(blendOperations, operation, "Invalid Blend operation.", __LINE__);
}

std::uint32_t toD3DStencilOperation(StencilOperation operation)
{
    return lookUp(stencilOperations, operation, "Invalid stencil operation", __LINE__);
}

std::uint32_t toD3DCullMode(CullMode mode)
{
    return lookUp(cullModes, mode, "Invalid cull mode", __LINE__);
}

std::uint32_t toD3DFillMode(FillMode mode)
{
    return lookUp(fillModes, mode, "Invalid fill mode", __LINE__);
}

std::uint32_t toD3DPrimitiveType(PrimitiveType type)
{
    return lookUp(primitiveTypes, type, "DXCore: Unknown primitive type.\n", __LINE__);
}

} // namespace Core
} // namespace Vostrel
