#include <gtest/gtest.h>

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/EvaluationGraph/IntermediateShaderGraph.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Tests/EvaluationGraph/GraphTesting.h"

#include <memory>
#include <regex>

using namespace Vostrel;
using namespace Vostrel::GraphTesting;

namespace {

class ShaderGraphBuild : public GraphTest {
protected:
    const std::string& vertexText(const ShaderBuild& build) { return core->textOf(build.getVertexShader()); }
    const std::string& pixelText(const ShaderBuild& build) { return core->textOf(build.getPixelShader()); }
};

int countMatches(const std::string& text, const std::string& pattern)
{
    std::regex expression(pattern);
    return static_cast<int>(std::distance(std::sregex_iterator(text.begin(), text.end(), expression),
                                          std::sregex_iterator()));
}

bool hasLine(const std::string& text, const std::string& line)
{
    return ("\n" + text).find("\n" + line + "\n") != std::string::npos;
}

// The position every test graph needs: the "location" stream as it is.
void passPosition(ShaderGraph& graph)
{
    graph.setPosition(graph.vertexStream("location"));
}

std::string messageOf(const std::function<void()>& action)
{
    try {
        action();
    } catch (const Exception& e) {
        return e.message;
    }
    return "(nothing thrown)";
}

} // namespace

TEST_F(ShaderGraphBuild, TextureReadOfAStreamInterpolatesTheStreamAndSamplesSamplerZero)
{
    ShaderGraph graph;
    graph.setColorResult(texld(graph.vertexStream("texcoord"), graph.texture("texture1", 0)));
    ShaderBuild build = graph.build();

    EXPECT_EQ(build.getStreamNames(), (std::vector<std::string>{"texcoord"}));
    ASSERT_EQ(build.getTextureMap().size(), 1u);
    EXPECT_EQ(build.getTextureMap().at("texture1").sampler, 0u);
    EXPECT_EQ(build.getTextureMap().at("texture1").type, 0u);
    // The stream goes out through texture coordinate 0 (interpolator 8) and
    // is sampled there with sampler 0.
    EXPECT_TRUE(hasLine(vertexText(build), "mov oT0,v0")) << vertexText(build);
    EXPECT_TRUE(hasLine(pixelText(build), "dcl_2d s0")) << pixelText(build);
    EXPECT_TRUE(hasLine(pixelText(build), "dcl t0")) << pixelText(build);
    EXPECT_EQ(countMatches(pixelText(build), "texld r[0-9]+,t0,s0"), 1) << pixelText(build);
}

TEST_F(ShaderGraphBuild, UniformGetsARegisterInEachStageThatReadsIt)
{
    ShaderGraph graph;
    ShaderValue transform = graph.uniform("fullTransform", 4);
    graph.setPosition(matrixProduct4(transform, graph.vertexStream("location")));
    ShaderValue tint = graph.uniform("tint", 1);
    ShaderValue shared = graph.uniform("shared", 1);
    graph.setColorResult(texld(graph.vertexStream("texcoord"), graph.texture("t", 0)) * tint * shared);
    graph.setPointSize(shared);
    ShaderBuild build = graph.build();

    const ShaderBuild::UniformBinding* full = build.findUniform("fullTransform");
    const ShaderBuild::UniformBinding* pixelOnly = build.findUniform("tint");
    const ShaderBuild::UniformBinding* both = build.findUniform("shared");
    ASSERT_TRUE(full && pixelOnly && both);
    EXPECT_EQ(full->size, 4u);
    EXPECT_GE(full->vsReg, 0);
    EXPECT_EQ(full->psReg, -1);
    EXPECT_EQ(pixelOnly->vsReg, -1);
    EXPECT_GE(pixelOnly->psReg, 0);
    EXPECT_GE(both->vsReg, 0);
    EXPECT_GE(both->psReg, 0);
    EXPECT_EQ(build.getVertexUniformCount(), 5u);
    EXPECT_EQ(build.getPixelUniformCount(), 2u);
    EXPECT_EQ(build.findUniform("unknown"), nullptr);
}

