#pragma once

#include "Libs/Mesh/DiscontinuousVertexMap.h"
#include "Libs/Mesh/MeshRenderingInstance.h"
#include "Libs/Mesh/MeshStream.h"
#include "Libs/Mesh/MeshTopology.h"

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {
namespace Mesh {

// Two lists of names handed out together, given back with releaseArrays.
struct NameArrays {
    std::vector<std::string> first;
    std::vector<std::string> second;
};

// Anything the render core can draw as a mesh.
class RenderableMesh {
public:
    virtual ~RenderableMesh() {}

    // Binds streams (or substreams) by name, in the order of the shader's
    // inputs, and a topology; "Default" is the only topology when there is
    // one, else "triangles". The instance must not outlive the mesh.
    virtual std::unique_ptr<MeshRenderingInstance> createRenderingInstance(const std::vector<std::string>& streamNames,
                                                                           const std::string& topologyName) = 0;

    // The largest dot product of a vertex of the stream with direction.
    virtual float getMaxProjection(const std::string& streamName, const float* direction, int dimension) = 0;

    // Frees both lists, storage included; the mesh is not touched.
    virtual void releaseArrays(NameArrays& arrays)
    {
        std::vector<std::string>().swap(arrays.first);
        std::vector<std::string>().swap(arrays.second);
    }
};

// The engine's editable mesh: per-vertex float streams and index topologies,
// all addressed by name ("location", "normal", "texcoord"; "triangles").
class ModifiableMesh : public RenderableMesh {
public:
    // Reads a mesh file; "name.lwo@layer" picks a LightWave layer. A failure
    // of the read or of prepare, run on the mesh read, names the file.
    static std::unique_ptr<ModifiableMesh> create(const std::string& fileName,
                                                  const std::function<void(ModifiableMesh&)>& prepare = {});
    static std::unique_ptr<ModifiableMesh> createEmpty();

    // Topologies.
    virtual MeshTopology* getTopology(const std::string& name) = 0;
    virtual MeshTopology* addTopology(const std::string& name, int primitiveCount, int indicesPerPrimitive,
                                      TopologyStatus status) = 0;
    virtual void copyTopology(const std::string& newName, const MeshTopology& source) = 0;
    virtual void removeTopology(const std::string& name) = 0;
    virtual bool hasTopology(const std::string& name) = 0;
    virtual void renameTopology(const std::string& name, const std::string& newName) = 0;
    virtual std::vector<std::string> getTopologyNames() = 0;

    // Vertices.
    virtual int getVertexCapacity() = 0;
    virtual void reserveVertices(int capacity, bool discard) = 0;
    virtual int getVertexCount() = 0;
    // New vertices start zero in every stream.
    virtual void setVertexCount(int count) = 0;

    // Streams.
    virtual MeshStream* getStream(const std::string& name) = 0;
    virtual MeshStream* addStreamFromData(const std::string& name, int dimension, const float* data,
                                          StreamUsage usage) = 0;
    virtual MeshStream* addStream(const std::string& name, int dimension, StreamUsage usage) = 0;
    virtual void addStreamCopy(const std::string& name, MeshStream& source, StreamUsage usage) = 0;
    virtual void copyStream(const std::string& newName, const std::string& sourceName, StreamUsage usage) = 0;
    // Also removes the substreams over the stream.
    virtual void removeStream(const std::string& name) = 0;
    // A dimension below 1 accepts any.
    virtual bool hasStream(const std::string& name, int dimension) = 0;
    virtual void renameStream(const std::string& name, const std::string& newName) = 0;
    virtual std::vector<std::string> getStreamNames() = 0;
    virtual void getBounds(const std::string& streamName, float* minimum, float* maximum) = 0;

    // Moves client indices and system-memory streams into drawable storage.
    virtual void freeze(StreamUsage usage) = 0;

    // Substreams: a window of components of a stream under a name of its own.
    virtual void addSubstream(const std::string& name, const std::string& streamName, int first, int dimension) = 0;
    virtual void removeSubstream(const std::string& name) = 0;
    virtual bool hasSubstream(const std::string& name) = 0;

    // Operations.
    virtual void addDiscontinuousMap(std::unique_ptr<DiscontinuousVertexMap> map) = 0;
    virtual void applyDiscontinuousMaps() = 0;
    virtual std::unique_ptr<ModifiableMesh> clone() = 0;
    // Appends a copy of each listed vertex to every stream; returns how many.
    virtual int duplicateVertices(const std::vector<int>& vertices) = 0;
    // Vertex normals over a topology; below 180 degrees vertices split where
    // faces meet at more than the angle (only when the normal stream is new).
    virtual void computeNormals(float angle, const std::string& positionName, const std::string& normalName,
                                const std::string& topologyName) = 0;
    virtual void computeTangentSpace(const std::string& texcoordName, const std::string& tangentName,
                                     const std::string& binormalName, const std::string& positionName,
                                     const std::string& normalName, const std::string& topologyName) = 0;

    virtual void setName(const std::string& name) = 0;
    virtual std::string getName() = 0;
};

} // namespace Mesh
} // namespace Vostrel
