#pragma once

#include <string>
#include <vector>

namespace Vostrel {
namespace Mesh {

// Values for single polygon corners (texture coordinates along a seam, for
// instance): applying it gives each listed corner a vertex of its own
// carrying the value, unless the corner is its vertex's last user.
struct DiscontinuousVertexMap {
    std::string streamName;
    std::string topologyName;
    int dimension = 0;
    std::vector<int> polygons; // per entry: polygon (or primitive) number in the topology
    std::vector<int> corners;  // per entry: corner position within it
    std::vector<float> values; // per entry: dimension floats

    int getEntryCount() const { return static_cast<int>(polygons.size()); }
};

} // namespace Mesh
} // namespace Vostrel