TEST_F(ShaderGraphBuild, PointSpriteCoordinateTakesTextureCoordinateZero)
{
    struct Case {
        bool pointSprite;
        const char* vertexOutput;
        const char* pixelInput;
    } cases[] = {{false, "oT0", "t0"}, {true, "oT1", "t1"}};
    for (const Case& c : cases) {
        ShaderGraph graph;
        passPosition(graph);
        ShaderValue color = vs2ps(graph.vertexStream("color"));
        if (c.pointSprite)
            color = color * graph.pointSpriteCoord();
        graph.setColorResult(color);
        ShaderBuild build = graph.build();
        EXPECT_NE(vertexText(build).find(std::string("mov ") + c.vertexOutput + ",v1"), std::string::npos)
            << vertexText(build);
        EXPECT_NE(pixelText(build).find(std::string("dcl ") + c.pixelInput), std::string::npos) << pixelText(build);
        EXPECT_EQ(pixelText(build).find("dcl t0") != std::string::npos, true) << pixelText(build);
    }
}

TEST_F(ShaderGraphBuild, EqualSubexpressionsAreEmittedOnce)
{
    ShaderGraph graph;
    passPosition(graph);
    ShaderValue normal = graph.vertexStream("normal");
    ShaderValue light = graph.uniform("light", 1);
    // normalize(normal) written twice, and a commutative operation with its
    // operands swapped.
    ShaderValue a = dp3(normalize(vs2ps(normal)), light);
    ShaderValue b = dp3(light, normalize(vs2ps(normal)));
    graph.setColorResult(a + b * texld(vs2ps(graph.vertexStream("texcoord")), graph.texture("t", 0)));
    ShaderBuild build = graph.build();

    EXPECT_EQ(countMatches(pixelText(build), "\nrsq "), 1) << pixelText(build);
    EXPECT_EQ(countMatches(pixelText(build), "\ndp3 "), 2) << pixelText(build); // n.n and n.light
    EXPECT_EQ(countMatches(vertexText(build), "\nmov oT"), 2) << vertexText(build);
}

TEST_F(ShaderGraphBuild, ConstantUsedByBothStagesIsInBothPrograms)
{
    ShaderGraph graph;
    ShaderValue half = graph.constant4(0.5f, 0.25f, 0.125f, 1.0f);
    graph.setPosition(graph.vertexStream("location") * half);
    graph.setColorResult(texld(graph.vertexStream("texcoord"), graph.texture("t", 0)) * half);
    ShaderBuild build = graph.build();
    EXPECT_EQ(countMatches(vertexText(build), "def c[0-9]+,0.5,0.25,0.125,1"), 1) << vertexText(build);
    EXPECT_EQ(countMatches(pixelText(build), "def c[0-9]+,0.5,0.25,0.125,1"), 1) << pixelText(build);
}

TEST_F(ShaderGraphBuild, DuplicatesOfTheSameInputMergeIntoOne)
{
    ShaderGraph graph;
    ShaderValue first = graph.uniform("fullTransform", 4);
    ShaderValue second = graph.uniform("fullTransform", 4);
    ShaderValue location = graph.vertexStream("location");
    graph.setPosition(matrixProduct4(first, location) + matrixProduct4(second, graph.vertexStream("location")));
    graph.setColorResult(graph.constantScalar(1.0f));
    ShaderBuild build = graph.build();
    EXPECT_EQ(build.getVertexUniformCount(), 4u);
    EXPECT_EQ(build.getStreamNames().size(), 1u);
    EXPECT_EQ(countMatches(vertexText(build), "\ndp4 "), 4) << vertexText(build);
}

TEST_F(ShaderGraphBuild, SecondPositionIsDroppedByDeduplication)
{
    ShaderGraph graph;
    ShaderValue location = graph.vertexStream("location");
    graph.setPosition(location);
    graph.setPosition(location * 2.0f);
    graph.setColorResult(graph.constantScalar(1.0f));
    GraphInputs inputs;
    inputs.streams["location"] = Vec4(1.0f, 2.0f, 3.0f, 1.0f);
    ShaderBuild build = graph.build();
    EXPECT_EQ(countMatches(vertexText(build), "oPos"), 1) << vertexText(build);
    EXPECT_TRUE(nearLanes(Vec4(1.0f, 2.0f, 3.0f, 1.0f), interpret(*core, build, inputs).position, 0.0f));
}

