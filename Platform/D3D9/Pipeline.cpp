#include "Platform/D3D9/Pipeline.h"

#include "Platform/D3D9/Buffer.h"
#include "Platform/D3D9/Internal.h"
#include "Platform/D3D9/Shader.h"
#include "Platform/D3D9/ShaderCode.h"
#include "Platform/D3D9/StateTranslation.h"
#include "Platform/D3D9/Texture.h"
#include "Platform/D3D9/VertexDeclaration.h"
#include "Platform/Shader/ShaderParser.h"

#include <cmath>
#include <cstring>
#include <iostream>
#include <limits>

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
    // Sprite coordinates start at the top left, as Direct3D's do; with row 0
    // at the top that is OpenGL's lower left.
    glPointParameteri(GL_POINT_SPRITE_COORD_ORIGIN, GL_LOWER_LEFT);
    vertexArray = GL::makeVertexArray();
}

void Pipeline::applySampler(DWORD stage, const BaseTexture* texture)
{
    SamplerStates states = samplerStates[stage];
    if (texture)
        states[D3DSAMP_BORDERCOLOR] = borderColorFor(texture->format(), states[D3DSAMP_BORDERCOLOR]);
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

void Pipeline::forgetShader(const void* shader)
{
    for (auto it = uniforms.begin(); it != uniforms.end();) {
        if (it->first.vertexShader == shader || it->first.pixelShader == shader)
            it = uniforms.erase(it);
        else
            ++it;
    }
}

void Device::forgetShader(const void* shader)
{
    context_->makeCurrent();
    programs_.forgetShader(shader);
    pipeline_->forgetShader(shader);
}

namespace {

template <typename Kind, typename Interface>
HRESULT makeShader(Device& device, const DWORD* function, DWORD version, Interface** result)
{
    const char* call = version == vertexShaderVersion ? "CreateVertexShader" : "CreatePixelShader";
    logCall(call, {pointerArgument(function)});
    if (!result)
        return refuse(call, "no result pointer");
    std::optional<ShaderCode> code = decodeShaderCode(function);
    if (!code)
        return refuse(call, "not shader code");
    if (code->version != version)
        return refuse(call, "code of the other stage");
    Shader::Program program;
    try {
        program = Shader::assemble(code->text);
    } catch (const std::exception& error) {
        return refuse(call, error.what());
    }
    if ((program.stage == Shader::Stage::Vertex) != (version == vertexShaderVersion))
        return refuse(call, "text of the other stage");
    // Written once now, so a program the translator cannot write is refused
    // here rather than at the first draw.
    auto* shader = new Kind(device, std::move(code->tokens), std::move(program));
    try {
        shader->glsl(Shader::ProgramVariant());
    } catch (const std::exception& error) {
        shader->Release();
        return refuse(call, error.what());
    }
    *result = shader;
    return D3D_OK;
}

// Direct3D's declaration usage of a vertex input, or -1 for none.
int declarationUsage(Shader::Usage usage)
{
    return usage == Shader::Usage::None ? -1 : static_cast<int>(usage) - 1;
}

GLenum textureTarget(Shader::TextureType type)
{
    switch (type) {
    case Shader::TextureType::Volume: return GL_TEXTURE_3D;
    case Shader::TextureType::Cube: return GL_TEXTURE_CUBE_MAP;
    default: return GL_TEXTURE_2D;
    }
}

} // namespace

HRESULT Device::CreateVertexShader(const DWORD* function, IDirect3DVertexShader9** shader)
{
    return makeShader<VertexShader>(*this, function, vertexShaderVersion, shader);
}

HRESULT Device::CreatePixelShader(const DWORD* function, IDirect3DPixelShader9** shader)
{
    return makeShader<PixelShader>(*this, function, pixelShaderVersion, shader);
}

HRESULT Device::drawThroughPipeline(const char* call, D3DPRIMITIVETYPE type, const DrawShape& shape, INT baseVertex,
                                    UINT startVertex, UINT startIndex, bool indexed)
{
    auto* vertexShader = dynamic_cast<VertexShader*>(vertexShader_);
    auto* pixelShader = dynamic_cast<PixelShader*>(pixelShader_);
    auto* declaration = dynamic_cast<VertexDeclaration*>(declaration_);
    if (!vertexShader || !pixelShader || !declaration)
        return refuse(call, "a shader or declaration of another implementation");
    const auto& rs = renderStates_;
    Pipeline& pipeline = *pipeline_;

    // State OpenGL keeps in shaders picks the variant of each stage.
    bool points = type == D3DPT_POINTLIST || rs[D3DRS_FILLMODE] == D3DFILL_POINT;
    Shader::ProgramVariant vertexVariant;
    vertexVariant.clipPlanes = rs[D3DRS_CLIPPLANEENABLE] & ((1u << maxClipPlanes) - 1);
    vertexVariant.pointSprites = points;
    Shader::ProgramVariant pixelVariant;
    pixelVariant.pointSprites = points && rs[D3DRS_POINTSPRITEENABLE];
    if (rs[D3DRS_ALPHATESTENABLE] && rs[D3DRS_ALPHAFUNC] >= D3DCMP_NEVER && rs[D3DRS_ALPHAFUNC] < D3DCMP_ALWAYS)
        pixelVariant.alphaFunction = static_cast<int>(rs[D3DRS_ALPHAFUNC]);
    // Keyed by the shaders' common base, which is what they forget themselves by.
    GL::ProgramKey key = {static_cast<const ShaderBase*>(vertexShader), static_cast<const ShaderBase*>(pixelShader),
                          variantKey(vertexVariant) | (variantKey(pixelVariant) << 16)};
    std::string log;
    GLuint program = 0;
    const Shader::GlslShader* vertexGlsl = nullptr;
    const Shader::GlslShader* pixelGlsl = nullptr;
    try {
        vertexGlsl = &vertexShader->glsl(vertexVariant);
        pixelGlsl = &pixelShader->glsl(pixelVariant);
        program = programs_.program(
            key, [&] { return GL::ProgramSources{vertexGlsl->source, pixelGlsl->source}; }, log);
    } catch (const std::exception& error) {
        log = error.what();
    }
    if (!program) {
        // Our own translation failed: say why, since nothing else will.
        std::cerr << "Direct3D: no program for this shader pair: " << log << "\n";
        return refuse(call, "no program for this shader pair: " + log);
    }

    // Vertex input: each input the vertex shader declares takes the
    // declaration's element of the same usage; without one it reads
    // (0, 0, 0, 1).
    GLuint vertexArray = pipeline.vertexArray.get();
    const Shader::Program& vertexProgram = vertexShader->program();
    uint32_t usedStreams = 0;
    uint32_t enabled = 0;
    for (const Shader::Declaration& input : vertexProgram.declarations) {
        if (input.file != Shader::RegisterFile::Input)
            continue;
        int usage = declarationUsage(input.usage);
        const D3DVERTEXELEMENT9* element =
            usage < 0 ? nullptr : declaration->find(static_cast<BYTE>(usage), static_cast<BYTE>(input.usageIndex));
        if (!element)
            continue;
        enabled |= 1u << input.index;
        usedStreams |= 1u << element->Stream;
    }
    if (pipeline.layoutDeclaration != declaration->serial() || pipeline.layoutShader != vertexShader->serial()) {
        for (const Shader::Declaration& input : vertexProgram.declarations) {
            if (!(input.file == Shader::RegisterFile::Input && (enabled & (1u << input.index))))
                continue;
            const D3DVERTEXELEMENT9* element = declaration->find(static_cast<BYTE>(declarationUsage(input.usage)),
                                                                 static_cast<BYTE>(input.usageIndex));
            AttributeFormat format = *attributeFormat(element->Type);
            GLuint location = static_cast<GLuint>(input.index);
            glVertexArrayAttribFormat(vertexArray, location, format.size, format.type, format.normalized,
                                      element->Offset);
            glVertexArrayAttribBinding(vertexArray, location, element->Stream);
        }
        for (GLuint location = 0; location < 32; ++location) {
            bool on = (enabled >> location) & 1u;
            if (on != (((pipeline.enabledAttributes >> location) & 1u) != 0)) {
                if (on)
                    glEnableVertexArrayAttrib(vertexArray, location);
                else
                    glDisableVertexArrayAttrib(vertexArray, location);
            }
        }
        pipeline.enabledAttributes = enabled;
        pipeline.layoutDeclaration = declaration->serial();
        pipeline.layoutShader = vertexShader->serial();
    }
    // The vertices the draw reads, which must lie in every stream it reads.
    int64_t lowest = startVertex;
    int64_t highest = static_cast<int64_t>(startVertex) + shape.vertexCount - 1;
    if (indexed) {
        IndexBuffer* indices = asIndexBuffer(indices_);
        if (!indices)
            return refuse(call, "an index buffer of another implementation");
        bool wide = indices->description().Format == D3DFMT_INDEX32;
        uint64_t end = (static_cast<uint64_t>(startIndex) + static_cast<uint64_t>(shape.vertexCount)) * (wide ? 4 : 2);
        if (end > indices->storage().size())
            return refuse(call, "indices past the index buffer's end");
        BufferStorage::IndexRange range =
            indices->storage().indexRange(startIndex, static_cast<UINT>(shape.vertexCount), wide);
        lowest = static_cast<int64_t>(range.lowest) + baseVertex;
        highest = static_cast<int64_t>(range.highest) + baseVertex;
        glVertexArrayElementBuffer(vertexArray, indices->storage().name());
    }
    if (lowest < 0)
        return refuse(call, "a vertex before the start of the streams");
    for (DWORD stream = 0; stream < maxStreams; ++stream) {
        if (!(usedStreams & (1u << stream)))
            continue;
        VertexBuffer* buffer = asVertexBuffer(streams_[stream].buffer);
        if (!buffer)
            return refuse(call, "no vertex buffer on stream " + std::to_string(stream));
        const Stream& bound = streams_[stream];
        uint64_t elementEnd = 0;
        for (const D3DVERTEXELEMENT9& element : declaration->elements())
            if (element.Stream == stream)
                elementEnd = std::max<uint64_t>(elementEnd, element.Offset + attributeFormat(element.Type)->bytes);
        if (bound.offset + static_cast<uint64_t>(highest) * bound.stride + elementEnd > buffer->storage().size())
            return refuse(call, "vertices past the end of stream " + std::to_string(stream));
        glVertexArrayVertexBuffer(vertexArray, stream, buffer->storage().name(), bound.offset,
                                  static_cast<GLsizei>(bound.stride));
    }

    // Samplers of the pixel shader: the texture at the same stage, when it
    // is of the declared kind.
    for (const Shader::Declaration& sampler : pixelShader->program().declarations) {
        if (sampler.file != Shader::RegisterFile::Sampler)
            continue;
        DWORD stage = static_cast<DWORD>(sampler.index);
        BaseTexture* texture = textures_[stage] ? asTexture(textures_[stage]) : nullptr;
        if (texture && texture->target() != textureTarget(sampler.textureType))
            texture = nullptr;
        glBindTextureUnit(stage, texture ? texture->name() : 0);
        pipeline.applySampler(stage, texture);
        glBindSampler(stage, pipeline.samplers[stage].get());
    }

    shadow_.useProgram(program);
    Pipeline::Uniforms& uniforms = pipeline.uniforms[key];
    if (uniforms.sent.empty()) {
        uniforms.vertexConstants = glGetUniformLocation(program, Shader::VERTEX_CONSTANTS_UNIFORM);
        uniforms.pixelConstants = glGetUniformLocation(program, Shader::PIXEL_CONSTANTS_UNIFORM);
        uniforms.pixelOffset = glGetUniformLocation(program, Shader::PIXEL_OFFSET_UNIFORM);
        // Fixed for the context: given once, when the program is first used.
        if (GLint ySign = glGetUniformLocation(program, Shader::CLIP_Y_SIGN_UNIFORM); ySign >= 0)
            glProgramUniform1f(program, ySign, context_->clipYSign());
        uniforms.clipPlanes = glGetUniformLocation(program, Shader::CLIP_PLANES_UNIFORM);
        uniforms.pointSize = glGetUniformLocation(program, Shader::POINT_SIZE_UNIFORM);
        uniforms.pointSizeRange = glGetUniformLocation(program, Shader::POINT_SIZE_RANGE_UNIFORM);
        uniforms.alphaReference = glGetUniformLocation(program, Shader::ALPHA_REFERENCE_UNIFORM);
        uniforms.vertexConstantCount = vertexGlsl->constantCount;
        uniforms.pixelConstantCount = pixelGlsl->constantCount;
        uniforms.sent.assign(static_cast<size_t>(uniforms.vertexConstantCount + uniforms.pixelConstantCount) * 4 + 2 +
                                 maxClipPlanes * 4 + 1 + 2 + 1,
                             std::numeric_limits<float>::quiet_NaN());
    }
    // Sends what changed since this program last drew.
    size_t at = 0;
    auto send = [&](GLint location, const float* values, size_t count, auto upload) {
        float* sent = &uniforms.sent[at];
        at += count;
        if (location < 0 || std::memcmp(sent, values, count * sizeof(float)) == 0)
            return;
        std::memcpy(sent, values, count * sizeof(float));
        upload();
    };
    const float* vertexConstants = vertexConstants_[0].data();
    send(uniforms.vertexConstants, vertexConstants, static_cast<size_t>(uniforms.vertexConstantCount) * 4, [&] {
        glProgramUniform4fv(program, uniforms.vertexConstants, uniforms.vertexConstantCount, vertexConstants);
    });
    const float* pixelConstants = pixelConstants_[0].data();
    send(uniforms.pixelConstants, pixelConstants, static_cast<size_t>(uniforms.pixelConstantCount) * 4, [&] {
        glProgramUniform4fv(program, uniforms.pixelConstants, uniforms.pixelConstantCount, pixelConstants);
    });
    float offset[2] = {1.0f / static_cast<float>(std::max<DWORD>(1, viewport_.Width)),
                       -1.0f / static_cast<float>(std::max<DWORD>(1, viewport_.Height))};
    send(uniforms.pixelOffset, offset, 2, [&] { glProgramUniform2fv(program, uniforms.pixelOffset, 1, offset); });
    send(uniforms.clipPlanes, &clipPlanes_[0][0], maxClipPlanes * 4, [&] {
        glProgramUniform4fv(program, uniforms.clipPlanes, maxClipPlanes, &clipPlanes_[0][0]);
    });
    float pointSize = floatFromBits(rs[D3DRS_POINTSIZE]);
    send(uniforms.pointSize, &pointSize, 1, [&] { glProgramUniform1f(program, uniforms.pointSize, pointSize); });
    float range[2] = {std::max(0.0f, floatFromBits(rs[D3DRS_POINTSIZE_MIN])),
                      std::min(capabilities(type_).MaxPointSize, floatFromBits(rs[D3DRS_POINTSIZE_MAX]))};
    send(uniforms.pointSizeRange, range, 2, [&] { glProgramUniform2fv(program, uniforms.pointSizeRange, 1, range); });
    float reference = static_cast<float>(rs[D3DRS_ALPHAREF] & 0xFF);
    send(uniforms.alphaReference, &reference, 1,
         [&] { glProgramUniform1f(program, uniforms.alphaReference, reference); });

    glBindVertexArray(vertexArray);
    if (indexed) {
        IndexBuffer* indices = asIndexBuffer(indices_);
        bool wide = indices->description().Format == D3DFMT_INDEX32;
        auto offsetBytes = static_cast<uintptr_t>(startIndex) * (wide ? 4u : 2u);
        glDrawElementsBaseVertex(shape.mode, shape.vertexCount, wide ? GL_UNSIGNED_INT : GL_UNSIGNED_SHORT,
                                 reinterpret_cast<const void*>(offsetBytes), baseVertex);
    } else {
        glDrawArrays(shape.mode, static_cast<GLint>(startVertex), shape.vertexCount);
    }
    return D3D_OK;
}

} // namespace D3D9
