#include "Libs/Testing/Utils/QuadStrip.h"

#include "Libs/Math/Random.h"
#include "Libs/Mesh/MeshStream.h"
#include "Libs/Mesh/MeshTopology.h"
#include "Libs/Mesh/ModifiableMesh.h"
#include "Libs/Testing/Utils/ToolkitAssert.h"
#include "Libs/Testing/Utils/Utils.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace Vostrel {

namespace {

constexpr float pi = 3.14159265358979f;
constexpr Core::StreamUsage staticUsage = 4;

// A 32-bit word of the program-wide generator as a value in [0, 1).
int floorMod(int value, int n)
{
    int r = value % n;
    return r < 0 ? r + n : r;
}

} // namespace

ArcRecord::ArcRecord(float a, float b, float r, float s, float z)
    : start(std::min(a, b)), end(std::max(a, b)), inner(std::min(r, s)), outer(std::max(r, s)), z(z)
{
}

CircleTable::CircleTable(int segments) : segments(segments)
{
    TOOLKIT_ASSERT(segments > 0);
    for (int k = 0; k <= segments; ++k) {
        const double angle = 2.0 * 3.14159265358979323846 * k / segments;
        points.emplace_back(static_cast<float>(std::cos(angle)), static_cast<float>(std::sin(angle)));
    }
}

Vec2 CircleTable::pointAt(float turns) const
{
    const double x = static_cast<double>(turns) * segments;
    const double base = std::floor(x);
    const int i = floorMod(static_cast<int>(static_cast<long long>(base) % segments), segments);
    const int j = (i + 1) % segments;
    const float w = static_cast<float>(x - base);
    return points[i] * (1.0f - w) + points[j] * w;
}

void appendArc(StripGeometry& geometry, const CircleTable& table, const ArcRecord& arc)
{
    const int n = table.segments;
    const uint32_t base = static_cast<uint32_t>(geometry.locations.size());
    std::vector<Vec2> corners;
    const bool ring = arc.end - arc.start >= 1.0f;
    if (ring) {
        corners.assign(table.points.begin(), table.points.begin() + n);
    } else {
        const int i0 = static_cast<int>(std::floor(n * arc.start));
        const int i1 = static_cast<int>(std::ceil(n * arc.end));
        corners.push_back(table.pointAt(arc.start));
        for (int k = i0 + 1; k <= i1 - 1; ++k)
            corners.push_back(table.points[floorMod(k, n)]);
        corners.push_back(table.pointAt(arc.end));
    }
    const int pairs = static_cast<int>(corners.size());
    for (int i = 0; i < pairs; ++i) {
        const float u = pairs < 2 ? 0.0f : static_cast<float>(i) / static_cast<float>(pairs - 1);
        geometry.locations.emplace_back(corners[i][0] * arc.inner, corners[i][1] * arc.inner, arc.z);
        geometry.texcoords.emplace_back(u, 0.0f);
        geometry.locations.emplace_back(corners[i][0] * arc.outer, corners[i][1] * arc.outer, arc.z);
        geometry.texcoords.emplace_back(u, 1.0f);
    }
    const int quads = ring ? n : pairs - 1;
    for (int q = 0; q < quads; ++q) {
        const uint32_t a = base + 2 * q;
        // A ring's last quad closes on the first pair.
        const uint32_t b = (ring && q == quads - 1) ? base : a + 2;
        for (uint32_t index : {a, a + 1, b, b, a + 1, b + 1})
            geometry.indices.push_back(index);
    }
}

void appendBar(StripGeometry& geometry, const BarRecord& bar)
{
    const uint32_t v = static_cast<uint32_t>(geometry.locations.size());
    const float theta = 2.0f * pi * bar.angle;
    const Vec3 d(std::cos(theta), std::sin(theta), 0.0f);
    const Vec3 t(-std::sin(theta), std::cos(theta), 0.0f);
    const Vec3 depth(0.0f, 0.0f, bar.z);
    const float w = bar.halfWidth;
    geometry.locations.push_back(d * bar.inner - t * w + depth);
    geometry.locations.push_back(d * bar.outer - t * w + depth);
    geometry.locations.push_back(d * bar.outer + t * w + depth);
    geometry.locations.push_back(d * bar.inner + t * w + depth);
    for (Vec2 uv : {Vec2(0, 0), Vec2(1, 0), Vec2(1, 1), Vec2(0, 1)})
        geometry.texcoords.push_back(uv);
    for (uint32_t index : {v, v + 1, v + 2, v, v + 2, v + 3})
        geometry.indices.push_back(index);
}