// Built twice in one process, with other allocations in between, so that the
// nodes of the second graph sit at different addresses in a different order.
TEST_F(ShaderGraphBuild, IdenticallyBuiltGraphsGiveTheSameText)
{
    auto make = [] {
        ShaderGraph graph;
        ShaderValue transform = graph.uniform("fullTransform", 4);
        ShaderValue location = graph.vertexStream("location");
        ShaderValue normal = graph.vertexStream("normal");
        graph.setPosition(matrixProduct4(transform, location));
        ShaderValue light = graph.uniform("lightPos", 1);
        ShaderValue eye = graph.uniform("cameraPosition", 1);
        ShaderValue color = blinnPhongAttenuated(graph.uniform("diffuse", 1), graph.uniform("specular", 1),
                                                 graph.constantScalar(16.0f), location, normal, eye, light);
        graph.setColorResult(color + texld(graph.vertexStream("texcoord"), graph.texture("t", 0)) * (light + eye));
        return graph;
    };
    ShaderGraph first = make();
    std::vector<std::unique_ptr<char[]>> noise;
    for (int i = 0; i < 200; ++i)
        noise.emplace_back(new char[16 + (i * 37) % 300]);
    ShaderGraph second = make();
    ShaderBuild a = first.build();
    noise.clear();
    ShaderBuild b = second.build();
    EXPECT_EQ(vertexText(a), vertexText(b));
    EXPECT_EQ(pixelText(a), pixelText(b));
    EXPECT_EQ(a.getStreamNames(), b.getStreamNames());
    EXPECT_EQ(a.getUniformMap(), b.getUniformMap());
}

TEST_F(ShaderGraphBuild, TexkillOnAPerVertexValueRunsInThePixelStage)
{
    ShaderGraph graph;
    passPosition(graph);
    graph.setOutput("texkill", graph.vertexStream("clip"));
    graph.setColorResult(graph.constantScalar(1.0f));
    ShaderBuild build = graph.build();
    EXPECT_EQ(vertexText(build).find("texkill"), std::string::npos) << vertexText(build);
    EXPECT_EQ(countMatches(pixelText(build), "\ntexkill t0"), 1) << pixelText(build);

    GraphInputs inputs;
    inputs.streams["location"] = Vec4(0.0f, 0.0f, 0.0f, 1.0f);
    for (float z : {1.0f, -1.0f}) {
        inputs.streams["clip"] = Vec4(1.0f, 1.0f, z, 1.0f);
        EXPECT_EQ(interpret(*core, build, inputs).killed, z < 0.0f);
    }
}

TEST_F(ShaderGraphBuild, EveryDistinctTexkillOutputDiscards)
{
    ShaderGraph graph;
    passPosition(graph);
    ShaderValue first = graph.vertexStream("first"), second = graph.vertexStream("second");
    graph.setOutput("texkill", first);
    graph.setOutput("texkill", second);
    graph.setOutput("texkill", first);
    graph.setColorResult(graph.constantScalar(1.0f));
    ShaderBuild build = graph.build();
    EXPECT_EQ(countMatches(pixelText(build), "\ntexkill "), 2) << pixelText(build);

    GraphInputs inputs;
    inputs.streams["location"] = Vec4(0.0f, 0.0f, 0.0f, 1.0f);
    for (int negative = 0; negative < 3; ++negative) {
        inputs.streams["first"] = Vec4(negative == 1 ? -1.0f : 1.0f);
        inputs.streams["second"] = Vec4(negative == 2 ? -1.0f : 1.0f);
        EXPECT_EQ(interpret(*core, build, inputs).killed, negative != 0) << negative;
    }
}

