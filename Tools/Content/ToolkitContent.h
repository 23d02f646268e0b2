#pragma once

#include "Libs/Math/Vec.h"
#include "Tools/Content/Lwo2Writer.h"

#include <cstdint>
#include <string>
#include <vector>

namespace Vostrel {
namespace Content {

// One link of a ".links" file: the markers it travels, a direction code per
// step, its time term and its flow colour.
struct LinkRecord {
    std::vector<int> markers;
    std::vector<int> directions;
    float timeTerm = 0.0f;
    Vec4 colour{1.0f, 1.0f, 1.0f, 1.0f};
};

// "L", "D", "T" and "C" records, one of each per link, in that order.
std::string linksText(const std::vector<LinkRecord>& links);
void writeLinks(const std::string& path, const std::vector<LinkRecord>& links);

// Layer pieces with a "Texture" map: a hard-edged box (corners repeated per
// face, faces clockwise seen from outside), a flat ring and a square frame
// facing -z around the origin.
Lwo2Layer texturedBox(int number, const Vec3& low, const Vec3& high);
Lwo2Layer texturedRing(int number, float inner, float outer, int segments, float z);
Lwo2Layer texturedFrame(int number, float inner, float outer, float z);
// One layer from pieces, their points and faces renumbered in order.
Lwo2Layer mergeLayers(int number, const std::vector<Lwo2Layer>& pieces);
// A smooth tube of radius `minor` around a circle of radius `major` in the
// xy plane, its points shared between faces (so the scene smooths its
// normals); the tube's angle runs from `from` to `to` radians, so major 0
// with -pi/2 .. pi/2 makes a sphere. "Texture" u runs along the circle, v
// around the tube.
Lwo2Layer texturedTorus(int number, float major, float minor, int segments, int sides, float from, float to);
// An object of the given layers, each polygon on the "Default" surface.
Lwo2Object objectOf(const std::vector<Lwo2Layer>& layers);

// RGBA images, rows top first.
struct RgbaImage {
    RgbaImage(int width, int height);
    int width;
    int height;
    std::vector<uint8_t> pixels;
    uint8_t* at(int x, int y) { return &pixels[4 * (static_cast<size_t>(y) * width + x)]; }
    void set(int x, int y, float r, float g, float b, float a = 1.0f);
};
void writePng(const std::string& path, const RgbaImage& image);

// An 8 x 8 atlas of square cells, frame n in column n mod 8, row n / 8,
// each cell a soft dot of the colour the function gives the frame.
RgbaImage atlasImage(int cellSize, Vec3 (*frameColour)(int frame));

// The text lines of a generated panel text: `count` lines, LF, under 128
// characters each.
std::string panelText(const std::string& title, int count);

// What the toolkit's tests load, below root: the toolkit's shared files, the
// unit quad, the font, "data/Models/toolkit.sce", "toolkit.links",
// "data/Textures/cubestrip.png" and "panel.txt".
void writeToolkitTestContent(const std::string& root);
// The markers the test scene's links travel ("linkki (1)" ...).
constexpr int toolkitTestMarkers = 3;

} // namespace Content
} // namespace Vostrel
