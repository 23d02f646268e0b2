#pragma once

#include "Libs/Core/RenderStates.h"

#include <cstdint>

namespace Vostrel {
namespace Core {

// The engine's render-state values as Direct3D 9 values (D3DCMPFUNC,
// D3DBLEND, D3DBLENDOP, D3DSTENCILOP, D3DCULL, D3DFILLMODE,
// D3DPRIMITIVETYPE). A value without a mapping throws; the device calls these
// while it applies a state, so the refusal surfaces at the draw.
std::uint32_t toD3DCompareFunction(CompareFunction function);
std::uint32_t toD3DBlendMode(BlendMode mode);
std::uint32_t toD3DBlendOperation(BlendOperation operation);
std::uint32_t toD3DStencilOperation(StencilOperation operation);
std::uint32_t toD3DCullMode(CullMode mode);
std::uint32_t toD3DFillMode(FillMode mode);
std::uint32_t toD3DPrimitiveType(PrimitiveType type);

} // namespace Core
} // namespace Vostrel
