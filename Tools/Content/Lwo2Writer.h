#pragma once

#include "Libs/Math/Vec.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Vostrel {
namespace Content {

// What the generator writes of a LightWave object: layers of points, polygon
// lists with their per-polygon maps and surface tags, and per-point maps.

enum class Lwo2PolygonKind { FACE, CURV, PTCH };

// A per-point map (VMAP): TXUV (2 values) or MORF (3 values, offsets from
// the rest position), one entry per listed point.
struct Lwo2VertexMap {
    std::string type; // "TXUV", "MORF"
    std::string name;
    int dimension = 2;
    std::vector<uint32_t> points;
    std::vector<float> values; // dimension per entry
};

// A per-polygon map (VMAD): values for a point of a polygon, where polygons
// sharing the point disagree (a texture seam). Entry i is points[i] of
// polygons[i].
struct Lwo2PolygonMap : Lwo2VertexMap {
    std::vector<uint32_t> polygons;
};

struct Lwo2PolygonList {
    Lwo2PolygonKind kind = Lwo2PolygonKind::FACE;
    std::vector<std::vector<uint32_t>> polygons;
    // Index into the object's tags per polygon (PTAG SURF); empty: none.
    std::vector<uint16_t> surfaceTags;
    std::vector<Lwo2PolygonMap> polygonMaps;
};

struct Lwo2Layer {
    int number = 0; // as the file numbers layers: from 0
    std::string name;
    Vec3 pivot{0.0f, 0.0f, 0.0f};
    std::vector<Vec3> points;
    std::vector<Lwo2VertexMap> vertexMaps;
    std::vector<Lwo2PolygonList> polygonLists;
};

struct Lwo2Object {
    std::vector<std::string> tags; // TAGS, named by the lists' surfaceTags
    std::vector<Lwo2Layer> layers;
};

// The FORM/LWO2 bytes: big-endian, chunks padded to even sizes, point and
// polygon indices in the variable-length form.
std::vector<uint8_t> lwo2Bytes(const Lwo2Object& object);
// Writes the bytes to a file; throws naming the file when it cannot.
void writeLwo2(const std::string& fileName, const Lwo2Object& object);

// The unit square that fog layers, panels and quads assume: layer 0, points
// (-.5,-.5,0) (-.5,.5,0) (.5,.5,0) (.5,-.5,0), one face clockwise seen from
// -z, "Texture" (0,0) (0,1) (1,1) (1,0).
Lwo2Object unitQuad();
// "data/Models/quad.lwo" below root.
void writeUnitQuad(const std::string& root);

} // namespace Content
} // namespace Vostrel
