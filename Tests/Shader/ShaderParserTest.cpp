#include "Platform/Shader/ShaderParser.h"

#include <gtest/gtest.h>

using namespace Shader;

namespace {

std::string errorOf(const std::string& text)
{
    try {
        parseAssembly(text);
    } catch (const AssemblyError& error) {
        return error.what();
    }
    return "";
}

} // namespace

TEST(ShaderParser, ReadsTheWritersPixelProgram)
{
    Program program = parseAssembly("ps_2_0\ndcl_2d s0\ndcl v0\ndcl t0\ntexld r0,t0,s0\nmul r0,r0,v0\nmov oC0,r0\n");
    EXPECT_EQ(program.stage, Stage::Pixel);
    ASSERT_EQ(program.declarations.size(), 3u);
    EXPECT_EQ(program.declarations[0].file, RegisterFile::Sampler);
    EXPECT_EQ(program.declarations[0].textureType, TextureType::Texture2D);
    ASSERT_EQ(program.instructions.size(), 3u);
    const Instruction& texld = program.instructions[0];
    EXPECT_EQ(texld.opcode, Opcode::Texld);
    EXPECT_EQ(texld.line, 5);
    EXPECT_EQ(texld.sources[0].file, RegisterFile::Texture);
    EXPECT_EQ(texld.sources[1].file, RegisterFile::Sampler);
    EXPECT_EQ(program.instructions[2].destination.file, RegisterFile::RenderTarget);
}

TEST(ShaderParser, ShortSwizzleRepeatsItsLastLetter)
{
    Program program = parseAssembly("vs_2_0\ndcl_texcoord0 v0\nmov r0, v0.xy\nmov r1, -v0.wzx\nmov r2, v0.g\n");
    EXPECT_EQ(program.instructions[0].sources[0].swizzle, (Swizzle{0, 1, 1, 1}));
    EXPECT_EQ(program.instructions[1].sources[0].swizzle, (Swizzle{3, 2, 0, 0}));
    EXPECT_TRUE(program.instructions[1].sources[0].negate);
    EXPECT_EQ(program.instructions[2].sources[0].swizzle, (Swizzle{1, 1, 1, 1}));
}

TEST(ShaderParser, ReadsMasksModifiersAndDefinitions)
{
    Program program = parseAssembly("vs_2_0 // header\n\ndef c6, 0.5, 1, -2.25, 1e-3\n"
                                    "  dp4 oPos.x, v0, c0 ; comment\nmov oD0.xzw, c6\n");
    ASSERT_EQ(program.constants.size(), 1u);
    EXPECT_EQ(program.constants[0].index, 6);
    EXPECT_EQ(program.constants[0].value, (std::array<float, 4>{0.5f, 1.0f, -2.25f, 1e-3f}));
    EXPECT_EQ(program.instructions[0].destination.file, RegisterFile::Position);
    EXPECT_EQ(program.instructions[0].destination.mask, 1u);
    EXPECT_EQ(program.instructions[1].destination.mask, 13u);
    EXPECT_EQ(program.instructions[1].line, 5);
}

TEST(ShaderParser, ReadsEveryRelativeForm)
{
    Program program = parseAssembly("vs_2_0\nmov r0, -c[3+a0.x].xyz\nmov r1, c[a0.y+4]\nmov r2, c7[a0.x]\n"
                                    "mov r3, c[a0.w]\n");
    const Source& first = program.instructions[0].sources[0];
    EXPECT_TRUE(first.relative);
    EXPECT_TRUE(first.negate);
    EXPECT_EQ(first.index, 3);
    EXPECT_EQ(first.swizzle, (Swizzle{0, 1, 2, 2}));
    EXPECT_EQ(describe(first), "-c[3+a0.x].xyzz");
    EXPECT_EQ(program.instructions[1].sources[0].index, 4);
    EXPECT_EQ(program.instructions[1].sources[0].relativeComponent, 1);
    EXPECT_EQ(program.instructions[2].sources[0].index, 7);
    EXPECT_EQ(program.instructions[3].sources[0].index, 0);
    EXPECT_EQ(program.instructions[3].sources[0].relativeComponent, 3);
}

TEST(ShaderParser, SaturateIsAnInstructionModifier)
{
    Program program = parseAssembly("ps_2_0\nadd_sat r0, c0, c1\n");
    EXPECT_TRUE(program.instructions[0].saturate);
    EXPECT_EQ(program.instructions[0].opcode, Opcode::Add);
}

TEST(ShaderParser, RefusesBadTextWithTheLine)
{
    struct Case {
        const char* text;
        const char* message;
    };
    const Case cases[] = {
        {"", "(1): error: the text has no vs_2_0 or ps_2_0 version line"},
        {"mov r0, r1\n", "(1): error: the text must start with vs_2_0 or ps_2_0"},
        {"vs_1_1\n", "(1): error: the text must start"},
        {"vs_2_0\nmov r0, v0\nsin r1, r0.x\n", "(3): error: unknown instruction 'sin'"},
        {"vs_2_0\ncos r1, r0.x\n", "(2): error: unknown instruction 'cos'"},
        {"vs_2_0\nmov_x2 r0, r1\n", "(2): error: unknown instruction 'mov_x2'"},
        {"vs_2_0\nmov r0\n", "(2): error: 'mov' takes 2 operands, not 1"},
        {"vs_2_0\nmov r0, q1\n", "(2): error: unknown register 'q1'"},
        {"vs_2_0\nmov r0, r1.xq\n", "(2): error: invalid swizzle in 'r1.xq'"},
        {"vs_2_0\nmov r0, r1.xyzwx\n", "(2): error: invalid swizzle"},
        {"vs_2_0\nmov r0.yx, r1\n", "(2): error: invalid write mask in 'r0.yx'"},
        {"vs_2_0\nmov -r0, r1\n", "(2): error: a destination cannot be negated"},
        {"vs_2_0\nmov r99999, r1\n", "(2): error: invalid register number"},
        {"vs_2_0\nmov r0, r[1+a0.x]\n", "(2): error: relative addressing applies only to constant registers"},
        {"vs_2_0\nmov r0, c[1+a1.x]\n", "(2): error: invalid relative address"},
        {"vs_2_0\ndef c0, 1, 2, 3\n", "(2): error: 'def' takes a constant register and four numbers"},
        {"vs_2_0\ndef c0, 1, 2, 3, inf\n", "(2): error: invalid number 'inf'"},
        {"vs_2_0\ndef c0, 1, 2, 3, 1e99\n", "(2): error: number out of range '1e99'"},
        {"vs_2_0\ndef r0, 1, 2, 3, 4\n", "(2): error: 'def' defines a constant register"},
        {"ps_2_0\ndcl_2d t0\n", "(2): error: 'dcl_2d' declares a sampler register"},
        {"ps_2_0\ndcl s0\n", "(2): error: a sampler declaration needs a texture type"},
        {"vs_2_0\ndcl_colour v0\n", "(2): error: unknown declaration 'dcl_colour'"},
    };
    for (const Case& c : cases) {
        std::string message = errorOf(c.text);
        EXPECT_EQ(message.rfind(c.message, 0), 0u) << c.text << " gave: " << message;
    }
}
