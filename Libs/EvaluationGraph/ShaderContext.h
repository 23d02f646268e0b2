#pragma once

#include "Libs/Core/RenderContext.h"
#include "Libs/EvaluationGraph/ShaderBuild.h"

#include <string>

namespace Vostrel {

class ShaderGraph;

// A render context that carries the built shader of one graph and has it
// applied to itself from the start.
class ShaderContext : public Core::RenderContext {
public:
    // Builds the graph (once: a graph is built once).
    explicit ShaderContext(const ShaderGraph& graph);

    const ShaderBuild& getShaderBuild() const { return shaderBuild; }
    Core::RenderContext& getRenderContext() { return *this; }

    // The build's setters on this context; names the shader does not
    // declare are ignored.
    void setUniform(const std::string& name, const Vec4& value) { shaderBuild.setUniform(*this, name, value); }
    void setUniformVec3(const std::string& name, const Vec3& value)
    {
        shaderBuild.setUniformVec3(*this, name, value);
    }
    void setUniformMatrix(const std::string& name, const Matrix4& value)
    {
        shaderBuild.setUniformMatrix(*this, name, value);
    }
    using Core::RenderContext::setTexture;
    void setTexture(const std::string& name, Core::Texture* texture) { shaderBuild.setTexture(*this, name, texture); }

    void disableBlending() { setBlending(false); }
    // A blend block of its own with blending on and the given values; the
    // depth state is left alone.
    void setBlendMode(int operation, int source, int destination, float r, float g, float b, float a,
                      bool separateAlpha, int alphaOperation, int alphaSource, int alphaDestination);

    // A new blend block holding blending on and the eleven values, for a
    // context to take with copyBlendState. The values are the engine's codes,
    // cast: the device refuses what it cannot map when the state is applied.
    static Core::SharedState<Core::BlendState> makeBlendState(int operation, int source, int destination, float r,
                                                              float g, float b, float a, bool separateAlpha,
                                                              int alphaOperation, int alphaSource,
                                                              int alphaDestination);

private:
    ShaderBuild shaderBuild;
};

} // namespace Vostrel
