#pragma once

#include "Libs/Math/Vec.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {
namespace Mesh {

// A LightWave LWO2 object as read: its values are kept as the file has them.

struct LwoPolygon {
    std::vector<uint32_t> vertices;
};

// PTAG: one tag per listed polygon, naming an entry of the TAGS list in
// force when the chunk was read.
struct LwoPolygonTags {
    int type = 0; // 0 SURF, 1 PART, 2 SMGP, 3 BONE, 4 BNUP, 5 BNWT
    std::vector<uint32_t> polygons;
    std::vector<uint32_t> tags;
    std::vector<std::string> tagNames;
    int getCount() const { return static_cast<int>(polygons.size()); }
};

// VMAP (polygons empty) and VMAD (per-polygon) maps.
struct LwoVertexMap {
    int type = 0; // 0 PICK, 1 WGHT, 2 MNVW, 3 TXUV, 4 RGB, 5 RGBA, 6 MORF, 7 SPOT
    int dimension = 0;
    std::string name;
    std::vector<uint32_t> vertices;
    std::vector<uint32_t> polygons;
    std::vector<float> values; // entry-major, dimension per entry
    int getCount() const { return static_cast<int>(vertices.size()); }
};
typedef LwoVertexMap LwoDiscontinuousMap;

struct LwoPolygonList {
    int type = 0; // 0 FACE, 1 CURV, 2 PTCH, 3 MBAL, 4 BONE
    std::vector<LwoPolygon> polygons;
    std::vector<std::unique_ptr<LwoPolygonTags>> tagMaps;
    std::vector<std::unique_ptr<LwoDiscontinuousMap>> discontinuousMaps;
    int getCount() const { return static_cast<int>(polygons.size()); }
};

struct LwoLayer {
    uint32_t number = 0; // the file's layer number plus one
    std::string name;
    Vec3 pivot{0, 0, 0};
    Vec3 boundsMin{0, 0, 0};
    Vec3 boundsMax{0, 0, 0};
    std::vector<Vec3> points;
    std::vector<std::unique_ptr<LwoPolygonList>> polygonLists;
    std::vector<std::unique_ptr<LwoVertexMap>> vertexMaps;
    int getPointCount() const { return static_cast<int>(points.size()); }
};

struct LwoKey {
    float time = 0;
    float value = 0;
    int shape = 0; // 0 TCB, 1 HERM, 2 BEZI, 3 LINE, 4 STEP, 5 BEZ2
    float parameters[4] = {0, 0, 0, 0};
};

struct LwoEnvelope {
    uint32_t index = 0;
    uint32_t type = 0;
    std::string name;
    std::vector<std::unique_ptr<LwoKey>> keys;
    uint32_t preBehaviour = 0;
    uint32_t postBehaviour = 0;
};

struct LwoStill {
    std::string fileName;
};

struct LwoImageSequence {
    std::string prefix, suffix;
    uint32_t digits = 0, flags = 0, offset = 0, start = 0, end = 0;
};

struct LwoClipReference {
    uint32_t index = 0;
    std::string string;
};

// A value with the envelope that animates it (0: none).
struct LwoEnvelopedFloat {
    float value = 0;
    uint32_t envelope = 0;
};

struct LwoEnvelopedVec3 {
    Vec3 value{0, 0, 0};
    uint32_t envelope = 0;
};

struct LwoClip {
    uint32_t index = 0;
    int kind = 0; // 0 none, 1 STIL, 2 ISEQ, 3 XREF
    std::unique_ptr<LwoStill> still;
    std::unique_ptr<LwoImageSequence> sequence;
    std::unique_ptr<LwoClipReference> reference;
    float startTime = 0, duration = 0, frameRate = 0;
    LwoEnvelopedFloat contrast, brightness, saturation, hue, gamma;
    bool negative = false;
};

struct LwoGradientKey {
    float input = 0;
    float output[4] = {0, 0, 0, 0};
    uint32_t interpolation = 0;
};

struct LwoBlock {
    int type = -1; // 0 IMAP, 1 PROC, 2 GRAD, 3 SHDR; -1 another header
    char channel[5] = {0, 0, 0, 0, 0};
    bool enabled = true;
    uint32_t opacityType = 0;
    LwoEnvelopedFloat opacity;
    uint32_t displacementAxis = 0;
    LwoEnvelopedVec3 centre, size{Vec3{1, 1, 1}, 0}, rotation;
    std::string referenceObject;
    int falloffType = -1;
    LwoEnvelopedVec3 falloff;
    uint32_t coordinateSystem = 0;
    uint32_t projection = 0;
    uint32_t majorAxis = 0;
    uint32_t image = 0;
    uint32_t widthWrap = 1, heightWrap = 1;
    LwoEnvelopedFloat wrapWidth{1.0f, 0}, wrapHeight{1.0f, 0};
    std::string uvMapName;
    bool antialiasing = true;
    float antialiasingStrength = 0;
    bool pixelBlending = false;
    bool sticky = false;
    float stickyTime = 0;
    LwoEnvelopedFloat amplitude{1.0f, 0};
    Vec3 proceduralValue{0, 0, 0};
    std::string algorithmName;
    std::string gradientParameterName;
    std::string gradientItemName;
    std::vector<LwoGradientKey> gradientKeys;
};

struct LwoSurface {
    std::string name;
    std::string source;
    LwoEnvelopedVec3 colour;
    LwoEnvelopedFloat diffuse{1.0f, 0}, luminosity, specularity, reflection, transparency, translucency;
    LwoEnvelopedFloat glossiness{0.4f, 0}, sharpness, bump{1.0f, 0};
    uint32_t sidedness = 1;
    float maxSmoothingAngle = 0;
    uint32_t reflectionOptions = 0;
    uint32_t reflectionImage = 0;
    LwoEnvelopedFloat reflectionSeamAngle, reflectionBlur, refractiveIndex{1.0f, 0};
    uint32_t transparencyOptions = 0;
    uint32_t refractionImage = 0;
    LwoEnvelopedFloat refractionBlur, colourHighlights, colourFilter, additiveTransparency;
    uint32_t glowType = 0;
    LwoEnvelopedFloat glowIntensity, glowSize;
    bool outline = false;
    LwoEnvelopedFloat outlineSize{1.0f, 0};
    LwoEnvelopedVec3 outlineColour;
    uint32_t alphaMode = 3;
    float alphaValue = 0;
    LwoEnvelopedFloat vertexColourIntensity;
    char vertexColourMapType[5] = {0, 0, 0, 0, 0};
    std::string vertexColourMapName;
    std::vector<std::unique_ptr<LwoBlock>> blocks;
};

struct LwoObject {
    std::vector<std::unique_ptr<LwoLayer>> layers;
    std::vector<std::unique_ptr<LwoEnvelope>> envelopes;
    std::vector<std::unique_ptr<LwoClip>> clips;
    std::vector<std::unique_ptr<LwoSurface>> surfaces;
};

} // namespace Mesh
} // namespace Vostrel
