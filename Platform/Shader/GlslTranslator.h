#pragma once

// Turns a validated shader-model-2.0 program into GLSL 4.50 core source.
//
// Conventions the device relies on:
// - vertex input v# is `layout(location = #)`;
// - interpolators: oT#/t# at location #, oD0/v0 at 8, oD1/v1 at 9, oFog at 10;
//   the vertex stage writes every one of them, so any pair links;
// - constants: the uniform array VERTEX_CONSTANTS_UNIFORM or
//   PIXEL_CONSTANTS_UNIFORM of GlslShader::constantCount vec4 (def values are
//   baked into the text and win over the array, also for relative reads);
// - samplers s# are `layout(binding = #)`;
// - PIXEL_OFFSET_UNIFORM holds (+1/W, -1/H) for the current viewport, and
//   CLIP_Y_SIGN_UNIFORM the sign of y for the context's clip origin.
// State that Direct3D keeps outside the shader becomes a variant.

#include "Platform/Shader/ShaderIR.h"

#include <string>

namespace Shader {

constexpr const char* VERTEX_CONSTANTS_UNIFORM = "vs_c";
constexpr const char* PIXEL_CONSTANTS_UNIFORM = "ps_c";
// vec2: (+1/W, -1/H), moves the geometry to Direct3D 9's pixel centres.
constexpr const char* PIXEL_OFFSET_UNIFORM = "vostrel_pixelOffset";
// float: +1 under the upper-left clip origin, -1 under the lower-left one.
constexpr const char* CLIP_Y_SIGN_UNIFORM = "vostrel_clipYSign";
// vec4[6]: clip-space planes of the clip-plane variant.
constexpr const char* CLIP_PLANES_UNIFORM = "vostrel_clipPlanes";
// float: the point size render state, used when the shader writes no oPts.
constexpr const char* POINT_SIZE_UNIFORM = "vostrel_pointSize";
// vec2: (minimum, maximum) point size.
constexpr const char* POINT_SIZE_RANGE_UNIFORM = "vostrel_pointSizeRange";
// float: the alpha reference of the alpha-test variant, 0..255.
constexpr const char* ALPHA_REFERENCE_UNIFORM = "vostrel_alphaRef";

constexpr int MAX_CLIP_PLANES = 6;

struct ProgramVariant {
    // Vertex stage: bit i enables user clip plane i (gl_ClipDistance[i]).
    unsigned clipPlanes = 0;
    // Vertex stage: writes gl_PointSize; pixel stage: t0 is the point-sprite
    // coordinate (gl_PointCoord, 0, 1).
    bool pointSprites = false;
    // Pixel stage: the alpha-test compare function (Direct3D's D3DCMP_* values
    // 1..8); 0 or 8 (always) tests nothing.
    int alphaFunction = 0;

    bool operator==(const ProgramVariant& other) const
    {
        return clipPlanes == other.clipPlanes && pointSprites == other.pointSprites
            && alphaFunction == other.alphaFunction;
    }
};

struct GlslShader {
    std::string source;
    int constantCount = 0; // length of the constant uniform array
};

GlslShader translateToGlsl(const Program& program, const ProgramVariant& variant = ProgramVariant());

} // namespace Shader
