// Random straight-line programs built with ShaderGen, run through the
// assembler's reference interpreter before and after optimisation: the
// outputs must not change, the optimised text must assemble, and no register
// allocation may break the rules on destinations.
#include "Libs/Core/DirectX/DXShaderGen.h"
#include "Libs/Core/ShaderOptimization.h"
#include "Platform/Shader/ShaderInterpreter.h"
#include "Platform/Shader/ShaderParser.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>

using namespace Vostrel;
using namespace Vostrel::Core;
typedef ShaderGen::Register Register;

namespace {

const float SINCOS_CONSTANT1[4] = {-1.5500992e-006f, -2.1701389e-005f, 0.0026041667f, 0.00026041668f};
const float SINCOS_CONSTANT2[4] = {-0.020833334f, -0.12500000f, 1.0f, 0.50000000f};

class ProgramGenerator {
public:
    ProgramGenerator(bool vertex, std::mt19937& random) : vertex(vertex), random(random) {}

    void build(ShaderGen& gen, int length)
    {
        this->gen = &gen;
        sincos1 = gen.constant(SINCOS_CONSTANT1);
        sincos2 = gen.constant(SINCOS_CONSTANT2);
        for (int i = 0; i < 3; ++i)
            defineWhole(gen.temp(), constantLike());
        for (int i = 0; i < length; ++i)
            instruction();
        if (vertex) {
            gen.mov(gen.vary(VARY_POSITION), recent());
            gen.mov(gen.vary(VARY_COLOR0), recent());
            gen.mov(gen.vary(VARY_TEXCOORD0 + 1), recent());
            gen.mov(gen.vary(VARY_POINT_SIZE), recent());
            // Often an interpolator that an add wrote before.
            if (chance(50))
                gen.mov(gen.vary(VARY_TEXCOORD0 + 2 + pick(3)), recent());
        } else {
            gen.mov(gen.result(RESULT_COLOR), recent());
            if (chance(30))
                gen.mov(gen.result(RESULT_DEPTH), recent().swizzle(letter()));
        }
    }

private:
    int pick(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }
    bool chance(int percent) { return pick(100) < percent; }
    std::string letter() { return std::string(1, "xyzw"[pick(4)]); }

    Register recent()
    {
        int window = std::min<int>(6, static_cast<int>(whole.size()));
        return whole[whole.size() - 1 - pick(window)];
    }

    Register constantLike()
    {
        int kind = pick(vertex ? 4 : 3);
        if (vertex) {
            if (kind == 0)
                return gen->attrib(pick(3));
            if (kind == 1 && addressSet)
                return gen->uniform(pick(4), 8).swizzle("relative");
        } else if (kind == 0) {
            return pick(3) == 0 ? gen->vary(VARY_COLOR0) : gen->vary(VARY_TEXCOORD0 + pick(2));
        }
        if (kind == 2)
            return gen->constant(Vec<float, 4>(value(), value(), value(), value()));
        return gen->uniform(pick(6), 1);
    }

    float value() { return std::uniform_real_distribution<float>(-2.0f, 2.0f)(random); }

    std::string swizzleText()
    {
        if (vertex) {
            std::string text;
            int length = pick(5);
            for (int i = 0; i < length; ++i)
                text += letter();
            return text;
        }
        static const char* ALLOWED[] = {"", "", "x", "y", "z", "w", "yzxw", "zxyw", "wzyx"};
        return ALLOWED[pick(9)];
    }

    // Sources of one instruction, at most one of them constant-like.
    std::vector<Register> sources(int count, bool replicate = false, bool plain = false)
    {
        std::vector<Register> list;
        bool constantUsed = false;
        for (int i = 0; i < count; ++i) {
            Register reg = !constantUsed && chance(35) ? (constantUsed = true, constantLike()) : recent();
            if (replicate)
                reg = reg.swizzle(letter());
            else if (!plain && chance(50))
                reg = reg.swizzle(swizzleText());
            if (!plain && chance(20))
                reg = reg.negate();
            list.push_back(reg);
        }
        return list;
    }

    void defineWhole(const Register& reg, const Register& source)
    {
        gen->mov(reg, source);
        whole.push_back(reg);
    }

    // A new temporary written whole, or part of one already whole.
    Register destination(bool& fresh)
    {
        fresh = !chance(25);
        if (fresh)
            return gen->temp();
        static const char* MASKS[] = {"x", "xy", "yz", "w", "xzw", "z"};
        return recent().swizzle(MASKS[pick(6)]);
    }

    void finish(const Register& d, bool fresh)
    {
        if (!vertex && chance(15) && lastOpcodeTakesSaturate)
            gen->saturate();
        if (fresh)
            whole.push_back(d);
    }

