#pragma once

// The code of an assembled shader as D3DXAssembleShader hands it out and
// CreateVertexShader/CreatePixelShader take it: the version token
// (0xFFFE0200 for vs_2_0, 0xFFFF0200 for ps_2_0), one comment block that
// holds the program text, and the end token. The device reads the text
// again, so the code carries all there is to know.

#include "Platform/D3D9/d3d9.h"

#include <optional>
#include <string>
#include <vector>

namespace D3D9 {

constexpr DWORD vertexShaderVersion = 0xFFFE0200u;
constexpr DWORD pixelShaderVersion = 0xFFFF0200u;

// Empty when the text does not fit one comment block (128 KiB).
std::vector<DWORD> encodeShaderCode(DWORD version, const std::string& text);

struct ShaderCode {
    DWORD version;
    std::string text;
    std::vector<DWORD> tokens; // the whole code, end token included
};
// Null when the code is not of this form; reads no further than its end
// token or a size limit.
std::optional<ShaderCode> decodeShaderCode(const DWORD* function);

} // namespace D3D9
