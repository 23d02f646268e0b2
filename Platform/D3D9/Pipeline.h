#pragma once

// Internal: what the device draws with beyond render states: sampler
// states and their OpenGL sampler objects, the vertex array the vertex
// declaration is laid out in, the uniforms each linked program was last
// given, and a scratch framebuffer for fills and read-backs.

#include "Platform/D3D9/Device.h"
#include "Platform/D3D9/GL/Objects.h"

#include <array>
#include <map>
#include <vector>

namespace D3D9 {

class BaseTexture;

constexpr DWORD samplerStateCount = D3DSAMP_DMAPOFFSET + 1;

// Sampler states as OpenGL parameters; unknown values fall back to
// Direct3D's defaults (wrap, point).
GLenum addressMode(DWORD address);
GLenum magnificationFilter(DWORD filter);
GLenum minificationFilter(DWORD filter, DWORD mipFilter);

struct Pipeline {
    Pipeline();

    using SamplerStates = std::array<DWORD, samplerStateCount>;
    std::array<SamplerStates, maxTextureStages> samplerStates;
    // Sampler objects and the states they were last given.
    std::array<GL::Sampler, maxTextureStages> samplers;
    std::array<SamplerStates, maxTextureStages> appliedSamplerStates;
    std::array<bool, maxTextureStages> samplerApplied = {};

    GL::Framebuffer scratch;
    GL::VertexArray vertexArray;
    // The declaration and vertex shader the attributes were last laid out
    // for, and which attributes are on.
    uint64_t layoutDeclaration = 0;
    uint64_t layoutShader = 0;
    uint32_t enabledAttributes = 0;

    // Where each linked program keeps the values the device feeds it, and
    // what it was last given.
    struct Uniforms {
        GLint vertexConstants = -1;
        GLint pixelConstants = -1;
        GLint pixelOffset = -1;
        GLint clipPlanes = -1;
        GLint pointSize = -1;
        GLint pointSizeRange = -1;
        GLint alphaReference = -1;
        int vertexConstantCount = 0;
        int pixelConstantCount = 0;
        std::vector<float> sent; // everything above, in that order
    };
    std::map<GL::ProgramKey, Uniforms> uniforms;

    // Sends a stage's sampler states to its sampler object when they changed.
    void applySampler(DWORD stage, const BaseTexture* texture);
    void forgetShader(const void* shader);
};

} // namespace D3D9
