#include "Libs/EvaluationGraph/ShaderContext.h"

#include "Libs/EvaluationGraph/ShaderGraph.h"

namespace Vostrel {

ShaderContext::ShaderContext(const ShaderGraph& graph)
{
    shaderBuild = graph.build();
    shaderBuild.apply(*this);
}

void ShaderContext::setBlendMode(int operation, int source, int destination, float r, float g, float b, float a,
                                 bool separateAlpha, int alphaOperation, int alphaSource, int alphaDestination)
{
    copyBlendState(makeBlendState(operation, source, destination, r, g, b, a, separateAlpha, alphaOperation,
                                  alphaSource, alphaDestination));
}

Core::SharedState<Core::BlendState> ShaderContext::makeBlendState(int operation, int source, int destination,
                                                                  float r, float g, float b, float a,
                                                                  bool separateAlpha, int alphaOperation,
                                                                  int alphaSource, int alphaDestination)
{
    Core::SharedState<Core::BlendState> block = Core::BlendState::create();
    Core::BlendState* state = block.detach();
    state->enabled = true;
    state->operation = static_cast<Core::BlendOperation>(operation);
    state->source = static_cast<Core::BlendMode>(source);
    state->destination = static_cast<Core::BlendMode>(destination);
    state->factor = Vec4(r, g, b, a);
    state->separateAlpha = separateAlpha;
    state->alphaOperation = static_cast<Core::BlendOperation>(alphaOperation);
    state->alphaSource = static_cast<Core::BlendMode>(alphaSource);
    state->alphaDestination = static_cast<Core::BlendMode>(alphaDestination);
    return block;
}

} // namespace Vostrel
