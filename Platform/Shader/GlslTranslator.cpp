#include "Platform/Shader/GlslTranslator.h"

#include "Platform/Shader/ShaderArithmetic.h"
#include "Platform/Shader/ShaderValidator.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <set>
#include <sstream>
#include <stdexcept>

namespace Shader {

namespace {

const char LETTERS[] = "xyzw";
constexpr int COLOR_LOCATION = 8;
constexpr int FOG_LOCATION = 10;

std::string floatLiteral(float value)
{
    if (!std::isfinite(value)) {
        uint32_t bits;
        std::memcpy(&bits, &value, sizeof bits);
        char text[48];
        std::snprintf(text, sizeof text, "uintBitsToFloat(0x%08Xu)", bits);
        return text;
    }
    char text[32];
    std::snprintf(text, sizeof text, "%.9g", value);
    std::string literal = text;
    if (literal.find_first_of(".e") == std::string::npos)
        literal += ".0";
    return literal;
}

std::string vec4Literal(const std::array<float, 4>& value)
{
    return "vec4(" + floatLiteral(value[0]) + ", " + floatLiteral(value[1]) + ", " + floatLiteral(value[2])
        + ", " + floatLiteral(value[3]) + ")";
}

std::string maskText(unsigned mask)
{
    std::string text;
    for (int i = 0; i < 4; ++i)
        if (mask & (1u << i))
            text += LETTERS[i];
    return text;
}

// "vec4(f(a.x, b.x), f(a.y, b.y), ...)"
std::string perComponent(const char* function, std::initializer_list<const char*> arguments)
{
    std::string text = "vec4(";
    for (int i = 0; i < 4; ++i) {
        text += std::string(i ? ", " : "") + function + "(";
        bool first = true;
        for (const char* argument : arguments) {
            text += std::string(first ? "" : ", ") + argument + "." + LETTERS[i];
            first = false;
        }
        text += ")";
    }
    return text + ")";
}

class Translator {
public:
    Translator(const Program& program, const ProgramVariant& variant)
        : program(program), variant(variant), vertex(program.stage == Stage::Vertex),
          constantsName(vertex ? VERTEX_CONSTANTS_UNIFORM : PIXEL_CONSTANTS_UNIFORM) {}

    GlslShader run()
    {
        scan();
        std::ostringstream body;
        for (const Instruction& instruction : program.instructions)
            body << translate(instruction);
        GlslShader shader;
        shader.constantCount = constantCount;
        shader.source = header() + "void main()\n{\n" + locals() + body.str() + epilogue() + "}\n";
        return shader;
    }

private:
    void scan()
    {
        bool relative = false;
        int highest = -1;
        for (const Instruction& instruction : program.instructions) {
            if (instruction.hasDestination) {
                if (instruction.destination.file == RegisterFile::Temp)
                    temps.insert(instruction.destination.index);
                if (instruction.destination.file == RegisterFile::PointSize)
                    writesPointSize = true;
                if (instruction.destination.file == RegisterFile::Depth)
                    writesDepth = true;
                if (instruction.destination.file == RegisterFile::RenderTarget)
                    renderTargets = std::max(renderTargets, instruction.destination.index + 1);
            }
            for (const Source& source : instruction.sources) {
                if (source.file == RegisterFile::Temp)
                    temps.insert(source.index);
                if (source.file == RegisterFile::Constant) {
                    if (source.relative)
                        relative = true;
                    else if (!program.findConstant(source.index))
                        highest = std::max(highest, source.index);
                }
            }
        }
        usesRelative = relative;
        int limit = vertex ? VERTEX_CONSTANTS : PIXEL_CONSTANTS;
        constantCount = relative ? limit : std::min(limit, std::max(highest + 1, 1));
        renderTargets = std::max(renderTargets, 1);
    }

    std::string header() const
    {
        std::ostringstream out;
        out << "#version 450 core\n" << SHADER_ARITHMETIC_GLSL;
        out << "uniform vec4 " << constantsName << "[" << constantCount << "];\n";
        std::set<int> defined;
        for (const ConstantDefinition& definition : program.constants)
            defined.insert(definition.index);
        for (int index : defined)
            out << "const vec4 def_c" << index << " = " << vec4Literal(program.findConstant(index)->value) << ";\n";
        if (usesRelative) {
            out << "vec4 constantAt(int i)\n{\n";
            for (int index : defined)
                out << "    if (i == " << index << ") return def_c" << index << ";\n";
            out << "    return i >= 0 && i < " << constantCount << " ? " << constantsName << "[i] : vec4(0.0);\n}\n";
        }
        if (vertex)
            vertexInterface(out);
        else
            pixelInterface(out);
        return out.str();
    }

