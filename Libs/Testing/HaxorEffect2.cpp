#include "Libs/Testing/HaxorEffect2.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/Perspective.h"
#include "Libs/Core/RenderTarget.h"
#include "Libs/Core/Texture.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Image/Image.h"
#include "Libs/Math/Matrix.h"
#include "Libs/Math/Random.h"
#include "Libs/Mesh/MeshRenderingInstance.h"
#include "Libs/Mesh/MeshStream.h"
#include "Libs/Mesh/MeshTopology.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Postprocessing/Blitter.h"
#include "Libs/Postprocessing/PostProcessing.h"

#include <algorithm>
#include <cmath>

namespace Vostrel {

namespace {

const int rings = 32;
const int perRing = 20;
const int trailSize = 512;
// The point mesh is rewritten every frame.
const Core::StreamUsage pointUsage = 3 | Core::STREAM_POINT_SPRITES;

// [0, 1) from the program-wide generator.
double unitRandom() { return randomUInt32() * (1.0 / 4294967296.0); }

int randomIndex(size_t count)
{
    return std::min(static_cast<int>(unitRandom() * count), static_cast<int>(count) - 1);
}

ShaderValue cameraPosition(ShaderGraph& graph)
{
    ShaderValue q = matrixProduct4(graph.uniform("camera", 4), graph.vertexStream("location"));
    graph.setPosition(q);
    return q;
}

void setAdditive(Core::RenderContext& context)
{
    context.setDepthTest(false);
    context.setCullMode(Core::CULL_NONE);
    context.setBlending(true);
    context.setBlendOperation(Core::BLENDOP_ADD);
}

// A soft round spot reaching 0 at its rim, in all four channels.
std::unique_ptr<Core::Texture> spotTexture()
{
    const int size = 256;
    std::unique_ptr<Image> image(Image::create(size, size, 4));
    unsigned char* out = image->getData();
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double u = 2.0 * x / size - 1.0, v = 2.0 * y / size - 1.0;
            const double g = std::clamp(std::exp(-2.0 * (u * u + v * v)) - std::exp(-2.0), 0.0, 1.0);
            std::fill_n(out + 4 * (y * size + x), 4, static_cast<unsigned char>(g * 255.0));
        }
    return std::unique_ptr<Core::Texture>(image->createTexture2D(nullptr));
}

} // namespace

// ---- Network --------------------------------------------------------------------

HaxorNetwork::HaxorNetwork() = default;
HaxorNetwork::~HaxorNetwork() = default;

Vec3 HaxorNetwork::tube(const Vec3& p)
{
    return Vec3(p[0], std::cos(p[2]) * (6.0f - p[1]), std::sin(p[2]) * (6.0f - p[1]));
}

float HaxorNetwork::cableOffset(const Curve& curve, float s)
{
    return std::exp(s + curve.b) + std::exp(-(s + curve.b)) + curve.c;
}

