#include "Libs/Common/Exception.h"
#include "Libs/Image/RenderingBuffer.h"
#include "Libs/Image/SvgParser.h"

#include "Tests/Support/TempDir.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <fstream>
#include <tuple>

using namespace agg::svg;

namespace {

typedef std::tuple<unsigned, double, double> V;

std::vector<V> verticesOf(path_renderer& store)
{
    std::vector<V> result;
    for (unsigned i = 0; i < store.storage().total_vertices(); ++i) {
        double x, y;
        const unsigned cmd = store.storage().vertex(i, &x, &y);
        result.emplace_back(cmd, agg::is_vertex(cmd) ? x : 0.0, agg::is_vertex(cmd) ? y : 0.0);
    }
    return result;
}

std::string pathError(const char* data)
{
    path_renderer store;
    path_tokenizer tokens;
    tokens.set_path_str(data);
    try {
        store.parse_path(tokens);
    } catch (const exception& e) {
        return e.msg();
    }
    return "";
}

std::string parse(path_renderer& store, const std::string& document)
{
    try {
        parser(store).parse_svg_memory(document.data(), document.size());
    } catch (const exception& e) {
        return e.msg();
    }
    return "";
}

} // namespace

TEST(SvgPathData, VerticesAndRefusals)
{
    struct Case {
        const char* data;
        std::vector<V> vertices;
    } cases[] = {
        {"M 10 20 30 40", {V(1, 10, 20), V(1, 30, 40)}},
        {"M0,0 h 10 v 10 z", {V(1, 0, 0), V(2, 10, 0), V(2, 10, 10), V(0x4F, 0, 0)}},
        {"M0-5", {V(1, 0, -5)}},
        {"M 1e2 3 l 1 1 Q 1 2 3 4", {V(1, 100, 3), V(2, 101, 4), V(3, 1, 2), V(3, 3, 4)}},
        {"m 1 1 c 1 0 2 0 3 3", {V(1, 1, 1), V(4, 2, 1), V(4, 3, 1), V(4, 4, 4)}},
    };
    for (const Case& c : cases) {
        path_renderer store;
        path_tokenizer tokens;
        tokens.set_path_str(c.data);
        store.parse_path(tokens);
        EXPECT_EQ(verticesOf(store), c.vertices) << c.data;
    }
    EXPECT_EQ(pathError("M 0 0 L 10"), "parse_path: Unexpected end of path");
    EXPECT_EQ(pathError("M 0 0 L 10 M 5 5"), "parse_path: Command L: bad or missing parameters");
    EXPECT_EQ(pathError("M 0 # 1"), "path_tokenizer::next : Invalid Character #");
    EXPECT_EQ(pathError("M 0 \x1b 1"), "path_tokenizer::next : Invalid Character \\x1b");
    EXPECT_EQ(pathError("10 20"), "parse_path: Invalid Command ");
    EXPECT_EQ(pathError("M 0 0 A 1 1"), "parse_path: Command A: NOT IMPLEMENTED YET");
    EXPECT_EQ(pathError("M 0 0 T 1 1"), "curve3(x, y) : NOT IMPLEMENTED YET");
    EXPECT_EQ(pathError("M 1e400 0"), "path_tokenizer::next : Number out of range: 1e400");
    EXPECT_EQ(pathError("M 2e7 0"), "path_renderer: Coordinate out of range: 2e+07, 0");
}

