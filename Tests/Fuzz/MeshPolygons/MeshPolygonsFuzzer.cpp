// Polygons as a file would hand them to the mesh: any corner counts, any
// indices, coincident and straight corners, and per-corner maps naming any
// polygon. Everything must either work or fail with a Vostrel::Exception.
#include "Libs/Common/Exception.h"
#include "Libs/Core/DirectX/DXCore.h"
#include "Libs/Mesh/ModifiableMeshImpl.h"
#include "Libs/Mesh/NormalKernels.h"
#include "Libs/Mesh/Triangulation.h"
#include "Tests/Fuzz/FuzzCore.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>

using namespace Vostrel::Mesh;

namespace {

class Bytes {
public:
    Bytes(const uint8_t* data, size_t size) : data(data), size(size) {}
    bool empty() const { return at >= size; }
    uint8_t next() { return at < size ? data[at++] : 0; }
    float nextFloat(bool raw)
    {
        if (!raw)
            return static_cast<int8_t>(next()) / 16.0f;
        uint32_t bits = next() | next() << 8 | next() << 16 | static_cast<uint32_t>(next()) << 24;
        float value;
        std::memcpy(&value, &bits, sizeof(value));
        return value;
    }

private:
    const uint8_t* data;
    size_t size;
    size_t at = 0;
};

void require(bool condition)
{
    if (!condition)
        std::abort();
}

void runKernels(PolygonList polygons, int vertexCount, const std::vector<float>& positions, float angle)
{
    std::vector<PolygonRecord> records = makePolygonRecords(polygons);
    const int count = static_cast<int>(records.size());
    try {
        std::vector<uint32_t> triangles = triangulatePolygonList(records.data(), count, vertexCount, positions.data(), 12);
        require(triangles.size() == 3 * static_cast<size_t>(countPolygonTriangles(records.data(), count)));
        for (uint32_t index : triangles)
            require(index < static_cast<uint32_t>(vertexCount));
    } catch (const Vostrel::Exception&) {
    }
    std::vector<float> normals(positions.size());
    try {
        computeVertexNormals(records.data(), count, vertexCount, positions.data(), 12, normals.data(), 12);
        std::vector<float> texcoords;
        for (int v = 0; v < vertexCount; ++v)
            texcoords.insert(texcoords.end(), {positions[3 * v], positions[3 * v + 2]});
        std::vector<float> tangents(positions.size()), binormals(positions.size());
        computeTangentFrames(records.data(), count, vertexCount, positions.data(), normals.data(), texcoords.data(),
                             tangents.data(), binormals.data());
    } catch (const Vostrel::Exception&) {
    }
    try {
        std::vector<float> creaseNormals;
        std::vector<int> duplicates;
        computeCreaseNormals(angle, records.data(), count, vertexCount, positions.data(), 12, creaseNormals,
                             duplicates);
        const size_t total = vertexCount + duplicates.size();
        require(creaseNormals.size() == 3 * total);
        for (int source : duplicates)
            require(source >= 0 && source < vertexCount);
        for (const PolygonRecord& record : records)
            for (int k = 0; k < record.cornerCount; ++k)
                require(record.corners[k] < total);
    } catch (const Vostrel::Exception&) {
    }
}

void runMesh(const PolygonList& polygons, int vertexCount, const std::vector<float>& positions, float angle,
             Bytes& bytes)
{
    VostrelFuzz::ensureCore();
    // Building the mesh never fails, whatever the polygons.
    ModifiableMeshImpl mesh;
    mesh.setVertexCount(vertexCount);
    mesh.addStreamFromData("location", 3, positions.data(), 0);
    mesh.addStream("texcoord", 2, 0);
    mesh.addTopology("triangles", 0, 3, TOPOLOGY_POLYGONS)->getPolygons() = polygons;
    try {
        auto map = std::make_unique<DiscontinuousVertexMap>();
        map->streamName = "texcoord";
        map->topologyName = "triangles";
        map->dimension = 2;
        for (int entries = bytes.next() % 16; entries > 0; --entries) {
            map->polygons.push_back(static_cast<int8_t>(bytes.next()));
            map->corners.push_back(static_cast<int8_t>(bytes.next()));
            map->values.insert(map->values.end(), {bytes.nextFloat(false), bytes.nextFloat(false)});
        }
        mesh.addDiscontinuousMap(std::move(map));
        mesh.applyDiscontinuousMaps();
    } catch (const Vostrel::Exception&) {
    }
    try {
        mesh.computeNormals(angle, "location", "normal", "triangles");
        require(mesh.getStream("normal")->getDimension() == 3);
        mesh.computeTangentSpace("texcoord", "tangent", "binormal", "location", "normal", "triangles");
    } catch (const Vostrel::Exception&) {
    }
    try {
        mesh.getTopology("triangles")->triangulatePolygons(mesh.getStream("location"));
        mesh.freeze(4);
        std::unique_ptr<ModifiableMesh> copy = mesh.clone();
        require(copy->getVertexCount() == mesh.getVertexCount());
    } catch (const Vostrel::Exception&) {
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    Bytes bytes(data, size);
    const int vertexCount = 1 + bytes.next() % 64;
    const float angle = bytes.next() * (200.0f / 255.0f);
    const bool rawFloats = bytes.next() & 1;
    std::vector<float> positions;
    for (int i = 0; i < 3 * vertexCount; ++i)
        positions.push_back(bytes.nextFloat(rawFloats));
    PolygonList polygons;
    for (int polygonCount = bytes.next() % 32; polygonCount > 0 && !bytes.empty(); --polygonCount) {
        std::vector<uint32_t> corners;
        for (int corners_left = bytes.next() % 16; corners_left > 0; --corners_left)
            corners.push_back(bytes.next());
        polygons.push_back(corners);
    }
    runKernels(polygons, vertexCount, positions, angle);
    runMesh(polygons, vertexCount, positions, angle, bytes);
    return 0;
}