TEST_F(ShaderGraphBuild, VertexResultReadingAPixelValueIsRefused)
{
    struct Case {
        const char* what;
        std::function<ShaderValue(ShaderGraph&)> value;
        const char* pixelValue;
    } cases[] = {
        {"texture read", [](ShaderGraph& g) { return texld(g.vertexStream("uv"), g.texture("t", 0)); }, "'simpleOp'"},
        {"point sprite", [](ShaderGraph& g) { return g.pointSpriteCoord() + 1.0f; }, "'comOp sum'"},
        {"interpolated", [](ShaderGraph& g) { return vs2ps(g.vertexStream("location")); }, "'vs2ps'"},
    };
    for (const Case& c : cases) {
        ShaderGraph graph;
        graph.setPosition(c.value(graph));
        graph.setColorResult(graph.constantScalar(1.0f));
        EXPECT_EQ(messageOf([&] { graph.build(); }),
                  std::string("ShaderGraph::build: the vertex-stage node 'vs result' reads the pixel-stage value ")
                      + c.pixelValue
                      + "; textures, point-sprite coordinates and vs2ps values exist per pixel only")
            << c.what;
    }
}

TEST_F(ShaderGraphBuild, OneNameWithTwoMeaningsIsRefused)
{
    ShaderGraph uniforms;
    passPosition(uniforms);
    ShaderValue vector = uniforms.uniform("tint", 1);
    ShaderValue matrix = uniforms.uniform("tint", 4);
    uniforms.setColorResult(vector + matrixProduct4(matrix, uniforms.constantScalar(1.0f)));
    EXPECT_EQ(messageOf([&] { uniforms.build(); }),
              "ShaderGraph::build: uniform 'tint' is declared with 1 and 4 registers");

    ShaderGraph textures;
    passPosition(textures);
    ShaderValue uv = textures.vertexStream("uv");
    ShaderValue flat = texld(uv, textures.texture("map", 0));
    ShaderValue cube = texld(uv, textures.texture("map", 2));
    textures.setColorResult(flat + cube);
    EXPECT_EQ(messageOf([&] { textures.build(); }), "ShaderGraph::build: texture 'map' is declared with types 0 and 2");
}

TEST_F(ShaderGraphBuild, GraphIsBuiltOnce)
{
    ShaderGraph graph;
    passPosition(graph);
    graph.setColorResult(graph.constantScalar(1.0f));
    graph.build();
    EXPECT_EQ(messageOf([&] { graph.build(); }),
              "ShaderGraph::build: the graph was built already; a graph is built once");
}

// A uniform read through a swizzle by both stages, and directly by the
// vertex stage: every register the programs read must be the one that
// setUniform writes.
TEST_F(ShaderGraphBuild, UniformSharedThroughASwizzleIsSetWhereverItIsRead)
{
    ShaderGraph graph;
    ShaderValue u = graph.uniform("u", 1);
    ShaderValue scale = u[1];
    ShaderValue location = graph.vertexStream("location");
    ShaderValue tex = texld(graph.vertexStream("uv"), graph.texture("t", 0));
    ShaderValue color = tex * scale;
    graph.setPosition(location * scale + u);
    graph.setColorResult(color);

    GraphInputs inputs;
    inputs.streams["location"] = Vec4(1.0f, 2.0f, 3.0f, 4.0f);
    inputs.streams["uv"] = Vec4(0.5f, 0.25f, 0.0f, 1.0f);
    inputs.setUniform("u", Vec4(0.5f, 3.0f, -1.0f, 2.0f));
    inputs.textures["t"] = [](const Vec4& uv) { return Vec4(uv[0], uv[1], 1.0f, 1.0f); };
    Vec4 expectedPosition = evaluate(location * scale + u, inputs);
    Vec4 expectedColor = evaluate(color, inputs);

    ShaderBuild build = graph.build();
    ShadedSample sample = interpret(*core, build, inputs);
    EXPECT_TRUE(nearLanes(expectedPosition, sample.position, 1e-6f));
    EXPECT_TRUE(nearLanes(expectedColor, sample.color, 1e-6f));
}

TEST_F(ShaderGraphBuild, CycleMadeByLinkingIsReported)
{
    ShaderGraph graph;
    passPosition(graph);
    ShaderValue loop = graph.input("loop") + 1.0f;
    graph.setOutput("loop", loop);
    graph.setColorResult(loop);
    graph.link();
    EXPECT_EQ(messageOf([&] { graph.build(); }), "Topological sort failed. The shader graph contains maybe a cycle.");
}