    void instruction()
    {
        bool fresh;
        lastOpcodeTakesSaturate = true;
        int choice = pick(vertex ? 25 : 20);
        switch (choice) {
        case 0: case 1: { // plain movs: the folding cases
            Register d = gen->temp();
            if (chance(50))
                gen->mov(d, constantLike());
            else
                gen->mov(d, recent());
            whole.push_back(d);
            return;
        }
        case 2: {
            Register d = destination(fresh);
            auto s = sources(2);
            gen->add(d, s[0], s[1]);
            return finish(d, fresh);
        }
        case 3: {
            Register d = destination(fresh);
            auto s = sources(2);
            gen->mul(d, s[0], s[1]);
            return finish(d, fresh);
        }
        case 4: {
            Register d = destination(fresh);
            auto s = sources(3);
            gen->mad(d, s[0], s[1], s[2]);
            return finish(d, fresh);
        }
        case 5: {
            Register d = destination(fresh);
            auto s = sources(2);
            chance(50) ? gen->dp3(d, s[0], s[1]) : gen->dp4(d, s[0], s[1]);
            return finish(d, fresh);
        }
        case 6: {
            Register d = destination(fresh);
            auto s = sources(2);
            chance(50) ? gen->max(d, s[0], s[1]) : gen->min(d, s[0], s[1]);
            return finish(d, fresh);
        }
        case 7: {
            Register d = destination(fresh);
            auto s = sources(1, true);
            switch (pick(4)) {
            case 0: gen->rcp(d, s[0]); break;
            case 1: gen->rsq(d, s[0]); break;
            case 2: gen->exp(d, s[0]); break;
            default: gen->log(d, s[0]); break;
            }
            return finish(d, fresh);
        }
        case 8: {
            Register d = gen->temp();
            auto s = sources(2, true);
            gen->pow(d, s[0], s[1]);
            return finish(d, true);
        }
        case 9: {
            Register d = gen->temp();
            auto s = sources(3);
            gen->lrp(d, s[0], s[1], s[2]);
            return finish(d, true);
        }
        case 10: { // cross product into part of a whole temporary
            static const char* MASKS[] = {"xyz", "x", "yz", "xz"};
            Register d = gen->temp();
            gen->mov(d, recent());
            auto s = sources(2, false, true);
            gen->crs(d.swizzle(MASKS[pick(4)]), s[0], s[1]);
            whole.push_back(d);
            return;
        }
        case 11: {
            Register d = gen->temp();
            auto s = sources(1);
            gen->nrm(d, s[0]);
            return finish(d, true);
        }
        case 12: {
            static const char* MASKS[] = {"x", "y", "xy"};
            Register d = gen->temp();
            gen->mov(d, recent());
            gen->sincos(d.swizzle(MASKS[pick(3)]), recent().swizzle(letter()), sincos1, sincos2);
            whole.push_back(d);
            return;
        }
        case 13: {
            lastOpcodeTakesSaturate = false;
            Register d = destination(fresh);
            gen->frc(d, sources(1)[0]);
            return finish(d, fresh);
        }
        case 14: {
            Register d = destination(fresh);
            gen->abs(d, sources(1)[0]);
            return finish(d, fresh);
        }
        case 15: {
            Register d = destination(fresh);
            auto s = sources(2);
            gen->sub(d, s[0], s[1]);
            return finish(d, fresh);
        }
        case 16: { // swizzled or negated copies
            Register d = destination(fresh);
            gen->mov(d, sources(1)[0]);
            return finish(d, fresh);
        }
        case 17: { // straight into an output
            auto s = sources(2);
            if (vertex)
                gen->add(gen->vary(VARY_TEXCOORD0 + 2 + pick(3)), s[0], s[1]);
            else
                gen->add(recent().swizzle("w"), s[0], s[1]);
            return;
        }
        }
        if (vertex) {
            switch (choice) {
            case 18: {
                Register d = destination(fresh);
                auto s = sources(2);
                chance(50) ? gen->slt(d, s[0], s[1]) : gen->sge(d, s[0], s[1]);
                return finish(d, fresh);
            }
            case 19: {
                Register d = destination(fresh);
                auto s = sources(2);
                gen->dst(d, s[0], s[1]);
                return finish(d, fresh);
            }
            case 20: {
                Register d = destination(fresh);
                gen->lit(d, sources(1)[0]);
                return finish(d, fresh);
            }
            case 21: {
                Register d = destination(fresh);
                auto s = sources(1, true);
                chance(50) ? gen->expp(d, s[0]) : gen->logp(d, s[0]);
                return finish(d, fresh);
            }
            case 22: { // two fresh scratch temporaries, never read
                Register d = destination(fresh);
                gen->sgn(d, sources(1)[0], gen->temp(), gen->temp());
                return finish(d, fresh);
            }
            default: {
                // Relative reads stay inside the uniform array: a0.x is 0 or 1.
                Register fraction = gen->temp();
                gen->frc(fraction, recent());
                gen->mova(gen->addressRegister().swizzle("x"), fraction.swizzle(letter()));
                addressSet = true;
                return;
            }
            }
        }
        switch (choice) {
        case 18: {
            Register d = gen->temp();
            Register coordinate = chance(50) ? gen->vary(VARY_TEXCOORD0 + pick(2)) : recent();
            int sampler = pick(3);
            gen->texld(d, coordinate, gen->sampler(sampler, static_cast<TextureType>(sampler)));
            whole.push_back(d);
            return;
        }
        default: {
            if (chance(50)) {
                gen->texkill(chance(50) ? gen->vary(VARY_TEXCOORD0) : recent());
                return;
            }
            Register d = destination(fresh);
            auto s = sources(3);
            gen->cmp(d, s[0], s[1], s[2]);
            return finish(d, fresh);
        }
        }
    }

    bool vertex;
    std::mt19937& random;
    ShaderGen* gen = nullptr;
    Register sincos1, sincos2;
    std::vector<Register> whole;
    bool addressSet = false;
    bool lastOpcodeTakesSaturate = true;
};

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
        ProgramGenerator(vertex, random).build(gen, vertex ? 8 + round % 30 : 4 + round % 12);
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
