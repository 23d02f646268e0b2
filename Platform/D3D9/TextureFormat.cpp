#include "Platform/D3D9/TextureFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace D3D9 {

std::optional<TextureFormat> textureFormat(D3DFORMAT format)
{
    const std::array<GLint, 4> rgba = {GL_RED, GL_GREEN, GL_BLUE, GL_ALPHA};
    const std::array<GLint, 4> rgb1 = {GL_RED, GL_GREEN, GL_BLUE, GL_ONE};
    const std::array<GLint, 4> luminance = {GL_RED, GL_RED, GL_RED, GL_ONE};
    const std::array<GLint, 4> red = {GL_RED, GL_ONE, GL_ONE, GL_ONE};
    switch (format) {
    case D3DFMT_A8R8G8B8: return TextureFormat{GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4, rgba, true};
    case D3DFMT_X8R8G8B8: return TextureFormat{GL_RGBA8, GL_BGRA, GL_UNSIGNED_BYTE, 4, rgb1, true};
    case D3DFMT_R5G6B5: return TextureFormat{GL_RGB565, GL_RGB, GL_UNSIGNED_SHORT_5_6_5, 2, rgb1, true};
    case D3DFMT_A8:
        return TextureFormat{GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, {GL_ZERO, GL_ZERO, GL_ZERO, GL_RED}, false};
    case D3DFMT_L8: return TextureFormat{GL_R8, GL_RED, GL_UNSIGNED_BYTE, 1, luminance, false};
    // Low byte luminance, high byte alpha.
    case D3DFMT_A8L8:
        return TextureFormat{GL_RG8, GL_RG, GL_UNSIGNED_BYTE, 2, {GL_RED, GL_RED, GL_RED, GL_GREEN}, false};
    case D3DFMT_L16: return TextureFormat{GL_R16, GL_RED, GL_UNSIGNED_SHORT, 2, luminance, false};
    // Red in the low word.
    case D3DFMT_G16R16:
        return TextureFormat{GL_RG16, GL_RG, GL_UNSIGNED_SHORT, 4, {GL_RED, GL_GREEN, GL_ONE, GL_ONE}, true};
    case D3DFMT_R16F: return TextureFormat{GL_R16F, GL_RED, GL_HALF_FLOAT, 2, red, true};
    case D3DFMT_R32F: return TextureFormat{GL_R32F, GL_RED, GL_FLOAT, 4, red, true};
    // Red first in memory, whatever the name's order.
    case D3DFMT_A16B16G16R16F: return TextureFormat{GL_RGBA16F, GL_RGBA, GL_HALF_FLOAT, 8, rgba, true};
    case D3DFMT_A32B32G32R32F: return TextureFormat{GL_RGBA32F, GL_RGBA, GL_FLOAT, 16, rgba, true};
    default: return std::nullopt;
    }
}

TextureFormat uploadedTextureFormat(const TextureFormat& format)
{
    if (format.pixelFormat != GL_BGRA)
        return format;
    TextureFormat stored = format;
    stored.pixelFormat = GL_RGBA;
    for (GLint& source : stored.swizzle)
        source = source == GL_RED ? GL_BLUE : source == GL_BLUE ? GL_RED : source;
    return stored;
}

D3DCOLOR borderColorFor(const TextureFormat& format, D3DCOLOR color)
{
    if (format.swizzle[0] != GL_BLUE)
        return color;
    return (color & 0xFF00FF00u) | ((color >> 16) & 0xFFu) | ((color & 0xFFu) << 16);
}

int memoryPixelBytes(D3DFORMAT format)
{
    if (format == D3DFMT_R8G8B8)
        return 3;
    std::optional<TextureFormat> texture = textureFormat(format);
    return texture ? texture->bytesPerTexel : 0;
}

UINT rowPitch(const TextureFormat& format, UINT width)
{
    return (width * static_cast<UINT>(format.bytesPerTexel) + 3u) & ~3u;
}

