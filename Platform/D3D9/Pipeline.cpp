#include "Platform/D3D9/Pipeline.h"

#include "Platform/D3D9/Internal.h"
#include "Platform/D3D9/StateTranslation.h"

namespace D3D9 {

GLenum addressMode(DWORD address)
{
    switch (address) {
    case D3DTADDRESS_MIRROR: return GL_MIRRORED_REPEAT;
    case D3DTADDRESS_CLAMP: return GL_CLAMP_TO_EDGE;
    case D3DTADDRESS_BORDER: return GL_CLAMP_TO_BORDER;
    case D3DTADDRESS_MIRRORONCE: return GL_MIRROR_CLAMP_TO_EDGE;
    default: return GL_REPEAT;
    }
}

GLenum magnificationFilter(DWORD filter)
{
    return filter == D3DTEXF_POINT || filter == D3DTEXF_NONE ? GL_NEAREST : GL_LINEAR;
}

GLenum minificationFilter(DWORD filter, DWORD mipFilter)
{
    bool linear = magnificationFilter(filter) == GL_LINEAR;
    switch (mipFilter) {
    case D3DTEXF_POINT: return linear ? GL_LINEAR_MIPMAP_NEAREST : GL_NEAREST_MIPMAP_NEAREST;
    case D3DTEXF_LINEAR:
    case D3DTEXF_ANISOTROPIC: return linear ? GL_LINEAR_MIPMAP_LINEAR : GL_NEAREST_MIPMAP_LINEAR;
    default: return linear ? GL_LINEAR : GL_NEAREST;
    }
}

namespace {

bool anisotropyAvailable()
{
    return epoxy_gl_version() >= 46 || epoxy_has_gl_extension("GL_ARB_texture_filter_anisotropic") ||
           epoxy_has_gl_extension("GL_EXT_texture_filter_anisotropic");
}

} // namespace

Pipeline::Pipeline()
{
    SamplerStates defaults = {};
    defaults[D3DSAMP_ADDRESSU] = D3DTADDRESS_WRAP;
    defaults[D3DSAMP_ADDRESSV] = D3DTADDRESS_WRAP;
    defaults[D3DSAMP_ADDRESSW] = D3DTADDRESS_WRAP;
    defaults[D3DSAMP_MAGFILTER] = D3DTEXF_POINT;
    defaults[D3DSAMP_MINFILTER] = D3DTEXF_POINT;
    defaults[D3DSAMP_MIPFILTER] = D3DTEXF_NONE;
    defaults[D3DSAMP_MAXANISOTROPY] = 1;
    samplerStates.fill(defaults);
    for (GL::Sampler& sampler : samplers) {
        GLuint name = 0;
        glCreateSamplers(1, &name);
        sampler = GL::Sampler(name);
    }
    scratch = GL::makeFramebuffer();
    GLuint array = 0;
    glCreateVertexArrays(1, &array);
    vertexArray = GL::VertexArray(array);
}

void Pipeline::applySampler(DWORD stage)
{
    const SamplerStates& states = samplerStates[stage];
    if (samplerApplied[stage] && appliedSamplerStates[stage] == states)
        return;
    GLuint sampler = samplers[stage].get();
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_S, static_cast<GLint>(addressMode(states[D3DSAMP_ADDRESSU])));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_T, static_cast<GLint>(addressMode(states[D3DSAMP_ADDRESSV])));
    glSamplerParameteri(sampler, GL_TEXTURE_WRAP_R, static_cast<GLint>(addressMode(states[D3DSAMP_ADDRESSW])));
    std::array<float, 4> border = colorToFloats(states[D3DSAMP_BORDERCOLOR]);
    glSamplerParameterfv(sampler, GL_TEXTURE_BORDER_COLOR, border.data());
    glSamplerParameteri(sampler, GL_TEXTURE_MAG_FILTER, static_cast<GLint>(magnificationFilter(states[D3DSAMP_MAGFILTER])));
    glSamplerParameteri(sampler, GL_TEXTURE_MIN_FILTER,
                        static_cast<GLint>(minificationFilter(states[D3DSAMP_MINFILTER], states[D3DSAMP_MIPFILTER])));
    glSamplerParameterf(sampler, GL_TEXTURE_LOD_BIAS, floatFromBits(states[D3DSAMP_MIPMAPLODBIAS]));
    // The largest level a sampler may use: Direct3D counts it from the top.
    glSamplerParameterf(sampler, GL_TEXTURE_MIN_LOD, static_cast<float>(states[D3DSAMP_MAXMIPLEVEL]));
    static const bool anisotropy = anisotropyAvailable();
    if (anisotropy) {
        bool anisotropic = states[D3DSAMP_MINFILTER] == D3DTEXF_ANISOTROPIC ||
                           states[D3DSAMP_MAGFILTER] == D3DTEXF_ANISOTROPIC;
        float amount = anisotropic ? static_cast<float>(std::max<DWORD>(1, states[D3DSAMP_MAXANISOTROPY])) : 1.0f;
        glSamplerParameterf(sampler, GL_TEXTURE_MAX_ANISOTROPY_EXT, amount);
    }
    appliedSamplerStates[stage] = states;
    samplerApplied[stage] = true;
}

HRESULT Device::drawThroughPipeline(D3DPRIMITIVETYPE type, const DrawShape& shape, INT baseVertex, UINT startVertex,
                                    UINT startIndex, bool indexed)
{
    return D3DERR_INVALIDCALL;
}

HRESULT Device::CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader)
{
    return D3DERR_INVALIDCALL;
}

HRESULT Device::CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader)
{
    return D3DERR_INVALIDCALL;
}

} // namespace D3D9
