#include "Libs/Core/DirectX/DXShaderGen.h"

#include "Libs/Common/Exception.h"

#include <set>
#include <sstream>
#include <utility>

namespace Vostrel {
namespace Core {

namespace {

typedef ShaderGen::Register Register;

const char* const MNEMONICS[] = {
    "abs", "add", "cmp", "crs", "dp3", "dp4", nullptr, "dst", "exp", "expp", nullptr, "frc",
    "texkill", "lit", "log", "logp", "lrp", "mad", "max", "min", "mov", "mova", "mul", "nop",
    "nrm", "pow", "rcp", "rsq", "sge", "sgn", "sincos", "sin", "cos", "slt", "sub", "texld",
};
const char LETTERS[] = "xyzw";

// The stage and the constant base, which the register texts read.
struct Writer {
    int stage;
    int constantBase;

    std::string varyText(int id) const
    {
        if (stage == DXShaderGen::VERTEX_STAGE) {
            switch (id) {
            case VARY_POSITION: return "oPos";
            case VARY_COLOR0: return "oD0";
            case VARY_FOG: return "oFog";
            case VARY_POINT_SIZE: return "oPts";
            case VARY_COLOR1: return "oD1";
            default:
                if (id < VARY_TEXCOORD0)
                    VOSTREL_THROW("Invalid vertex-stage interpolator id " << id);
                return "oT" + std::to_string(id - VARY_TEXCOORD0);
            }
        }
        if (stage == DXShaderGen::PIXEL_STAGE) {
            // Position, fog and point size do not reach the pixel stage.
            if (id == VARY_COLOR0)
                return "v0";
            if (id == VARY_COLOR1)
                return "v1";
            if (id < VARY_TEXCOORD0)
                VOSTREL_THROW("Invalid pixel-stage interpolator id " << id);
            return "t" + std::to_string(id - VARY_TEXCOORD0);
        }
        return "";
    }

    std::string registerText(const Register& reg) const
    {
        const Register::Param& p = reg.param;
        switch (p.type) {
        case REGISTER_CONSTANT_FLOAT:
        case REGISTER_UNIFORM: {
            int index = p.index + (p.type == REGISTER_CONSTANT_FLOAT ? constantBase : 0);
            if (p.relative)
                return "c[" + std::to_string(index) + "+a0.x]";
            return "c" + std::to_string(index);
        }
        case REGISTER_ATTRIB: return "v" + std::to_string(p.index);
        case REGISTER_VARY: return varyText(p.index);
        case REGISTER_RESULT:
            if (p.index == RESULT_COLOR)
                return "oC0";
            if (p.index == RESULT_DEPTH)
                return "oDepth";
            VOSTREL_THROW("Invalid result register id");
        case REGISTER_TEMP: return "r" + std::to_string(p.index);
        case REGISTER_ADDRESS: return "a0";
        case REGISTER_SAMPLER: VOSTREL_THROW("Not implementd.");
        default: VOSTREL_THROW("Invalid register type");
        }
    }

    std::string operandText(const Register& reg) const
    {
        if (reg.param.type == REGISTER_SAMPLER)
            return "s" + std::to_string(reg.param.index);
        std::string text = (reg.param.flags & REGISTER_NEGATE) ? "-" : "";
        text += registerText(reg);
        bool pointSize = reg.param.type == REGISTER_VARY && reg.param.index == VARY_POINT_SIZE;
        if (!pointSize && reg.hasSwizzle()) {
            text += '.';
            for (int i = 0; i < 4 && reg.param.swizzle[i] != SWIZZLE_END; ++i)
                text += LETTERS[reg.param.swizzle[i] & 3];
        }
        return text;
    }

