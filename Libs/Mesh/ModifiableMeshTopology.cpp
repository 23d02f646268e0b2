#include "Libs/Mesh/ModifiableMeshTopology.h"

#include "Libs/Common/Exception.h"
#include "Libs/Mesh/MeshStream.h"
#include "Libs/Mesh/Triangulation.h"

#include <algorithm>
#include <cstring>

namespace Vostrel {
namespace Mesh {

namespace {

const StreamUsage staticUsage = 4;

size_t indexBytes(IndexStreamType type) { return type == IS_32BIT ? 4 : 2; }

} // namespace

ModifiableMeshTopology::ModifiableMeshTopology(int indexCount, int indicesPerPrimitive, TopologyStatus status)
    : indicesPerPrimitive(indicesPerPrimitive), topologyStatus(status)
{
    VOSTREL_ASSERT(indexCount >= 0);
    const size_t count = static_cast<size_t>(indexCount);
    switch (status) {
    case TOPOLOGY_UNINDEXED:
    case TOPOLOGY_POLYGONS:
        break;
    case TOPOLOGY_CLIENT_INDICES:
        indexStream = makeIndexStream(count * 4, IS_32BIT, 0);
        break;
    case TOPOLOGY_INDICES_32:
        indexStream = makeIndexStream(count * 4, IS_32BIT, staticUsage);
        break;
    case TOPOLOGY_INDICES_16:
        indexStream = makeIndexStream(count * 2, IS_16BIT, staticUsage);
        break;
    default:
        VOSTREL_THROW("ModifiableMeshTopology: unknown topology status " << static_cast<int>(status));
    }
}

ModifiableMeshTopology::ModifiableMeshTopology(const ModifiableMeshTopology& source)
    : MeshTopology(),
      primitiveCount(source.primitiveCount),
      indicesPerPrimitive(source.indicesPerPrimitive),
      topologyStatus(source.topologyStatus),
      polygons(source.polygons)
{
    if (source.indexStream) {
        Core::IndexStream& from = *source.indexStream;
        indexStream = makeIndexStream(from.getSize(), from.getType(), from.getUsage());
        indexStream->copyFrom(from, from.getSize(), 0, 0);
    }
}

uint32_t* ModifiableMeshTopology::lockIndices32(LockType lockType)
{
    VOSTREL_ASSERT(indexStream);
    VOSTREL_ASSERT(indexStream->getType() == IS_32BIT);
    return static_cast<uint32_t*>(indexStream->lock(lockType));
}

uint16_t* ModifiableMeshTopology::lockIndices16(LockType lockType)
{
    VOSTREL_ASSERT(indexStream);
    VOSTREL_ASSERT(indexStream->getType() == IS_16BIT);
    return static_cast<uint16_t*>(indexStream->lock(lockType));
}

void ModifiableMeshTopology::unlock()
{
    VOSTREL_ASSERT(indexStream);
    indexStream->unlock();
}

bool ModifiableMeshTopology::isLocked() const
{
    VOSTREL_ASSERT(indexStream);
    return indexStream->isLocked();
}

int ModifiableMeshTopology::getIndexCapacity() const
{
    VOSTREL_ASSERT(indexStream);
    return static_cast<int>(indexStream->getSize() / indexBytes(indexStream->getType()));
}

void ModifiableMeshTopology::reserveIndices(int indexCount, bool discard)
{
    VOSTREL_ASSERT(indexStream);
    VOSTREL_ASSERT(indexCount >= 0);
    const size_t wanted = static_cast<size_t>(indexCount) * indexBytes(indexStream->getType());
    if (wanted <= static_cast<size_t>(indexStream->getSize()))
        return;
    VOSTREL_ASSERT(!indexStream->isLocked());
    std::unique_ptr<Core::IndexStream> grown = makeIndexStream(wanted, indexStream->getType(), indexStream->getUsage());
    if (!discard)
        grown->copyFrom(*indexStream, indexStream->getSize(), 0, 0);
    indexStream = std::move(grown);
}

void ModifiableMeshTopology::setPrimitiveCount(int count)
{
    VOSTREL_ASSERT(count >= 0);
    primitiveCount = count;
}

void ModifiableMeshTopology::setIndicesPerPrimitive(int count)
{
    VOSTREL_ASSERT(count >= 1);
    indicesPerPrimitive = count;
}

void ModifiableMeshTopology::setStatus(TopologyStatus newStatus)
{
    if (newStatus == topologyStatus)
        return;
    VOSTREL_ASSERT(topologyStatus==TOPOLOGY_CLIENT_INDICES);
    if (newStatus == TOPOLOGY_INDICES_32) {
        indexStream->setUsage(staticUsage);
    } else if (newStatus == TOPOLOGY_INDICES_16) {
        const size_t count = indexStream->getSize() / 4;
        // Only the indices in use must fit; the rest of the stream is spare room.
        const size_t used = std::min(count, static_cast<size_t>(primitiveCount) * indicesPerPrimitive);
        std::unique_ptr<Core::IndexStream> narrow = makeIndexStream(count * 2, IS_16BIT, staticUsage);
        const uint32_t* wide = static_cast<const uint32_t*>(indexStream->lock(LOCK_READ_ONLY));
        for (size_t i = 0; i < used; ++i)
            if (wide[i] > 0xffff) {
                const uint32_t index = wide[i];
                indexStream->unlock();
                VOSTREL_THROW("ModifiableMeshTopology::setStatus: index " << index << " at " << i
                                                                          << " does not fit in 16 bits");
            }
        uint16_t* out = static_cast<uint16_t*>(narrow->lock(LOCK_DISCARD));
        for (size_t i = 0; i < count; ++i)
            out[i] = static_cast<uint16_t>(wide[i]);
        narrow->unlock();
        indexStream->unlock();
        indexStream = std::move(narrow);
    } else {
        VOSTREL_ASSERT(0);
    }
    topologyStatus = newStatus;
}

void ModifiableMeshTopology::triangulatePolygons(MeshStream* positions)
{
    std::vector<uint32_t> triangles;
    {
        const Vec3* points = positions->getVec3Array(LOCK_READ_ONLY);
        ScopedUnlock unlockPositions(*positions);
        std::vector<PolygonRecord> records = makePolygonRecords(polygons);
        triangles = triangulatePolygonList(records.data(), static_cast<int>(records.size()),
                                           positions->getVertexCount(), reinterpret_cast<const float*>(points),
                                           sizeof(Vec3));
    }
    std::unique_ptr<Core::IndexStream> stream = makeIndexStream(triangles.size() * 4, IS_32BIT, staticUsage);
    if (!triangles.empty()) {
        std::memcpy(stream->lock(LOCK_DISCARD), triangles.data(), triangles.size() * 4);
        stream->unlock();
    }
    indexStream = std::move(stream);
    primitiveCount = static_cast<int>(triangles.size() / 3);
    topologyStatus = TOPOLOGY_INDICES_32;
}

int usedIndexCount(MeshTopology& topology)
{
    const long long used = static_cast<long long>(topology.getPrimitiveCount()) * topology.getIndicesPerPrimitive();
    const int capacity = topology.getIndexCapacity();
    if (used > capacity)
        VOSTREL_THROW("The topology uses " << used << " indices but holds " << capacity << ".");
    return static_cast<int>(used);
}

} // namespace Mesh
} // namespace Vostrel
