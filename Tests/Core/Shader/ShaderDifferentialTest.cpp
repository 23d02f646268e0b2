// Random straight-line programs built with ShaderGen, run through the
// assembler's reference interpreter before and after optimisation: the
// outputs must not change, the optimised text must assemble, and no register
// allocation may break the rules on destinations.
#include "Libs/Core/DirectX/DXShaderGen.h"
#include "Libs/Core/ShaderOptimization.h"
#include "Platform/Shader/ShaderInterpreter.h"
#include "Platform/Shader/ShaderParser.h"
#include "Tests/Core/Shader/RandomShaderProgram.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace Vostrel;
using namespace Vostrel::Core;
typedef ShaderGen::Register Register;

namespace {

bool sameFloat(float a, float b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool sameVec(const Shader::Vec4& a, const Shader::Vec4& b)
{
    for (int i = 0; i < 4; ++i)
        if (!sameFloat(a[i], b[i]))
            return false;
    return true;
}

Shader::Machine inputs(std::mt19937& random)
{
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    Shader::Machine machine;
    for (auto& input : machine.inputs)
        input = {value(random), value(random), value(random), value(random)};
    for (auto& texcoord : machine.texcoords)
        texcoord = {value(random), value(random), value(random), value(random)};
    for (auto& constant : machine.constants)
        constant = {value(random), value(random), value(random), value(random)};
    machine.sample = [](int sampler, Shader::TextureType, const Shader::Vec4& at) {
        return Shader::Vec4{at[0] * 0.5f + sampler, at[1] - at[2], at[2] * at[0], 0.25f * sampler};
    };
    return machine;
}

std::string compareOutputs(const Shader::Machine& before, const Shader::Machine& after, bool vertex)
{
    if (vertex) {
        if (!sameVec(before.position, after.position))
            return "position";
        for (int i = 0; i < 2; ++i)
            if (!sameVec(before.colors[i], after.colors[i]))
                return "colour " + std::to_string(i);
        for (int i = 0; i < 8; ++i)
            if (!sameVec(before.texcoordOutputs[i], after.texcoordOutputs[i]))
                return "texture coordinate " + std::to_string(i);
        if (!sameFloat(before.pointSize[0], after.pointSize[0]))
            return "point size";
        if (!sameFloat(before.fog[0], after.fog[0]))
            return "fog";
        return "";
    }
    if (before.killed != after.killed)
        return "texkill";
    if (!sameVec(before.renderTargets[0], after.renderTargets[0]))
        return "colour";
    if (!sameFloat(before.depth[0], after.depth[0]))
        return "depth";
    return "";
}

// pow keeps its destination off its second source; lrp, sincos, crs and nrm
// off every source.
std::string destinationRule(const ShaderProgram& program)
{
    for (int i = 0; i < program.instructionCount; ++i) {
        const ShaderGen::Instruction& instruction = program.instructions[i];
        const Register& d = instruction.operands[0];
        for (int k = 1; k < instruction.operandCount; ++k) {
            bool apart = instruction.opcode == SHADER_LRP || instruction.opcode == SHADER_SINCOS
                || instruction.opcode == SHADER_CRS || instruction.opcode == SHADER_NRM
                || (instruction.opcode == SHADER_POW && k == 2);
            if (apart && d.param.type == REGISTER_TEMP && d.sameRegister(instruction.operands[k]))
                return "instruction " + std::to_string(i) + " writes a register it reads";
        }
    }
    return "";
}

bool readsBeforeWriting(const ShaderProgram& program, int from, const Register& reg)
{
    for (int i = from; i < program.instructionCount; ++i) {
        const ShaderGen::Instruction& instruction = program.instructions[i];
        int reads = instruction.opcode == SHADER_SGN ? 2 : instruction.operandCount;
        for (int k = instruction.opcode == SHADER_TEXKILL ? 0 : 1; k < reads; ++k)
            if (instruction.operands[k].sameRegister(reg))
                return true;
        if (instruction.opcode != SHADER_TEXKILL && instruction.operands[0].sameRegister(reg)
            && !instruction.operands[0].hasSwizzle())
            return false;
    }
    return false;
}

// sgn overwrites its two scratch registers: they must differ from each other
// and from its other operands, and hold nothing read later.
std::string scratchRule(const ShaderProgram& program)
{
    for (int i = 0; i < program.instructionCount; ++i) {
        const ShaderGen::Instruction& instruction = program.instructions[i];
        if (instruction.opcode != SHADER_SGN)
            continue;
        const Register* operands = instruction.operands;
        for (int k = 2; k < 4; ++k) {
            for (int other = 0; other < k; ++other)
                if (operands[k].sameRegister(operands[other]))
                    return "sgn at " + std::to_string(i) + " shares a scratch register";
            if (readsBeforeWriting(program, i + 1, operands[k]))
                return "sgn at " + std::to_string(i) + " overwrites a register read later";
        }
    }
    return "";
}

void runDifferential(bool vertex, unsigned seed, int programs)
{
    std::mt19937 random(seed);
    int stage = vertex ? DXShaderGen::VERTEX_STAGE : DXShaderGen::PIXEL_STAGE;
    int folded = 0;
    for (int round = 0; round < programs; ++round) {
        ShaderGen gen;
        // ps_2_0 has 64 arithmetic slots, and sincos alone takes 8.
        VostrelTest::buildRandomProgram(gen, vertex, random, vertex ? 8 + round % 30 : 4 + round % 12);
        ShaderProgram program;
        gen.getProgram(program);
        std::string before = DXShaderGen::generate(program, stage);
        int instructionsBefore = program.instructionCount;
        ShaderOptimization(program).run();
        folded += instructionsBefore - program.instructionCount;
        std::string after = DXShaderGen::generate(program, stage);
        ASSERT_EQ(destinationRule(program), "") << after;
        ASSERT_EQ(scratchRule(program), "") << after;
        Shader::Program original = Shader::parseAssembly(before);
        Shader::Program optimised;
        try {
            optimised = Shader::assemble(after);
        } catch (const Shader::AssemblyError& error) {
            FAIL() << "optimised text refused:\n" << error.what() << before << "----\n" << after;
        }
        for (int run = 0; run < 3; ++run) {
            Shader::Machine first = inputs(random), second = first;
            Shader::execute(original, first);
            Shader::execute(optimised, second);
            ASSERT_EQ(compareOutputs(first, second, vertex), "") << before << "----\n" << after;
        }
    }
    // The programs give the optimiser work to do.
    EXPECT_GT(folded, programs * 2);
}

} // namespace

TEST(ShaderDifferential, OptimisedVertexProgramsComputeTheSame)
{
    runDifferential(true, 1234, 300);
}

TEST(ShaderDifferential, OptimisedPixelProgramsComputeTheSame)
{
    runDifferential(false, 5678, 300);
}
