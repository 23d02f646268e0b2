#pragma once

#include "Libs/Core/RenderContext.h"
#include "Libs/Math/Vec.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Testing/DemoEffect.h"
#include "Libs/Testing/Renderable.h"
#include "Libs/Testing/Utils/Particles.h"

#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

class BasicSceneMaterial;
class Envelope;
class EnvelopeVec3;
class ShaderContext;
struct SceneMesh;
template <typename A, typename R> class Function;
namespace Core {
class Texture;
}

// The agent-follow part: a lit agent figure, two portals morphing between
// open and closed, 36 light panels pulsing on a beat and a stream of
// animated billboards, bloomed on the scene's "HDRBeat" and overlaid with
// noise.
class AgentFollowEffect : public DemoEffect {
public:
    static std::unique_ptr<AgentFollowEffect> create();
};

// Prepares the agent's and the portal's meshes while the scene loads: smooth
// normals (and the portal's morph-target normals), triangles.
class AgentMeshCallback : public MeshLoadingCallback {
public:
    std::unique_ptr<Mesh::ModifiableMesh> onMeshLoaded(const std::string& fileName, int layer,
                                                       std::unique_ptr<Mesh::ModifiableMesh>& mesh) override;
};

// The particle stream's billboards: 400 of them in a cube of 400 units.
class SpinningParticleMesh : public ParticleMesh {
public:
    SpinningParticleMesh() : ParticleMesh(400, 400.0f) {}
};

// The part's scene: "data/Models/AgentFollow.sce" with its materials.
class AgentEffect : public Effect {
public:
    static constexpr int panelCount = 36;

    AgentEffect();
    ~AgentEffect() override;

    void update(float time) override;
    void render(float time, int secondValue) override;

    LwScene& getLwScene() const { return *lwScene; }
    const std::vector<SceneMesh*>& getPanels() const { return panels; }
    const Function<float, float>& getPanelBeat() const;
    Function<float, float>* getHdrBeat() const { return hdrBeat; }

private:
    Core::RenderContext context;
    // Materials and particles outlive the scene that draws them.
    std::vector<std::unique_ptr<ShaderContext>> shaders;
    std::vector<std::unique_ptr<BasicSceneMaterial>> materials;
    std::unique_ptr<SpinningParticleMesh> particles;
    std::unique_ptr<LwScene> lwScene;
    SceneRenderer* renderer = nullptr;
    Core::Texture* animatedTexture = nullptr;
    std::vector<SceneMesh*> panels;
    std::vector<SceneMesh*> litByCamera;
    SceneObject* portal = nullptr;
    SceneObject* camera = nullptr;
    std::unique_ptr<Envelope> panelBeat;
    std::unique_ptr<EnvelopeVec3> portalLight;
    Function<float, float>* hdrBeat = nullptr;
};

class AgentFollowEffectImpl : public AgentFollowEffect {
public:
    AgentFollowEffectImpl();
    ~AgentFollowEffectImpl() override;

    void init() override;
    void release() override {}
    void setTime(float seconds, int variant) override;
    void render(RenderTexture& target) override;

    AgentEffect* getScene() const { return scene.get(); }
    bool usesBloom() const { return useBloom; }
    bool usesNoise() const { return useNoise; }

private:
    float time = 0.0f;
    std::unique_ptr<AgentEffect> scene;
    bool useBloom = false;
    bool useNoise = false;
    Function<float, float>* beat = nullptr;
};

} // namespace Vostrel
