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

} // namespace

void buildRandomProgram(ShaderGen& gen, bool vertex, std::mt19937& random, int length)
{
    ProgramGenerator(vertex, random).build(gen, length);
}

} // namespace VostrelTest
