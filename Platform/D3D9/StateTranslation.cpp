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
