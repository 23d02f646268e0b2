#include "Tests/Core/Shader/RandomShaderProgram.h"

#include <string>
#include <vector>

using namespace Vostrel;
using namespace Vostrel::Core;
typedef ShaderGen::Register Register;

namespace VostrelTest {

namespace {

const float SINCOS_CONSTANT1[4] = {-1.5500992e-006f, -2.1701389e-005f, 0.0026041667f, 0.00026041668f};
const float SINCOS_CONSTANT2[4] = {-0.020833334f, -0.12500000f, 1.0f, 0.50000000f};

typedef std::vector<Register> Sources;

// The instructions that take sources from the generator's usual mix and
// write one register.
struct Operation {
    enum Stages { BOTH, VERTEX, PIXEL } stages;
    int sources;
    bool replicate;        // scalar: reads one component
    bool wholeDestination; // a new temporary, never part of one
    bool saturates;        // ps_2_0 takes _sat on it
    void (*emit)(ShaderGen&, const Register& d, const Sources& s);
};

const Operation OPERATIONS[] = {
    {Operation::BOTH, 2, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.add(d, s[0], s[1]); }},
    {Operation::BOTH, 2, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.sub(d, s[0], s[1]); }},
    {Operation::BOTH, 2, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.mul(d, s[0], s[1]); }},
    {Operation::BOTH, 3, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.mad(d, s[0], s[1], s[2]); }},
    {Operation::BOTH, 2, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.dp3(d, s[0], s[1]); }},
    {Operation::BOTH, 2, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.dp4(d, s[0], s[1]); }},
    {Operation::BOTH, 2, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.max(d, s[0], s[1]); }},
    {Operation::BOTH, 2, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.min(d, s[0], s[1]); }},
    {Operation::BOTH, 1, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.abs(d, s[0]); }},
    // Swizzled or negated copies.
    {Operation::BOTH, 1, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.mov(d, s[0]); }},
    {Operation::BOTH, 1, false, false, false,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.frc(d, s[0]); }},
    {Operation::BOTH, 1, true, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.rcp(d, s[0]); }},
    {Operation::BOTH, 1, true, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.rsq(d, s[0]); }},
    {Operation::BOTH, 1, true, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.exp(d, s[0]); }},
    {Operation::BOTH, 1, true, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.log(d, s[0]); }},
    {Operation::BOTH, 2, true, true, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.pow(d, s[0], s[1]); }},
    {Operation::BOTH, 3, false, true, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.lrp(d, s[0], s[1], s[2]); }},
    {Operation::BOTH, 1, false, true, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.nrm(d, s[0]); }},
    {Operation::PIXEL, 3, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.cmp(d, s[0], s[1], s[2]); }},
    {Operation::VERTEX, 2, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.slt(d, s[0], s[1]); }},
    {Operation::VERTEX, 2, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.sge(d, s[0], s[1]); }},
    {Operation::VERTEX, 2, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.dst(d, s[0], s[1]); }},
    {Operation::VERTEX, 1, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.lit(d, s[0]); }},
    {Operation::VERTEX, 1, true, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.expp(d, s[0]); }},
    {Operation::VERTEX, 1, true, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.logp(d, s[0]); }},
    // Two fresh scratch temporaries, never read.
    {Operation::VERTEX, 1, false, false, true,
     [](ShaderGen& g, const Register& d, const Sources& s) { g.sgn(d, s[0], g.temp(), g.temp()); }},
};

class ProgramGenerator {
public:
    ProgramGenerator(bool vertex, std::mt19937& random) : vertex(vertex), random(random)
    {
        for (const Operation& operation : OPERATIONS)
            if (operation.stages == Operation::BOTH || (operation.stages == Operation::VERTEX) == vertex)
                operations.push_back(&operation);
    }

