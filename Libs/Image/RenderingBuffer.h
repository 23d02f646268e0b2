#pragma once

#include "Libs/Image/LinePath.h"
#include "Libs/Math/Vec.h"

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

class Image;

// One outline point of an SVG document: the AGG path command with it.
struct SvgVertex {
    float x;
    float y;
    int command;
};

// Anti-aliased 2-D drawing into caller-owned 32-bit BGRA pixels (rows top
// to bottom, stride width × 4): strokes, SVG documents and text.
class RenderingBuffer {
public:
    RenderingBuffer(int width, int height, void* pixels);
    RenderingBuffer(RenderingBuffer&&) noexcept;
    RenderingBuffer& operator=(RenderingBuffer&&) noexcept;
    ~RenderingBuffer();

    void attach(int width, int height, void* pixels);
    int getWidth() const;
    int getHeight() const;
    void* getPixels() const;

    // Colours are red, green, blue, alpha in 0..1.
    void setColor(const Vec4& color) { colour = color; }
    void setColor(float r, float g, float b, float a) { colour = Vec4(r, g, b, a); }
    void setTextColor(const Vec4& color) { textColour = color; }
    void setTextColor(float r, float g, float b, float a) { textColour = Vec4(r, g, b, a); }
    void setLineJoin(int join) { lineJoin = join; }
    void clear(const Vec4& color);
    void clear(float r, float g, float b, float a) { clear(Vec4(r, g, b, a)); }

    void strokePath(LinePath& source, double lineWidth);
    // A line whose body is the 4-channel pattern image; with scale set the
    // pattern is resampled to the line width.
    void drawScaledSource(LinePath& source, Image& pattern, float lineWidth, bool scale);

    int loadFont(const std::string& fileName);
    // The bytes must outlive the buffer.
    int loadFontFromMemory(const unsigned char* bytes, size_t size);
    // -1 selects the built-in vector font.
    void setFont(int id);
    void setFontSize(float size);
    void setFontTransform(float xx, float yx, float xy, float yy);
    // The vector font takes x, y as fractions of the buffer, a face as pixels.
    void drawText(float x, float y, float strokeWidth, const char* text);

    void loadSvgFile(const std::string& fileName);
    void loadSvgFromMemory(const char* bytes, size_t length);
    Vec2 getSvgSize();
    void getSvgSize(Vec2& size) { size = getSvgSize(); }
    void drawSvg(float x, float y, float opacity, float scale, float rotation, float expansion, float gamma);
    // The outlines scaled uniformly into the unit box with the margin around.
    void getSvgPaths(std::vector<SvgVertex>& vertices, double margin);

private:
    struct State;
    void ensureFontRenderer();

    std::unique_ptr<State> state;
    Vec4 textColour{0.0f, 0.0f, 0.0f, 0.0f};
    Vec4 colour{1.0f, 1.0f, 1.0f, 1.0f};
    int lineCap = 2;
    int lineJoin = 0;
};

} // namespace Vostrel
