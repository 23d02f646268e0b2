#pragma once

#include "Libs/Math/Vec.h"

#include <cstdint>
#include <memory>
#include <vector>

namespace Vostrel {
namespace Mesh {
class ModifiableMesh;
}

// An annulus sector: turns from start to end, radii inner to outer.
struct ArcRecord {
    ArcRecord(float a, float b, float r, float s, float z);
    float start, end, inner, outer, z;
};

// A short radial quad across the ring.
struct BarRecord {
    float angle, halfWidth, inner, outer, z;
};

// The corners of a regular n-gon, the last repeating the first.
struct CircleTable {
    explicit CircleTable(int segments);
    // On the polygon's edge at f turns (between corners, on the chord).
    Vec2 pointAt(float turns) const;
    int segments;
    std::vector<Vec2> points;
};

// What the arcs and bars make before it becomes a mesh.
struct StripGeometry {
    std::vector<Vec3> locations;
    std::vector<Vec2> texcoords;
    std::vector<uint32_t> indices;
};

// Arcs first, in order, then bars; each record's indices start at its first vertex.
void appendArc(StripGeometry& geometry, const CircleTable& table, const ArcRecord& arc);
void appendBar(StripGeometry& geometry, const BarRecord& bar);
// A frozen mesh with "location", "texcoord" and 16-bit "triangles".
std::unique_ptr<Mesh::ModifiableMesh> createStripMesh(const StripGeometry& geometry);

// Arc bands and radial bars around the origin, drawn at random.
class QuadStrip {
public:
    QuadStrip();
    ~QuadStrip();
    Mesh::ModifiableMesh* getMesh() const { return mesh.get(); }

    void addArc(const ArcRecord& arc) { arcs.push_back(arc); }
    void addBar(const BarRecord& bar) { bars.push_back(bar); }
    void clear();
    std::unique_ptr<Mesh::ModifiableMesh> build() const;

protected:
    std::vector<ArcRecord> arcs;
    std::vector<BarRecord> bars;
    CircleTable table{64};

private:
    std::unique_ptr<Mesh::ModifiableMesh> mesh;
};

// Seven meshes of fifty arcs and fifty bars each, at several depths.
class QuadStripSet : public QuadStrip {
public:
    QuadStripSet();
    ~QuadStripSet();
    Mesh::ModifiableMesh* getMesh(int index) const;

private:
    std::vector<std::unique_ptr<Mesh::ModifiableMesh>> meshes;
};

// Seven rings of random quads on a circle of radius 4.5, each layer's
// scatter shaped by a stronger power.
class QuadStripLayers {
public:
    QuadStripLayers();
    ~QuadStripLayers();
    Mesh::ModifiableMesh* getMesh(int index) const;

private:
    std::vector<std::unique_ptr<Mesh::ModifiableMesh>> meshes;
};

} // namespace Vostrel
