// The opening transition's files: the spiky object it loads, the potential
// field, the seed of the simulated field and the texts image laid over it.
#include "Tools/Content/ContentWriter.h"
#include "Tools/Content/JpegWriter.h"
#include "Tools/Content/Lwo2Writer.h"
#include "Tools/Content/ToolkitContent.h"

#include "Libs/Common/Exception.h"

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <memory>

namespace Vostrel {
namespace Content {

namespace {

constexpr float pi = 3.14159265358979f;
const int fieldSize = 512;
const int textsSize = 1024;
// Debian's fonts-dejavu-core.
const char* const textFont = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";

// A star: each face of an octahedron raised to a spike, triangles
// clockwise seen from outside.
Lwo2Object spikey()
{
    Lwo2Layer layer;
    layer.number = 0;
    const Vec3 corners[6] = {{1, 0, 0}, {-1, 0, 0}, {0, 1, 0}, {0, -1, 0}, {0, 0, 1}, {0, 0, -1}};
    layer.points.assign(std::begin(corners), std::end(corners));
    Lwo2PolygonList list;
    auto addTriangle = [&](uint32_t a, uint32_t b, uint32_t c, const Vec3& outward) {
        const Vec3& pa = layer.points[a];
        if (dot(cross(layer.points[b] - pa, layer.points[c] - pa), outward) < 0)
            std::swap(b, c);
        list.polygons.push_back({a, b, c});
        list.surfaceTags.push_back(0);
    };
    for (uint32_t x : {0u, 1u})
        for (uint32_t y : {2u, 3u})
            for (uint32_t z : {4u, 5u}) {
                const Vec3 centre = (layer.points[x] + layer.points[y] + layer.points[z]) * (1.0f / 3.0f);
                const uint32_t apex = static_cast<uint32_t>(layer.points.size());
                layer.points.push_back(normalize(centre) * 2.2f);
                addTriangle(x, y, apex, centre);
                addTriangle(y, z, apex, centre);
                addTriangle(z, x, apex, centre);
            }
    layer.polygonLists.push_back(list);
    Lwo2Object object;
    object.tags = {"Default"};
    object.layers = {layer};
    return object;
}

// A smooth grey landscape of ridges: the field turns faster where it is
// brighter, so the ridges wind the seed's discs into moving bands, and the
// texts lose most light there.
RgbaImage potential()
{
    RgbaImage image(fieldSize, fieldSize);
    for (int y = 0; y < fieldSize; ++y)
        for (int x = 0; x < fieldSize; ++x) {
            const float u = (x + 0.5f) / fieldSize, v = (y + 0.5f) / fieldSize;
            const float du = u - 0.5f, dv = v - 0.5f;
            const float bowl = std::exp(-(du * du + dv * dv) * 5.0f);
            const float ridges = std::sin(2 * pi * (3 * u + 2 * v)) * std::cos(2 * pi * (2 * u - 3 * v));
            const float p = 0.2f + 0.35f * bowl + 0.18f * ridges;
            image.set(x, y, p, p, p);
        }
    return image;
}

// Hard-edged discs and rings of red and green on black: soft edges would
// round away in the 8-bit state.
RgbaImage seed()
{
    RgbaImage image(fieldSize, fieldSize);
    struct Disc {
        float x, y, inner, outer, red, green;
    };
    const Disc discs[] = {{0.50f, 0.50f, 0.00f, 0.42f, 0.30f, 0.15f}, {0.50f, 0.50f, 0.18f, 0.30f, 0.0f, 0.45f},
                          {0.22f, 0.28f, 0.00f, 0.12f, 0.45f, 0.0f},  {0.78f, 0.26f, 0.05f, 0.14f, 0.0f, 0.5f},
                          {0.25f, 0.78f, 0.00f, 0.10f, 0.5f, 0.5f},   {0.80f, 0.76f, 0.04f, 0.13f, 0.45f, 0.2f},
                          {0.50f, 0.50f, 0.00f, 0.06f, 0.5f, 0.0f}};
    for (int y = 0; y < fieldSize; ++y)
        for (int x = 0; x < fieldSize; ++x) {
            const float u = (x + 0.5f) / fieldSize, v = (y + 0.5f) / fieldSize;
            float red = 0, green = 0;
            for (const Disc& disc : discs) {
                const float r = std::sqrt((u - disc.x) * (u - disc.x) + (v - disc.y) * (v - disc.y));
                if (r >= disc.inner && r < disc.outer) {
                    red = disc.red;
                    green = disc.green;
                }
            }
            image.set(x, y, red, green, 0.0f);
        }
    return image;
}

// Text set with FreeType into the image, dark over its light ground. The
// image is stretched to a 4:3 window, so glyphs are set narrower.
class TextSetter {
public:
    TextSetter()
    {
        if (FT_Init_FreeType(&library) != 0)
            VOSTREL_THROW("FreeType does not start");
        if (FT_New_Face(library, textFont, 0, &face) != 0) {
            FT_Done_FreeType(library);
            VOSTREL_THROW("Cannot open the font " << textFont << " (Debian's fonts-dejavu-core provides it)");
        }
    }
    ~TextSetter()
    {
        FT_Done_Face(face);
        FT_Done_FreeType(library);
    }

