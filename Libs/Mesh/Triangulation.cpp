#include "Libs/Mesh/Triangulation.h"

#include "Libs/Common/Exception.h"
#include "Libs/Math/Vec.h"

#include <cmath>

namespace Vostrel {
namespace Mesh {

namespace {

Vec3 positionOf(const float* positions, int strideBytes, uint32_t index)
{
    const float* p = reinterpret_cast<const float*>(reinterpret_cast<const char*>(positions) +
                                                    static_cast<size_t>(index) * strideBytes);
    return Vec3(p[0], p[1], p[2]);
}

// Writes the two triangles of one quad, split along c0-c2 when the corners
// c1 and c3 turn the same way about it, else along c1-c3; this keeps a
// concave quad's halves inside it.
uint32_t* emitQuad(const uint32_t* c, const float* positions, int stride, uint32_t* out)
{
    Vec3 p0 = positionOf(positions, stride, c[0]), p1 = positionOf(positions, stride, c[1]);
    Vec3 p2 = positionOf(positions, stride, c[2]), p3 = positionOf(positions, stride, c[3]);
    Vec3 n1 = cross(p2 - p3, p0 - p3), n2 = cross(p0 - p1, p2 - p1);
    const uint32_t split02[6] = {c[0], c[1], c[2], c[0], c[2], c[3]};
    const uint32_t split13[6] = {c[0], c[1], c[3], c[1], c[2], c[3]};
    const uint32_t* chosen = dot(n1, n2) > 0.0f ? split02 : split13;
    for (int i = 0; i < 6; ++i)
        out[i] = chosen[i];
    return out + 6;
}

struct EarNode {
    uint32_t index;
    float u, v;
    int previous, next;
    bool reflex;
    int reflexPrevious, reflexNext;
};

// Ear clipping over a ring of nodes kept between polygons, so that a list of
// polygons allocates only when one is larger than any before it.
class EarClipper {
public:
    uint32_t* triangulate(const uint32_t* corners, int n, const float* positions, int stride, uint32_t* out);

private:
    bool isConvex(int p) const
    {
        const EarNode &a = nodes[nodes[p].previous], &node = nodes[p], &c = nodes[nodes[p].next];
        return (a.v - node.v) * (c.u - node.u) - (a.u - node.u) * (c.v - node.v) > 0.0f;
    }
    void pushReflex(int p)
    {
        nodes[p].reflex = true;
        nodes[p].reflexPrevious = -1;
        nodes[p].reflexNext = reflexHead;
        if (reflexHead >= 0)
            nodes[reflexHead].reflexPrevious = p;
        reflexHead = p;
    }
    void dropReflex(int p)
    {
        EarNode& node = nodes[p];
        node.reflex = false;
        if (node.reflexPrevious >= 0)
            nodes[node.reflexPrevious].reflexNext = node.reflexNext;
        else
            reflexHead = node.reflexNext;
        if (node.reflexNext >= 0)
            nodes[node.reflexNext].reflexPrevious = node.reflexPrevious;
    }
    void dropReflexIfConvex(int p)
    {
        if (nodes[p].reflex && isConvex(p))
            dropReflex(p);
    }
    bool isEar(int e) const;

