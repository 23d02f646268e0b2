#include "Libs/Mesh/Polygon.h"

#include "Libs/Common/Exception.h"

namespace Vostrel {
namespace Mesh {

std::vector<PolygonRecord> makePolygonRecords(PolygonList& polygons)
{
    std::vector<PolygonRecord> records;
    records.reserve(polygons.size());
    for (std::vector<uint32_t>& polygon : polygons)
        records.push_back(PolygonRecord{static_cast<int>(polygon.size()), polygon.data()});
    return records;
}

std::vector<PolygonRecord> makePolygonRecords(uint32_t* indices, int recordCount, int cornersPerRecord)
{
    std::vector<PolygonRecord> records;
    records.reserve(recordCount > 0 ? recordCount : 0);
    for (int i = 0; i < recordCount; ++i)
        records.push_back(PolygonRecord{cornersPerRecord, indices + static_cast<size_t>(i) * cornersPerRecord});
    return records;
}

void checkPolygonCorners(const PolygonRecord* polygons, int polygonCount, int vertexCount,
                         const char* operation)
{
    VOSTREL_ASSERT(vertexCount >= 0 && polygonCount >= 0);
    const uint32_t limit = static_cast<uint32_t>(vertexCount);
    for (int p = 0; p < polygonCount; ++p) {
        const PolygonRecord& polygon = polygons[p];
        if (polygon.cornerCount < 0)
            VOSTREL_THROW(operation << ": polygon " << p << " has a negative corner count ("
                                    << polygon.cornerCount << ")");
        for (int k = 0; k < polygon.cornerCount; ++k)
            if (polygon.corners[k] >= limit)
                VOSTREL_THROW(operation << ": corner " << k << " of polygon " << p << " uses vertex "
                                        << polygon.corners[k] << " of " << vertexCount);
    }
}

} // namespace Mesh
} // namespace Vostrel
