#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXShaderGen.h"
#include "Libs/Core/ShaderOptimization.h"
#include "Platform/Shader/ShaderParser.h"

#include <gtest/gtest.h>

using namespace Vostrel;
using namespace Vostrel::Core;
typedef ShaderGen::Register Register;

namespace {

std::string written(ShaderGen& gen, int stage, bool optimise = true)
{
    ShaderProgram program;
    gen.getProgram(program);
    if (optimise)
        ShaderOptimization(program).run();
    return DXShaderGen::generate(program, stage);
}

std::string failure(ShaderGen& gen, int stage)
{
    try {
        written(gen, stage, false);
    } catch (const Exception& exception) {
        EXPECT_STREQ(exception.file, "Libs\\Core\\DirectX\\DXShaderGen");
        return exception.message;
    }
    return "";
}

std::string assemblerRefusal(const std::string& text)
{
    try {
        Shader::assemble(text);
    } catch (const Shader::AssemblyError& error) {
        return error.what();
    }
    return "";
}

} // namespace

TEST(DXShaderGen, WritesTheTexturedPixelProgram)
{
    ShaderGen gen;
    Register sample = gen.temp(), product = gen.temp();
    gen.texld(sample, gen.vary(VARY_TEXCOORD0), gen.sampler(0, TEXTURE_TYPE_2D));
    gen.mul(product, sample, gen.vary(VARY_COLOR0));
    gen.mov(gen.result(RESULT_COLOR), product);
    std::string text = written(gen, DXShaderGen::PIXEL_STAGE);
    EXPECT_EQ(text, "ps_2_0\ndcl_2d s0\ndcl v0\ndcl t0\ntexld r0,t0,s0\nmul r0,r0,v0\nmov oC0,r0\n");
    EXPECT_EQ(assemblerRefusal(text), "");
}

TEST(DXShaderGen, WritesTheMatrixTransform)
{
    ShaderGen gen;
    Register matrix = gen.uniform(0, 4), position = gen.vary(VARY_POSITION);
    const char* rows[] = {"x", "y", "z", "w"};
    for (int row = 0; row < 4; ++row)
        gen.dp4(position.swizzle(rows[row]), gen.attrib(0), matrix.offset(row));
    std::string text = written(gen, DXShaderGen::VERTEX_STAGE);
    EXPECT_EQ(text, "vs_2_0\ndcl_texcoord0 v0\ndp4 oPos.x,v0,c0\ndp4 oPos.y,v0,c1\ndp4 oPos.z,v0,c2\n"
                    "dp4 oPos.w,v0,c3\n");
    EXPECT_EQ(assemblerRefusal(text), "");
}

TEST(DXShaderGen, WritesOperandForms)
{
    ShaderGen gen;
    gen.uniform(0, 6);
    Register t = gen.temp();
    gen.mova(gen.addressRegister().swizzle("x"), gen.attrib(2).swizzle("y"));
    gen.mov(t, gen.uniform(3, 1).negate().swizzle("relative").swizzle("xyz"));
    gen.add(t, t, gen.constant(Vec<float, 4>(0.5f, 1.0f, -2.25f, 1234567.0f)));
    gen.mov(gen.vary(VARY_COLOR0), t).saturate();
    std::string text = written(gen, DXShaderGen::VERTEX_STAGE, false);
    EXPECT_EQ(text, "vs_2_0\ndcl_texcoord2 v2\ndef c6,0.5,1,-2.25,1.23457e+06\nmova a0.x,v2.y\n"
                    "mov r0,-c[3+a0.x].xyz\nadd r0,r0,c6\nmov_sat oD0,r0\n");
}

TEST(DXShaderGen, ScalarOutputsReadOneComponent)
{
    ShaderGen gen;
    Register t = gen.temp();
    gen.mov(t, gen.vary(VARY_TEXCOORD0 + 1));
    gen.mov(gen.result(RESULT_DEPTH), t);
    gen.mov(gen.result(RESULT_DEPTH), t.swizzle("zw"));
    gen.mov(gen.result(RESULT_COLOR), t);
    std::string text = written(gen, DXShaderGen::PIXEL_STAGE, false);
    EXPECT_EQ(text, "ps_2_0\ndcl t1\nmov r0,t1\nmov oDepth,r0.x\nmov oDepth,r0.z\nmov oC0,r0\n");

    ShaderGen vertex;
    Register size = vertex.temp();
    vertex.mov(size, vertex.attrib(0));
    vertex.mov(vertex.vary(VARY_POINT_SIZE).swizzle("x"), size.swizzle("w"));
    vertex.mov(vertex.vary(VARY_FOG).swizzle("x"), size.swizzle("y"));
    EXPECT_EQ(written(vertex, DXShaderGen::VERTEX_STAGE, false),
              "vs_2_0\ndcl_texcoord0 v0\nmov r0,v0\nmov oPts,r0.w\nmov oFog.x,r0.y\n");
}

TEST(DXShaderGen, SinAndCosAreWrittenAndRefused)
{
    ShaderGen gen;
    Register t = gen.temp(), s = gen.temp();
    gen.mov(t, gen.attrib(0));
    gen.sin(s, t.swizzle("x"));
    gen.cos(gen.vary(VARY_POSITION), s.swizzle("y"));
    std::string text = written(gen, DXShaderGen::VERTEX_STAGE, false);
    EXPECT_NE(text.find("\nsin r1,r0.x\ncos oPos,r1.y\n"), std::string::npos);
    EXPECT_EQ(assemblerRefusal(text), "(4): error: unknown instruction 'sin'");
}

TEST(DXShaderGen, RefusesRegistersWithoutText)
{
    struct Case {
        RegisterKind kind;
        int index;
        int stage;
        const char* message;
    };
    const Case cases[] = {
        {REGISTER_RESULT, 2, DXShaderGen::PIXEL_STAGE, "Invalid result register id"},
        {REGISTER_VARY, VARY_POSITION, DXShaderGen::PIXEL_STAGE, "Invalid pixel-stage interpolator id 0"},
        {REGISTER_VARY, VARY_FOG, DXShaderGen::PIXEL_STAGE, "Invalid pixel-stage interpolator id 2"},
        {REGISTER_VARY, VARY_POINT_SIZE, DXShaderGen::PIXEL_STAGE, "Invalid pixel-stage interpolator id 3"},
        {REGISTER_VARY, 5, DXShaderGen::VERTEX_STAGE, "Invalid vertex-stage interpolator id 5"},
        {static_cast<RegisterKind>(9), 0, DXShaderGen::VERTEX_STAGE, "Invalid register type"},
    };
    for (const Case& c : cases) {
        ShaderGen gen;
        gen.mov(gen.temp(), Register(c.kind, c.index));
        EXPECT_EQ(failure(gen, c.stage), c.message);
    }
    ShaderGen gen;
    gen.mov(gen.temp(), gen.sampler(0, TEXTURE_TYPE_2D).swizzle("relative"));
    EXPECT_EQ(failure(gen, DXShaderGen::PIXEL_STAGE), "");
    ShaderGen unassigned;
    unassigned.nop(unassigned.temp());
    ShaderProgram program;
    unassigned.getProgram(program);
    program.instructions[0].opcode = 6;
    try {
        DXShaderGen::generate(program, DXShaderGen::VERTEX_STAGE);
        ADD_FAILURE() << "opcode 6 was written";
    } catch (const Exception& exception) {
        EXPECT_EQ(exception.message, "Invalid opcode 6");
    }
}
