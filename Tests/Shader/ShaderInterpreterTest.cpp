#include "Platform/Shader/ShaderInterpreter.h"
#include "Platform/Shader/ShaderParser.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

using namespace Shader;

namespace {

const float INF = std::numeric_limits<float>::infinity();

// Runs `body` with v0 = (1, 2, 3, 4), v1 = c0 = (0, -4, 2, 8), c1 = (-1.25, 0.25, 8, 4),
// c2 = (0.5, -1, 2, -4), c3 = (7, 7, 7, 7) and returns r0.
Vec4 runVertex(const std::string& body, Machine* result = nullptr)
{
    Program program = assemble("vs_2_0\ndcl_texcoord0 v0\ndcl_texcoord1 v1\n" + body);
    Machine machine;
    machine.inputs[0] = {1, 2, 3, 4};
    machine.inputs[1] = {0, -4, 2, 8};
    machine.constants[2] = {0.5f, -1, 2, -4};
    machine.constants[0] = {0, -4, 2, 8};
    machine.constants[1] = {-1.25f, 0.25f, 8, 4};
    machine.constants[3] = {7, 7, 7, 7};
    execute(program, machine);
    if (result)
        *result = machine;
    return machine.temps[0];
}

Vec4 runPixel(const std::string& body, Machine* result = nullptr)
{
    Program program = assemble("ps_2_0\ndcl v0\ndcl t0\ndcl_2d s0\ndcl_cube s3\n" + body);
    Machine machine;
    machine.inputs[0] = {0.25f, 0.5f, 0.75f, 1};
    machine.texcoords[0] = {0.5f, -0.5f, 2, 3};
    machine.constants[0] = {-1, 0, 2, 0.5f};
    machine.constants[1] = {10, 20, 30, 40};
    machine.sample = [](int sampler, TextureType type, const Vec4& at) {
        return Vec4{static_cast<float>(sampler), static_cast<float>(type), at[0] + at[1], at[2]};
    };
    execute(program, machine);
    if (result)
        *result = machine;
    return machine.temps[0];
}

} // namespace

TEST(ShaderInterpreter, ComputesEachInstruction)
{
    struct Case {
        const char* body;
        Vec4 expected;
    };
    const float pi = 3.14159265f;
    const Case cases[] = {
        {"add r0, v0, c2\n", {1.5f, 1, 5, 0}},
        {"sub r0, v0, c2\n", {0.5f, 3, 1, 8}},
        {"mul r0, v0, c2\n", {0.5f, -2, 6, -16}},
        {"mad r0, v0, v0, c0\n", {1, 0, 11, 24}},
        {"mov r0, -v0.wzyx\n", {-4, -3, -2, -1}},
        {"mov r0, v0.xy\n", {1, 2, 2, 2}},
        {"mov r0.xz, v0\n", {1, 0, 3, 0}},
        {"abs r0, c2\n", {0.5f, 1, 2, 4}},
        {"dp3 r0, v0, c2\n", {4.5f, 4.5f, 4.5f, 4.5f}},
        {"dp4 r0, v0, c2\n", {-11.5f, -11.5f, -11.5f, -11.5f}},
        {"max r0, v0, c2\n", {1, 2, 3, 4}},
        {"min r0, v0, c2\n", {0.5f, -1, 2, -4}},
        {"sge r0, c2, v1\n", {1, 1, 1, 0}},
        {"slt r0, c2, v1\n", {0, 0, 0, 1}},
        {"sgn r0, c2, r1, r2\n", {1, -1, 1, -1}},
        {"frc r0, c1\n", {0.75f, 0.25f, 0, 0}},
        {"rcp r0, c2.x\n", {2, 2, 2, 2}},
        {"rcp r0, c2\n", {2, 2, 2, 2}}, // no swizzle reads x
        {"rcp r0, c0.x\n", {INF, INF, INF, INF}},
        {"rsq r0, c0.y\n", {0.5f, 0.5f, 0.5f, 0.5f}},
        {"rsq r0, c0.x\n", {INF, INF, INF, INF}},
        {"log r0, c0.y\n", {2, 2, 2, 2}},
        {"log r0, c0.x\n", {-FLT_MAX, -FLT_MAX, -FLT_MAX, -FLT_MAX}},
        {"logp r0, c1.z\n", {3, 3, 3, 3}},
        {"exp r0, c0.z\n", {4, 4, 4, 4}},
        {"expp r0, -v0.y\n", {0.25f, 0.25f, 0.25f, 0.25f}},
        {"pow r0, c0.y, c0.z\n", {16, 16, 16, 16}},
        {"pow r0, c0.x, c0.x\n", {1, 1, 1, 1}},
        {"lrp r0, c1.y, c1.z, c1.w\n", {5, 5, 5, 5}},
        {"crs r0.xyz, v0, c1\n", {15.25f, -11.75f, 2.75f, 0}},
        {"nrm r0, c1.wwxy\n", {0.6904510f, 0.6904510f, -0.2157659f, 0.0431532f}},
        {"nrm r0, c0.x\n", {0, 0, 0, 0}},
        {"dst r0, v0, c2\n", {1, -2, 3, -4}},
        {"lit r0, c1.yxyw\n", {1, 0.25f, 0, 1}},
        {"lit r0, c1.yyzw\n", {1, 0.25f, 0.00390625f, 1}},
        {"mov r0, c[1+a0.x]\nmova a0.x, c0.z\nmov r0, c[1+a0.x]\n", {7, 7, 7, 7}},
        {"mova a0.y, -c2.x\nmov r0, c[a0.y+1]\n", {-1.25f, 0.25f, 8, 4}},
        {"mova a0.x, v0.w\nmov r0, c[253+a0.x]\n", {0, 0, 0, 0}},
        {"def c1, 9, 8, 7, 6\nmov r0, c1\n", {9, 8, 7, 6}},
        {"mova a0.x, c2.x\nmov r0, c[a0.x]\n", {-1.25f, 0.25f, 8, 4}},
    };
    for (const Case& c : cases) {
        Vec4 value = runVertex(c.body);
        for (int i = 0; i < 4; ++i) {
            if (std::isinf(c.expected[i]))
                EXPECT_EQ(value[i], c.expected[i]) << c.body;
            else
                EXPECT_NEAR(value[i], c.expected[i], 1e-5f * std::max(1.0f, std::fabs(c.expected[i]))) << c.body;
        }
    }
    Vec4 sincos = runVertex("def c5, 0.5235988, 0, 0, 0\ndef c6, 1, 2, 3, 4\ndef c7, 1, 2, 3, 4\n"
                            "mov r0, v0\nsincos r0.xy, c5.x, c6, c7\n");
    EXPECT_NEAR(sincos[0], std::cos(pi / 6), 1e-6f);
    EXPECT_NEAR(sincos[1], 0.5f, 1e-6f);
    EXPECT_EQ(sincos[2], 3.0f); // z and w are not written
    EXPECT_EQ(sincos[3], 4.0f);
    Vec4 sine = runVertex("def c5, 0.5235988, 0, 0, 0\ndef c6, 1, 2, 3, 4\ndef c7, 1, 2, 3, 4\n"
                          "mov r0, v0\nsincos r0.y, c5.x, c6, c7\n");
    EXPECT_EQ(sine[0], 1.0f);
    EXPECT_NEAR(sine[1], 0.5f, 1e-6f);
}

