#include <gtest/gtest.h>

#include "Libs/Common/Exception.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Tests/EvaluationGraph/GraphTesting.h"

#include <random>

using namespace Vostrel;
using namespace Vostrel::GraphTesting;

namespace {

// A value of a random graph and whether it exists per pixel only.
struct Operand {
    ShaderValue value;
    bool perPixel;
};

// Small random graphs that mix the stages: values from streams, uniforms and
// constants, some made per pixel by a texture read, the point-sprite
// coordinate or vs2ps, combined by random operations; the colour is the last
// value and the position the last per-vertex one.
class RandomGraph {
public:
    RandomGraph(ShaderGraph& graph, unsigned seed) : graph(graph), random(seed) {}

    ShaderValue makeColor(int operations)
    {
        pool.push_back({graph.vertexStream("a"), false});
        pool.push_back({graph.vertexStream("b"), false});
        pool.push_back({graph.uniform("u", 1), false});
        pool.push_back({graph.constant4(0.5f, -0.25f, 1.5f, 0.75f), false});
        for (int i = 0; i < operations; ++i)
            pool.push_back(operation());
        return pool.back().value;
    }

    ShaderValue lastPerVertex() const
    {
        for (auto it = pool.rbegin(); it != pool.rend(); ++it)
            if (!it->perPixel)
                return it->value;
        return pool.front().value;
    }

private:
    const Operand& pick() { return pool[std::uniform_int_distribution<size_t>(0, pool.size() - 1)(random)]; }
    int choose(int count) { return std::uniform_int_distribution<int>(0, count - 1)(random); }

    Operand operation()
    {
        const Operand& a = pick();
        const Operand& b = pick();
        bool either = a.perPixel || b.perPixel;
        switch (choose(16)) {
        case 0: return {a.value + b.value, either};
        case 1: return {a.value - b.value, either};
        case 2: return {a.value * b.value, either};
        case 3: return {max(a.value, b.value), either};
        case 4: return {min(a.value, 0.5f), a.perPixel};
        case 5: return {dp3(a.value, b.value) * 0.25f, either};
        case 6: return {dp4(a.value, b.value) * 0.25f, either};
        case 7: return {matrixProduct4(graph.uniform("m", 4), a.value), a.perPixel};
        case 8: return {matrixProduct3(graph.uniform("m", 4), a.value), a.perPixel};
        case 9: return {a.value[choose(4)], a.perPixel};
        case 10: return {frac(a.value) + abs(b.value), either};
        case 11: return {compose4(a.value, b.value[choose(4)], a.value, -b.value), either};
        case 12: return {texld(a.value, graph.texture(choose(2) ? "t" : "s", 0)), true};
        case 13: return {vs2ps(a.value), true};
        case 14: return {graph.pointSpriteCoord() * a.value, true};
        default: return {sqrt(abs(a.value)) + rsq(b.value * b.value + 1.0f), either};
        }
    }

    ShaderGraph& graph;
    std::mt19937 random;
    std::vector<Operand> pool;
};

GraphInputs randomInputs(unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> value(-2.0f, 2.0f);
    auto vec = [&] { return Vec4(value(random), value(random), value(random), value(random)); };
    GraphInputs inputs;
    inputs.streams["a"] = vec();
    inputs.streams["b"] = vec();
    inputs.setUniform("u", vec());
    inputs.uniforms["m"] = {vec(), vec(), vec(), vec()};
    inputs.pointSpriteCoord = Vec4(0.25f, 0.75f, 0.0f, 1.0f);
    inputs.textures["t"] = [](const Vec4& c) { return Vec4(c[0] * 0.5f, c[1] + 0.25f, c[0] * c[1], 1.0f); };
    inputs.textures["s"] = [](const Vec4& c) { return Vec4(c[2], c[3] - c[0], 0.5f, c[1]); };
    return inputs;
}

} // namespace

typedef GraphTest RandomShaderGraphs;

// Per-vertex values computed where they can be, shared subexpressions,
// uniforms in both stages and interpolators must all leave the value of
// the graph as it is.
TEST_F(RandomShaderGraphs, BuiltShadersComputeWhatTheGraphSays)
{
    int built = 0;
    for (unsigned seed = 1; seed <= 600; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        ShaderGraph graph;
        RandomGraph maker(graph, seed);
        ShaderValue color = maker.makeColor(3 + seed % 12);
        ShaderValue position = maker.lastPerVertex();
        graph.setColorResult(color);
        graph.setPosition(position);
        GraphInputs inputs = randomInputs(seed);
        Vec4 expectedColor = evaluate(color, inputs), expectedPosition = evaluate(position, inputs);
        ShaderBuild build;
        try {
            build = graph.build();
        } catch (const Exception& e) {
            // Graphs past the limits of shader model 2.0 are refused by the
            // assembler; nothing else may fail.
            EXPECT_NE(e.message.find("Unable to assemble"), std::string::npos) << e.message;
            continue;
        }
        ++built;
        ShadedSample sample = interpret(*core, build, inputs);
        EXPECT_TRUE(nearLanes(expectedColor, sample.color, 1e-4f))
            << core->getVertexTexts().back() << core->getPixelTexts().back();
        EXPECT_TRUE(nearLanes(expectedPosition, sample.position, 1e-4f)) << core->getVertexTexts().back();
    }
    EXPECT_GT(built, 540);
}
