#include <gtest/gtest.h>

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Core/RenderWindow.h"
#include "Libs/Core/Texture.h"
#include "Libs/Core/VertexFormat.h"
#include "Libs/Core/VertexStream.h"
#include "Libs/Core/WindowParameters.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Tests/EvaluationGraph/GraphTesting.h"
#include "Tests/EvaluationGraph/OperationCases.h"
#include "Tests/Support/GlErrorCheck.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <map>
#include <memory>
#include <random>

using namespace Vostrel;
using namespace Vostrel::Core;
using namespace Vostrel::GraphTesting;

// Graphs drawn on the Direct3D device over a small grid of pixels, one sample
// of the inputs per pixel, against the same graphs evaluated on the CPU. Each
// pixel is a quad of its own whose vertices all carry the pixel's inputs, so
// interpolation hands every per-vertex value on unchanged.

namespace {

const int GRID_WIDTH = 8;
const int GRID_HEIGHT = 4;
const int PIXELS = GRID_WIDTH * GRID_HEIGHT;
const int TEXTURE_SIZE = 4;

// The texels of the 4 x 4 texture "t", red, green, blue, alpha.
uint8_t texel(int x, int y, int channel)
{
    static const uint8_t base[4] = {32, 96, 160, 224};
    return static_cast<uint8_t>(base[channel] + 7 * x - 13 * y + (channel == 3 ? 11 * x * y : 0));
}

// The pixel's inputs: the case operands with the streams drawn at random,
// each component away from zero, and "t" sampled as the device samples it
// (point filtering, clamped). A coordinate too close to a texel edge for
// the device to side with the CPU makes the sample doubtful.
struct PixelInputs {
    GraphInputs inputs;
    bool doubtful = false;
};

std::vector<std::unique_ptr<PixelInputs>> pixelInputs(unsigned seed)
{
    std::mt19937 random(seed);
    std::uniform_real_distribution<float> magnitude(0.25f, 2.0f);
    std::bernoulli_distribution negative(0.4);
    auto component = [&] { return negative(random) ? -magnitude(random) : magnitude(random); };
    auto vec = [&] { return Vec4(component(), component(), component(), component()); };
    std::vector<std::unique_ptr<PixelInputs>> pixels;
    for (int i = 0; i < PIXELS; ++i) {
        pixels.emplace_back(new PixelInputs);
        PixelInputs& pixel = *pixels.back();
        pixel.inputs = caseInputs();
        pixel.inputs.streams["a"] = vec();
        pixel.inputs.streams["b"] = vec();
        pixel.inputs.textures["t"] = [&pixel](const Vec4& c) {
            int coordinate[2];
            for (int axis = 0; axis < 2; ++axis) {
                float position = std::min(std::max(c[axis], 0.0f), 1.0f) * TEXTURE_SIZE;
                float fraction = position - std::floor(position);
                if (c[axis] > 0.0f && c[axis] < 1.0f && (fraction < 0.01f || fraction > 0.99f))
                    pixel.doubtful = true;
                coordinate[axis] = std::min(static_cast<int>(position), TEXTURE_SIZE - 1);
            }
            Vec4 color;
            for (int channel = 0; channel < 4; ++channel)
                color[channel] = texel(coordinate[0], coordinate[1], channel) / 255.0f;
            return color;
        };
    }
    return pixels;
}

// The clip-space corners of pixel i: the quad covers the pixel's centre and
// reaches halfway to its neighbours'.
void pixelQuad(int i, Vec4 corners[6])
{
    float x = static_cast<float>(i % GRID_WIDTH), y = static_cast<float>(i / GRID_WIDTH);
    auto clip = [](float screenX, float screenY) {
        return Vec4(2.0f * screenX / GRID_WIDTH - 1.0f, 1.0f - 2.0f * screenY / GRID_HEIGHT, 0.5f, 1.0f);
    };
    Vec4 topLeft = clip(x - 0.5f, y - 0.5f), topRight = clip(x + 0.5f, y - 0.5f);
    Vec4 bottomLeft = clip(x - 0.5f, y + 0.5f), bottomRight = clip(x + 0.5f, y + 0.5f);
    Vec4 order[6] = {topLeft, topRight, bottomLeft, bottomLeft, topRight, bottomRight};
    std::copy(order, order + 6, corners);
}

class GraphDraw : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestSupport::startGlErrorCheck();
        APICore::destroyInstance();
        DXCore::install();
        WindowParameters parameters;
        parameters.title = "graph";
        parameters.width = GRID_WIDTH;
        parameters.height = GRID_HEIGHT;
        window = createCore(parameters);
        window->setVisible(true);

