#pragma once

// Internal: vertex and pixel shaders. Each holds its code and the program
// read from it; the GLSL of each variant it is drawn with is written on
// first use and kept.

#include "Platform/D3D9/DeviceObject.h"
#include "Platform/Shader/GlslTranslator.h"

#include <map>
#include <string>
#include <vector>

namespace D3D9 {

class ShaderBase : public DeviceObject {
public:
    ShaderBase(Device& device, std::vector<DWORD> code, Shader::Program program);
    ~ShaderBase() override;

    const Shader::Program& program() const { return program_; }
    // The GLSL of a variant; throws std::logic_error when the program
    // cannot be written (the device then refuses the shader or the draw).
    const Shader::GlslShader& glsl(const Shader::ProgramVariant& variant);
    HRESULT function(void* data, UINT* size) const;

private:
    std::vector<DWORD> code_;
    Shader::Program program_;
    std::map<unsigned, Shader::GlslShader> translations_;
};

template <typename Interface>
class ShaderObject final : public Interface, public ShaderBase {
public:
    using ShaderBase::ShaderBase;
    ULONG AddRef() override { return addRef(); }
    ULONG Release() override { return release(); }
    HRESULT GetDevice(IDirect3DDevice9** result) override { return getDevice(result); }
    HRESULT GetFunction(void* data, UINT* size) override { return function(data, size); }
};

using VertexShader = ShaderObject<IDirect3DVertexShader9>;
using PixelShader = ShaderObject<IDirect3DPixelShader9>;

// A key for the variant: equal keys give equal GLSL.
unsigned variantKey(const Shader::ProgramVariant& variant);

} // namespace D3D9
