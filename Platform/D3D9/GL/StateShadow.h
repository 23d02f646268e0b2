#pragma once

// What the device last told OpenGL, so that only changes reach the driver.
// Everything that touches these states goes through here.

#include <epoxy/gl.h>

#include <array>
#include <map>
#include <optional>
#include <tuple>

namespace D3D9::GL {

class StateShadow {
public:
    void enable(GLenum capability, bool on);
    void depthMask(bool write);
    void depthFunc(GLenum function);
    void colorMask(bool red, bool green, bool blue, bool alpha);
    void blendFunc(GLenum source, GLenum destination, GLenum sourceAlpha, GLenum destinationAlpha);
    void blendEquation(GLenum color, GLenum alpha);
    void blendColor(const std::array<float, 4>& color);
    void stencilFunc(GLenum face, GLenum function, GLint reference, GLuint mask);
    void stencilOp(GLenum face, GLenum fail, GLenum depthFail, GLenum pass);
    void stencilMask(GLenum face, GLuint mask);
    void cullFace(GLenum face);
    void polygonMode(GLenum mode);
    void polygonOffset(float factor, float units);
    void viewport(GLint x, GLint y, GLsizei width, GLsizei height);
    void depthRange(float nearValue, float farValue);
    void scissor(GLint x, GLint y, GLsizei width, GLsizei height);
    void bindDrawFramebuffer(GLuint framebuffer);
    void bindReadFramebuffer(GLuint framebuffer);
    void useProgram(GLuint program);

    // The masks as last set, for operations that must force them and put
    // them back.
    struct Masks {
        std::array<bool, 4> color;
        bool depth;
        GLuint stencilFront;
        GLuint stencilBack;
    };
    Masks masks() const;
    bool isEnabled(GLenum capability) const;
    std::array<GLint, 4> scissorBox() const;

private:
    template <typename Value, typename Apply>
    void set(std::optional<Value>& shadow, const Value& value, Apply apply)
    {
        if (shadow && *shadow == value)
            return;
        shadow = value;
        apply();
    }

    std::map<GLenum, bool> enabled_;
    std::optional<bool> depthMask_;
    std::optional<GLenum> depthFunc_;
    std::optional<std::array<bool, 4>> colorMask_;
    std::optional<std::tuple<GLenum, GLenum, GLenum, GLenum>> blendFunc_;
    std::optional<std::tuple<GLenum, GLenum>> blendEquation_;
    std::optional<std::array<float, 4>> blendColor_;
    std::optional<std::tuple<GLenum, GLint, GLuint>> stencilFunc_[2];
    std::optional<std::tuple<GLenum, GLenum, GLenum>> stencilOp_[2];
    std::optional<GLuint> stencilMask_[2];
    std::optional<GLenum> cullFace_;
    std::optional<GLenum> polygonMode_;
    std::optional<std::tuple<float, float>> polygonOffset_;
    std::optional<std::array<GLint, 4>> viewport_;
    std::optional<std::tuple<float, float>> depthRange_;
    std::optional<std::array<GLint, 4>> scissor_;
    std::optional<GLuint> drawFramebuffer_;
    std::optional<GLuint> readFramebuffer_;
    std::optional<GLuint> program_;
};

} // namespace D3D9::GL
