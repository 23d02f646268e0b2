#pragma once

#include "Libs/Core/ShaderGen.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

namespace Core {
class RenderContext;
}
namespace Mesh {
class MeshRenderingInstance;
}

namespace BlitterShared {

// A rendering instance of the shared screen quad: location (-1, 1) to
// (1, -1), texture coordinates (0, 0) at the top left to (1, 1).
std::unique_ptr<Mesh::MeshRenderingInstance> createQuadInstance(const std::vector<std::string>& streamNames);

// Builds a program once and keeps the shader until releaseBlitterObjects.
Core::VertexShader* keepVertexShader(const std::function<void(Core::ShaderGen&)>& write);
Core::PixelShader* keepPixelShader(const std::function<void(Core::ShaderGen&)>& write);

// Registers a function that forgets program-wide objects at release.
void atRelease(const std::function<void()>& forget);

} // namespace BlitterShared
} // namespace Vostrel
