#include "Platform/Shader/ShaderInterpreter.h"

#include "Platform/Shader/ShaderArithmetic.h"

#include <cmath>
#include <stdexcept>

namespace Shader {

using namespace Arithmetic;

namespace {

class Runner {
public:
    Runner(const Program& program, Machine& machine) : program(program), machine(machine)
    {
        constants = machine.constants;
        for (const ConstantDefinition& definition : program.constants)
            if (definition.index >= 0 && definition.index < VERTEX_CONSTANTS)
                constants[definition.index] = definition.value;
    }

    void run()
    {
        for (const Instruction& instruction : program.instructions) {
            if (instruction.hasDestination && instruction.destination.file == RegisterFile::Temp)
                growTemps(instruction.destination.index);
            for (const Source& source : instruction.sources)
                if (source.file == RegisterFile::Temp)
                    growTemps(source.index);
        }
        for (const Instruction& instruction : program.instructions)
            step(instruction);
    }

private:
    void growTemps(int index)
    {
        if (index >= static_cast<int>(machine.temps.size()))
            machine.temps.resize(static_cast<size_t>(index) + 1, Vec4{});
    }

    Vec4 readRegister(const Source& source) const
    {
        switch (source.file) {
        case RegisterFile::Temp: return machine.temps.at(source.index);
        case RegisterFile::Input: return machine.inputs.at(source.index);
        case RegisterFile::Texture: return machine.texcoords.at(source.index);
        case RegisterFile::Constant: {
            int index = source.index + (source.relative ? machine.address[source.relativeComponent] : 0);
            if (index < 0 || index >= VERTEX_CONSTANTS)
                return Vec4{};
            return constants[index];
        }
        default:
            throw std::logic_error("register " + describe(source) + " cannot be read");
        }
    }

    Vec4 read(const Source& source) const
    {
        Vec4 value = readRegister(source);
        Vec4 result;
        for (int i = 0; i < 4; ++i)
            result[i] = source.negate ? -value[source.swizzle[i]] : value[source.swizzle[i]];
        return result;
    }

