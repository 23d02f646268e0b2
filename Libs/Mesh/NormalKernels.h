#pragma once

#include "Libs/Mesh/Polygon.h"

#include <cstdint>
#include <vector>

// Numeric kernels behind the mesh's normal and tangent operations. They work
// on plain arrays; strides are in bytes. Every kernel checks the corner
// indices against the vertex count before it writes anything.
namespace Vostrel {
namespace Mesh {

// Smooth unit normals: every polygon of three or more corners adds its unit
// face normal to all its corners; vertices no polygon uses keep (0, 0, 0).
void computeVertexNormals(const PolygonRecord* polygons, int polygonCount, int vertexCount,
                          const float* positions, int positionStride, float* normals, int normalStride);
void computeVertexNormalsFromTriangles(const uint32_t* indices, int triangleCount, int vertexCount,
                                       const float* positions, int positionStride, float* normals,
                                       int normalStride);

// Normals that split a vertex wherever the faces around it meet at more than
// `angle` degrees. Corners of the split-off faces are rewritten to new
// vertices numbered from vertexCount on; duplicates[u - vertexCount] is the
// vertex that new vertex u copies. normals receives 3 floats for every vertex,
// the new ones included.
void computeCreaseNormals(float angle, PolygonRecord* polygons, int polygonCount, int vertexCount,
                          const float* positions, int positionStride, std::vector<float>& normals,
                          std::vector<int>& duplicates);

// Unit tangents and binormals (the directions in which u and v grow), made
// orthogonal to the normal. Arrays are packed: 3 floats per vertex, texture
// coordinates 2. Either output may be null.
void computeTangentFrames(const PolygonRecord* polygons, int polygonCount, int vertexCount,
                          const float* positions, const float* normals, const float* texcoords,
                          float* tangents, float* binormals);

// One unit face normal per polygon or triangle, (0, 0, 0) when degenerate.
// A polygon of fewer than three corners is reported and its entry left alone.
void computePolygonNormals(const PolygonRecord* polygons, int polygonCount, int vertexCount,
                           const float* positions, int positionStride, float* output, int outputStride);
void computeTriangleNormals(const uint32_t* indices, int triangleCount, int vertexCount,
                            const float* positions, int positionStride, float* output, int outputStride);

} // namespace Mesh
} // namespace Vostrel