void HaxorNetwork::build(int particleCount)
{
    points.clear();
    for (int j = 0; j < rings; ++j) {
        const float a = j * 0.20268339703225807f;
        for (int k = 0; k < perRing; ++k) {
            const float u1 = static_cast<float>(unitRandom() * 0.4 - 0.2);
            const float u2 = static_cast<float>(unitRandom() - 0.5);
            points.push_back(Vec3(k * 0.8f - 8.0f + u1, u2, a));
        }
    }
    edges.clear();
    for (int j = 0; j < rings; ++j) {
        const int next = (j + 1) % rings;
        for (int k = 0; k < perRing; ++k) {
            // Within one step of k on the next ring.
            auto near = [&] {
                const int m = static_cast<int>(-3.0 * unitRandom());
                return std::clamp(k - m - 1, 0, perRing - 1);
            };
            const int i = near();
            edges.push_back({perRing * j + k, perRing * next + i});
            const int i2 = near();
            edges.push_back({perRing * j + i2, perRing * next + k});
        }
    }

    curves.clear();
    junctions.assign(points.size(), {});
    std::vector<Vec3> vertices;
    std::vector<uint32_t> indices;
    for (const std::array<int, 2>& edge : edges) {
        const Vec3 p0 = points[edge[0]], p1 = points[edge[1]];
        Curve curve;
        curve.start = edge[0];
        curve.end = edge[1];
        const double dx = p1[0] - p0[0], da = p1[2] - p0[2];
        const double d = std::sqrt(dx * dx + da * da);
        const double e = std::exp(d), dy = p1[1] - p0[1];
        const double b = std::log((dy + std::sqrt(dy * dy + 4.0 * (e + 1.0 / e - 2.0))) / (2.0 * (e - 1.0)));
        curve.length = static_cast<float>(d);
        curve.b = static_cast<float>(b);
        curve.c = static_cast<float>(p0[1] - std::exp(b) - std::exp(-b));
        const int n = std::max(1, static_cast<int>(std::ceil(100.0 * d)));
        const uint32_t first = static_cast<uint32_t>(vertices.size());
        for (int k = 0; k <= n; ++k) {
            const float f = static_cast<float>(k) / n;
            Vec3 p = p0 + (p1 - p0) * f;
            if (k > 0)
                p[1] = cableOffset(curve, static_cast<float>(k * d / n));
            curve.samples.push_back(tube(p));
            vertices.push_back(curve.samples.back());
            if (k > 0) {
                indices.push_back(first + k - 1);
                indices.push_back(first + k);
            }
        }
        junctions[curve.start].push_back(static_cast<int>(curves.size()));
        curves.push_back(std::move(curve));
    }

    lineMesh = Mesh::ModifiableMesh::createEmpty();
    lineMesh->setVertexCount(static_cast<int>(vertices.size()));
    lineMesh->addStreamFromData("location", 3, &vertices[0][0], 4);
    Mesh::MeshTopology* lines =
        lineMesh->addTopology("lines", static_cast<int>(indices.size() / 2), 2, Mesh::TOPOLOGY_CLIENT_INDICES);
    {
        Mesh::IndexLock lock(*lines, Core::LOCK_DISCARD);
        std::copy(indices.begin(), indices.end(), lock.get());
    }
    lineMesh->freeze(4);

    particles.resize(static_cast<size_t>(particleCount));
    for (Particle& particle : particles) {
        particle.curve = randomIndex(curves.size());
        particle.distance = static_cast<float>(unitRandom() * curves[particle.curve].length);
    }
    pointMesh = Mesh::ModifiableMesh::createEmpty();
    pointMesh->setVertexCount(particleCount);
    pointMesh->addStream("location", 3, pointUsage);
    pointMesh->addTopology("points", particleCount, 1, Mesh::TOPOLOGY_UNINDEXED);
    advance(0.0f);
}

Vec3 HaxorNetwork::particlePosition(const Particle& particle) const
{
    const Curve& curve = curves[particle.curve];
    const int last = static_cast<int>(curve.samples.size()) - 1;
    const float f = curve.length > 0.0f ? last / curve.length * particle.distance : 0.0f;
    // At exactly the curve's length the last segment's end, not a sample past it.
    const int i = std::clamp(static_cast<int>(std::floor(f)), 0, last - 1);
    return curve.samples[i] + (curve.samples[i + 1] - curve.samples[i]) * (f - i);
}

void HaxorNetwork::advance(float dt)
{
    for (Particle& particle : particles) {
        particle.distance += dt;
        while (particle.distance > curves[particle.curve].length) {
            particle.distance -= curves[particle.curve].length;
            const std::vector<int>& next = junctions[curves[particle.curve].end];
            particle.curve = next.empty() ? 0 : next[randomIndex(next.size())];
        }
    }
    Mesh::StreamLock lock(*pointMesh->getStream("location"), Core::LOCK_DISCARD);
    Vec3* out = reinterpret_cast<Vec3*>(lock.get());
    for (const Particle& particle : particles)
        *out++ = particlePosition(particle);
}

// ---- Part ------------------------------------------------------------------------

HaxorEffect2* HaxorEffect2::create() { return new HaxorEffect2Impl; }

HaxorEffect2Impl::HaxorEffect2Impl() = default;
HaxorEffect2Impl::~HaxorEffect2Impl() = default;

