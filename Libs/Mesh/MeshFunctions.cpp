#include "Libs/Mesh/MeshFunctions.h"

#include "Libs/Common/Exception.h"
#include "Libs/Math/Matrix.h"
#include "Libs/Math/Random.h"

#include <cmath>
#include <cstring>

namespace Vostrel {
namespace Mesh {

namespace {

const double azimuthFactor = 2.0 * 3.1415927f / 4294967296.0;

// The polygons of a topology, checked against the mesh's vertices.
std::vector<PolygonRecord> checkedPolygons(ModifiableMesh& mesh, MeshTopology& topology, const char* operation)
{
    std::vector<PolygonRecord> records = makePolygonRecords(topology.getPolygons());
    checkPolygonCorners(records.data(), static_cast<int>(records.size()), mesh.getVertexCount(), operation);
    return records;
}

} // namespace

void endomorphBlend(ModifiableMesh& mesh, const std::string& destinationName, const std::string& sourceName,
                    float weight)
{
    MeshStream* destStream = mesh.getStream(destinationName);
    MeshStream* source = mesh.getStream(sourceName);
    const int dimension = source->getDimension();
    VOSTREL_ASSERT(dimension == destStream->getDimension());
    const size_t count = static_cast<size_t>(mesh.getVertexCount()) * dimension;
    if (destStream == source) {
        StreamLock lock(*destStream, LOCK_READ_WRITE);
        for (size_t i = 0; i < count; ++i)
            lock.get()[i] += weight * lock.get()[i];
        return;
    }
    StreamLock from(*source, LOCK_READ_ONLY);
    StreamLock to(*destStream, LOCK_READ_WRITE);
    for (size_t i = 0; i < count; ++i)
        to.get()[i] += weight * from.get()[i];
}

void makeMorphTargetNormals(ModifiableMesh& mesh, const std::string& targetName)
{
    const std::string normalName = targetName + "_normal";
    endomorphBlend(mesh, targetName, "location", 1.0f);
    try {
        mesh.computeNormals(181.0f, targetName, normalName, "triangles");
    } catch (Exception&) {
        // The target holds absolute positions now: give it its deltas back.
        endomorphBlend(mesh, targetName, "location", -1.0f);
        throw;
    }
    endomorphBlend(mesh, targetName, "location", -1.0f);
    endomorphBlend(mesh, normalName, "normal", -1.0f);
}

Vec3 randomUnitVector()
{
    const uint32_t r1 = randomUInt32();
    const uint32_t r2 = randomUInt32();
    const float z = signedUnitFloat(r1);
    const double azimuth = r2 * azimuthFactor;
    const float s = std::sqrt(1.0f - z * z);
    return Vec3(static_cast<float>(std::sin(azimuth)) * s, static_cast<float>(std::cos(azimuth)) * s, z);
}

void addTriangleExplodeStreams(ModifiableMesh& mesh)
{
    std::vector<PolygonRecord> polygons =
        checkedPolygons(mesh, *mesh.getTopology("triangles"), "addTriangleExplodeStreams");
    MeshStream* location = mesh.getStream("location");
    VOSTREL_ASSERT(location->getDimension() == 3);
    MeshStream* streams[4];
    const char* const names[4] = {"centroid", "mx0", "mx1", "mx2"};
    for (int i = 0; i < 4; ++i)
        streams[i] = mesh.addStream(names[i], 4, 0);
    StreamLock positions(*location, LOCK_READ_ONLY);
    StreamLock centroid(*streams[0], LOCK_READ_WRITE), mx0(*streams[1], LOCK_READ_WRITE),
        mx1(*streams[2], LOCK_READ_WRITE), mx2(*streams[3], LOCK_READ_WRITE);
    float* const columns[3] = {mx0.get(), mx1.get(), mx2.get()};
    for (const PolygonRecord& polygon : polygons) {
        if (polygon.cornerCount == 0)
            continue; // no centroid to explode from
        Vec3 sum(0.0f);
        for (int k = 0; k < polygon.cornerCount; ++k)
            for (int j = 0; j < 3; ++j)
                sum[j] += positions.get()[3 * polygon.corners[k] + j];
        const float scale = 1.0f / polygon.cornerCount;
        const float angle = static_cast<float>(randomUInt32() * azimuthFactor);
        const Vec3 axis = randomUnitVector();
        const Matrix<float, 4, 4> rotation = affineTransform(Matrix<float, 3, 3>::rotation(axis, angle), Vec3(0.0f));
        for (int k = 0; k < polygon.cornerCount; ++k) {
            float* c = centroid.get() + 4 * polygon.corners[k];
            for (int j = 0; j < 3; ++j)
                c[j] = sum[j] * scale;
            c[3] = 1.0f;
            for (int column = 0; column < 3; ++column)
                for (int j = 0; j < 4; ++j)
                    columns[column][4 * polygon.corners[k] + j] = rotation(j, column);
        }
    }
}

void collectEdges(ModifiableMesh& mesh, const std::string& sourceTopologyName, const std::string& edgeTopologyName)
{
    const int vertexCount = mesh.getVertexCount();
    std::vector<std::vector<uint32_t>> neighbours(vertexCount);
    size_t edgeCount = 0;
    auto addEdge = [&](uint32_t a, uint32_t b) {
        if (a > b)
            std::swap(a, b);
        std::vector<uint32_t>& list = neighbours[a];
        for (uint32_t known : list)
            if (known == b)
                return;
        list.push_back(b);
        ++edgeCount;
    };
    MeshTopology* source = mesh.getTopology(sourceTopologyName);
    if (source->hasPolygons()) {
        for (const PolygonRecord& polygon : checkedPolygons(mesh, *source, "collectEdges"))
            for (int k = 0; k < polygon.cornerCount; ++k)
                addEdge(polygon.corners[k], polygon.corners[(k + 1) % polygon.cornerCount]);
    } else if (source->getStatus() == TOPOLOGY_INDICES_32 && source->getIndicesPerPrimitive() == 3) {
        IndexLock lock(*source, LOCK_READ_WRITE);
        std::vector<PolygonRecord> triangles = makePolygonRecords(lock.get(), source->getPrimitiveCount(), 3);
        checkPolygonCorners(triangles.data(), static_cast<int>(triangles.size()), vertexCount, "collectEdges");
        for (const PolygonRecord& triangle : triangles)
            for (int k = 0; k < 3; ++k)
                addEdge(triangle.corners[k], triangle.corners[(k + 1) % 3]);
    }
    if (edgeCount > 0x7fffffff / 2)
        VOSTREL_THROW("collectEdges: " << edgeCount << " edges are too many.");
    MeshTopology* edges = mesh.addTopology(edgeTopologyName, static_cast<int>(edgeCount), 2, TOPOLOGY_CLIENT_INDICES);
    IndexLock lock(*edges, LOCK_READ_WRITE);
    uint32_t* out = lock.get();
    for (int a = 0; a < vertexCount; ++a)
        for (uint32_t b : neighbours[a]) {
            *out++ = static_cast<uint32_t>(a);
            *out++ = b;
        }
}

std::unique_ptr<ModifiableMesh> createLineMeshFromCurves(const std::vector<Function<float, Vec3>*>& curves,
                                                         int samplesPerCurve)
{
    const int n = samplesPerCurve;
    // Sample times step by 1 / (n - 1); the vertex count must fit an int.
    if (n < 2 || curves.size() > static_cast<size_t>(0x7fffffff / n))
        VOSTREL_THROW("createLineMeshFromCurves: " << curves.size() << " curves of " << n
                                                   << " samples; each curve needs at least 2.");
    const int curveCount = static_cast<int>(curves.size());
    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
    MeshTopology* lines = mesh->addTopology("lines", (n - 1) * curveCount, 2, TOPOLOGY_INDICES_32);
    {
        IndexLock lock(*lines, LOCK_DISCARD);
        uint32_t* out = lock.get();
        for (int c = 0; c < curveCount; ++c)
            for (int i = 0; i + 1 < n; ++i) {
                *out++ = static_cast<uint32_t>(c * n + i);
                *out++ = static_cast<uint32_t>(c * n + i + 1);
            }
    }
    mesh->setVertexCount(curveCount * n);
    MeshStream* location = mesh->addStream("location", 3, 4);
    StreamLock lock(*location, LOCK_DISCARD);
    const float step = 1.0f / (n - 1);
    for (int c = 0; c < curveCount; ++c)
        for (int i = 0; i < n; ++i) {
            const Vec3 point = curves[c]->evaluate(i * step);
            std::memcpy(lock.get() + 3 * (static_cast<size_t>(c) * n + i), point.data, sizeof(point.data));
        }
    return mesh;
}

void extractCurves(ModifiableMesh& mesh, std::vector<EnvelopeVec3*>& curves)
{
    MeshStream* location = mesh.getStream("location");
    VOSTREL_ASSERT(location->getDimension() == 3);
    std::vector<PolygonRecord> polygons = checkedPolygons(mesh, *mesh.getTopology("curves"), "extractCurves");
    StreamLock positions(*location, LOCK_READ_ONLY);
    for (const PolygonRecord& polygon : polygons) {
        if (polygon.cornerCount == 0)
            VOSTREL_THROW("extractCurves: a curve without points.");
        // A one-point curve stands still at its point rather than dividing by zero.
        const float step = polygon.cornerCount > 1 ? 1.0f / (polygon.cornerCount - 1) : 0.0f;
        std::unique_ptr<Envelope> channels[3];
        for (int j = 0; j < 3; ++j) {
            channels[j] = std::make_unique<Envelope>();
            for (int i = 0; i < polygon.cornerCount; ++i)
                channels[j]->addKey({0, i * step, positions.get()[3 * polygon.corners[i] + j], 0, 0, 0});
        }
        auto curve = std::make_unique<EnvelopeVec3>(channels[0].get(), channels[1].get(), channels[2].get());
        curves.push_back(curve.get());
        curve.release();
        for (auto& channel : channels)
            channel.release();
    }
}

} // namespace Mesh
} // namespace Vostrel
