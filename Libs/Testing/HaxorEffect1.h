#pragma once

#include "Libs/Scene/LwScene.h"
#include "Libs/Testing/DemoEffect.h"
#include "Libs/Testing/Renderable.h"

#include <memory>
#include <string>

namespace Vostrel {

class AlphaGlow;
class BiasMaterial;

namespace Core {
class Texture;
}
namespace Mesh {
class ModifiableMesh;
}

// The first hacker part: a subdivided morphing tree, tiles flashing on the
// beat and two glowing line clouds made from random points at start-up.
class HaxorEffect1 : public DemoEffect {
public:
    // Never null: a failed allocation throws.
    static HaxorEffect1* create();
};

class Haxor1Scene : public Effect {
public:
    Haxor1Scene();
    ~Haxor1Scene() override;
    Haxor1Scene(const Haxor1Scene&) = delete;
    Haxor1Scene& operator=(const Haxor1Scene&) = delete;

    void render(float time, int secondValue) override;
    void update(float time) override;

    // Whether moving from lastBeat to beat passes a flashing beat (0, 3, 6,
    // 9 or 14 of every 16); never when the time goes back.
    static bool flashes(int lastBeat, int beat);
    // "Light" placed by its parent at the time (its own position without one).
    Vec3 lightPosition(float time) const;

    LwScene& getLwScene() { return *lwScene; }
    int getLastBeat() const { return lastBeat; }
    int getFlashCount() const { return flashCount; }
    BiasMaterial& getMorphSurface() { return *morphSurface; }

private:
    // Outlives the materials that bind it.
    std::unique_ptr<Core::Texture> tileTexture;
    std::unique_ptr<LwScene> lwScene;
    SceneRenderer* renderer = nullptr;
    std::unique_ptr<BiasMaterial> defaultSurface, morphSurface, lines, boxSurface, flickerTiles;
    // The generated line clouds, not in the mesh cache.
    std::unique_ptr<Mesh::ModifiableMesh> voronoiMesh, delaunayMesh;
    SceneObject* light = nullptr;
    SceneObject* camera = nullptr;
    int lastBeat = -1;
    int flashCount = 0;
};

// Subdivides the tree's cage with its morph targets and turns box4's curves
// into lines.
class Haxor1SceneMeshCallback : public MeshLoadingCallback {
public:
    std::unique_ptr<Mesh::ModifiableMesh> onMeshLoaded(const std::string& fileName, int layer,
                                                       std::unique_ptr<Mesh::ModifiableMesh>& mesh) override;
};

class HaxorEffect1Impl : public HaxorEffect1 {
public:
    HaxorEffect1Impl();
    ~HaxorEffect1Impl() override;

    void init() override;
    void release() override;
    void setTime(float seconds, int variant) override;
    void render(RenderTexture& target) override;

    Haxor1Scene* getScene() const { return scene.get(); }

private:
    std::unique_ptr<Haxor1Scene> scene;
    float time = 0.0f;
    std::unique_ptr<AlphaGlow> glow;
};

// n points of the unit cube (three floats each), pushed apart by 100 passes
// of inverse-square repulsion, then jittered by 0.01.
void spreadPoints(int n, float* points);
// Each Delaunay tetrahedron of 80 spread points as its six edges, shrunk to
// 80 % towards its centroid: "location" and "lines".
std::unique_ptr<Mesh::ModifiableMesh> createDelaunayLineMesh();
// The Voronoi edges of 250 spread points scaled by 1.5.
std::unique_ptr<Mesh::ModifiableMesh> createVoronoiLineMesh();

} // namespace Vostrel
