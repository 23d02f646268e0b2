#pragma once

// The reference meaning of every instruction: runs a program on one vertex or
// one pixel with Direct3D 9's arithmetic. The GLSL translation is checked
// against it.

#include "Platform/Shader/ShaderIR.h"
#include "Platform/Shader/ShaderValidator.h"

#include <array>
#include <functional>
#include <vector>

namespace Shader {

using Vec4 = std::array<float, 4>;

// Texture lookup for texld: sampler number, its declared type, coordinate.
using SampleFunction = std::function<Vec4(int sampler, TextureType type, const Vec4& coordinate)>;

struct Machine {
    // Inputs, set by the caller.
    std::array<Vec4, VERTEX_INPUTS> inputs{};           // v#
    std::array<Vec4, PIXEL_TEXCOORDS> texcoords{};      // t#
    std::array<Vec4, VERTEX_CONSTANTS> constants{};     // c#, before the program's def values
    SampleFunction sample;                               // null: samples read (0, 0, 0, 0)

    // State and results. Temporaries and outputs start at 0. The temporaries
    // grow to fit a program that was parsed but not validated.
    std::vector<Vec4> temps = std::vector<Vec4>(TEMP_REGISTERS);
    std::array<int, 4> address{};
    Vec4 position{}, fog{}, pointSize{};
    std::array<Vec4, COLOR_OUTPUTS> colors{};           // oD#, saturated when written
    std::array<Vec4, TEXCOORD_OUTPUTS> texcoordOutputs{}; // oT#
    std::array<Vec4, RENDER_TARGETS> renderTargets{};   // oC#
    Vec4 depth{};
    bool killed = false;
    bool wrotePointSize = false;
    bool wroteDepth = false;
};

// Runs a validated program, or a parsed one whose only excess is its number
// of temporaries. Relative reads outside the constant file read (0, 0, 0, 0).
void execute(const Program& program, Machine& machine);

} // namespace Shader
