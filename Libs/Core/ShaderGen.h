#pragma once

#include "Libs/Core/TextureType.h"
#include "Libs/Math/Vec.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Vostrel {
namespace Core {

class VertexShader;
class PixelShader;
class ShaderProgram;

enum RegisterKind : int32_t {
    REGISTER_CONSTANT_FLOAT = 0, // an entry of the builder's constant table
    REGISTER_UNIFORM = 1,        // a constant register set from outside
    REGISTER_ATTRIB = 2,         // a vertex input
    REGISTER_VARY = 3,           // an interpolator, by interpolator id
    REGISTER_RESULT = 4,         // a pixel-stage output
    REGISTER_TEMP = 5,
    REGISTER_ADDRESS = 6,
    REGISTER_SAMPLER = 7,
};

// Interpolator ids of vary registers; texture coordinate n is VARY_TEXCOORD0 + n.
enum VaryId : int32_t {
    VARY_POSITION = 0,
    VARY_COLOR0 = 1,
    VARY_FOG = 2,
    VARY_POINT_SIZE = 3,
    VARY_COLOR1 = 4,
    VARY_TEXCOORD0 = 8,
};

// Result ids of result registers.
enum ResultId : int32_t { RESULT_COLOR = 0, RESULT_DEPTH = 1 };

enum ShaderOpcode : int32_t {
    SHADER_ABS = 0, SHADER_ADD = 1, SHADER_CMP = 2, SHADER_CRS = 3, SHADER_DP3 = 4, SHADER_DP4 = 5,
    SHADER_DST = 7, SHADER_EXP = 8, SHADER_EXPP = 9, SHADER_FRC = 11, SHADER_TEXKILL = 12,
    SHADER_LIT = 13, SHADER_LOG = 14, SHADER_LOGP = 15, SHADER_LRP = 16, SHADER_MAD = 17,
    SHADER_MAX = 18, SHADER_MIN = 19, SHADER_MOV = 20, SHADER_MOVA = 21, SHADER_MUL = 22,
    SHADER_NOP = 23, SHADER_NRM = 24, SHADER_POW = 25, SHADER_RCP = 26, SHADER_RSQ = 27,
    SHADER_SGE = 28, SHADER_SGN = 29, SHADER_SINCOS = 30, SHADER_SIN = 31, SHADER_COS = 32,
    SHADER_SLT = 33, SHADER_SUB = 34, SHADER_TEXLD = 35,
};

// Swizzle selector that ends the list (a first one means no swizzle or mask).
constexpr uint8_t SWIZZLE_END = 255;
// Register flag bit 0: negate the source.
constexpr int32_t REGISTER_NEGATE = 1;
// Instruction flag bit 0: saturate the result.
constexpr int32_t INSTRUCTION_SATURATE = 1;

// Builds one shader program at register level. Temporaries are handed out
// without limit; the optimiser packs them into hardware registers later.
class ShaderGen {
public:
    struct Register {
        struct Param {
            RegisterKind type;
            int32_t index;
            int32_t flags;     // bit 0 negate; a sampler's whole word is its TextureType
            uint8_t relative;  // non-zero: c[index + a0.x]
            uint8_t swizzle[4];
        } param;

        Register();
        Register(RegisterKind type, int32_t index);

        Register offset(int n) const;
        Register negate() const;
        // A swizzle or write mask of up to four of x, y, z, w, composed with
        // the register's own; "relative" turns on relative addressing.
        Register swizzle(const std::string& text) const;

        bool hasSwizzle() const { return param.swizzle[0] != SWIZZLE_END; }
        bool sameRegister(const Register& other) const
        {
            return param.type == other.param.type && param.index == other.param.index;
        }
    };

    struct Instruction {
        int32_t opcode;
        int32_t flags;
        int32_t operandCount;
        Register operands[4]; // the destination first
    };

    ShaderGen();

