// The second and third network maps: "mapeffect2-2.sce" with its grid of
// morphing sphere-cubes ("pallokuutio2.lwo") in front of a lit terminal, and
// "mapeffect3.sce" with translucent walls ringed around a portal; their
// ".links" files, the walls' and portal's textures, the brain volume and
// the parts' "demo.props" keys.
#include "Libs/Common/Exception.h"
#include "Tools/Content/ContentWriter.h"
#include "Tools/Content/Dice.h"
#include "Tools/Content/Lwo2Writer.h"
#include "Tools/Content/SceneBuilder.h"
#include "Tools/Content/ToolkitContent.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>

namespace Vostrel {
namespace Content {

namespace {

constexpr float pi = 3.14159265358979f;

Lwo2Layer texturedLayer(int number)
{
    Lwo2Layer layer;
    layer.number = number;
    Lwo2VertexMap uv;
    uv.type = "TXUV";
    uv.name = "Texture";
    layer.vertexMaps.push_back(uv);
    layer.polygonLists.emplace_back();
    return layer;
}

// A face of n x n quads around centre c spanned by right r and up u (half
// sizes), clockwise seen from the side r x u points away from; points are
// the face's own, with "Texture" over the face.
void addGridFace(Lwo2Layer& layer, const Vec3& c, const Vec3& r, const Vec3& u, int nu, int nv)
{
    const uint32_t first = static_cast<uint32_t>(layer.points.size());
    for (int j = 0; j <= nv; ++j)
        for (int i = 0; i <= nu; ++i) {
            const float a = 2.0f * i / nu - 1.0f, b = 2.0f * j / nv - 1.0f;
            layer.vertexMaps[0].points.push_back(static_cast<uint32_t>(layer.points.size()));
            layer.vertexMaps[0].values.push_back(static_cast<float>(i) / nu);
            layer.vertexMaps[0].values.push_back(static_cast<float>(j) / nv);
            layer.points.push_back(c + r * a + u * b);
        }
    auto at = [&](int i, int j) { return first + static_cast<uint32_t>(j * (nu + 1) + i); };
    for (int j = 0; j < nv; ++j)
        for (int i = 0; i < nu; ++i) {
            layer.polygonLists[0].polygons.push_back({at(i, j), at(i, j + 1), at(i + 1, j + 1), at(i + 1, j)});
            layer.polygonLists[0].surfaceTags.push_back(0);
        }
}

// The six faces of the cube [-h, h]^3, each n x n quads.
void addGridCube(Lwo2Layer& layer, float h, int n)
{
    const Vec3 normals[6] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}};
    for (const Vec3& normal : normals) {
        const Vec3 forward = normal * -1.0f;
        const Vec3 up = std::fabs(normal[1]) > 0.5f ? Vec3(0, 0, 1) : Vec3(0, 1, 0);
        addGridFace(layer, normal * h, cross(up, forward) * h, up * h, n, n);
    }
}

// A MORF map moving every point of the layer by what shape gives.
Lwo2VertexMap morph(const Lwo2Layer& layer, const std::string& name, Vec3 (*shape)(const Vec3&))
{
    Lwo2VertexMap map;
    map.type = "MORF";
    map.name = name;
    map.dimension = 3;
    for (uint32_t i = 0; i < layer.points.size(); ++i) {
        const Vec3 offset = shape(layer.points[i]) - layer.points[i];
        map.points.push_back(i);
        map.values.insert(map.values.end(), {offset[0], offset[1], offset[2]});
    }
    return map;
}

// The sphere-cube: a cube of 4 x 4 quads a face (192 triangles) that
// morphs into a ball ("Morph1") and into a star of pushed-out face centres
// ("Morph2").
Lwo2Object sphereCube()
{
    Lwo2Layer layer = texturedLayer(0);
    addGridCube(layer, 0.65f, 4);
    layer.vertexMaps.push_back(morph(layer, "Morph1", [](const Vec3& p) { return normalize(p) * 0.9f; }));
    layer.vertexMaps.push_back(morph(layer, "Morph2", [](const Vec3& p) {
        const float m = std::max(std::fabs(p[0]), std::max(std::fabs(p[1]), std::fabs(p[2])));
        const float centre = 3.0f - (std::fabs(p[0]) + std::fabs(p[1]) + std::fabs(p[2])) / m;
        return p * (1.0f + 0.5f * centre);
    }));
    return objectOf({layer});
}

void writeText(const std::string& root, const std::string& name, const std::string& text)
{
    std::ofstream out(prepareOutputPath(root, name), std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        VOSTREL_THROW("Cannot write " << name << " below " << root);
}

std::vector<LinkRecord> links(int count, int steps, uint32_t seed)
{
    static const Vec4 colours[] = {Vec4(0.06f, 0.16f, 0.24f, 1.0f), Vec4(0.24f, 0.12f, 0.03f, 1.0f),
                                   Vec4(0.2f, 0.06f, 0.24f, 1.0f), Vec4(0.07f, 0.22f, 0.1f, 1.0f)};
    Dice dice(seed);
    std::vector<LinkRecord> result;
    for (int i = 0; i < count; ++i) {
        LinkRecord link;
        int marker = i % count + 1;
        for (int s = 0; s < steps; ++s) {
            link.markers.push_back(marker);
            link.directions.push_back((s + i) % 2 ? -1 : 1);
            marker = (marker - 1 + (count > 2 && dice.unit() < 0.5f ? 2 : 1)) % count + 1;
        }
        link.timeTerm = 0.3f * i;
        link.colour = colours[i % 4];
        result.push_back(link);
    }
    return result;
}

void keyed(SceneBuilder& b, const char* const channels[3],
           const std::vector<std::pair<float, Vec3>>& keys)
{
    for (int c = 0; c < 3; ++c) {
        std::vector<SceneBuilder::Key> channel;
        for (const auto& key : keys)
            channel.push_back({key.first, key.second[c]});
        b.envelope(channels[c], channel);
    }
}

const char* const xyz[3] = {"x", "y", "z"};

// What both maps share: a camera moving between eye keys looking at a
// moving target, the light, link markers on the given places, the flow,
// the particle cloud and blinking terminal sprites.
struct MapPlan {
    std::vector<std::pair<float, Vec3>> eye, look;
    std::vector<Vec3> markers, terminals;
    Vec3 particles;
    float duration;
    float farPlane;
    uint32_t seed;
};

int addMapBody(SceneBuilder& b, const MapPlan& plan)
{
    int id = 1;
    b.null("Camera target", 2).rotation(0, 0, 0);
    keyed(b, xyz, plan.look);
    b.camera("Camera", 1).constant("bank", 0).constant("nearPlane", 0.2f).constant("farPlane", plan.farPlane);
    keyed(b, xyz, plan.eye);
    b.target(2);
    id = 3;
    b.light("Light", id++, 0, 1.0f, 0.95f, 0.9f).position(-30, 40, -30);
    Dice dice(plan.seed);
    for (size_t n = 1; n <= plan.markers.size(); ++n) {
        const Vec3& p = plan.markers[n - 1];
        b.mesh("linkki (" + std::to_string(n) + ")", id++, "data/Models/linkmarker.lwo", 1)
            .position(p[0], p[1], p[2])
            .rotation(dice.range(-0.4f, 0.4f), 0, 0)
            .scale(1.2f, 1.2f, 1.2f);
    }
    b.null("Flow", id++)
        .envelope("x", {{0, 0}, {1, 2.5f}, {2, 6}, {3, 9}})
        .envelope("y", {{0, 0}, {1, 4}, {2, 4.5f}, {3, 0.5f}})
        .envelope("z", {{0, 0}, {1, 1.5f}, {2, 4}, {3, 6.5f}});
    b.mesh("particles", id++).position(plan.particles[0], plan.particles[1], plan.particles[2]).rotation(0, 0, 0);
    for (size_t k = 1; k <= plan.terminals.size(); ++k) {
        const Vec3& p = plan.terminals[k - 1];
        const float phase = dice.unit();
        b.mesh("terminal" + std::to_string(k), id++)
            .position(p[0], p[1], p[2])
            .rotation(0, 0, 0)
            .envelope("sx", {{0, 3.2f + phase}, {plan.duration * 0.5f, 4.4f - phase}, {plan.duration, 3.6f}})
            .envelope("sy", {{0, 0.9f}, {plan.duration * 0.5f, 1.3f + 0.3f * phase}, {plan.duration, 1.0f}})
            .envelope("heading", {{0, std::floor(phase * 16) * 2}, {plan.duration, std::floor(phase * 16) * 2 + 26}})
            .constant("sz", 1);
    }
    return id;
}

// The second map: 100 copies of the sphere-cube on a 10 x 10 grid in the
// plane z = 0 (the part places them), behind them the lit terminal and the
// link markers; the camera drifts in front.
void writeMap2(const std::string& root)
{
    writeLwo2(prepareOutputPath(root, "data/Models/pallokuutio2.lwo"), sphereCube());
    Lwo2Layer console = texturedLayer(0);
    addGridCube(console, 1.0f, 2);
    writeLwo2(prepareOutputPath(root, "data/Models/terminaali2-4.lwo"), objectOf({console}));

    SceneBuilder b;
    MapPlan plan;
    plan.eye = {{0, Vec3(-6, 8, -52)}, {8, Vec3(4, 4, -50)}, {16, Vec3(10, 10, -38)}};
    plan.look = {{0, Vec3(1, 1, 0)}, {8, Vec3(1, 1, 4)}, {16, Vec3(0, 0, 14)}};
    plan.markers = {Vec3(-14, -8, 18), Vec3(12, -6, 22), Vec3(-4, 10, 26), Vec3(16, 12, 16)};
    plan.terminals = {Vec3(-10, 4, 20), Vec3(6, -11, 24), Vec3(20, 2, 28), Vec3(-18, 13, 30)};
    plan.particles = Vec3(1, 1, 10);
    plan.duration = 16.0f;
    plan.farPlane = 200.0f;
    plan.seed = 21u;
    int id = addMapBody(b, plan);
    // The copies run on these channels: a slow tumble (never facing the
    // camera square on, where the flat faces would glare), the morph weights
    // swinging between cube, ball and star.
    b.mesh("pallokuutio2:Layer1", id++, "data/Models/pallokuutio2.lwo", 1)
        .position(0, 0, 0)
        .envelope("heading", {{0, 0.7f}, {16, 6.7f}})
        .envelope("pitch", {{0, 0.5f}, {16, 4.0f}})
        .constant("bank", 0)
        .envelope("morph.Morph1", {{0, 0}, {1.5f, 1}, {3.5f, 1}, {5, 0}, {8, 0.2f}, {9.5f, 1}})
        .envelope("morph.Morph2", {{0, 0}, {3, 0}, {4.5f, 0.8f}, {6.5f, 0.1f}, {9, 0.6f}});
    b.mesh("terminaali2-4:Layer1", id++, "data/Models/terminaali2-4.lwo", 1)
        .position(1, 1, 12)
        .envelope("heading", {{0, 0.3f}, {16, 1.2f}})
        .constant("pitch", 0.2f)
        .constant("bank", 0)
        .scale(5, 4, 1.5f);
    b.mesh("TargetMesh1", id++).position(0, 0, 0).rotation(0, 0, 0)
        .constant("sx", 6).constant("sy", 6).constant("sz", 1)
        .envelope("bank", {{0, 0}, {16, 14}}, 1, 2);
    b.mesh("TextPanel1", id++).position(-2.75f, 1.45f, 2.0f).rotation(0, 0, 0).scale(2.6f, 2.6f, 1);
    b.write(prepareOutputPath(root, "data/Models/mapeffect2-2.sce"));
    writeLinks(prepareOutputPath(root, "mapeffect2.links"), links(4, 22, 211u));
    writeText(root, "mapeffect2.txt", panelText("MORPH GRID / NODE 2", 24));
}

constexpr int wallCount = 12;

// The third map: twelve walls on a ring around the portal, turned to face
// it, at two heights; the portal's glowing ring stands in the middle.
void writeMap3(const std::string& root)
{
    Lwo2Layer wall = texturedLayer(0);
    addGridFace(wall, Vec3(0, 0, 0), Vec3(5.0f, 0, 0), Vec3(0, 3.5f, 0), 20, 14);
    writeLwo2(prepareOutputPath(root, "data/Models/muuri.lwo"), objectOf({wall}));
    writeLwo2(prepareOutputPath(root, "data/Models/portti.lwo"),
              objectOf({texturedRing(0, 1.9f, 2.1f, 48, 0.0f)}));

    SceneBuilder b;
    MapPlan plan;
    plan.eye = {{0, Vec3(-8, 9, -34)}, {8, Vec3(6, 6, -30)}, {16, Vec3(14, 10, -24)}};
    plan.look = {{0, Vec3(0, 1, 0)}, {16, Vec3(0, 2, 2)}};
    plan.markers = {Vec3(-9, -4, 10), Vec3(10, -5, 12), Vec3(-4, 7, 16), Vec3(8, 8, 20)};
    plan.terminals = {Vec3(-12, 2, 8), Vec3(13, 4, 9), Vec3(0, -7, 14)};
    plan.particles = Vec3(0, 1, 4);
    plan.duration = 16.0f;
    plan.farPlane = 220.0f;
    plan.seed = 31u;
    int id = addMapBody(b, plan);
    const int portal = id++;
    b.mesh("portti1", portal, "data/Models/portti.lwo", 1)
        .position(0, 1, 2)
        .rotation(0, 0, 0)
        .envelope("bank", {{0, 0}, {16, 4}})
        .scale(1.6f, 1.6f, 1.6f);
    for (int k = 1; k <= wallCount; ++k) {
        const float a = 2.0f * pi * (k - 0.5f) / wallCount;
        const float radius = k % 2 ? 11.0f : 15.0f;
        b.mesh("muuri:Layer1 (" + std::to_string(k) + ")", id++, "data/Models/muuri.lwo", 1)
            .position(std::sin(a) * radius, k % 3 == 0 ? 4.5f : 0.0f, 2 + std::cos(a) * radius)
            .rotation(a + pi, 0, 0);
    }
    b.write(prepareOutputPath(root, "data/Models/mapeffect3.sce"));
    writeLinks(prepareOutputPath(root, "mapeffect3.links"), links(4, 22, 311u));
}

float clamp01(float v)
{
    return std::min(1.0f, std::max(0.0f, v));
}

void writeMap3Images(const std::string& root)
{
    // The walls: panels of circuit lines, blue-green.
    RgbaImage panels(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const bool line = x % 32 < 2 || y % 32 < 2;
            const bool trace = (y % 32 == 16 && (x / 32) % 2 == 0) || (x % 64 == 40 && (y / 32) % 3 != 1);
            const float glow = line ? 1.0f : (trace ? 0.85f : 0.55f + 0.15f * std::sin(x * 0.1f) * std::sin(y * 0.07f));
            panels.set(x, y, 0.35f * glow, 0.8f * glow, 1.0f * glow);
        }
    writePng(prepareOutputPath(root, "data/Textures/luovutan1.png"), panels);
    // How much of a wall shows: solid edges, a lighter middle.
    RgbaImage alpha(128, 128);
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const float edge = std::min(std::min(x, 127 - x), std::min(y, 127 - y)) / 64.0f;
            const float v = clamp01(1.0f - edge * 1.3f) * 0.5f + 0.5f;
            alpha.set(x, y, v, v, v);
        }
    writePng(prepareOutputPath(root, "data/Textures/muurialpha.png"), alpha);
    // The ring's texture: bright streaks along u.
    RgbaImage flow(128, 32);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 128; ++x) {
            const float streak = 0.5f + 0.5f * std::sin(x * 2 * pi / 32.0f + y * 0.3f);
            const float v = 0.25f * streak * (1.0f - std::fabs(y - 15.5f) / 16.0f);
            flow.set(x, y, v, v, v);
        }
    writePng(prepareOutputPath(root, "data/Textures/flow1.png"), flow);
    // The brain: 32 slices of 32 x 32, stacked; two folded half-ellipsoids.
    const int n = 32;
    RgbaImage brain(n, n * n);
    for (int z = 0; z < n; ++z)
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const float px = (x + 0.5f) / n * 2 - 1, py = (y + 0.5f) / n * 2 - 1, pz = (z + 0.5f) / n * 2 - 1;
                const float r = std::sqrt(px * px / 0.55f + py * py / 0.45f + pz * pz / 0.75f);
                const float folds = 0.08f * std::sin(px * 14) * std::sin(py * 12 + pz * 9);
                const bool inside = r + folds < 1.0f && std::fabs(px) > 0.04f;
                // Tissue lighter on the folds' crests, grooves darker.
                const float shade = inside ? 0.55f + 0.45f * clamp01(0.5f + folds * 8.0f) : 0.0f;
                brain.set(x, z * n + y, shade * 1.0f, shade * 0.6f, shade * 0.65f);
            }
    writePng(prepareOutputPath(root, "data/Textures/braintex.png"), brain);
}

