#pragma once

// Internal: what the device draws with beyond render states: sampler
// states and their OpenGL sampler objects, the vertex array the vertex
// declaration is laid out in, the uniforms each linked program was last
// given, and a scratch framebuffer for fills and read-backs.

#include "Platform/D3D9/Device.h"
#include "Platform/D3D9/GL/Objects.h"

#include <array>
#include <map>

namespace D3D9 {

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

    // Sends a stage's sampler states to its sampler object when they changed.
    void applySampler(DWORD stage);
};

} // namespace D3D9
