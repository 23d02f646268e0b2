#include "Libs/Core/ShaderGen.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/ShaderOptimization.h"

#include <algorithm>

namespace Vostrel {
namespace Core {

ShaderGen::Register::Register() : Register(REGISTER_CONSTANT_FLOAT, 0) {}

ShaderGen::Register::Register(RegisterKind type, int32_t index)
{
    param.type = type;
    param.index = index;
    param.flags = 0;
    param.relative = 0;
    std::fill(param.swizzle, param.swizzle + 4, SWIZZLE_END);
}

ShaderGen::Register ShaderGen::Register::offset(int n) const
{
    Register copy = *this;
    copy.param.index += n;
    return copy;
}

ShaderGen::Register ShaderGen::Register::negate() const
{
    Register copy = *this;
    copy.param.flags ^= REGISTER_NEGATE;
    return copy;
}

ShaderGen::Register ShaderGen::Register::swizzle(const std::string& text) const
{
    Register copy = *this;
    if (text == "relative") {
        copy.param.relative = 1;
        return copy;
    }
    uint8_t read[4];
    size_t count = 0;
    for (; count < text.size() && count < 4; ++count) {
        switch (text[count]) {
        case 'x': read[count] = 0; break;
        case 'y': read[count] = 1; break;
        case 'z': read[count] = 2; break;
        case 'w': read[count] = 3; break;
        default: VOSTREL_THROW("Invalid swizzle character.");
        }
    }
    if (text.size() > 4)
        VOSTREL_THROW("Too long swizzle string.");
    // Selecting from a swizzled register selects from its selectors; a
    // position beyond the existing list reads the last one it defines.
    int lastDefined = -1;
    while (lastDefined < 3 && param.swizzle[lastDefined + 1] != SWIZZLE_END)
        ++lastDefined;
    for (size_t k = 0; k < 4; ++k) {
        if (k >= count)
            copy.param.swizzle[k] = SWIZZLE_END;
        else if (lastDefined < 0)
            copy.param.swizzle[k] = read[k];
        else
            copy.param.swizzle[k] = param.swizzle[std::min<int>(read[k], lastDefined)];
    }
    return copy;
}

ShaderGen::ShaderGen() = default;

ShaderGen::Register ShaderGen::temp()
{
    return Register(REGISTER_TEMP, tempCounter++);
}

ShaderGen::Register ShaderGen::attrib(int index)
{
    return Register(REGISTER_ATTRIB, index);
}

ShaderGen::Register ShaderGen::vary(int id)
{
    return Register(REGISTER_VARY, id);
}

ShaderGen::Register ShaderGen::newVary()
{
    return Register(REGISTER_VARY, varyCounter++);
}

ShaderGen::Register ShaderGen::result(int id)
{
    return Register(REGISTER_RESULT, id);
}

ShaderGen::Register ShaderGen::addressRegister()
{
    return Register(REGISTER_ADDRESS, 0);
}

ShaderGen::Register ShaderGen::uniform(int index, int size)
{
    uniformCount = std::max(uniformCount, index + size);
    return Register(REGISTER_UNIFORM, index);
}

ShaderGen::Register ShaderGen::sampler(int index, TextureType type)
{
    Register reg(REGISTER_SAMPLER, index);
    reg.param.flags = type;
    return reg;
}

ShaderGen::Register ShaderGen::constant(const float value[4])
{
    return constant(Vec<float, 4>(value[0], value[1], value[2], value[3]));
}

ShaderGen::Register ShaderGen::constant(const Vec<float, 4>& value)
{
    constants.push_back(value);
    return Register(REGISTER_CONSTANT_FLOAT, static_cast<int32_t>(constants.size() - 1));
}

ShaderGen::Register ShaderGen::zeroConstant()
{
    return constant(Vec<float, 4>(0.0f));
}

void ShaderGen::setConstant(const Register& reg, const Vec<float, 4>& value)
{
    VOSTREL_ASSERT(reg.param.type == REGISTER_CONSTANT_FLOAT);
    VOSTREL_ASSERT(reg.param.index >= 0 && reg.param.index < (int)constants.size());
    constants[reg.param.index] = value;
}

ShaderGen& ShaderGen::emit(int32_t opcode, std::initializer_list<const Register*> operands)
{
    Instruction instruction;
    instruction.opcode = opcode;
    instruction.flags = 0;
    instruction.operandCount = static_cast<int32_t>(operands.size());
    int i = 0;
    for (const Register* reg : operands)
        instruction.operands[i++] = *reg;
    instructions.push_back(instruction);
    return *this;
}

ShaderGen& ShaderGen::abs(const Register& d, const Register& s) { return emit(SHADER_ABS, {&d, &s}); }
ShaderGen& ShaderGen::add(const Register& d, const Register& a, const Register& b) { return emit(SHADER_ADD, {&d, &a, &b}); }
ShaderGen& ShaderGen::cmp(const Register& d, const Register& a, const Register& b, const Register& c)
{
    return emit(SHADER_CMP, {&d, &a, &b, &c});
}
ShaderGen& ShaderGen::crs(const Register& d, const Register& a, const Register& b) { return emit(SHADER_CRS, {&d, &a, &b}); }
ShaderGen& ShaderGen::dp3(const Register& d, const Register& a, const Register& b) { return emit(SHADER_DP3, {&d, &a, &b}); }
ShaderGen& ShaderGen::dp4(const Register& d, const Register& a, const Register& b) { return emit(SHADER_DP4, {&d, &a, &b}); }
ShaderGen& ShaderGen::dst(const Register& d, const Register& a, const Register& b) { return emit(SHADER_DST, {&d, &a, &b}); }
ShaderGen& ShaderGen::exp(const Register& d, const Register& s) { return emit(SHADER_EXP, {&d, &s}); }
ShaderGen& ShaderGen::expp(const Register& d, const Register& s) { return emit(SHADER_EXPP, {&d, &s}); }
ShaderGen& ShaderGen::frc(const Register& d, const Register& s) { return emit(SHADER_FRC, {&d, &s}); }
ShaderGen& ShaderGen::texkill(const Register& s) { return emit(SHADER_TEXKILL, {&s}); }
ShaderGen& ShaderGen::lit(const Register& d, const Register& s) { return emit(SHADER_LIT, {&d, &s}); }
ShaderGen& ShaderGen::log(const Register& d, const Register& s) { return emit(SHADER_LOG, {&d, &s}); }
ShaderGen& ShaderGen::logp(const Register& d, const Register& s) { return emit(SHADER_LOGP, {&d, &s}); }
ShaderGen& ShaderGen::lrp(const Register& d, const Register& a, const Register& b, const Register& c)
{
    return emit(SHADER_LRP, {&d, &a, &b, &c});
}
ShaderGen& ShaderGen::mad(const Register& d, const Register& a, const Register& b, const Register& c)
{
    return emit(SHADER_MAD, {&d, &a, &b, &c});
}
ShaderGen& ShaderGen::max(const Register& d, const Register& a, const Register& b) { return emit(SHADER_MAX, {&d, &a, &b}); }
ShaderGen& ShaderGen::min(const Register& d, const Register& a, const Register& b) { return emit(SHADER_MIN, {&d, &a, &b}); }
ShaderGen& ShaderGen::mov(const Register& d, const Register& s) { return emit(SHADER_MOV, {&d, &s}); }
ShaderGen& ShaderGen::mova(const Register& d, const Register& s) { return emit(SHADER_MOVA, {&d, &s}); }
ShaderGen& ShaderGen::mul(const Register& d, const Register& a, const Register& b) { return emit(SHADER_MUL, {&d, &a, &b}); }
ShaderGen& ShaderGen::nop(const Register& r) { return emit(SHADER_NOP, {&r}); }
ShaderGen& ShaderGen::nrm(const Register& d, const Register& s) { return emit(SHADER_NRM, {&d, &s}); }
ShaderGen& ShaderGen::pow(const Register& d, const Register& a, const Register& b) { return emit(SHADER_POW, {&d, &a, &b}); }
ShaderGen& ShaderGen::rcp(const Register& d, const Register& s) { return emit(SHADER_RCP, {&d, &s}); }
ShaderGen& ShaderGen::rsq(const Register& d, const Register& s) { return emit(SHADER_RSQ, {&d, &s}); }
ShaderGen& ShaderGen::sge(const Register& d, const Register& a, const Register& b) { return emit(SHADER_SGE, {&d, &a, &b}); }
ShaderGen& ShaderGen::sgn(const Register& d, const Register& s, const Register& scratch1, const Register& scratch2)
{
    return emit(SHADER_SGN, {&d, &s, &scratch1, &scratch2});
}
ShaderGen& ShaderGen::sincos(const Register& d, const Register& s, const Register& constant1, const Register& constant2)
{
    return emit(SHADER_SINCOS, {&d, &s, &constant1, &constant2});
}
ShaderGen& ShaderGen::sin(const Register& d, const Register& s) { return emit(SHADER_SIN, {&d, &s}); }
ShaderGen& ShaderGen::cos(const Register& d, const Register& s) { return emit(SHADER_COS, {&d, &s}); }
ShaderGen& ShaderGen::slt(const Register& d, const Register& a, const Register& b) { return emit(SHADER_SLT, {&d, &a, &b}); }
ShaderGen& ShaderGen::sub(const Register& d, const Register& a, const Register& b) { return emit(SHADER_SUB, {&d, &a, &b}); }
ShaderGen& ShaderGen::texld(const Register& d, const Register& coordinate, const Register& sampler)
{
    return emit(SHADER_TEXLD, {&d, &coordinate, &sampler});
}

ShaderGen& ShaderGen::saturate()
{
    if (instructions.empty())
        VOSTREL_THROW("No instruction to apply the saturation modifier to.");
    instructions.back().flags |= INSTRUCTION_SATURATE;
    return *this;
}

void ShaderGen::getProgram(ShaderProgram& program)
{
    program.instructionCount = static_cast<int>(instructions.size());
    program.instructions = instructions.data();
    program.constantCount = static_cast<int>(constants.size());
    program.constants = constants.data();
    program.uniformCount = uniformCount;
}

VertexShader* ShaderGen::createVertexShader(ShaderProgram& program)
{
    ShaderOptimization(program).run();
    return Core::createVertexShader(program);
}

PixelShader* ShaderGen::createPixelShader(ShaderProgram& program)
{
    ShaderOptimization(program).run();
    return Core::createPixelShader(program);
}

void ShaderGen::reset()
{
    instructions.clear();
    instructions.shrink_to_fit();
    tempCounter = 0;
    uniformCount = 0;
    varyCounter = VARY_TEXCOORD0;
}

} // namespace Core
} // namespace Vostrel
