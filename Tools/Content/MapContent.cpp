// The map parts' scenes (MapEffect1, MapEffect4 and both scenes of
// MapEffect5), their ".links" files, the ground they stand on, the fifth
// map's panel text and the parts' "demo.props" keys.
//
// Each map is a ground of grid lines and dotted land, link markers at some
// places with glowing flows leaving them, terminals blinking at others, a
// drifting particle cloud, and cameras that sweep over it.
#include "Libs/Common/Exception.h"
#include "Tools/Content/ContentWriter.h"
#include "Tools/Content/Dice.h"
#include "Tools/Content/Lwo2Writer.h"
#include "Tools/Content/SceneBuilder.h"
#include "Tools/Content/ToolkitContent.h"

#include <cmath>
#include <cstdint>
#include <fstream>
#include <sstream>

namespace Vostrel {
namespace Content {

namespace {

constexpr float pi = 3.14159265358979f;

// A flat quad on the ground (y = 0), facing up: clockwise seen from above.
void addGroundQuad(Lwo2Layer& layer, float x0, float z0, float x1, float z1)
{
    std::vector<uint32_t> polygon;
    for (const Vec3& corner : {Vec3(x0, 0, z0), Vec3(x0, 0, z1), Vec3(x1, 0, z1), Vec3(x1, 0, z0)}) {
        polygon.push_back(static_cast<uint32_t>(layer.points.size()));
        layer.points.push_back(corner);
    }
    layer.polygonLists[0].polygons.push_back(polygon);
    layer.polygonLists[0].surfaceTags.push_back(0);
}

Lwo2Layer groundLayer(int number)
{
    Lwo2Layer layer;
    layer.number = number;
    layer.polygonLists.emplace_back();
    return layer;
}

// How much land lies at a point of the unit map: a few overlapping
// continents, so the dots form coasts rather than a checkerboard.
float land(float x, float z)
{
    const float a = std::sin(x * 3.1f + 0.4f) * std::cos(z * 2.3f - 0.7f);
    const float b = std::sin((x + z) * 4.7f + 1.3f) * 0.45f;
    const float c = std::cos(x * 7.9f - z * 5.3f) * 0.2f;
    const float edge = 1.0f - std::max(std::fabs(x), std::fabs(z));
    return a + b + c + std::min(edge * 2.0f, 0.4f) - 0.35f;
}

// The land: one small square per lattice point over land, in [-1, 1].
Lwo2Object mapGround()
{
    Lwo2Layer dots = groundLayer(0);
    // Sparse and small: the ground is drawn plain white, and where the dots
    // crowd in the distance they would bloom into a glare.
    const int lattice = 32;
    const float cell = 2.0f / lattice, dot = cell * 0.07f;
    for (int i = 0; i < lattice; ++i)
        for (int j = 0; j < lattice; ++j) {
            const float x = -1.0f + (i + 0.5f) * cell, z = -1.0f + (j + 0.5f) * cell;
            if (land(x, z) > 0.0f)
                addGroundQuad(dots, x - dot, z - dot, x + dot, z + dot);
        }
    Lwo2Object object;
    object.tags = {"Default"};
    object.layers = {dots};
    return object;
}

std::vector<LinkRecord> mapLinks(int linkCount, int markers, int steps, uint32_t seed)
{
    // Dim: the flow shader brightens them five times, and the bloom more.
    static const Vec4 colours[] = {Vec4(0.06f, 0.16f, 0.24f, 1.0f), Vec4(0.24f, 0.12f, 0.03f, 1.0f),
                                   Vec4(0.2f, 0.06f, 0.24f, 1.0f), Vec4(0.07f, 0.22f, 0.1f, 1.0f),
                                   Vec4(0.22f, 0.2f, 0.06f, 1.0f)};
    Dice dice(seed);
    std::vector<LinkRecord> links;
    for (int i = 0; i < linkCount; ++i) {
        LinkRecord link;
        int marker = i % markers + 1;
        for (int s = 0; s < steps; ++s) {
            link.markers.push_back(marker);
            link.directions.push_back((s + i) % 2 ? -1 : 1);
            // Never stay: hop one or two markers on.
            const int hop = markers > 2 && dice.unit() < 0.5f ? 2 : 1;
            marker = (marker - 1 + hop) % markers + 1;
        }
        link.timeTerm = 0.25f * i;
        link.colour = colours[i % 5];
        links.push_back(link);
    }
    return links;
}

struct Move {
    std::vector<std::pair<float, Vec3>> keys;
};

struct CameraDesign {
    std::string name;
    Move eye;
    Move look;
    float farPlane = 0.0f; // 0: the map's
};

struct PanelDesign {
    std::string name;
    float x, y, speed, sx, sy;
};

struct MapDesign {
    const char* sceneFile;
    const char* linksFile;
    float size;        // half the ground's width, world units
    float markerScale; // link markers' boxes and everything linked to them
    int linkCount;
    int terminalCount;
    int linkSteps;
    std::string terminalBase;
    float duration;
    std::vector<CameraDesign> cameras;
    PanelDesign textPanel; // empty name: none
    uint32_t seed;
    // The small maps' far plane lies inside their fog's farthest layers,
    // which would otherwise wash the picture out when the bloom pulses.
    float farPlane;
};

void keyed(SceneBuilder& builder, const char* const channels[3], const Move& move)
{
    for (int c = 0; c < 3; ++c) {
        std::vector<SceneBuilder::Key> keys;
        for (const auto& key : move.keys)
            keys.push_back({key.first, key.second[c]});
        builder.envelope(channels[c], keys);
    }
}

const char* const xyz[3] = {"x", "y", "z"};

Vec3 onGround(Dice& dice, float size, float y)
{
    // One draw per statement: the order of a call's arguments is left to the
    // compiler. z first, as the gcc-built generator has always drawn them.
    const float z = dice.range(-0.75f, 0.75f) * size;
    const float x = dice.range(-0.75f, 0.75f) * size;
    return Vec3(x, y, z);
}

// Places at least a fifth of the map apart.
std::vector<Vec3> scatter(Dice& dice, int count, float size, float y, std::vector<Vec3>& taken)
{
    std::vector<Vec3> places;
    for (int i = 0; i < count; ++i) {
        Vec3 p = onGround(dice, size, y);
        for (int tries = 0; tries < 200; ++tries) {
            bool clear = true;
            for (const Vec3& q : taken) {
                const float dx = p[0] - q[0], dz = p[2] - q[2];
                clear = clear && dx * dx + dz * dz > size * size * 0.04f;
            }
            if (clear)
                break;
            p = onGround(dice, size, y);
        }
        taken.push_back(p);
        places.push_back(p);
    }
    return places;
}

void writeMap(const std::string& root, const MapDesign& design)
{
    SceneBuilder b;
    int id = 1;
    const float s = design.size;
    for (const CameraDesign& camera : design.cameras) {
        const int target = id + 1;
        b.null(camera.name + " target", target).rotation(0, 0, 0);
        keyed(b, xyz, camera.look);
        b.camera(camera.name, id).constant("bank", 0).constant("nearPlane", s * 0.005f).constant("farPlane", camera.farPlane > 0.0f ? camera.farPlane : design.farPlane);
        keyed(b, xyz, camera.eye);
        b.target(target);
        id += 2;
    }
    b.light("Light", id++, 0, 1.0f, 0.95f, 0.9f).position(-s, 2 * s, -s);
    b.mesh("mapground:Layer1", id++, "data/Models/mapground.lwo", 1).position(0, 0, 0).rotation(0, 0, 0).scale(s, 1, s);

    Dice dice(design.seed);
    std::vector<Vec3> taken;
    const float m = design.markerScale;
    const std::vector<Vec3> markers = scatter(dice, design.linkCount, s, m, taken);
    for (int n = 1; n <= design.linkCount; ++n)
        b.mesh("linkki (" + std::to_string(n) + ")", id++, "data/Models/linkmarker.lwo", 1)
            .position(markers[n - 1][0], markers[n - 1][1], markers[n - 1][2])
            .rotation(dice.range(-0.4f, 0.4f), 0, 0)
            .scale(m, m, m);
    // The flow leaves the marker it is linked to in an arc over the map, in
    // the marker's own units.
    b.null("Flow", id++)
        .envelope("x", {{0, 0}, {1, 2.5f}, {2, 6}, {3, 9}})
        .envelope("y", {{0, 0}, {1, 4}, {2, 4.5f}, {3, 0.5f}})
        .envelope("z", {{0, 0}, {1, 1.5f}, {2, 4}, {3, 6.5f}});
    b.mesh("particles", id++).position(0, s * 0.3f, 0).rotation(0, 0, 0);

    const std::vector<Vec3> terminals = scatter(dice, design.terminalCount, s, m * 1.5f, taken);
    const float size = m * 3.0f;
    for (int k = 1; k <= design.terminalCount; ++k) {
        const Vec3& p = terminals[k - 1];
        const float phase = dice.unit();
        b.mesh(design.terminalBase + std::to_string(k), id++)
            .position(p[0], p[1], p[2])
            .rotation(0, 0, 0)
            .envelope("sx", {{0, size * (0.8f + 0.3f * phase)},
                             {design.duration * 0.5f, size * (1.1f - 0.2f * phase)},
                             {design.duration, size * (0.9f + 0.2f * phase)}})
            .envelope("sy", {{0, 0.9f}, {design.duration * 0.5f, 1.3f + 0.3f * phase}, {design.duration, 1.0f}})
            .envelope("heading", {{0, std::floor(phase * 16) * 2}, {design.duration, std::floor(phase * 16) * 2 + 26}})
            .constant("sz", 1);
    }

    // The selector circles whichever terminal the part marks, turning.
    b.mesh("TargetMesh1", id++).position(0, 0, 0).rotation(0, 0, 0)
        .constant("sx", size * 1.6f).constant("sy", size * 1.6f).constant("sz", 1)
        .envelope("bank", {{0, 0}, {design.duration, design.duration * 0.9f}}, 1, 2);
    if (!design.textPanel.name.empty()) {
        const PanelDesign& t = design.textPanel;
        b.mesh(t.name, id++).position(t.x, t.y, t.speed).rotation(0, 0, 0).scale(t.sx, t.sy, 1);
    }
    b.write(prepareOutputPath(root, design.sceneFile));
    writeLinks(prepareOutputPath(root, design.linksFile),
               mapLinks(design.linkCount, design.linkCount, design.linkSteps, design.seed * 7 + 1));
}

Move line(float t0, const Vec3& a, float t1, const Vec3& b)
{
    return Move{{{t0, a}, {t1, b}}};
}

// The text panel on the camera: 10 units ahead, where the view is 8.3 wide
// and 6.25 high.
PanelDesign cameraPanel(const char* name, float x)
{
    return PanelDesign{name, x, 1.45f, 2.0f, 2.6f, 2.6f};
}

void writeMapScenes(const std::string& root)
{
    writeLwo2(prepareOutputPath(root, "data/Models/mapground.lwo"), mapGround());

    // The first map is large: its fog lies between 350 and 1050 units.
    MapDesign map1{"data/Models/mapeffect1.sce", "mapeffect1.links", 420.0f, 14.0f, 5, 6, 12, "terminaali", 8.0f,
                   {{"Camera", line(0, Vec3(-430, 300, -470), 3.2f, Vec3(-310, 260, -540)),
                     line(0, Vec3(0, 0, 20), 3.2f, Vec3(60, 0, 50))},
                    {"Camera2", line(3, Vec3(380, 150, -300), 8, Vec3(240, 130, -420)),
                     line(3, Vec3(-60, 30, 60), 8, Vec3(-110, 20, 10))}},
                   cameraPanel("TextSpeed1", -2.75f), 11u, 2000.0f};
    writeMap(root, map1);

    MapDesign map4{"data/Models/mapeffect4.sce", "mapeffect4.links", 40.0f, 1.3f, 4, 6, 12, "terminal", 8.0f,
                   {{"Camera", line(0, Vec3(-42, 30, -50), 8, Vec3(-14, 26, -60)),
                     line(0, Vec3(-4, 0, 2), 8, Vec3(6, 0, 0))}},
                   PanelDesign{}, 41u, 90.0f};
    writeMap(root, map4);

    MapDesign map5{"data/Models/mapeffect5.sce", "mapeffect5.links", 40.0f, 1.3f, 5, 5, 20, "terminal", 8.73f,
                   {{"Camera", line(0, Vec3(46, 16, -38), 8.73f, Vec3(24, 20, -56)),
                     line(0, Vec3(0, 2, 4), 8.73f, Vec3(-6, 0, 8))}},
                   cameraPanel("TextPanel1", 2.75f), 51u, 90.0f};
    writeMap(root, map5);

    MapDesign map52{"data/Models/mapeffect5-2.sce", "mapeffect5-2.links", 40.0f, 1.3f, 5, 5, 36, "terminal", 32.0f,
                    {{"Camera2", Move{{{0, Vec3(-30, 12, -44)}, {14, Vec3(20, 16, -48)}, {27, Vec3(44, 22, -10)}}},
                      Move{{{0, Vec3(4, 2, 6)}, {27, Vec3(-4, 0, 0)}}}},
                     {"OverviewCamera", line(27, Vec3(0, 62, -40), 32, Vec3(6, 70, -34)),
                      line(27, Vec3(0, 0, 0), 32, Vec3(0, 0, 4)), 160.0f}},
                    cameraPanel("TextPanel1", -2.75f), 52u, 90.0f};
    writeMap(root, map52);

    std::ofstream text(prepareOutputPath(root, "mapeffect5.txt"), std::ios::binary | std::ios::trunc);
    text << panelText("ROUTE MAP / SECTOR 5", 28);
    text.close();
    if (!text)
        VOSTREL_THROW("Cannot write mapeffect5.txt below " << root);
}

// The marker the image panels circle their terminal with: thin rings, a
// cross and a notch at the top (so its turning shows), on black.
void writeMarkerImage(const std::string& root)
{
    RgbaImage image(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const float dx = x - 127.5f, dy = y - 127.5f;
            const float r = std::sqrt(dx * dx + dy * dy);
            const float ring = std::max(1.0f - std::fabs(r - 112) / 2.5f, 1.0f - std::fabs(r - 76) / 1.5f);
            const bool tick = (std::fabs(dx) < 1.5f || std::fabs(dy) < 1.5f) && r > 84 && r < 124;
            const bool notch = dy < -92 && dy > -124 && std::fabs(dx) < 6;
            const float lit = std::max(std::max(ring, 0.0f), tick || notch ? 1.0f : 0.0f);
            image.set(x, y, 0.55f * lit, 0.35f * lit, 0.12f * lit, 1.0f);
        }
    writePng(prepareOutputPath(root, "data/Textures/mapmarker.png"), image);
}

const RegisterContentWriter mapWriter("maps", [](const std::string& root) {
    writeMapScenes(root);
    writeMarkerImage(root);
});

// The keys every map part reads for its links, particles and terminals.
std::string commonKeys(const char* part, float flowSize, float particleScale, int links, int terminals,
                       const char* terminalBase, float bloomBase = 0.003f)
{
    std::ostringstream out;
    const std::string p = std::string(part) + ".";
    out << "I " << p << "useBloom 1\n"
        << "R " << p << "bloomBase " << bloomBase << "\n"
        << "S " << p << "sisusName \"linkki\"\n"
        << "S " << p << "sisusMesh \"data/Models/linkband.lwo@1\"\n"
        << "S " << p << "kehysMesh \"data/Models/linkframe.lwo@1\"\n"
        << "V4 " << p << "sisusColor 0.3 0.6 1 1\n"
        << "V4 " << p << "kehysColor 0.8 0.9 1 1\n"
        << "R " << p << "flowSize " << flowSize << "\n"
        << "I " << p << "linkCount " << links << "\n"
        << "S " << p << "particleTarget \"particles\"\n"
        << "S " << p << "particleImage \"data/Textures/particles.png\"\n"
        << "R " << p << "particleRotationSpeed 8\n"
        << "R " << p << "particleSpeed " << 0.05f * particleScale << "\n"
        << "R " << p << "particleSize " << 0.015f * particleScale << "\n"
        << "R " << p << "particleSystemSize " << 2.2f * particleScale << "\n"
        << "I " << p << "particleCount 400\n"
        << "I " << p << "terminalCount " << terminals << "\n"
        << "S " << p << "terminalImage \"data/Textures/terminals.png\"\n"
        << "S " << p << "terminalBaseName \"" << terminalBase << "\"\n";
    return out.str();
}

const RegisterPropertySection map1Keys("MapEffect1", [] {
    // The first map's fog lies wholly past 200 units, where it is full, so
    // its exposure is lower than the small maps'.
    return commonKeys("MapEffect1", 0.2f, 420.0f, 5, 6, "terminaali", 0.0008f) + "I MapEffect1.useFog 1\n";
});

const RegisterPropertySection map4Keys("MapEffect4", [] {
    return commonKeys("MapEffect4", 0.2f, 40.0f, 4, 6, "terminal", 0.0012f) +
           "S MapEffect4.target1image \"data/Textures/mapmarker.png\"\n"
           "S MapEffect4.target1param \"TargetMesh1\"\n";
});

const RegisterPropertySection map5Keys("MapEffect5", [] {
    return commonKeys("MapEffect5", 0.2f, 40.0f, 5, 5, "terminal", 0.0012f) +
           "I MapEffect5.useFog 1\n"
           "S MapEffect5.target1image \"data/Textures/mapmarker.png\"\n"
           "S MapEffect5.target1param \"TargetMesh1\"\n"
           "S MapEffect5.textPanel1param \"TextPanel1\"\n"
           "S MapEffect5.textPanel1text \"mapeffect5.txt\"\n"
           "S MapEffect5.textPanel1image \"data/Textures/mainUIFrame.svg\"\n"
           "S MapEffect5.hdrBeatString \"1000100010101000\"\n"
           "R MapEffect5.hdrBeatStrength 0.002\n";
});

} // namespace

} // namespace Content
} // namespace Vostrel
