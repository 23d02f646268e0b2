#pragma once

#include <cstdint>
#include <vector>

namespace Vostrel {
namespace Mesh {

// A polygon as the kernels see it: a corner count and the corners' vertex
// indices. The kernels that split vertices rewrite the corners in place, so
// the record points into whatever owns them (a topology's polygon list or a
// locked index stream).
struct PolygonRecord {
    int cornerCount;
    uint32_t* corners;
};

// The client-side polygons of a topology: one vector of corner indices each.
typedef std::vector<std::vector<uint32_t>> PolygonList;

// Records over every polygon of the list; valid until the list changes.
std::vector<PolygonRecord> makePolygonRecords(PolygonList& polygons);

// Records of cornersPerRecord consecutive indices each, over a flat index array.
std::vector<PolygonRecord> makePolygonRecords(uint32_t* indices, int recordCount, int cornersPerRecord);

// Throws when a corner of any record is not below vertexCount or a corner
// count is negative; the kernels run this before they write anything, since
// corner indices come from files.
void checkPolygonCorners(const PolygonRecord* polygons, int polygonCount, int vertexCount,
                         const char* operation);

} // namespace Mesh
} // namespace Vostrel
