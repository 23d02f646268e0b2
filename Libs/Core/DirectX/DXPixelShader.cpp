#include "Libs/Core/DirectX/DXPixelShader.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/DirectX/DXShaderAssembly.h"

namespace Vostrel {
namespace Core {

DXPixelShader::DXPixelShader(const std::string& text)
{
    IDirect3DDevice9* device = DXCore::getDevice();
    std::string errors;
    ID3DXBuffer* code = assembleShaderText(text, errors);
    if (!code)
        VOSTREL_THROW("Unable to assemble pixel shader: " << errors);
    HRESULT result = device->CreatePixelShader(static_cast<const DWORD*>(code->GetBufferPointer()), &shader);
    code->Release();
    if (result != D3D_OK)
        VOSTREL_THROW("Could not create pixel shader.");
}

DXPixelShader::~DXPixelShader()
{
    shader->Release();
}

void DXPixelShader::bind()
{
    DXCore::getDevice()->SetPixelShader(shader);
}

} // namespace Core
} // namespace Vostrel
