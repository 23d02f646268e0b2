#include "Libs/Common/Exception.h"
#include "Libs/Core/ShaderGen.h"
#include "Tests/Support/RecordingCore.h"

#include <gtest/gtest.h>

#include <memory>

using namespace Vostrel;
using namespace Vostrel::Core;
typedef ShaderGen::Register Register;

namespace {

std::string selectors(const Register& reg)
{
    std::string text;
    for (uint8_t selector : reg.param.swizzle)
        text += selector == SWIZZLE_END ? '-' : "xyzw"[selector];
    return text;
}

template <typename Action> Exception thrown(Action action)
{
    try {
        action();
    } catch (const Exception& exception) {
        return exception;
    }
    ADD_FAILURE() << "no exception";
    return Exception("", "", 0);
}

} // namespace

TEST(ShaderGen, TemporariesCountFromZeroAndResetKeepsConstants)
{
    ShaderGen gen;
    EXPECT_EQ(gen.temp().param.index, 0);
    EXPECT_EQ(gen.temp().param.index, 1);
    EXPECT_EQ(gen.temp().param.index, 2);
    Register c0 = gen.constant(Vec<float, 4>(1, 2, 3, 4));
    gen.newVary();
    gen.uniform(2, 1);
    gen.reset();
    EXPECT_EQ(gen.temp().param.index, 0);
    EXPECT_EQ(gen.newVary().param.index, VARY_TEXCOORD0);
    Register c1 = gen.zeroConstant();
    EXPECT_EQ(c0.param.index, 0);
    EXPECT_EQ(c1.param.index, 1);
    ShaderProgram program;
    gen.getProgram(program);
    EXPECT_EQ(program.constantCount, 2);
    EXPECT_EQ(program.uniformCount, 0);
    EXPECT_EQ(program.instructionCount, 0);
}

TEST(ShaderGen, MakersFillTheRegisterRecord)
{
    ShaderGen gen;
    struct Case {
        Register reg;
        RegisterKind kind;
        int index;
        int flags;
    };
    const Case cases[] = {
        {gen.attrib(3), REGISTER_ATTRIB, 3, 0},
        {gen.vary(VARY_COLOR1), REGISTER_VARY, 4, 0},
        {gen.newVary(), REGISTER_VARY, 8, 0},
        {gen.newVary(), REGISTER_VARY, 9, 0},
        {gen.result(RESULT_DEPTH), REGISTER_RESULT, 1, 0},
        {gen.addressRegister(), REGISTER_ADDRESS, 0, 0},
        {gen.sampler(5, TEXTURE_TYPE_CUBE), REGISTER_SAMPLER, 5, 2},
        {gen.uniform(4, 4).offset(2), REGISTER_UNIFORM, 6, 0},
        {gen.attrib(1).negate(), REGISTER_ATTRIB, 1, 1},
        {gen.attrib(1).negate().negate(), REGISTER_ATTRIB, 1, 0},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.reg.param.type, c.kind);
        EXPECT_EQ(c.reg.param.index, c.index);
        EXPECT_EQ(c.reg.param.flags, c.flags);
        EXPECT_EQ(c.reg.param.relative, 0);
        EXPECT_FALSE(c.reg.hasSwizzle());
    }
}

TEST(ShaderGen, UniformCountIsTheHighestEnd)
{
    ShaderGen gen;
    gen.uniform(4, 4);
    gen.uniform(0, 1);
    ShaderProgram program;
    gen.getProgram(program);
    EXPECT_EQ(program.uniformCount, 8);
}

