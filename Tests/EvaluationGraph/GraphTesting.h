#pragma once

// What the shader graph tests share: a recording core that keeps the
// assembly text of every shader built and assembles it as the device would,
// an evaluator that computes a graph's values directly on the CPU, and a run
// of the built shaders through the reference interpreter.

#include "Libs/EvaluationGraph/ShaderBuild.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Math/Vec.h"
#include "Tests/Support/RecordingCore.h"

#include <gtest/gtest.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {
namespace GraphTesting {

// Writes each program as assembly text, keeps the text and refuses what the
// assembler refuses, with the device's message. The shader objects belong to
// the builds, as the device's do; their names index the texts.
class ShaderTextCore : public TestSupport::RecordingCore {
public:
    static ShaderTextCore& install();

    Core::VertexShader* createVertexShader(const Core::ShaderProgram& program) override;
    Core::PixelShader* createPixelShader(const Core::ShaderProgram& program) override;

    const std::vector<std::string>& getVertexTexts() const { return vertexTexts; }
    const std::vector<std::string>& getPixelTexts() const { return pixelTexts; }
    // The text of the shader object the core made.
    const std::string& textOf(const Core::VertexShader* shader) const;
    const std::string& textOf(const Core::PixelShader* shader) const;

private:
    std::vector<std::string> vertexTexts, pixelTexts;
};

// A texture as a function of the coordinate.
typedef std::function<Vec4(const Vec4& coordinate)> Sampler;

// Everything a graph reads.
struct GraphInputs {
    std::map<std::string, Vec4> streams;
    std::map<std::string, std::array<Vec4, 4>> uniforms; // a vector uniform uses register 0
    std::map<std::string, Sampler> textures;
    Vec4 pointSpriteCoord = Vec4(0.0f);

    void setUniform(const std::string& name, const Vec4& value) { uniforms[name] = {value, value, value, value}; }
};

// The value of a graph node computed directly, each operation with the
// meaning Direct3D 9 documents for its instruction. A per-vertex value
// reaches the pixel stage unchanged (all vertices of a primitive alike).
// Lanes an operation leaves undefined come out as NaN.
Vec4 evaluate(const ShaderValue& value, const GraphInputs& inputs);

// What one vertex and one of its pixels produce.
struct ShadedSample {
    Vec4 position;
    Vec4 pointSize;
    Vec4 color;
    Vec4 depth;
    bool killed;
};

// Runs the built pair on one vertex whose streams and uniforms come from the
// inputs, bound through the build's own tables, and on a pixel that receives
// the vertex's outputs unchanged.
ShadedSample interpret(const ShaderTextCore& core, const ShaderBuild& build, const GraphInputs& inputs);

// Tests that build: a ShaderTextCore is the rendering interface meanwhile.
class GraphTest : public ::testing::Test {
protected:
    void SetUp() override { core = &ShaderTextCore::install(); }
    void TearDown() override { Core::destroyCore(); }

    ShaderTextCore* core = nullptr;
};

// Compares the lanes of expected that are finite (NaN marks undefined).
::testing::AssertionResult nearLanes(const Vec4& expected, const Vec4& actual, float tolerance);

} // namespace GraphTesting
} // namespace Vostrel
