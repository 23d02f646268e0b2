#include "Libs/Mesh/ModifiableMeshRenderingInstance.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Mesh/ModifiableMeshImpl.h"

#include <algorithm>

namespace Vostrel {
namespace Mesh {

std::unique_ptr<MeshRenderingInstance> ModifiableMeshImpl::createRenderingInstance(
    const std::vector<std::string>& streamNames, const std::string& topologyName)
{
    MeshTopology* topology;
    if (topologyName == "Default")
        topology = topologies.size() == 1 ? topologies.begin()->second.get() : getTopology("triangles");
    else
        topology = getTopology(topologyName);

    std::vector<ModifiableMeshStream*> used;
    std::vector<Core::VertexElement> elements;
    for (size_t i = 0; i < streamNames.size(); ++i) {
        const std::string& streamName = streamNames[i];
        ModifiableMeshStream* stream;
        int first = 0, dimension;
        auto whole = streams.find(streamName);
        auto part = substreams.find(streamName);
        if (whole != streams.end()) {
            stream = whole->second.get();
            dimension = stream->getDimension();
        } else if (part != substreams.end()) {
            stream = part->second.stream;
            first = part->second.first;
            dimension = part->second.dimension;
        } else {
            VOSTREL_THROW_FROM(MESH_SOURCE, 407,
                               "Mesh does not contain a stream named " << streamName << ". (id = " << name << ")");
        }
        if (dimension < 1 || dimension > 4)
            VOSTREL_THROW_FROM(MESH_SOURCE, 1052, "The stream has too big dimension for rendering.");
        // Names over one stream (two substreams, say) share its stream number.
        auto slot = std::find(used.begin(), used.end(), stream);
        if (slot == used.end())
            slot = used.insert(used.end(), stream);
        elements.push_back(Core::VertexElement{static_cast<unsigned>(slot - used.begin()),
                                               static_cast<unsigned>(4 * first),
                                               static_cast<Core::VertexDataType>(dimension - 1),
                                               static_cast<unsigned>(i)});
    }
    if (used.size() > static_cast<size_t>(Core::MAX_STREAM_SLOTS))
        VOSTREL_THROW("A rendering instance draws from at most " << Core::MAX_STREAM_SLOTS << " streams, not "
                                                                   << used.size() << ".");
    std::unique_ptr<Core::VertexFormat> format(
        Core::createVertexFormat(static_cast<int>(elements.size()), elements.data()));
    return std::make_unique<ModifiableMeshRenderingInstance>(*this, *topology, std::move(used), std::move(format));
}

ModifiableMeshRenderingInstance::ModifiableMeshRenderingInstance(ModifiableMeshImpl& mesh, MeshTopology& topology,
                                                                 std::vector<ModifiableMeshStream*> streams,
                                                                 std::unique_ptr<Core::VertexFormat> format)
    : mesh(mesh), topology(topology), streams(std::move(streams)), format(std::move(format)),
      meshStructure(mesh.getStructure()), boundStructure(*mesh.getStructure().lock())
{
}

void ModifiableMeshRenderingInstance::render(Core::RenderContext& context)
{
    // The streams and the topology are the mesh's: once it lost any of them
    // (or is gone) the pointers here may dangle.
    std::shared_ptr<const int> structure = meshStructure.lock();
    if (!structure)
        VOSTREL_THROW("The mesh of the rendering instance no longer exists.");
    if (*structure != boundStructure)
        VOSTREL_THROW("The mesh " << mesh.getName()
                                  << " lost a stream or topology after its rendering instance was made.");

    if (mesh.getGeneration() > boundGeneration) {
        for (size_t k = 0; k < streams.size(); ++k) {
            if (streams[k]->getUsage() == 0)
                VOSTREL_THROW_FROM(MESH_SOURCE, 76, "The mesh stream is not renderable");
            streamSet.setVertexStream(static_cast<int>(k), &streams[k]->getVertexStream());
        }
        boundGeneration = mesh.getGeneration();
    }
    context.setVertexFormat(format.get());
    context.copyStreamSet(streamSet);

    Core::PrimitiveType type;
    switch (topology.getIndicesPerPrimitive()) {
    case 1:
        type = Core::PRIMITIVE_POINT_LIST;
        break;
    case 2:
        type = Core::PRIMITIVE_LINE_LIST;
        break;
    case 3:
        type = Core::PRIMITIVE_TRIANGLE_LIST;
        break;
    default:
        VOSTREL_THROW_FROM(MESH_SOURCE, 990, "Not implemented");
    }

    switch (topology.getStatus()) {
    case TOPOLOGY_INDICES_32:
    case TOPOLOGY_INDICES_16:
        usedIndexCount(topology);
        context.setIndexStream(topology.getIndexStream());
        context.drawIndexedPrimitives(type, 0, mesh.getVertexCount(), 0, topology.getPrimitiveCount());
        break;
    case TOPOLOGY_UNINDEXED:
        if (static_cast<long long>(topology.getPrimitiveCount()) * topology.getIndicesPerPrimitive() >
            mesh.getVertexCount())
            VOSTREL_THROW("The topology draws " << topology.getPrimitiveCount() << " primitives from "
                                                << mesh.getVertexCount() << " vertices.");
        context.drawPrimitives(type, 0, topology.getPrimitiveCount());
        break;
    default:
        VOSTREL_THROW_FROM(MESH_SOURCE, 1009, "The mesh has no renderable topology");
    }
}

} // namespace Mesh
} // namespace Vostrel