TEST(SvgParser, StylesGroupsAndShapes)
{
    path_renderer store;
    ASSERT_EQ(parse(store, "<svg><g fill='red'><rect width='2' height='3'/>"
                           "<g transform='translate(5 0) scale(2)'><line x2='1' y2='1'/></g></g>"
                           "<polygon points='0,0 10,0 10,10'/><polyline points='0,0 10,0 10,10' "
                           "style='fill: #ff0000 ; stroke:none;' fill-opacity='0.5' stroke-width='3'/>"
                           "<rect width='0' height='4' fill-opacity='2'/><path d='M0 0' fill-opacity='0.5' fill='blue'/>"
                           "<unknown fill='nonsense'/></svg>"),
              "");
    ASSERT_EQ(store.attribute_count(), 6u);
    EXPECT_EQ(store.attribute(0).fill_color.r, 255);
    EXPECT_EQ(store.attribute(1).fill_color.r, 255);
    double x = 1, y = 1;
    store.attribute(1).transform.transform(&x, &y);
    EXPECT_EQ(std::make_pair(x, y), std::make_pair(7.0, 2.0)); // scale first, then the translation
    EXPECT_EQ(store.attribute(2).fill_color.r, 0);            // back to the default after the group
    EXPECT_EQ(verticesOf(store)[store.attribute(2).index + 3], V(0x4F, 0, 0));
    const path_attributes& polyline = store.attribute(3);
    EXPECT_EQ(polyline.fill_color.r, 255);
    EXPECT_EQ(polyline.fill_color.a, 128);
    EXPECT_TRUE(polyline.stroke_flag); // the later stroke-width turns stroking back on
    EXPECT_EQ(std::get<0>(verticesOf(store)[store.attribute(4).index - 2]), 2u) << "the polyline stays open";
    EXPECT_EQ(store.attribute(4).fill_color.a, 255);
    EXPECT_EQ(store.attribute(5).fill_color.a, 255); // fill after fill-opacity takes the colour's alpha

    const agg::rgba8 fff = parser::parse_color("#fff");
    EXPECT_EQ(std::make_tuple(fff.r, fff.g, fff.b), std::make_tuple(0, 15, 255));
    const agg::rgba8 named = parser::parse_color("  lightgoldenrodyellow");
    EXPECT_EQ(std::make_tuple(named.r, named.g, named.b), std::make_tuple(250, 250, 210));
}

TEST(SvgParser, Refusals)
{
    const std::pair<const char*, const char*> cases[] = {
        {"<svg><path d='M0 0'><path d='M1 1'/></path></svg>", "start_element: Nested path"},
        {"<svg><rect width='-1' height='5'/></svg>", "parse_rect: Invalid width: -1.000000"},
        {"<svg><polyline points='0,0 10'/></svg>", "parse_poly: Odd number of coordinates"},
        {"<svg><polyline points='3'/></svg>", "parse_poly: Too few coordinates"},
        {"<svg><g transform='rotate(30 10)'/></svg>", "parse_rotate: Invalid number of arguments"},
        {"<svg><g transform='matrix(1 2 3)'/></svg>", "parse_matrix: Invalid number of arguments"},
        {"<svg><g transform='translate()'/></svg>", "parse_translate: Invalid number of arguments"},
        {"<svg><g transform='scale(2'/></svg>", "parse_transform_args: Invalid syntax"},
        {"<svg><g fill='#'/></svg>", "parse_color: Invalid color '#'"},
        {"<svg><g fill='reddish'/></svg>", "parse_color: Invalid color name 'reddish'"},
        {"<svg><g fill='red\x7f\xc3\xa9'/></svg>", "parse_color: Invalid color name 'red\\x7f\\xc3\\xa9'"},
        {"<svg><g stroke-width='1e999'/></svg>", "Number out of range: inf"},
        {"<svg><g transform='scale(1e6) scale(1e6) scale(1e6)'/></svg>", "parse_transform: Transform out of range"},
        {"<svg><g>", "no element found at line 1\n"},
    };
    for (const auto& c : cases) {
        path_renderer store;
        EXPECT_EQ(parse(store, c.first), c.second) << c.first;
    }
}

namespace {

// Alpha of a document drawn by the engine and by rsvg-convert.
void renderBoth(const std::string& svg, int w, int h, std::vector<int>& ours, std::vector<int>& reference)
{
    VostrelTest::TempDir dir;
    const std::string file = dir.write("d.svg", svg);
    const std::string command = "rsvg-convert -w " + std::to_string(w) + " -h " + std::to_string(h) + " " + file +
                                " -o " + dir.file("r.png") + " && convert " + dir.file("r.png") +
                                " -depth 8 rgba:" + dir.file("r.rgba");
    ASSERT_EQ(std::system(command.c_str()), 0);
    std::ifstream in(dir.file("r.rgba"), std::ios::binary);
    std::string bytes((std::istreambuf_iterator<char>(in)), {});
    ASSERT_EQ(bytes.size(), static_cast<size_t>(w * h * 4));
    std::vector<uint32_t> pixels(w * h, 0);
    Vostrel::RenderingBuffer buffer(w, h, pixels.data());
    buffer.loadSvgFile(file);
    buffer.drawSvg(0, 0, 1, 1, 0, 0, 1);
    for (int i = 0; i < w * h; ++i) {
        ours.push_back(static_cast<int>(pixels[i] >> 24));
        reference.push_back(static_cast<unsigned char>(bytes[i * 4 + 3]));
    }
}

} // namespace

