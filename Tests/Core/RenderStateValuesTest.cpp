#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXStateValues.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

using namespace Vostrel::Core;

namespace {

// Direct3D 9's numbers, written down once from its public documentation
// (the D3DCMPFUNC, D3DBLEND, D3DBLENDOP, D3DSTENCILOP, D3DCULL, D3DFILLMODE
// and D3DPRIMITIVETYPE pages), with the engine value that maps to each.
struct Mapping {
    int engineValue;
    const char* direct3DName;
    std::uint32_t direct3DValue;
};

struct Enumeration {
    const char* name;
    std::function<std::uint32_t(int)> map;
    std::vector<Mapping> mappings;
    std::vector<int> refused;
    std::string refusal;
};

std::vector<Enumeration> enumerations()
{
    return {
        {"CompareFunction", [](int v) { return toD3DCompareFunction(static_cast<CompareFunction>(v)); },
         {{0, "D3DCMP_NEVER", 1}, {1, "D3DCMP_LESS", 2}, {2, "D3DCMP_EQUAL", 3}, {3, "D3DCMP_LESSEQUAL", 4},
          {4, "D3DCMP_GREATER", 5}, {5, "D3DCMP_NOTEQUAL", 6}, {6, "D3DCMP_GREATEREQUAL", 7},
          {7, "D3DCMP_ALWAYS", 8}},
         {-1, 8, 1000},
         "Invalid compare function."},
        {"BlendMode", [](int v) { return toD3DBlendMode(static_cast<BlendMode>(v)); },
         {{0, "D3DBLEND_ZERO", 1}, {1, "D3DBLEND_ONE", 2}, {2, "D3DBLEND_SRCCOLOR", 3},
          {3, "D3DBLEND_INVSRCCOLOR", 4}, {4, "D3DBLEND_SRCALPHA", 5}, {5, "D3DBLEND_INVSRCALPHA", 6},
          {6, "D3DBLEND_DESTALPHA", 7}, {7, "D3DBLEND_INVDESTALPHA", 8}, {8, "D3DBLEND_DESTCOLOR", 9},
          {9, "D3DBLEND_INVDESTCOLOR", 10}, {10, "D3DBLEND_SRCALPHASAT", 11}, {11, "D3DBLEND_BLENDFACTOR", 14},
          {12, "D3DBLEND_INVBLENDFACTOR", 15}},
         {-1, 13, 14, 15},
         "Invalid blend mode."},
        {"BlendOperation", [](int v) { return toD3DBlendOperation(static_cast<BlendOperation>(v)); },
         {{0, "D3DBLENDOP_ADD", 1}, {1, "D3DBLENDOP_SUBTRACT", 2}, {2, "D3DBLENDOP_REVSUBTRACT", 3},
          {3, "D3DBLENDOP_MIN", 4}, {4, "D3DBLENDOP_MAX", 5}},
         {-1, 5},
         "Invalid Blend operation."},
        {"StencilOperation", [](int v) { return toD3DStencilOperation(static_cast<StencilOperation>(v)); },
         {{0, "D3DSTENCILOP_ZERO", 2}, {1, "D3DSTENCILOP_KEEP", 1}, {3, "D3DSTENCILOP_REPLACE", 3},
          {4, "D3DSTENCILOP_INCRSAT", 4}, {5, "D3DSTENCILOP_DECRSAT", 5}, {6, "D3DSTENCILOP_INVERT", 6},
          {7, "D3DSTENCILOP_INCR", 7}, {8, "D3DSTENCILOP_DECR", 8}},
         {-1, 2, 9},
         "Invalid stencil operation"},
        {"CullMode", [](int v) { return toD3DCullMode(static_cast<CullMode>(v)); },
         {{0, "D3DCULL_NONE", 1}, {1, "D3DCULL_CW", 2}, {2, "D3DCULL_CCW", 3}},
         {-1, 3},
         "Invalid cull mode"},
        {"FillMode", [](int v) { return toD3DFillMode(static_cast<FillMode>(v)); },
         {{0, "D3DFILL_SOLID", 3}, {1, "D3DFILL_WIREFRAME", 2}, {2, "D3DFILL_POINT", 1}},
         {-1, 3},
         "Invalid fill mode"},
        {"PrimitiveType", [](int v) { return toD3DPrimitiveType(static_cast<PrimitiveType>(v)); },
         {{0, "D3DPT_POINTLIST", 1}, {1, "D3DPT_LINELIST", 2}, {2, "D3DPT_LINESTRIP", 3},
          {3, "D3DPT_TRIANGLELIST", 4}, {4, "D3DPT_TRIANGLESTRIP", 5}, {5, "D3DPT_TRIANGLEFAN", 6}},
         {-1, 6},
         "DXCore: Unknown primitive type.\n"},
    };
}

} // namespace

TEST(RenderStateValues, EveryEngineValueMapsToItsDirect3DNumber)
{
    for (const Enumeration& e : enumerations())
        for (const Mapping& m : e.mappings)
            EXPECT_EQ(e.map(m.engineValue), m.direct3DValue)
                << e.name << " " << m.engineValue << " -> " << m.direct3DName;
}

TEST(RenderStateValues, ValuesOutsideTheTablesAreRefusedAsTheDeviceReportsThem)
{
    for (const Enumeration& e : enumerations())
        for (int value : e.refused) {
            try {
                e.map(value);
                ADD_FAILURE() << e.name << " " << value << " was mapped";
            } catch (const Vostrel::Exception& failure) {
                EXPECT_EQ(failure.message, e.refusal) << e.name << " " << value;
                EXPECT_STREQ(failure.file, "Libs\\Core\\DirectX\\DXCore");
            }
        }
}
