#pragma once

#include "Libs/Core/RenderContext.h"
#include "Libs/EvaluationGraph/ShaderBuild.h"

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

private:
    ShaderBuild shaderBuild;
};

} // namespace Vostrel