    // Register makers.
    Register temp();
    Register attrib(int index);
    Register vary(int id);
    Register newVary();
    Register result(int id);
    Register addressRegister();
    Register uniform(int index, int size);
    Register sampler(int index, TextureType type);
    Register constant(const float value[4]);
    Register constant(const Vec<float, 4>& value);
    Register zeroConstant();
    void setConstant(const Register& reg, const Vec<float, 4>& value);

    // Emitters: one per opcode, returning the builder so that calls chain.
    ShaderGen& abs(const Register& d, const Register& s);
    ShaderGen& add(const Register& d, const Register& a, const Register& b);
    ShaderGen& cmp(const Register& d, const Register& a, const Register& b, const Register& c);
    ShaderGen& crs(const Register& d, const Register& a, const Register& b);
    ShaderGen& dp3(const Register& d, const Register& a, const Register& b);
    ShaderGen& dp4(const Register& d, const Register& a, const Register& b);
    ShaderGen& dst(const Register& d, const Register& a, const Register& b);
    ShaderGen& exp(const Register& d, const Register& s);
    ShaderGen& expp(const Register& d, const Register& s);
    ShaderGen& frc(const Register& d, const Register& s);
    ShaderGen& texkill(const Register& s);
    ShaderGen& lit(const Register& d, const Register& s);
    ShaderGen& log(const Register& d, const Register& s);
    ShaderGen& logp(const Register& d, const Register& s);
    ShaderGen& lrp(const Register& d, const Register& a, const Register& b, const Register& c);
    ShaderGen& mad(const Register& d, const Register& a, const Register& b, const Register& c);
    ShaderGen& max(const Register& d, const Register& a, const Register& b);
    ShaderGen& min(const Register& d, const Register& a, const Register& b);
    ShaderGen& mov(const Register& d, const Register& s);
    ShaderGen& mova(const Register& d, const Register& s);
    ShaderGen& mul(const Register& d, const Register& a, const Register& b);
    ShaderGen& nop(const Register& r);
    ShaderGen& nrm(const Register& d, const Register& s);
    ShaderGen& pow(const Register& d, const Register& a, const Register& b);
    ShaderGen& rcp(const Register& d, const Register& s);
    ShaderGen& rsq(const Register& d, const Register& s);
    ShaderGen& sge(const Register& d, const Register& a, const Register& b);
    ShaderGen& sgn(const Register& d, const Register& s, const Register& scratch1, const Register& scratch2);
    ShaderGen& sincos(const Register& d, const Register& s, const Register& constant1, const Register& constant2);
    ShaderGen& sin(const Register& d, const Register& s);
    ShaderGen& cos(const Register& d, const Register& s);
    ShaderGen& slt(const Register& d, const Register& a, const Register& b);
    ShaderGen& sub(const Register& d, const Register& a, const Register& b);
    ShaderGen& texld(const Register& d, const Register& coordinate, const Register& sampler);
    // Sets the saturate bit of the last instruction.
    ShaderGen& saturate();

    void getProgram(ShaderProgram& program);
    // Optimise the program (rewriting this builder's instructions) and hand
    // it to the render core; the caller owns the shader.
    VertexShader* createVertexShader(ShaderProgram& program);
    PixelShader* createPixelShader(ShaderProgram& program);
    // Forgets the instructions and restarts the counters; constants stay.
    void reset();

private:
    ShaderGen& emit(int32_t opcode, std::initializer_list<const Register*> operands);

    std::vector<Instruction> instructions;
    std::vector<Vec<float, 4>> constants;
    int tempCounter = 0;
    int uniformCount = 0;
    int varyCounter = VARY_TEXCOORD0;
};

// A program as the builder holds it: points into the builder's storage and
// owns nothing. The optimiser rewrites the instructions in place.
class ShaderProgram {
public:
    int instructionCount = 0;
    ShaderGen::Instruction* instructions = nullptr;
    int constantCount = 0;
    const Vec<float, 4>* constants = nullptr;
    int uniformCount = 0; // highest uniform index + size
};

} // namespace Core
} // namespace Vostrel
