#include "Libs/Core/DirectX/DXShaderAssembly.h"

namespace Vostrel {
namespace Core {

ID3DXBuffer* assembleShaderText(const std::string& text, std::string& errors)
{
    ID3DXBuffer* code = nullptr;
    ID3DXBuffer* messages = nullptr;
    HRESULT result = D3DXAssembleShader(text.c_str(), static_cast<UINT>(text.size()), nullptr, nullptr, 0, &code,
                                        &messages);
    if (messages) {
        if (FAILED(result) && messages->GetBufferPointer())
            errors = static_cast<const char*>(messages->GetBufferPointer());
        messages->Release();
    }
    if (FAILED(result)) {
        if (code)
            code->Release();
        return nullptr;
    }
    return code;
}

} // namespace Core
} // namespace Vostrel
