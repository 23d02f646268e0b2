#include "Libs/Mesh/IO/Lwo2Mesh.h"

#include "Libs/Common/Exception.h"
#include "Libs/Common/StringUtils.h"

#include <algorithm>
#include <cstring>
#include <iostream>
#include <utility>

namespace Vostrel {
namespace Mesh {

namespace {

const char* const topologyNames[] = {"triangles", "curves", "patches", "metaballs", "bones"};

// A selection set (dimension 0) carries no values and a stream holds at most
// four: such maps are passed over so that the layer keeps everything else.
bool holdsStreamValues(const LwoVertexMap& map, const char* kind, const char* per)
{
    if (map.dimension > 4)
        std::cout << kind << " " << StringUtils::printable(map.name) << " has " << map.dimension << " values per "
                  << per << "; a stream holds 1 to 4. Passed over." << std::endl;
    return map.dimension >= 1 && map.dimension <= 4;
}

// So is a map naming points or polygons the layer lacks.
bool namesOnlyExisting(const LwoVertexMap& map, const char* kind, const std::vector<uint32_t>& indices,
                       const char* what, size_t count)
{
    const auto stray = std::find_if(indices.begin(), indices.end(), [&](uint32_t index) { return index >= count; });
    if (stray == indices.end())
        return true;
    std::cout << kind << " " << StringUtils::printable(map.name) << " names " << what << " " << *stray << " of "
              << count << ". Passed over." << std::endl;
    return false;
}

// takePolygons: only for an object the caller gives up (the lists are reached
// through unique_ptr, so const does not guard them).
std::unique_ptr<ModifiableMesh> convert(const LwoObject& object, int layerId, bool takePolygons)
{
    const LwoLayer* layer = nullptr;
    for (const auto& candidate : object.layers)
        if (layerId >= 1 && candidate->number == static_cast<uint32_t>(layerId)) {
            layer = candidate.get();
            break;
        }
    if (!layer)
        VOSTREL_THROW_AT_LINE(21, "Lwo does not contain the layer.");

    const int pointCount = layer->getPointCount();
    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
    mesh->reserveVertices(pointCount, true);
    mesh->setVertexCount(pointCount);
    mesh->addStreamFromData("location", 3, pointCount ? layer->points[0].data : nullptr, 0);

    for (const auto& map : layer->vertexMaps) {
        if (!holdsStreamValues(*map, "Vertex map", "point") ||
            !namesOnlyExisting(*map, "Vertex map", map->vertices, "point", pointCount))
            continue;
        MeshStream* stream = mesh->addStream(map->name, map->dimension, 0);
        StreamLock lock(*stream, LOCK_READ_WRITE); // unlisted vertices keep the zeros addStream wrote
        for (int i = 0; i < map->getCount(); ++i) {
            const uint32_t vertex = map->vertices[i];
            std::memcpy(lock.get() + static_cast<size_t>(vertex) * map->dimension,
                        &map->values[static_cast<size_t>(i) * map->dimension], map->dimension * sizeof(float));
        }
    }

    for (const auto& list : layer->polygonLists) {
        const std::string name = topologyNames[list->type];
        mesh->addTopology(name, 0, 3, TOPOLOGY_POLYGONS);
        PolygonList& polygons = mesh->getTopology(name)->getPolygons();
        polygons.resize(list->polygons.size());
        for (size_t k = 0; k < polygons.size(); ++k) {
            for (uint32_t vertex : list->polygons[k].vertices)
                if (vertex >= static_cast<uint32_t>(pointCount))
                    VOSTREL_THROW("Polygon " << k << " of the " << name << " names point " << vertex << " of "
                                             << pointCount << ".");
            if (takePolygons)
                polygons[k] = std::move(list->polygons[k].vertices);
            else
                polygons[k] = list->polygons[k].vertices;
        }
        for (const auto& source : list->discontinuousMaps) {
            if (!holdsStreamValues(*source, "Per-polygon map", "corner") ||
                !namesOnlyExisting(*source, "Per-polygon map", source->polygons, "polygon", polygons.size()))
                continue;
            auto map = std::make_unique<DiscontinuousVertexMap>();
            map->streamName = source->name;
            map->topologyName = name;
            map->dimension = source->dimension;
            map->polygons.resize(source->getCount());
            map->corners.resize(source->getCount());
            map->values = source->values;
            for (int i = 0; i < source->getCount(); ++i) {
                const uint32_t polygonIndex = source->polygons[i];
                const std::vector<uint32_t>& poly = polygons[polygonIndex];
                size_t l = 0;
                while (l < poly.size() && poly[l] != source->vertices[i])
                    ++l;
                if (!(l < poly.size()))
                    throw Exception("l<poly.count does not hold.", sourceName(__FILE__), 107);
                map->polygons[i] = static_cast<int>(polygonIndex);
                map->corners[i] = static_cast<int>(l);
            }
            mesh->addDiscontinuousMap(std::move(map));
        }
    }
    return mesh;
}

std::unique_ptr<ModifiableMesh> convertReported(const LwoObject& object, int layerId, bool takePolygons)
{
    try {
        return convert(object, layerId, takePolygons);
    } catch (Exception&) {
        std::cerr << "In " << "ConvertLayerToMesh(layerid=" << layerId << ")" << std::endl;
        throw;
    }
}

} // namespace

std::unique_ptr<ModifiableMesh> ConvertLayerToMesh(const LwoObject& object, int layerId)
{
    return convertReported(object, layerId, false);
}

std::unique_ptr<ModifiableMesh> ConvertLayerToMesh(LwoObject&& object, int layerId)
{
    return convertReported(object, layerId, true);
}

} // namespace Mesh
} // namespace Vostrel
