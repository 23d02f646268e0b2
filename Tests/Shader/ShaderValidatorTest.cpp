#include "Platform/Shader/ShaderParser.h"
#include "Platform/Shader/ShaderValidator.h"

#include <gtest/gtest.h>

using namespace Shader;

namespace {

std::string errorsOf(const std::string& text)
{
    try {
        assemble(text);
    } catch (const AssemblyError& error) {
        return error.what();
    }
    return "";
}

std::string repeated(const std::string& line, int count)
{
    std::string text;
    for (int i = 0; i < count; ++i)
        text += line;
    return text;
}

const char* VS = "vs_2_0\ndcl_texcoord0 v0\ndcl_texcoord1 v1\n";
const char* PS = "ps_2_0\ndcl_2d s0\ndcl v0\ndcl v1\ndcl t0\ndcl t1\n";

} // namespace

TEST(ShaderValidator, AcceptsTheWritersPrograms)
{
    const char* programs[] = {
        "ps_2_0\ndcl_2d s0\ndcl v0\ndcl t0\ntexld r0,t0,s0\nmul r0,r0,v0\nmov oC0,r0\n",
        "vs_2_0\ndcl_texcoord0 v0\ndp4 oPos.x,v0,c0\ndp4 oPos.y,v0,c1\ndp4 oPos.z,v0,c2\ndp4 oPos.w,v0,c3\n",
        "vs_2_0\ndef c6,0.5,1,-2.25,0\nmova a0.x,c6.x\nmov r0,-c[3+a0.x].xyz\nmov oPts,r0.x\nmov oFog,r0.y\n",
        "ps_2_0\ndcl t0\nmov r1,t0\nmov oDepth,r1.x\nmov oC0,r1\n",
        "ps_2_0\ndef c0,1,2,3,4\ndef c1,1,2,3,4\nsincos r0.xy,c0.x,c0,c1\nmov oC0,r0\n",
        "vs_2_0\ndcl_position v0\ncrs r0.xyz,v0,c0\nnrm r1,r0\npow r2,r1.x,c1.y\nlrp r0,r1,r2,c0\nmov oPos,r0\n",
        "ps_2_0\ndcl_2d s0\ndcl t0\ntexld r0,t0,s0\ntexld r0,r0,s0\ntexld r0,r0,s0\ntexld r0,r0,s0\nmov oC0,r0\n",
        "ps_2_0\nmad r0,c0,c1,c1\ncmp_sat r0,r0.yzxw,c0.w,c1\nmov oC0,r0\n",
    };
    for (const char* text : programs)
        EXPECT_EQ(errorsOf(text), "") << text;
}

