#pragma once

#include "Libs/Math/Vec.h"

#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

class EnvelopeVec3;
class LwScene;
class ShaderContext;
class BasicSceneMaterial;
template <typename A, typename R> class Function;
namespace Core {
class Texture;
}
namespace Mesh {
class ModifiableMesh;
}

// Billboards: four vertices per particle at its centre, spread into a quad
// by the vertex shader, with a random frame of an 8 x 8 atlas each.
class ParticleMesh {
public:
    ParticleMesh(int count, float size);
    virtual ~ParticleMesh();

    // Drifts the cloud along x by speed per second, wrapping inside its cube.
    virtual void update(float time, float speed);

    Mesh::ModifiableMesh* getMesh() const { return mesh.get(); }
    int getCount() const { return count; }
    float getSize() const { return size; }

    // The last update's time, shared by every particle mesh.
    static float lastUpdateTime;

protected:
    std::unique_ptr<Mesh::ModifiableMesh> mesh;
    int count;
    float size;
    std::vector<float> xs;
};

// x moved by dx and wrapped into [-size / 2, size / 2) however far it went.
float wrapParticle(float x, float dx, float size);

// A drifting cloud of atlas-animated particles on a scene object.
class ParticleSystem {
public:
    ParticleSystem(LwScene& scene, int count, float systemSize, float particleSize, float speed,
                   float framesPerSecond, const std::string& textureFile, const std::string& meshName);
    ~ParticleSystem();
    void update(LwScene& scene, float time);
    ParticleMesh& getParticles() const { return *particles; }

private:
    std::string meshName;
    Core::Texture* texture;
    std::unique_ptr<ParticleMesh> particles;
    float speed;
    float framesPerSecond;
    std::unique_ptr<ShaderContext> shader;
    std::unique_ptr<BasicSceneMaterial> material;
};

// Scene objects shown as single atlas sprites whose size ("sx"),
// brightness ("sy") and frame ("heading") follow their channels.
class TerminalSprites {
public:
    TerminalSprites(LwScene& scene, const std::string& baseName, const std::string& textureFile, int count);
    ~TerminalSprites();
    void update(LwScene& scene, float time);

private:
    std::string baseName;
    int count;
    std::vector<Function<float, float>*> sizes;
    std::vector<Function<float, float>*> frames;
    std::vector<Function<float, float>*> intensities;
    Core::Texture* texture;
    std::unique_ptr<ParticleMesh> sprite;
    std::unique_ptr<ShaderContext> shader;
    std::unique_ptr<BasicSceneMaterial> material;
};

// Particles that follow a path: samples of its positions and directions.
class ParticlePath {
public:
    ParticlePath(const EnvelopeVec3& path, int samples, float speed, float spread);
    std::vector<Vec3> positions;
    std::vector<Vec3> tangents;
    float speed;
    float spread;
    float epsilon = 0.001f;
};

class PathParticleSet {
public:
    PathParticleSet(const ParticlePath& path, int count);
    // One step: each particle passes the planes of the samples it has left
    // behind and moves along the current sample's direction.
    void step();
    const std::vector<Vec3>& getPositions() const { return positions; }

private:
    void restart(int particle);

    const ParticlePath& path;
    std::vector<Vec3> positions;
    std::vector<Vec3> velocities;
    std::vector<int> samples;
};

// Quads of "location" and "frame" over the particles' positions.
std::unique_ptr<Mesh::ModifiableMesh> createPathParticleMesh(const PathParticleSet& particles);
void updatePathParticleMesh(Mesh::ModifiableMesh& mesh, const PathParticleSet& particles);

} // namespace Vostrel
