#include "Platform/D3D9/StateTranslation.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace D3D9 {

std::optional<GLenum> compareFunction(DWORD function)
{
    switch (function) {
    case D3DCMP_NEVER: return GL_NEVER;
    case D3DCMP_LESS: return GL_LESS;
    case D3DCMP_EQUAL: return GL_EQUAL;
    case D3DCMP_LESSEQUAL: return GL_LEQUAL;
    case D3DCMP_GREATER: return GL_GREATER;
    case D3DCMP_NOTEQUAL: return GL_NOTEQUAL;
    case D3DCMP_GREATEREQUAL: return GL_GEQUAL;
    case D3DCMP_ALWAYS: return GL_ALWAYS;
    default: return std::nullopt;
    }
}

std::optional<GLenum> blendFactor(DWORD blend)
{
    switch (blend) {
    case D3DBLEND_ZERO: return GL_ZERO;
    case D3DBLEND_ONE: return GL_ONE;
    case D3DBLEND_SRCCOLOR: return GL_SRC_COLOR;
    case D3DBLEND_INVSRCCOLOR: return GL_ONE_MINUS_SRC_COLOR;
    case D3DBLEND_SRCALPHA: return GL_SRC_ALPHA;
    case D3DBLEND_INVSRCALPHA: return GL_ONE_MINUS_SRC_ALPHA;
    case D3DBLEND_DESTALPHA: return GL_DST_ALPHA;
    case D3DBLEND_INVDESTALPHA: return GL_ONE_MINUS_DST_ALPHA;
    case D3DBLEND_DESTCOLOR: return GL_DST_COLOR;
    case D3DBLEND_INVDESTCOLOR: return GL_ONE_MINUS_DST_COLOR;
    case D3DBLEND_SRCALPHASAT: return GL_SRC_ALPHA_SATURATE;
    case D3DBLEND_BLENDFACTOR: return GL_CONSTANT_COLOR;
    case D3DBLEND_INVBLENDFACTOR: return GL_ONE_MINUS_CONSTANT_COLOR;
    default: return std::nullopt;
    }
}

bool knownRenderState(DWORD state)
{
    switch (state) {
    case D3DRS_ZENABLE: case D3DRS_FILLMODE: case D3DRS_SHADEMODE: case D3DRS_ZWRITEENABLE:
    case D3DRS_ALPHATESTENABLE: case D3DRS_LASTPIXEL: case D3DRS_SRCBLEND: case D3DRS_DESTBLEND:
    case D3DRS_CULLMODE: case D3DRS_ZFUNC: case D3DRS_ALPHAREF: case D3DRS_ALPHAFUNC: case D3DRS_DITHERENABLE:
    case D3DRS_ALPHABLENDENABLE: case D3DRS_FOGENABLE: case D3DRS_SPECULARENABLE: case D3DRS_STENCILENABLE:
    case D3DRS_STENCILFAIL: case D3DRS_STENCILZFAIL: case D3DRS_STENCILPASS: case D3DRS_STENCILFUNC:
    case D3DRS_STENCILREF: case D3DRS_STENCILMASK: case D3DRS_STENCILWRITEMASK: case D3DRS_TEXTUREFACTOR:
    case D3DRS_CLIPPING: case D3DRS_LIGHTING: case D3DRS_CLIPPLANEENABLE: case D3DRS_POINTSIZE:
    case D3DRS_POINTSIZE_MIN: case D3DRS_POINTSPRITEENABLE: case D3DRS_POINTSCALEENABLE:
    case D3DRS_MULTISAMPLEANTIALIAS: case D3DRS_MULTISAMPLEMASK: case D3DRS_POINTSIZE_MAX:
    case D3DRS_COLORWRITEENABLE: case D3DRS_BLENDOP: case D3DRS_SCISSORTESTENABLE: case D3DRS_SLOPESCALEDEPTHBIAS:
    case D3DRS_ANTIALIASEDLINEENABLE: case D3DRS_TWOSIDEDSTENCILMODE: case D3DRS_CCW_STENCILFAIL:
    case D3DRS_CCW_STENCILZFAIL: case D3DRS_CCW_STENCILPASS: case D3DRS_CCW_STENCILFUNC:
    case D3DRS_COLORWRITEENABLE1: case D3DRS_COLORWRITEENABLE2: case D3DRS_COLORWRITEENABLE3:
    case D3DRS_BLENDFACTOR: case D3DRS_SRGBWRITEENABLE: case D3DRS_DEPTHBIAS: case D3DRS_SEPARATEALPHABLENDENABLE:
    case D3DRS_SRCBLENDALPHA: case D3DRS_DESTBLENDALPHA: case D3DRS_BLENDOPALPHA: return true;
    default: return false;
    }
}