std::unique_ptr<Mesh::ModifiableMesh> createStripMesh(const StripGeometry& geometry)
{
    using namespace Mesh;
    const int vertexCount = static_cast<int>(geometry.locations.size());
    if (vertexCount > 65536)
        TOOLKIT_THROW("createStripMesh: " << vertexCount << " vertices do not fit 16-bit indices");
    std::unique_ptr<ModifiableMesh> mesh = ModifiableMesh::createEmpty();
    mesh->setVertexCount(vertexCount);
    MeshStream* location = mesh->addStream("location", 3, 0);
    MeshStream* texcoord = mesh->addStream("texcoord", 2, 0);
    {
        StreamLock lock(*location, Core::LOCK_DISCARD);
        if (vertexCount)
            std::memcpy(lock.get(), geometry.locations.data(), geometry.locations.size() * sizeof(Vec3));
    }
    {
        StreamLock lock(*texcoord, Core::LOCK_DISCARD);
        if (vertexCount)
            std::memcpy(lock.get(), geometry.texcoords.data(), geometry.texcoords.size() * sizeof(Vec2));
    }
    MeshTopology* triangles =
        mesh->addTopology("triangles", static_cast<int>(geometry.indices.size() / 3), 3, TOPOLOGY_CLIENT_INDICES);
    {
        IndexLock lock(*triangles, Core::LOCK_DISCARD);
        if (!geometry.indices.empty())
            std::memcpy(lock.get(), geometry.indices.data(), geometry.indices.size() * sizeof(uint32_t));
    }
    triangles->setStatus(TOPOLOGY_INDICES_16);
    mesh->freeze(staticUsage);
    return mesh;
}

QuadStrip::QuadStrip()
{
    for (int i = 0; i < 32; ++i) {
        const float a0 = unitRandom();
        const float grow = 0.9f + 0.3f * unitRandom();
        const float r = grow * grow;
        const float length = 0.2f + 0.2f * unitRandom();
        const float outer = r * (1.02f + 0.03f * unitRandom());
        addArc(ArcRecord(a0, a0 + length, r, outer, 0.0f));
        addBar({a0 + 0.1f + 0.2f * unitRandom(), 0.01f, r, r + 0.3f, 0.0f});
    }
    mesh = build();
}

QuadStrip::~QuadStrip() = default;

void QuadStrip::clear()
{
    std::vector<ArcRecord>().swap(arcs);
    std::vector<BarRecord>().swap(bars);
}

std::unique_ptr<Mesh::ModifiableMesh> QuadStrip::build() const
{
    StripGeometry geometry;
    for (const ArcRecord& arc : arcs)
        appendArc(geometry, table, arc);
    for (const BarRecord& bar : bars)
        appendBar(geometry, bar);
    return createStripMesh(geometry);
}

QuadStripSet::QuadStripSet()
{
    for (int m = 0; m < 7; ++m) {
        clear();
        for (int i = 0; i < 50; ++i) {
            const float a0 = unitRandom();
            const float grow = 0.4f + 0.9f * unitRandom();
            const float r = grow * grow;
            const float length = 0.2f + 0.2f * unitRandom();
            const float outer = r * (1.05f + 0.05f * unitRandom());
            const float z = randomSignedUnitFloat();
            addArc(ArcRecord(a0, a0 + length, r, outer, z));
            addBar({a0 + 0.1f + 0.2f * unitRandom(), 0.01f, r, r + 0.3f, 0.0f});
        }
        meshes.push_back(build());
    }
}

QuadStripSet::~QuadStripSet() = default;

Mesh::ModifiableMesh* QuadStripSet::getMesh(int index) const
{
    TOOLKIT_ASSERT(index >= 0 && index < 7);
    return meshes[index].get();
}

QuadStripLayers::QuadStripLayers()
{
    constexpr int quadsPerLayer = 64;
    constexpr float radius = 4.5f;
    constexpr float spread = pi / 32.0f;
    for (int layer = 0; layer < 7; ++layer) {
        const float power = (layer + 3) / 3.0f;
        // A signed value in [-1, 1) pulled towards 0 by the layer's power.
        auto shaped = [power]() {
            const float v = randomSignedUnitFloat();
            return std::copysign(std::pow(std::fabs(v), power), v);
        };
        StripGeometry geometry;
        for (int q = 0; q < quadsPerLayer; ++q) {
            const float angle = 2.0f * pi * q / quadsPerLayer + spread * shaped();
            const float width = spread * (0.25f + 0.75f * unitRandom());
            const float inner = radius * (1.0f + 0.1f * shaped());
            const float outer = inner + 0.1f + 0.4f * std::fabs(shaped());
            const float z = 0.5f * shaped();
            const uint32_t v = static_cast<uint32_t>(geometry.locations.size());
            for (float a : {angle, angle + width}) {
                geometry.locations.emplace_back(std::cos(a) * inner, std::sin(a) * inner, z);
                geometry.locations.emplace_back(std::cos(a) * outer, std::sin(a) * outer, z);
            }
            for (Vec2 uv : {Vec2(0, 0), Vec2(0, 1), Vec2(1, 0), Vec2(1, 1)})
                geometry.texcoords.push_back(uv);
            for (uint32_t index : {v, v + 1, v + 2, v + 2, v + 1, v + 3})
                geometry.indices.push_back(index);
        }
        meshes.push_back(createStripMesh(geometry));
    }
}

QuadStripLayers::~QuadStripLayers() = default;

Mesh::ModifiableMesh* QuadStripLayers::getMesh(int index) const
{
    TOOLKIT_ASSERT(index >= 0 && index < 7);
    return meshes[index].get();
}

} // namespace Vostrel