        TextureParameters textureParameters;
        textureParameters.width = TEXTURE_SIZE;
        textureParameters.height = TEXTURE_SIZE;
        textureParameters.minFilter = MIN_POINT;
        textureParameters.magFilter = MAG_POINT;
        textureParameters.wrapU = textureParameters.wrapV = TEXTURE_CLAMP;
        texture.reset(createTexture(textureParameters));
        std::vector<uint8_t> bytes;
        for (int y = 0; y < TEXTURE_SIZE; ++y)
            for (int x = 0; x < TEXTURE_SIZE; ++x)
                for (int channel : {2, 1, 0, 3}) // A8R8G8B8 is blue, green, red, alpha in memory
                    bytes.push_back(texel(x, y, channel));
        texture->update(0, bytes.data());
    }

    void TearDown() override
    {
        texture.reset();
        APICore::destroyInstance();
        TestSupport::expectNoGlErrors();
    }

    // Draws the graph whose colour is the value over the grid and returns
    // what each pixel shows, red, green, blue in 0..1.
    std::vector<Vec4> draw(const ShaderGraph& graph, const std::vector<std::unique_ptr<PixelInputs>>& pixels)
    {
        std::vector<std::map<std::string, Vec4>> vertices;
        for (int i = 0; i < PIXELS; ++i) {
            Vec4 corners[6];
            pixelQuad(i, corners);
            for (const Vec4& corner : corners) {
                vertices.push_back(pixels[i]->inputs.streams);
                vertices.back()["location"] = corner;
            }
        }
        return drawVertices(graph, pixels[0]->inputs, vertices, PRIMITIVE_TRIANGLE_LIST, 2 * PIXELS);
    }

    // Draws primitives of the given vertices (stream values by name) with the
    // uniforms and textures of the inputs.
    std::vector<Vec4> drawVertices(const ShaderGraph& graph, const GraphInputs& shared,
                                   const std::vector<std::map<std::string, Vec4>>& vertices, PrimitiveType primitive,
                                   int primitiveCount)
    {
        ShaderContext context(graph);
        const ShaderBuild& build = context.getShaderBuild();

        const std::vector<std::string>& names = build.getStreamNames();
        std::vector<VertexElement> elements;
        for (size_t i = 0; i < names.size(); ++i)
            elements.push_back({0u, static_cast<unsigned>(16 * i), VERTEX_FLOAT4, static_cast<unsigned>(i)});
        std::unique_ptr<VertexFormat> format(createVertexFormat(static_cast<int>(elements.size()), elements.data()));
        int stride = static_cast<int>(16 * names.size());
        int usage = primitive == PRIMITIVE_POINT_LIST ? 1 | STREAM_POINT_SPRITES : 1;
        std::unique_ptr<VertexStream> stream(
            createVertexStream(stride * static_cast<int>(vertices.size()), stride, usage));
        float* vertex = static_cast<float*>(stream->lock(LOCK_DISCARD));
        for (const auto& streams : vertices)
            for (const std::string& name : names) {
                std::memcpy(vertex, streams.at(name).ptr(), sizeof(Vec4));
                vertex += 4;
            }
        stream->unlock();

        for (const auto& uniform : shared.uniforms) {
            const ShaderBuild::UniformBinding* binding = build.findUniform(uniform.first);
            if (binding && binding->size == 4)
                build.setUniformMatrix(context, uniform.first, uniform.second[0].ptr());
            else
                build.setUniform(context, uniform.first, uniform.second[0]);
        }
        build.setTexture(context, "t", texture.get());
        context.setVertexFormat(format.get());
        context.setVertexStream(0, stream.get());
        context.setCullMode(CULL_NONE);
        context.setDepthTest(false);
        context.setPointSprite(primitive == PRIMITIVE_POINT_LIST);

        window->begin();
        context.clear(CLEAR_COLOR, Vec4(0.0f, 0.0f, 0.0f, 1.0f), 1.0f, 0);
        context.drawPrimitives(primitive, 0, primitiveCount);
        window->end();
        std::vector<uint32_t> framebuffer(PIXELS);
        window->getFramebuffer(framebuffer.data());

        std::vector<Vec4> shown;
        for (uint32_t argb : framebuffer)
            shown.push_back(Vec4(((argb >> 16) & 255) / 255.0f, ((argb >> 8) & 255) / 255.0f, (argb & 255) / 255.0f,
                                 std::numeric_limits<float>::quiet_NaN()));
        return shown;
    }

    RenderWindow* window = nullptr;
    std::unique_ptr<Texture> texture;
};