TEST(SvgRendering, CoverageAgreesWithRsvg)
{
    const std::string svg =
        "<svg xmlns='http://www.w3.org/2000/svg' width='64' height='48'>"
        "<rect x='0' y='0' width='64' height='48' fill='none' stroke='none'/>"
        "<g transform='translate(4,2) rotate(15 20 20)'><polygon points='2,2 40,6 20,38' fill='red'/></g>"
        "<path d='M 40 40 C 50 20 60 45 62 30 L 62 46 Z' fill='blue' fill-opacity='0.6'/>"
        "<polyline points='2,44 20,30 30,44' fill='none' stroke='green' stroke-width='3' "
        "stroke-linejoin='round'/></svg>";
    std::vector<int> ours, reference;
    renderBoth(svg, 64, 48, ours, reference);
    long difference = 0, oursTotal = 0, referenceTotal = 0;
    for (size_t i = 0; i < ours.size(); ++i) {
        difference += std::abs(ours[i] - reference[i]);
        oursTotal += ours[i];
        referenceTotal += reference[i];
    }
    EXPECT_GT(referenceTotal, 255 * 500);
    EXPECT_NEAR(static_cast<double>(oursTotal) / referenceTotal, 1.0, 0.02);
    EXPECT_LT(static_cast<double>(difference) / ours.size(), 3.0); // mean alpha error per pixel
}

TEST(SvgRendering, PlacementOpacityAndPaths)
{
    std::vector<uint32_t> pixels(100 * 50);
    Vostrel::RenderingBuffer buffer(100, 50, pixels.data());
    const std::string doc = "<svg><rect width='100' height='50' fill='white'/></svg>";
    buffer.loadSvgFromMemory(doc.data(), doc.size());
    auto count = [&](uint32_t value) { return std::count(pixels.begin(), pixels.end(), value); };
    auto draw = [&](float x, float opacity, float rotation) {
        std::fill(pixels.begin(), pixels.end(), 0u);
        buffer.drawSvg(x, 0, opacity, 1, rotation, 0, 1);
    };
    draw(0, 1, 0);
    EXPECT_EQ(count(0xFFFFFFFFu), 5000);
    draw(0, 1, 90);
    EXPECT_EQ(count(0xFFFFFFFFu), 2500);
    EXPECT_EQ(pixels[25 * 100 + 25], 0xFFFFFFFFu);
    EXPECT_EQ(pixels[25 * 100 + 24], 0u);
    draw(0.5f, 1, 0);
    EXPECT_EQ(count(0xFFFFFFFFu), 2500);
    EXPECT_EQ(pixels[50], 0xFFFFFFFFu);
    draw(0, 0.5f, 0);
    EXPECT_EQ(pixels[0] >> 24, 128u);
    draw(0, 0, 0);
    EXPECT_EQ(count(0u), 5000);

    const std::string wide = "<svg><rect width='200' height='100'/></svg>";
    buffer.loadSvgFromMemory(wide.data(), wide.size());
    for (double margin : {0.0, 10.0}) {
        std::vector<Vostrel::SvgVertex> vertices;
        buffer.getSvgPaths(vertices, margin);
        float lowX = 1, highX = 0, highY = 0;
        for (const Vostrel::SvgVertex& v : vertices)
            if (v.command >= 1 && v.command <= 7) {
                lowX = std::min(lowX, v.x);
                highX = std::max(highX, v.x);
                highY = std::max(highY, v.y);
            }
        EXPECT_FLOAT_EQ(lowX, margin / 220 * (margin > 0) + 0.0f);
        EXPECT_FLOAT_EQ(highX, margin > 0 ? 210.0f / 220 : 1.0f);
        EXPECT_FLOAT_EQ(highY, margin > 0 ? 110.0f / 220 : 0.5f);
        ASSERT_GE(vertices.size(), 2u);
        EXPECT_EQ(vertices.back().command, 0); // one stop closes the walk
        EXPECT_EQ(vertices[vertices.size() - 2].command, 0x4F); // already counter-clockwise: left as it is
    }
    const std::string empty = "<svg/>";
    buffer.loadSvgFromMemory(empty.data(), empty.size());
    EXPECT_EQ(buffer.getSvgSize(), Vec2(-1, -1));
    try {
        buffer.loadSvgFile("/nonexistent.svg");
        FAIL();
    } catch (const Vostrel::Exception& e) {
        EXPECT_EQ(e.message, "Error parsing SVG-file '/nonexistent.svg': Couldn't open file /nonexistent.svg");
    }
}

