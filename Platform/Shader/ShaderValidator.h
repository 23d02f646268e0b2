#pragma once

#include "Platform/Shader/ShaderIR.h"

#include <string>
#include <vector>

namespace Shader {

// Register counts of the two models.
constexpr int TEMP_REGISTERS = 12;
constexpr int VERTEX_INPUTS = 16;
constexpr int VERTEX_CONSTANTS = 256;
constexpr int TEXCOORD_OUTPUTS = 8;
constexpr int COLOR_OUTPUTS = 2;
constexpr int PIXEL_COLOR_INPUTS = 2;
constexpr int PIXEL_TEXCOORDS = 8;
constexpr int PIXEL_CONSTANTS = 32;
constexpr int SAMPLERS = 16;
constexpr int RENDER_TARGETS = 4;
constexpr int VERTEX_SLOTS = 256;
constexpr int PIXEL_ARITHMETIC_SLOTS = 64;
constexpr int PIXEL_TEXTURE_SLOTS = 32;

// Every rule of vs_2_0/ps_2_0 that the program breaks, one "(line): error: "
// message each, in line order; empty when the program assembles.
std::vector<std::string> findErrors(const Program& program);

// Throws AssemblyError with all the messages of findErrors, one per line.
void validate(const Program& program);

} // namespace Shader
