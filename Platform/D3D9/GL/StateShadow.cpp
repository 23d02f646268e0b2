#include "Platform/D3D9/GL/StateShadow.h"

namespace D3D9::GL {

namespace {

int faceIndex(GLenum face) { return face == GL_BACK ? 1 : 0; }

} // namespace

void StateShadow::enable(GLenum capability, bool on)
{
    auto found = enabled_.find(capability);
    if (found != enabled_.end() && found->second == on)
        return;
    enabled_[capability] = on;
    if (on)
        glEnable(capability);
    else
        glDisable(capability);
}

bool StateShadow::isEnabled(GLenum capability) const
{
    auto found = enabled_.find(capability);
    return found != enabled_.end() && found->second;
}

void StateShadow::depthMask(bool write)
{
    set(depthMask_, write, [&] { glDepthMask(write ? GL_TRUE : GL_FALSE); });
}

void StateShadow::depthFunc(GLenum function)
{
    set(depthFunc_, function, [&] { glDepthFunc(function); });
}

void StateShadow::colorMask(bool red, bool green, bool blue, bool alpha)
{
    set(colorMask_, std::array<bool, 4>{red, green, blue, alpha}, [&] { glColorMask(red, green, blue, alpha); });
}

void StateShadow::blendFunc(GLenum source, GLenum destination, GLenum sourceAlpha, GLenum destinationAlpha)
{
    set(blendFunc_, std::make_tuple(source, destination, sourceAlpha, destinationAlpha),
        [&] { glBlendFuncSeparate(source, destination, sourceAlpha, destinationAlpha); });
}

void StateShadow::blendEquation(GLenum color, GLenum alpha)
{
    set(blendEquation_, std::make_tuple(color, alpha), [&] { glBlendEquationSeparate(color, alpha); });
}

void StateShadow::blendColor(const std::array<float, 4>& color)
{
    set(blendColor_, color, [&] { glBlendColor(color[0], color[1], color[2], color[3]); });
}

void StateShadow::stencilFunc(GLenum face, GLenum function, GLint reference, GLuint mask)
{
    set(stencilFunc_[faceIndex(face)], std::make_tuple(function, reference, mask),
        [&] { glStencilFuncSeparate(face, function, reference, mask); });
}

void StateShadow::stencilOp(GLenum face, GLenum fail, GLenum depthFail, GLenum pass)
{
    set(stencilOp_[faceIndex(face)], std::make_tuple(fail, depthFail, pass),
        [&] { glStencilOpSeparate(face, fail, depthFail, pass); });
}

void StateShadow::stencilMask(GLenum face, GLuint mask)
{
    set(stencilMask_[faceIndex(face)], mask, [&] { glStencilMaskSeparate(face, mask); });
}

void StateShadow::cullFace(GLenum face)
{
    set(cullFace_, face, [&] { glCullFace(face); });
}

void StateShadow::polygonMode(GLenum mode)
{
    set(polygonMode_, mode, [&] { glPolygonMode(GL_FRONT_AND_BACK, mode); });
}

void StateShadow::polygonOffset(float factor, float units)
{
    set(polygonOffset_, std::make_tuple(factor, units), [&] { glPolygonOffset(factor, units); });
}

void StateShadow::viewport(GLint x, GLint y, GLsizei width, GLsizei height)
{
    set(viewport_, std::array<GLint, 4>{x, y, width, height}, [&] { glViewport(x, y, width, height); });
}

void StateShadow::depthRange(float nearValue, float farValue)
{
    set(depthRange_, std::make_tuple(nearValue, farValue), [&] { glDepthRangef(nearValue, farValue); });
}

void StateShadow::scissor(GLint x, GLint y, GLsizei width, GLsizei height)
{
    set(scissor_, std::array<GLint, 4>{x, y, width, height}, [&] { glScissor(x, y, width, height); });
}

std::array<GLint, 4> StateShadow::scissorBox() const
{
    return scissor_ ? *scissor_ : std::array<GLint, 4>{0, 0, 0, 0};
}

void StateShadow::bindDrawFramebuffer(GLuint framebuffer)
{
    set(drawFramebuffer_, framebuffer, [&] { glBindFramebuffer(GL_DRAW_FRAMEBUFFER, framebuffer); });
}

void StateShadow::bindReadFramebuffer(GLuint framebuffer)
{
    set(readFramebuffer_, framebuffer, [&] { glBindFramebuffer(GL_READ_FRAMEBUFFER, framebuffer); });
}

void StateShadow::useProgram(GLuint program)
{
    set(program_, program, [&] { glUseProgram(program); });
}

StateShadow::Masks StateShadow::masks() const
{
    Masks result;
    result.color = colorMask_ ? *colorMask_ : std::array<bool, 4>{true, true, true, true};
    result.depth = depthMask_.value_or(true);
    result.stencilFront = stencilMask_[0].value_or(0xFFFFFFFFu);
    result.stencilBack = stencilMask_[1].value_or(0xFFFFFFFFu);
    return result;
}

} // namespace D3D9::GL
