#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXShaderGen.h"
#include "Libs/Core/ShaderOptimization.h"
#include "Platform/Shader/ShaderParser.h"

#include <gtest/gtest.h>

#include <functional>

using namespace Vostrel;
using namespace Vostrel::Core;
typedef ShaderGen::Register Register;

namespace {

// The optimised program as the writer puts it, checked by the assembler.
std::string optimised(ShaderGen& gen, int stage = DXShaderGen::VERTEX_STAGE)
{
    ShaderProgram program;
    gen.getProgram(program);
    ShaderOptimization(program).run();
    std::string text = DXShaderGen::generate(program, stage);
    try {
        Shader::assemble(text);
    } catch (const Shader::AssemblyError& error) {
        ADD_FAILURE() << text << error.what();
    }
    return text;
}

std::string body(const std::string& text)
{
    size_t at = text.find('\n');
    std::string rest = text.substr(at + 1);
    while (rest.rfind("dcl", 0) == 0 || rest.rfind("def", 0) == 0)
        rest = rest.substr(rest.find('\n') + 1);
    return rest;
}

} // namespace

TEST(ShaderOptimization, DropsWhatOnlyFeedsUnreadTemporaries)
{
    ShaderGen gen;
    Register a = gen.temp(), b = gen.temp(), c = gen.temp();
    gen.mul(a, gen.attrib(0), gen.uniform(0, 1));
    gen.add(b, a, a);
    gen.rcp(c, b.swizzle("x"));
    gen.mov(gen.vary(VARY_POSITION), gen.attrib(0));
    EXPECT_EQ(body(optimised(gen)), "mov oPos,v0\n");
}

TEST(ShaderOptimization, MovesIntoResultsStayMovesIntoInterpolatorsFold)
{
    ShaderGen pixel;
    Register t = pixel.temp();
    pixel.mul(t, pixel.vary(VARY_TEXCOORD0), pixel.uniform(0, 1));
    pixel.mov(pixel.result(RESULT_COLOR), t);
    EXPECT_EQ(body(optimised(pixel, DXShaderGen::PIXEL_STAGE)), "mul r0,t0,c0\nmov oC0,r0\n");

    ShaderGen vertex;
    Register u = vertex.temp();
    vertex.mul(u, vertex.attrib(0), vertex.uniform(0, 1));
    vertex.mov(vertex.vary(VARY_COLOR0), u);
    EXPECT_EQ(body(optimised(vertex)), "mul oD0,v0,c0\n");
}

TEST(ShaderOptimization, ChainedMovsFoldFromTheLast)
{
    ShaderGen gen;
    Register t0 = gen.temp(), t1 = gen.temp(), t2 = gen.temp();
    gen.mov(t0, gen.attrib(0));
    gen.add(t1, t0, t0);
    gen.mov(t2, t1);
    gen.mov(gen.vary(VARY_TEXCOORD0), t2);
    EXPECT_EQ(body(optimised(gen)), "add oT0,v0,v0\n");
}

TEST(ShaderOptimization, ConstantMovStaysWhenReadWithAnotherConstantRegister)
{
    ShaderGen kept;
    Register t0 = kept.temp(), t1 = kept.temp();
    kept.mov(t0, kept.constant(Vec<float, 4>(1, 2, 3, 4)));
    kept.add(t1, t0, kept.uniform(4, 1));
    kept.mov(kept.vary(VARY_POSITION), t1);
    EXPECT_EQ(body(optimised(kept)), "mov r0,c5\nadd oPos,r0,c4\n");

    ShaderGen folded;
    Register u0 = folded.temp(), u1 = folded.temp(), u2 = folded.temp();
    folded.mov(u1, folded.attrib(1));
    folded.add(u1, u1, u1);
    folded.mov(u0, folded.constant(Vec<float, 4>(1, 2, 3, 4)));
    folded.add(u2, u0, u1);
    folded.mov(folded.vary(VARY_POSITION), u2);
    std::string text = optimised(folded);
    EXPECT_EQ(body(text), "mov r0,v1\nadd r0,r0,r0\nadd oPos,c0,r0\n");
    // The other operand may no longer take a constant-like register.
    ShaderGen order;
    Register w0 = order.temp(), w1 = order.temp(), w2 = order.temp();
    order.mov(w0, order.constant(Vec<float, 4>(1, 2, 3, 4)));
    order.mov(w1, order.uniform(0, 1));
    order.add(w2, w1, w0);
    order.mov(order.vary(VARY_POSITION), w2);
    EXPECT_EQ(body(optimised(order)), "mov r0,c1\nadd oPos,c0,r0\n");
}

