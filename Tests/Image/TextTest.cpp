#include "Libs/Common/Exception.h"
#include "Libs/Image/FontRenderer.h"
#include "Libs/Image/Image.h"
#include "Libs/Image/RenderingBuffer.h"

#include "Tests/Image/MessageOf.h"
#include "Tests/Support/TempDir.h"

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <fstream>
#include <cstring>
#include <functional>
#include <memory>
#include <vector>

using namespace Vostrel;
using ImageTesting::messageOf;

namespace {

const char* const fontFile = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";

struct Target {
    Target(int w, int h) : width(w), height(h), pixels(w * h, 0) {}
    int width, height;
    std::vector<uint32_t> pixels;
    size_t lit() const { return pixels.size() - std::count(pixels.begin(), pixels.end(), 0u); }
};

// FreeType's own rendering of one glyph at 20 px, placed as a pen at (px, py)
// in a top-down target of the given height puts it.
std::vector<uint32_t> referenceGlyph(char c, int px, int py, int width, int height)
{
    FT_Library library;
    FT_Face face;
    EXPECT_EQ(FT_Init_FreeType(&library), 0);
    EXPECT_EQ(FT_New_Face(library, fontFile, 0, &face), 0);
    FT_Set_Char_Size(face, 20 * 64, 0, 72, 72);
    FT_Load_Char(face, c, FT_LOAD_RENDER);
    std::vector<uint32_t> out(width * height, 0);
    const FT_Bitmap& bitmap = face->glyph->bitmap;
    for (unsigned r = 0; r < bitmap.rows; ++r)
        for (unsigned k = 0; k < bitmap.width; ++k) {
            const uint32_t v = bitmap.buffer[r * bitmap.pitch + k];
            const int x = px + face->glyph->bitmap_left + static_cast<int>(k);
            const int y = height - (py + face->glyph->bitmap_top) + static_cast<int>(r);
            if (v && x >= 0 && x < width && y >= 0 && y < height)
                out[y * width + x] = v * 0x01010101u;
        }
    FT_Done_Face(face);
    FT_Done_FreeType(library);
    return out;
}

} // namespace

TEST(FontRenderer, GlyphsMatchFreeTypeAndLinesStepDown)
{
    Target target(64, 64);
    std::unique_ptr<FontRenderer> fonts(FontRenderer::create(target.width, target.height, target.pixels.data()));
    EXPECT_EQ(messageOf([&] { fonts->drawText("A"); }), "activeFace && activeFace->face does not hold.");
    const int id = fonts->loadFace(fontFile);
    EXPECT_EQ(messageOf([&] { fonts->selectFace(-1); }), "Invalid font id: -1");
    EXPECT_EQ(messageOf([&] { fonts->selectFace(1); }), "Invalid font id: 1");
    fonts->selectFace(id);
    const float identity[4] = {1, 0, 0, 1};
    const float pen[2] = {10, 40};
    fonts->setTransform(identity, pen);
    fonts->drawText("A");
    EXPECT_EQ(target.pixels, referenceGlyph('A', 10, 40, 64, 64));

    // D after a newline sits one line height lower, back at the origin's x.
    const int lineHeight = fonts->getLineHeight();
    EXPECT_EQ(lineHeight, static_cast<int>((2384 * 0.03125 + 1.0) * 20 / 72)); // DejaVu Sans: height 2384 units
    std::fill(target.pixels.begin(), target.pixels.end(), 0u);
    fonts->drawText("\nD");
    EXPECT_EQ(target.pixels, referenceGlyph('D', 10, 40 - lineHeight, 64, 64));

    int x0, x1, y0, y1, advance;
    ASSERT_TRUE(fonts->measureText('W', &x0, &x1, &y0, &y1, &advance));
    EXPECT_GT(advance, 10);
    EXPECT_LT(x0, x1);

    // Far outside: nothing drawn.
    std::fill(target.pixels.begin(), target.pixels.end(), 0u);
    const float away[2] = {-500, 40};
    fonts->setTransform(identity, away);
    fonts->drawText("Hello");
    EXPECT_EQ(target.lit(), 0u);
}

