#pragma once

#include "Libs/Core/ShaderGen.h"

#include <string>

namespace Vostrel {
namespace Core {

// Writes an optimised program as Direct3D 9 shader assembly: "vs_2_0" for
// stage 0, "ps_2_0" for stage 1. The text is the only form in which a
// program reaches the device.
class DXShaderGen {
public:
    static constexpr int VERTEX_STAGE = 0;
    static constexpr int PIXEL_STAGE = 1;

    static std::string generate(const ShaderProgram& program, int stage);
};

} // namespace Core
} // namespace Vostrel
