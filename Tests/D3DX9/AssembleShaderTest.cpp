#include "Platform/D3D9/D3D9Testing.h"
#include "Platform/D3D9/ShaderCode.h"
#include "Platform/D3DX9/d3dx9.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string textOf(LPD3DXBUFFER buffer)
{
    return buffer ? std::string(static_cast<const char*>(buffer->GetBufferPointer())) : std::string();
}

TEST(AssembleShaderTest, AProgramAssemblesIntoCodeForTheDevice)
{
    const std::string text = "ps_2_0\ndcl t0.xy\ndcl_2d s0\ntexld r0, t0, s0\nmov oC0, r0\n";
    LPD3DXBUFFER code = nullptr;
    LPD3DXBUFFER errors = nullptr;
    ASSERT_EQ(D3DXAssembleShader(text.c_str(), static_cast<UINT>(text.size()), nullptr, nullptr, 0, &code, &errors),
              D3D_OK);
    EXPECT_EQ(errors, nullptr);
    ASSERT_NE(code, nullptr);
    std::optional<D3D9::ShaderCode> read = D3D9::decodeShaderCode(static_cast<const DWORD*>(code->GetBufferPointer()));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->version, D3D9::pixelShaderVersion);
    EXPECT_EQ(read->text, text);
    EXPECT_EQ(code->GetBufferSize(), read->tokens.size() * 4);
    EXPECT_EQ(code->Release(), 0u);
}

TEST(AssembleShaderTest, RefusedProgramsReportTheAssemblersLines)
{
    // The length ends the text, not the whole string.
    const std::string text = "vs_2_0\ndcl_texcoord0 v0\nsin r0, v0.x\nmov oPos, v0\nmov oPos, c300\n";
    LPD3DXBUFFER code = nullptr;
    LPD3DXBUFFER errors = nullptr;
    EXPECT_EQ(D3DXAssembleShader(text.c_str(), static_cast<UINT>(text.size()), nullptr, nullptr, 0, &code, &errors),
              D3DXERR_INVALIDDATA);
    EXPECT_EQ(code, nullptr);
    ASSERT_NE(errors, nullptr);
    std::string messages = textOf(errors);
    EXPECT_EQ(messages.rfind("(3): error: ", 0), 0u) << messages;
    EXPECT_NE(messages.find("sin"), std::string::npos) << messages;
    EXPECT_EQ(errors->GetBufferSize(), messages.size() + 1) << "zero-terminated";
    errors->Release();

    const std::string cut = "vs_2_0\nmov oPos, c0\nnonsense";
    EXPECT_EQ(D3DXAssembleShader(cut.c_str(), static_cast<UINT>(cut.size() - 8), nullptr, nullptr, 0, &code, nullptr),
              D3D_OK);
    code->Release();

    const D3DXMACRO macros[] = {{"A", "1"}, {nullptr, nullptr}};
    EXPECT_EQ(D3DXAssembleShader(cut.c_str(), 6, macros, nullptr, 0, &code, &errors), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3D9Testing::takeRefusal(), "D3DXAssembleShader: macros are not supported");
    errors->Release();
    EXPECT_EQ(D3DXAssembleShader(nullptr, 0, nullptr, nullptr, 0, &code, nullptr), D3DERR_INVALIDCALL);
    EXPECT_EQ(D3D9Testing::takeRefusal(), "D3DXAssembleShader: no text");
}

} // namespace