TEST(FontRenderer, ColoursClearAndClipping)
{
    Target plain(40, 30), white(40, 30), tinted(40, 30);
    std::unique_ptr<FontRenderer> fonts(FontRenderer::createDetached());
    fonts->selectFace(fonts->loadFace(fontFile));
    const float identity[4] = {1, 0, 0, 1}, pen[2] = {-6, 8};
    fonts->setTransform(identity, pen);
    fonts->setTarget(plain.width, plain.height, plain.pixels.data());
    fonts->drawText("OK");
    const float one[4] = {1, 1, 1, 1}, red[4] = {1, 0, 0, 0.5f};
    fonts->setColor(one);
    fonts->setTarget(white.width, white.height, white.pixels.data());
    fonts->drawText("OK");
    EXPECT_EQ(plain.pixels, white.pixels);
    EXPECT_GT(plain.lit(), 20u);
    fonts->setColor(red);
    fonts->setTarget(tinted.width, tinted.height, tinted.pixels.data());
    fonts->drawText("OK");
    for (size_t i = 0; i < plain.pixels.size(); ++i) {
        const uint32_t c = plain.pixels[i] & 0xFF;
        ASSERT_EQ(tinted.pixels[i], c ? ((128 * c / 256) << 24 | (256 * c / 256) << 16) : 0u);
    }
    // The "O" is cut at the left edge, not dropped.
    const std::vector<uint32_t> o = referenceGlyph('O', -6, 8, 40, 30);
    for (size_t i = 0; i < o.size(); ++i) {
        if (o[i]) {
            ASSERT_EQ(plain.pixels[i], o[i]) << i;
        }
    }
    const float opaqueBlack[4] = {0, 0, 0, 1};
    fonts->clear(Vec4(opaqueBlack[0], opaqueBlack[1], opaqueBlack[2], opaqueBlack[3]));
    EXPECT_TRUE(std::all_of(tinted.pixels.begin(), tinted.pixels.end(), [](uint32_t p) { return p == 0xFF000000u; }));
    EXPECT_EQ(messageOf([&] { fonts->loadFace("/nonexistent.ttf"); }).rfind(
                  "Loading font face from file /nonexistent.ttf failed, errorcode: ", 0),
              0u);
    const unsigned char junk[16] = {};
    EXPECT_EQ(messageOf([&] { fonts->loadFaceFromMemory(junk, sizeof junk); }).rfind(
                  "Loading font face from memory failed, errorcode: ", 0),
              0u);
}

// The face is read whole before FreeType sees it: the file its name resolves
// to opens, and one that cannot be read says why.
TEST(FontRenderer, FaceFilesResolveTheirNameAndAnUnreadableOneSaysWhy)
{
    VostrelTest::TempDir folder;
    std::ifstream original(fontFile, std::ios::binary);
    std::ofstream(folder.file("Face.TTF"), std::ios::binary) << original.rdbuf();
    std::unique_ptr<FontRenderer> fonts(FontRenderer::createDetached());
    fonts->selectFace(fonts->loadFace(folder.file("face.ttf").c_str()));
    fonts->setCharSize(32 * 64, 72, 72);
    int x0, x1, y0, y1, advance;
    EXPECT_TRUE(fonts->measureText('W', &x0, &x1, &y0, &y1, &advance));

    const std::string memory = folder.file("memory.ttf");
    ASSERT_TRUE(VostrelTest::TempDir::makeUnreadable(memory));
    testing::internal::CaptureStderr();
    EXPECT_EQ(messageOf([&] { fonts->loadFace(memory.c_str()); }),
              "Loading font face from file " + memory + " failed, errorcode: 1");
    EXPECT_EQ(testing::internal::GetCapturedStderr(), memory + ": Input/output error\n");
}

