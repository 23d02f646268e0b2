#pragma once

#include "Libs/Math/Vec.h"

#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

class EnvelopeVec3;
class LwScene;
class ShaderContext;
class BasicSceneMaterial;
namespace Mesh {
class ModifiableMesh;
}

// Where a link stands at a running time: its step (an index into its
// markers), the marker number shown and the band's texture position.
struct LinkPosition {
    int state;
    int marker;
    float bandPosition;
};

// One marker a second along the link's list, from its current state. Until
// its first step a link shows its first marker at band position 0.5; at its
// last marker it stays there.
LinkPosition stepLink(const std::vector<int>& markers, const std::vector<int>& directions, int state, float time);

// Six crossed ribbons of radius r along a path of s segments, with a slow
// random wander; "location", "texcoord", "normal" and "triangles", frozen.
std::unique_ptr<Mesh::ModifiableMesh> createFlowTube(const EnvelopeVec3& path, int segments, float radius);

// The map parts' links: bands travelling from marker object to marker
// object, glowing flows and frames around the markers, read from a
// ".links" file.
class LinkFile {
public:
    explicit LinkFile(const std::string& fileName);
    ~LinkFile();

    void buildFlows(LwScene& scene, const std::string& baseName, const std::string& bandMeshFile,
                    const std::string& frameMeshFile, const Vec4& innerColor, const Vec4& frameColor, float flowSize,
                    int linkCount, bool reverseBand);
    void update(float time, LwScene& scene);

    std::string name;
    std::vector<std::vector<int>> links;
    std::vector<std::vector<int>> dirs;
    std::vector<float> timeTerms;
    std::vector<Vec4> colors;
    std::vector<int> states;

private:
    std::string fileName;
    std::unique_ptr<Mesh::ModifiableMesh> tube;
    std::vector<std::unique_ptr<ShaderContext>> shaders;
    std::vector<std::unique_ptr<BasicSceneMaterial>> materials;
    // The marker each band is linked to, so links change only on a step.
    std::vector<int> linkedMarkers;
};

} // namespace Vostrel
