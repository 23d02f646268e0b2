// The first hacker part's files: "data/Models/hax1.sce" with its morphing
// trees, boxes with flashing tiles and curves, "itree.lwo", "box4.lwo",
// "symbol2.png" and "gt1.png".
#include "Tools/Content/ContentWriter.h"
#include "Tools/Content/Lwo2Writer.h"
#include "Tools/Content/SceneBuilder.h"
#include "Tools/Content/ToolkitContent.h"

#include <cmath>

namespace Vostrel {
namespace Content {

namespace {

const float pi = 3.14159265f;
const float sceneLength = 26.2f;
const int treeCount = 9;
const int boxCount = 8;

// A quad turned so that its front (clockwise) faces along outward.
std::vector<uint32_t> outwardQuad(const std::vector<Vec3>& points, std::vector<uint32_t> quad, const Vec3& outward)
{
    const Vec3 n = cross(points[quad[1]] - points[quad[0]], points[quad[2]] - points[quad[0]]);
    if (dot(n, outward) < 0.0f)
        std::swap(quad[1], quad[3]);
    return quad;
}

// A closed cage of square rings narrowing upwards, as patches, with three
// morphs: a bend, a bulge and a twist.
Lwo2Layer treeCage()
{
    const int rings = 7;
    Lwo2Layer layer;
    layer.number = 0;
    auto radius = [](int r) { return 0.9f - 0.11f * r; };
    for (int r = 0; r < rings; ++r)
        for (int s = 0; s < 4; ++s) {
            const float a = (s + 0.5f * (r % 2)) * pi * 0.5f;
            layer.points.push_back(Vec3(radius(r) * std::cos(a), 1.0f * r, radius(r) * std::sin(a)));
        }
    Lwo2PolygonList patches;
    patches.kind = Lwo2PolygonKind::PTCH;
    for (int r = 0; r + 1 < rings; ++r)
        for (int s = 0; s < 4; ++s) {
            const uint32_t a = 4 * r + s, b = 4 * r + (s + 1) % 4;
            const Vec3 middle = (layer.points[a] + layer.points[b + 4]) * 0.5f;
            patches.polygons.push_back(
                outwardQuad(layer.points, {a, b, b + 4, a + 4}, Vec3(middle[0], 0.0f, middle[2])));
        }
    patches.polygons.push_back(outwardQuad(layer.points, {0, 1, 2, 3}, Vec3(0, -1, 0)));
    const uint32_t top = 4 * (rings - 1);
    patches.polygons.push_back(outwardQuad(layer.points, {top, top + 1, top + 2, top + 3}, Vec3(0, 1, 0)));
    patches.surfaceTags.assign(patches.polygons.size(), 0);
    layer.polygonLists.push_back(patches);

    const char* names[3] = {"Morph", "Morph 2", "Morph 3"};
    for (int m = 0; m < 3; ++m) {
        Lwo2VertexMap morph;
        morph.type = "MORF";
        morph.name = names[m];
        morph.dimension = 3;
        for (uint32_t i = 0; i < layer.points.size(); ++i) {
            const Vec3 p = layer.points[i];
            const float h = p[1] / (rings - 1);
            Vec3 offset(0.0f);
            if (m == 0) {
                offset = Vec3(2.2f * h * h, -0.6f * h * h, 0.0f);
            } else if (m == 1) {
                const float bulge = 1.2f * std::sin(pi * h);
                offset = Vec3(p[0] * bulge, 0.0f, p[2] * bulge);
            } else {
                const float turn = 1.4f * h, c = std::cos(turn), s = std::sin(turn);
                offset = Vec3(c * p[0] - s * p[2] - p[0], 0.0f, s * p[0] + c * p[2] - p[2]);
            }
            morph.points.push_back(i);
            morph.values.insert(morph.values.end(), {offset[0], offset[1], offset[2]});
        }
        layer.vertexMaps.push_back(morph);
    }
    return layer;
}

// Layer 0: a frame of beams; layer 1: a wall of textured tiles in front of
// it; layer 3: curves winding around it.
Lwo2Object box4()
{
    std::vector<Lwo2Layer> beams;
    for (float x : {-1.6f, 1.6f})
        beams.push_back(texturedBox(0, Vec3(x - 0.15f, -2.0f, -0.15f), Vec3(x + 0.15f, 2.0f, 0.15f)));
    for (float y : {-2.0f, 0.0f, 2.0f})
        beams.push_back(texturedBox(0, Vec3(-1.75f, y - 0.12f, -0.12f), Vec3(1.75f, y + 0.12f, 0.12f)));
    std::vector<Lwo2Layer> tiles;
    for (int row = 0; row < 4; ++row)
        for (int column = 0; column < 3; ++column) {
            const float x = -1.35f + 0.9f * column, y = -1.85f + 0.9f * row + 0.05f;
            tiles.push_back(texturedBox(1, Vec3(x, y, -0.35f), Vec3(x + 0.8f, y + 0.8f, -0.25f)));
        }
    Lwo2Layer curves;
    curves.number = 3;
    Lwo2PolygonList list;
    list.kind = Lwo2PolygonKind::CURV;
    for (int c = 0; c < 4; ++c) {
        std::vector<uint32_t> curve;
        for (int i = 0; i < 24; ++i) {
            const float a = c * pi * 0.5f + i * 0.45f;
            curve.push_back(static_cast<uint32_t>(curves.points.size()));
            curves.points.push_back(Vec3(2.3f * std::cos(a), -2.2f + i * 0.19f, 0.8f * std::sin(a)));
        }
        list.polygons.push_back(curve);
    }
    list.surfaceTags.assign(list.polygons.size(), 0);
    curves.polygonLists.push_back(list);
    return objectOf({mergeLayers(0, beams), mergeLayers(1, tiles), curves});
}

// Oscillating keys over the scene, one phase per object.
std::vector<SceneBuilder::Key> wave(float low, float high, float period, float phase)
{
    std::vector<SceneBuilder::Key> keys;
    for (float t = 0.0f; t <= sceneLength + period * 0.5f; t += period * 0.5f) {
        const int step = static_cast<int>(std::lround(t / (period * 0.5f)));
        keys.push_back({t + phase, (step % 2) ? high : low});
    }
    return keys;
}

void writeHax1Scene(const std::string& root)
{
    SceneBuilder b;
    b.camera("Camera", 1, 2.4f).target(2);
    b.envelope("x", {{0.0f, -6.0f}, {13.0f, 5.0f}, {sceneLength, -4.0f}});
    b.envelope("y", {{0.0f, 6.0f}, {13.0f, 3.5f}, {sceneLength, 7.0f}});
    b.envelope("z", {{0.0f, -13.0f}, {13.0f, -11.0f}, {sceneLength, -10.0f}});
    b.constant("bank", 0.0f);
    b.null("CameraTarget", 2).position(0.0f, 2.5f, 0.0f).rotation(0, 0, 0);
    b.null("LightRig", 3).position(0.0f, 3.0f, 0.0f).rotation(0, 0, 0);
    b.envelope("heading", {{0.0f, 0.0f}, {sceneLength, 4.0f * pi}});
    b.light("Light", 4, 0, 1.0f, 1.0f, 1.0f).parent(3).position(2.5f, 1.0f, -2.5f);
    int id = 10;
    for (int i = 1; i <= treeCount; ++i) {
        const float a = (i - 1) * 2.0f * pi / treeCount;
        b.mesh("itree:Layer1 (" + std::to_string(i) + ")", id++, "data/Models/itree.lwo", 1)
            .position(3.2f * std::cos(a), -1.0f, 3.2f * std::sin(a))
            .rotation(a, 0.0f, 0.0f);
        b.envelope("morph.Morph", wave(0.0f, 1.0f, 6.0f, -0.7f * i));
        b.envelope("morph.Morph 2", wave(0.0f, 0.8f, 4.4f, -0.5f * i));
        b.envelope("morph.Morph 3", wave(-0.5f, 1.0f, 8.0f, -0.9f * i));
    }
    for (int i = 1; i <= boxCount; ++i) {
        // An arc behind the trees, facing them and the camera.
        const float a = (i - 0.5f - 0.5f * boxCount) * 0.4f;
        const float x = 8.0f * std::sin(a), z = 8.0f * std::cos(a);
        for (int layer : {1, 2})
            b.mesh("box4:Layer" + std::to_string(layer) + " (" + std::to_string(i) + ")", id++,
                   "data/Models/box4.lwo", layer)
                .position(x, 2.0f, z)
                .rotation(a + pi, 0.0f, 0.0f);
    }
    b.mesh("box4:Layer4", id++, "data/Models/box4.lwo", 4).position(0.0f, 2.5f, 0.0f).rotation(0, 0, 0);
    b.envelope("heading", {{0.0f, 0.0f}, {sceneLength, -2.0f * pi}});
    b.mesh("viivasto", id++).position(0.0f, 3.0f, 0.0f).rotation(0, 0, 0).scale(7.0f, 7.0f, 7.0f);
    b.envelope("heading", {{0.0f, 0.0f}, {sceneLength, pi}});
    b.mesh("viivat2", id++).position(0.0f, 8.5f, 5.0f).rotation(0, 0, 0).scale(4.0f, 3.0f, 4.0f);
    b.envelope("pitch", {{0.0f, 0.0f}, {sceneLength, -1.5f * pi}});
    b.write(prepareOutputPath(root, "data/Models/hax1.sce"));
}

// Tiles: bright cells in a grid whose red channel (the flash mask) fills
// the cell; symbol2: a ring sign.
void writeHaxImages(const std::string& root)
{
    RgbaImage tiles(128, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const int cx = x % 32, cy = y % 32;
            const bool border = cx < 3 || cy < 3;
            const bool mark = ((x / 32) * 7 + (y / 32) * 3) % 5 < 3;
            const float v = border ? 0.15f : (mark ? 1.0f : 0.55f);
            tiles.set(x, y, v, 0.6f * v + 0.3f, 0.9f * v + 0.1f);
        }
    writePng(prepareOutputPath(root, "data/Textures/gt1.png"), tiles);
    RgbaImage symbol(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const float r = std::hypot(x - 31.5f, y - 31.5f);
            const float ring = std::fabs(r - 20.0f) < 4.0f || std::fabs(x - 31.5f) < 3.0f ? 1.0f : 0.0f;
            symbol.set(x, y, ring, ring, ring, ring);
        }
    writePng(prepareOutputPath(root, "data/Textures/symbol2.png"), symbol);
}

const RegisterContentWriter haxorWriter("haxor1", [](const std::string& root) {
    writeLwo2(prepareOutputPath(root, "data/Models/itree.lwo"), objectOf({treeCage()}));
    writeLwo2(prepareOutputPath(root, "data/Models/box4.lwo"), box4());
    writeHaxImages(root);
    writeHax1Scene(root);
});

} // namespace

} // namespace Content
} // namespace Vostrel
