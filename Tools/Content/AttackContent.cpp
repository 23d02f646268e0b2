// The attack part's files: "data/Models/con2.sce" and "con3.lwo": a tower
// of glass panels round a core (layers 0 and 1, each panel with its own
// corners so it can fly off alone), cables (layer 10), lit signs (11) and
// a base (12).
#include "Tools/Content/ContentWriter.h"
#include "Tools/Content/Lwo2Writer.h"
#include "Tools/Content/SceneBuilder.h"
#include "Tools/Content/ToolkitContent.h"

#include <cmath>

namespace Vostrel {
namespace Content {

namespace {

const float pi = 3.14159265f;

Lwo2Layer faceLayer(int number)
{
    Lwo2Layer layer;
    layer.number = number;
    layer.polygonLists.emplace_back();
    return layer;
}

// Four new points, turned so the front (clockwise) faces along outward.
void addPanel(Lwo2Layer& layer, Vec3 a, Vec3 b, Vec3 c, Vec3 d, const Vec3& outward)
{
    if (dot(cross(b - a, c - a), outward) < 0.0f)
        std::swap(b, d);
    const uint32_t first = static_cast<uint32_t>(layer.points.size());
    for (const Vec3& p : {a, b, c, d})
        layer.points.push_back(p);
    layer.polygonLists[0].polygons.push_back({first, first + 1, first + 2, first + 3});
    layer.polygonLists[0].surfaceTags.push_back(0);
}

// Panels on a cylinder round the y axis, each a little smaller than its cell.
Lwo2Layer cylinderPanels(int number, float radius, int around, int rows, float rowHeight, float gap, float twist)
{
    Lwo2Layer layer = faceLayer(number);
    for (int row = 0; row < rows; ++row)
        for (int i = 0; i < around; ++i) {
            const float a0 = (i + gap + twist * row) * 2.0f * pi / around;
            const float a1 = (i + 1 - gap + twist * row) * 2.0f * pi / around;
            const float y0 = row * rowHeight + gap * rowHeight, y1 = (row + 1) * rowHeight - gap * rowHeight;
            auto at = [&](float a, float y) { return Vec3(radius * std::cos(a), y, radius * std::sin(a)); };
            const float middle = 0.5f * (a0 + a1);
            addPanel(layer, at(a0, y0), at(a0, y1), at(a1, y1), at(a1, y0),
                     Vec3(std::cos(middle), 0.0f, std::sin(middle)));
        }
    return layer;
}

Lwo2Layer cables()
{
    Lwo2Layer layer;
    layer.number = 10;
    Lwo2PolygonList list;
    list.kind = Lwo2PolygonKind::CURV;
    for (int c = 0; c < 10; ++c) {
        const float a = c * 2.0f * pi / 10;
        std::vector<uint32_t> curve;
        for (int i = 0; i <= 12; ++i) {
            const float s = i / 12.0f;
            const float r = 1.0f + 4.0f * s, y = 6.0f - 6.5f * s + 2.0f * s * (1.0f - s);
            curve.push_back(static_cast<uint32_t>(layer.points.size()));
            layer.points.push_back(Vec3(r * std::cos(a + s), y, r * std::sin(a + s)));
        }
        list.polygons.push_back(curve);
    }
    list.surfaceTags.assign(list.polygons.size(), 0);
    layer.polygonLists.push_back(list);
    return layer;
}

Lwo2Layer signs()
{
    Lwo2Layer layer = faceLayer(11);
    for (int i = 0; i < 6; ++i) {
        const float a = i * 2.0f * pi / 6 + 0.3f, y = 0.8f + 0.9f * i;
        const Vec3 centre(3.4f * std::cos(a), y, 3.4f * std::sin(a));
        const Vec3 along(-std::sin(a) * 0.5f, 0.0f, std::cos(a) * 0.5f), up(0.0f, 0.12f, 0.0f);
        addPanel(layer, centre - along - up, centre - along + up, centre + along + up, centre + along - up,
                 Vec3(std::cos(a), 0.0f, std::sin(a)));
    }
    return layer;
}

Lwo2Layer base()
{
    std::vector<Lwo2Layer> pieces;
    pieces.push_back(texturedBox(12, Vec3(-2.6f, -0.6f, -2.6f), Vec3(2.6f, -0.2f, 2.6f)));
    for (int i = 0; i < 4; ++i) {
        const float a = i * pi * 0.5f + pi * 0.25f;
        const Vec3 c(4.5f * std::cos(a), 0.0f, 4.5f * std::sin(a));
        pieces.push_back(texturedBox(12, c - Vec3(0.4f, 0.6f, 0.4f), c + Vec3(0.4f, 3.0f, 0.4f)));
    }
    return mergeLayers(12, pieces);
}

void writeCon2Scene(const std::string& root)
{
    SceneBuilder b;
    b.camera("Camera", 1, 2.6f).target(2);
    b.envelope("x", {{0.0f, 10.0f}, {16.0f, 3.0f}, {32.0f, -9.0f}, {48.0f, -4.0f}});
    b.envelope("y", {{0.0f, 7.0f}, {20.0f, 4.0f}, {48.0f, 9.0f}});
    b.envelope("z", {{0.0f, -8.0f}, {16.0f, -11.0f}, {32.0f, -6.0f}, {48.0f, 9.0f}});
    b.constant("bank", 0.0f);
    b.null("CameraTarget", 2).position(0.0f, 2.8f, 0.0f).rotation(0, 0, 0);
    b.light("Light", 3, 0, 1.0f, 1.0f, 1.0f).position(5.0f, 7.0f, 3.0f);
    int id = 10;
    for (int layer : {1, 2, 11, 12, 13}) {
        b.mesh("con3:Layer" + std::to_string(layer), id++, "data/Models/con3.lwo", layer)
            .position(0, 0, 0)
            .rotation(0, 0, 0);
        if (layer == 1)
            b.envelope("heading", {{0.0f, 0.0f}, {48.0f, 1.5f}});
    }
    b.write(prepareOutputPath(root, "data/Models/con2.sce"));
}

const RegisterContentWriter attackWriter("attack", [](const std::string& root) {
    writeLwo2(prepareOutputPath(root, "data/Models/con3.lwo"),
              objectOf({cylinderPanels(0, 2.0f, 14, 9, 0.7f, 0.06f, 0.25f), cylinderPanels(1, 1.0f, 8, 12, 0.5f, 0.1f, 0.0f),
                        cables(), signs(), base()}));
    writeCon2Scene(root);
});

} // namespace

} // namespace Content
} // namespace Vostrel