    static float dot3(const Vec4& a, const Vec4& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

    template <typename Function>
    static Vec4 perComponent(Function function, const Vec4& a)
    {
        return {function(a[0]), function(a[1]), function(a[2]), function(a[3])};
    }

    template <typename Function>
    static Vec4 perComponent(Function function, const Vec4& a, const Vec4& b)
    {
        return {function(a[0], b[0]), function(a[1], b[1]), function(a[2], b[2]), function(a[3], b[3])};
    }

    template <typename Function>
    static Vec4 perComponent(Function function, const Vec4& a, const Vec4& b, const Vec4& c)
    {
        return {function(a[0], b[0], c[0]), function(a[1], b[1], c[1]), function(a[2], b[2], c[2]),
                function(a[3], b[3], c[3])};
    }

    static Vec4 splat(float value) { return {value, value, value, value}; }

    void step(const Instruction& instruction)
    {
        std::array<Vec4, 3> s{};
        for (size_t i = 0; i < instruction.sources.size() && i < 3; ++i)
            if (instruction.sources[i].file != RegisterFile::Sampler)
                s[i] = read(instruction.sources[i]);
        // Scalar instructions read the replicated component, or x of a source
        // written without swizzle.
        float scalar = s[0][0];
        Vec4 result{};
        unsigned mask = instruction.destination.mask;
        switch (instruction.opcode) {
        case Opcode::Abs: result = perComponent([](float x) { return std::fabs(x); }, s[0]); break;
        case Opcode::Add: result = perComponent([](float a, float b) { return a + b; }, s[0], s[1]); break;
        case Opcode::Sub: result = perComponent([](float a, float b) { return a - b; }, s[0], s[1]); break;
        case Opcode::Mul: result = perComponent([](float a, float b) { return a * b; }, s[0], s[1]); break;
        case Opcode::Mad:
            result = perComponent([](float a, float b, float c) { return a * b + c; }, s[0], s[1], s[2]);
            break;
        case Opcode::Mov: result = s[0]; break;
        case Opcode::Max: result = perComponent(d3dMax, s[0], s[1]); break;
        case Opcode::Min: result = perComponent(d3dMin, s[0], s[1]); break;
        case Opcode::Sge: result = perComponent(d3dSge, s[0], s[1]); break;
        case Opcode::Slt: result = perComponent(d3dSlt, s[0], s[1]); break;
        case Opcode::Cmp: result = perComponent(d3dCmp, s[0], s[1], s[2]); break;
        case Opcode::Lrp: result = perComponent(d3dLrp, s[0], s[1], s[2]); break;
        case Opcode::Frc: result = perComponent(d3dFrc, s[0]); break;
        case Opcode::Sgn: result = perComponent(d3dSgn, s[0]); break;
        case Opcode::Dp3: result = splat(dot3(s[0], s[1])); break;
        case Opcode::Dp4: result = splat(dot3(s[0], s[1]) + s[0][3] * s[1][3]); break;
        case Opcode::Rcp: result = splat(d3dRcp(scalar)); break;
        case Opcode::Rsq: result = splat(d3dRsq(scalar)); break;
        case Opcode::Exp:
        case Opcode::Expp: result = splat(d3dExp(scalar)); break;
        case Opcode::Log:
        case Opcode::Logp: result = splat(d3dLog(scalar)); break;
        case Opcode::Pow: result = splat(d3dPow(scalar, s[1][0])); break;
        case Opcode::Crs:
            result = {s[0][1] * s[1][2] - s[0][2] * s[1][1], s[0][2] * s[1][0] - s[0][0] * s[1][2],
                      s[0][0] * s[1][1] - s[0][1] * s[1][0], 0.0f};
            break;
        case Opcode::Nrm: {
            float factor = d3dNormalizeFactor(dot3(s[0], s[0]));
            result = {s[0][0] * factor, s[0][1] * factor, s[0][2] * factor, s[0][3] * factor};
            break;
        }
        case Opcode::Dst: result = {1.0f, s[0][1] * s[1][1], s[0][2], s[1][3]}; break;
        case Opcode::Lit:
            result = {1.0f, s[0][0] > 0.0f ? s[0][0] : 0.0f, d3dLitPower(s[0][0], s[0][1], s[0][3]), 1.0f};
            break;
        case Opcode::Sincos:
            // z is left undefined by Direct3D; here it keeps its value, as w does.
            result = {std::cos(scalar), std::sin(scalar), 0.0f, 0.0f};
            mask &= 3;
            break;
        case Opcode::Mova: {
            for (int i = 0; i < 4; ++i)
                if (mask & (1u << i))
                    machine.address[i] = static_cast<int>(d3dAddress(s[0][i]));
            return;
        }
        case Opcode::Texkill:
            if (s[0][0] < 0.0f || s[0][1] < 0.0f || s[0][2] < 0.0f)
                machine.killed = true;
            return;
        case Opcode::Texld: {
            const Source& sampler = instruction.sources[1];
            const Declaration* declaration = program.findDeclaration(RegisterFile::Sampler, sampler.index);
            TextureType type = declaration ? declaration->textureType : TextureType::Texture2D;
            result = machine.sample ? machine.sample(sampler.index, type, s[0]) : Vec4{};
            break;
        }
        case Opcode::Nop: return;
        }
        if (instruction.saturate)
            result = perComponent(d3dSaturate, result);
        write(instruction.destination, mask, result);
    }

    void write(const Destination& destination, unsigned mask, const Vec4& value)
    {
        Vec4* target = nullptr;
        bool saturate = false;
        switch (destination.file) {
        case RegisterFile::Temp: target = &machine.temps.at(destination.index); break;
        case RegisterFile::Position: target = &machine.position; break;
        case RegisterFile::Fog: target = &machine.fog; break;
        case RegisterFile::PointSize:
            target = &machine.pointSize;
            machine.wrotePointSize = true;
            break;
        case RegisterFile::ColorOut:
            // Colour interpolators hold 0..1 in Direct3D 9.
            target = &machine.colors.at(destination.index);
            saturate = true;
            break;
        case RegisterFile::TexCoordOut: target = &machine.texcoordOutputs.at(destination.index); break;
        case RegisterFile::RenderTarget: target = &machine.renderTargets.at(destination.index); break;
        case RegisterFile::Depth:
            target = &machine.depth;
            machine.wroteDepth = true;
            break;
        default:
            throw std::logic_error("register " + registerName(destination.file, destination.index)
                                   + " cannot be written");
        }
        for (int i = 0; i < 4; ++i)
            if (mask & (1u << i))
                (*target)[i] = saturate ? d3dSaturate(value[i]) : value[i];
    }

    const Program& program;
    Machine& machine;
    std::array<Vec4, VERTEX_CONSTANTS> constants;
};

} // namespace

void execute(const Program& program, Machine& machine)
{
    Runner(program, machine).run();
}

} // namespace Shader