    void build(ShaderGen& gen, int length)
    {
        this->gen = &gen;
        sincos1 = gen.constant(SINCOS_CONSTANT1);
        sincos2 = gen.constant(SINCOS_CONSTANT2);
        for (int i = 0; i < 3; ++i)
            defineWhole(gen.temp(), constantLike());
        // Read only by the last move into an interpolator that later adds
        // may write as well.
        Register early = gen.temp();
        if (vertex)
            gen.add(early, recent(), constantLike());
        for (int i = 0; i < length; ++i)
            instruction();
        if (vertex) {
            gen.mov(gen.vary(VARY_POSITION), recent());
            gen.mov(gen.vary(VARY_COLOR0), recent());
            gen.mov(gen.vary(VARY_TEXCOORD0 + 1), recent());
            gen.mov(gen.vary(VARY_POINT_SIZE), recent());
            gen.mov(gen.vary(VARY_TEXCOORD0 + 2 + pick(2)), early);
            if (chance(50))
                gen.mov(gen.vary(VARY_COLOR1), recent());
            if (chance(50))
                gen.mov(gen.vary(VARY_FOG).swizzle("x"), recent().swizzle(letter()));
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

    // One instruction of the table: its destination a new temporary written
    // whole, or part of one already whole.
    void emit(const Operation& operation)
    {
        bool fresh = operation.wholeDestination || !chance(25);
        static const char* MASKS[] = {"x", "xy", "yz", "w", "xzw", "z"};
        Register d = fresh ? gen->temp() : recent().swizzle(MASKS[pick(6)]);
        operation.emit(*gen, d, sources(operation.sources, operation.replicate));
        if (!vertex && operation.saturates && chance(15))
            gen->saturate();
        if (fresh)
            whole.push_back(d);
    }

    void instruction()
    {
        const int specials = 7;
        int choice = pick(static_cast<int>(operations.size()) + specials);
        if (choice < static_cast<int>(operations.size()))
            return emit(*operations[choice]);
        switch (choice - static_cast<int>(operations.size())) {
        case 0:
        case 1: { // plain movs: the folding cases
            Register d = gen->temp();
            gen->mov(d, chance(50) ? constantLike() : recent());
            whole.push_back(d);
            return;
        }
        case 2: { // cross product into part of a whole temporary
            static const char* MASKS[] = {"xyz", "x", "yz", "xz"};
            Register d = gen->temp();
            gen->mov(d, recent());
            auto s = sources(2, false, true);
            gen->crs(d.swizzle(MASKS[pick(4)]), s[0], s[1]);
            whole.push_back(d);
            return;
        }
        case 3: {
            static const char* MASKS[] = {"x", "y", "xy"};
            Register d = gen->temp();
            gen->mov(d, recent());
            gen->sincos(d.swizzle(MASKS[pick(3)]), recent().swizzle(letter()), sincos1, sincos2);
            whole.push_back(d);
            return;
        }
        case 4: { // straight into an output
            auto s = sources(2);
            gen->add(vertex ? gen->vary(VARY_TEXCOORD0 + 2 + pick(2)) : recent().swizzle("w"), s[0], s[1]);
            return;
        }
        }
        if (vertex) {
            // Relative reads stay inside the uniform array: a0.x is 0 or 1.
            Register fraction = gen->temp();
            gen->frc(fraction, recent());
            gen->mova(gen->addressRegister().swizzle("x"), fraction.swizzle(letter()));
            addressSet = true;
        } else if (chance(50)) {
            Register d = gen->temp();
            Register coordinate = chance(50) ? gen->vary(VARY_TEXCOORD0 + pick(2)) : recent();
            int sampler = pick(3);
            gen->texld(d, coordinate, gen->sampler(sampler, static_cast<TextureType>(sampler)));
            whole.push_back(d);
        } else {
            gen->texkill(chance(50) ? gen->vary(VARY_TEXCOORD0) : recent());
        }
    }

    bool vertex;
    std::mt19937& random;
    ShaderGen* gen = nullptr;
    Register sincos1, sincos2;
    std::vector<Register> whole;
    bool addressSet = false;
    std::vector<const Operation*> operations;
};

} // namespace

void buildRandomProgram(ShaderGen& gen, bool vertex, std::mt19937& random, int length)
{
    ProgramGenerator(vertex, random).build(gen, length);
}

} // namespace VostrelTest