TEST(ShaderOptimization, ShortLivedTemporariesShareRegisters)
{
    ShaderGen gen;
    Register previous = gen.temp();
    gen.mov(previous, gen.attrib(0));
    for (int i = 0; i < 40; ++i) {
        Register next = gen.temp();
        gen.mul(next, previous, previous.swizzle("yzwx"));
        previous = next;
    }
    gen.mov(gen.vary(VARY_POSITION), previous);
    ShaderProgram program;
    gen.getProgram(program);
    ShaderOptimization(program).run();
    int highest = 0;
    for (int i = 0; i < program.instructionCount; ++i)
        for (int k = 0; k < program.instructions[i].operandCount; ++k)
            if (program.instructions[i].operands[k].param.type == REGISTER_TEMP)
                highest = std::max(highest, program.instructions[i].operands[k].param.index);
    EXPECT_LE(highest, 1);
    EXPECT_EQ(program.instructionCount, 40); // both movs fold away
}

TEST(ShaderOptimization, DestinationsStayApartWhereTheAssemblerDemands)
{
    struct Case {
        const char* name;
        std::function<void(ShaderGen&, Register, Register, Register)> emit;
        int stage;
    };
    const Case cases[] = {
        {"pow", [](ShaderGen& g, Register d, Register a, Register b) { g.pow(d, a.swizzle("x"), b.swizzle("y")); },
         DXShaderGen::VERTEX_STAGE},
        {"lrp", [](ShaderGen& g, Register d, Register a, Register b) { g.lrp(d, a, b, a); },
         DXShaderGen::PIXEL_STAGE},
        {"sincos",
         [](ShaderGen& g, Register d, Register a, Register) {
             g.sincos(d.swizzle("xy"), a.swizzle("x"), g.constant(Vec<float, 4>(1.0f)),
                      g.constant(Vec<float, 4>(2.0f)));
         },
         DXShaderGen::VERTEX_STAGE},
        {"crs", [](ShaderGen& g, Register d, Register a, Register b) { g.crs(d.swizzle("xyz"), a, b); },
         DXShaderGen::VERTEX_STAGE},
        {"nrm", [](ShaderGen& g, Register d, Register a, Register) { g.nrm(d, a); }, DXShaderGen::VERTEX_STAGE},
        // Two fresh scratch temporaries: written by sgn, never read.
        {"sgn", [](ShaderGen& g, Register d, Register a, Register) { g.sgn(d, a, g.temp(), g.temp()); },
         DXShaderGen::VERTEX_STAGE},
    };
    for (const Case& c : cases) {
        ShaderGen gen;
        bool vertex = c.stage == DXShaderGen::VERTEX_STAGE;
        Register a = gen.temp(), b = gen.temp(), d = gen.temp(), out = gen.temp();
        Register input = vertex ? gen.attrib(0) : gen.vary(VARY_TEXCOORD0);
        gen.add(a, input, input);
        gen.mul(b, input, input);
        c.emit(gen, d, a, b);
        gen.add(out, d, d);
        gen.mov(vertex ? gen.vary(VARY_POSITION) : gen.result(RESULT_COLOR), out);
        std::string text = optimised(gen, c.stage);
        EXPECT_NE(text.find(c.name), std::string::npos) << text;
    }
}

