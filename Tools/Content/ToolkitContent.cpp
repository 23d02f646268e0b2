// The toolkit's shared files (link textures and meshes, particle and
// terminal atlases, panel pictures, the panel background, text files) and
// the scene its tests load.
#include "Tools/Content/ToolkitContent.h"

#include "Libs/Common/Exception.h"
#include "Tools/Content/ContentWriter.h"
#include "Tools/Content/PngWriter.h"
#include "Tools/Content/SceneBuilder.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <sstream>

namespace Vostrel {
namespace Content {

namespace {

constexpr float pi = 3.14159265358979f;

void writeFile(const std::string& path, const std::string& bytes)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
    out.close();
    if (!out)
        VOSTREL_THROW("Cannot write " << path);
}

void runWriter(const std::string& name, const std::string& root)
{
    for (const ContentWriter& writer : contentWriters())
        if (writer.name == name)
            return writer.write(root);
    VOSTREL_THROW("No content writer named " << name);
}

float clamp01(float v)
{
    return v < 0.0f ? 0.0f : (v > 1.0f ? 1.0f : v);
}

Lwo2Layer emptyTexturedLayer(int number)
{
    Lwo2Layer layer;
    layer.number = number;
    Lwo2VertexMap uv;
    uv.type = "TXUV";
    uv.name = "Texture";
    uv.dimension = 2;
    layer.vertexMaps.push_back(uv);
    layer.polygonLists.emplace_back();
    return layer;
}


// One quad of four points, clockwise seen from the front.
void addQuad(Lwo2Layer& layer, const Vec3 corners[4], const Vec2 uvs[4])
{
    Lwo2VertexMap& uv = layer.vertexMaps[0];
    std::vector<uint32_t> polygon;
    for (int i = 0; i < 4; ++i) {
        const uint32_t index = static_cast<uint32_t>(layer.points.size());
        layer.points.push_back(corners[i]);
        uv.points.push_back(index);
        uv.values.push_back(uvs[i][0]);
        uv.values.push_back(uvs[i][1]);
        polygon.push_back(index);
    }
    layer.polygonLists[0].polygons.push_back(polygon);
    layer.polygonLists[0].surfaceTags.push_back(0);
}

const Vec2 unitUvs[4] = {Vec2(0, 0), Vec2(0, 1), Vec2(1, 1), Vec2(1, 0)};

} // namespace

std::string linksText(const std::vector<LinkRecord>& links)
{
    std::ostringstream out;
    out << "# links: markers, direction codes, time term, flow colour\n";
    char number[64];
    for (const LinkRecord& link : links) {
        out << "L";
        for (int marker : link.markers)
            out << " " << marker;
        out << "\nD";
        for (int code : link.directions)
            out << " " << code;
        std::snprintf(number, sizeof number, "%g", link.timeTerm);
        out << "\nT " << number << "\nC";
        for (int c = 0; c < 4; ++c) {
            std::snprintf(number, sizeof number, "%g", link.colour[c]);
            out << " " << number;
        }
        out << "\n";
    }
    return out.str();
}

void writeLinks(const std::string& path, const std::vector<LinkRecord>& links)
{
    for (const LinkRecord& link : links)
        if (link.markers.empty() || link.directions.size() < link.markers.size())
            VOSTREL_THROW("writeLinks: " << path << ": every link needs markers and a direction code per marker");
    writeFile(path, linksText(links));
}

Lwo2Layer texturedBox(int number, const Vec3& low, const Vec3& high)
{
    Lwo2Layer layer = emptyTexturedLayer(number);
    const Vec3 centre = (low + high) * 0.5f;
    const Vec3 half = (high - low) * 0.5f;
    const Vec3 normals[6] = {{0, 0, -1}, {0, 0, 1}, {-1, 0, 0}, {1, 0, 0}, {0, -1, 0}, {0, 1, 0}};
    for (const Vec3& n : normals) {
        // Seen from outside, looking along -n: right = up x forward.
        const Vec3 forward = n * -1.0f;
        const Vec3 up = std::fabs(n[1]) > 0.5f ? Vec3(0, 0, 1) : Vec3(0, 1, 0);
        const Vec3 right = cross(up, forward);
        const Vec3 c(centre[0] + n[0] * half[0], centre[1] + n[1] * half[1], centre[2] + n[2] * half[2]);
        auto scaled = [&](const Vec3& axis) {
            return Vec3(axis[0] * half[0], axis[1] * half[1], axis[2] * half[2]);
        };
        const Vec3 r = scaled(right), u = scaled(up);
        const Vec3 corners[4] = {c - r - u, c - r + u, c + r + u, c + r - u};
        addQuad(layer, corners, unitUvs);
    }
    return layer;
}

Lwo2Layer texturedRing(int number, float inner, float outer, int segments, float z)
{
    Lwo2Layer layer = emptyTexturedLayer(number);
    for (int k = 0; k < segments; ++k) {
        // Clockwise seen from -z: angles run clockwise there as they fall.
        const float a0 = -2 * pi * k / segments, a1 = -2 * pi * (k + 1) / segments;
        const float u0 = static_cast<float>(k) / segments, u1 = static_cast<float>(k + 1) / segments;
        const Vec3 corners[4] = {Vec3(std::cos(a0) * inner, std::sin(a0) * inner, z),
                                 Vec3(std::cos(a0) * outer, std::sin(a0) * outer, z),
                                 Vec3(std::cos(a1) * outer, std::sin(a1) * outer, z),
                                 Vec3(std::cos(a1) * inner, std::sin(a1) * inner, z)};
        const Vec2 uvs[4] = {Vec2(u0, 0), Vec2(u0, 1), Vec2(u1, 1), Vec2(u1, 0)};
        addQuad(layer, corners, uvs);
    }
    return layer;
}

Lwo2Layer texturedFrame(int number, float inner, float outer, float z)
{
    Lwo2Layer layer = emptyTexturedLayer(number);
    const float a = inner, b = outer;
    // Four bars, each clockwise seen from -z.
    const Vec3 bars[4][4] = {
        {{-b, a, z}, {-b, b, z}, {b, b, z}, {b, a, z}},
        {{-b, -b, z}, {-b, -a, z}, {b, -a, z}, {b, -b, z}},
        {{-b, -a, z}, {-b, a, z}, {-a, a, z}, {-a, -a, z}},
        {{a, -a, z}, {a, a, z}, {b, a, z}, {b, -a, z}},
    };
    for (const auto& bar : bars)
        addQuad(layer, bar, unitUvs);
    return layer;
}

Lwo2Layer mergeLayers(int number, const std::vector<Lwo2Layer>& pieces)
{
    Lwo2Layer layer = emptyTexturedLayer(number);
    for (const Lwo2Layer& piece : pieces) {
        const uint32_t base = static_cast<uint32_t>(layer.points.size());
        layer.points.insert(layer.points.end(), piece.points.begin(), piece.points.end());
        for (const Lwo2VertexMap& map : piece.vertexMaps)
            if (map.name == "Texture") {
                for (uint32_t point : map.points)
                    layer.vertexMaps[0].points.push_back(base + point);
                layer.vertexMaps[0].values.insert(layer.vertexMaps[0].values.end(), map.values.begin(),
                                                  map.values.end());
            }
        for (const Lwo2PolygonList& list : piece.polygonLists)
            for (const std::vector<uint32_t>& polygon : list.polygons) {
                std::vector<uint32_t> moved;
                for (uint32_t index : polygon)
                    moved.push_back(base + index);
                layer.polygonLists[0].polygons.push_back(moved);
                layer.polygonLists[0].surfaceTags.push_back(0);
            }
    }
    return layer;
}

Lwo2Layer texturedTorus(int number, float major, float minor, int segments, int sides, float from, float to)
{
    Lwo2Layer layer = emptyTexturedLayer(number);
    // The seams repeat their points, so the texture wraps without a jump.
    for (int i = 0; i <= segments; ++i)
        for (int j = 0; j <= sides; ++j) {
            const float a = 2 * pi * i / segments, b = from + (to - from) * j / sides;
            const float radius = major + minor * std::cos(b);
            layer.vertexMaps[0].points.push_back(static_cast<uint32_t>(layer.points.size()));
            layer.points.emplace_back(radius * std::cos(a), radius * std::sin(a), minor * std::sin(b));
            layer.vertexMaps[0].values.push_back(static_cast<float>(i) / segments);
            layer.vertexMaps[0].values.push_back(static_cast<float>(j) / sides);
        }
    auto index = [&](int i, int j) { return static_cast<uint32_t>(i * (sides + 1) + j); };
    for (int i = 0; i < segments; ++i)
        for (int j = 0; j < sides; ++j) {
            // Clockwise seen from outside, as the other pieces.
            layer.polygonLists[0].polygons.push_back({index(i, j), index(i + 1, j), index(i + 1, j + 1), index(i, j + 1)});
            layer.polygonLists[0].surfaceTags.push_back(0);
        }
    return layer;
}

Lwo2Object objectOf(const std::vector<Lwo2Layer>& layers)
{
    Lwo2Object object;
    object.tags = {"Default"};
    object.layers = layers;
    return object;
}

RgbaImage::RgbaImage(int width, int height)
    : width(width), height(height), pixels(static_cast<size_t>(width) * height * 4, 0)
{
}

void RgbaImage::set(int x, int y, float r, float g, float b, float a)
{
    uint8_t* p = at(x, y);
    p[0] = static_cast<uint8_t>(std::lround(clamp01(r) * 255));
    p[1] = static_cast<uint8_t>(std::lround(clamp01(g) * 255));
    p[2] = static_cast<uint8_t>(std::lround(clamp01(b) * 255));
    p[3] = static_cast<uint8_t>(std::lround(clamp01(a) * 255));
}

void writePng(const std::string& path, const RgbaImage& image)
{
    writePngRgba(path, image.width, image.height, image.pixels);
}

RgbaImage atlasImage(int cellSize, Vec3 (*frameColour)(int frame))
{
    RgbaImage image(8 * cellSize, 8 * cellSize);
    for (int frame = 0; frame < 64; ++frame) {
        const Vec3 colour = frameColour(frame);
        const int left = (frame % 8) * cellSize, top = (frame / 8) * cellSize;
        for (int y = 0; y < cellSize; ++y)
            for (int x = 0; x < cellSize; ++x) {
                const float dx = (x + 0.5f) / cellSize - 0.5f, dy = (y + 0.5f) / cellSize - 0.5f;
                const float glow = clamp01(1.0f - 2.2f * std::sqrt(dx * dx + dy * dy));
                image.set(left + x, top + y, colour[0] * glow, colour[1] * glow, colour[2] * glow, 1.0f);
            }
    }
    return image;
}

std::string panelText(const std::string& title, int count)
{
    static const char* const words[] = {"LINK",  "NODE",   "TRACE", "ROUTE", "SIGNAL", "ACCESS",
                                        "PORT",  "VECTOR", "SCAN",  "RELAY", "GRID",   "FLOW"};
    std::ostringstream out;
    out << title << "\n";
    for (int i = 1; i < count; ++i) {
        char line[128];
        std::snprintf(line, sizeof line, "%02d %-6s %04X.%02X %s", i, words[i % 12], (i * 2654435761u) >> 20,
                      (i * 37) & 0xFF, i % 3 ? "OK" : "WAIT");
        out << line << "\n";
    }
    return out.str();
}

namespace {

Vec3 particleColour(int frame)
{
    // Golden-ratio steps of hue: neighbouring frames look nothing alike.
    const float hue = frame * 0.381966f * 2 * pi;
    return Vec3(0.55f + 0.45f * std::cos(hue), 0.55f + 0.45f * std::cos(hue - 2.1f),
                0.55f + 0.45f * std::cos(hue + 2.1f));
}

Vec3 terminalColour(int frame)
{
    // Screens that blink: every other frame dimmer, and paler as the frame
    // grows; bright, as the luminance is also the sprite's alpha.
    const float level = (frame % 2 ? 0.55f : 1.0f);
    return Vec3((0.45f + 0.3f * frame / 63.0f) * level, level, (0.6f + 0.2f * frame / 63.0f) * level);
}

void writeLinkTextures(const std::string& root)
{
    RgbaImage alpha(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const float v = 1.0f - std::fabs((y + 0.5f) / 32.0f - 1.0f);
            const float u = 1.0f - std::fabs((x + 0.5f) / 32.0f - 1.0f);
            const float a = clamp01(1.5f * std::sqrt(u * v));
            alpha.set(x, y, a, a, a, 1.0f);
        }
    writePng(prepareOutputPath(root, "data/Textures/linkkialpha.png"), alpha);

    // A bright pulse that repeats across u, so the texture wraps seamlessly.
    RgbaImage band(128, 8);
    for (int x = 0; x < 128; ++x) {
        const float u = (x + 0.5f) / 128.0f;
        const float d = u - 0.5f;
        const float pulse = std::exp(-d * d * 60.0f);
        for (int y = 0; y < 8; ++y)
            band.set(x, y, 0.3f * pulse, 0.7f * pulse, pulse, 1.0f);
    }
    writePng(prepareOutputPath(root, "data/Textures/linkkiBand.png"), band);

    // Dim streaks that fade towards the ribbons' edges: the flow material
    // multiplies by five and adds up six ribbons, so brighter would only
    // saturate into a flat white band.
    RgbaImage stripes(64, 64);
    for (int y = 0; y < 64; ++y)
        for (int x = 0; x < 64; ++x) {
            const float streak = std::pow(0.5f + 0.5f * std::sin(2 * pi * (x / 64.0f * 4 + y / 256.0f)), 6.0f);
            const float across = std::pow(std::sin(pi * (y + 0.5f) / 64.0f), 2.0f);
            const float v = (0.01f + 0.09f * streak) * across;
            stripes.set(x, y, v, v, v, 1.0f);
        }
    writePng(prepareOutputPath(root, "data/Textures/flowRaidat.png"), stripes);
}

void writePanelPictures(const std::string& root)
{
    RgbaImage selector(256, 256);
    RgbaImage target(256, 256);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x) {
            const float dx = x - 127.5f, dy = y - 127.5f;
            const float r = std::sqrt(dx * dx + dy * dy);
            const bool cross = std::fabs(dx) < 2.5f || std::fabs(dy) < 2.5f;
            const bool circle = std::fabs(r - 90) < 3 || std::fabs(r - 50) < 2;
            const float lit = (circle || (cross && r < 110)) ? 1.0f : 0.0f;
            selector.set(x, y, 0.3f * lit, lit, 0.5f * lit, 1.0f);
            const float ring = std::fmod(r, 32.0f) < 8.0f && r < 120 ? 1.0f : 0.05f;
            // A notch at the top tells rotations apart.
            const float notch = (dy < -60 && std::fabs(dx) < 10) ? 1.0f : 0.0f;
            target.set(x, y, std::max(ring, notch), 0.5f * ring, 0.2f * ring, 1.0f);
        }
    writePng(prepareOutputPath(root, "data/Textures/valitsin1.png"), selector);
    writePng(prepareOutputPath(root, "data/Textures/target1.png"), target);
    writePng(prepareOutputPath(root, "data/Textures/particles.png"), atlasImage(32, particleColour));
    writePng(prepareOutputPath(root, "data/Textures/terminals.png"), atlasImage(32, terminalColour));
}

// The panel background, drawn 1:1 into 1024 x 1024: a frame of lines and
// corner brackets around a dark text window (luminance becomes alpha).
std::string mainUIFrame()
{
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1024\" height=\"1024\">\n"
           "<g stroke=\"#4fc3ff\" fill=\"none\" stroke-width=\"6\">\n"
           "<rect x=\"40\" y=\"40\" width=\"944\" height=\"944\"/>\n"
           "<rect x=\"110\" y=\"60\" width=\"356\" height=\"356\" stroke-width=\"3\"/>\n"
           "<path d=\"M40 140 L40 40 L140 40 M884 40 L984 40 L984 140 M984 884 L984 984 L884 984 M140 984 "
           "L40 984 L40 884\" stroke-width=\"14\"/>\n"
           "<line x1=\"80\" y1=\"880\" x2=\"944\" y2=\"880\"/>\n"
           "<polyline points=\"80,920 200,920 240,950 520,950\" stroke=\"#a0ffd0\"/>\n"
           "</g>\n"
           "<g fill=\"#1f5f8f\" fill-opacity=\"0.8\">\n";
    for (int i = 0; i < 12; ++i)
        svg << "<rect x=\"" << 80 + i * 20 << "\" y=\"900\" width=\"12\" height=\"" << 10 + (i * 7) % 30
            << "\"/>\n";
    svg << "</g>\n"
           "<polygon points=\"920,520 960,560 920,600\" fill=\"#ffffff\"/>\n"
           "</svg>\n";
    return svg.str();
}

void writeToolkitContent(const std::string& root)
{
    writeLinkTextures(root);
    writePanelPictures(root);
    writeFile(prepareOutputPath(root, "data/Textures/mainUIFrame.svg"), mainUIFrame());
    // Rounded pieces: the link materials light a surface by how far it
    // turns from the camera, so flat faces towards it would stay dark.
    writeLwo2(prepareOutputPath(root, "data/Models/linkband.lwo"),
              objectOf({texturedTorus(0, 2.5f, 0.3f, 48, 12, -pi, pi)}));
    writeLwo2(prepareOutputPath(root, "data/Models/linkframe.lwo"),
              objectOf({texturedTorus(0, 3.3f, 0.12f, 48, 8, -pi, pi)}));
    writeLwo2(prepareOutputPath(root, "data/Models/linkmarker.lwo"),
              objectOf({texturedTorus(0, 0.0f, 1.0f, 24, 12, -0.5f * pi, 0.5f * pi)}));
    // A 2 x 2 square facing the origin from +z once moved out: the sky box face.
    Lwo2Object face = unitQuad();
    for (Vec3& point : face.layers[0].points)
        point = point * 2.0f;
    writeLwo2(prepareOutputPath(root, "data/Models/CubemapBox.lwo"), face);
    writeFile(prepareOutputPath(root, "test2.txt"), panelText("STATUS / TEST2", 24));
}

const RegisterContentWriter toolkitWriter("toolkit", writeToolkitContent);

} // namespace

