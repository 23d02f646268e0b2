#pragma once

#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Mesh/ModifiableMeshStream.h"
#include "Libs/Mesh/ModifiableMeshTopology.h"

#include <map>
#include <memory>

namespace Vostrel {
namespace Mesh {

// The mesh and its rendering instances report their lookups and drawing
// failures from one source.
constexpr const char* MESH_SOURCE = "Libs\\Mesh\\ModifiableMesh";

class ModifiableMeshImpl : public ModifiableMesh {
public:
    ModifiableMeshImpl();
    // Never throws: a stream still locked is reported and destroyed anyway.
    ~ModifiableMeshImpl() override;

    std::unique_ptr<MeshRenderingInstance> createRenderingInstance(const std::vector<std::string>& streamNames,
                                                                   const std::string& topologyName) override;
    float getMaxProjection(const std::string& streamName, const float* direction, int dimension) override;

    MeshTopology* getTopology(const std::string& name) override;
    MeshTopology* addTopology(const std::string& name, int primitiveCount, int indicesPerPrimitive,
                              TopologyStatus status) override;
    void copyTopology(const std::string& newName, const MeshTopology& source) override;
    void removeTopology(const std::string& name) override;
    bool hasTopology(const std::string& name) override;
    void renameTopology(const std::string& name, const std::string& newName) override;
    std::vector<std::string> getTopologyNames() override;

    int getVertexCapacity() override { return vertexCapacity; }
    void reserveVertices(int capacity, bool discard) override;
    int getVertexCount() override { return vertexCount; }
    void setVertexCount(int count) override;

    MeshStream* getStream(const std::string& name) override;
    MeshStream* addStreamFromData(const std::string& name, int dimension, const float* data,
                                  StreamUsage usage) override;
    MeshStream* addStream(const std::string& name, int dimension, StreamUsage usage) override;
    void addStreamCopy(const std::string& name, MeshStream& source, StreamUsage usage) override;
    void copyStream(const std::string& newName, const std::string& sourceName, StreamUsage usage) override;
    void removeStream(const std::string& name) override;
    bool hasStream(const std::string& name, int dimension) override;
    void renameStream(const std::string& name, const std::string& newName) override;
    std::vector<std::string> getStreamNames() override;
    void getBounds(const std::string& streamName, float* minimum, float* maximum) override;

    void freeze(StreamUsage usage) override;

    void addSubstream(const std::string& name, const std::string& streamName, int first, int dimension) override;
    void removeSubstream(const std::string& name) override;
    bool hasSubstream(const std::string& name) override;

    void addDiscontinuousMap(std::unique_ptr<DiscontinuousVertexMap> map) override;
    void applyDiscontinuousMaps() override;
    std::unique_ptr<ModifiableMesh> clone() override;
    int duplicateVertices(const std::vector<int>& vertices) override;
    void computeNormals(float angle, const std::string& positionName, const std::string& normalName,
                        const std::string& topologyName) override;
    void computeTangentSpace(const std::string& texcoordName, const std::string& tangentName,
                             const std::string& binormalName, const std::string& positionName,
                             const std::string& normalName, const std::string& topologyName) override;

    void setName(const std::string& newName) override { name = newName; }
    std::string getName() override { return name; }

    // Grows each time the streams are reallocated.
    int getGeneration() const { return generation; }
    // Counts the streams and topologies destroyed; expires with the mesh.
    std::weak_ptr<const int> getStructure() const { return structure; }

private:
    struct Substream {
        ModifiableMeshStream* stream;
        int first;
        int dimension;
    };

    void applyDiscontinuousMap(const DiscontinuousVertexMap* patch);
    void assertStreamNameFree(const std::string& streamName);
    std::string nameOfStream(const MeshStream* stream) const;
    // Sets vertices [from, to) of every stream to zero.
    void clearVertices(int from, int to);

    int generation = 0;
    int vertexCount = 0;
    int vertexCapacity = 0;
    std::map<std::string, std::unique_ptr<ModifiableMeshStream>> streams;
    std::map<std::string, Substream> substreams;
    std::map<std::string, std::unique_ptr<ModifiableMeshTopology>> topologies;
    std::vector<std::unique_ptr<DiscontinuousVertexMap>> queuedMaps;
    std::string name;
    std::shared_ptr<int> structure = std::make_shared<int>(0);
};

} // namespace Mesh
} // namespace Vostrel
