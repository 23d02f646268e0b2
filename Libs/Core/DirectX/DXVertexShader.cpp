#include "Libs/Core/DirectX/DXVertexShader.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/DirectX/DXShaderAssembly.h"

namespace Vostrel {
namespace Core {

DXVertexShader::DXVertexShader(const std::string& text)
{
    IDirect3DDevice9* device = DXCore::getDevice();
    std::string errors;
    ID3DXBuffer* code = assembleShaderText(text, errors);
    if (!code)
        VOSTREL_THROW("Unable to assemble vertex shader: " << errors);
    HRESULT result = device->CreateVertexShader(static_cast<const DWORD*>(code->GetBufferPointer()), &shader);
    code->Release();
    if (result != D3D_OK)
        VOSTREL_THROW("Could not create vertex shader.");
}

DXVertexShader::~DXVertexShader()
{
    shader->Release();
}

void DXVertexShader::bind()
{
    DXCore::getDevice()->SetVertexShader(shader);
}

} // namespace Core
} // namespace Vostrel
