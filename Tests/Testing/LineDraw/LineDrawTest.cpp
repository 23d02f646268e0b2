#include "Libs/Testing/LineDraw/LineDraw.h"
#include "Tests/Support/HeadlessCore.h"
#include "Tests/Support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>

namespace Vostrel {
namespace {

struct Emitted {
    double x;
    double y;
    unsigned command;
    bool operator==(const Emitted& o) const
    {
        return std::abs(x - o.x) < 1e-4 && std::abs(y - o.y) < 1e-4 && command == o.command;
    }
};

std::ostream& operator<<(std::ostream& out, const Emitted& e)
{
    return out << "(" << e.x << ", " << e.y << ", " << e.command << ")";
}

std::vector<Emitted> drain(LinePath& path)
{
    std::vector<Emitted> out;
    path.rewind();
    double x, y;
    while (unsigned command = path.advance(&x, &y)) {
        out.push_back({x, y, command});
        if (out.size() > 1000)
            break;
    }
    return out;
}

std::vector<std::unique_ptr<PolyLine>> lines(const std::vector<SvgVertex>& vertices)
{
    return splitPolyLines(vertices);
}

TEST(PolyLineBatch, GrowsIncrementallyAlongTheLength)
{
    // One straight line of length 10 in a 1 x 1 output.
    auto set = lines({{0, 0, 1}, {10, 0, 2}, {0, 0, 0}});
    ASSERT_EQ(set.size(), 1u);
    EXPECT_FLOAT_EQ(set[0]->totalLength, 10.0f);
    {
        IncrementalGrowingPolyLineBatch half(1, 1, set, 0.5f);
        EXPECT_EQ(drain(half), (std::vector<Emitted>{{0, 0, 1}, {5, 0, 2}}));
    }
    {
        IncrementalGrowingPolyLineBatch more(1, 1, set, 0.75f);
        EXPECT_EQ(drain(more), (std::vector<Emitted>{{5, 0, 1}, {7.5, 0, 2}}));
    }
    {
        // A lower progress starts the line again from its first point.
        IncrementalGrowingPolyLineBatch again(2, 3, set, 0.25f);
        EXPECT_EQ(drain(again), (std::vector<Emitted>{{0, 0, 1}, {5, 0, 2}}));
    }
}

TEST(PolyLineBatch, WalksCornersAndEveryLine)
{
    // An L of lengths 3 and 4, then a second line; corners are passed through.
    auto set = lines({{0, 0, 1}, {3, 0, 2}, {3, 4, 2}, {1, 1, 1}, {1, 2, 2}, {0, 0, 0}});
    ASSERT_EQ(set.size(), 2u);
    IncrementalGrowingPolyLineBatch batch(1, 1, set, 5.0f / 7.0f);
    EXPECT_EQ(drain(batch), (std::vector<Emitted>{{0, 0, 1}, {3, 0, 2}, {3, 2, 2}, {1, 1, 1}, {1, 1 + 5.0 / 7.0, 2}}));
}

TEST(PolyLineSplit, ClosesPolygonsAndDropsSinglePoints)
{
    const int endPolygonClosed = 0x4F;
    auto set = lines({{5, 5, 1}, {0, 0, 1}, {1, 0, 2}, {1, 1, 2}, {0, 0, endPolygonClosed}, {0, 0, 0}, {0, 0, 0}});
    ASSERT_EQ(set.size(), 1u) << "the lone move-to is no line";
    const std::vector<PolyLine::Point>& points = set[0]->points;
    ASSERT_EQ(points.size(), 5u);
    EXPECT_EQ(points[3].x, 0.0f);
    EXPECT_EQ(points[3].y, 0.0f);
    EXPECT_EQ(points[4].command, 0);
    EXPECT_FLOAT_EQ(set[0]->totalLength, 2.0f + std::sqrt(2.0f));
    // Repeated points make segments of no length; the pen stays finite.
    auto still = lines({{1, 1, 1}, {1, 1, 2}, {1, 1, 2}, {0, 0, 0}});
    ASSERT_EQ(still.size(), 1u);
    still[0]->grow(0.5f);
    EXPECT_EQ(still[0]->currentX, 1.0f);
    EXPECT_EQ(still[0]->currentY, 1.0f);
}

TEST(PolyLineBatch, EmptyListsAreRefusedFromTheirFixedLines)
{
    std::vector<std::unique_ptr<PolyLine>> none;
    Vec2 offset, zoom(1.0f, 1.0f);
    struct Case {
        std::function<void()> make;
        int line;
    } cases[] = {
        {[&] { IncrementalGrowingPolyLineBatch batch(1, 1, none, 0.5f); }, 412},
        {[&] { IncrementalGrowingPolyLineBatchZooming batch(&offset, &zoom, 1, 1, none, 0.5f); }, 484},
    };
    for (const Case& c : cases) {
        try {
            c.make();
            ADD_FAILURE() << "no exception";
        } catch (const Exception& e) {
            EXPECT_EQ(e.report(), "Libs\\Testing\\LineDraw.cpp(" + std::to_string(c.line) +
                                      "): !lines.empty() does not hold.");
        }
    }
}

TEST(PolyLineBatch, ZoomingMapsThroughOffsetAndZoom)
{
    auto set = lines({{0.5f, 0.5f, 1}, {1, 0.5f, 2}, {0, 0, 0}});
    Vec2 zoom(2.0f, 4.0f);
    Vec2 offset(0.5f * zoom[0] - 0.5f, 0.5f * zoom[1] - 0.5f);
    IncrementalGrowingPolyLineBatchZooming batch(&offset, &zoom, 100, 10, set, 1.0f);
    // The centre maps to the middle of the output.
    EXPECT_EQ(drain(batch), (std::vector<Emitted>{{50, 5, 1}, {150, 5, 2}}));
}

class LineDrawingPixels : public TestSupport::HeadlessCoreTest {};

TEST_F(LineDrawingPixels, ProgressCoversTheMatchingPartOfAStroke)
{
    VostrelTest::TempDir dir;
    // A horizontal bar across a square drawing; the unit box maps it across.
    const std::string svg = dir.write("line.svg",
        "<svg width=\"100\" height=\"100\"><path d=\"M0 50 L100 50\" stroke=\"#ffffff\" stroke-width=\"2\"/></svg>");
    LineDrawing drawing(128, 128);
    drawing.loadSvg(svg);
    ASSERT_EQ(drawing.getLines().size(), 1u);
    const PolyLine& line = *drawing.getLines()[0];
    const float row = line.points[0].y * 128.0f;
    const float x0 = line.points[0].x * 128.0f;
    const float x1 = line.points[1].x * 128.0f;
    auto lit = [&](float x) {
        const uint8_t* pixel = static_cast<const uint8_t*>(drawing.getPixels()) +
                               (static_cast<int>(row) * 128 + static_cast<int>(x)) * 4;
        return pixel[3] > 128;
    };
    const Vec4 white(1, 1, 1, 1);
    drawing.draw(std::nanf(""), 3.0f, white);
    EXPECT_FALSE(lit(x0 + 0.25f * (x1 - x0)));
    drawing.draw(0.5f, 3.0f, white);
    EXPECT_TRUE(lit(x0 + 0.25f * (x1 - x0)));
    EXPECT_FALSE(lit(x0 + 0.6f * (x1 - x0)));
    drawing.draw(0.75f, 3.0f, white);
    EXPECT_TRUE(lit(x0 + 0.6f * (x1 - x0)));
    EXPECT_FALSE(lit(x0 + 0.85f * (x1 - x0)));
    drawing.draw(2.0f, 3.0f, white);
    EXPECT_TRUE(lit(x0 + 0.95f * (x1 - x0)));
    EXPECT_NE(drawing.getTexture(), nullptr);
}

} // namespace
} // namespace Vostrel