namespace {

bool knownComparison(DWORD function) { return compareFunction(function).has_value(); }
bool knownBlend(DWORD blend)
{
    return blendFactor(blend) || blend == D3DBLEND_BOTHSRCALPHA || blend == D3DBLEND_BOTHINVSRCALPHA;
}
bool knownBlendOperation(DWORD operation) { return blendEquation(operation).has_value(); }
bool knownStencilOperation(DWORD operation) { return stencilOperation(operation).has_value(); }
bool knownFillMode(DWORD fillMode) { return polygonMode(fillMode).has_value(); }
bool knownDepthBuffering(DWORD value) { return value <= D3DZB_USEW; }
bool knownCulling(DWORD cullMode) { return cullMode >= D3DCULL_NONE && cullMode <= D3DCULL_CCW; }
bool knownAddress(DWORD address) { return address >= D3DTADDRESS_WRAP && address <= D3DTADDRESS_MIRRORONCE; }
bool knownFilter(DWORD filter)
{
    return filter <= D3DTEXF_ANISOTROPIC || filter == D3DTEXF_PYRAMIDALQUAD || filter == D3DTEXF_GAUSSIANQUAD;
}
bool knownMipFilter(DWORD filter) { return filter <= D3DTEXF_ANISOTROPIC; }

struct EnumeratedState {
    DWORD state;
    const char* name;
    bool (*known)(DWORD value);
};

const EnumeratedState enumeratedRenderStates[] = {
    {D3DRS_ZENABLE, "D3DRS_ZENABLE", knownDepthBuffering},
    {D3DRS_FILLMODE, "D3DRS_FILLMODE", knownFillMode},
    {D3DRS_CULLMODE, "D3DRS_CULLMODE", knownCulling},
    {D3DRS_ZFUNC, "D3DRS_ZFUNC", knownComparison},
    {D3DRS_ALPHAFUNC, "D3DRS_ALPHAFUNC", knownComparison},
    {D3DRS_STENCILFUNC, "D3DRS_STENCILFUNC", knownComparison},
    {D3DRS_CCW_STENCILFUNC, "D3DRS_CCW_STENCILFUNC", knownComparison},
    {D3DRS_SRCBLEND, "D3DRS_SRCBLEND", knownBlend},
    {D3DRS_DESTBLEND, "D3DRS_DESTBLEND", knownBlend},
    {D3DRS_SRCBLENDALPHA, "D3DRS_SRCBLENDALPHA", knownBlend},
    {D3DRS_DESTBLENDALPHA, "D3DRS_DESTBLENDALPHA", knownBlend},
    {D3DRS_BLENDOP, "D3DRS_BLENDOP", knownBlendOperation},
    {D3DRS_BLENDOPALPHA, "D3DRS_BLENDOPALPHA", knownBlendOperation},
    {D3DRS_STENCILFAIL, "D3DRS_STENCILFAIL", knownStencilOperation},
    {D3DRS_STENCILZFAIL, "D3DRS_STENCILZFAIL", knownStencilOperation},
    {D3DRS_STENCILPASS, "D3DRS_STENCILPASS", knownStencilOperation},
    {D3DRS_CCW_STENCILFAIL, "D3DRS_CCW_STENCILFAIL", knownStencilOperation},
    {D3DRS_CCW_STENCILZFAIL, "D3DRS_CCW_STENCILZFAIL", knownStencilOperation},
    {D3DRS_CCW_STENCILPASS, "D3DRS_CCW_STENCILPASS", knownStencilOperation},
};

const EnumeratedState enumeratedSamplerStates[] = {
    {D3DSAMP_ADDRESSU, "D3DSAMP_ADDRESSU", knownAddress},   {D3DSAMP_ADDRESSV, "D3DSAMP_ADDRESSV", knownAddress},
    {D3DSAMP_ADDRESSW, "D3DSAMP_ADDRESSW", knownAddress},   {D3DSAMP_MAGFILTER, "D3DSAMP_MAGFILTER", knownFilter},
    {D3DSAMP_MINFILTER, "D3DSAMP_MINFILTER", knownFilter},  {D3DSAMP_MIPFILTER, "D3DSAMP_MIPFILTER", knownMipFilter},
};

template <size_t Count>
std::string unknownValue(const EnumeratedState (&states)[Count], DWORD state, DWORD value)
{
    for (const EnumeratedState& entry : states) {
        if (entry.state == state && !entry.known(value))
            return "unknown " + std::string(entry.name) + " value " + std::to_string(value);
    }
    return std::string();
}

} // namespace