// Scale and offset that bring the finite lanes of the values into
// 0.05..0.95, where the 8-bit window shows them.
struct Mapping {
    float scale, offset;
};

Mapping mappingFor(const std::vector<Vec4>& values)
{
    float low = INFINITY, high = -INFINITY;
    for (const Vec4& v : values)
        for (int lane = 0; lane < 4; ++lane)
            if (std::isfinite(v[lane])) {
                low = std::min(low, v[lane]);
                high = std::max(high, v[lane]);
            }
    if (!(low <= high))
        return {1.0f, 0.0f};
    float scale = high > low ? 0.9f / (high - low) : 0.45f / std::max(1.0f, std::fabs(low));
    return {scale, 0.5f - scale * 0.5f * (low + high)};
}

} // namespace

TEST_F(GraphDraw, EveryOperationDrawsWhatTheGraphSays)
{
    unsigned seed = 1;
    for (const OperationCase& c : operationCases()) {
        if (std::string(c.name) == "point-sprite coordinate")
            continue;
        for (Stages stage : {VERTEX, PIXEL}) {
            if (!(c.stages & stage))
                continue;
            SCOPED_TRACE(std::string(c.name) + (stage == VERTEX ? " per vertex" : " per pixel"));
            std::vector<std::unique_ptr<PixelInputs>> pixels = pixelInputs(seed++);
            // Lanes x, y, z show as red, green and blue; lane w in a second
            // drawing, as red.
            for (bool laneW : {false, true}) {
                ShaderGraph graph;
                ShaderValue value = makeCase(graph, c, stage);
                std::vector<Vec4> expected;
                for (const auto& pixel : pixels)
                    expected.push_back(evaluate(value, pixel->inputs));
                Mapping mapping = mappingFor(expected);
                ShaderValue shown = value * mapping.scale + mapping.offset;
                if (laneW)
                    shown = shown[3];
                graph.setColorResult(shown);
                std::vector<Vec4> drawn = draw(graph, pixels);
                for (int i = 0; i < PIXELS; ++i) {
                    if (pixels[i]->doubtful)
                        continue;
                    Vec4 mapped = expected[i] * mapping.scale + Vec4(mapping.offset);
                    Vec4 compared = laneW ? Vec4(mapped[3], NAN, NAN, NAN) : Vec4(mapped[0], mapped[1], mapped[2], NAN);
                    EXPECT_TRUE(nearLanes(compared, drawn[i], 2.5f / 255.0f)) << "pixel " << i << " of " << expected[i];
                }
            }
        }
    }
}

