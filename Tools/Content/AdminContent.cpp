// The admin part's files: its scene of columns and arches around the video
// screen, the sunset cube strip they reflect, the panel's text and frame.
#include "Libs/Common/Exception.h"
#include "Tools/Content/ContentWriter.h"
#include "Tools/Content/JpegWriter.h"
#include "Tools/Content/Lwo2Writer.h"
#include "Tools/Content/SceneBuilder.h"
#include "Tools/Content/ToolkitContent.h"

#include <algorithm>
#include <cmath>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace Vostrel {
namespace Content {

namespace {

constexpr float sceneLength = 1.6f;

void writeText(const std::string& path, const std::string& text)
{
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    if (!out)
        VOSTREL_THROW("Cannot write " << path);
}

// Six square faces stacked top to bottom: an evening sky over a dark sea,
// the sun low on two of the side faces. Face order +x, -x, +y, -y, +z, -z.
RgbaImage sunsetStrip(int size)
{
    RgbaImage strip(size, 6 * size);
    for (int face = 0; face < 6; ++face)
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const float u = (x + 0.5f) / size * 2 - 1, v = (y + 0.5f) / size * 2 - 1;
                // Height above the horizon: v runs down on the side faces.
                float h = -v;
                if (face == 2)
                    h = 1.0f - 0.3f * std::sqrt(u * u + v * v);
                else if (face == 3)
                    h = -1.0f;
                float r, g, b;
                if (h >= 0) {
                    const float k = std::min(h * 1.4f, 1.0f);
                    r = 1.0f - 0.7f * k;
                    g = 0.5f - 0.3f * k;
                    b = 0.25f + 0.25f * k;
                } else {
                    const float k = std::min(-h * 2.0f, 1.0f);
                    r = 0.5f * (1 - k) + 0.08f * k;
                    g = 0.25f * (1 - k) + 0.1f * k;
                    b = 0.2f * (1 - k) + 0.25f * k;
                }
                if (face == 0 || face == 4) {
                    const float d = std::sqrt(u * u + (v - 0.15f) * (v - 0.15f));
                    const float sun = std::exp(-d * d * 40.0f);
                    r = std::min(1.0f, r + sun);
                    g = std::min(1.0f, g + 0.85f * sun);
                    b = std::min(1.0f, b + 0.5f * sun);
                }
                strip.set(x, face * size + y, r, g, b);
            }
    return strip;
}

// Layer 0: a column with base and capital; layer 1: an arch beam; layer 2:
// the floor.
Lwo2Object architectureObject()
{
    const std::vector<Lwo2Layer> column = {
        texturedBox(0, Vec3(-0.6f, 0, -0.6f), Vec3(0.6f, 0.3f, 0.6f)),
        texturedBox(0, Vec3(-0.35f, 0.3f, -0.35f), Vec3(0.35f, 5.2f, 0.35f)),
        texturedBox(0, Vec3(-0.55f, 5.2f, -0.55f), Vec3(0.55f, 5.5f, 0.55f)),
    };
    const std::vector<Lwo2Layer> beam = {texturedBox(1, Vec3(-4.6f, 0, -0.5f), Vec3(4.6f, 0.6f, 0.5f))};
    const std::vector<Lwo2Layer> floor = {texturedBox(2, Vec3(-12, -0.3f, -12), Vec3(12, 0, 12))};
    return objectOf({mergeLayers(0, column), mergeLayers(1, beam), mergeLayers(2, floor)});
}

// The panel's frame: corner brackets, rules and a dark window for the text.
std::string adminFrame()
{
    std::ostringstream svg;
    svg << "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"1024\" height=\"1024\">\n"
           "<g stroke=\"#ffb060\" fill=\"none\" stroke-width=\"8\">\n"
           "<path d=\"M30 180 L30 30 L180 30 M844 30 L994 30 L994 180 M994 844 L994 994 L844 994 M180 994 "
           "L30 994 L30 844\" stroke-width=\"18\"/>\n"
           "<rect x=\"220\" y=\"130\" width=\"700\" height=\"700\" stroke=\"#ffd8a0\" stroke-width=\"4\"/>\n"
           "<line x1=\"60\" y1=\"900\" x2=\"964\" y2=\"900\"/>\n"
           "<polyline points=\"60,950 300,950 340,920 700,920\" stroke=\"#ffe0c0\"/>\n"
           "</g>\n"
           "<g fill=\"#c06020\" fill-opacity=\"0.9\">\n";
    for (int i = 0; i < 8; ++i)
        svg << "<rect x=\"60\" y=\"" << 140 + 90 * i << "\" width=\"" << 60 + (i * 37) % 80
            << "\" height=\"40\"/>\n";
    svg << "</g>\n"
           "<polygon points=\"940,480 980,520 940,560\" fill=\"#ffffff\"/>\n"
           "</svg>\n";
    return svg.str();
}

void writeAdminScene(const std::string& path)
{
    SceneBuilder b;
    b.null("Camera2 target", 2).position(0, 2.6f, 4.0f).rotation(0, 0, 0);
    b.camera("Camera2", 1)
        .envelope("x", {{0, -3.5f}, {sceneLength, 2.5f}})
        .envelope("y", {{0, 3.8f}, {sceneLength, 2.6f}})
        .envelope("z", {{0, -9.0f}, {sceneLength, -6.5f}})
        .envelope("zoomFactor", {{0, 2.6f}, {sceneLength, 3.0f}})
        .constant("bank", 0.0f)
        .target(2);
    b.light("Light", 3, 0, 1, 1, 1).position(5, 7, 3);
    // The video screen hangs where this object is; it has no geometry of its own.
    b.mesh("kuutio", 4).position(0, 2.8f, 5.0f).envelope("heading", {{0, 0}, {sceneLength, 0.5f}})
        .constant("pitch", 0).constant("bank", 0);
    int id = 10;
    for (int side = -1; side <= 1; side += 2)
        for (int k = 0; k < 4; ++k)
            b.mesh("architecture column " + std::to_string(id), id, "data/Models/admin.lwo", 1)
                .position(side * 4.5f, 0, -2.0f + 4.0f * k)
                .rotation(0, 0, 0), ++id;
    for (int k = 0; k < 4; ++k)
        b.mesh("architecture beam " + std::to_string(id), id, "data/Models/admin.lwo", 2)
            .position(0, 5.5f, -2.0f + 4.0f * k)
            .rotation(0, 0, 0), ++id;
    b.mesh("architecture floor", id++, "data/Models/admin.lwo", 3).position(0, 0, 4).rotation(0, 0, 0);
    // The lit text quad, standing to the right of the screen.
    b.mesh("quad:Layer1 (6)", id++, "data/Models/quad.lwo", 1)
        .position(3.0f, 2.2f, 2.5f)
        .rotation(0.35f, 0, 0)
        .scale(2.4f, 2.4f, 1);
    b.mesh("TextPanel1", id++)
        .position(-3.6f, -2.2f, 3.0f)
        .rotation(0, 0, 0)
        .constant("sx", 2.2f)
        .constant("sy", 2.2f)
        .constant("sz", 1.0f);
    b.write(path);
}

void writeAdminContent(const std::string& root)
{
    writeAdminScene(prepareOutputPath(root, "data/Models/admineffect.sce"));
    writeLwo2(prepareOutputPath(root, "data/Models/admin.lwo"), architectureObject());
    const RgbaImage strip = sunsetStrip(128);
    writeJpegRgba(prepareOutputPath(root, "data/Textures/sunset.jpg"), strip.width, strip.height, strip.pixels);
    writeText(prepareOutputPath(root, "admin.txt"), panelText("ADMIN / ROOT ACCESS", 40));
    writeText(prepareOutputPath(root, "data/Textures/adminFrame.svg"), adminFrame());
}

const RegisterContentWriter adminWriter("admin", writeAdminContent);

const RegisterPropertySection adminKeys("AdminEffect", [] {
    return "S AdminEffect.textPanel1param \"TextPanel1\"\n"
           "S AdminEffect.textPanel1text \"admin.txt\"\n"
           "S AdminEffect.textPanel1image \"data/Textures/adminFrame.svg\"\n";
});

} // namespace

} // namespace Content
} // namespace Vostrel
