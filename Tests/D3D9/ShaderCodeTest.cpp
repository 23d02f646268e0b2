#include "Platform/D3D9/Device.h"
#include "Platform/D3D9/ShaderCode.h"
#include "Tests/D3D9/DrawFixture.h"

namespace {

TEST(ShaderCodeTest, CodeCarriesItsTextAndIsReadNoFurtherThanItsEnd)
{
    std::vector<DWORD> code = D3D9::encodeShaderCode(D3D9::pixelShaderVersion, "ps_2_0\nmov oC0, c0\n");
    ASSERT_FALSE(code.empty());
    EXPECT_EQ(code.front(), 0xFFFF0200u);
    EXPECT_EQ(code.back(), 0x0000FFFFu);
    std::optional<D3D9::ShaderCode> read = D3D9::decodeShaderCode(code.data());
    ASSERT_TRUE(read);
    EXPECT_EQ(read->text, "ps_2_0\nmov oC0, c0\n");
    EXPECT_EQ(read->tokens, code);

    std::vector<DWORD> broken = code;
    broken.back() = 0;
    broken.push_back(0x0000FFFFu);
    EXPECT_FALSE(D3D9::decodeShaderCode(broken.data())) << "the end token must follow the text";
    const DWORD unknown[] = {0xFFFE0300u, 0x0000FFFFu};
    EXPECT_FALSE(D3D9::decodeShaderCode(unknown));
    EXPECT_TRUE(D3D9::encodeShaderCode(D3D9::vertexShaderVersion, std::string(200000, ' ')).empty());
}

using ShaderObjectTest = DrawTest;

TEST_F(ShaderObjectTest, TheDeviceTakesOnlyCodeOfItsStageAndGivesItBack)
{
    std::vector<DWORD> vertexCode = assemble(copyVertexShader);
    std::vector<DWORD> pixelCode = assemble(copyPixelShader);
    // Code whose text the assembler refuses, made by hand: the refusal
    // carries the assembler's message.
    std::vector<DWORD> refused = D3D9::encodeShaderCode(D3D9::vertexShaderVersion, "vs_2_0\nsin r0, v0\n");
    EXPECT_EQ(device->CreateVertexShader(refused.data(), &vertexShader), D3DERR_INVALIDCALL);
    std::string refusal = D3D9Testing::takeRefusal();
    EXPECT_EQ(refusal.rfind("CreateVertexShader: (2): error:", 0), 0u) << refusal;
    EXPECT_NE(refusal.find("sin"), std::string::npos) << refusal;
    ASSERT_EQ(device->CreateVertexShader(vertexCode.data(), &vertexShader), D3D_OK);
    UINT size = 0;
    ASSERT_EQ(vertexShader->GetFunction(nullptr, &size), D3D_OK);
    EXPECT_EQ(size, vertexCode.size() * 4);
    std::vector<DWORD> back(size / 4);
    ASSERT_EQ(vertexShader->GetFunction(back.data(), &size), D3D_OK);
    EXPECT_EQ(back, vertexCode);
}

TEST_F(ShaderObjectTest, ProgramsArePerPairAndGoWithTheirShaders)
{
    makeTarget(4, 4);
    setDeclaration({{D3DDECLTYPE_FLOAT2, 0}, {D3DDECLTYPE_FLOAT2, 8}});
    float quad[] = {-1, 1, 0, 0, 1, 1, 1, 0, -1, -1, 0, 1, 1, -1, 1, 1};
    setVertices(quad, sizeof(quad), 16);
    setShaders(copyVertexShader, "ps_2_0\nmov oC0, c0\n");
    D3D9::GL::ProgramCache& cache = dynamic_cast<D3D9::Device*>(device)->programs();
    size_t before = cache.size();
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(cache.size(), before + 1) << "linked once";
    device->SetRenderState(D3DRS_ALPHATESTENABLE, TRUE);
    device->SetRenderState(D3DRS_ALPHAFUNC, D3DCMP_GREATER);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    device->SetRenderState(D3DRS_CLIPPLANEENABLE, 3);
    ASSERT_EQ(device->DrawPrimitive(D3DPT_TRIANGLESTRIP, 0, 2), D3D_OK);
    EXPECT_EQ(cache.size(), before + 3) << "a variant each for the alpha test and the clip planes";
    device->SetPixelShader(nullptr);
    release(pixelShader);
    EXPECT_EQ(cache.size(), before) << "the programs went with their pixel shader";
}

} // namespace