namespace {

class Polyline : public LinePath {
public:
    explicit Polyline(std::vector<std::pair<double, double>> points) : points(std::move(points)) {}
    void rewind() override { next = 0; }
    unsigned advance(double* x, double* y) override
    {
        if (next >= points.size())
            return 0;
        *x = points[next].first;
        *y = points[next].second;
        return next++ == 0 ? 1 : 2;
    }

private:
    std::vector<std::pair<double, double>> points;
    size_t next = 0;
};

} // namespace

TEST(RenderingBuffer, ClearStrokesAndText)
{
    Target target(20, 10);
    RenderingBuffer buffer(target.width, target.height, target.pixels.data());
    buffer.clear(1, 0, 0, 1);
    EXPECT_EQ(target.pixels[0], 0xFFFF0000u); // bytes 0, 0, 255, 255
    buffer.clear(0, 0, 0, 0);

    Polyline line({{4, 5}, {16, 5}});
    buffer.setColor(0, 1, 0, 1);
    buffer.strokePath(line, 2.0);
    EXPECT_EQ(target.pixels[4 * 20 + 10], 0xFF00FF00u);
    EXPECT_EQ(target.pixels[5 * 20 + 10], 0xFF00FF00u);
    EXPECT_EQ(target.pixels[2 * 20 + 10], 0u);
    EXPECT_NE(target.pixels[5 * 20 + 3], 0u); // the round cap reaches past the end
    EXPECT_EQ(target.pixels[5 * 20 + 1], 0u);

    std::unique_ptr<Image> pattern(Image::create(4, 4, 4));
    std::memset(pattern->getData(), 0xFF, 64);
    buffer.clear(0, 0, 0, 0);
    buffer.drawScaledSource(line, *pattern, 4.0f, true);
    EXPECT_EQ(target.pixels[5 * 20 + 10] >> 24, 255u);
    EXPECT_EQ(target.pixels[0], 0u);
    std::unique_ptr<Image> grey(Image::create(4, 4, 1));
    EXPECT_NE(messageOf([&] { buffer.drawScaledSource(line, *grey, 4.0f, true); }), "");

    // The vector font's colour starts transparent.
    buffer.clear(0, 0, 0, 0);
    EXPECT_EQ(messageOf([&] { buffer.setFont(0); }), "RenderingBuffer::setFont() failed: no fonts loaded");
    buffer.drawText(0.1f, 0.8f, 1.0f, "Hi");
    EXPECT_EQ(target.lit(), 0u);
    buffer.setTextColor(1, 1, 1, 1);
    buffer.drawText(0.1f, 0.8f, 1.0f, "Hi");
    EXPECT_GT(target.lit(), 10u);

    Target big(64, 64);
    buffer.attach(big.width, big.height, big.pixels.data());
    buffer.setFont(buffer.loadFont(fontFile));
    buffer.setFontSize(20);
    buffer.drawText(10, 40, 1.0f, "A");
    EXPECT_EQ(big.pixels, referenceGlyph('A', 10, 40, 64, 64));
    EXPECT_EQ(messageOf([&] { buffer.setFont(3); }), "Invalid font id: 3");
    // The refused id stays selected, so text still goes through the font renderer.
    buffer.clear(0, 0, 0, 0);
    buffer.drawText(10, 40, 1.0f, "A");
    EXPECT_EQ(big.pixels, referenceGlyph('A', 10, 40, 64, 64));
    // -1 is handed over as well; once refused, it selects the vector font.
    EXPECT_EQ(messageOf([&] { buffer.setFont(-1); }), "Invalid font id: -1");
    buffer.clear(0, 0, 0, 0);
    buffer.drawText(0.1f, 0.8f, 1.0f, "A");
    EXPECT_GT(big.lit(), 0u);
    EXPECT_NE(big.pixels, referenceGlyph('A', 10, 40, 64, 64));
}
