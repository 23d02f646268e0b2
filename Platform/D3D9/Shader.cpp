#include "Platform/D3D9/Shader.h"

#include "Platform/D3D9/Device.h"
#include "Platform/D3D9/Internal.h"

#include <cstring>

namespace D3D9 {

unsigned variantKey(const Shader::ProgramVariant& variant)
{
    return (variant.clipPlanes & 0x3Fu) | (variant.pointSprites ? 0x40u : 0u) |
           (static_cast<unsigned>(variant.alphaFunction & 0xF) << 7);
}

ShaderBase::ShaderBase(Device& device, std::vector<DWORD> code, Shader::Program program)
    : DeviceObject(device, Ownership::Own), code_(std::move(code)), program_(std::move(program))
{
}

ShaderBase::~ShaderBase()
{
    device().forgetShader(this);
}

const Shader::GlslShader& ShaderBase::glsl(const Shader::ProgramVariant& variant)
{
    unsigned key = variantKey(variant);
    auto found = translations_.find(key);
    if (found == translations_.end())
        found = translations_.emplace(key, Shader::translateToGlsl(program_, variant)).first;
    return found->second;
}

HRESULT ShaderBase::function(void* data, UINT* size) const
{
    if (!size)
        return refuse("GetFunction", "no size pointer");
    UINT bytes = static_cast<UINT>(code_.size() * sizeof(DWORD));
    if (data) {
        if (*size < bytes)
            return refuse("GetFunction", "too small a buffer");
        std::memcpy(data, code_.data(), bytes);
    }
    *size = bytes;
    return D3D_OK;
}

} // namespace D3D9
