#include "Libs/EvaluationGraph/ShaderBuild.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/RenderContext.h"
#include "Libs/Core/Texture.h"

namespace Vostrel {

ShaderBuild::ShaderBuild()
    : vertexUniformCount(0), pixelUniformCount(0)
{
}

void ShaderBuild::apply(Core::RenderContext& context) const
{
    context.setVertexShader(vertexShader.get());
    context.setVertexConstantCount(static_cast<int>(vertexUniformCount));
    context.setPixelShader(pixelShader.get());
    context.setPixelConstantCount(static_cast<int>(pixelUniformCount));
}

const ShaderBuild::UniformBinding* ShaderBuild::findUniform(const std::string& name) const
{
    auto it = uniformMap.find(name);
    return it == uniformMap.end() ? nullptr : &uniformBindings[it->second];
}

void ShaderBuild::setUniform(Core::RenderContext& context, const std::string& name, const float value[4]) const
{
    setUniform(context, name, Vec4(value[0], value[1], value[2], value[3]));
}

void ShaderBuild::setUniform(Core::RenderContext& context, const std::string& name, const Vec4& value) const
{
    const UniformBinding* uni = findUniform(name);
    if (!uni)
        return;
    if (uni->vsReg >= 0)
        context.setVertexConstant(uni->vsReg, value);
    if (uni->psReg >= 0)
        context.setPixelConstant(uni->psReg, value);
}

void ShaderBuild::setUniformVec3(Core::RenderContext& context, const std::string& name, const Vec3& value) const
{
    setUniform(context, name, Vec4(value[0], value[1], value[2], 1.0f));
}

void ShaderBuild::setUniformMatrix(Core::RenderContext& context, const std::string& name,
                                   const float value[16]) const
{
    const UniformBinding* found = findUniform(name);
    if (!found)
        return;
    const UniformBinding& uni = *found;
    VOSTREL_ASSERT(uni.size == 4);
    auto group = [value](int row) {
        return Vec4(value[4 * row], value[4 * row + 1], value[4 * row + 2], value[4 * row + 3]);
    };
    if (uni.vsReg >= 0)
        for (int row = 0; row < 4; ++row)
            context.setVertexConstant(uni.vsReg + row, group(row));
    if (uni.psReg >= 0)
        for (int row = 0; row < 4; ++row)
            context.setPixelConstant(uni.psReg + row, group(row));
}

void ShaderBuild::setUniformMatrix(Core::RenderContext& context, const std::string& name,
                                   const Matrix4& value) const
{
    setUniformMatrix(context, name, value.ptr());
}

void ShaderBuild::setTexture(Core::RenderContext& context, const std::string& name, Core::Texture* texture) const
{
    auto it = textureMap.find(name);
    if (it == textureMap.end())
        return;
    const TextureBinding& tex = it->second;
    // The report names the texture's record as it has always been called,
    // its prototype.
    if (texture && tex.type != static_cast<uint32_t>(texture->getParameters().type))
        VOSTREL_THROW("tex.type == texture->getPrototype().type does not hold.");
    context.setTexture(static_cast<int>(tex.sampler), texture);
}

} // namespace Vostrel
