#include "Platform/Shader/ShaderIR.h"

#include <strings.h>

namespace Shader {

namespace {

// Instruction sets of vs_2_0 and ps_2_0 (flow control left out: nothing in
// the engine writes it) with the slot cost of each instruction.
const OpcodeInfo OPCODES[] = {
    {Opcode::Abs, "abs", true, 1, true, true, 1},
    {Opcode::Add, "add", true, 2, true, true, 1},
    {Opcode::Cmp, "cmp", true, 3, false, true, 1},
    {Opcode::Crs, "crs", true, 2, true, true, 2},
    {Opcode::Dp3, "dp3", true, 2, true, true, 1},
    {Opcode::Dp4, "dp4", true, 2, true, true, 1},
    {Opcode::Dst, "dst", true, 2, true, false, 1},
    {Opcode::Exp, "exp", true, 1, true, true, 1},
    {Opcode::Expp, "expp", true, 1, true, false, 1},
    {Opcode::Frc, "frc", true, 1, true, true, 1},
    {Opcode::Lit, "lit", true, 1, true, false, 3},
    {Opcode::Log, "log", true, 1, true, true, 1},
    {Opcode::Logp, "logp", true, 1, true, false, 1},
    {Opcode::Lrp, "lrp", true, 3, true, true, 2},
    {Opcode::Mad, "mad", true, 3, true, true, 1},
    {Opcode::Max, "max", true, 2, true, true, 1},
    {Opcode::Min, "min", true, 2, true, true, 1},
    {Opcode::Mov, "mov", true, 1, true, true, 1},
    {Opcode::Mova, "mova", true, 1, true, false, 1},
    {Opcode::Mul, "mul", true, 2, true, true, 1},
    {Opcode::Nop, "nop", false, 0, true, true, 1},
    {Opcode::Nrm, "nrm", true, 1, true, true, 3},
    {Opcode::Pow, "pow", true, 2, true, true, 3},
    {Opcode::Rcp, "rcp", true, 1, true, true, 1},
    {Opcode::Rsq, "rsq", true, 1, true, true, 1},
    {Opcode::Sge, "sge", true, 2, true, false, 1},
    {Opcode::Sgn, "sgn", true, 3, true, false, 3},
    {Opcode::Sincos, "sincos", true, 3, true, true, 8},
    {Opcode::Slt, "slt", true, 2, true, false, 1},
    {Opcode::Sub, "sub", true, 2, true, true, 1},
    {Opcode::Texkill, "texkill", false, 1, false, true, 1},
    {Opcode::Texld, "texld", true, 2, false, true, 1},
};

} // namespace

const OpcodeInfo& opcodeInfo(Opcode opcode)
{
    return OPCODES[static_cast<int>(opcode)];
}

const OpcodeInfo* findOpcode(const std::string& mnemonic)
{
    for (const OpcodeInfo& info : OPCODES)
        if (strcasecmp(info.mnemonic, mnemonic.c_str()) == 0)
            return &info;
    return nullptr;
}

const Declaration* Program::findDeclaration(RegisterFile file, int index) const
{
    for (const Declaration& declaration : declarations)
        if (declaration.file == file && declaration.index == index)
            return &declaration;
    return nullptr;
}

const ConstantDefinition* Program::findConstant(int index) const
{
    const ConstantDefinition* found = nullptr;
    for (const ConstantDefinition& constant : constants)
        if (constant.index == index)
            found = &constant;
    return found;
}

const char* registerFileName(RegisterFile file)
{
    switch (file) {
    case RegisterFile::Temp: return "r";
    case RegisterFile::Input: return "v";
    case RegisterFile::Constant: return "c";
    case RegisterFile::Address: return "a";
    case RegisterFile::Texture: return "t";
    case RegisterFile::Sampler: return "s";
    case RegisterFile::Position: return "oPos";
    case RegisterFile::Fog: return "oFog";
    case RegisterFile::PointSize: return "oPts";
    case RegisterFile::ColorOut: return "oD";
    case RegisterFile::TexCoordOut: return "oT";
    case RegisterFile::RenderTarget: return "oC";
    case RegisterFile::Depth: return "oDepth";
    }
    return "?";
}

std::string registerName(RegisterFile file, int index)
{
    switch (file) {
    case RegisterFile::Position:
    case RegisterFile::Fog:
    case RegisterFile::PointSize:
    case RegisterFile::Depth:
        return registerFileName(file);
    default:
        return registerFileName(file) + std::to_string(index);
    }
}

std::string describe(const Source& source)
{
    static const char LETTERS[] = "xyzw";
    std::string text = source.negate ? "-" : "";
    if (source.relative)
        text += "c[" + std::to_string(source.index) + "+a0." + LETTERS[source.relativeComponent] + "]";
    else
        text += registerName(source.file, source.index);
    if (source.hasSwizzle) {
        text += '.';
        for (uint8_t selector : source.swizzle)
            text += LETTERS[selector];
    }
    return text;
}

} // namespace Shader
