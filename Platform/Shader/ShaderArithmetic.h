#pragma once

// Direct3D 9's arithmetic where GLSL leaves the result undefined or rounds
// differently. The definitions are written once, in the common subset of C++
// and GLSL: the interpreter compiles them below, the GLSL translator pastes
// the same text (SHADER_ARITHMETIC_GLSL) into every shader it writes, so both
// compute alike. Scalars only; vector instructions apply them per component.

#include <cmath>
#include <limits>

#define SHADER_ARITHMETIC_DEFINITIONS                                                              \
    D3D_FUNCTION float d3dRcp(float x) { return x == 0.0f ? D3D_INFINITY : 1.0f / x; }            \
    D3D_FUNCTION float d3dRsq(float x) { return x == 0.0f ? D3D_INFINITY : 1.0f / sqrt(abs(x)); } \
    D3D_FUNCTION float d3dLog(float x) { return x == 0.0f ? -D3D_MAX_FLOAT : log2(abs(x)); }      \
    D3D_FUNCTION float d3dExp(float x) { return exp2(x); }                                        \
    D3D_FUNCTION float d3dPow(float x, float y) { return d3dExp(y * d3dLog(x)); }                 \
    D3D_FUNCTION float d3dFrc(float x) { return x - floor(x); }                                   \
    D3D_FUNCTION float d3dMax(float a, float b) { return a >= b ? a : b; }                        \
    D3D_FUNCTION float d3dMin(float a, float b) { return a < b ? a : b; }                         \
    D3D_FUNCTION float d3dCmp(float a, float b, float c) { return a >= 0.0f ? b : c; }            \
    D3D_FUNCTION float d3dLrp(float t, float a, float b) { return t * (a - b) + b; }              \
    D3D_FUNCTION float d3dSge(float a, float b) { return a >= b ? 1.0f : 0.0f; }                  \
    D3D_FUNCTION float d3dSlt(float a, float b) { return a < b ? 1.0f : 0.0f; }                   \
    D3D_FUNCTION float d3dSgn(float x) { return x > 0.0f ? 1.0f : (x < 0.0f ? -1.0f : 0.0f); }    \
    D3D_FUNCTION float d3dSaturate(float x) { return x > 0.0f ? (x < 1.0f ? x : 1.0f) : 0.0f; }   \
    D3D_FUNCTION float d3dNormalizeFactor(float lengthSquared)                                    \
    {                                                                                             \
        return lengthSquared == 0.0f ? 0.0f : 1.0f / sqrt(lengthSquared);                         \
    }                                                                                             \
    D3D_FUNCTION float d3dLitPower(float x, float y, float power)                                 \
    {                                                                                             \
        float clamped = power < -127.9961f ? -127.9961f : (power > 127.9961f ? 127.9961f : power); \
        return x > 0.0f && y > 0.0f ? d3dPow(y, clamped) : 0.0f;                                  \
    }                                                                                             \
    D3D_FUNCTION float d3dAddress(float x)                                                        \
    {                                                                                             \
        return !(x > -1024.0f) ? -1024.0f : (x < 1024.0f ? floor(x + 0.5f) : 1024.0f);            \
    }

namespace Shader {
namespace Arithmetic {

using std::abs;
using std::exp2;
using std::floor;
using std::log2;
using std::sqrt;

#define D3D_FUNCTION inline
#define D3D_INFINITY std::numeric_limits<float>::infinity()
#define D3D_MAX_FLOAT std::numeric_limits<float>::max()
SHADER_ARITHMETIC_DEFINITIONS
#undef D3D_FUNCTION
#undef D3D_INFINITY
#undef D3D_MAX_FLOAT

} // namespace Arithmetic
} // namespace Shader

#define SHADER_ARITHMETIC_STRINGIFY(...) #__VA_ARGS__
#define SHADER_ARITHMETIC_TEXT(...) SHADER_ARITHMETIC_STRINGIFY(__VA_ARGS__)
// The same definitions as GLSL source.
#define SHADER_ARITHMETIC_GLSL                                                                     \
    "#define D3D_FUNCTION\n"                                                                       \
    "#define D3D_INFINITY uintBitsToFloat(0x7F800000u)\n"                                          \
    "#define D3D_MAX_FLOAT uintBitsToFloat(0x7F7FFFFFu)\n" SHADER_ARITHMETIC_TEXT(                 \
        SHADER_ARITHMETIC_DEFINITIONS) "\n"
