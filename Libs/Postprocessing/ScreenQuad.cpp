#include "Libs/Postprocessing/ScreenQuad.h"

#include "Libs/Core/APICore.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/VertexFormat.h"
#include "Libs/Core/VertexStream.h"

#include <cstring>

namespace Vostrel {

ScreenQuad::ScreenQuad()
{
    const float corners[] = {0, 0, 1, 0, 0, 1, 1, 1};
    stream.reset(Core::createVertexStream(sizeof(corners), 8, 4));
    std::memcpy(stream->lock(Core::LOCK_DISCARD), corners, sizeof(corners));
    stream->unlock();
    const Core::VertexElement element = {0, 0, Core::VERTEX_FLOAT2, 0};
    format.reset(Core::createVertexFormat(1, &element));
    context.setVertexStream(0, stream.get());
    context.setVertexFormat(format.get());
    context.setCullMode(Core::CULL_NONE);
    context.setDepthTest(false);
}

ScreenQuad::~ScreenQuad() = default;

void ScreenQuad::setVertexShader(Core::VertexShader* shader)
{
    if (shader)
        context.setVertexShader(shader);
}

void ScreenQuad::setPixelShader(Core::PixelShader* shader)
{
    if (shader)
        context.setPixelShader(shader);
}

void ScreenQuad::place(Core::RenderContext& context, int first, const Core::RenderTarget& target)
{
    const Vec4 texel(1.0f / target.getWidth(), -1.0f / target.getHeight(), 0.0f, 0.0f);
    const Vec4 origin(0.0f, 0.0f, 0.5f, 1.0f), axisX(2.0f, 0.0f, 0.0f, 0.0f), axisY(0.0f, -2.0f, 0.0f, 0.0f);
    if (context.getVertexConstantCount() < first + 3)
        context.setVertexConstantCount(first + 3);
    context.setVertexConstant(first, origin - axisX * 0.5f - axisY * 0.5f - texel);
    context.setVertexConstant(first + 1, axisX);
    context.setVertexConstant(first + 2, axisY);
}

void ScreenQuad::draw()
{
    context.drawPrimitives(Core::PRIMITIVE_TRIANGLE_STRIP, 0, 2);
}

void ScreenQuad::writeAffine(Core::ShaderGen& gen, const Core::ShaderGen::Register& destination, int first)
{
    Core::ShaderGen::Register c = gen.uniform(first, 3), across = gen.temp(), down = gen.temp();
    // One constant register per vertex instruction.
    gen.mul(across, gen.attrib(0).swizzle("x"), c.offset(1));
    gen.add(across, across, c);
    gen.mul(down, gen.attrib(0).swizzle("y"), c.offset(2));
    gen.add(destination, across, down);
}

} // namespace Vostrel