uint16_t halfFromFloat(float value)
{
    uint32_t bits;
    std::memcpy(&bits, &value, sizeof(bits));
    uint16_t sign = static_cast<uint16_t>((bits >> 16) & 0x8000u);
    uint32_t exponent = (bits >> 23) & 0xFFu;
    uint32_t mantissa = bits & 0x7FFFFFu;
    if (exponent == 0xFF) // infinity or NaN
        return static_cast<uint16_t>(sign | 0x7C00u | (mantissa ? 0x200u : 0u));
    int halfExponent = static_cast<int>(exponent) - 127 + 15;
    if (halfExponent >= 31)
        return static_cast<uint16_t>(sign | 0x7C00u);
    if (halfExponent <= 0) {
        if (halfExponent < -10)
            return sign;
        // Subnormal: shift the mantissa with its hidden bit, rounding to even.
        mantissa |= 0x800000u;
        int shift = 14 - halfExponent;
        uint32_t half = mantissa >> shift;
        uint32_t rest = mantissa & ((1u << shift) - 1u);
        uint32_t halfway = 1u << (shift - 1);
        if (rest > halfway || (rest == halfway && (half & 1u)))
            ++half;
        return static_cast<uint16_t>(sign | half);
    }
    uint32_t half = (static_cast<uint32_t>(halfExponent) << 10) | (mantissa >> 13);
    uint32_t rest = mantissa & 0x1FFFu;
    if (rest > 0x1000u || (rest == 0x1000u && (half & 1u)))
        ++half; // may carry into the exponent, which is still right
    return static_cast<uint16_t>(sign | half);
}

float floatFromHalf(uint16_t half)
{
    uint32_t sign = static_cast<uint32_t>(half & 0x8000u) << 16;
    uint32_t exponent = (half >> 10) & 0x1Fu;
    uint32_t mantissa = half & 0x3FFu;
    uint32_t bits;
    if (exponent == 0) {
        if (mantissa == 0) {
            bits = sign;
        } else {
            float value = std::ldexp(static_cast<float>(mantissa), -24);
            return sign ? -value : value;
        }
    } else if (exponent == 31) {
        bits = sign | 0x7F800000u | (mantissa << 13);
    } else {
        bits = sign | ((exponent + 127 - 15) << 23) | (mantissa << 13);
    }
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

namespace {

template <typename Unsigned>
Unsigned unorm(float value)
{
    constexpr float top = static_cast<float>(static_cast<Unsigned>(~Unsigned(0)));
    if (!(value > 0.0f))
        return 0;
    if (value >= 1.0f)
        return static_cast<Unsigned>(~Unsigned(0));
    return static_cast<Unsigned>(std::lround(value * top));
}

template <typename Unsigned>
float fromUnorm(Unsigned value)
{
    constexpr float top = static_cast<float>(static_cast<Unsigned>(~Unsigned(0)));
    return static_cast<float>(value) / top;
}

template <typename Value>
void put(uint8_t* texel, size_t index, Value value)
{
    std::memcpy(texel + index * sizeof(Value), &value, sizeof(Value));
}

template <typename Value>
Value get(const uint8_t* texel, size_t index)
{
    Value value;
    std::memcpy(&value, texel + index * sizeof(Value), sizeof(Value));
    return value;
}

float luminanceOf(const std::array<float, 4>& rgba)
{
    return 0.2126f * rgba[0] + 0.7152f * rgba[1] + 0.0722f * rgba[2];
}

} // namespace

void encodeTexel(D3DFORMAT format, const std::array<float, 4>& rgba, uint8_t* texel)
{
    switch (format) {
    case D3DFMT_R8G8B8:
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        if (format == D3DFMT_R8G8B8) {
            texel[0] = unorm<uint8_t>(rgba[2]);
            texel[1] = unorm<uint8_t>(rgba[1]);
            texel[2] = unorm<uint8_t>(rgba[0]);
            break;
        }
        texel[0] = unorm<uint8_t>(rgba[2]);
        texel[1] = unorm<uint8_t>(rgba[1]);
        texel[2] = unorm<uint8_t>(rgba[0]);
        texel[3] = format == D3DFMT_X8R8G8B8 ? 0xFF : unorm<uint8_t>(rgba[3]);
        break;
    case D3DFMT_R5G6B5: {
        auto bits = [](float value, int top) { return static_cast<uint16_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * top)); };
        put<uint16_t>(texel, 0, static_cast<uint16_t>((bits(rgba[0], 31) << 11) | (bits(rgba[1], 63) << 5) | bits(rgba[2], 31)));
        break;
    }
    case D3DFMT_A8: texel[0] = unorm<uint8_t>(rgba[3]); break;
    case D3DFMT_L8: texel[0] = unorm<uint8_t>(luminanceOf(rgba)); break;
    case D3DFMT_A8L8:
        texel[0] = unorm<uint8_t>(luminanceOf(rgba));
        texel[1] = unorm<uint8_t>(rgba[3]);
        break;
    case D3DFMT_L16: put<uint16_t>(texel, 0, unorm<uint16_t>(luminanceOf(rgba))); break;
    case D3DFMT_G16R16:
        put<uint16_t>(texel, 0, unorm<uint16_t>(rgba[0]));
        put<uint16_t>(texel, 1, unorm<uint16_t>(rgba[1]));
        break;
    case D3DFMT_R16F: put<uint16_t>(texel, 0, halfFromFloat(rgba[0])); break;
    case D3DFMT_R32F: put<float>(texel, 0, rgba[0]); break;
    case D3DFMT_A16B16G16R16F:
        for (size_t i = 0; i < 4; ++i)
            put<uint16_t>(texel, i, halfFromFloat(rgba[i]));
        break;
    case D3DFMT_A32B32G32R32F:
        for (size_t i = 0; i < 4; ++i)
            put<float>(texel, i, rgba[i]);
        break;
    default: break;
    }
}

