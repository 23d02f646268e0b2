#pragma once

// The in-memory form of a shader-model-2.0 assembly program: what the parser
// produces, the validator checks, the interpreter runs and the GLSL
// translator turns into OpenGL source.

#include <array>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

namespace Shader {

enum class Stage { Vertex, Pixel };

enum class RegisterFile {
    Temp,          // r#
    Input,         // v#: vertex input, or the pixel stage's colour interpolators
    Constant,      // c#
    Address,       // a0
    Texture,       // t#: the pixel stage's texture-coordinate interpolators
    Sampler,       // s#
    Position,      // oPos
    Fog,           // oFog
    PointSize,     // oPts
    ColorOut,      // oD#: the vertex stage's colour interpolators
    TexCoordOut,   // oT#
    RenderTarget,  // oC#
    Depth,         // oDepth
};

enum class Opcode {
    Abs, Add, Cmp, Crs, Dp3, Dp4, Dst, Exp, Expp, Frc, Lit, Log, Logp, Lrp, Mad, Max, Min,
    Mov, Mova, Mul, Nop, Nrm, Pow, Rcp, Rsq, Sge, Sgn, Sincos, Slt, Sub, Texkill, Texld,
};

enum class TextureType { Texture2D, Volume, Cube };

// Selector values 0..3 stand for x, y, z, w.
using Swizzle = std::array<uint8_t, 4>;
constexpr Swizzle IDENTITY_SWIZZLE = {0, 1, 2, 3};

// Write-mask bits: 1 x, 2 y, 4 z, 8 w.
constexpr unsigned FULL_MASK = 15;

struct Source {
    RegisterFile file = RegisterFile::Temp;
    int index = 0;
    bool negate = false;
    bool relative = false;          // c[index + a0.component]
    int relativeComponent = 0;
    bool hasSwizzle = false;        // written explicitly (the identity otherwise)
    Swizzle swizzle = IDENTITY_SWIZZLE; // expanded to four selectors

    bool isReplicate() const
    {
        return swizzle[0] == swizzle[1] && swizzle[1] == swizzle[2] && swizzle[2] == swizzle[3];
    }
};

struct Destination {
    RegisterFile file = RegisterFile::Temp;
    int index = 0;
    unsigned mask = FULL_MASK;
    bool hasMask = false;
};

struct Instruction {
    Opcode opcode = Opcode::Nop;
    bool saturate = false;
    bool hasDestination = false;
    Destination destination;
    std::vector<Source> sources;
    int line = 0;
};

// Vertex input usages of dcl_usage; the pixel stage's "dcl" has none.
enum class Usage {
    None, Position, BlendWeight, BlendIndices, Normal, PointSize, TexCoord, Tangent, Binormal,
    TessFactor, PositionT, Color, Fog, Depth, Sample,
};

struct Declaration {
    RegisterFile file = RegisterFile::Input;
    int index = 0;
    unsigned mask = FULL_MASK;
    Usage usage = Usage::None;
    int usageIndex = 0;
    TextureType textureType = TextureType::Texture2D; // samplers
    int line = 0;
};

struct ConstantDefinition {
    int index = 0;
    std::array<float, 4> value{};
    int line = 0;
};

struct Program {
    Stage stage = Stage::Vertex;
    std::vector<Declaration> declarations;
    std::vector<ConstantDefinition> constants;
    std::vector<Instruction> instructions;

    const Declaration* findDeclaration(RegisterFile file, int index) const;
    // The last definition of c#index, or null.
    const ConstantDefinition* findConstant(int index) const;
};

// A program the assembler refuses: every message starts with "(line): error: ".
class AssemblyError : public std::runtime_error {
public:
    explicit AssemblyError(const std::string& messages) : std::runtime_error(messages) {}
};

// What the instruction set says of each opcode.
struct OpcodeInfo {
    Opcode opcode;
    const char* mnemonic;
    bool hasDestination;
    int sourceCount;
    bool vertex;          // part of vs_2_0
    bool pixel;           // part of ps_2_0
    int slots;            // instruction slots it costs
};

const OpcodeInfo& opcodeInfo(Opcode opcode);
// Null for a mnemonic that neither stage has.
const OpcodeInfo* findOpcode(const std::string& mnemonic);

const char* registerFileName(RegisterFile file);
// Register text as the assembler writes it: "r3", "oPos", "oT1", "c[4+a0.x]".
std::string registerName(RegisterFile file, int index);
std::string describe(const Source& source);

} // namespace Shader
