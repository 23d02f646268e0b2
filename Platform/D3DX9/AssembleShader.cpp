#include "Platform/D3D9/Internal.h"
#include "Platform/D3D9/ShaderCode.h"
#include "Platform/D3DX9/d3dx9.h"
#include "Platform/Shader/ShaderParser.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

HRESULT bufferOf(const void* data, size_t size, LPD3DXBUFFER* result)
{
    HRESULT made = D3DXCreateBuffer(static_cast<DWORD>(size), result);
    if (SUCCEEDED(made) && size > 0)
        std::memcpy((*result)->GetBufferPointer(), data, size);
    return made;
}

// The messages as a zero-terminated text.
void reportErrors(const std::string& messages, LPD3DXBUFFER* errorMessages)
{
    if (errorMessages)
        bufferOf(messages.c_str(), messages.size() + 1, errorMessages);
}

} // namespace

HRESULT WINAPI D3DXAssembleShader(const char* sourceData, UINT sourceDataLength, const D3DXMACRO* defines,
                                  LPD3DXINCLUDE include, DWORD flags, LPD3DXBUFFER* shader,
                                  LPD3DXBUFFER* errorMessages)
{
    if (shader)
        *shader = nullptr;
    if (errorMessages)
        *errorMessages = nullptr;
    const char* call = "D3DXAssembleShader";
    if (!sourceData)
        return D3D9::refuse(call, "no text");
    if (!shader)
        return D3D9::refuse(call, "no result pointer");
    if (defines && defines[0].Name) {
        reportErrors("error: macros are not supported\n", errorMessages);
        return D3D9::refuse(call, "macros are not supported");
    }
    // The text ends at its length or at a zero, whichever comes first.
    std::string text(sourceData, strnlen(sourceData, sourceDataLength));
    try {
        Shader::Program program = Shader::assemble(text);
        DWORD version = program.stage == Shader::Stage::Vertex ? D3D9::vertexShaderVersion : D3D9::pixelShaderVersion;
        std::vector<DWORD> code = D3D9::encodeShaderCode(version, text);
        if (code.empty()) {
            reportErrors("error: program text too long\n", errorMessages);
            return D3D9::refuse(call, "program text too long", E_FAIL);
        }
        return bufferOf(code.data(), code.size() * sizeof(DWORD), shader);
    } catch (const Shader::AssemblyError& error) {
        std::string messages = error.what();
        if (messages.empty() || messages.back() != '\n')
            messages += '\n';
        reportErrors(messages, errorMessages);
        return D3D9::refuse(call, error.what(), D3DXERR_INVALIDDATA);
    } catch (const std::exception& error) {
        reportErrors(std::string("error: ") + error.what() + "\n", errorMessages);
        return D3D9::refuse(call, error.what(), D3DXERR_INVALIDDATA);
    }
}