    // Centred on centreX; baseline at y.
    void write(RgbaImage& image, const std::string& text, int pixels, float centreX, int baseline, const Vec3& ink)
    {
        FT_Set_Char_Size(face, 0, pixels * 64, 54, 72);
        int width = 0;
        for (char c : text)
            if (FT_Load_Char(face, static_cast<unsigned char>(c), FT_LOAD_DEFAULT) == 0)
                width += static_cast<int>(face->glyph->advance.x >> 6);
        int pen = static_cast<int>(centreX) - width / 2;
        for (char c : text) {
            if (FT_Load_Char(face, static_cast<unsigned char>(c), FT_LOAD_RENDER) != 0)
                continue;
            const FT_Bitmap& bitmap = face->glyph->bitmap;
            for (unsigned row = 0; row < bitmap.rows; ++row)
                for (unsigned column = 0; column < bitmap.width; ++column) {
                    const int x = pen + face->glyph->bitmap_left + static_cast<int>(column);
                    const int y = baseline - face->glyph->bitmap_top + static_cast<int>(row);
                    if (x < 0 || y < 0 || x >= image.width || y >= image.height)
                        continue;
                    const float coverage = bitmap.buffer[row * bitmap.pitch + column] / 255.0f;
                    uint8_t* p = image.at(x, y);
                    for (int k = 0; k < 3; ++k)
                        p[k] = static_cast<uint8_t>(std::lround(p[k] * (1 - coverage) + ink[k] * 255 * coverage));
                }
            pen += static_cast<int>(face->glyph->advance.x >> 6);
        }
    }

private:
    FT_Library library = nullptr;
    FT_Face face = nullptr;
};

RgbaImage texts()
{
    RgbaImage image(textsSize, textsSize);
    for (int y = 0; y < textsSize; ++y)
        for (int x = 0; x < textsSize; ++x) {
            const float v = (y + 0.5f) / textsSize, u = (x + 0.5f) / textsSize;
            const float light = 0.80f + 0.12f * std::sin(pi * v) - 0.05f * (u - 0.5f) * (u - 0.5f);
            image.set(x, y, light * 0.97f, light * 0.98f, light);
        }
    // Thin rules frame the words.
    for (int x = 120; x < textsSize - 120; ++x)
        for (int y : {300, 301, 700, 701})
            image.set(x, y, 0.25f, 0.3f, 0.4f);
    TextSetter setter;
    const Vec3 ink(0.1f, 0.13f, 0.22f), soft(0.3f, 0.36f, 0.5f);
    setter.write(image, "VOSTREL", 190, textsSize / 2.0f, 560, ink);
    setter.write(image, "a real-time show", 56, textsSize / 2.0f, 660, soft);
    setter.write(image, "code  music  pictures", 40, textsSize / 2.0f, 250, soft);
    setter.write(image, "made from nothing but code", 40, textsSize / 2.0f, 800, soft);
    return image;
}

void writeJpeg(const std::string& path, const RgbaImage& image)
{
    writeJpegRgba(path, image.width, image.height, image.pixels);
}

const RegisterContentWriter transitionWriter("transition", [](const std::string& root) {
    writeLwo2(prepareOutputPath(root, "data/Models/spikey.lwo"), spikey());
    writeJpeg(prepareOutputPath(root, "data/Textures/potential.jpg"), potential());
    writeJpeg(prepareOutputPath(root, "data/Textures/seed.jpg"), seed());
    writePng(prepareOutputPath(root, "data/Textures/transce_texts.png"), texts());
});

} // namespace

} // namespace Content
} // namespace Vostrel
