#pragma once

namespace Vostrel {
namespace Core {

// An assembled pixel program, made by the rendering interface from a shader
// program.
class PixelShader {
public:
    PixelShader() = default;
    PixelShader(const PixelShader&) = delete;
    PixelShader& operator=(const PixelShader&) = delete;
    virtual ~PixelShader() = 0;

    // The base does nothing.
    virtual void bind() {}
};

} // namespace Core
} // namespace Vostrel
