#pragma once

// Internal: texture formats as OpenGL stores them. Every format keeps
// Direct3D's memory layout in the CPU copies (A8R8G8B8 is bytes B, G, R, A),
// so uploads pass the bytes unchanged; what Direct3D reads for channels a
// format lacks comes from texture swizzles.

#include "Platform/D3D9/d3d9.h"

#include <epoxy/gl.h>

#include <array>
#include <cstdint>
#include <optional>

namespace D3D9 {

struct TextureFormat {
    GLenum internalFormat;
    GLenum pixelFormat; // of the bytes in memory
    GLenum pixelType;
    int bytesPerTexel;
    std::array<GLint, 4> swizzle; // what red, green, blue and alpha read
    bool renderable;
};

// Null for a format textures cannot have (R8G8B8 among them: the device
// refuses 24-bit textures).
std::optional<TextureFormat> textureFormat(D3DFORMAT format);

// The format as a texture that is uploaded, not drawn into, stores it: the
// bytes B, G, R, A go in as they lie, as OpenGL's red, green, blue and
// alpha, and the swizzle reads them back in Direct3D's order. A driver then
// copies an upload where it would convert every texel (llvmpipe takes
// sixteen times as long). Drawing writes OpenGL's order, so render targets
// keep GL_BGRA. Other formats are returned as they are.
TextureFormat uploadedTextureFormat(const TextureFormat& format);

// The border colour to give OpenGL for a texture stored in the format:
// OpenGL swizzles the border as it does the texels.
D3DCOLOR borderColorFor(const TextureFormat& format, D3DCOLOR color);

// Bytes per pixel of a format in memory: the texture formats and R8G8B8
// (bytes B, G, R), which image files have and textures do not; 0 for others.
int memoryPixelBytes(D3DFORMAT format);

// Row pitch of a level: rows start on four-byte boundaries, as drivers lay
// them out, so callers meet pitches wider than width x texel size.
UINT rowPitch(const TextureFormat& format, UINT width);

// (Both also take R8G8B8.)
// One texel of the format from a colour in 0..1 (red, green, blue, alpha),
// rounded to the nearest step; channels the format lacks are dropped and
// luminance is weighted from red, green and blue. Writes bytesPerTexel bytes.
void encodeTexel(D3DFORMAT format, const std::array<float, 4>& rgba, uint8_t* texel);
// What a shader reads from one texel: red, green, blue, alpha with the
// format's defaults for missing channels.
std::array<float, 4> decodeTexel(D3DFORMAT format, const uint8_t* texel);

uint16_t halfFromFloat(float value);
float floatFromHalf(uint16_t half);

} // namespace D3D9
