// The agent-follow part's files: its scene, the agent figure and its room,
// the morphing portal and the billboards' 4 x 4 animation atlas.
#include "Libs/Common/Exception.h"
#include "Tools/Content/ContentWriter.h"
#include "Tools/Content/JpegWriter.h"
#include "Tools/Content/Lwo2Writer.h"
#include "Tools/Content/SceneBuilder.h"
#include "Tools/Content/ToolkitContent.h"

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

namespace Vostrel {
namespace Content {

namespace {

constexpr float pi = 3.14159265358979f;
// The scene's clock runs at 0.97778 of the show's, whose beat is 110 a minute.
constexpr float beatPeriod = 60.0f / 110.0f * 0.97778f;
constexpr float sceneLength = 17.1f;

Vec3 cross3(const Vec3& a, const Vec3& b)
{
    return Vec3(a[1] * b[2] - a[2] * b[1], a[2] * b[0] - a[0] * b[2], a[0] * b[1] - a[1] * b[0]);
}

float dot3(const Vec3& a, const Vec3& b)
{
    return a[0] * b[0] + a[1] * b[1] + a[2] * b[2];
}

// A torus in the xy plane facing -z, whose quads (planar trapezoids) turn
// clockwise seen from outside, with two shapes as MORF offsets: "Open"
// widens the ring, "Closed" draws it in to a knot.
Lwo2Object portalObject()
{
    const int rings = 32, sides = 8;
    const float major = 1.5f, minor = 0.28f;
    Lwo2Layer layer;
    layer.number = 0;
    layer.name = "Portal";
    auto point = [&](int i, int j, float radius) {
        const float a = 2 * pi * i / rings, b = 2 * pi * j / sides;
        const float r = radius + minor * std::cos(b);
        return Vec3(r * std::cos(a), r * std::sin(a), minor * std::sin(b));
    };
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < sides; ++j)
            layer.points.push_back(point(i, j, major));
    Lwo2VertexMap open{"MORF", "Open", 3, {}, {}};
    Lwo2VertexMap closed{"MORF", "Closed", 3, {}, {}};
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < sides; ++j) {
            const uint32_t index = static_cast<uint32_t>(i * sides + j);
            const Vec3 rest = layer.points[index];
            const Vec3 wide = point(i, j, major * 1.6f) - rest;
            // The closed ring shrinks and folds forward, like an iris.
            Vec3 shut = point(i, j, major * 0.25f) - rest;
            shut[2] -= 0.6f;
            for (Lwo2VertexMap* map : {&open, &closed}) {
                const Vec3& offset = map == &open ? wide : shut;
                map->points.push_back(index);
                map->values.insert(map->values.end(), {offset[0], offset[1], offset[2]});
            }
        }
    layer.vertexMaps = {open, closed};
    Lwo2PolygonList faces;
    for (int i = 0; i < rings; ++i)
        for (int j = 0; j < sides; ++j) {
            std::vector<uint32_t> quad = {static_cast<uint32_t>(i * sides + j),
                                          static_cast<uint32_t>(((i + 1) % rings) * sides + j),
                                          static_cast<uint32_t>(((i + 1) % rings) * sides + (j + 1) % sides),
                                          static_cast<uint32_t>(i * sides + (j + 1) % sides)};
            const Vec3& p0 = layer.points[quad[0]];
            const Vec3 normal = cross3(layer.points[quad[1]] - p0, layer.points[quad[2]] - p0);
            // Outward: away from the tube's centre line.
            const float a = 2 * pi * (i + 0.5f) / rings;
            const Vec3 centre(major * std::cos(a), major * std::sin(a), 0.0f);
            if (dot3(normal, p0 - centre) < 0)
                std::reverse(quad.begin(), quad.end());
            faces.polygons.push_back(quad);
            faces.surfaceTags.push_back(0);
        }
    layer.polygonLists.push_back(faces);
    Lwo2Object object;
    object.tags = {"Default"};
    object.layers.push_back(layer);
    return object;
}

// Layer 0: the agent, a figure of boxes about 2.2 units tall standing on
// y = -1.1, facing -z. Layer 1: the back wall (turned away from the default
// material's light, so it stays dim).
Lwo2Object agentObject()
{
    std::vector<Lwo2Layer> figure = {
        texturedBox(0, Vec3(-0.45f, -0.05f, -0.25f), Vec3(0.45f, 0.75f, 0.25f)),  // torso
        texturedBox(0, Vec3(-0.2f, 0.8f, -0.22f), Vec3(0.2f, 1.15f, 0.18f)),      // head
        texturedBox(0, Vec3(-0.15f, 0.95f, -0.26f), Vec3(0.15f, 1.0f, -0.22f)),   // visor
        texturedBox(0, Vec3(-0.7f, -0.1f, -0.15f), Vec3(-0.5f, 0.7f, 0.15f)),     // arms
        texturedBox(0, Vec3(0.5f, -0.1f, -0.15f), Vec3(0.7f, 0.7f, 0.15f)),
        texturedBox(0, Vec3(-0.4f, -1.1f, -0.18f), Vec3(-0.08f, -0.1f, 0.18f)),   // legs
        texturedBox(0, Vec3(0.08f, -1.1f, -0.18f), Vec3(0.4f, -0.1f, 0.18f)),
    };
    std::vector<Lwo2Layer> room = {
        texturedBox(1, Vec3(-20, -8, 16), Vec3(20, 14, 17)),
    };
    return objectOf({mergeLayers(0, figure), mergeLayers(1, room)});
}

// 16 frames of a spinning metal chip ("lastu"), 64 pixels a cell: a thin
// bright sliver turned by frame / 16 of a half turn, dark around it.
RgbaImage chipAtlas()
{
    const int cell = 64;
    RgbaImage atlas(4 * cell, 4 * cell);
    for (int frame = 0; frame < 16; ++frame) {
        const float angle = pi * frame / 16.0f;
        const float c = std::cos(angle), s = std::sin(angle);
        // The chip's width follows the spin: edge-on at the quarter turn.
        const float width = 0.05f + 0.2f * std::fabs(std::cos(2 * pi * frame / 16.0f));
        for (int y = 0; y < cell; ++y)
            for (int x = 0; x < cell; ++x) {
                const float u = (x + 0.5f) / cell * 2 - 1, v = (y + 0.5f) / cell * 2 - 1;
                const float along = (u * c + v * s) * 2.0f, across = (-u * s + v * c) * 2.0f;
                float d = (along * along) / 0.36f + (across * across) / (width * width);
                const float glint = std::exp(-3.0f * d);
                const float level = d < 1 ? 0.3f + 0.7f * glint : 0.0f;
                atlas.set((frame % 4) * cell + x, (frame / 4) * cell + y, level * 0.35f, level * 0.3f, level * 0.2f);
            }
    }
    return atlas;
}

// A flash on every beat: 1 on the beat, gone by half the beat, dark until
// just before the next.
std::vector<SceneBuilder::Key> beatPulses()
{
    std::vector<SceneBuilder::Key> keys;
    for (float t = 0; t < sceneLength + beatPeriod; t += beatPeriod) {
        keys.push_back({t, 1.0f});
        keys.push_back({t + beatPeriod * 0.5f, 0.0f});
        keys.push_back({t + beatPeriod * 0.97f, 0.0f});
    }
    return keys;
}

void writeAgentFollowScene(const std::string& path)
{
    SceneBuilder b;
    b.null("Camera target", 2).envelope("x", {{0, -0.6f}, {8, 0.4f}, {sceneLength, -0.2f}}).constant("y", 0.4f)
        .envelope("z", {{0, 2.0f}, {sceneLength, 3.0f}}).rotation(0, 0, 0);
    b.camera("Camera", 1)
        .envelope("x", {{0, -2.5f}, {6, 0.5f}, {12, 2.0f}, {sceneLength, 0.0f}})
        .envelope("y", {{0, 1.2f}, {9, 1.8f}, {sceneLength, 1.0f}})
        .envelope("z", {{0, -16.0f}, {sceneLength, -13.5f}})
        .constant("bank", 0.0f)
        .target(2);
    b.light("Light", 3, 0, 1, 1, 1).position(0, 8, -6);
    b.null("HDRBeat", 4).envelope("x", beatPulses()).constant("y", 0).constant("z", 0);
    b.null("PortalLight", 5)
        .envelope("x", {{0, -6.0f}, {4, -2.0f}, {8, 2.5f}, {12, 6.0f}, {sceneLength, 0.0f}})
        .envelope("y", {{0, 2.0f}, {6, 0.0f}, {sceneLength, 2.5f}})
        .envelope("z", {{0, 2.5f}, {sceneLength, 3.0f}});
    b.mesh("Portal:Layer1", 6, "data/Models/Portal.lwo", 1)
        .position(-4.0f, 0.6f, 5.0f)
        .envelope("heading", {{0, -0.3f}, {sceneLength, 0.3f}})
        .constant("pitch", 0)
        .envelope("bank", {{0, 0}, {sceneLength, 3.0f}})
        .envelope("morph.Open", {{0, 0}, {3, 1}, {7, 1}, {9, 0}, {sceneLength, 0}})
        .envelope("morph.Closed", {{0, 0}, {8, 0}, {11, 1}, {14, 1}, {sceneLength, 0.2f}});
    b.mesh("Portal2:Layer1", 7, "data/Models/Portal.lwo", 1)
        .position(4.0f, 0.6f, 6.0f)
        .envelope("heading", {{0, 0.3f}, {sceneLength, -0.3f}})
        .constant("pitch", 0)
        .envelope("bank", {{0, 0}, {sceneLength, -2.0f}});
    b.mesh("AgentFollow:Layer1", 8, "data/Models/AgentFollow.lwo", 1)
        .envelope("x", {{0, -0.8f}, {8, 0.6f}, {sceneLength, -0.3f}})
        .envelope("y", {{0, -0.3f}, {4, -0.1f}, {8, -0.3f}, {12, -0.1f}, {sceneLength, -0.3f}})
        .envelope("z", {{0, 2.0f}, {sceneLength, 3.0f}})
        .envelope("heading", {{0, 0.4f}, {6, -0.3f}, {12, 0.3f}, {sceneLength, 0.0f}})
        .constant("pitch", 0)
        .constant("bank", 0)
        .scale(1.6f, 1.6f, 1.6f);
    b.mesh("Room", 9, "data/Models/AgentFollow.lwo", 2).position(0, 0, 0).rotation(0, 0, 0);
    // The light panels: a gate of 36 in front of the scene, lit from behind.
    int id = 20;
    for (int n = 1; n <= 36; ++n) {
        float x, y, size = 0.95f;
        if (n <= 24) {
            const int side = (n - 1) / 12, k = (n - 1) % 12;
            x = (side ? 1.0f : -1.0f) * (3.6f + 1.05f * (k % 2));
            y = -2.2f + 1.05f * (k / 2);
        } else {
            const int k = n - 25;
            x = -2.65f + 1.06f * (k % 6);
            y = 2.7f + 1.05f * (k / 6);
        }
        b.mesh("quad:Layer1 (" + std::to_string(n) + ")", id++, "data/Models/quad.lwo", 1)
            .position(x, y, -0.5f)
            .rotation(x * -0.08f, 0, 0)
            .scale(size, size, 1);
    }
    b.mesh("ParticleStreamMesh", id++).position(0, 2, 10).rotation(0, 0, 0).scale(0.1f, 0.05f, 0.06f);
    b.write(path);
}

void writeAgentFollowContent(const std::string& root)
{
    writeAgentFollowScene(prepareOutputPath(root, "data/Models/AgentFollow.sce"));
    writeLwo2(prepareOutputPath(root, "data/Models/Portal.lwo"), portalObject());
    writeLwo2(prepareOutputPath(root, "data/Models/AgentFollow.lwo"), agentObject());
    const RgbaImage atlas = chipAtlas();
    writeJpegRgba(prepareOutputPath(root, "data/Textures/Animations/lastu.jpg"), atlas.width, atlas.height,
                  atlas.pixels);
}

const RegisterContentWriter agentWriter("agentfollow", writeAgentFollowContent);

const RegisterPropertySection agentKeys("AgentFollowEffect", [] {
    return "I AgentFollowEffect.useBloom 1\n"
           "I AgentFollowEffect.useNoise 1\n";
});

} // namespace

} // namespace Content
} // namespace Vostrel