    void vertexInterface(std::ostream& out) const
    {
        for (const Declaration& declaration : program.declarations)
            if (declaration.file == RegisterFile::Input)
                out << "layout(location = " << declaration.index << ") in vec4 v" << declaration.index << ";\n";
        out << "uniform vec2 " << PIXEL_OFFSET_UNIFORM << ";\nuniform float " << CLIP_Y_SIGN_UNIFORM << ";\n";
        for (int i = 0; i < TEXCOORD_OUTPUTS; ++i)
            out << "layout(location = " << i << ") out vec4 oT" << i << ";\n";
        for (int i = 0; i < COLOR_OUTPUTS; ++i)
            out << "layout(location = " << COLOR_LOCATION + i << ") out vec4 oD" << i << ";\n";
        out << "layout(location = " << FOG_LOCATION << ") out float vostrel_fog;\n";
        if (clipPlaneCount() > 0) {
            out << "uniform vec4 " << CLIP_PLANES_UNIFORM << "[" << MAX_CLIP_PLANES << "];\n";
            out << "out float gl_ClipDistance[" << clipPlaneCount() << "];\n";
        }
        if (variant.pointSprites)
            out << "uniform float " << POINT_SIZE_UNIFORM << ";\nuniform vec2 " << POINT_SIZE_RANGE_UNIFORM << ";\n";
    }

    void pixelInterface(std::ostream& out) const
    {
        for (const Declaration& declaration : program.declarations) {
            if (declaration.file == RegisterFile::Input)
                out << "layout(location = " << COLOR_LOCATION + declaration.index << ") in vec4 v"
                    << declaration.index << ";\n";
            if (declaration.file == RegisterFile::Texture && !pointSpriteCoordinate(declaration.index))
                out << "layout(location = " << declaration.index << ") in vec4 t" << declaration.index << ";\n";
            if (declaration.file == RegisterFile::Sampler) {
                static const char* TYPES[] = {"sampler2D", "sampler3D", "samplerCube"};
                out << "layout(binding = " << declaration.index << ") uniform "
                    << TYPES[static_cast<int>(declaration.textureType)] << " s" << declaration.index << ";\n";
            }
        }
        for (int i = 0; i < renderTargets; ++i)
            out << "layout(location = " << i << ") out vec4 oC" << i << ";\n";
        if (alphaTest())
            out << "uniform float " << ALPHA_REFERENCE_UNIFORM << ";\n";
    }

    bool pointSpriteCoordinate(int texcoord) const { return variant.pointSprites && texcoord == 0; }
    bool alphaTest() const { return variant.alphaFunction >= 1 && variant.alphaFunction <= 7; }

    int clipPlaneCount() const
    {
        int count = 0;
        for (int i = 0; i < MAX_CLIP_PLANES; ++i)
            if (variant.clipPlanes & (1u << i))
                count = i + 1;
        return count;
    }

    std::string locals() const
    {
        std::ostringstream out;
        // Direct3D 9 temporaries start at 0.
        for (int index : temps)
            out << "    vec4 r" << index << " = vec4(0.0);\n";
        if (vertex) {
            out << "    ivec4 a0 = ivec4(0);\n    vec4 oPos = vec4(0.0);\n    vec4 oFog = vec4(0.0);\n"
                   "    vec4 oPts = vec4(0.0);\n";
            for (int i = 0; i < TEXCOORD_OUTPUTS; ++i)
                out << "    oT" << i << " = vec4(0.0);\n";
            for (int i = 0; i < COLOR_OUTPUTS; ++i)
                out << "    oD" << i << " = vec4(0.0);\n";
        } else {
            if (program.findDeclaration(RegisterFile::Texture, 0) && pointSpriteCoordinate(0))
                out << "    vec4 t0 = vec4(gl_PointCoord, 0.0, 1.0);\n";
            if (writesDepth)
                out << "    vec4 oDepth = vec4(0.0);\n";
            for (int i = 0; i < renderTargets; ++i)
                out << "    oC" << i << " = vec4(0.0);\n";
        }
        return out.str();
    }

