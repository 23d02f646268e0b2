#pragma once

#include "Libs/Mesh/IO/LwoObject.h"
#include "Libs/Mesh/ModifiableMesh.h"

#include <memory>

namespace Vostrel {
namespace Mesh {

// One layer of a read object as an editable mesh: points as "location", each
// vertex map a stream of its name, each polygon list a polygon topology named
// after its kind ("triangles", "curves", "patches", "metaballs", "bones") and
// each per-polygon map queued for applyDiscontinuousMaps. layerId counts from
// 1 (the file's layer 0).
std::unique_ptr<ModifiableMesh> ConvertLayerToMesh(const LwoObject& object, int layerId);
// The same, taking the layer's polygon vertex lists over instead of copying
// them: the object's polygons are left empty.
std::unique_ptr<ModifiableMesh> ConvertLayerToMesh(LwoObject&& object, int layerId);

} // namespace Mesh
} // namespace Vostrel
