#pragma once

#include "Libs/Core/ShaderGen.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

namespace Core {
class RenderContext;
class RenderTarget;
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

// Begins a given target for the scope of a blit; null keeps the current one.
class TargetScope {
public:
    explicit TargetScope(Core::RenderTarget* target) : target(target)
    {
        if (target)
            begin(target);
    }
    ~TargetScope()
    {
        if (target)
            end(target);
    }
    TargetScope(const TargetScope&) = delete;
    TargetScope& operator=(const TargetScope&) = delete;

private:
    static void begin(Core::RenderTarget* target);
    static void end(Core::RenderTarget* target);
    Core::RenderTarget* target;
};


} // namespace BlitterShared
} // namespace Vostrel
