#pragma once

#include "Libs/EvaluationGraph/ShaderBuild.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Testing/DemoEffect.h"
#include "Libs/Testing/Renderable.h"

#include <memory>
#include <string>

namespace Vostrel {

class BiasMaterial;
class GenericFullscreenBlitter;
class MultipassMaterial;
class ShaderGraph;
class Scene;
struct RenderTexture;

// A scene graph whose position is "fullTransform" x "location".
ShaderGraph placedGraph();

// Clears colour and depth of the current target to transparent black.
void clearColourAndDepth();

// The curves of a mesh's "curves" polygons as a new line mesh of
// samplesPerCurve points each; frees the loaded mesh.
std::unique_ptr<Mesh::ModifiableMesh> linesFromCurves(std::unique_ptr<Mesh::ModifiableMesh>& mesh,
                                                      int samplesPerCurve);

// The glow of the attack and first hacker parts: the scene drawn into an
// 800 x 600 target, its alpha turned grey, halved twice, blurred and added
// with a weight over the scene.
class AlphaGlow {
public:
    // Builds the alpha blitter and lets the pool make every target render takes.
    AlphaGlow();
    ~AlphaGlow();
    AlphaGlow(const AlphaGlow&) = delete;
    AlphaGlow& operator=(const AlphaGlow&) = delete;

    void render(Renderable& scene, float time, RenderTexture& target, float glowWeight);

private:
    std::unique_ptr<GenericFullscreenBlitter> alphaBlitter;
};

// The part: a wire and glass structure that bursts into its triangles at
// beat 20, its glow rising after beat 44.
class AttackEffect : public DemoEffect {
public:
    // Never null: a failed allocation throws.
    static AttackEffect* create();
};

class AttackScene : public Effect {
public:
    AttackScene();
    ~AttackScene() override;
    AttackScene(const AttackScene&) = delete;
    AttackScene& operator=(const AttackScene&) = delete;

    void render(float time, int secondValue) override;
    void update(float time) override;

    LwScene& getLwScene() { return *lwScene; }
    BiasMaterial& getExplode() { return *explode; }
    MultipassMaterial& getStructure() { return *structure; }
    // What the last update gave the explode material.
    float getColScale() const { return colScale; }
    float getBlendFactor() const { return blendFactor; }
    float getDtime() const { return dtime; }

private:
    std::unique_ptr<Scene> scene;
    std::unique_ptr<LwScene> lwScene;
    SceneRenderer* renderer = nullptr;
    std::unique_ptr<BiasMaterial> surface, glass, explode, wire, curveLines, bright, shaded;
    std::unique_ptr<MultipassMaterial> structure;
    float colScale = 1.0f;
    float blendFactor = 0.5f;
    float dtime = 0.0f;
};

// Prepares con3's layers: explode streams and wire edges on 1 and 2, lines
// from the curves of 11, normals on the rest.
class AttackSceneMeshCallback : public MeshLoadingCallback {
public:
    std::unique_ptr<Mesh::ModifiableMesh> onMeshLoaded(const std::string& fileName, int layer,
                                                       std::unique_ptr<Mesh::ModifiableMesh>& mesh) override;
};

class AttackEffectImpl : public AttackEffect {
public:
    void init() override;
    void release() override;
    void setTime(float seconds, int variant) override;
    void render(RenderTexture& target) override;

    // 1 up to beat 44, then rising by one a beat.
    static float glowWeight(float time);

    AttackScene* getScene() const { return scene.get(); }

private:
    std::unique_ptr<AttackScene> scene;
    float time = 0.0f;
    std::unique_ptr<AlphaGlow> glow;
};

} // namespace Vostrel
