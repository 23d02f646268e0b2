#pragma once

namespace Vostrel {
namespace Core {
class RenderContext;
}

namespace Mesh {

// A mesh bound for drawing with one shader's inputs.
class MeshRenderingInstance {
public:
    virtual ~MeshRenderingInstance() {}

    // Draws with the context's shaders and states.
    virtual void render(Core::RenderContext& context) = 0;
};

} // namespace Mesh
} // namespace Vostrel
