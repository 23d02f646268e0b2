#pragma once

#include "Libs/Mesh/ModifiableMesh.h"

#include <string>
#include <vector>

namespace Vostrel {
namespace Mesh {

// One linear split of the "triangles" polygons into quads around face and
// edge points; every stream is carried by averaging. destination is empty.
void splitPolygons(ModifiableMesh& source, ModifiableMesh& destination);

// Moves each vertex of the stream towards the mean centroid of its quads
// (Catmull-Clark on positions after a split).
void smoothStream(ModifiableMesh& mesh, const std::string& streamName);

// levels splits (at least one), each followed by smoothing the named
// stream(s); the source is not changed.
void subdivide(ModifiableMesh& source, ModifiableMesh& destination, int levels, const std::string& streamName);
void subdivideStreams(ModifiableMesh& source, ModifiableMesh& destination, int levels,
                      const std::vector<std::string>& streamNames);

} // namespace Mesh
} // namespace Vostrel
