#include <gtest/gtest.h>

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/RenderContext.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Tests/EvaluationGraph/GraphTesting.h"

using namespace Vostrel;
using namespace Vostrel::GraphTesting;

namespace {

class ShaderBuildBinding : public GraphTest {
protected:
    // Position from the matrix "transform" and the stream "location"; colour
    // from "shared" (both stages), "tint" (pixel only) and texture "map".
    ShaderGraph makeGraph()
    {
        ShaderGraph graph;
        ShaderValue shared = graph.uniform("shared", 1);
        graph.setPosition(matrixProduct4(graph.uniform("transform", 4), graph.vertexStream("location")) + shared);
        graph.setColorResult(texld(graph.vertexStream("uv"), graph.texture("map", 0)) * graph.uniform("tint", 1)
                             + shared);
        return graph;
    }

    std::vector<Vec4> vertexConstants(const Core::RenderContext& context)
    {
        std::vector<Vec4> values;
        for (int i = 0; i < context.getVertexConstantCount(); ++i)
            values.push_back(context.getVertexConstant(i));
        return values;
    }

    std::vector<Vec4> pixelConstants(const Core::RenderContext& context)
    {
        std::vector<Vec4> values;
        for (int i = 0; i < context.getPixelConstantCount(); ++i)
            values.push_back(context.getPixelConstant(i));
        return values;
    }
};

} // namespace

TEST_F(ShaderBuildBinding, ShaderContextCarriesItsBuildAppliedAndUnsetUniformsReadZero)
{
    ShaderContext context(makeGraph());
    const ShaderBuild& build = context.getShaderBuild();
    ASSERT_NE(build.getVertexShader(), nullptr);
    EXPECT_EQ(context.getVertexShader(), build.getVertexShader());
    EXPECT_EQ(context.getPixelShader(), build.getPixelShader());
    EXPECT_EQ(context.getVertexConstantCount(), static_cast<int>(build.getVertexUniformCount()));
    EXPECT_EQ(context.getPixelConstantCount(), static_cast<int>(build.getPixelUniformCount()));
    for (const Vec4& value : vertexConstants(context))
        EXPECT_EQ(value, Vec4(0.0f));
    for (const Vec4& value : pixelConstants(context))
        EXPECT_EQ(value, Vec4(0.0f));
}

TEST_F(ShaderBuildBinding, OneCallWritesEveryStageThatReadsTheUniform)
{
    ShaderContext context(makeGraph());
    const ShaderBuild& build = context.getShaderBuild();
    const ShaderBuild::UniformBinding* shared = build.findUniform("shared");
    const ShaderBuild::UniformBinding* tint = build.findUniform("tint");
    ASSERT_TRUE(shared && tint);

    build.setUniform(context, "shared", Vec4(1.0f, 2.0f, 3.0f, 4.0f));
    const float tintValue[4] = {0.5f, 0.5f, 0.25f, 1.0f};
    build.setUniform(context, "tint", tintValue);
    EXPECT_EQ(context.getVertexConstant(shared->vsReg), Vec4(1.0f, 2.0f, 3.0f, 4.0f));
    EXPECT_EQ(context.getPixelConstant(shared->psReg), Vec4(1.0f, 2.0f, 3.0f, 4.0f));
    EXPECT_EQ(context.getPixelConstant(tint->psReg), Vec4(0.5f, 0.5f, 0.25f, 1.0f));

    build.setUniformVec3(context, "shared", Vec3(7.0f, 8.0f, 9.0f));
    EXPECT_EQ(context.getVertexConstant(shared->vsReg), Vec4(7.0f, 8.0f, 9.0f, 1.0f));
    EXPECT_EQ(context.getPixelConstant(shared->psReg), Vec4(7.0f, 8.0f, 9.0f, 1.0f));
}

