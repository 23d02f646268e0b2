#pragma once

namespace Vostrel {
namespace Core {

// An assembled vertex program, made by the rendering interface from a
// shader program.
class VertexShader {
public:
    VertexShader() = default;
    VertexShader(const VertexShader&) = delete;
    VertexShader& operator=(const VertexShader&) = delete;
    virtual ~VertexShader() = 0;

    // The base does nothing.
    virtual void bind() {}
};

} // namespace Core
} // namespace Vostrel