std::string unknownRenderStateValue(DWORD state, DWORD value)
{
    return unknownValue(enumeratedRenderStates, state, value);
}

std::string unknownSamplerStateValue(DWORD type, DWORD value)
{
    return unknownValue(enumeratedSamplerStates, type, value);
}

BlendFactors blendFactors(DWORD source, DWORD destination)
{
    if (source == D3DBLEND_BOTHSRCALPHA)
        return {GL_SRC_ALPHA, GL_ONE_MINUS_SRC_ALPHA};
    if (source == D3DBLEND_BOTHINVSRCALPHA)
        return {GL_ONE_MINUS_SRC_ALPHA, GL_SRC_ALPHA};
    return {blendFactor(source).value_or(GL_ONE), blendFactor(destination).value_or(GL_ZERO)};
}

std::optional<GLenum> blendEquation(DWORD operation)
{
    switch (operation) {
    case D3DBLENDOP_ADD: return GL_FUNC_ADD;
    case D3DBLENDOP_SUBTRACT: return GL_FUNC_SUBTRACT;
    case D3DBLENDOP_REVSUBTRACT: return GL_FUNC_REVERSE_SUBTRACT;
    case D3DBLENDOP_MIN: return GL_MIN;
    case D3DBLENDOP_MAX: return GL_MAX;
    default: return std::nullopt;
    }
}

std::optional<GLenum> stencilOperation(DWORD operation)
{
    switch (operation) {
    case D3DSTENCILOP_KEEP: return GL_KEEP;
    case D3DSTENCILOP_ZERO: return GL_ZERO;
    case D3DSTENCILOP_REPLACE: return GL_REPLACE;
    case D3DSTENCILOP_INCRSAT: return GL_INCR;
    case D3DSTENCILOP_DECRSAT: return GL_DECR;
    case D3DSTENCILOP_INVERT: return GL_INVERT;
    case D3DSTENCILOP_INCR: return GL_INCR_WRAP;
    case D3DSTENCILOP_DECR: return GL_DECR_WRAP;
    default: return std::nullopt;
    }
}

std::optional<GLenum> polygonMode(DWORD fillMode)
{
    switch (fillMode) {
    case D3DFILL_POINT: return GL_POINT;
    case D3DFILL_WIREFRAME: return GL_LINE;
    case D3DFILL_SOLID: return GL_FILL;
    default: return std::nullopt;
    }
}

Culling culling(DWORD cullMode)
{
    switch (cullMode) {
    case D3DCULL_CW: return {true, GL_FRONT};
    case D3DCULL_CCW: return {true, GL_BACK};
    default: return {false, GL_BACK};
    }
}

ColorMask colorMask(DWORD writeEnable)
{
    return {(writeEnable & 1) != 0, (writeEnable & 2) != 0, (writeEnable & 4) != 0, (writeEnable & 8) != 0};
}

std::array<float, 4> colorToFloats(D3DCOLOR color)
{
    return {((color >> 16) & 0xFF) / 255.0f, ((color >> 8) & 0xFF) / 255.0f, (color & 0xFF) / 255.0f,
            ((color >> 24) & 0xFF) / 255.0f};
}

