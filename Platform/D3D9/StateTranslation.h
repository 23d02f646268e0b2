#pragma once

// Direct3D state as OpenGL state: small pure functions, no context needed.

#include "Platform/D3D9/d3d9.h"

#include <epoxy/gl.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

namespace D3D9 {

std::optional<GLenum> compareFunction(DWORD function);
std::optional<GLenum> blendFactor(DWORD blend);
std::optional<GLenum> blendEquation(DWORD operation);
std::optional<GLenum> stencilOperation(DWORD operation);
std::optional<GLenum> polygonMode(DWORD fillMode);

// Whether Direct3D 9 has a render state of this number.
bool knownRenderState(DWORD state);
// Why a value means nothing to its render state ("unknown D3DRS_ZFUNC value
// 9"), or empty when the state takes it. States that take any number (masks,
// references, floats, switches) take every value.
std::string unknownRenderStateValue(DWORD state, DWORD value);
// The same for sampler states (addressing and filters).
std::string unknownSamplerStateValue(DWORD type, DWORD value);

struct BlendFactors {
    GLenum source;
    GLenum destination;
};
// BOTHSRCALPHA and BOTHINVSRCALPHA set both factors from the source one;
// an unknown factor blends as ONE / ZERO.
BlendFactors blendFactors(DWORD source, DWORD destination);

struct Culling {
    bool enabled;
    GLenum face;
};
// The context makes Direct3D's clockwise faces GL's front faces, so
// Direct3D's CULL_CCW removes GL's back faces and CULL_CW its front faces.
Culling culling(DWORD cullMode);

struct ColorMask {
    bool red, green, blue, alpha;
};
ColorMask colorMask(DWORD writeEnable);

// A0R0G0B0 in 0..1, red first.
std::array<float, 4> colorToFloats(D3DCOLOR color);

float floatFromBits(DWORD bits);
DWORD bitsFromFloat(float value);

// Direct3D's depth bias is a fraction of the depth range; OpenGL counts in
// steps of the depth buffer's resolution.
float depthBiasUnits(float bias, int depthBits);

struct DrawShape {
    GLenum mode;
    GLsizei vertexCount;
};
std::optional<DrawShape> drawShape(DWORD primitiveType, UINT primitiveCount);

struct PixelRect {
    LONG left, top, right, bottom;
    bool empty() const { return right <= left || bottom <= top; }
};
PixelRect intersect(const PixelRect& a, const PixelRect& b);

// The rectangles a Clear touches: each given rectangle (or the whole
// target) cut to the viewport, and to the scissor rectangle while the
// scissor test is on. Empty ones are dropped.
std::vector<PixelRect> clearRectangles(const D3DVIEWPORT9& viewport, bool scissorEnabled, const RECT& scissor,
                                       const D3DRECT* rects, DWORD count, UINT targetWidth, UINT targetHeight);

// Where a frame of the given size lands in a drawable: stretched over all
// of it, or kept in proportion with bars (a full-screen mode shown on a
// desktop of another shape).
PixelRect presentRectangle(int frameWidth, int frameHeight, int drawableWidth, int drawableHeight, bool keepAspect);

// The fill-rule probe: a square whose corners lie on the pixel centres of a
// 2 x 2 target, so its top and left edges run through row 0 and column 0
// and its bottom and right edges through row 1 and column 1. A reading has
// bit y * 2 + x set for each pixel (x, y) filled, or is empty when the probe
// could not be drawn. Direct3D 9's top-left rule fills pixel (0, 0) alone.
using FillProbeReading = std::optional<unsigned>;
constexpr unsigned topLeftRuleReading = 1;

struct ClipOriginChoice {
    bool lowerLeft;
    // Why the picture will not fill as Direct3D 9 does, or empty.
    std::string problem;
};
// The origin whose reading gives the top-left rule. Without one the origin
// that at least fills top edges is kept, as a full-target quad then still
// fills the top row.
ClipOriginChoice chooseClipOrigin(FillProbeReading upperLeft, FillProbeReading lowerLeft);

struct SurfaceFormat {
    GLenum internalFormat;
    int bytesPerPixel;
    bool isDepth;
    bool hasStencil;
    int depthBits;
};
std::optional<SurfaceFormat> surfaceFormat(D3DFORMAT format);

// Sample count of a multisample type: 0 for none, else 2..16.
std::optional<GLsizei> sampleCount(D3DMULTISAMPLE_TYPE type);

} // namespace D3D9
