#include "Libs/Testing/LineDraw/LineDraw.h"

#include "Libs/Common/Exception.h"
#include "Libs/Core/APICore.h"
#include "Libs/Core/Texture.h"
#include "Libs/Image/Image.h"

#include <cmath>

namespace Vostrel {

namespace {

// The drawing's checks have always been reported from these places.
const char* const lineDrawSource = "Libs\\Testing\\LineDraw.cpp";
constexpr int batchCheckLine = 412;
constexpr int zoomingBatchCheckLine = 484;

constexpr int commandStop = 0;
constexpr int commandMoveTo = 1;
constexpr int commandLineTo = 2;
// AGG's end-of-polygon marker and its close flag.
constexpr int commandEndPolygon = 0x0F;
constexpr int closeFlag = 0x40;

} // namespace

void PolyLine::addPoint(float x, float y, int command)
{
    if (command == commandStop) {
        segmentLengths.push_back(0.0f);
        cumulativeLengths.push_back(totalLength);
    } else if (!points.empty()) {
        const Point& last = points.back();
        float d = std::sqrt((x - last.x) * (x - last.x) + (y - last.y) * (y - last.y));
        totalLength += d;
        segmentLengths.push_back(d);
        cumulativeLengths.push_back(totalLength);
    } else {
        segmentLengths.push_back(0.0f);
        cumulativeLengths.push_back(0.0f);
        startX = x;
        startY = y;
    }
    points.push_back({x, y, command});
}

void PolyLine::grow(float t)
{
    if (t < lastProgress) {
        startX = points[0].x;
        startY = points[0].y;
        firstIndex = 0;
        currentX = currentY = 0.0f;
        currentIndex = 1;
        lastProgress = 0.0f;
    }
    const int last = static_cast<int>(points.size()) - 1;
    const float length = t * totalLength;
    while (currentIndex < last && length > cumulativeLengths[currentIndex])
        ++currentIndex;
    const Point& from = points[currentIndex - 1];
    const Point& to = points[currentIndex];
    float f = length - cumulativeLengths[currentIndex - 1];
    if (!(f >= 1e-6f))
        f = 0.0f;
    // A segment of no length has nothing to interpolate.
    f = segmentLengths[currentIndex] > 0.0f ? f / segmentLengths[currentIndex] : 0.0f;
    currentX = from.x + (to.x - from.x) * f;
    currentY = from.y + (to.y - from.y) * f;
    lastProgress = t;
}

void PolyLine::finishEmitted()
{
    if (firstIndex + 1 < currentIndex)
        firstIndex = currentIndex - 1;
    startX = currentX;
    startY = currentY;
}

std::vector<std::unique_ptr<PolyLine>> splitPolyLines(const std::vector<SvgVertex>& vertices)
{
    std::vector<std::unique_ptr<PolyLine>> lines;
    std::unique_ptr<PolyLine> line;
    auto finish = [&]() {
        // A line needs two points besides its stop to have a length.
        if (line && line->points.size() >= 3)
            lines.push_back(std::move(line));
        line.reset();
    };
    for (const SvgVertex& vertex : vertices) {
        const int command = vertex.command;
        if ((command & commandEndPolygon) == commandEndPolygon) {
            if (line && (command & closeFlag) && line->points.size() >= 2) {
                const PolyLine::Point first = line->points.front();
                line->addPoint(first.x, first.y, commandLineTo);
            }
            continue;
        }
        if (command == commandStop) {
            if (line) {
                line->addPoint(vertex.x, vertex.y, commandStop);
                finish();
            }
            continue;
        }
        if (command == commandMoveTo && line && !line->points.empty()) {
            line->addPoint(vertex.x, vertex.y, commandStop);
            finish();
        }
        if (!line)
            line = std::make_unique<PolyLine>();
        line->addPoint(vertex.x, vertex.y, line->points.empty() ? commandMoveTo : commandLineTo);
    }
    if (line) {
        const PolyLine::Point last = line->points.back();
        line->addPoint(last.x, last.y, commandStop);
        finish();
    }
    return lines;
}

IncrementalGrowingPolyLineBatch::IncrementalGrowingPolyLineBatch(
    float width, float height, const std::vector<std::unique_ptr<PolyLine>>& lines, float progress)
    : IncrementalGrowingPolyLineBatch(width, height, lines, progress, batchCheckLine)
{
}

IncrementalGrowingPolyLineBatch::IncrementalGrowingPolyLineBatch(
    float width, float height, const std::vector<std::unique_ptr<PolyLine>>& lines, float progress, int reportedLine)
    : width(width), height(height), lines(lines), progress(progress)
{
    VOSTREL_ASSERT_FROM(lineDrawSource, reportedLine, !lines.empty());
    lines[0]->grow(progress);
    cursor = lines[0]->firstIndex;
}

void IncrementalGrowingPolyLineBatch::place(float x, float y, double* outX, double* outY) const
{
    *outX = static_cast<double>(x) * width;
    *outY = static_cast<double>(y) * height;
}

void IncrementalGrowingPolyLineBatch::rewind()
{
    if (lineIndex < lines.size())
        cursor = lines[lineIndex]->firstIndex;
}

unsigned IncrementalGrowingPolyLineBatch::advance(double* x, double* y)
{
    while (lineIndex < lines.size()) {
        PolyLine& line = *lines[lineIndex];
        if (cursor == line.firstIndex) {
            place(line.startX, line.startY, x, y);
            ++cursor;
            return commandMoveTo;
        }
        if (cursor == line.currentIndex) {
            place(line.currentX, line.currentY, x, y);
            ++cursor;
            return commandLineTo;
        }
        if (cursor < line.currentIndex) {
            const PolyLine::Point& point = line.points[cursor];
            place(point.x, point.y, x, y);
            ++cursor;
            // A stop inside the grown piece would end the whole path.
            return point.command == commandStop ? commandLineTo : static_cast<unsigned>(point.command);
        }
        line.finishEmitted();
        if (++lineIndex >= lines.size())
            break;
        lines[lineIndex]->grow(progress);
        cursor = lines[lineIndex]->firstIndex;
    }
    return commandStop;
}

IncrementalGrowingPolyLineBatchZooming::IncrementalGrowingPolyLineBatchZooming(
    const Vec2* offset, const Vec2* zoom, float width, float height,
    const std::vector<std::unique_ptr<PolyLine>>& lines, float progress)
    : IncrementalGrowingPolyLineBatch(width, height, lines, progress, zoomingBatchCheckLine),
      offset(offset), zoom(zoom)
{
}

void IncrementalGrowingPolyLineBatchZooming::place(float x, float y, double* outX, double* outY) const
{
    double width = 0.0, height = 0.0;
    IncrementalGrowingPolyLineBatch::place(1.0f, 1.0f, &width, &height);
    *outX = (static_cast<double>((*zoom)[0]) * x - (*offset)[0]) * width;
    *outY = (static_cast<double>((*zoom)[1]) * y - (*offset)[1]) * height;
}

namespace {

float clampProgress(float progress)
{
    if (!(progress > 0.0f))
        return 0.0f;
    return progress > 1.0f ? 1.0f : progress;
}

} // namespace

LineDrawing::LineDrawing(int width, int height)
    : RenderingBuffer(width, height, nullptr)
{
    image.reset(Image::create(width, height, 4));
    Core::TextureParameters parameters;
    parameters.width = width;
    parameters.height = height;
    texture.reset(image->createTexture2D(&parameters));
    attach(width, height, image->getData());
    clear(Vec4(0.0f, 0.0f, 0.0f, 0.0f));
}

LineDrawing::~LineDrawing() = default;

void LineDrawing::loadSvg(const std::string& fileName)
{
    loadSvgFile(fileName);
    std::vector<SvgVertex> vertices;
    getSvgPaths(vertices, 10.0);
    lines = splitPolyLines(vertices);
}

void LineDrawing::upload()
{
    texture->update(0, image->getData());
}

void LineDrawing::draw(float progress, float lineWidth, const Vec4& color)
{
    setColor(color);
    IncrementalGrowingPolyLineBatch batch(static_cast<float>(getWidth()), static_cast<float>(getHeight()), lines,
                                          clampProgress(progress));
    strokePath(batch, lineWidth);
    upload();
}

void LineDrawing::drawScaled(float progress, Image& pattern, float lineWidth, const Vec4& color)
{
    setColor(color);
    IncrementalGrowingPolyLineBatch batch(static_cast<float>(getWidth()), static_cast<float>(getHeight()), lines,
                                          clampProgress(progress));
    drawScaledSource(batch, pattern, lineWidth, true);
    upload();
}

void LineDrawing::drawZoomed(float progress, float lineWidth, const Vec4& color, const Vec2& centre,
                             const Vec2& zoom)
{
    setColor(color);
    const Vec2 offset(centre[0] * zoom[0] - 0.5f, centre[1] * zoom[1] - 0.5f);
    IncrementalGrowingPolyLineBatchZooming batch(&offset, &zoom, static_cast<float>(getWidth()),
                                                 static_cast<float>(getHeight()), lines, clampProgress(progress));
    strokePath(batch, lineWidth);
    upload();
}

} // namespace Vostrel
