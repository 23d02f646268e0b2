// The whole-mesh operations of ModifiableMeshImpl: vertex duplication,
// discontinuous maps, normals, tangent frames, cloning and stream queries.
#include "Libs/Common/Exception.h"
#include "Libs/Common/StringUtils.h"
#include "Libs/Mesh/ModifiableMeshImpl.h"
#include "Libs/Mesh/NormalKernels.h"

#include <cstring>

namespace Vostrel {
namespace Mesh {

namespace {

// A topology's polygons as kernel records: its polygon list, or one record
// per primitive over its 32-bit indices, kept locked while the view lives so
// that the kernels' index edits land in the index stream.
class PolygonView {
public:
    PolygonView(MeshTopology& topology, LockType lockType)
    {
        if (topology.hasPolygons()) {
            list = makePolygonRecords(topology.getPolygons());
            return;
        }
        lock = std::make_unique<IndexLock>(topology, lockType);
        usedIndexCount(topology);
        list = makePolygonRecords(lock->get(), topology.getPrimitiveCount(), topology.getIndicesPerPrimitive());
    }

    PolygonRecord* records() { return list.data(); }
    int count() const { return static_cast<int>(list.size()); }

private:
    std::unique_ptr<IndexLock> lock;
    std::vector<PolygonRecord> list;
};

const float* floats(const Vec3* vectors) { return reinterpret_cast<const float*>(vectors); }
const float* floats(const Vec2* vectors) { return reinterpret_cast<const float*>(vectors); }

} // namespace

int ModifiableMeshImpl::duplicateVertices(const std::vector<int>& vertices)
{
    for (int v : vertices)
        if (v < 0 || v >= vertexCount)
            VOSTREL_THROW("ModifiableMesh::duplicateVertices: vertex " << v << " of " << vertexCount);
    const int added = static_cast<int>(vertices.size());
    if (added == 0)
        return 0;
    if (static_cast<long long>(vertexCount) + added > 0x7fffffff)
        VOSTREL_THROW("ModifiableMesh::duplicateVertices: too many vertices");
    if (vertexCount + added > vertexCapacity)
        reserveVertices(vertexCount + added, false);
    for (auto& entry : streams) {
        const size_t dimension = entry.second->getDimension();
        StreamLock lock(*entry.second, LOCK_READ_WRITE);
        float* data = lock.get();
        for (int i = 0; i < added; ++i)
            std::memcpy(data + (vertexCount + i) * dimension, data + vertices[i] * dimension,
                        dimension * sizeof(float));
    }
    vertexCount += added;
    return added;
}

void ModifiableMeshImpl::addDiscontinuousMap(std::unique_ptr<DiscontinuousVertexMap> map)
{
    VOSTREL_ASSERT(map);
    queuedMaps.push_back(std::move(map));
}

void ModifiableMeshImpl::applyDiscontinuousMaps()
{
    while (!queuedMaps.empty()) {
        std::unique_ptr<DiscontinuousVertexMap> map = std::move(queuedMaps.front());
        queuedMaps.erase(queuedMaps.begin());
        applyDiscontinuousMap(map.get());
    }
}

// Every check runs before the first change, so a map that does not fit the
// mesh leaves it as it was.
void ModifiableMeshImpl::applyDiscontinuousMap(const DiscontinuousVertexMap* patch)
{
    const int entries = patch->getEntryCount();
    if (patch->dimension < 1 || patch->corners.size() != static_cast<size_t>(entries) ||
        patch->values.size() != static_cast<size_t>(entries) * patch->dimension)
        VOSTREL_THROW("DiscontinuousVertexMap of " << StringUtils::printable(patch->streamName) << ": " << entries
                                                   << " entries, " << patch->corners.size() << " corners and "
                                                   << patch->values.size() << " values of dimension "
                                                   << patch->dimension);
    MeshTopology* topology = getTopology(patch->topologyName);
    MeshStream* stream = getStream(patch->streamName);
    VOSTREL_ASSERT(patch->dimension == stream->getDimension());

    // How many corners of all topologies use each vertex.
    std::vector<int> useCount(vertexCount, 0);
    auto countUse = [&](uint32_t v, const std::string& topologyName) {
        if (v >= static_cast<uint32_t>(vertexCount))
            VOSTREL_THROW("Topology " << topologyName << " uses vertex " << v << " of " << vertexCount << ".");
        ++useCount[v];
    };
    for (auto& entry : topologies) {
        MeshTopology& counted = *entry.second;
        if (counted.hasPolygons()) {
            for (const std::vector<uint32_t>& polygon : counted.getPolygons())
                for (uint32_t v : polygon)
                    countUse(v, entry.first);
        } else {
            IndexLock lock(counted, LOCK_READ_ONLY);
            const int used = usedIndexCount(counted);
            for (int i = 0; i < used; ++i)
                countUse(lock.get()[i], entry.first);
        }
    }

    // The corner each entry names, in the polygon list or the index stream.
    std::vector<uint32_t*> cornerSlots(entries);
    std::unique_ptr<IndexLock> indexLock;
    for (int i = 0; i < entries; ++i) {
        const int polygon = patch->polygons[i], corner = patch->corners[i];
        if (topology->hasPolygons()) {
            PolygonList& polygons = topology->getPolygons();
            if (polygon < 0 || polygon >= static_cast<int>(polygons.size()) || corner < 0 ||
                corner >= static_cast<int>(polygons[polygon].size()))
                VOSTREL_THROW("DiscontinuousVertexMap of " << StringUtils::printable(patch->streamName)
                                                           << ": entry " << i << " names corner " << corner
                                                           << " of polygon "
                                                           << polygon << " of " << polygons.size());
            cornerSlots[i] = &polygons[polygon][corner];
        } else {
            if (!indexLock) {
                indexLock = std::make_unique<IndexLock>(*topology, LOCK_READ_WRITE);
                usedIndexCount(*topology);
            }
            const int perPrimitive = topology->getIndicesPerPrimitive();
            if (polygon < 0 || polygon >= topology->getPrimitiveCount() || corner < 0 || corner >= perPrimitive)
                VOSTREL_THROW("DiscontinuousVertexMap of " << StringUtils::printable(patch->streamName)
                                                           << ": entry " << i << " names corner " << corner
                                                           << " of primitive "
                                                           << polygon << " of " << topology->getPrimitiveCount());
            cornerSlots[i] = indexLock->get() + static_cast<size_t>(polygon) * perPrimitive + corner;
        }
    }

    std::vector<int> duplicates;
    std::vector<uint32_t> targets(entries);
    for (int i = 0; i < entries; ++i) {
        uint32_t& corner = *cornerSlots[i];
        if (useCount[corner] <= 1) {
            targets[i] = corner;
            continue;
        }
        --useCount[corner];
        const uint32_t copy = static_cast<uint32_t>(vertexCount + duplicates.size());
        duplicates.push_back(static_cast<int>(corner));
        // A corner named twice finds its own copy the second time.
        useCount.push_back(1);
        corner = copy;
        targets[i] = copy;
    }
    indexLock.reset();

    duplicateVertices(duplicates);
    StreamLock lock(*stream, LOCK_READ_WRITE);
    const size_t dimension = patch->dimension;
    for (int i = 0; i < entries; ++i)
        std::memcpy(lock.get() + targets[i] * dimension, &patch->values[i * dimension], dimension * sizeof(float));
}

void ModifiableMeshImpl::computeNormals(float angle, const std::string& positionName, const std::string& normalName,
                                        const std::string& topologyName)
{
    MeshTopology* topology = getTopology(topologyName);
    MeshStream* positions = getStream(positionName);
    const bool haveNormals = hasStream(normalName, 3);
    if (!haveNormals)
        assertStreamNameFree(normalName);

    if (!haveNormals && angle < 180.0f) {
        std::vector<float> normals;
        std::vector<int> duplicates;
        {
            const Vec3* points = positions->getVec3Array(LOCK_READ_ONLY);
            ScopedUnlock unlockPositions(*positions);
            PolygonView view(*topology, LOCK_READ_WRITE);
            computeCreaseNormals(angle, view.records(), view.count(), vertexCount, floats(points), sizeof(Vec3),
                                 normals, duplicates);
        }
        duplicateVertices(duplicates);
        addStreamFromData(normalName, 3, normals.data(), 0);
    } else {
        std::vector<float> normals(static_cast<size_t>(vertexCount) * 3);
        {
            const Vec3* points = positions->getVec3Array(LOCK_READ_ONLY);
            ScopedUnlock unlockPositions(*positions);
            PolygonView view(*topology, LOCK_READ_ONLY);
            computeVertexNormals(view.records(), view.count(), vertexCount, floats(points), sizeof(Vec3),
                                 normals.data(), sizeof(Vec3));
        }
        if (haveNormals) {
            StreamLock lock(*getStream(normalName), LOCK_DISCARD);
            std::memcpy(lock.get(), normals.data(), normals.size() * sizeof(float));
        } else {
            addStreamFromData(normalName, 3, normals.data(), 0);
        }
    }
    VOSTREL_ASSERT(hasStream(normalName, 3));
}

void ModifiableMeshImpl::computeTangentSpace(const std::string& texcoordName, const std::string& tangentName,
                                             const std::string& binormalName, const std::string& positionName,
                                             const std::string& normalName, const std::string& topologyName)
{
    MeshTopology* topology = getTopology(topologyName);
    assertStreamNameFree(tangentName);
    assertStreamNameFree(binormalName);
    VOSTREL_ASSERT(tangentName != binormalName);
    MeshStream* positions = getStream(positionName);
    MeshStream* normals = getStream(normalName);
    MeshStream* texcoords = getStream(texcoordName);

    std::vector<float> tangents(static_cast<size_t>(vertexCount) * 3), binormals(tangents.size());
    {
        const Vec3* points = positions->getVec3Array(LOCK_READ_ONLY);
        ScopedUnlock unlockPositions(*positions);
        const Vec3* normalArray = normals->getVec3Array(LOCK_READ_ONLY);
        ScopedUnlock unlockNormals(*normals);
        const Vec2* uvs = texcoords->getVec2Array(LOCK_READ_ONLY);
        ScopedUnlock unlockTexcoords(*texcoords);
        PolygonView view(*topology, LOCK_READ_ONLY);
        computeTangentFrames(view.records(), view.count(), vertexCount, floats(points), floats(normalArray),
                             floats(uvs), tangents.data(), binormals.data());
    }
    addStreamFromData(tangentName, 3, tangents.data(), 0);
    addStreamFromData(binormalName, 3, binormals.data(), 0);
}

std::unique_ptr<ModifiableMesh> ModifiableMeshImpl::clone()
{
    auto copy = std::make_unique<ModifiableMeshImpl>();
    copy->vertexCount = vertexCount;
    copy->vertexCapacity = vertexCount;
    for (auto& entry : streams)
        copy->addStreamCopy(entry.first, *entry.second, 0);
    for (auto& entry : substreams)
        copy->addSubstream(entry.first, nameOfStream(entry.second.stream), entry.second.first,
                           entry.second.dimension);
    for (auto& entry : topologies)
        copy->copyTopology(entry.first, *entry.second);
    return copy;
}

void ModifiableMeshImpl::getBounds(const std::string& streamName, float* minimum, float* maximum)
{
    MeshStream* stream = getStream(streamName);
    const int dimension = stream->getDimension();
    if (vertexCount == 0) {
        for (int c = 0; c < dimension; ++c)
            minimum[c] = maximum[c] = 0.0f;
        return;
    }
    StreamLock lock(*stream, LOCK_READ_ONLY);
    const float* data = lock.get();
    for (int c = 0; c < dimension; ++c)
        minimum[c] = maximum[c] = data[c];
    for (int v = 1; v < vertexCount; ++v)
        for (int c = 0; c < dimension; ++c) {
            const float value = data[static_cast<size_t>(v) * dimension + c];
            if (value < minimum[c])
                minimum[c] = value;
            if (value > maximum[c])
                maximum[c] = value;
        }
}

float ModifiableMeshImpl::getMaxProjection(const std::string& streamName, const float* direction, int dimension)
{
    MeshStream* str = getStream(streamName);
    VOSTREL_ASSERT(str->getDimension() == dimension);
    if (vertexCount == 0)
        VOSTREL_THROW("ModifiableMesh::getMaxProjection: the mesh has no vertices");
    StreamLock lock(*str, LOCK_READ_ONLY);
    auto project = [&](int v) {
        float sum = 0.0f;
        for (int c = 0; c < dimension; ++c)
            sum += lock.get()[static_cast<size_t>(v) * dimension + c] * direction[c];
        return sum;
    };
    float best = project(0);
    for (int v = 1; v < vertexCount; ++v) {
        const float value = project(v);
        if (value > best)
            best = value;
    }
    return best;
}

} // namespace Mesh
} // namespace Vostrel