    // The sources of an instruction writing a scalar output (depth, point
    // size) are read through one component: x, or the first one the
    // source's own swizzle selects.
    std::string scalarSourceText(const Register& reg) const
    {
        Register plain = reg;
        uint8_t first = reg.hasSwizzle() ? reg.param.swizzle[0] : 0;
        std::fill(plain.param.swizzle, plain.param.swizzle + 4, SWIZZLE_END);
        return operandText(plain) + "." + LETTERS[first & 3];
    }
};

bool writesScalarOutput(const ShaderGen::Instruction& instruction)
{
    const Register::Param& first = instruction.operands[0].param;
    return (first.type == REGISTER_RESULT && first.index == RESULT_DEPTH)
        || (first.type == REGISTER_VARY && first.index == VARY_POINT_SIZE);
}

} // namespace

std::string DXShaderGen::generate(const ShaderProgram& program, int stage)
{
    Writer writer{stage, program.uniformCount};
    std::ostringstream out;
    if (stage == VERTEX_STAGE)
        out << "vs_2_0\n";
    else if (stage == PIXEL_STAGE)
        out << "ps_2_0\n";

    std::set<int> attribs, constants, varys;
    std::set<std::pair<int, int>> samplers;
    for (int i = 0; i < program.instructionCount; ++i) {
        const ShaderGen::Instruction& instruction = program.instructions[i];
        for (int k = 0; k < instruction.operandCount && k < 4; ++k) {
            const Register::Param& p = instruction.operands[k].param;
            switch (p.type) {
            case REGISTER_ATTRIB: attribs.insert(p.index); break;
            case REGISTER_CONSTANT_FLOAT: constants.insert(p.index); break;
            case REGISTER_VARY: varys.insert(p.index); break;
            case REGISTER_SAMPLER: samplers.insert({p.index, p.flags}); break;
            default: break;
            }
        }
    }

    if (stage == VERTEX_STAGE) {
        // Every vertex input is a texture coordinate whose usage index is its
        // register number; the vertex declarations follow the same rule.
        for (int n : attribs)
            out << "dcl_texcoord" << n << " v" << n << "\n";
    } else if (stage == PIXEL_STAGE) {
        static const char* const SAMPLER_DECLARATIONS[] = {"dcl_2d ", "dcl_volume ", "dcl_cube "};
        for (const auto& sampler : samplers) {
            if (sampler.second < TEXTURE_TYPE_2D || sampler.second > TEXTURE_TYPE_CUBE)
                VOSTREL_THROW("Invalid sampler texture type " << sampler.second);
            out << SAMPLER_DECLARATIONS[sampler.second] << "s" << sampler.first << "\n";
        }
        for (int id : varys)
            out << "dcl " << writer.varyText(id) << "\n";
    }

    for (int i : constants) {
        if (i < 0 || i >= program.constantCount)
            VOSTREL_THROW("Invalid constant register " << i);
        const Vec<float, 4>& value = program.constants[i];
        out << "def c" << i + writer.constantBase << "," << value[0] << "," << value[1] << "," << value[2] << ","
            << value[3] << "\n";
    }

    for (int i = 0; i < program.instructionCount; ++i) {
        const ShaderGen::Instruction& instruction = program.instructions[i];
        int opcode = instruction.opcode;
        if (opcode < 0 || opcode >= static_cast<int>(sizeof MNEMONICS / sizeof *MNEMONICS) || !MNEMONICS[opcode])
            VOSTREL_THROW("Invalid opcode " << opcode);
        out << MNEMONICS[opcode];
        if (instruction.flags & INSTRUCTION_SATURATE)
            out << "_sat";
        int count = std::min(instruction.operandCount, 4);
        if (count > 0) {
            bool scalar = writesScalarOutput(instruction);
            out << " " << writer.operandText(instruction.operands[0]);
            for (int k = 1; k < count; ++k)
                out << "," << (scalar ? writer.scalarSourceText(instruction.operands[k])
                                      : writer.operandText(instruction.operands[k]));
        }
        out << "\n";
    }
    return out.str();
}

} // namespace Core
} // namespace Vostrel
