#pragma once

#include "Libs/Mesh/ModifiableMesh.h"

#include <memory>
#include <string>

namespace Vostrel {
namespace Mesh {

// A mesh from a V3D file: the rows of "vertices" are the vertices, its real
// properties the streams, and the first "triangles" (int3 "indices") or
// "polygons" (list int "indices") element the "triangles" topology.
std::unique_ptr<ModifiableMesh> readV3DMesh(const std::string& fileName);

} // namespace Mesh
} // namespace Vostrel
