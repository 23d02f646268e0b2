#include "Libs/Testing/Utils/Particles.h"

#include "Libs/Common/StringUtils.h"
#include "Libs/Core/Texture.h"
#include "Libs/EvaluationGraph/ShaderContext.h"
#include "Libs/EvaluationGraph/ShaderGraph.h"
#include "Libs/Image/Image.h"
#include "Libs/Math/EnvelopeVec3.h"
#include "Libs/Math/Random.h"
#include "Libs/Mesh/MeshStream.h"
#include "Libs/Mesh/MeshTopology.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Scene/Scene.h"
#include "Libs/Scene/SceneRenderer.h"
#include "Libs/Testing/Utils/ToolkitAssert.h"
#include "Libs/Testing/Utils/Utils.h"

#include <cmath>
#include <cstring>

namespace Vostrel {

namespace {

constexpr Core::StreamUsage dynamicUsage = 3;
constexpr Core::StreamUsage staticUsage = 4;

// The 8 x 8 atlas cell of (stream frame + animationFrame), looked up at the
// corner's coordinates.
ShaderValue atlasColour(ShaderGraph& graph, const ShaderValue& texcoord)
{
    ShaderValue f = (graph.vertexStream("frame") + graph.uniform("animationFrame", 1)) * 0.125f;
    ShaderValue column = frac(f)[0];
    ShaderValue row = (f - frac(f))[0] * 0.125f;
    ShaderValue cell = graph.constant4(1, 0, 0, 0) * column + graph.constant4(0, 1, 0, 0) * row;
    return texld(texcoord * graph.constant4(0.125f, 0.125f, 0, 0) + cell, graph.texture("texture1", 0));
}

} // namespace

float ParticleMesh::lastUpdateTime = 0.0f;

float wrapParticle(float x, float dx, float size)
{
    const float moved = x + dx;
    if (!(size > 0.0f) || !std::isfinite(moved))
        return x;
    const float half = size * 0.5f;
    float wrapped = moved - size * std::floor((moved + half) / size);
    // Rounding can land exactly on the upper edge.
    if (wrapped >= half)
        wrapped -= size;
    return wrapped;
}

ParticleMesh::ParticleMesh(int count, float size) : count(count), size(size)
{
    TOOLKIT_ASSERT(count > 0 && count <= (1 << 22));
    using namespace Mesh;
    mesh = ModifiableMesh::createEmpty();
    mesh->setVertexCount(4 * count);
    MeshTopology* triangles = mesh->addTopology("triangles", 2 * count, 3, TOPOLOGY_CLIENT_INDICES);
    MeshStream* location = mesh->addStream("location", 3, 0);
    MeshStream* texcoord = mesh->addStream("texcoord", 2, 0);
    MeshStream* frame = mesh->addStream("frame", 1, 0);
    xs.resize(count);
    // The streams are filled one after the other, so every location is
    // drawn from the shared generator before the first frame.
    {
        StreamLock positions(*location, Core::LOCK_DISCARD);
        for (int k = 0; k < count; ++k) {
            const float u1 = unitRandom();
            const float u2 = unitRandom();
            const float u3 = unitRandom();
            const Vec3 p((u2 - 0.5f) * size, (u1 - 0.5f) * size, (u3 - 0.5f) * size);
            xs[k] = p[0];
            for (int v = 0; v < 4; ++v)
                std::memcpy(positions.get() + 3 * (4 * k + v), p.data, sizeof p.data);
        }
    }
    {
        StreamLock uvs(*texcoord, Core::LOCK_DISCARD);
        const float corners[8] = {0, 0, 1, 0, 0, 1, 1, 1};
        for (int k = 0; k < count; ++k)
            std::memcpy(uvs.get() + 8 * k, corners, sizeof corners);
    }
    {
        StreamLock frames(*frame, Core::LOCK_DISCARD);
        for (int k = 0; k < count; ++k) {
            const float cell = std::trunc(64.0f * unitRandom());
            for (int v = 0; v < 4; ++v)
                frames.get()[4 * k + v] = cell;
        }
    }
    {
        IndexLock lock(*triangles, Core::LOCK_DISCARD);
        uint32_t* out = lock.get();
        for (uint32_t k = 0; k < static_cast<uint32_t>(count); ++k)
            for (uint32_t index : {4 * k, 4 * k + 2, 4 * k + 1, 4 * k + 3, 4 * k + 1, 4 * k + 2})
                *out++ = index;
    }
    // Locations are rewritten every frame; the rest never changes.
    location->setUsage(dynamicUsage);
    mesh->freeze(staticUsage);
}

ParticleMesh::~ParticleMesh() = default;

void ParticleMesh::update(float time, float speed)
{
    float dt = time - lastUpdateTime;
    lastUpdateTime = time;
    if (dt > 1.0f)
        dt = 0.0f;
    const float dx = dt * speed;
    Mesh::MeshStream* location = mesh->getStream("location");
    Mesh::StreamLock positions(*location, Core::LOCK_READ_WRITE);
    for (int k = 0; k < count; ++k) {
        xs[k] = wrapParticle(xs[k], dx, size);
        for (int v = 0; v < 4; ++v)
            positions.get()[3 * (4 * k + v)] = xs[k];
    }
}

ParticleSystem::ParticleSystem(LwScene& scene, int count, float systemSize, float particleSize, float speed,
                               float framesPerSecond, const std::string& textureFile, const std::string& meshName)
    : meshName(meshName), speed(speed), framesPerSecond(framesPerSecond)
{
    texture = loadTextureWithDefaults(textureFile, true);
    ShaderGraph graph;
    ShaderValue texcoord = graph.vertexStream("texcoord");
    ShaderValue centre = matrixProduct4(graph.uniform("cameraSpace", 4), graph.vertexStream("location"));
    ShaderValue offset = graph.constant4(1, 1, 0, 0) * graph.constantScalar(particleSize) * texcoord;
    graph.setPosition(matrixProduct4(graph.uniform("perspectiveTransform", 4), centre + offset));
    graph.setColorResult(atlasColour(graph, texcoord));
    shader = std::make_unique<ShaderContext>(graph);
    material = std::make_unique<BasicSceneMaterial>(shader.get());
    material->setTextureCount(1);
    material->setTexture(0, texture);
    material->setBlendEnabled(true);
    material->setSourceBlend(Core::BLEND_ONE);
    material->setDestinationBlend(Core::BLEND_ONE);
    material->setBlendColor(Vec4(1, 1, 1, 1));

    particles = std::make_unique<ParticleMesh>(count, systemSize);
    scene.setMesh(meshName, particles->getMesh());
    scene.setMaterial(meshName, material.get());
    scene.setIntConstant(meshName, "visible", 1);
}

ParticleSystem::~ParticleSystem() = default;

void ParticleSystem::update(LwScene& scene, float time)
{
    particles->update(time, speed);
    scene.setUniform(meshName, "animationFrame", Vec4(std::trunc(time * framesPerSecond), 0, 0, 0));
}

TerminalSprites::TerminalSprites(LwScene& scene, const std::string& baseName, const std::string& textureFile,
                                 int count)
    : baseName(baseName), count(count)
{
    texture = loadTextureWithDefaults(textureFile, true);
    sprite = std::make_unique<ParticleMesh>(1, 0.0f);
    ShaderGraph graph;
    ShaderValue texcoord = graph.vertexStream("texcoord");
    ShaderValue centre = matrixProduct4(graph.uniform("cameraSpace", 4), graph.vertexStream("location"));
    ShaderValue offset = (texcoord - graph.constant4(0.5f, 0.5f, 0, 0)) *
                         (graph.constant4(1, 1, 0, 0) * graph.uniform("size", 1));
    graph.setPosition(matrixProduct4(graph.uniform("perspectiveTransform", 4), centre + offset));
    ShaderValue colour = atlasColour(graph, texcoord) * graph.uniform("intensity", 1);
    ShaderValue luminance = dp4(colour, graph.constant4(0.3f, 0.59f, 0.11f, 0));
    graph.setColorResult(graph.constant4(1, 1, 1, 0) * colour + graph.constant4(0, 0, 0, 1) * luminance);
    shader = std::make_unique<ShaderContext>(graph);
    material = std::make_unique<BasicSceneMaterial>(shader.get());
    material->setTextureCount(1);
    material->setTexture(0, texture);
    material->setBlendEnabled(true);
    material->setSourceBlend(Core::BLEND_SOURCE_ALPHA);
    material->setDestinationBlend(Core::BLEND_INVERSE_SOURCE_ALPHA);

    for (int k = 1; k <= count; ++k) {
        const std::string name = baseName + StringUtils::intToString(k);
        scene.setMesh(name, sprite->getMesh());
        scene.setMaterial(name, material.get());
        scene.setIntConstant(name, "visible", 1);
        SceneObject* object = scene.findMesh(name)->object;
        Function<float, float>* size = object ? object->getAttributeFunction("sx") : nullptr;
        TOOLKIT_ASSERT(size != 0);
        sizes.push_back(size);
        Function<float, float>* intensity = object->getAttributeFunction("sy");
        TOOLKIT_ASSERT_TEXT(intensity != 0, "size != 0");
        intensities.push_back(intensity);
        Function<float, float>* rotation = object->getAttributeFunction("heading");
        TOOLKIT_ASSERT(rotation != 0);
        frames.push_back(rotation);
    }
}

TerminalSprites::~TerminalSprites() = default;

void TerminalSprites::update(LwScene& scene, float time)
{
    for (int k = 1; k <= count; ++k) {
        const std::string name = baseName + StringUtils::intToString(k);
        const float frame = std::trunc(frames[k - 1]->evaluate(time));
        const float size = sizes[k - 1]->evaluate(time);
        const float intensity = intensities[k - 1]->evaluate(time);
        scene.setUniform(name, "animationFrame", Vec4(frame, frame, frame, frame));
        scene.setUniform(name, "size", Vec4(size, size, size, size));
        scene.setUniform(name, "intensity", Vec4(intensity, intensity, intensity, intensity));
    }
}

ParticlePath::ParticlePath(const EnvelopeVec3& path, int samples, float speed, float spread)
    : speed(speed), spread(spread)
{
    TOOLKIT_ASSERT(samples > 1);
    const float start = path.getStartTime();
    const float end = path.getEndTime();
    Vec3 previous(0, 0, 1);
    for (int i = 0; i < samples; ++i) {
        const float t = start + (end - start) * i / (samples - 1);
        positions.push_back(path.evaluate(t));
        Vec3 tangent = path.derivative(t);
        const float length = std::sqrt(dot(tangent, tangent));
        tangent = length > 1e-6f && std::isfinite(length) ? tangent * (1.0f / length) : previous;
        tangents.push_back(tangent);
        previous = tangent;
    }
}

PathParticleSet::PathParticleSet(const ParticlePath& path, int count)
    : path(path), positions(count), velocities(count), samples(count)
{
    TOOLKIT_ASSERT(count > 0);
    for (int i = 0; i < count; ++i) {
        samples[i] = i % static_cast<int>(path.positions.size());
        restart(i);
        samples[i] = i % static_cast<int>(path.positions.size());
    }
}

void PathParticleSet::restart(int particle)
{
    const int sample = samples[particle];
    positions[particle] = path.positions[sample] + randomPointInUnitSphere() * path.spread;
    velocities[particle] = Vec3(0, 0, 0);
}

void PathParticleSet::step()
{
    const int last = static_cast<int>(path.positions.size()) - 1;
    for (size_t i = 0; i < positions.size(); ++i) {
        int& sample = samples[i];
        while (sample < last && dot(positions[i] - path.positions[sample], path.tangents[sample]) > 0.0f)
            ++sample;
        if (sample >= last) {
            sample = 0;
            restart(static_cast<int>(i));
            continue;
        }
        velocities[i] = path.tangents[sample] * path.speed;
        positions[i] = positions[i] + velocities[i];
    }
}

std::unique_ptr<Mesh::ModifiableMesh> createPathParticleMesh(const PathParticleSet& particles)
{
    using namespace Mesh;
    const int count = static_cast<int>(particles.getPositions().size());
    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
    mesh->setVertexCount(4 * count);
    MeshStream* frame = mesh->addStream("frame", 1, 0);
    mesh->addStream("location", 3, 0);
    {
        StreamLock frames(*frame, Core::LOCK_DISCARD);
        for (int k = 0; k < count; ++k)
            for (int v = 0; v < 4; ++v)
                frames.get()[4 * k + v] = static_cast<float>(k % 64);
    }
    MeshTopology* triangles = mesh->addTopology("triangles", 2 * count, 3, TOPOLOGY_CLIENT_INDICES);
    {
        IndexLock lock(*triangles, Core::LOCK_DISCARD);
        uint32_t* out = lock.get();
        for (uint32_t k = 0; k < static_cast<uint32_t>(count); ++k)
            for (uint32_t index : {4 * k, 4 * k + 2, 4 * k + 1, 4 * k + 3, 4 * k + 1, 4 * k + 2})
                *out++ = index;
    }
    updatePathParticleMesh(*mesh, particles);
    mesh->getStream("location")->setUsage(dynamicUsage);
    mesh->freeze(staticUsage);
    return mesh;
}

void updatePathParticleMesh(Mesh::ModifiableMesh& mesh, const PathParticleSet& particles)
{
    const std::vector<Vec3>& positions = particles.getPositions();
    TOOLKIT_ASSERT(mesh.getVertexCount() == 4 * static_cast<int>(positions.size()));
    Mesh::StreamLock lock(*mesh.getStream("location"), Core::LOCK_READ_WRITE);
    for (size_t k = 0; k < positions.size(); ++k)
        for (int v = 0; v < 4; ++v)
            std::memcpy(lock.get() + 3 * (4 * k + v), positions[k].data, sizeof positions[k].data);
}

} // namespace Vostrel