TEST(ShaderGen, SwizzlesComposeAndStepBack)
{
    ShaderGen gen;
    Register r = gen.temp();
    struct Case {
        Register reg;
        const char* expected;
    };
    const Case cases[] = {
        {r.swizzle("xyzw"), "xyzw"},
        {r.swizzle("w"), "w---"},
        {r.swizzle(""), "----"},
        {r.swizzle("zw").swizzle("yx"), "wz--"},
        {r.swizzle("zw").swizzle("xz"), "zw--"},
        {r.swizzle("xy").swizzle("zw"), "yy--"},
        {r.swizzle("wzyx").swizzle("xxw"), "wwx-"},
        {r.swizzle("y").swizzle("xyzw"), "yyyy"},
        {r.swizzle("zw").swizzle(""), "----"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(selectors(c.reg), c.expected);
    Register relative = r.swizzle("yz").swizzle("relative");
    EXPECT_EQ(relative.param.relative, 1);
    EXPECT_EQ(selectors(relative), "yz--");
}

TEST(ShaderGen, RefusesBadSwizzles)
{
    ShaderGen gen;
    Register r = gen.temp();
    Exception tooLong = thrown([&] { r.swizzle("xyzwx"); });
    EXPECT_EQ(tooLong.message, "Too long swizzle string.");
    EXPECT_STREQ(tooLong.file, "Libs\\Core\\ShaderGen");
    EXPECT_EQ(thrown([&] { r.swizzle("xq"); }).message, "Invalid swizzle character.");
    EXPECT_EQ(thrown([&] { r.swizzle("XY"); }).message, "Invalid swizzle character.");
}

TEST(ShaderGen, EmittersAppendInstructionsAndSaturateTheLast)
{
    ShaderGen gen;
    Register t = gen.temp();
    gen.mov(t, gen.attrib(0)).mov(gen.vary(VARY_POSITION), t).saturate();
    gen.sincos(t.swizzle("xy"), t.swizzle("x"), gen.zeroConstant(), gen.zeroConstant()).texkill(t);
    ShaderProgram program;
    gen.getProgram(program);
    ASSERT_EQ(program.instructionCount, 4);
    EXPECT_EQ(program.instructions[0].flags, 0);
    EXPECT_EQ(program.instructions[1].flags, INSTRUCTION_SATURATE);
    EXPECT_EQ(program.instructions[1].opcode, SHADER_MOV);
    EXPECT_EQ(program.instructions[1].operandCount, 2);
    EXPECT_EQ(program.instructions[2].opcode, SHADER_SINCOS);
    EXPECT_EQ(program.instructions[2].operandCount, 4);
    EXPECT_EQ(program.instructions[3].opcode, SHADER_TEXKILL);
    EXPECT_EQ(program.instructions[3].operandCount, 1);
}

TEST(ShaderGen, ReportsMisuse)
{
    ShaderGen gen;
    Exception saturate = thrown([&] { gen.saturate(); });
    EXPECT_EQ(saturate.message, "No instruction to apply the saturation modifier to.");
    Exception notConstant = thrown([&] { gen.setConstant(gen.temp(), Vec<float, 4>(0.0f)); });
    EXPECT_EQ(notConstant.message, "reg.param.type == REGISTER_CONSTANT_FLOAT does not hold.");
    Register c = gen.constant(Vec<float, 4>(1, 2, 3, 4));
    gen.setConstant(c, Vec<float, 4>(5, 6, 7, 8));
    ShaderProgram program;
    gen.getProgram(program);
    EXPECT_EQ(program.constants[0][2], 7.0f);
}

TEST(ShaderGen, CreatesShadersThroughTheRenderCore)
{
    TestSupport::RecordingCore& core = TestSupport::RecordingCore::install();
    ShaderGen gen;
    Register t = gen.temp();
    Register unused = gen.temp();
    gen.mul(t, gen.attrib(0), gen.uniform(0, 1));
    gen.add(unused, t, t);
    gen.mov(gen.vary(VARY_POSITION), t);
    ShaderProgram program;
    gen.getProgram(program);
    core.clearLog();
    std::unique_ptr<VertexShader> shader(gen.createVertexShader(program));
    EXPECT_NE(shader, nullptr);
    EXPECT_EQ(core.getLog(), std::vector<std::string>{"createVertexShader()"});
    // The optimiser ran over the builder's own instructions.
    EXPECT_EQ(program.instructionCount, 1);
    std::unique_ptr<PixelShader> pixel(gen.createPixelShader(program));
    EXPECT_NE(pixel, nullptr);
}
