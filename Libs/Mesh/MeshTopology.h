#pragma once

#include "Libs/Mesh/MeshStorage.h"
#include "Libs/Mesh/Polygon.h"

#include <cstdint>

namespace Vostrel {
namespace Mesh {

class MeshStream;

// Where a topology keeps its indices; only unindexed topologies and those
// with a static 32- or 16-bit index stream can be drawn.
enum TopologyStatus {
    TOPOLOGY_UNINDEXED = 0,      // no indices: consecutive vertices
    TOPOLOGY_CLIENT_INDICES = 1, // 32-bit indices in system memory, editable
    TOPOLOGY_INDICES_32 = 2,     // 32-bit indices in a static stream
    TOPOLOGY_INDICES_16 = 3,     // 16-bit indices in a static stream
    TOPOLOGY_POLYGONS = 4        // only the polygon list
};

// One named index set of a mesh: primitives of 1 (points), 2 (lines) or 3
// (triangles) indices, and optionally client-side polygons of any size.
class MeshTopology {
public:
    virtual ~MeshTopology() {}

    virtual uint32_t* lockIndices32(LockType lockType) = 0;
    virtual uint16_t* lockIndices16(LockType lockType) = 0;
    virtual void unlock() = 0;
    virtual bool isLocked() const = 0;
    virtual int getIndexCapacity() const = 0;
    virtual void reserveIndices(int indexCount, bool discard) = 0;
    virtual int getPrimitiveCount() const = 0;
    virtual void setPrimitiveCount(int count) = 0;
    virtual int getIndicesPerPrimitive() const = 0;
    virtual void setIndicesPerPrimitive(int count) = 0;
    virtual TopologyStatus getStatus() const = 0;
    virtual void setStatus(TopologyStatus status) = 0;
    virtual bool hasPolygons() const = 0;
    virtual PolygonList& getPolygons() = 0;
    // Triangulates the polygon list into a static 32-bit index stream.
    virtual void triangulatePolygons(MeshStream* positions) = 0;
    // The index storage, null for unindexed and polygon-only topologies.
    virtual Core::IndexStream* getIndexStream() = 0;
};

// Keeps a topology's 32-bit indices locked for one scope.
class IndexLock {
public:
    IndexLock(MeshTopology& topology, LockType lockType) : topology(topology), data(topology.lockIndices32(lockType)) {}
    ~IndexLock() { topology.unlock(); }
    IndexLock(const IndexLock&) = delete;
    IndexLock& operator=(const IndexLock&) = delete;

    uint32_t* get() const { return data; }

private:
    MeshTopology& topology;
    uint32_t* data;
};

} // namespace Mesh
} // namespace Vostrel
