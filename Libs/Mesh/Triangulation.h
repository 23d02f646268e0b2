#pragma once

#include "Libs/Mesh/Polygon.h"

#include <cstdint>
#include <vector>

namespace Vostrel {
namespace Mesh {

// Triangles for drawing: 3 indices each, polygons in input order, every
// polygon of n >= 3 corners giving n - 2 triangles in its own corner order.
// Triangles are copied, quads split along the diagonal that keeps both halves
// facing the same way, larger polygons projected onto their plane and cut by
// ear clipping. Corners are checked against vertexCount.
std::vector<uint32_t> triangulatePolygonList(const PolygonRecord* polygons, int polygonCount, int vertexCount,
                                             const float* positions, int positionStride);

// The same for a flat array of quads, 4 indices each.
std::vector<uint32_t> triangulateQuads(const uint32_t* quads, int quadCount, int vertexCount,
                                       const float* positions, int positionStride);

// The number of triangles triangulatePolygonList makes of these polygons.
int countPolygonTriangles(const PolygonRecord* polygons, int polygonCount);

} // namespace Mesh
} // namespace Vostrel