const RegisterContentWriter map23Writer("maps23", [](const std::string& root) {
    writeMap2(root);
    writeMap3(root);
    writeMap3Images(root);
});

std::string mapKeys(const char* part, int links, int terminals)
{
    std::ostringstream out;
    const std::string p = std::string(part) + ".";
    out << "I " << p << "useBloom 1\n"
        << "S " << p << "sisusName \"linkki\"\n"
        << "S " << p << "sisusMesh \"data/Models/linkband.lwo@1\"\n"
        << "S " << p << "kehysMesh \"data/Models/linkframe.lwo@1\"\n"
        << "V4 " << p << "sisusColor 0.3 0.6 1 1\n"
        << "V4 " << p << "kehysColor 0.8 0.9 1 1\n"
        << "R " << p << "flowSize 0.2\n"
        << "I " << p << "linkCount " << links << "\n"
        << "S " << p << "particleTarget \"particles\"\n"
        << "S " << p << "particleImage \"data/Textures/particles.png\"\n"
        << "R " << p << "particleRotationSpeed 8\n"
        << "R " << p << "particleSpeed 1.5\n"
        << "R " << p << "particleSize 0.6\n"
        << "R " << p << "particleSystemSize 60\n"
        << "I " << p << "particleCount 500\n"
        << "I " << p << "terminalCount " << terminals << "\n"
        << "S " << p << "terminalImage \"data/Textures/terminals.png\"\n"
        << "S " << p << "terminalBaseName \"terminal\"\n";
    return out.str();
}

const RegisterPropertySection map2Keys("MapEffect2", [] {
    return mapKeys("MapEffect2", 4, 4) +
           "R MapEffect2.bloomBase 0.001\n"
           "I MapEffect2.useFog 1\n"
           "S MapEffect2.target1image \"data/Textures/target1.png\"\n"
           "S MapEffect2.target1param \"TargetMesh1\"\n"
           "S MapEffect2.textPanel1param \"TextPanel1\"\n"
           "S MapEffect2.textPanel1text \"mapeffect2.txt\"\n"
           "S MapEffect2.textPanel1image \"data/Textures/mainUIFrame.svg\"\n";
});

const RegisterPropertySection map3Keys("MapEffect3", [] {
    return mapKeys("MapEffect3", 4, 3) + "I MapEffect3.muuriCount " + std::to_string(wallCount) +
           "\n"
           "V4 MapEffect3.blockColor 0.2 0.5 1 0\n"
           "R MapEffect3.fogStart 40\n"
           "R MapEffect3.fogEnd 160\n";
});

} // namespace

} // namespace Content
} // namespace Vostrel
