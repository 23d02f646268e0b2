#include "Libs/EvaluationGraph/ShaderContext.h"

#include "Libs/EvaluationGraph/ShaderGraph.h"

namespace Vostrel {

ShaderContext::ShaderContext(const ShaderGraph& graph)
{
    shaderBuild = graph.build();
    shaderBuild.apply(*this);
}

} // namespace Vostrel
