#include <gtest/gtest.h>

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Tests/EvaluationGraph/GraphTesting.h"
#include "Tests/EvaluationGraph/OperationCases.h"

#include <cmath>

using namespace Vostrel;
using namespace Vostrel::GraphTesting;

namespace {

class ShaderGraphEvaluation : public GraphTest {
protected:
    // Colour = the value, computed in the stage asked for.
    void check(const OperationCase& c, Stages stage)
    {
        SCOPED_TRACE(std::string(c.name) + (stage == VERTEX ? " per vertex" : " per pixel"));
        ShaderGraph graph;
        ShaderValue value = makeCase(graph, c, stage);
        graph.setColorResult(value);
        GraphInputs inputs = caseInputs();
        inputs.pointSpriteCoord = Vec4(0.25f, 0.75f, 0.0f, 1.0f);
        Vec4 expected = evaluate(value, inputs);
        ShaderBuild build;
        try {
            build = graph.build();
        } catch (const Exception& e) {
            ADD_FAILURE() << e.message;
            return;
        }
        ShadedSample sample = interpret(*core, build, inputs);
        EXPECT_TRUE(nearLanes(expected, sample.color, 1e-5f))
            << core->getVertexTexts().back() << core->getPixelTexts().back();
    }
};

} // namespace

TEST_F(ShaderGraphEvaluation, EveryOperationComputesWhatTheInterpreterRunsPerVertex)
{
    for (const OperationCase& c : operationCases())
        if (c.stages & VERTEX)
            check(c, VERTEX);
}

TEST_F(ShaderGraphEvaluation, EveryOperationComputesWhatTheInterpreterRunsPerPixel)
{
    for (const OperationCase& c : operationCases())
        if (c.stages & PIXEL)
            check(c, PIXEL);
}

TEST_F(ShaderGraphEvaluation, Compose4LaneTakesTheMatchingComponentOfItsArgument)
{
    ShaderGraph graph;
    ShaderValue a = graph.constant4(1, 2, 3, 4), b = graph.constant4(5, 6, 7, 8);
    ShaderValue c = graph.constant4(9, 10, 11, 12), d = graph.constant4(13, 14, 15, 16);
    EXPECT_EQ(evaluate(compose4(a, b, c, d), GraphInputs()), Vec4(1, 6, 11, 16));
    EXPECT_EQ(evaluate(compose4(a[0], b[0], c[0], d[0]), GraphInputs()), Vec4(1, 5, 9, 13));
}

TEST_F(ShaderGraphEvaluation, ScalarFunctionsBroadcastLaneX)
{
    ShaderGraph graph;
    ShaderValue v = graph.constant4(0.5f, 2.0f, 3.0f, 4.0f);
    EXPECT_EQ(evaluate(rcp(v), GraphInputs()), Vec4(2.0f));
    EXPECT_EQ(evaluate(v / graph.constant4(4.0f, 1.0f, 1.0f, 1.0f), GraphInputs()), Vec4(0.125f, 0.5f, 0.75f, 1.0f));
    EXPECT_FLOAT_EQ(evaluate(sin(v), GraphInputs())[1], std::sin(0.5f));
}

// Shader model 2.0 has no sin or cos instruction: the programs that hold
// one are refused by the assembler, as the device refuses them.
TEST_F(ShaderGraphEvaluation, SinAndCosFailToAssemble)
{
    for (bool useSin : {true, false}) {
        ShaderGraph graph;
        ShaderValue a = graph.vertexStream("a");
        graph.setPosition(useSin ? sin(a) : cos(a));
        graph.setColorResult(graph.constantScalar(1.0f));
        try {
            graph.build();
            ADD_FAILURE() << "built";
        } catch (const Exception& e) {
            EXPECT_EQ(e.message.rfind("Unable to assemble vertex shader: ", 0), 0u) << e.message;
        }
    }
}

// The three forms against the formula written out with plain vectors, and
// the built shaders against the graph.
TEST_F(ShaderGraphEvaluation, BlinnPhongFormsMatchTheirFormula)
{
    const Vec3 position(0.5f, -0.25f, 1.0f), normal(0.2f, 1.0f, 0.3f), eye(0.0f, 2.0f, 4.0f),
        light(3.0f, -3.0f, -1.0f);
    const Vec4 diffuse(0.8f, 0.6f, 0.4f, 1.0f), specular(0.5f, 0.5f, 0.25f, 0.5f);
    const float exponent = 8.0f;
    auto unit = [](Vec3 v) { return v * static_cast<float>(1.0 / length(v)); };
    Vec3 toLight = light - position;
    Vec3 L = unit(toLight), V = unit(eye - position), N = unit(normal), H = unit(L + V);
    float diffuseFactor = dot(N, L);
    float specularFactor = std::pow(dot(H, N), exponent);
    ASSERT_LT(diffuseFactor, 0.0f); // so that clamping shows

    struct Form {
        const char* name;
        ShaderValue (*make)(const ShaderValue&, const ShaderValue&, const ShaderValue&, const ShaderValue&,
                            const ShaderValue&, const ShaderValue&, const ShaderValue&);
        float diffuseFactor;
        float scale;
    } forms[] = {
        {"blinnPhong", &blinnPhong, diffuseFactor, 1.0f},
        {"blinnPhongClamped", &blinnPhongClamped, 0.0f, 1.0f},
        {"blinnPhongAttenuated", &blinnPhongAttenuated, 0.0f, static_cast<float>(1.0 / length(toLight))},
    };
    for (const Form& form : forms) {
        SCOPED_TRACE(form.name);
        ShaderGraph graph;
        ShaderValue location = graph.vertexStream("location");
        graph.setPosition(location);
        ShaderValue color = form.make(graph.uniform("diffuse", 1), graph.uniform("specular", 1),
                                      graph.constantScalar(exponent), location, graph.vertexStream("normal"),
                                      graph.uniform("eye", 1), graph.uniform("light", 1));
        graph.setColorResult(color);
        GraphInputs inputs;
        inputs.streams["location"] = Vec4(position[0], position[1], position[2], 1.0f);
        inputs.streams["normal"] = Vec4(normal[0], normal[1], normal[2], 0.0f);
        inputs.setUniform("diffuse", diffuse);
        inputs.setUniform("specular", specular);
        inputs.setUniform("eye", Vec4(eye[0], eye[1], eye[2], 1.0f));
        inputs.setUniform("light", Vec4(light[0], light[1], light[2], 1.0f));
        Vec4 expected = (diffuse * form.diffuseFactor + specular * specularFactor) * form.scale;
        Vec4 evaluated = evaluate(color, inputs);
        EXPECT_TRUE(nearLanes(expected, evaluated, 1e-5f));
        ShaderBuild build = graph.build();
        EXPECT_TRUE(nearLanes(evaluated, interpret(*core, build, inputs).color, 1e-5f))
            << core->getVertexTexts().back() << core->getPixelTexts().back();
    }
}