TEST(ShaderValidator, RefusesWhatTheModelForbids)
{
    struct Case {
        std::string text;
        const char* message;
    };
    const std::string vs = VS, ps = PS;
    const Case cases[] = {
        // Instruction sets.
        {ps + "slt r0, v0, v1\n", "(7): error: 'slt' is not a ps_2_0 instruction"},
        {ps + "sge r0, v0, v1\n", "'sge' is not a ps_2_0 instruction"},
        {ps + "mova r0.x, v0.x\n", "'mova' is not a ps_2_0 instruction"},
        {ps + "lit r0, v0\n", "'lit' is not a ps_2_0 instruction"},
        {ps + "dst r0, v0, c0\n", "'dst' is not a ps_2_0 instruction"},
        {ps + "expp r0, v0.x\n", "'expp' is not a ps_2_0 instruction"},
        {ps + "sgn r0, v0, r1, r2\n", "'sgn' is not a ps_2_0 instruction"},
        {vs + "texld r0, v0, s0\n", "(4): error: 'texld' is not a vs_2_0 instruction"},
        {vs + "texkill r0\n", "'texkill' is not a vs_2_0 instruction"},
        {vs + "cmp r0, v0, v0, c0\n", "'cmp' is not a vs_2_0 instruction"},
        // Register ranges.
        {vs + "mov r12, v0\n", "register 'r12' is out of range for vs_2_0"},
        {ps + "mov r12, v0\n", "register 'r12' is out of range for ps_2_0"},
        {"vs_2_0\ndcl_texcoord0 v16\n", "(2): error: register 'v16' is out of range"},
        {vs + "mov r0, c256\n", "register 'c256' is out of range for vs_2_0"},
        {vs + "mov r0, c[256+a0.x]\n", "out of range for vs_2_0"},
        {vs + "mov oT8, v0\n", "register 'oT8' is out of range"},
        {vs + "mov oD2, v0\n", "register 'oD2' is out of range"},
        {"ps_2_0\ndcl v2\n", "register 'v2' is out of range for ps_2_0"},
        {"ps_2_0\ndcl t8\n", "register 't8' is out of range for ps_2_0"},
        {"ps_2_0\ndcl_2d s16\n", "register 's16' is out of range for ps_2_0"},
        {ps + "mov r0, c32\n", "register 'c32' is out of range for ps_2_0"},
        {ps + "mov oC4, v0\n", "register 'oC4' is out of range"},
        {"vs_2_0\ndef c256, 0, 0, 0, 0\n", "register 'c256' is out of range"},
        {ps + "mov oPos, v0\n", "'oPos' cannot be written in ps_2_0"},
        {vs + "mov oC0, v0\n", "'oC0' cannot be written in vs_2_0"},
        {vs + "mov v0, v1\n", "'v0' cannot be written in vs_2_0"},
        {ps + "mov c0, v0\n", "'c0' cannot be written in ps_2_0"},
        {ps + "mov t0, v0\n", "'t0' cannot be written in ps_2_0"},
        {vs + "mov oPos, v0\nmov r0, oPos\n", "'oPos' cannot be read in vs_2_0"},
        {vs + "mov r0, a0\n", "'a0' cannot be read in vs_2_0"},
        {ps + "mov r0, s0\n", "a sampler register is read only as texld's last operand"},
        {vs + "mov a0.x, v0\n", "only mova writes the address register a0"},
        {vs + "mova r0.x, v0\n", "mova writes the address register a0"},
        {vs + "mov oFog.y, v0\n", "'oFog' is a scalar register"},
        {ps + "mov oC0.xyz, v0\n", "'oC0' is written whole"},
        // Declarations.
        {vs + "mov r0, v2\n", "input 'v2' is read without a declaration"},
        {ps + "mov r0, t2\n", "input 't2' is read without a declaration"},
        {"ps_2_0\ndcl t0\ntexld r0, t0, s3\n", "sampler 's3' is used without dcl_2d"},
        {vs + "mov r0, v0\ndcl_texcoord2 v2\n", "(5): error: declarations must come before the first instruction"},
        {"vs_2_0\ndcl_texcoord0 v0\ndcl_normal v0\n", "(3): error: 'v0' is declared twice"},
        {"vs_2_0\ndcl v0\n", "a vs_2_0 input declaration needs a usage"},
        {"ps_2_0\ndcl_texcoord0 t0\n", "ps_2_0 declarations take no usage"},
        {"vs_2_0\ndcl_2d s0\n", "'s0' cannot be declared in vs_2_0"},
        // Operand rules.
        {vs + "sincos r0.xy, v0.x\n", "'sincos' takes 4 operands"},
        {vs + "sincos r0, v0.x, c0, c1\n", "sincos writes .x, .y or .xy"},
        {vs + "sincos r0.z, v0.x, c0, c1\n", "sincos writes .x, .y or .xy"},
        {vs + "sincos r0.xy, v0.xy, c0, c1\n", "sincos reads its angle through a replicate swizzle"},
        {vs + "sincos r0.xy, v0, c0, c1\n", "sincos reads its angle through a replicate swizzle"},
        {vs + "sincos r0.xy, v0.x, c0, c0\n", "sincos takes two different constant registers"},
        {vs + "sincos r0.xy, v0.x, r1, c0\n", "sincos takes two constant registers"},
        {vs + "sincos oT0.xy, v0.x, c0, c1\n", "sincos writes a temporary register"},
        {vs + "crs r0.xyz, r0, v0\n", "crs cannot write a register it reads"},
        {vs + "crs r0.xyz, v0, r0\n", "crs cannot write a register it reads"},
        {vs + "crs r0, v0, r1\n", "crs writes a mask of x, y and z only"},
        {vs + "crs r0.xyw, v0, r1\n", "crs writes a mask of x, y and z only"},
        {vs + "crs r0.xyz, v0.yzxw, r1\n", "crs takes its sources without swizzle"},
        {vs + "crs oT0.xyz, v0, r1\n", "crs writes a temporary register"},
        {vs + "nrm r0, r0\n", "nrm cannot write the register it reads"},
        {vs + "sgn r0, v0, r1, r1\n", "sgn takes two different temporary registers"},
        {vs + "sgn r0, v0, c1, r1\n", "sgn takes two temporary registers after its source"},
        {vs + "nrm oT0, v0\n", "nrm writes a temporary register"},
        {vs + "pow oT0, v0.x, v0.y\n", "pow writes a temporary register"},
        {vs + "rcp r0, v0.xy\n", "rcp reads one component: 'v0.xyyy' needs a replicate swizzle"},
        {vs + "pow r0, v0.x, c0.xw\n", "pow reads one component"},
        {ps + "texld r0.xy, t0, s0\n", "texld writes a whole temporary register"},
        {ps + "texld r0, t0.yzxw, s0\n", "texld reads its coordinate without swizzle"},
        {ps + "texld r0, v0, s0\n", "texld reads its coordinate from a t# or r# register"},
        {ps + "texld r0, t0, t1\n", "texld samples a sampler register"},
        {ps + "texkill v0\n", "texkill tests a t# or r# register"},
        {"ps_2_0\nmov r0, c[0+a0.x]\n", "ps_2_0 has no relative addressing"},
        {ps + "mov r0, v0.xy\n", "ps_2_0 allows no swizzle 'v0.xyyy'"},
        {ps + "mov r0, v0.yxzw\n", "ps_2_0 allows no swizzle"},
        // Modifiers.
        {vs + "add_sat r0, v0, c0\n", "vs_2_0 has no _sat modifier"},
        {ps + "frc_sat r0, v0\n", "frc takes no _sat in ps_2_0"},
        {ps + "texld_sat r0, t0, s0\n", "texld takes no _sat in ps_2_0"},
        {ps + "mov_sat oC0, v0\n", "_sat cannot write an output register in ps_2_0"},
        // Read ports.
        {vs + "add r0, c0, c1\n", "an instruction of vs_2_0 reads at most 1 different c# register"},
        {vs + "add r0, c0, c[0+a0.x]\n", "reads at most 1 different c# register"},
        {vs + "add r0, v0, v1\n", "an instruction of vs_2_0 reads at most 1 different v# register"},
        {ps + "add r0, v0, v1\n", "reads at most 1 different v# register"},
        {ps + "add r0, t0, t1\n", "reads at most 1 different t# register"},
        {ps + "mad r0, c0, c1, c2\n", "an instruction of ps_2_0 reads at most 2 different c# registers"},
        // Dependent reads and slots.
        {"ps_2_0\ndcl_2d s0\ndcl t0\ntexld r0,t0,s0\ntexld r0,r0,s0\ntexld r0,r0,s0\ntexld r0,r0,s0\n"
         "texld r0,r0,s0\n",
         "(8): error: texld is a dependent read of order 4"},
        {vs + repeated("mov r0, v0\n", 257), "needs 257 instruction slots; vs_2_0 has 256"},
        {vs + repeated("sincos r0.x, v0.x, c0, c1\n", 32) + "mov r0, v0\n", "needs 257 instruction slots"},
        {ps + repeated("mov r0, v0\n", 65), "needs 65 arithmetic slots; ps_2_0 has 64"},
        {ps + repeated("nrm r1, v0\n", 22), "needs 66 arithmetic slots"},
        {ps + repeated("texld r0, t0, s0\n", 33), "needs 33 texture slots; ps_2_0 has 32"},
    };
    for (const Case& c : cases) {
        std::string errors = errorsOf(c.text);
        EXPECT_NE(errors.find(c.message), std::string::npos) << c.text << "gave: " << errors;
    }
}

TEST(ShaderValidator, LimitsAreInclusive)
{
    const std::string vs = VS, ps = PS;
    EXPECT_EQ(errorsOf(vs + "mov r11, c255\nmov oT7, v1\nmov oD1, r11\n"), "");
    EXPECT_EQ(errorsOf(vs + repeated("mov r0, v0\n", 256)), "");
    EXPECT_EQ(errorsOf(ps + repeated("mov r0, v0\n", 64) + repeated("texld r0, t0, s0\n", 32)), "");
    EXPECT_EQ(errorsOf("ps_2_0\ndcl t7\ndcl_cube s15\ntexld r11, t7, s15\nmov oC3, r11\nmov oC0, c31\n"), "");
}

TEST(ShaderValidator, ReportsEveryErrorInLineOrder)
{
    std::string errors = errorsOf("vs_2_0\nmov r12, v0\nadd_sat r0, c0, c1\n");
    EXPECT_EQ(errors,
              "(2): error: register 'r12' is out of range for vs_2_0\n"
              "(2): error: input 'v0' is read without a declaration\n"
              "(3): error: vs_2_0 has no _sat modifier\n"
              "(3): error: an instruction of vs_2_0 reads at most 1 different c# register\n");
}
