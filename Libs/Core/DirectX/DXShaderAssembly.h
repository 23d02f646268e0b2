#pragma once

#include "Platform/D3DX9/d3dx9.h"

#include <string>

namespace Vostrel {
namespace Core {

// Assembles shader text as the shader objects do: the whole text, no macros,
// no include handler, flags 0. On success the code buffer is returned (the
// caller releases it); on failure null, with the assembler's messages.
ID3DXBuffer* assembleShaderText(const std::string& text, std::string& errors);

} // namespace Core
} // namespace Vostrel
