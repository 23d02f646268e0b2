#include "Libs/Mesh/NormalKernels.h"

#include "Libs/Common/Exception.h"
#include "Libs/Math/Vec.h"

#include <cmath>
#include <cstring>
#include <iostream>

namespace Vostrel {
namespace Mesh {

namespace {

const float degenerateLengthSquared = 1e-14f;

Vec3 readVec3(const float* base, int strideBytes, uint32_t index)
{
    const float* p = reinterpret_cast<const float*>(reinterpret_cast<const char*>(base) +
                                                    static_cast<size_t>(index) * strideBytes);
    return Vec3(p[0], p[1], p[2]);
}

float* vec3Slot(float* base, int strideBytes, uint32_t index)
{
    return reinterpret_cast<float*>(reinterpret_cast<char*>(base) + static_cast<size_t>(index) * strideBytes);
}

void writeVec3(float* base, int strideBytes, uint32_t index, const Vec3& value)
{
    std::memcpy(vec3Slot(base, strideBytes, index), value.data, sizeof(value.data));
}

bool isDegenerate(const Vec3& v) { return dot(v, v) <= degenerateLengthSquared; }

// The unit vector, or zero when there is no direction to keep.
Vec3 normalizedOrZero(const Vec3& v)
{
    double len = length(v);
    if (!(len > 0.0) || !std::isfinite(len))
        return Vec3(0.0f);
    return normalize(v);
}

Vec3 faceNormal(const float* positions, int stride, uint32_t i0, uint32_t i1, uint32_t i2)
{
    Vec3 p0 = readVec3(positions, stride, i0);
    return cross(readVec3(positions, stride, i1) - p0, readVec3(positions, stride, i2) - p0);
}

void checkTriangleCorners(const uint32_t* indices, int triangleCount, int vertexCount, const char* operation)
{
    VOSTREL_ASSERT(vertexCount >= 0 && triangleCount >= 0);
    const uint32_t limit = static_cast<uint32_t>(vertexCount);
    for (size_t i = 0; i < static_cast<size_t>(triangleCount) * 3; ++i)
        if (indices[i] >= limit)
            VOSTREL_THROW(operation << ": corner " << i % 3 << " of triangle " << i / 3 << " uses vertex "
                                    << indices[i] << " of " << vertexCount);
}

void clearVec3s(float* base, int strideBytes, int count)
{
    for (int v = 0; v < count; ++v)
        writeVec3(base, strideBytes, v, Vec3(0.0f));
}

void normalizeVec3s(float* base, int strideBytes, int count)
{
    for (int v = 0; v < count; ++v) {
        Vec3 n = readVec3(base, strideBytes, v);
        if (!isDegenerate(n))
            writeVec3(base, strideBytes, v, normalize(n));
    }
}

// One fan of faces around a vertex: the faces that share a smoothing group
// there, the sum of their unit normals and the outer edges of the fan.
struct Fan {
    Vec3 normal;
    uint32_t previous;
    uint32_t next;
    int firstCorner; // list of the fan's corners through nextCornerInFan
    int lastCorner;
    bool removed;
};

} // namespace

void computeVertexNormals(const PolygonRecord* polygons, int polygonCount, int vertexCount,
                          const float* positions, int positionStride, float* normals, int normalStride)
{
    checkPolygonCorners(polygons, polygonCount, vertexCount, "computeVertexNormals");
    clearVec3s(normals, normalStride, vertexCount);
    for (int p = 0; p < polygonCount; ++p) {
        const PolygonRecord& polygon = polygons[p];
        if (polygon.cornerCount < 3)
            continue;
        Vec3 n = faceNormal(positions, positionStride, polygon.corners[0], polygon.corners[1], polygon.corners[2]);
        if (isDegenerate(n))
            continue;
        n = normalize(n);
        for (int k = 0; k < polygon.cornerCount; ++k) {
            float* slot = vec3Slot(normals, normalStride, polygon.corners[k]);
            for (int c = 0; c < 3; ++c)
                slot[c] += n[c];
        }
    }
    normalizeVec3s(normals, normalStride, vertexCount);
}

void computeVertexNormalsFromTriangles(const uint32_t* indices, int triangleCount, int vertexCount,
                                       const float* positions, int positionStride, float* normals,
                                       int normalStride)
{
    checkTriangleCorners(indices, triangleCount, vertexCount, "computeVertexNormalsFromTriangles");
    clearVec3s(normals, normalStride, vertexCount);
    for (int t = 0; t < triangleCount; ++t) {
        const uint32_t* corners = indices + 3 * static_cast<size_t>(t);
        Vec3 n = faceNormal(positions, positionStride, corners[0], corners[1], corners[2]);
        if (isDegenerate(n))
            continue;
        n = normalize(n);
        for (int k = 0; k < 3; ++k) {
            float* slot = vec3Slot(normals, normalStride, corners[k]);
            for (int c = 0; c < 3; ++c)
                slot[c] += n[c];
        }
    }
    normalizeVec3s(normals, normalStride, vertexCount);
}

void computeCreaseNormals(float angle, PolygonRecord* polygons, int polygonCount, int vertexCount,
                          const float* positions, int positionStride, std::vector<float>& normals,
                          std::vector<int>& duplicates)
{
    checkPolygonCorners(polygons, polygonCount, vertexCount, "computeCreaseNormals");
    const double radiansPerDegree = 3.14159265358979323846 / 180.0;
    const float threshold = static_cast<float>(std::cos(angle * radiansPerDegree));

    // Every corner starts a fan of its own; fans are grouped by vertex in
    // polygon order, which is the order the merging walks them in.
    std::vector<int> fanStart(static_cast<size_t>(vertexCount) + 1, 0);
    size_t cornerTotal = 0;
    for (int p = 0; p < polygonCount; ++p) {
        cornerTotal += polygons[p].cornerCount;
        for (int k = 0; k < polygons[p].cornerCount; ++k)
            ++fanStart[polygons[p].corners[k] + 1];
    }
    for (int v = 0; v < vertexCount; ++v)
        fanStart[v + 1] += fanStart[v];

    std::vector<Fan> fans(cornerTotal);
    std::vector<int> cornerPolygon(cornerTotal), cornerPosition(cornerTotal), nextCornerInFan(cornerTotal, -1);
    std::vector<int> fill(fanStart.begin(), fanStart.end() - 1);
    for (int p = 0; p < polygonCount; ++p) {
        const PolygonRecord& polygon = polygons[p];
        const int n = polygon.cornerCount;
        if (n == 0)
            continue;
        Vec3 normal = cross(readVec3(positions, positionStride, polygon.corners[1 % n]) -
                                readVec3(positions, positionStride, polygon.corners[0]),
                            readVec3(positions, positionStride, polygon.corners[n - 1]) -
                                readVec3(positions, positionStride, polygon.corners[0]));
        normal = isDegenerate(normal) ? Vec3(0.0f) : normalize(normal);
        for (int k = 0; k < n; ++k) {
            int slot = fill[polygon.corners[k]]++;
            cornerPolygon[slot] = p;
            cornerPosition[slot] = k;
            fans[slot] = Fan{normal, polygon.corners[(k - 1 + n) % n], polygon.corners[(k + 1) % n], slot, slot,
                             false};
        }
    }

    for (int v = 0; v < vertexCount; ++v) {
        const int begin = fanStart[v], end = fanStart[v + 1];
        bool merged = true;
        while (merged) {
            merged = false;
            for (int a = begin; a < end; ++a) {
                Fan& fanA = fans[a];
                if (fanA.removed || isDegenerate(fanA.normal))
                    continue;
                const Vec3 directionA = normalize(fanA.normal);
                for (int b = begin; b < end; ++b) {
                    Fan& fanB = fans[b];
                    if (b == a || fanB.removed || isDegenerate(fanB.normal))
                        continue;
                    if (fanA.previous != fanB.next && fanB.previous != fanA.next)
                        continue;
                    if (dot(directionA, normalize(fanB.normal)) < threshold)
                        continue;
                    fanA.normal += fanB.normal;
                    nextCornerInFan[fanA.lastCorner] = fanB.firstCorner;
                    fanA.lastCorner = fanB.lastCorner;
                    if (fanA.previous == fanB.next)
                        fanA.previous = fanB.previous;
                    else
                        fanA.next = fanB.next;
                    fanB.removed = true;
                    merged = true;
                    break;
                }
            }
        }
    }

    // A vertex keeps its index for its first fan (and for no fan at all, when
    // nothing uses it); further fans become new vertices.
    size_t total = 0;
    for (int v = 0; v < vertexCount; ++v) {
        int count = 0;
        for (int f = fanStart[v]; f < fanStart[v + 1]; ++f)
            count += fans[f].removed ? 0 : 1;
        total += count > 0 ? count : 1;
    }
    normals.assign(total * 3, 0.0f);
    duplicates.assign(total - vertexCount, 0);

    uint32_t nextNew = static_cast<uint32_t>(vertexCount);
    for (int v = 0; v < vertexCount; ++v) {
        bool first = true;
        for (int f = fanStart[v]; f < fanStart[v + 1]; ++f) {
            const Fan& fan = fans[f];
            if (fan.removed)
                continue;
            uint32_t target = static_cast<uint32_t>(v);
            if (!first) {
                target = nextNew++;
                duplicates[target - vertexCount] = v;
                for (int corner = fan.firstCorner; corner >= 0; corner = nextCornerInFan[corner])
                    polygons[cornerPolygon[corner]].corners[cornerPosition[corner]] = target;
            }
            writeVec3(normals.data(), 12, target, normalizedOrZero(fan.normal));
            first = false;
        }
    }
}

void computeTangentFrames(const PolygonRecord* polygons, int polygonCount, int vertexCount,
                          const float* positions, const float* normals, const float* texcoords,
                          float* tangents, float* binormals)
{
    checkPolygonCorners(polygons, polygonCount, vertexCount, "computeTangentFrames");
    std::vector<Vec3> tangentSums(vertexCount, Vec3(0.0f)), binormalSums(vertexCount, Vec3(0.0f));
    auto texcoordAt = [texcoords](uint32_t i) { return Vec2(texcoords[2 * size_t(i)], texcoords[2 * size_t(i) + 1]); };

    for (int p = 0; p < polygonCount; ++p) {
        const PolygonRecord& polygon = polygons[p];
        const int n = polygon.cornerCount;
        for (int k = 0; k < n; ++k) {
            uint32_t c = polygon.corners[k], a = polygon.corners[(k + 1) % n], b = polygon.corners[(k - 1 + n) % n];
            Vec3 pc = readVec3(positions, 12, c);
            Vec3 e1 = readVec3(positions, 12, a) - pc, e2 = readVec3(positions, 12, b) - pc;
            Vec2 tc = texcoordAt(c), t1 = texcoordAt(a) - tc, t2 = texcoordAt(b) - tc;
            float g11 = dot(e1, e1), g12 = dot(e1, e2), g22 = dot(e2, e2);
            float determinant = g11 * g22 - g12 * g12;
            // Parallel or zero-length edges span no plane to take a gradient in.
            if (!(determinant > 1e-12f * g11 * g22))
                continue;
            float s = 1.0f / determinant;
            float du1 = t1[0], dv1 = t1[1], du2 = t2[0], dv2 = t2[1];
            tangentSums[c] += s * (e2 * (du2 * g11 - du1 * g12) + e1 * (du1 * g22 - du2 * g12));
            binormalSums[c] += s * (e2 * (dv2 * g11 - dv1 * g12) + e1 * (dv1 * g22 - dv2 * g12));
        }
    }

    for (int v = 0; v < vertexCount; ++v) {
        Vec3 normal = readVec3(normals, 12, v);
        if (tangents)
            writeVec3(tangents, 12, v, normalizedOrZero(tangentSums[v] - normal * dot(tangentSums[v], normal)));
        if (binormals)
            writeVec3(binormals, 12, v, normalizedOrZero(binormalSums[v] - normal * dot(binormalSums[v], normal)));
    }
}

void computePolygonNormals(const PolygonRecord* polygons, int polygonCount, int vertexCount,
                           const float* positions, int positionStride, float* output, int outputStride)
{
    checkPolygonCorners(polygons, polygonCount, vertexCount, "computePolygonNormals");
    for (int p = 0; p < polygonCount; ++p) {
        const PolygonRecord& polygon = polygons[p];
        if (polygon.cornerCount < 3) {
            std::cout << "Warning: degenerated polygon." << std::endl;
            continue;
        }
        Vec3 n = faceNormal(positions, positionStride, polygon.corners[0], polygon.corners[1], polygon.corners[2]);
        writeVec3(output, outputStride, p, isDegenerate(n) ? Vec3(0.0f) : normalize(n));
    }
}

void computeTriangleNormals(const uint32_t* indices, int triangleCount, int vertexCount,
                            const float* positions, int positionStride, float* output, int outputStride)
{
    checkTriangleCorners(indices, triangleCount, vertexCount, "computeTriangleNormals");
    for (int t = 0; t < triangleCount; ++t) {
        const uint32_t* corners = indices + 3 * static_cast<size_t>(t);
        Vec3 n = faceNormal(positions, positionStride, corners[0], corners[1], corners[2]);
        writeVec3(output, outputStride, t, isDegenerate(n) ? Vec3(0.0f) : normalize(n));
    }
}

} // namespace Mesh
} // namespace Vostrel
