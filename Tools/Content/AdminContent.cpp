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
#include <cstdint>
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

// The direction through a point (s, t) in -1..1 of a cube face, faces in
// the order +x, -x, +y, -y, +z, -z, s along a row, t down the rows: the
// face layout Direct3D and OpenGL share.
Vec3 cubeDirection(int face, float s, float t)
{
    switch (face) {
    case 0: return Vec3(1, -t, -s);
    case 1: return Vec3(-1, -t, s);
    case 2: return Vec3(s, 1, t);
    case 3: return Vec3(s, -1, -t);
    case 4: return Vec3(s, -t, 1);
    default: return Vec3(-s, -t, -1);
    }
}

float smooth(float low, float high, float x)
{
    const float k = std::clamp((x - low) / (high - low), 0.0f, 1.0f);
    return k * k * (3 - 2 * k);
}

Vec3 mix(const Vec3& a, const Vec3& b, float k) { return a * (1 - k) + b * k; }

// Value noise in 0..1 on an integer lattice, smoothly interpolated.
float lattice(int x, int y)
{
    uint32_t h = static_cast<uint32_t>(x) * 374761393u + static_cast<uint32_t>(y) * 668265263u;
    h = (h ^ (h >> 13)) * 1274126177u;
    return static_cast<float>((h ^ (h >> 16)) & 0xffffu) / 65535.0f;
}

float valueNoise(float x, float y)
{
    const float fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    const float u = smooth(0, 1, x - fx), v = smooth(0, 1, y - fy);
    const float top = lattice(ix, iy) * (1 - u) + lattice(ix + 1, iy) * u;
    const float bottom = lattice(ix, iy + 1) * (1 - u) + lattice(ix + 1, iy + 1) * u;
    return top * (1 - v) + bottom * v;
}

float clouds(float x, float y)
{
    float sum = 0, weight = 0.5f;
    for (int octave = 0; octave < 4; ++octave, x *= 2.1f, y *= 2.1f, weight *= 0.5f)
        sum += weight * valueNoise(x, y);
    return sum / 0.9375f;
}

// The evening sky in a direction: a dark blue zenith over a warm horizon
// that glows most under the low sun, faint streaks of cloud lit from below,
// and a dark sea with the sun's path on it. The sun stands low behind the
// camera, where the columns' and beams' front faces mirror it.
Vec3 sunsetSky(const Vec3& direction)
{
    const Vec3 d = normalize(direction);
    const Vec3 sun = normalize(Vec3(-0.3f, 0.06f, -1.0f));
    const float height = d[1];
    const float flat = std::sqrt(d[0] * d[0] + d[2] * d[2]) + 1e-6f;
    const float sunFlat = std::sqrt(sun[0] * sun[0] + sun[2] * sun[2]);
    const float facing = (d[0] * sun[0] + d[2] * sun[2]) / (flat * sunFlat);
    const float warmth = std::pow(0.5f + 0.5f * facing, 2.0f);
    const Vec3 horizon = mix(Vec3(0.35f, 0.17f, 0.28f), Vec3(0.9f, 0.58f, 0.28f), warmth);
    const float angle = std::acos(std::clamp(dot(d, sun), -1.0f, 1.0f));
    const Vec3 sunColour(1.0f, 0.72f, 0.42f);
    if (height < 0) {
        // The sea: the horizon's glow fading into the deep, the sun's path
        // running down from under it.
        const float depth = -height;
        Vec3 sea = mix(Vec3(0.02f, 0.03f, 0.07f), horizon * 0.4f, std::exp(-depth / 0.05f));
        const float path = std::exp(-(1 - facing) * 300.0f) * std::exp(-depth / 0.2f);
        return sea + sunColour * (0.4f * path);
    }
    const float band = std::exp(-height / 0.28f);
    Vec3 sky = mix(mix(Vec3(0.07f, 0.11f, 0.3f), Vec3(0.01f, 0.025f, 0.1f), smooth(0.15f, 0.9f, height)), horizon,
                   band);
    // Clouds on a plane above: streaks along x, faint, gone towards the
    // horizon and right overhead.
    const float px = d[0] / (height + 0.1f), pz = d[2] / (height + 0.1f);
    const float cover = smooth(0.52f, 0.8f, clouds(px * 0.9f + 7.0f, pz * 3.2f + 3.0f)) *
                        smooth(0.02f, 0.12f, height) * (1 - smooth(0.85f, 1.0f, height));
    const Vec3 lit = mix(Vec3(0.26f, 0.17f, 0.3f), Vec3(0.95f, 0.55f, 0.35f), warmth * (1 - smooth(0.1f, 0.6f, height)));
    sky = mix(sky, lit, 0.5f * cover);
    const float glow = 0.45f * std::exp(-angle * angle / 0.03f) + 0.15f * std::exp(-angle / 0.4f);
    sky = sky + sunColour * glow;
    const float disc = 1 - smooth(0.035f, 0.045f, angle);
    return mix(sky, Vec3(1.0f, 0.95f, 0.82f), disc);
}

// Six square faces stacked top to bottom, each texel the sky in the
// direction through its centre, so the faces meet without seams.
RgbaImage sunsetStrip(int size)
{
    RgbaImage strip(size, 6 * size);
    for (int face = 0; face < 6; ++face)
        for (int y = 0; y < size; ++y)
            for (int x = 0; x < size; ++x) {
                const Vec3 c = sunsetSky(cubeDirection(face, (x + 0.5f) / size * 2 - 1, (y + 0.5f) / size * 2 - 1));
                strip.set(x, face * size + y, c[0], c[1], c[2]);
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
