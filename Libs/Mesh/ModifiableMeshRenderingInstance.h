#pragma once

#include "Libs/Core/RenderContext.h"
#include "Libs/Core/VertexFormat.h"
#include "Libs/Mesh/MeshRenderingInstance.h"

#include <memory>
#include <vector>

namespace Vostrel {
namespace Mesh {

class ModifiableMeshImpl;
class ModifiableMeshStream;
class MeshTopology;

// Streams of a mesh (by name, in the shader's input order) and one of its
// topologies, bound to a vertex format. The buffers are bound again whenever
// the mesh has reallocated them; removing a stream or topology of the mesh,
// or destroying the mesh, makes the instance refuse to draw.
class ModifiableMeshRenderingInstance : public MeshRenderingInstance {
public:
    // streams: the distinct streams in order of first use; a stream's place
    // is its stream number in the format.
    ModifiableMeshRenderingInstance(ModifiableMeshImpl& mesh, MeshTopology& topology,
                                    std::vector<ModifiableMeshStream*> streams,
                                    std::unique_ptr<Core::VertexFormat> format);

    void render(Core::RenderContext& context) override;

private:
    ModifiableMeshImpl& mesh;
    MeshTopology& topology;
    std::vector<ModifiableMeshStream*> streams;
    std::unique_ptr<Core::VertexFormat> format;
    // Holds only the instance's own stream set, shared with the contexts it draws through.
    Core::RenderContext streamSet;
    int boundGeneration = -1;
    // The mesh's structure count when the instance was made; gone with the mesh.
    std::weak_ptr<const int> meshStructure;
    int boundStructure;
};

} // namespace Mesh
} // namespace Vostrel