// A temporary moved into an output is renamed to that output only where the
// result still assembles and computes the same.
TEST(ShaderOptimization, MovesIntoOutputsStayWhereFoldingWouldChangeTheProgram)
{
    struct Case {
        const char* name;
        std::function<void(ShaderGen&, Register)> define; // writes the temporary
        int output;
        const char* expected;
    };
    const Case cases[] = {
        {"pow writes a temporary",
         [](ShaderGen& g, Register t) { g.pow(t, g.attrib(0).swizzle("x"), g.attrib(0).swizzle("y")); },
         VARY_TEXCOORD0, "pow r0,v0.x,v0.y\nmov oT0,r0\n"},
        {"nrm writes a temporary", [](ShaderGen& g, Register t) { g.nrm(t, g.attrib(0)); }, VARY_TEXCOORD0,
         "nrm r0,v0\nmov oT0,r0\n"},
        {"crs writes a temporary",
         [](ShaderGen& g, Register t) { g.crs(t.swizzle("xyz"), g.attrib(0), g.uniform(0, 1)); }, VARY_TEXCOORD0,
         "crs r0.xyz,v0,c0\nmov oT0,r0\n"},
        {"sincos writes a temporary",
         [](ShaderGen& g, Register t) {
             g.sincos(t.swizzle("xy"), g.attrib(0).swizzle("z"), g.uniform(0, 1), g.uniform(1, 1));
         },
         VARY_TEXCOORD0, "sincos r0.xy,v0.z,c0,c1\nmov oT0,r0\n"},
        {"the point size reads x of every source",
         [](ShaderGen& g, Register t) { g.dp3(t, g.attrib(0), g.uniform(0, 1)); }, VARY_POINT_SIZE,
         "dp3 r0,v0,c0\nmov oPts,r0.x\n"},
        {"the fog takes .x only",
         [](ShaderGen& g, Register t) { g.mul(t.swizzle("y"), g.attrib(0), g.uniform(0, 1)); }, VARY_FOG,
         "mul r0.y,v0,c0\nmov oFog,r0\n"},
        {"an earlier write to the output must stay first",
         [](ShaderGen& g, Register t) {
             g.mul(t, g.attrib(0), g.uniform(0, 1));
             g.add(g.vary(VARY_TEXCOORD0), g.attrib(0), g.uniform(1, 1));
         },
         VARY_TEXCOORD0, "mul r0,v0,c0\nadd oT0,v0,c1\nmov oT0,r0\n"},
        {"a plain definition folds", [](ShaderGen& g, Register t) { g.mul(t, g.attrib(0), g.uniform(0, 1)); },
         VARY_TEXCOORD0, "mul oT0,v0,c0\n"},
    };
    for (const Case& c : cases) {
        ShaderGen gen;
        Register t = gen.temp();
        c.define(gen, t);
        gen.mov(gen.vary(c.output), t);
        EXPECT_EQ(body(optimised(gen)), c.expected) << c.name;
    }
}

TEST(ShaderOptimization, RenamesOnlyRegistersWithOneDefinition)
{
    // t1 is a copy of t0 that is later changed in part; t0 must keep its
    // own value for the final add.
    ShaderGen gen;
    Register t0 = gen.temp(), t1 = gen.temp(), t2 = gen.temp();
    gen.add(t0, gen.attrib(0), gen.attrib(0));
    gen.mov(t1, t0);
    gen.mul(t1.swizzle("x"), t1, gen.uniform(0, 1));
    gen.add(t2, t0, t1);
    gen.mov(gen.vary(VARY_POSITION), t2);
    EXPECT_EQ(body(optimised(gen)), "add r0,v0,v0\nmov r1,r0\nmul r1.x,r1,c0\nadd oPos,r0,r1\n");
}

TEST(ShaderOptimization, TextureCoordinatesStayInTextureRegisters)
{
    ShaderGen gen;
    Register coordinate = gen.temp(), colour = gen.temp();
    gen.mov(coordinate, gen.uniform(0, 1));
    gen.texld(colour, coordinate, gen.sampler(0, TEXTURE_TYPE_2D));
    gen.texkill(coordinate);
    gen.mov(gen.result(RESULT_COLOR), colour);
    EXPECT_EQ(body(optimised(gen, DXShaderGen::PIXEL_STAGE)), "mov r0,c0\ntexld r1,r0,s0\ntexkill r0\nmov oC0,r1\n");
}

TEST(ShaderOptimization, ReadingAnUnwrittenTemporaryThrows)
{
    ShaderGen gen;
    Register never = gen.temp();
    gen.mov(gen.vary(VARY_POSITION), never.swizzle("x"));
    ShaderProgram program;
    gen.getProgram(program);
    try {
        ShaderOptimization(program).run();
        ADD_FAILURE() << "no exception";
    } catch (const Exception& exception) {
        EXPECT_EQ(exception.message, "Using uninitialized temporary register.");
        EXPECT_STREQ(exception.file, "Libs\\Core\\ShaderOptimization");
    }
}