TEST(ShaderInterpreter, MovaRoundsToNearest)
{
    Machine machine;
    runVertex("def c9, 0.6, -0.6, 2.4, 1e30\nmova a0, c9\n", &machine);
    EXPECT_EQ(machine.address, (std::array<int, 4>{1, -1, 2, 1024}));
}

TEST(ShaderInterpreter, TemporariesAndOutputsStartAtZero)
{
    Machine machine;
    Vec4 value = runVertex("add r0, r0, r5\nmov oPos.xy, v0\n", &machine);
    EXPECT_EQ(value, (Vec4{0, 0, 0, 0}));
    EXPECT_EQ(machine.position, (Vec4{1, 2, 0, 0}));
}

TEST(ShaderInterpreter, ColourOutputsSaturate)
{
    Machine machine;
    runVertex("mov oD0, v1\nmov oD1, v0.x\nmov oT0, v1\nmov oFog, v0.z\nmov oPts, v1.w\n", &machine);
    EXPECT_EQ(machine.colors[0], (Vec4{0, 0, 1, 1}));
    EXPECT_EQ(machine.colors[1], (Vec4{1, 1, 1, 1}));
    EXPECT_EQ(machine.texcoordOutputs[0], (Vec4{0, -4, 2, 8}));
    EXPECT_EQ(machine.fog[0], 3.0f);
    EXPECT_EQ(machine.pointSize[0], 8.0f);
    EXPECT_TRUE(machine.wrotePointSize);
}

TEST(ShaderInterpreter, PixelInstructions)
{
    EXPECT_EQ(runPixel("cmp r0, c0, v0, t0\n"), (Vec4{0.5f, 0.5f, 0.75f, 1}));
    EXPECT_EQ(runPixel("add_sat r0, t0, c0.w\n"), (Vec4{1, 0, 1, 1}));
    EXPECT_EQ(runPixel("mul_sat r0, v0, c0.x\n"), (Vec4{0, 0, 0, 0}));
    EXPECT_EQ(runPixel("texld r0, t0, s0\n"), (Vec4{0, 0, 0, 2}));
    EXPECT_EQ(runPixel("texld r0, t0, s3\n"), (Vec4{3, 2, 0, 2}));
    EXPECT_EQ(runPixel("mov r1, c0\ntexld r0, r1, s0\n"), (Vec4{0, 0, -1, 2}));
    EXPECT_EQ(runPixel("lrp r0, v0, c1, c0\n"), (Vec4{1.75f, 10, 23, 40}));

    Machine machine;
    runPixel("mov oC0, c1\nmov oDepth, v0.y\n", &machine);
    EXPECT_EQ(machine.renderTargets[0], (Vec4{10, 20, 30, 40}));
    EXPECT_EQ(machine.depth[0], 0.5f);
    EXPECT_FALSE(machine.killed);
}

TEST(ShaderInterpreter, TexkillTestsXyzOnly)
{
    struct Case {
        const char* body;
        bool killed;
    };
    const Case cases[] = {
        {"texkill t0\n", true},          // y < 0
        {"mov r0, c1\ntexkill r0\n", false},
        {"def c5, 1, 1, 1, -1\nmov r0, c5\ntexkill r0\n", false}, // only w < 0
        {"mov r0, c0.yzxw\ntexkill r0\n", true},  // z < 0
    };
    for (const Case& c : cases) {
        Machine machine;
        runPixel(c.body, &machine);
        EXPECT_EQ(machine.killed, c.killed) << c.body;
    }
}
