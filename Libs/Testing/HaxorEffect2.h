#pragma once

#include "Libs/Core/RenderContext.h"
#include "Libs/EvaluationGraph/ShaderBuild.h"
#include "Libs/Math/Vec.h"
#include "Libs/Postprocessing/RenderTexture.h"
#include "Libs/Testing/DemoEffect.h"

#include <array>
#include <memory>
#include <vector>

namespace Vostrel {

class Blitter;

namespace Core {
class Texture;
}
namespace Mesh {
class MeshRenderingInstance;
class ModifiableMesh;
} // namespace Mesh

// A network of hanging cables on a tube around the x axis, with points
// running along it and branching at random at every junction.
struct HaxorNetwork {
    struct Curve {
        int start = 0;
        int end = 0;
        float length = 0.0f; // d
        float b = 0.0f;
        float c = 0.0f;
        std::vector<Vec3> samples; // on the tube
    };
    struct Particle {
        int curve = 0;
        float distance = 0.0f;
    };

    // Parameter points (axial position, radial offset, angle) of 32 rings of 20.
    std::vector<Vec3> points;
    std::vector<std::array<int, 2>> edges;
    std::vector<Curve> curves;
    // The curves starting at each point.
    std::vector<std::vector<int>> junctions;
    std::vector<Particle> particles;
    std::unique_ptr<Mesh::ModifiableMesh> lineMesh;
    std::unique_ptr<Mesh::ModifiableMesh> pointMesh;
    std::unique_ptr<Mesh::MeshRenderingInstance> lineInstance;
    std::unique_ptr<Mesh::MeshRenderingInstance> pointInstance;
    float lastTime = 0.0f;

    HaxorNetwork();
    ~HaxorNetwork();

    // (x, y, a) -> (x, cos(a) (6 - y), sin(a) (6 - y)).
    static Vec3 tube(const Vec3& p);
    // The cable's radial offset at s along a curve.
    static float cableOffset(const Curve& curve, float s);

    void build(int particleCount);
    // Moves every particle dt along its curves and writes the point mesh.
    void advance(float dt);
    Vec3 particlePosition(const Particle& particle) const;
};

class HaxorEffect2 : public DemoEffect {
public:
    // Never null: a failed allocation throws.
    static HaxorEffect2* create();
};

class HaxorEffect2Impl : public HaxorEffect2 {
public:
    HaxorEffect2Impl();
    ~HaxorEffect2Impl() override;

    void init() override;
    void release() override {}
    void setTime(float seconds, int variant) override;
    void render(RenderTexture& target) override;

    // The camera's distance: from 50 in to 20 over 3.6 s, back out in 0.4 s.
    static float cameraDistance(float time);
    static Matrix4 cameraMatrix(float time);

    HaxorNetwork& getNetwork() { return *network; }
    RenderTexture& getTrail() { return *trail; }

private:
    float time = 0.0f;
    ShaderBuild lineShader, pointShader;
    Core::RenderContext lineContext, pointContext;
    std::unique_ptr<HaxorNetwork> network;
    RenderTexture* trail = nullptr;
    std::unique_ptr<Blitter> trailBlitter;
    std::unique_ptr<Core::Texture> spriteTexture;
};

} // namespace Vostrel
