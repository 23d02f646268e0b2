#pragma once

#include "Libs/Core/RenderContext.h"
#include "Libs/Math/Function.h"
#include "Libs/Math/Matrix.h"
#include "Libs/Scene/LwScene.h"
#include "Libs/Testing/DemoEffect.h"
#include "Libs/Testing/Renderable.h"

#include <array>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

class BasicSceneMaterial;
class Envelope;
class EnvelopeVec3;
class FogLayers;
class GenericFullscreenBlitter;
class ShaderContext;
namespace Core {
class Texture;
}

// The plasma's integer wave tables: trunc((sin(i pi / 128) + 1) * 64) and
// the same of the cosine, each entry in 0..128.
struct ElevatorWaveTables {
    std::array<int32_t, 256> sine;
    std::array<int32_t, 256> cosine;
};
const ElevatorWaveTables& elevatorWaveTables();

// The elevator's background: 256 x 256 pixels of integer plasma written on
// the processor, red and blue alike, alpha 0. Each update draws with the
// phases the previous one left.
class ElevatorPlasma {
public:
    static constexpr int size = 256;

    // Writes the top-left 256 x 256 pixels of an A8R8G8B8 texture (rows at
    // the pitch the lock gives), then advances the phases by the time.
    void update(Core::Texture& texture, float time);

    float u = 124.0f;
    float v = 67.0f;
    float w = 21.0f;
};

// Hands every mesh of the elevator's scene to the default freezing.
class ElevatorMeshCallback : public MeshLoadingCallback {
public:
    std::unique_ptr<Mesh::ModifiableMesh> onMeshLoaded(const std::string& fileName, int layer,
                                                       std::unique_ptr<Mesh::ModifiableMesh>& mesh) override;
};

// The elevator scene: blended, plasma-textured cube layers of
// "data/Models/Cubevator.sce" in front of the plasma itself; the two root
// objects run on the scene's own time warp "CubevatorTime".
class Elevator : public Effect {
public:
    Elevator();
    ~Elevator() override;

    void render(float time, int extra) override;
    void update(float time) override;

    // The scene's "HDRBeat" curve, which the part's bloom key follows.
    const Function<float, float>& getBeatCurve() const { return *beatCurve; }
    LwScene& getScene() const { return *lwScene; }
    Core::Texture* getPlasmaTexture() const { return plasmaTexture.get(); }
    const ElevatorPlasma& getPlasma() const { return plasma; }
    bool hasFog() const { return fog != nullptr; }

private:
    std::unique_ptr<BasicSceneMaterial> makeMaterial(const std::string& textureStream, int colourKind,
                                                     const Vec4& outerColour, const Vec4& blendColour);

    Core::RenderContext context;
    std::unique_ptr<Scene> scene;
    std::unique_ptr<LwScene> lwScene;
    SceneRenderer* renderer = nullptr;
    std::unique_ptr<FogLayers> fog;
    std::unique_ptr<EnvelopeVec3> lightEnvelope;
    Function<float, float>* timeWarp = nullptr;
    std::vector<SceneObject*> warpedObjects;
    std::array<Matrix4, 2> warpedTransforms;
    std::unique_ptr<Core::Texture> plasmaTexture;
    ElevatorPlasma plasma;
    std::unique_ptr<GenericFullscreenBlitter> background;
    Function<float, float>* beatCurve = nullptr;
    std::vector<std::unique_ptr<ShaderContext>> shaders;
    std::vector<std::unique_ptr<BasicSceneMaterial>> materials;
};

// The elevator part: the scene into a pooled target, lit by the HDR bloom
// whose key pulses with the scene's "HDRBeat" and a fixed beat pattern,
// with moving noise taken off the result.
class ElevatorEffect : public DemoEffect {
public:
    // Never null: a failed allocation throws.
    static std::unique_ptr<ElevatorEffect> create();
};

class ElevatorEffectImpl : public ElevatorEffect {
public:
    ElevatorEffectImpl();
    ~ElevatorEffectImpl() override;

    void init() override;
    void release() override {}
    void setTime(float seconds, int variant) override;
    void render(RenderTexture& target) override;

    // The bloom key at a time: the beat pattern, the scene's "HDRBeat" and
    // a small flicker over a base.
    float bloomKey(float time) const;
    Elevator* getScene() const { return scene.get(); }
    bool usesBloom() const { return useBloom; }
    bool usesNoise() const { return useNoise; }

private:
    std::unique_ptr<Elevator> scene;
    float time = 0.0f;
    bool useBloom = false;
    bool useNoise = false;
    std::unique_ptr<Envelope> beat;
};

} // namespace Vostrel
