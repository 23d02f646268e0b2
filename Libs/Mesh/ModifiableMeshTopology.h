#pragma once

#include "Libs/Mesh/MeshTopology.h"

#include <memory>

namespace Vostrel {
namespace Mesh {

class ModifiableMeshTopology : public MeshTopology {
public:
    // Index storage by status: client indices in system memory, static 32- or
    // 16-bit streams, none for unindexed and polygon-only topologies.
    ModifiableMeshTopology(int indexCount, int indicesPerPrimitive, TopologyStatus status);
    // A deep copy: own index stream and polygon list.
    ModifiableMeshTopology(const ModifiableMeshTopology& source);
    ModifiableMeshTopology& operator=(const ModifiableMeshTopology&) = delete;

    uint32_t* lockIndices32(LockType lockType) override;
    uint16_t* lockIndices16(LockType lockType) override;
    void unlock() override;
    bool isLocked() const override;
    int getIndexCapacity() const override;
    void reserveIndices(int indexCount, bool discard) override;
    int getPrimitiveCount() const override { return primitiveCount; }
    void setPrimitiveCount(int count) override;
    int getIndicesPerPrimitive() const override { return indicesPerPrimitive; }
    void setIndicesPerPrimitive(int count) override;
    TopologyStatus getStatus() const override { return topologyStatus; }
    void setStatus(TopologyStatus status) override;
    bool hasPolygons() const override { return !polygons.empty(); }
    PolygonList& getPolygons() override { return polygons; }
    void triangulatePolygons(MeshStream* positions) override;
    Core::IndexStream* getIndexStream() override { return indexStream.get(); }

private:
    int primitiveCount = 0;
    int indicesPerPrimitive;
    TopologyStatus topologyStatus;
    std::unique_ptr<Core::IndexStream> indexStream;
    PolygonList polygons;
};

// The number of indices the topology's primitives use; throws when its index
// stream is too small to hold them.
int usedIndexCount(MeshTopology& topology);

} // namespace Mesh
} // namespace Vostrel
