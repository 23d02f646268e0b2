#pragma once

#include "Libs/Image/LinePath.h"
#include "Libs/Image/RenderingBuffer.h"
#include "Libs/Math/Vec.h"

#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

class Image;
namespace Core {
class Texture;
}

// A poly-line that a pen traces up to a fraction of its length; what was
// drawn once is not drawn again.
class PolyLine {
public:
    struct Point {
        float x;
        float y;
        int command; // 1 move-to, 2 line-to, 0 stop
    };

    void addPoint(float x, float y, int command);
    // Puts the pen at progress t (0..1) of the length.
    void grow(float t);
    // After the grown piece was emitted, the next stroke starts at the pen.
    void finishEmitted();

    std::vector<Point> points;
    std::vector<float> segmentLengths;
    std::vector<float> cumulativeLengths;
    float totalLength = 0.0f;
    float lastProgress = 0.0f;
    float startX = 0.0f, startY = 0.0f;
    int firstIndex = 0;
    float currentX = 0.0f, currentY = 0.0f;
    int currentIndex = 1;
};

// Splits AGG vertices (unit box) into poly-lines: a move-to starts a line,
// a stop ends it, closing markers go back to the line's first point, and
// lines of one point are dropped.
std::vector<std::unique_ptr<PolyLine>> splitPolyLines(const std::vector<SvgVertex>& vertices);

// The pieces of every line grown since the previous call, as one path.
class IncrementalGrowingPolyLineBatch : public LinePath {
public:
    IncrementalGrowingPolyLineBatch(float width, float height, const std::vector<std::unique_ptr<PolyLine>>& lines,
                                    float progress);
    void rewind() override;
    unsigned advance(double* x, double* y) override;

protected:
    IncrementalGrowingPolyLineBatch(float width, float height, const std::vector<std::unique_ptr<PolyLine>>& lines,
                                    float progress, int reportedLine);
    virtual void place(float x, float y, double* outX, double* outY) const;

private:
    float width;
    float height;
    const std::vector<std::unique_ptr<PolyLine>>& lines;
    float progress;
    std::size_t lineIndex = 0;
    int cursor = 0;
};

// The same batch seen through a centre and a zoom factor.
class IncrementalGrowingPolyLineBatchZooming : public IncrementalGrowingPolyLineBatch {
public:
    IncrementalGrowingPolyLineBatchZooming(const Vec2* offset, const Vec2* zoom, float width, float height,
                                           const std::vector<std::unique_ptr<PolyLine>>& lines, float progress);

protected:
    void place(float x, float y, double* outX, double* outY) const override;

private:
    const Vec2* offset;
    const Vec2* zoom;
};

// A drawing surface over its own image whose SVG paths grow like pen strokes
// into a texture.
class LineDrawing : public RenderingBuffer {
public:
    LineDrawing(int width, int height);
    ~LineDrawing();

    void loadSvg(const std::string& fileName);
    void draw(float progress, float lineWidth, const Vec4& color);
    // Strokes with the pattern image scaled to the line width.
    void drawScaled(float progress, Image& pattern, float lineWidth, const Vec4& color);
    void drawZoomed(float progress, float lineWidth, const Vec4& color, const Vec2& centre, const Vec2& zoom);
    Core::Texture* getTexture() const { return texture.get(); }
    using RenderingBuffer::clear;
    const std::vector<std::unique_ptr<PolyLine>>& getLines() const { return lines; }

private:
    void upload();

    std::unique_ptr<Image> image;
    std::unique_ptr<Core::Texture> texture;
    std::vector<std::unique_ptr<PolyLine>> lines;
};

} // namespace Vostrel