    std::string epilogue() const
    {
        std::ostringstream out;
        if (vertex) {
            // Colour interpolators hold 0..1 in Direct3D 9.
            for (int i = 0; i < COLOR_OUTPUTS; ++i)
                out << "    oD" << i << " = " << perComponent("d3dSaturate", {("oD" + std::to_string(i)).c_str()})
                    << ";\n";
            out << "    vostrel_fog = oFog.x;\n    gl_Position = oPos;\n";
            for (int i = 0; i < MAX_CLIP_PLANES; ++i)
                if (variant.clipPlanes & (1u << i))
                    out << "    gl_ClipDistance[" << i << "] = dot(oPos, " << CLIP_PLANES_UNIFORM << "[" << i << "]);\n";
            // Direct3D 9 samples at integer pixel centres; move the geometry
            // half a pixel so OpenGL samples at the same place.
            out << "    gl_Position.xy += " << PIXEL_OFFSET_UNIFORM << " * gl_Position.w;\n";
            out << "    gl_Position.y *= " << CLIP_Y_SIGN_UNIFORM << ";\n";
            if (variant.pointSprites)
                out << "    gl_PointSize = clamp(" << (writesPointSize ? "oPts.x" : POINT_SIZE_UNIFORM) << ", "
                    << POINT_SIZE_RANGE_UNIFORM << ".x, " << POINT_SIZE_RANGE_UNIFORM << ".y);\n";
        } else {
            if (alphaTest()) {
                // Direct3D compares the alpha as stored in 8 bits.
                static const char* OPERATORS[] = {"", "false", "<", "==", "<=", ">", "!=", ">="};
                const char* op = OPERATORS[variant.alphaFunction];
                out << "    float vostrel_alpha = round(clamp(oC0.a, 0.0, 1.0) * 255.0);\n";
                if (variant.alphaFunction == 1)
                    out << "    discard;\n";
                else
                    out << "    if (!(vostrel_alpha " << op << " " << ALPHA_REFERENCE_UNIFORM << ")) discard;\n";
            }
            if (writesDepth)
                out << "    gl_FragDepth = oDepth.x;\n";
        }
        return out.str();
    }

    std::string sourceRegister(const Source& source) const
    {
        switch (source.file) {
        case RegisterFile::Temp: return "r" + std::to_string(source.index);
        case RegisterFile::Input: return "v" + std::to_string(source.index);
        case RegisterFile::Texture: return "t" + std::to_string(source.index);
        case RegisterFile::Constant:
            if (source.relative)
                return std::string("constantAt(a0.") + LETTERS[source.relativeComponent] + " + "
                    + std::to_string(source.index) + ")";
            if (program.findConstant(source.index))
                return "def_c" + std::to_string(source.index);
            return constantsName + "[" + std::to_string(source.index) + "]";
        default:
            throw std::logic_error("register " + describe(source) + " cannot be read");
        }
    }

    std::string sourceExpression(const Source& source) const
    {
        std::string text = sourceRegister(source);
        if (source.hasSwizzle) {
            text += '.';
            for (uint8_t selector : source.swizzle)
                text += LETTERS[selector];
        }
        return source.negate ? "-" + text : text;
    }

    std::string destinationName(const Destination& destination) const
    {
        switch (destination.file) {
        case RegisterFile::Temp: return "r" + std::to_string(destination.index);
        case RegisterFile::Position: return "oPos";
        case RegisterFile::Fog: return "oFog";
        case RegisterFile::PointSize: return "oPts";
        case RegisterFile::ColorOut: return "oD" + std::to_string(destination.index);
        case RegisterFile::TexCoordOut: return "oT" + std::to_string(destination.index);
        case RegisterFile::RenderTarget: return "oC" + std::to_string(destination.index);
        case RegisterFile::Depth: return "oDepth";
        default:
            throw std::logic_error("register " + registerName(destination.file, destination.index)
                                   + " cannot be written");
        }
    }

    std::string samplerCoordinate(const Instruction& instruction) const
    {
        const Declaration* declaration = program.findDeclaration(RegisterFile::Sampler, instruction.sources[1].index);
        bool flat = !declaration || declaration->textureType == TextureType::Texture2D;
        return "texture(s" + std::to_string(instruction.sources[1].index) + ", src0." + (flat ? "xy" : "xyz") + ")";
    }

