#include <gtest/gtest.h>

#include "Tests/EvaluationGraph/GraphTesting.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXShaderGen.h"
#include "Libs/Core/RenderContext.h"
#include "Libs/EvaluationGraph/IntermediateShaderGraph.h"
#include "Platform/Shader/ShaderInterpreter.h"
#include "Platform/Shader/ShaderParser.h"

#include <cmath>
#include <limits>

namespace Vostrel {
namespace GraphTesting {

using namespace Core;

// ---------------------------------------------------------------------------
// ShaderTextCore

ShaderTextCore& ShaderTextCore::install()
{
    APICore::destroyInstance();
    ShaderTextCore* core = new ShaderTextCore;
    APICore::installInstance(core);
    return *core;
}

namespace {

// Writes and assembles the program; the device reports a refused text so.
std::string assembledText(const ShaderProgram& program, int stage)
{
    std::string text = DXShaderGen::generate(program, stage);
    try {
        Shader::assemble(text);
    } catch (const Shader::AssemblyError& error) {
        VOSTREL_THROW("Unable to assemble " << (stage == DXShaderGen::VERTEX_STAGE ? "vertex" : "pixel")
                                            << " shader: " << error.what() << "\n" << text);
    }
    return text;
}

} // namespace

VertexShader* ShaderTextCore::createVertexShader(const ShaderProgram& program)
{
    vertexTexts.push_back(assembledText(program, DXShaderGen::VERTEX_STAGE));
    return new TestSupport::FakeVertexShader(std::to_string(vertexTexts.size() - 1));
}

PixelShader* ShaderTextCore::createPixelShader(const ShaderProgram& program)
{
    pixelTexts.push_back(assembledText(program, DXShaderGen::PIXEL_STAGE));
    return new TestSupport::FakePixelShader(std::to_string(pixelTexts.size() - 1));
}

const std::string& ShaderTextCore::textOf(const VertexShader* shader) const
{
    return vertexTexts.at(std::stoul(TestSupport::nameOf(shader)));
}

const std::string& ShaderTextCore::textOf(const PixelShader* shader) const
{
    return pixelTexts.at(std::stoul(TestSupport::nameOf(shader)));
}

// ---------------------------------------------------------------------------
// Direct evaluation

namespace {

const float UNDEFINED = std::numeric_limits<float>::quiet_NaN();

Vec4 splat(float x)
{
    return Vec4(x);
}

// An undefined lane (NaN) stays undefined, also through comparisons.
template <typename Function> Vec4 perLane(const Vec4& a, const Vec4& b, Function function)
{
    Vec4 result;
    for (int i = 0; i < 4; ++i)
        result[i] = std::isnan(a[i]) || std::isnan(b[i]) ? UNDEFINED : function(a[i], b[i]);
    return result;
}

float dot3(const Vec4& a, const Vec4& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

float dot4(const Vec4& a, const Vec4& b)
{
    return dot3(a, b) + a[3] * b[3];
}

// pow, log and rsq read the magnitude of their operand; rcp and rsq of 0 are
// infinite; log of 0 is the most negative float.
float d3dLog(float x)
{
    return x == 0.0f ? -std::numeric_limits<float>::max() : std::log2(std::fabs(x));
}

float d3dPow(float x, float y)
{
    return std::exp2(y * d3dLog(x));
}

class Evaluator {
public:
    explicit Evaluator(const GraphInputs& inputs) : inputs(inputs) {}

    Vec4 value(const ShaderGraphNode* node)
    {
        auto known = values.find(node);
        if (known != values.end())
            return known->second;
        Vec4 result = compute(node);
        values[node] = result;
        return result;
    }

private:
    Vec4 child(const ShaderGraphNode* node, size_t i) { return value(node->getChildren().at(i)); }

    Vec4 compute(const ShaderGraphNode* node)
    {
        switch (node->getType()) {
        case SHADER_NODE_RESULT_COLOR:
        case SHADER_NODE_RESULT_DEPTH:
        case SHADER_NODE_VS_RESULT:
        case SHADER_NODE_CONNECTION:
        case SHADER_NODE_OUTPUT:
            return child(node, 0);
        case SHADER_NODE_COMMUTATIVE: return commutative(static_cast<const SGCommutativeOperation*>(node));
        case SHADER_NODE_SIMPLE: return simple(static_cast<const SGSimpleOperation*>(node));
        case SHADER_NODE_POINT_SPRITE_COORD: return inputs.pointSpriteCoord;
        case SHADER_NODE_UNIFORM:
            return inputs.uniforms.at(static_cast<const SGUniform*>(node)->getName())[0];
        case SHADER_NODE_VERTEX_STREAM: return inputs.streams.at(static_cast<const SGVertexStream*>(node)->getName());
        case SHADER_NODE_MATRIX_PRODUCT3:
        case SHADER_NODE_MATRIX_PRODUCT4: {
            bool four = node->getType() == SHADER_NODE_MATRIX_PRODUCT4;
            const std::array<Vec4, 4>& rows =
                inputs.uniforms.at(static_cast<const SGUniform*>(node->getChildren()[0])->getName());
            Vec4 v = child(node, 1);
            Vec4 result(UNDEFINED);
            for (int row = 0; row < (four ? 4 : 3); ++row)
                result[row] = four ? dot4(v, rows[row]) : dot3(v, rows[row]);
            return result;
        }
        case SHADER_NODE_CONSTANT: {
            const float* v = static_cast<const SGConstantVec4*>(node)->getValue();
            return Vec4(v[0], v[1], v[2], v[3]);
        }
        case SHADER_NODE_SWIZZLE: {
            const int32_t* selectors = static_cast<const SGSwizzle*>(node)->getSelectors();
            Vec4 v = child(node, 0);
            return Vec4(v[selectors[0]], v[selectors[1]], v[selectors[2]], v[selectors[3]]);
        }
        case SHADER_NODE_NEGATE: return -child(node, 0);
        case SHADER_NODE_MASK: {
            const int32_t* selectors = static_cast<const SGMask*>(node)->getSelectors();
            Vec4 result(UNDEFINED);
            for (int lane = 0; lane < 4; ++lane)
                if (node->getChildren()[lane])
                    result[lane] = child(node, lane)[selectors[lane]];
            return result;
        }
        default:
            throw std::logic_error("evaluate: node " + node->getLabel() + " has no value");
        }
    }

    Vec4 commutative(const SGCommutativeOperation* node)
    {
        Vec4 result = child(node, 0);
        for (size_t i = 1; i < node->getChildren().size(); ++i) {
            Vec4 operand = child(node, i);
            switch (node->getOperation()) {
            case COMMUTATIVE_SUM: result = result + operand; break;
            case COMMUTATIVE_PRODUCT: result = perLane(result, operand, [](float a, float b) { return a * b; }); break;
            case COMMUTATIVE_MAX:
                result = perLane(result, operand, [](float a, float b) { return a >= b ? a : b; });
                break;
            case COMMUTATIVE_MIN:
                result = perLane(result, operand, [](float a, float b) { return a < b ? a : b; });
                break;
            case COMMUTATIVE_DP3: result = splat(dot3(result, operand)); break;
            case COMMUTATIVE_DP4: result = splat(dot4(result, operand)); break;
            }
        }
        return result;
    }

    Vec4 simple(const SGSimpleOperation* node)
    {
        Vec4 a = child(node, 0);
        switch (node->getOperation()) {
        case SIMPLE_POW: return splat(d3dPow(a[0], child(node, 1)[0]));
        case SIMPLE_EXP: return splat(std::exp2(a[0]));
        case SIMPLE_LOG: return splat(d3dLog(a[0]));
        case SIMPLE_FRC: return Vec4(a[0] - std::floor(a[0]), a[1] - std::floor(a[1]), a[2] - std::floor(a[2]),
                                     a[3] - std::floor(a[3]));
        case SIMPLE_ABS: return Vec4(std::fabs(a[0]), std::fabs(a[1]), std::fabs(a[2]), std::fabs(a[3]));
        case SIMPLE_CRS: {
            Vec4 b = child(node, 1);
            return Vec4(a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0], UNDEFINED);
        }
        case SIMPLE_NRM: {
            float length = std::sqrt(dot3(a, a));
            return length == 0.0f ? Vec4(0.0f) : a * (1.0f / length);
        }
        case SIMPLE_RCP: return splat(a[0] == 0.0f ? INFINITY : 1.0f / a[0]);
        case SIMPLE_RSQ: return splat(a[0] == 0.0f ? INFINITY : 1.0f / std::sqrt(std::fabs(a[0])));
        case SIMPLE_LRP: {
            Vec4 b = child(node, 1), c = child(node, 2);
            Vec4 result;
            for (int i = 0; i < 4; ++i)
                result[i] = a[i] * (b[i] - c[i]) + c[i];
            return result;
        }
        case SIMPLE_LIT: {
            float power = std::max(-127.9961f, std::min(127.9961f, a[3]));
            return Vec4(1.0f, std::max(a[0], 0.0f), a[0] > 0.0f && a[1] > 0.0f ? d3dPow(a[1], power) : 0.0f, 1.0f);
        }
        case SIMPLE_DST: {
            Vec4 b = child(node, 1);
            return Vec4(1.0f, a[1] * b[1], a[2], b[3]);
        }
        case SIMPLE_SINCOS: return Vec4(std::cos(a[0]), std::sin(a[0]), UNDEFINED, UNDEFINED);
        case SIMPLE_SIN: return splat(std::sin(a[0]));
        case SIMPLE_COS: return splat(std::cos(a[0]));
        case SIMPLE_SLT: return perLane(a, child(node, 1), [](float x, float y) { return x < y ? 1.0f : 0.0f; });
        case SIMPLE_SGE: return perLane(a, child(node, 1), [](float x, float y) { return x >= y ? 1.0f : 0.0f; });
        case SIMPLE_CMP: {
            Vec4 b = child(node, 1), c = child(node, 2);
            Vec4 result;
            for (int i = 0; i < 4; ++i)
                result[i] = std::isnan(a[i]) ? UNDEFINED : (a[i] >= 0.0f ? b[i] : c[i]);
            return result;
        }
        case SIMPLE_TEXLD: {
            const ShaderGraphNode* texture = node->getChildren()[1];
            return inputs.textures.at(static_cast<const SGTexture*>(texture)->getName())(a);
        }
        }
        throw std::logic_error("evaluate: unknown operation");
    }

    const GraphInputs& inputs;
    std::map<const ShaderGraphNode*, Vec4> values;
};

bool writes(const Shader::Program& program, Shader::RegisterFile file, int index)
{
    for (const Shader::Instruction& instruction : program.instructions)
        if (instruction.hasDestination && instruction.destination.file == file
            && instruction.destination.index == index)
            return true;
    return false;
}

Vec4 toVec(const Shader::Vec4& v)
{
    return Vec4(v[0], v[1], v[2], v[3]);
}

Shader::Vec4 toArray(const Vec4& v)
{
    return {v[0], v[1], v[2], v[3]};
}

} // namespace

Vec4 evaluate(const ShaderValue& value, const GraphInputs& inputs)
{
    return Evaluator(inputs).value(value.getNode());
}

// ---------------------------------------------------------------------------
// Interpreter run

ShadedSample interpret(const ShaderTextCore& core, const ShaderBuild& build, const GraphInputs& inputs)
{
    RenderContext context;
    build.apply(context);
    for (const auto& uniform : inputs.uniforms) {
        const ShaderBuild::UniformBinding* binding = build.findUniform(uniform.first);
        if (binding && binding->size == 4)
            build.setUniformMatrix(context, uniform.first, uniform.second[0].ptr());
        else
            build.setUniform(context, uniform.first, uniform.second[0]);
    }

    Shader::Program vertexProgram = Shader::assemble(core.textOf(build.getVertexShader()));
    Shader::Machine vertex;
    for (size_t i = 0; i < build.getStreamNames().size(); ++i)
        vertex.inputs[i] = toArray(inputs.streams.at(build.getStreamNames()[i]));
    for (int i = 0; i < context.getVertexConstantCount(); ++i)
        vertex.constants[i] = toArray(context.getVertexConstant(i));
    Shader::execute(vertexProgram, vertex);

    Shader::Program pixelProgram = Shader::assemble(core.textOf(build.getPixelShader()));
    Shader::Machine pixel;
    for (int i = 0; i < Shader::PIXEL_TEXCOORDS; ++i)
        pixel.texcoords[i] = vertex.texcoordOutputs[i];
    // Without an interpolator of its own, texture coordinate 0 is the
    // point-sprite coordinate.
    if (!writes(vertexProgram, Shader::RegisterFile::TexCoordOut, 0))
        pixel.texcoords[0] = toArray(inputs.pointSpriteCoord);
    for (int i = 0; i < context.getPixelConstantCount(); ++i)
        pixel.constants[i] = toArray(context.getPixelConstant(i));
    pixel.sample = [&](int sampler, Shader::TextureType, const Shader::Vec4& coordinate) {
        for (const auto& texture : build.getTextureMap())
            if (static_cast<int>(texture.second.sampler) == sampler)
                return toArray(inputs.textures.at(texture.first)(toVec(coordinate)));
        throw std::logic_error("interpret: no texture at sampler " + std::to_string(sampler));
    };
    Shader::execute(pixelProgram, pixel);

    ShadedSample sample;
    sample.position = toVec(vertex.position);
    sample.pointSize = toVec(vertex.pointSize);
    sample.color = toVec(pixel.renderTargets[0]);
    sample.depth = toVec(pixel.depth);
    sample.killed = pixel.killed;
    return sample;
}

::testing::AssertionResult nearLanes(const Vec4& expected, const Vec4& actual, float tolerance)
{
    for (int i = 0; i < 4; ++i) {
        if (!std::isfinite(expected[i]))
            continue;
        float allowed = tolerance * std::max(1.0f, std::fabs(expected[i]));
        if (!(std::fabs(expected[i] - actual[i]) <= allowed))
            return ::testing::AssertionFailure()
                << "lane " << i << ": expected " << expected << ", got " << actual;
    }
    return ::testing::AssertionSuccess();
}

} // namespace GraphTesting
} // namespace Vostrel