std::array<float, 4> decodeTexel(D3DFORMAT format, const uint8_t* texel)
{
    switch (format) {
    case D3DFMT_R8G8B8: return {fromUnorm(texel[2]), fromUnorm(texel[1]), fromUnorm(texel[0]), 1.0f};
    case D3DFMT_A8R8G8B8:
    case D3DFMT_X8R8G8B8:
        return {fromUnorm(texel[2]), fromUnorm(texel[1]), fromUnorm(texel[0]),
                format == D3DFMT_X8R8G8B8 ? 1.0f : fromUnorm(texel[3])};
    case D3DFMT_R5G6B5: {
        uint16_t bits = get<uint16_t>(texel, 0);
        return {(bits >> 11) / 31.0f, ((bits >> 5) & 63) / 63.0f, (bits & 31) / 31.0f, 1.0f};
    }
    case D3DFMT_A8: return {0.0f, 0.0f, 0.0f, fromUnorm(texel[0])};
    case D3DFMT_L8: {
        float l = fromUnorm(texel[0]);
        return {l, l, l, 1.0f};
    }
    case D3DFMT_A8L8: {
        float l = fromUnorm(texel[0]);
        return {l, l, l, fromUnorm(texel[1])};
    }
    case D3DFMT_L16: {
        float l = fromUnorm(get<uint16_t>(texel, 0));
        return {l, l, l, 1.0f};
    }
    case D3DFMT_G16R16: return {fromUnorm(get<uint16_t>(texel, 0)), fromUnorm(get<uint16_t>(texel, 1)), 1.0f, 1.0f};
    case D3DFMT_R16F: return {floatFromHalf(get<uint16_t>(texel, 0)), 1.0f, 1.0f, 1.0f};
    case D3DFMT_R32F: return {get<float>(texel, 0), 1.0f, 1.0f, 1.0f};
    case D3DFMT_A16B16G16R16F:
        return {floatFromHalf(get<uint16_t>(texel, 0)), floatFromHalf(get<uint16_t>(texel, 1)),
                floatFromHalf(get<uint16_t>(texel, 2)), floatFromHalf(get<uint16_t>(texel, 3))};
    case D3DFMT_A32B32G32R32F:
        return {get<float>(texel, 0), get<float>(texel, 1), get<float>(texel, 2), get<float>(texel, 3)};
    default: return {0.0f, 0.0f, 0.0f, 1.0f};
    }
}

} // namespace D3D9