    std::vector<EarNode> nodes;
    int reflexHead = -1;
};

bool EarClipper::isEar(int e) const
{
    const EarNode& ear = nodes[e];
    if (ear.reflex)
        return false;
    const EarNode &a = nodes[ear.previous], &s = nodes[ear.next];
    for (int w = reflexHead; w >= 0; w = nodes[w].reflexNext) {
        if (w == ear.previous || w == ear.next)
            continue;
        const EarNode& p = nodes[w];
        // Inside the triangle (a, ear, s) or on its border.
        if ((p.v - ear.v) * (p.u - a.u) - (p.u - ear.u) * (p.v - a.v) >= 0.0f &&
            (p.v - s.v) * (p.u - ear.u) - (p.u - s.u) * (p.v - ear.v) >= 0.0f &&
            (p.u - s.u) * (p.v - a.v) - (p.v - s.v) * (p.u - a.u) >= 0.0f)
            return false;
    }
    return true;
}

uint32_t* EarClipper::triangulate(const uint32_t* corners, int n, const float* positions, int stride, uint32_t* out)
{
    if (static_cast<int>(nodes.size()) < n)
        nodes.resize(n + 10);

    // Project onto the coordinate plane most nearly facing the polygon.
    Vec3 p0 = positionOf(positions, stride, corners[0]);
    Vec3 normal = cross(positionOf(positions, stride, corners[n - 1]) - p0, positionOf(positions, stride, corners[1]) - p0);
    if (dot(normal, normal) == 0.0f) {
        // The first corner is straight: take the whole outline's normal
        // (Newell), or a concave polygon off the xy plane collapses.
        normal = Vec3(0.0f);
        for (int k = 0; k < n; ++k) {
            Vec3 a = positionOf(positions, stride, corners[k]), b = positionOf(positions, stride, corners[(k + 1) % n]);
            normal += Vec3((a[1] - b[1]) * (a[2] + b[2]), (a[2] - b[2]) * (a[0] + b[0]), (a[0] - b[0]) * (a[1] + b[1]));
        }
    }
    float ax = std::fabs(normal[0]), ay = std::fabs(normal[1]), az = std::fabs(normal[2]);
    int uAxis = 0, vAxis = 1;
    if (ax > ay && ax > az) {
        uAxis = 1;
        vAxis = 2;
    } else if (ay > az) {
        uAxis = 2;
        vAxis = 0;
    }

    for (int k = 0; k < n; ++k) {
        Vec3 p = positionOf(positions, stride, corners[k]);
        nodes[k] = EarNode{corners[k], p[uAxis], p[vAxis], (k - 1 + n) % n, (k + 1) % n, false, -1, -1};
    }
    float area = 0.0f;
    for (int k = 1; k + 1 < n; ++k)
        area += (nodes[k].u - nodes[0].u) * (nodes[k + 1].v - nodes[0].v) -
                (nodes[k].v - nodes[0].v) * (nodes[k + 1].u - nodes[0].u);
    if (area < 0.0f)
        for (int k = 0; k < n; ++k)
            nodes[k].u = -nodes[k].u;

    reflexHead = -1;
    for (int k = 0; k < n; ++k)
        if (!isConvex(k))
            pushReflex(k);

    if (reflexHead >= 0) {
        int s = nodes[nodes[0].next].next;
        while (s != 0) {
            int e = nodes[s].previous;
            if (!isEar(e)) {
                s = nodes[s].next;
                continue;
            }
            int a = nodes[e].previous;
            *out++ = nodes[a].index;
            *out++ = nodes[e].index;
            *out++ = nodes[s].index;
            nodes[a].next = s;
            nodes[s].previous = a;
            dropReflexIfConvex(s);
            dropReflexIfConvex(a);
            if (reflexHead < 0)
                break;
            if (nodes[s].previous == 0)
                s = nodes[s].next;
        }
    }

    // What is left is convex (or hopeless, when the outline crosses itself):
    // a fan from the first corner.
    for (int t = nodes[nodes[0].next].next; t != 0; t = nodes[t].next) {
        *out++ = nodes[0].index;
        *out++ = nodes[nodes[t].previous].index;
        *out++ = nodes[t].index;
    }
    return out;
}

} // namespace

int countPolygonTriangles(const PolygonRecord* polygons, int polygonCount)
{
    long long count = 0;
    for (int p = 0; p < polygonCount; ++p)
        if (polygons[p].cornerCount >= 3)
            count += polygons[p].cornerCount - 2;
    if (count > 0x7fffffff / 3)
        VOSTREL_THROW("triangulatePolygonList: " << count << " triangles are too many for one index list");
    return static_cast<int>(count);
}

std::vector<uint32_t> triangulatePolygonList(const PolygonRecord* polygons, int polygonCount, int vertexCount,
                                             const float* positions, int positionStride)
{
    checkPolygonCorners(polygons, polygonCount, vertexCount, "triangulatePolygonList");
    std::vector<uint32_t> triangles(static_cast<size_t>(countPolygonTriangles(polygons, polygonCount)) * 3);
    uint32_t* out = triangles.data();
    EarClipper clipper;
    for (int p = 0; p < polygonCount; ++p) {
        const PolygonRecord& polygon = polygons[p];
        const uint32_t* c = polygon.corners;
        if (polygon.cornerCount == 3) {
            out[0] = c[0];
            out[1] = c[1];
            out[2] = c[2];
            out += 3;
        } else if (polygon.cornerCount == 4) {
            out = emitQuad(c, positions, positionStride, out);
        } else if (polygon.cornerCount >= 5) {
            out = clipper.triangulate(c, polygon.cornerCount, positions, positionStride, out);
        }
    }
    VOSTREL_ASSERT(out == triangles.data() + triangles.size());
    return triangles;
}

std::vector<uint32_t> triangulateQuads(const uint32_t* quads, int quadCount, int vertexCount, const float* positions,
                                       int positionStride)
{
    VOSTREL_ASSERT(quadCount >= 0);
    std::vector<PolygonRecord> records =
        makePolygonRecords(const_cast<uint32_t*>(quads), quadCount, 4);
    checkPolygonCorners(records.data(), quadCount, vertexCount, "triangulateQuads");
    std::vector<uint32_t> triangles(static_cast<size_t>(quadCount) * 6);
    uint32_t* out = triangles.data();
    for (int q = 0; q < quadCount; ++q)
        out = emitQuad(quads + 4 * static_cast<size_t>(q), positions, positionStride, out);
    return triangles;
}

} // namespace Mesh
} // namespace Vostrel