TEST_F(ShaderBuildBinding, NamesTheShadersDoNotReadChangeNothing)
{
    ShaderContext context(makeGraph());
    const ShaderBuild& build = context.getShaderBuild();
    std::vector<Vec4> vertexBefore = vertexConstants(context), pixelBefore = pixelConstants(context);
    Core::Texture* textureBefore = context.getTexture(0);
    build.setUniform(context, "unknown", Vec4(1.0f));
    build.setUniformVec3(context, "unknown", Vec3(1.0f));
    build.setUniformMatrix(context, "unknown", Matrix4(2.0f));
    TestSupport::FakeTexture texture("texture");
    build.setTexture(context, "unknown", &texture);
    EXPECT_EQ(vertexConstants(context), vertexBefore);
    EXPECT_EQ(pixelConstants(context), pixelBefore);
    EXPECT_EQ(context.getTexture(0), textureBefore);
}

TEST_F(ShaderBuildBinding, MatrixOnAVectorUniformFailsTheAssertion)
{
    ShaderContext context(makeGraph());
    try {
        context.getShaderBuild().setUniformMatrix(context, "tint", Matrix4(1.0f));
        ADD_FAILURE() << "no assertion";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message, "uni.size == 4 does not hold.");
        EXPECT_STREQ(e.file, "Libs\\EvaluationGraph\\ShaderBuild");
    }
}

// Registers are the matrix's columns, and lane i of matrixProduct4 dots
// register i with the vector: the transpose of M applied to the vector.
TEST_F(ShaderBuildBinding, MatrixProductAppliesTheTransposeOfTheMatrixSet)
{
    ShaderGraph graph;
    graph.setPosition(matrixProduct4(graph.uniform("M", 4), graph.vertexStream("location")));
    graph.setColorResult(graph.constantScalar(1.0f));
    ShaderBuild build = graph.build();

    Matrix4 m;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 4; ++column)
            m(row, column) = static_cast<float>(row * 4 + column + 1) * (column == 2 ? -0.5f : 1.0f);
    Vec4 v(0.5f, -1.0f, 2.0f, 1.0f);
    GraphInputs inputs;
    inputs.streams["location"] = v;
    for (int i = 0; i < 4; ++i)
        inputs.uniforms["M"][i] = m[i];
    Vec4 expected = transpose(m) * v;
    EXPECT_TRUE(nearLanes(expected, interpret(*core, build, inputs).position, 1e-6f));
}

TEST_F(ShaderBuildBinding, TextureBindsToItsSamplerAndNullUnbinds)
{
    ShaderGraph graph;
    graph.setPosition(graph.vertexStream("location"));
    ShaderValue uv = graph.vertexStream("uv");
    graph.setColorResult(texld(uv, graph.texture("first", 0)) + texld(uv, graph.texture("second", 0)));
    ShaderContext context(graph);
    const ShaderBuild& build = context.getShaderBuild();
    unsigned second = build.getTextureMap().at("second").sampler;

    TestSupport::FakeTexture texture("texture");
    build.setTexture(context, "second", &texture);
    EXPECT_EQ(context.getTexture(static_cast<int>(second)), &texture);
    build.setTexture(context, "second", nullptr);
    EXPECT_EQ(context.getTexture(static_cast<int>(second)), nullptr);
}

TEST_F(ShaderBuildBinding, TextureOfAnotherTypeThanDeclaredFailsTheAssertion)
{
    class CubeTexture : public TestSupport::FakeTexture {
    public:
        CubeTexture() : FakeTexture("cube") { cube.type = Core::TEXTURE_TYPE_CUBE; }
        const Core::TextureParameters& getParameters() const override { return cube; }

    private:
        Core::TextureParameters cube;
    };
    ShaderGraph graph;
    graph.setPosition(graph.vertexStream("location"));
    ShaderValue uv = graph.vertexStream("uv");
    graph.setColorResult(texld(uv, graph.texture("flat", 0)) + texld(uv, graph.texture("sky", 2)));
    ShaderContext context(graph);
    const ShaderBuild& build = context.getShaderBuild();
    CubeTexture cube;
    build.setTexture(context, "sky", &cube);
    EXPECT_EQ(context.getTexture(static_cast<int>(build.getTextureMap().at("sky").sampler)), &cube);
    try {
        build.setTexture(context, "flat", &cube);
        ADD_FAILURE() << "no assertion";
    } catch (const Exception& e) {
        EXPECT_EQ(e.message, "tex.type == texture->getPrototype().type does not hold.");
        EXPECT_STREQ(e.file, "Libs\\EvaluationGraph\\ShaderBuild");
    }
}