// Paths filling whole 256-vertex blocks of the path store, read from memory
// and from a file: both windings come out counter-clockwise and draw alike.
TEST(SvgRendering, PathsOfWholeVertexBlocks)
{
    VostrelTest::TempDir dir;
    for (int points : {255, 256, 257, 512}) {
        std::vector<std::vector<uint32_t>> drawn;
        for (bool clockwise : {false, true})
            for (bool fromFile : {false, true}) {
                std::string doc = "<svg width='64' height='64'><path fill='white' d='M";
                for (int i = 0; i < points; ++i) {
                    const double angle = (clockwise ? -2 : 2) * M_PI * i / points;
                    doc += (i == 1 ? " L " : " ") + std::to_string(32 + 30 * std::cos(angle)) + " " +
                           std::to_string(32 + 30 * std::sin(angle));
                }
                doc += "'/></svg>";
                std::vector<uint32_t> pixels(64 * 64);
                Vostrel::RenderingBuffer buffer(64, 64, pixels.data());
                if (fromFile)
                    buffer.loadSvgFile(dir.write("path.svg", doc));
                else
                    buffer.loadSvgFromMemory(doc.data(), doc.size());
                std::vector<Vostrel::SvgVertex> vertices;
                buffer.getSvgPaths(vertices, 0);
                double area = 0;
                for (size_t i = 0; i + 1 < vertices.size() && vertices[i + 1].command; ++i)
                    area += vertices[i].x * vertices[i + 1].y - vertices[i + 1].x * vertices[i].y;
                EXPECT_GT(area, 0) << points << (clockwise ? " clockwise" : "");
                buffer.drawSvg(0, 0, 1, 1, 0, 0, 1);
                EXPECT_EQ(pixels[32 * 64 + 32], 0xFFFFFFFFu) << points;
                drawn.push_back(pixels);
            }
        for (const std::vector<uint32_t>& pixels : drawn)
            EXPECT_EQ(pixels, drawn[0]) << points;
    }
}

// SVG has no miter limit below 1: smaller ones (an empty value reads as 0)
// draw as 1 does, also where two segments run on in one line.
TEST(SvgRendering, MiterLimitsBelowOneActAsOne)
{
    std::vector<std::vector<uint32_t>> drawn;
    for (const char* limit : {"1", "0", "", "0.5"}) {
        const std::string doc = std::string("<svg><path fill='white' stroke='red' stroke-width='3' stroke-miterlimit='") +
                                limit + "' d='M2 2 h10 h10 v10 l-5 3 z'/></svg>";
        std::vector<uint32_t> pixels(32 * 32);
        Vostrel::RenderingBuffer buffer(32, 32, pixels.data());
        buffer.loadSvgFromMemory(doc.data(), doc.size());
        buffer.drawSvg(0, 0, 1, 1, 0, 0.5f, 1);
        drawn.push_back(pixels);
    }
    EXPECT_GT(std::count(drawn[0].begin(), drawn[0].end(), 0xFFFFFFFFu), 50);
    for (const std::vector<uint32_t>& pixels : drawn)
        EXPECT_EQ(pixels, drawn[0]);
}