void writeToolkitTestContent(const std::string& root)
{
    runWriter("toolkit", root);
    runWriter("models/quad", root);
    runWriter("font", root);
    writeFile(prepareOutputPath(root, "panel.txt"), panelText("PANEL", 20));

    RgbaImage strip(16, 96);
    const Vec3 faces[6] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {1, 1, 0}, {0, 1, 1}, {1, 0, 1}};
    for (int y = 0; y < 96; ++y)
        for (int x = 0; x < 16; ++x)
            strip.set(x, y, faces[y / 16][0], faces[y / 16][1], faces[y / 16][2]);
    writePng(prepareOutputPath(root, "data/Textures/cubestrip.png"), strip);

    SceneBuilder scene;
    scene.camera("Camera", 1).position(0, 0, -50).rotation(0, 0, 0);
    scene.light("Light", 2, 0, 1, 1, 1).position(0, 50, -50);
    const float markerX[toolkitTestMarkers] = {-12, 0, 12};
    for (int n = 1; n <= toolkitTestMarkers; ++n)
        scene.mesh("linkki (" + std::to_string(n) + ")", 10 + n, "data/Models/linkmarker.lwo", 1)
            .position(markerX[n - 1], n == 2 ? 6.0f : 0.0f, 0)
            .rotation(0, 0, 0);
    scene.null("Flow", 20)
        .envelope("x", {{0, -12}, {1, 0}, {2, 12}})
        .envelope("y", {{0, 0}, {1, 6}, {2, 0}})
        .envelope("z", {{0, 0}, {2, 0}});
    scene.mesh("particles", 21).position(0, 0, 0).rotation(0, 0, 0);
    for (int k = 1; k <= 3; ++k)
        scene.mesh("terminal" + std::to_string(k), 21 + k)
            .position(-10.0f + 10.0f * (k - 1), -10, 0)
            .rotation(0, 0, 0)
            .envelope("sx", {{0, 2.0f + k}, {4, 4.0f + k}})
            .envelope("sy", {{0, 1}, {4, 0.5f}})
            .envelope("heading", {{0, 0}, {4, 9}})
            .constant("sz", 1);
    scene.mesh("TextPanel1", 30).position(0, 0, 0).rotation(0, 0, 0).constant("sx", 8).constant("sy", 8)
        .constant("sz", 1).constant("z", 2);
    scene.mesh("ImagePanel1", 31).position(0, 0, 0).rotation(0, 0, 0).constant("sx", 6).constant("sy", 6)
        .constant("sz", 1).envelope("bank", {{0, 0}, {1, 1.5707964f}});
    scene.mesh("TargetMesh1", 32).position(-12, 12, 0).rotation(0, 0, 0);
    scene.write(prepareOutputPath(root, "data/Models/toolkit.sce"));

    writeLinks(prepareOutputPath(root, "toolkit.links"),
               {{{1, 2, 3, 1, 2, 3, 1, 2, 3, 1, 2, 3}, {1, -1, 1, -1, 1, -1, 1, -1, 1, -1, 1, -1}, 0.0f,
                 Vec4(0.3f, 0.8f, 1.0f, 1.0f)},
                {{3, 2, 1, 3, 2, 1, 3, 2, 1, 3, 2, 1}, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, 0.5f,
                 Vec4(1.0f, 0.6f, 0.2f, 1.0f)}});
}

} // namespace Content
} // namespace Vostrel
