#include "Libs/Postprocessing/Blitter.h"
#include "Libs/Postprocessing/BlitterShared.h"

#include <array>

namespace Vostrel {

using Core::ShaderGen;
typedef ShaderGen::Register Register;

namespace {

const int PROGRAM_COUNT = 20;

enum VertexKind { COMMON_VERTEX, SHIFTED_VERTEX, ROTATED_VERTEX, RAY_VERTEX };

struct Program {
    VertexKind vertex;
    int extraVertexConstants;
    int pixelConstants;
    void (*writePixel)(ShaderGen& gen);
};

Vec4 all(float value)
{
    return Vec4(value, value, value, value);
}

Register texcoord(ShaderGen& gen, int set)
{
    return gen.vary(Core::VARY_TEXCOORD0 + set);
}

Register sample(ShaderGen& gen, int stage, int set)
{
    Register value = gen.temp();
    gen.texld(value, texcoord(gen, set), gen.sampler(stage, Core::TEXTURE_TYPE_2D));
    return value;
}

void output(ShaderGen& gen, const Register& value)
{
    gen.mov(gen.result(Core::RESULT_COLOR), value);
}

// Vertex programs: the quad is placed by c0 and c1.
void place(ShaderGen& gen, const Register& location, const Register& placement)
{
    Register scaled = gen.temp();
    gen.mul(scaled, location, placement);
    gen.add(gen.vary(Core::VARY_POSITION), scaled, placement.offset(1));
}

void writeCommonVertex(ShaderGen& gen)
{
    Register placement = gen.uniform(0, 4), scaled = gen.temp();
    place(gen, gen.attrib(0), placement);
    // A vertex instruction reads one constant register.
    gen.mul(scaled, gen.attrib(1), placement.offset(2));
    gen.add(texcoord(gen, 0), scaled, placement.offset(3));
    gen.mov(texcoord(gen, 1), gen.attrib(1));
}

void writeShiftedVertex(ShaderGen& gen)
{
    Register placement = gen.uniform(0, 5);
    place(gen, gen.attrib(0), placement);
    gen.add(texcoord(gen, 0), gen.attrib(1), placement.offset(4));
}

void writeRotatedVertex(ShaderGen& gen)
{
    Register placement = gen.uniform(0, 6), turned = gen.temp();
    gen.dp3(turned.swizzle("x"), gen.attrib(0), placement.offset(4));
    gen.dp3(turned.swizzle("y"), gen.attrib(0), placement.offset(5));
    gen.mov(turned.swizzle("zw"), gen.constant(Vec4(0.0f, 0.0f, 0.5f, 1.0f)).swizzle("zw"));
    place(gen, turned, placement);
    gen.mov(texcoord(gen, 0), gen.attrib(1));
}

// Seven points along a ray whose start is the 3 x 4 matrix c4..c6 applied
// to (u, v, 0, 1) and whose step is c7; set 7 keeps the quad's coordinate.
void writeRayVertex(ShaderGen& gen)
{
    Register constants = gen.uniform(0, 8), start = gen.temp();
    gen.mov(gen.vary(Core::VARY_POSITION), gen.attrib(0));
    gen.mov(start, gen.zeroConstant());
    const char* rows[] = {"x", "y", "z"};
    for (int row = 0; row < 3; ++row)
        gen.dp4(start.swizzle(rows[row]), constants.offset(4 + row), gen.attrib(1));
    for (int k = 0; k < 7; ++k) {
        gen.mov(texcoord(gen, k), start);
        gen.add(start, start, constants.offset(7));
    }
    gen.mov(texcoord(gen, 7), gen.attrib(1));
}

// Pixel programs; c0 and c1 are the caller's pixel constants.
void writeCopy(ShaderGen& gen)
{
    output(gen, sample(gen, 0, 0));
}

void writeWeighted(ShaderGen& gen)
{
    Register c = gen.uniform(0, 2), t = sample(gen, 0, 0), b = sample(gen, 1, 1), sum = gen.temp();
    gen.mul(sum, t, c);
    gen.mad(sum, b, c.offset(1), sum);
    output(gen, sum);
}

void writeNoise(ShaderGen& gen)
{
    Register c = gen.uniform(0, 1), t = sample(gen, 0, 0), dot = gen.temp(), fraction = gen.temp();
    gen.dp4(dot, t, c);
    gen.frc(fraction, dot.swizzle("x"));
    output(gen, fraction);
}

void writeBrightPass(ShaderGen& gen)
{
    Register c = gen.uniform(0, 1), t = sample(gen, 0, 0), m = gen.temp(), divisor = gen.temp(),
             reciprocal = gen.temp();
    gen.sub(m, t, c.swizzle("y"));
    gen.max(m, m, gen.zeroConstant());
    gen.add(divisor, m, c.swizzle("z"));
    gen.mov(reciprocal, gen.constant(all(1.0f)));
    gen.rcp(reciprocal.swizzle("x"), divisor.swizzle("x"));
    gen.rcp(reciprocal.swizzle("y"), divisor.swizzle("y"));
    gen.rcp(reciprocal.swizzle("z"), divisor.swizzle("z"));
    gen.mul(m, m, reciprocal);
    gen.mul(m, m, c.swizzle("x"));
    output(gen, m);
}

void writeTintByMask(ShaderGen& gen)
{
    Register c = gen.uniform(0, 2), t = sample(gen, 0, 0), b = sample(gen, 1, 1), mask = gen.temp(),
             keep = gen.temp(), tint = gen.temp();
    gen.mul(mask, c, b);
    gen.sub(keep, gen.constant(all(1.0f)), mask);
    gen.mul(tint, c.offset(1), mask);
    gen.mad(tint, t, keep, tint);
    output(gen, tint);
}

// Luminance with the YIQ row, chrominance I = 0.2, Q = 0, back through the
// inverse columns; alpha 0.
void writeSepia(ShaderGen& gen)
{
    Register t = sample(gen, 0, 0), y = gen.temp(), colour = gen.temp();
    gen.dp3(y, t, gen.constant(Vec4(0.299f, 0.587f, 0.114f, 0.0f)));
    gen.mad(colour, y.swizzle("x"), gen.constant(Vec4(1.0f, 1.0f, 1.0f, 0.0f)),
            gen.constant(Vec4(0.955688f * 0.2f, -0.271582f * 0.2f, -1.108177f * 0.2f, 0.0f)));
    output(gen, colour);
}

void writeLevelCurve(ShaderGen& gen)
{
    Register c = gen.uniform(0, 1), t = sample(gen, 0, 0), low = gen.temp(), slope = gen.temp(),
             high = gen.temp();
    gen.mul(low, c, t);
    gen.sub(slope, gen.constant(all(2.0f)), c);
    gen.add(high, c, gen.constant(all(-1.0f)));
    gen.mad(high, slope, t, high);
    gen.max(low, low, high);
    output(gen, low);
}

void writeFadeToColor(ShaderGen& gen)
{
    Register c = gen.uniform(0, 2), t = sample(gen, 0, 0), faded = gen.temp();
    gen.lrp(faded, c.offset(1), c, t);
    output(gen, faded);
}

void writeModulate(ShaderGen& gen)
{
    Register c = gen.uniform(0, 1), t = sample(gen, 0, 0), product = gen.temp();
    gen.mul(product, c, t);
    output(gen, product);
}

void writeInvert(ShaderGen& gen)
{
    Register t = sample(gen, 0, 0), inverse = gen.temp();
    gen.sub(inverse, gen.constant(all(1.0f)), t);
    output(gen, inverse);
}

void writeAddColor(ShaderGen& gen)
{
    Register c = gen.uniform(0, 1), t = sample(gen, 0, 0), sum = gen.temp();
    gen.add(sum, t, c);
    output(gen, sum);
}

// Two-texture programs reading both at set 0.
template <void (*combine)(ShaderGen&, const Register&, const Register&, const Register&)>
void writeTwo(ShaderGen& gen)
{
    Register t = sample(gen, 0, 0), b = sample(gen, 1, 0), result = gen.temp();
    combine(gen, result, t, b);
    output(gen, result);
}

void difference(ShaderGen& gen, const Register& d, const Register& t, const Register& b)
{
    gen.sub(d, t, b);
}
void minimum(ShaderGen& gen, const Register& d, const Register& t, const Register& b)
{
    gen.min(d, t, b);
}
void maximum(ShaderGen& gen, const Register& d, const Register& t, const Register& b)
{
    gen.max(d, t, b);
}
void screen(ShaderGen& gen, const Register& d, const Register& t, const Register& b)
{
    Register inverse = gen.temp();
    gen.sub(inverse, gen.constant(all(1.0f)), t);
    gen.mad(d, b, inverse, t);
}
// Per channel: the product below 0.5, the screen value from 0.5 on.
void overlay(ShaderGen& gen, const Register& d, const Register& t, const Register& b)
{
    Register product = gen.temp(), screened = gen.temp(), centred = gen.temp();
    gen.mul(product, t, b);
    screen(gen, screened, t, b);
    gen.add(centred, t, gen.constant(all(-0.5f)));
    gen.cmp(d, centred, screened, product);
}

void writeRayMarch(ShaderGen& gen)
{
    Register accumulator = gen.temp(), x = gen.temp(), s = gen.temp();
    Register weights = gen.constant(Vec4(0.3f * 0.8f, 0.59f * 0.8f, 0.11f * 0.8f, 0.0f));
    gen.texld(accumulator, texcoord(gen, 7), gen.sampler(0, Core::TEXTURE_TYPE_2D));
    Register volume = gen.sampler(1, Core::TEXTURE_TYPE_VOLUME);
    for (int k = 0; k < 7; ++k) {
        gen.texld(x, texcoord(gen, k), volume);
        gen.dp3(s, x, weights);
        gen.lrp(accumulator, s.swizzle("x"), x, accumulator);
    }
    output(gen, accumulator);
}

void writePasteNonBlack(ShaderGen& gen)
{
    Register t = sample(gen, 0, 0), b = sample(gen, 1, 1), s = gen.temp(), pasted = gen.temp();
    gen.dp3(s, b, gen.constant(Vec4(0.3f * 64.0f, 0.59f * 64.0f, 0.11f * 64.0f, 0.0f)));
    gen.min(s, s, gen.constant(all(1.0f)));
    gen.lrp(pasted, s.swizzle("x"), b, t);
    output(gen, pasted);
}

const Program programs[PROGRAM_COUNT] = {
    {COMMON_VERTEX, 0, 0, writeCopy},
    {SHIFTED_VERTEX, 1, 0, writeCopy},
    {ROTATED_VERTEX, 2, 0, writeCopy},
    {COMMON_VERTEX, 0, 2, writeWeighted},
    {COMMON_VERTEX, 0, 1, writeNoise},
    {COMMON_VERTEX, 0, 1, writeBrightPass},
    {COMMON_VERTEX, 0, 2, writeTintByMask},
    {COMMON_VERTEX, 0, 0, writeSepia},
    {COMMON_VERTEX, 0, 1, writeLevelCurve},
    {COMMON_VERTEX, 0, 2, writeFadeToColor},
    {COMMON_VERTEX, 0, 1, writeModulate},
    {COMMON_VERTEX, 0, 0, writeInvert},
    {COMMON_VERTEX, 0, 0, writeTwo<difference>},
    {COMMON_VERTEX, 0, 1, writeAddColor},
    {COMMON_VERTEX, 0, 0, writeTwo<minimum>},
    {COMMON_VERTEX, 0, 0, writeTwo<maximum>},
    {COMMON_VERTEX, 0, 0, writeTwo<screen>},
    {COMMON_VERTEX, 0, 0, writeTwo<overlay>},
    {RAY_VERTEX, 4, 0, writeRayMarch},
    {COMMON_VERTEX, 0, 0, writePasteNonBlack},
};

struct Shaders {
    Core::VertexShader* common = nullptr;
    std::array<Core::VertexShader*, PROGRAM_COUNT> vertex{};
    std::array<Core::PixelShader*, PROGRAM_COUNT> pixel{};
};

Shaders& shaders()
{
    static Shaders state;
    static bool registered = false;
    if (!registered) {
        registered = true;
        BlitterShared::atRelease([] {
            state = Shaders();
            registered = false;
        });
    }
    return state;
}

Core::VertexShader* vertexShaderOf(VertexKind kind)
{
    switch (kind) {
    case SHIFTED_VERTEX:
        return BlitterShared::keepVertexShader(writeShiftedVertex);
    case ROTATED_VERTEX:
        return BlitterShared::keepVertexShader(writeRotatedVertex);
    case RAY_VERTEX:
        return BlitterShared::keepVertexShader(writeRayVertex);
    default:
        return shaders().common;
    }
}

} // namespace

CustomBlitter* createPredefinedBlitter(int id)
{
    Shaders& state = shaders();
    if (!state.common)
        state.common = BlitterShared::keepVertexShader(writeCommonVertex);
    if (id < 0 || id >= PROGRAM_COUNT)
        return nullptr;
    const Program& program = programs[id];
    if (!state.vertex[id]) {
        state.vertex[id] = vertexShaderOf(program.vertex);
        state.pixel[id] = BlitterShared::keepPixelShader(program.writePixel);
    }
    return createCustomBlitter(state.vertex[id], program.extraVertexConstants, state.pixel[id],
                               program.pixelConstants);
}

} // namespace Vostrel