void HaxorEffect2Impl::init()
{
    trailBlitter.reset(createBlitter(5));
    const float o = 1.0f / trailSize;
    const float offsets[10] = {0, 0, o, 0, -o, 0, 0, o, 0, -o};
    const float weights[5] = {0.195f, 0.195f, 0.195f, 0.195f, 0.195f};
    trailBlitter->setOffsets(offsets);
    trailBlitter->setWeights(weights);

    // Kept from frame to frame, so never handed out by the pool.
    trail = RenderTargetPool::create(trailSize, trailSize, Core::FORMAT_A8R8G8B8);
    RenderTargetPool::release(RenderTargetPool::acquire(trailSize, trailSize, Core::FORMAT_A8R8G8B8));

    {
        ShaderGraph graph;
        ShaderValue q = cameraPosition(graph);
        graph.setColorResult(graph.uniform("color", 1) * rcp(q[2]));
        lineShader = graph.build();
    }
    {
        ShaderGraph graph;
        ShaderValue q = cameraPosition(graph);
        ShaderValue spot = texld(graph.pointSpriteCoord(), graph.texture("texture", Core::TEXTURE_TYPE_2D));
        graph.setColorResult(spot * graph.uniform("color", 1) * rcp(q[2]));
        graph.setPointSize(40.0f * rcp(q[3]));
        pointShader = graph.build();
    }
    lineShader.apply(lineContext);
    pointShader.apply(pointContext);
    setAdditive(lineContext);
    setAdditive(pointContext);
    pointContext.setPointSprite(true);
    spriteTexture = spotTexture();
    pointShader.setTexture(pointContext, "texture", spriteTexture.get());

    network = std::make_unique<HaxorNetwork>();
    network->build(5000);
    network->lineInstance = network->lineMesh->createRenderingInstance(lineShader.getStreamNames(), "Default");
    network->pointInstance = network->pointMesh->createRenderingInstance(pointShader.getStreamNames(), "Default");

    trail->target->begin();
    Core::RenderContext context;
    context.clear(3, Vec4(0.0f, 0.0f, 0.0f, 0.0f), 1.0f, 0);
    trail->target->end();
}

void HaxorEffect2Impl::setTime(float seconds, int) { time = seconds; }

float HaxorEffect2Impl::cameraDistance(float time)
{
    const float scaled = time * 0.25f;
    const float f = scaled - std::floor(scaled);
    return f < 0.9f ? 50.0f - 30.0f * f / 0.9f : 20.0f + 300.0f * (f - 0.9f);
}

Matrix4 HaxorEffect2Impl::cameraMatrix(float time)
{
    Matrix4 translation(1.0f);
    translation(2, 3) = cameraDistance(time);
    return Core::Perspective::frustum(-0.1f, 0.1f, -0.1f, 0.1f, 0.1f, 100.0f) * translation *
           rotationMatrix4(Vec3(0.0f, 1.0f, 0.0f), 4.0f * std::sin(0.4f * time)) *
           rotationMatrix4(Vec3(1.0f, 0.0f, 0.0f), time);
}

void HaxorEffect2Impl::render(RenderTexture& target)
{
    trail->target->begin();
    const Matrix4 camera = cameraMatrix(time).transpose();
    lineShader.setUniformMatrix(lineContext, "camera", camera);
    pointShader.setUniformMatrix(pointContext, "camera", camera);
    lineShader.setUniform(lineContext, "color", Vec4(0.2f, 0.3f, 1.0f, 0.0f));
    network->lineInstance->render(lineContext);
    if (time > network->lastTime) {
        network->advance(time - network->lastTime);
        network->lastTime = time;
    }
    pointShader.setUniform(pointContext, "color", Vec4(1.2f, 0.1f, 0.1f, 0.0f));
    network->pointInstance->render(pointContext);
    trail->target->end();

    // Blurred there and back, so the trail fades and spreads a little each frame.
    PooledRenderTexture scratch(trailSize, trailSize, Core::FORMAT_A8R8G8B8);
    Core::RenderContext clearing;
    scratch->target->begin();
    clearing.clear(3, Vec4(0.0f, 0.0f, 0.0f, 0.0f), 1.0f, 0);
    trailBlitter->blit(trail->texture);
    scratch->target->end();
    trail->target->begin();
    clearing.clear(3, Vec4(0.0f, 0.0f, 0.0f, 0.0f), 1.0f, 0);
    trailBlitter->blit(scratch->texture);
    trail->target->end();
    target.target->begin();
    trailBlitter->blit(trail->texture);
    target.target->end();
}

} // namespace Vostrel
