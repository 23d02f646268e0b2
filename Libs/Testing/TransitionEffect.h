#pragma once

#include "Libs/Core/RenderContext.h"
#include "Libs/EvaluationGraph/ShaderBuild.h"
#include "Libs/Testing/DemoEffect.h"

#include <memory>

namespace Vostrel {

class GenericFullscreenBlitter;
namespace Core {
class Texture;
}
namespace Mesh {
class ModifiableMesh;
class MeshRenderingInstance;
} // namespace Mesh

// The opening part: a two-channel field in two 512 x 512 targets, advanced
// twice per rendered frame under the "potential" image, drawn as the
// energy of its gradient, with the texts image laid over it less the field
// times the potential. The picture depends on frames, not on time.
class TransitionEffect : public DemoEffect {
public:
    // Never null: a failed allocation throws.
    static std::unique_ptr<TransitionEffect> create();
};

class TransitionEffectImpl : public TransitionEffect {
public:
    TransitionEffectImpl();
    ~TransitionEffectImpl() override;

    void init() override;
    void release() override {}
    void setTime(float seconds, int variant) override { time = seconds; }
    void render(RenderTexture& target) override;

    // One simulation step from B into A, then A and B swap, so B holds the
    // newest state.
    void step();
    // The targets holding the newest state and the display; null before init.
    RenderTexture* getState() const { return stateB; }
    RenderTexture* getDisplay() const { return display; }
    Core::Texture* getPotential() const { return potential.get(); }
    float getTime() const { return time; }

private:
    void clearTarget(RenderTexture& target, const Vec4& colour);

    ShaderBuild cameraNormalProgram;
    Core::RenderContext cameraNormalContext; // also clears the targets
    ShaderBuild phongProgram;
    Core::RenderContext phongContext;
    std::unique_ptr<Mesh::ModifiableMesh> mesh;
    std::unique_ptr<Mesh::MeshRenderingInstance> cameraNormalInstance;
    std::unique_ptr<Mesh::MeshRenderingInstance> phongInstance;
    std::unique_ptr<GenericFullscreenBlitter> stepProgram;
    std::unique_ptr<GenericFullscreenBlitter> seedProgram;
    std::unique_ptr<GenericFullscreenBlitter> fieldProgram;
    std::unique_ptr<GenericFullscreenBlitter> glowProgram;
    std::unique_ptr<GenericFullscreenBlitter> recentreProgram;
    std::unique_ptr<GenericFullscreenBlitter> overlayProgram;
    RenderTexture* stateA = nullptr;
    RenderTexture* stateB = nullptr;
    RenderTexture* display = nullptr;
    std::unique_ptr<Core::Texture> potential;
    std::unique_ptr<Core::Texture> seed;
    std::unique_ptr<Core::Texture> texts;
    bool ready = false;
    // Per instance: a second part seeds its own field.
    bool seeded = false;
    float time = 0.0f;
};

} // namespace Vostrel
