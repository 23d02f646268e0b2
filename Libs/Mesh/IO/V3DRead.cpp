#include "Libs/Mesh/IO/V3DRead.h"

#include "Libs/Common/Exception.h"
#include "Libs/Mesh/IO/FileBytes.h"
#include "Libs/Mesh/IO/V3D.h"


namespace Vostrel {
namespace Mesh {

namespace {

std::vector<char> readFile(const std::string& fileName)
{
    std::vector<char> bytes;
    if (!readFileBytes(fileName, bytes))
        VOSTREL_THROW_AT_LINE(14, "File not found: " << fileName);
    return bytes;
}

void checkIndex(int32_t index, int vertexCount)
{
    if (index < 0 || index >= vertexCount)
        VOSTREL_THROW("V3D index " << index << " is out of range for " << vertexCount << " vertices.");
}

} // namespace

std::unique_ptr<ModifiableMesh> readV3DMesh(const std::string& fileName)
{
    const std::vector<char> buffer = readFile(fileName);
    V3DFile file;
    const char* body = file.read(buffer.data(), buffer.data() + buffer.size());

    const int vertices = file.findElement("vertices");
    const int vertexCount = file.getElementSize(vertices);
    // Rows without properties take no room in the body, so nothing bounds their count.
    if (vertexCount > 0 && file.getPropertyCount(vertices) == 0)
        VOSTREL_THROW("V3D vertices without properties (" << vertexCount << " rows).");
    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
    mesh->reserveVertices(vertexCount, true);
    mesh->setVertexCount(vertexCount);

    // Declared after the mesh: the locks are released before it goes, also on failure.
    std::vector<std::unique_ptr<StreamLock>> streamLocks;
    for (int i = 0; i < file.getPropertyCount(vertices); ++i) {
        const int type = file.getPropertyType(vertices, i);
        const int dimension = type == V3D_REAL ? 1 : type >= V3D_REAL2 && type <= V3D_REAL4 ? type - V3D_REAL2 + 2 : 0;
        if (!dimension)
            continue;
        const std::string name = file.getPropertyName(vertices, i);
        mesh->addStream(name, dimension, 0);
        streamLocks.push_back(std::make_unique<StreamLock>(*mesh->getStream(name), LOCK_READ_WRITE));
        file.mapProperty(vertices, i, type, streamLocks.back()->get(), -1);
    }

    std::unique_ptr<IndexLock> triangleLock;
    int triangleCount = 0;
    std::vector<std::vector<int32_t>> polygons;
    for (int e = 0; e < file.getElementCount(); ++e) {
        const std::string name = file.getElementName(e);
        if (name == "triangles") {
            const int p = file.findProperty(e, "indices");
            if (p < 0)
                VOSTREL_THROW_AT_LINE(70, "Property 'indices' not found.");
            triangleCount = file.getElementSize(e);
            MeshTopology* topology = mesh->addTopology("triangles", triangleCount, 3, TOPOLOGY_CLIENT_INDICES);
            triangleLock = std::make_unique<IndexLock>(*topology, LOCK_READ_WRITE);
            file.mapProperty(e, p, V3D_INT3, triangleLock->get(), 12);
            break;
        }
        if (name == "polygons") {
            const int p = file.findProperty(e, "indices");
            if (p < 0)
                VOSTREL_THROW_AT_LINE(79, "Property 'indices' not found.");
            mesh->addTopology("triangles", 0, 3, TOPOLOGY_POLYGONS);
            polygons.resize(file.getElementSize(e));
            file.mapProperty(e, p, V3D_LIST_INT, polygons.data(), -1);
            break;
        }
    }

    file.readBody(body);

    // Indices come from the file: none may name a vertex it does not have.
    if (triangleLock) {
        const uint32_t* indices = triangleLock->get();
        for (int i = 0; i < 3 * triangleCount; ++i)
            checkIndex(static_cast<int32_t>(indices[i]), vertexCount);
    }
    if (!polygons.empty()) {
        PolygonList& list = mesh->getTopology("triangles")->getPolygons();
        list.resize(polygons.size());
        for (size_t k = 0; k < polygons.size(); ++k) {
            for (int32_t index : polygons[k])
                checkIndex(index, vertexCount);
            list[k].assign(polygons[k].begin(), polygons[k].end());
        }
    }
    triangleLock.reset();
    streamLocks.clear();
    return mesh;
}

} // namespace Mesh
} // namespace Vostrel
