#pragma once

#include "Libs/Math/EnvelopeVec3.h"
#include "Libs/Math/Function.h"
#include "Libs/Math/Vec.h"
#include "Libs/Mesh/ModifiableMesh.h"

#include <memory>
#include <string>
#include <vector>

namespace Vostrel {
namespace Mesh {

// destination += weight * source over every float of the two streams.
void endomorphBlend(ModifiableMesh& mesh, const std::string& destinationName, const std::string& sourceName,
                    float weight);

// Adds target + "_normal": the normals of the morphed shape ("location" plus
// the target's deltas) minus "normal". The target is left as it was.
void makeMorphTargetNormals(ModifiableMesh& mesh, const std::string& targetName);

// Uniform on the unit sphere, from two draws of the program-wide generator.
Vec3 randomUnitVector();

// Per-vertex "centroid" (the triangle's centroid, w = 1) and "mx0".."mx2"
// (the columns of a random rotation per polygon of "triangles").
void addTriangleExplodeStreams(ModifiableMesh& mesh);

// A line topology of the unique edges of the source's polygons or triangles.
void collectEdges(ModifiableMesh& mesh, const std::string& sourceTopologyName, const std::string& edgeTopologyName);

// "location" and "lines": each curve sampled at samplesPerCurve (2 or more)
// evenly spaced times over [0, 1].
std::unique_ptr<ModifiableMesh> createLineMeshFromCurves(const std::vector<Function<float, Vec3>*>& curves,
                                                         int samplesPerCurve);

// One curve over [0, 1] per polygon of "curves", through its points in order.
// The caller owns each curve and its three envelopes.
void extractCurves(ModifiableMesh& mesh, std::vector<EnvelopeVec3*>& curves);

} // namespace Mesh
} // namespace Vostrel