TEST_F(GraphDraw, BlinnPhongFormsDrawWhatTheGraphSays)
{
    std::mt19937 random(7);
    std::uniform_real_distribution<float> unit(-1.0f, 1.0f);
    auto vec3 = [&](float w) { return Vec4(unit(random), unit(random), unit(random), w); };
    std::vector<std::unique_ptr<PixelInputs>> pixels = pixelInputs(99);
    for (auto& pixel : pixels) {
        pixel->inputs.streams["position"] = vec3(1.0f);
        pixel->inputs.streams["normal"] = vec3(0.0f);
        pixel->inputs.setUniform("diffuse", Vec4(0.8f, 0.6f, 0.4f, 1.0f));
        pixel->inputs.setUniform("specular", Vec4(0.5f, 0.5f, 0.25f, 0.5f));
        pixel->inputs.setUniform("eye", Vec4(0.0f, 2.0f, 4.0f, 1.0f));
        pixel->inputs.setUniform("light", Vec4(3.0f, -1.0f, 1.0f, 1.0f));
    }
    typedef ShaderValue (*Form)(const ShaderValue&, const ShaderValue&, const ShaderValue&, const ShaderValue&,
                                const ShaderValue&, const ShaderValue&, const ShaderValue&);
    for (Form form : {Form(&blinnPhong), Form(&blinnPhongClamped), Form(&blinnPhongAttenuated)}) {
        ShaderGraph graph;
        graph.setPosition(graph.vertexStream("location"));
        ShaderValue color = form(graph.uniform("diffuse", 1), graph.uniform("specular", 1), graph.constantScalar(6.0f),
                                 graph.vertexStream("position"), graph.vertexStream("normal"), graph.uniform("eye", 1),
                                 graph.uniform("light", 1));
        std::vector<Vec4> expected;
        for (const auto& pixel : pixels)
            expected.push_back(evaluate(color, pixel->inputs));
        Mapping mapping = mappingFor(expected);
        graph.setColorResult(color * mapping.scale + mapping.offset);
        std::vector<Vec4> drawn = draw(graph, pixels);
        for (int i = 0; i < PIXELS; ++i) {
            Vec4 mapped = expected[i] * mapping.scale + Vec4(mapping.offset);
            EXPECT_TRUE(nearLanes(Vec4(mapped[0], mapped[1], mapped[2], NAN), drawn[i], 2.5f / 255.0f))
                << "pixel " << i;
        }
    }
}

// One sprite of 4 x 4 pixels whose corner lies halfway between pixel centres:
// the pixels inside see the sprite coordinate run from 1/8 to 7/8 across it,
// left to right and top to bottom.
TEST_F(GraphDraw, PointSpriteCoordinateRunsAcrossTheSprite)
{
    ShaderGraph graph;
    graph.setPosition(graph.vertexStream("location"));
    graph.setPointSize(graph.constantScalar(4.0f));
    graph.setColorResult(graph.pointSpriteCoord() * graph.vertexStream("tint"));
    // Centred on the screen point (3.5, 1.5): pixels 2..5 across, 0..3 down.
    Vec4 centre(2.0f * 3.5f / GRID_WIDTH - 1.0f, 1.0f - 2.0f * 1.5f / GRID_HEIGHT, 0.5f, 1.0f);
    std::vector<std::map<std::string, Vec4>> vertices = {
        {{"location", centre}, {"tint", Vec4(1.0f, 0.5f, 0.0f, 1.0f)}}};
    std::vector<Vec4> drawn = drawVertices(graph, GraphInputs(), vertices, PRIMITIVE_POINT_LIST, 1);
    for (int y = 0; y < GRID_HEIGHT; ++y)
        for (int x = 0; x < GRID_WIDTH; ++x) {
            bool inside = x >= 2 && x <= 5;
            Vec4 expected = inside ? Vec4((x - 1.5f) / 4.0f, 0.5f * (y + 0.5f) / 4.0f, 0.0f, NAN)
                                   : Vec4(0.0f, 0.0f, 0.0f, NAN);
            EXPECT_TRUE(nearLanes(expected, drawn[y * GRID_WIDTH + x], 2.5f / 255.0f)) << x << ", " << y;
        }
}
