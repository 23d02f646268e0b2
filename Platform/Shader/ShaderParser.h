#pragma once

#include "Platform/Shader/ShaderIR.h"

#include <string>

namespace Shader {

// Reads "vs_2_0"/"ps_2_0" assembly text into a program. Only the syntax is
// checked here (and register numbers that no stage has); the rules of each
// shader model are the validator's. Throws AssemblyError naming the line.
Program parseAssembly(const std::string& text);

// Parse, then validate: what D3DXAssembleShader accepts.
Program assemble(const std::string& text);

} // namespace Shader
