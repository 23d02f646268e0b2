#pragma once

// Owned OpenGL names: each deletes its object when it goes, in the context
// that is current then (the device keeps its context current).

#include <epoxy/gl.h>

#include <utility>

namespace D3D9::GL {

template <void (*Delete)(GLuint)>
class Name {
public:
    Name() = default;
    explicit Name(GLuint name) : name_(name) {}
    ~Name() { reset(); }
    Name(Name&& other) noexcept : name_(std::exchange(other.name_, 0)) {}
    Name& operator=(Name&& other) noexcept
    {
        if (this != &other) {
            reset();
            name_ = std::exchange(other.name_, 0);
        }
        return *this;
    }
    Name(const Name&) = delete;
    Name& operator=(const Name&) = delete;

    GLuint get() const { return name_; }
    explicit operator bool() const { return name_ != 0; }
    void reset()
    {
        if (name_)
            Delete(name_);
        name_ = 0;
    }

private:
    GLuint name_ = 0;
};

inline void deleteFramebuffer(GLuint name) { glDeleteFramebuffers(1, &name); }
inline void deleteRenderbuffer(GLuint name) { glDeleteRenderbuffers(1, &name); }
inline void deleteTexture(GLuint name) { glDeleteTextures(1, &name); }
inline void deleteProgram(GLuint name) { glDeleteProgram(name); }
inline void deleteShader(GLuint name) { glDeleteShader(name); }
inline void deleteBuffer(GLuint name) { glDeleteBuffers(1, &name); }
inline void deleteVertexArray(GLuint name) { glDeleteVertexArrays(1, &name); }
inline void deleteSampler(GLuint name) { glDeleteSamplers(1, &name); }

using Framebuffer = Name<deleteFramebuffer>;
using Renderbuffer = Name<deleteRenderbuffer>;
using Texture = Name<deleteTexture>;
using Program = Name<deleteProgram>;
using Shader = Name<deleteShader>;
using Buffer = Name<deleteBuffer>;
using VertexArray = Name<deleteVertexArray>;
using Sampler = Name<deleteSampler>;

inline Framebuffer makeFramebuffer()
{
    GLuint name = 0;
    glCreateFramebuffers(1, &name);
    return Framebuffer(name);
}

inline Renderbuffer makeRenderbuffer()
{
    GLuint name = 0;
    glCreateRenderbuffers(1, &name);
    return Renderbuffer(name);
}

inline Texture makeTexture(GLenum target)
{
    GLuint name = 0;
    glCreateTextures(target, 1, &name);
    return Texture(name);
}

inline VertexArray makeVertexArray()
{
    GLuint name = 0;
    glCreateVertexArrays(1, &name);
    return VertexArray(name);
}

} // namespace D3D9::GL