float floatFromBits(DWORD bits)
{
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

DWORD bitsFromFloat(float value)
{
    DWORD bits;
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

float depthBiasUnits(float bias, int depthBits)
{
    if (!std::isfinite(bias) || depthBits <= 0)
        return 0.0f;
    return bias * static_cast<float>(std::ldexp(1.0, depthBits));
}

std::optional<DrawShape> drawShape(DWORD primitiveType, UINT primitiveCount)
{
    // Counts past what a GLsizei holds are refused rather than wrapped.
    const UINT limit = 0x7FFFFFFF / 3;
    if (primitiveCount > limit)
        return std::nullopt;
    GLsizei count = static_cast<GLsizei>(primitiveCount);
    switch (primitiveType) {
    case D3DPT_POINTLIST: return DrawShape{GL_POINTS, count};
    case D3DPT_LINELIST: return DrawShape{GL_LINES, count * 2};
    case D3DPT_LINESTRIP: return DrawShape{GL_LINE_STRIP, count + 1};
    case D3DPT_TRIANGLELIST: return DrawShape{GL_TRIANGLES, count * 3};
    case D3DPT_TRIANGLESTRIP: return DrawShape{GL_TRIANGLE_STRIP, count + 2};
    case D3DPT_TRIANGLEFAN: return DrawShape{GL_TRIANGLE_FAN, count + 2};
    default: return std::nullopt;
    }
}

PixelRect intersect(const PixelRect& a, const PixelRect& b)
{
    return {std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
            std::min(a.bottom, b.bottom)};
}

std::vector<PixelRect> clearRectangles(const D3DVIEWPORT9& viewport, bool scissorEnabled, const RECT& scissor,
                                       const D3DRECT* rects, DWORD count, UINT targetWidth, UINT targetHeight)
{
    PixelRect limit = {static_cast<LONG>(viewport.X), static_cast<LONG>(viewport.Y),
                       static_cast<LONG>(viewport.X + viewport.Width), static_cast<LONG>(viewport.Y + viewport.Height)};
    limit = intersect(limit, {0, 0, static_cast<LONG>(targetWidth), static_cast<LONG>(targetHeight)});
    if (scissorEnabled)
        limit = intersect(limit, {scissor.left, scissor.top, scissor.right, scissor.bottom});
    std::vector<PixelRect> result;
    if (!rects || count == 0) {
        if (!limit.empty())
            result.push_back(limit);
        return result;
    }
    for (DWORD i = 0; i < count; ++i) {
        PixelRect piece = intersect(limit, {rects[i].x1, rects[i].y1, rects[i].x2, rects[i].y2});
        if (!piece.empty())
            result.push_back(piece);
    }
    return result;
}

PixelRect presentRectangle(int frameWidth, int frameHeight, int drawableWidth, int drawableHeight, bool keepAspect)
{
    if (!keepAspect || frameWidth <= 0 || frameHeight <= 0)
        return {0, 0, drawableWidth, drawableHeight};
    // Compare frameWidth / frameHeight with drawableWidth / drawableHeight
    // without rounding.
    int64_t frameSide = static_cast<int64_t>(frameWidth) * drawableHeight;
    int64_t drawableSide = static_cast<int64_t>(drawableWidth) * frameHeight;
    if (frameSide > drawableSide) {
        LONG height = static_cast<LONG>(static_cast<int64_t>(drawableWidth) * frameHeight / frameWidth);
        LONG top = (drawableHeight - height) / 2;
        return {0, top, drawableWidth, top + height};
    }
    LONG width = static_cast<LONG>(static_cast<int64_t>(drawableHeight) * frameWidth / frameHeight);
    LONG left = (drawableWidth - width) / 2;
    return {left, 0, left + width, drawableHeight};
}

ClipOriginChoice chooseClipOrigin(FillProbeReading upperLeft, FillProbeReading lowerLeft)
{
    if (upperLeft == topLeftRuleReading)
        return {false, ""};
    if (lowerLeft == topLeftRuleReading)
        return {true, ""};
    auto fillsTopEdge = [](FillProbeReading reading) { return reading && (*reading & 3u) != 0; };
    bool keepLowerLeft = !fillsTopEdge(upperLeft) && fillsTopEdge(lowerLeft);
    if (!upperLeft || !lowerLeft)
        return {keepLowerLeft, "the fill-rule probe could not be drawn; the picture may be off by a row or column "
                               "at edges shared by triangles"};
    return {keepLowerLeft, "no clip origin gives Direct3D 9's top-left fill rule; the picture is off by a row or "
                           "column at edges shared by triangles"};
}

std::optional<SurfaceFormat> surfaceFormat(D3DFORMAT format)
{
    switch (format) {
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8: return SurfaceFormat{GL_RGBA8, 4, false, false, 0};
    case D3DFMT_D24S8: return SurfaceFormat{GL_DEPTH24_STENCIL8, 4, true, true, 24};
    case D3DFMT_D24X8: return SurfaceFormat{GL_DEPTH_COMPONENT24, 4, true, false, 24};
    case D3DFMT_D16: return SurfaceFormat{GL_DEPTH_COMPONENT16, 2, true, false, 16};
    case D3DFMT_D32: return SurfaceFormat{GL_DEPTH_COMPONENT32, 4, true, false, 32};
    default: return std::nullopt;
    }
}

std::optional<GLsizei> sampleCount(D3DMULTISAMPLE_TYPE type)
{
    if (type == D3DMULTISAMPLE_NONE)
        return 0;
    if (type >= 2 && type <= 16)
        return static_cast<GLsizei>(type);
    return std::nullopt;
}

} // namespace D3D9