    // The value the instruction computes, from its sources src0..src2; the
    // scalar instructions read the first component, as the interpreter does.
    std::string expression(const Instruction& instruction) const
    {
        switch (instruction.opcode) {
        case Opcode::Abs: return "abs(src0)";
        case Opcode::Add: return "src0 + src1";
        case Opcode::Sub: return "src0 - src1";
        case Opcode::Mul: return "src0 * src1";
        case Opcode::Mad: return "src0 * src1 + src2";
        case Opcode::Mov: return "src0";
        case Opcode::Max: return perComponent("d3dMax", {"src0", "src1"});
        case Opcode::Min: return perComponent("d3dMin", {"src0", "src1"});
        case Opcode::Sge: return perComponent("d3dSge", {"src0", "src1"});
        case Opcode::Slt: return perComponent("d3dSlt", {"src0", "src1"});
        case Opcode::Cmp: return perComponent("d3dCmp", {"src0", "src1", "src2"});
        case Opcode::Lrp: return perComponent("d3dLrp", {"src0", "src1", "src2"});
        case Opcode::Frc: return perComponent("d3dFrc", {"src0"});
        case Opcode::Sgn: return perComponent("d3dSgn", {"src0"});
        case Opcode::Dp3: return "vec4(src0.x * src1.x + src0.y * src1.y + src0.z * src1.z)";
        case Opcode::Dp4: return "vec4(src0.x * src1.x + src0.y * src1.y + src0.z * src1.z + src0.w * src1.w)";
        case Opcode::Rcp: return "vec4(d3dRcp(src0.x))";
        case Opcode::Rsq: return "vec4(d3dRsq(src0.x))";
        case Opcode::Exp:
        case Opcode::Expp: return "vec4(d3dExp(src0.x))";
        case Opcode::Log:
        case Opcode::Logp: return "vec4(d3dLog(src0.x))";
        case Opcode::Pow: return "vec4(d3dPow(src0.x, src1.x))";
        case Opcode::Crs:
            return "vec4(src0.y * src1.z - src0.z * src1.y, src0.z * src1.x - src0.x * src1.z, src0.x * src1.y - src0.y * src1.x, 0.0)";
        case Opcode::Nrm: return "src0 * d3dNormalizeFactor(src0.x * src0.x + src0.y * src0.y + src0.z * src0.z)";
        case Opcode::Dst: return "vec4(1.0, src0.y * src1.y, src0.z, src1.w)";
        case Opcode::Lit: return "vec4(1.0, src0.x > 0.0 ? src0.x : 0.0, d3dLitPower(src0.x, src0.y, src0.w), 1.0)";
        case Opcode::Sincos: return "vec4(cos(src0.x), sin(src0.x), 0.0, 0.0)";
        case Opcode::Texld: return samplerCoordinate(instruction);
        default: throw std::logic_error("no expression for this instruction");
        }
    }

    std::string translate(const Instruction& instruction) const
    {
        std::ostringstream out;
        out << "    // line " << instruction.line << ": " << opcodeInfo(instruction.opcode).mnemonic << "\n    {\n";
        size_t readable = instruction.opcode == Opcode::Texld ? 1 : instruction.sources.size();
        if (instruction.opcode == Opcode::Sincos)
            readable = 1;
        for (size_t i = 0; i < readable; ++i)
            out << "        vec4 src" << i << " = " << sourceExpression(instruction.sources[i]) << ";\n";
        unsigned mask = instruction.destination.mask;
        switch (instruction.opcode) {
        case Opcode::Nop:
            break;
        case Opcode::Texkill:
            out << "        if (src0.x < 0.0 || src0.y < 0.0 || src0.z < 0.0) discard;\n";
            break;
        case Opcode::Mova:
            for (int i = 0; i < 4; ++i)
                if (mask & (1u << i))
                    out << "        a0." << LETTERS[i] << " = int(d3dAddress(src0." << LETTERS[i] << "));\n";
            break;
        default: {
            if (instruction.opcode == Opcode::Sincos)
                mask &= 3;
            out << "        vec4 result = " << expression(instruction) << ";\n";
            if (instruction.saturate)
                out << "        result = " << perComponent("d3dSaturate", {"result"}) << ";\n";
            std::string target = destinationName(instruction.destination);
            if (mask == FULL_MASK)
                out << "        " << target << " = result;\n";
            else if (mask != 0)
                out << "        " << target << "." << maskText(mask) << " = result." << maskText(mask) << ";\n";
            break;
        }
        }
        out << "    }\n";
        return out.str();
    }

    const Program& program;
    const ProgramVariant& variant;
    bool vertex;
    std::string constantsName;
    std::set<int> temps;
    bool usesRelative = false;
    bool writesPointSize = false;
    bool writesDepth = false;
    int renderTargets = 0;
    int constantCount = 1;
};

} // namespace

GlslShader translateToGlsl(const Program& program, const ProgramVariant& variant)
{
    return Translator(program, variant).run();
}

} // namespace Shader
