#include "Libs/Mesh/Subdivision/Subdivision.h"

#include "Libs/Common/Exception.h"

#include <map>
#include <utility>

namespace Vostrel {
namespace Mesh {

namespace {

// The "triangles" polygons, checked against the vertices, since they may come from a file.
std::vector<PolygonRecord> polygonsOf(ModifiableMesh* mesh)
{
    VOSTREL_ASSERT(mesh->hasTopology("triangles"));
    VOSTREL_ASSERT(mesh->getTopology("triangles")->getStatus()==TOPOLOGY_POLYGONS);
    std::vector<PolygonRecord> records = makePolygonRecords(mesh->getTopology("triangles")->getPolygons());
    checkPolygonCorners(records.data(), static_cast<int>(records.size()), mesh->getVertexCount(), "subdivision");
    return records;
}

} // namespace

void splitPolygons(ModifiableMesh& source, ModifiableMesh& destination)
{
    const std::vector<PolygonRecord> polygons = polygonsOf(&source);
    const int64_t n = source.getVertexCount();
    const int64_t faceCount = static_cast<int64_t>(polygons.size());
    std::map<std::pair<uint32_t, uint32_t>, uint32_t> edgeTable;
    std::vector<std::pair<uint32_t, uint32_t>> edges; // in order of their new vertices
    PolygonList quads;
    int64_t quadCount = 0;
    for (const PolygonRecord& polygon : polygons)
        quadCount += polygon.cornerCount;
    // Every corner adds a quad and at most one edge point.
    if (n + faceCount + quadCount > 0x7fffffff)
        VOSTREL_THROW("splitPolygons: " << quadCount << " quads are too many.");
    quads.reserve(static_cast<size_t>(quadCount));
    std::vector<uint32_t> edgePoints;
    for (int64_t f = 0; f < faceCount; ++f) {
        const PolygonRecord& polygon = polygons[f];
        const int k = polygon.cornerCount;
        edgePoints.resize(k);
        for (int i = 0; i < k; ++i) {
            uint32_t a = polygon.corners[i], b = polygon.corners[(i + 1) % k];
            if (a > b)
                std::swap(a, b);
            auto inserted = edgeTable.emplace(std::make_pair(a, b), static_cast<uint32_t>(n + faceCount + edges.size()));
            if (inserted.second)
                edges.emplace_back(a, b);
            edgePoints[i] = inserted.first->second;
        }
        for (int i = 0; i < k; ++i)
            quads.push_back({static_cast<uint32_t>(n + f), edgePoints[i], polygon.corners[(i + 1) % k],
                             edgePoints[(i + 1) % k]});
    }

    MeshTopology* topology = destination.addTopology("triangles", 0, 3, TOPOLOGY_POLYGONS);
    topology->getPolygons() = std::move(quads);
    topology->setPrimitiveCount(static_cast<int>(quadCount));
    const int total = static_cast<int>(n + faceCount + static_cast<int64_t>(edges.size()));
    destination.setVertexCount(total);

    for (const std::string& name : source.getStreamNames()) {
        MeshStream* from = source.getStream(name);
        const int d = from->getDimension();
        MeshStream* to = destination.addStream(name, d, 0);
        StreamLock in(*from, LOCK_READ_ONLY);
        StreamLock out(*to, LOCK_DISCARD);
        const float* v = in.get();
        float* w = out.get();
        std::copy(v, v + n * d, w);
        for (int64_t f = 0; f < faceCount; ++f) {
            const PolygonRecord& polygon = polygons[f];
            float* face = w + (n + f) * d;
            for (int j = 0; j < d; ++j) {
                float sum = 0;
                for (int c = 0; c < polygon.cornerCount; ++c)
                    sum += v[static_cast<int64_t>(polygon.corners[c]) * d + j];
                face[j] = polygon.cornerCount ? sum * (1.0f / polygon.cornerCount) : 0.0f;
            }
        }
        for (size_t e = 0; e < edges.size(); ++e) {
            float* point = w + (n + faceCount + static_cast<int64_t>(e)) * d;
            for (int j = 0; j < d; ++j)
                point[j] = (v[static_cast<int64_t>(edges[e].first) * d + j] +
                            v[static_cast<int64_t>(edges[e].second) * d + j]) * 0.5f;
        }
    }
}

void smoothStream(ModifiableMesh& mesh, const std::string& streamName)
{
    const std::vector<PolygonRecord> polygons = polygonsOf(&mesh);
    MeshStream* stream = mesh.getStream(streamName);
    const int d = stream->getDimension();
    const int vertexCount = mesh.getVertexCount();
    StreamLock lock(*stream, LOCK_READ_WRITE);
    float* values = lock.get();
    std::vector<float> counts(vertexCount, 0.0f);
    std::vector<float> sums(static_cast<size_t>(vertexCount) * d, 0.0f);
    std::vector<float> polygonSum(d);
    for (const PolygonRecord& polygon : polygons) {
        std::fill(polygonSum.begin(), polygonSum.end(), 0.0f);
        for (int c = 0; c < polygon.cornerCount; ++c)
            for (int j = 0; j < d; ++j)
                polygonSum[j] += values[static_cast<size_t>(polygon.corners[c]) * d + j];
        for (int c = 0; c < polygon.cornerCount; ++c) {
            counts[polygon.corners[c]] += 1.0f;
            for (int j = 0; j < d; ++j)
                sums[static_cast<size_t>(polygon.corners[c]) * d + j] += polygonSum[j];
        }
    }
    for (int v = 0; v < vertexCount; ++v) {
        if (counts[v] == 0.0f)
            continue;
        const float a = (1.0f / counts[v]) * 0.25f;
        const float s = (1.0f / counts[v]) * 4.0f;
        for (int j = 0; j < d; ++j) {
            float& value = values[static_cast<size_t>(v) * d + j];
            value = value + (a * sums[static_cast<size_t>(v) * d + j] - value) * s;
        }
    }
}

void subdivideStreams(ModifiableMesh& source, ModifiableMesh& destination, int levels,
                      const std::vector<std::string>& streamNames)
{
    // Each level's temporary replaces the one before it; a failure frees it.
    std::unique_ptr<ModifiableMesh> temporary;
    ModifiableMesh* current = &source;
    for (int level = 1; level < levels; ++level) {
        std::unique_ptr<ModifiableMesh> next = ModifiableMesh::createEmpty();
        splitPolygons(*current, *next);
        temporary = std::move(next);
        current = temporary.get();
        for (const std::string& name : streamNames)
            smoothStream(*current, name);
    }
    splitPolygons(*current, destination);
    temporary.reset();
    for (const std::string& name : streamNames)
        smoothStream(destination, name);
}

void subdivide(ModifiableMesh& source, ModifiableMesh& destination, int levels, const std::string& streamName)
{
    subdivideStreams(source, destination, levels, std::vector<std::string>{streamName});
}

} // namespace Mesh
} // namespace Vostrel
