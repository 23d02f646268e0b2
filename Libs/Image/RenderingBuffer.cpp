#include "Libs/Image/RenderingBuffer.h"

#include "Libs/Common/Exception.h"
#include "Libs/Image/FontRenderer.h"
#include "Libs/Image/Image.h"
#include "Libs/Image/SvgParser.h"
#include "Libs/Image/SvgPathRenderer.h"

#include <agg_conv_stroke.h>
#include <agg_gamma_functions.h>
#include <agg_gsv_text.h>
#include <agg_pattern_filters_rgba.h>
#include <agg_rasterizer_outline_aa.h>
#include <agg_renderer_outline_image.h>

#include <algorithm>
#include <cmath>
#include <iostream>

namespace Vostrel {

struct RenderingBuffer::State {
    int width = 0;
    int height = 0;
    void* pixels = nullptr;
    float fontTransform[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    std::unique_ptr<FontRenderer> fontRenderer;
    int selectedFont = -1;
    float fontSize = 10.0f;
    agg::rendering_buffer rows;
    agg::svg::path_renderer svgPaths;

    bool drawable() const { return pixels && width > 0 && height > 0; }
};

namespace {

agg::int8u channel(float value)
{
    // Out-of-range components wrap as their low byte; the float-to-int step
    // itself must stay defined.
    const float scaled = std::max(-1e9f, std::min(1e9f, value * 255.0f + 0.5f));
    return static_cast<agg::int8u>(static_cast<int>(scaled) & 0xFF);
}

agg::rgba8 toColor(const Vec4& c)
{
    return agg::rgba8(channel(c[0]), channel(c[1]), channel(c[2]), channel(c[3]));
}

// The line objects as an AGG vertex source. Coordinates are kept where the
// rasterisers' fixed-point conversion stays defined.
class LinePathSource {
public:
    explicit LinePathSource(LinePath& path) : path(path) {}
    void rewind(unsigned) { path.rewind(); }
    unsigned vertex(double* x, double* y)
    {
        const unsigned command = path.advance(x, y);
        *x = limit(*x);
        *y = limit(*y);
        return command;
    }

private:
    static double limit(double v) { return std::isnan(v) ? 0.0 : std::max(-1e6, std::min(1e6, v)); }
    LinePath& path;
};

// A 4-channel image as an AGG line pattern source.
class PatternSource {
public:
    typedef agg::rgba8 color_type;
    explicit PatternSource(Image& image) : image(image) {}
    unsigned width() const { return static_cast<unsigned>(image.getWidth()); }
    unsigned height() const { return static_cast<unsigned>(image.getHeight()); }
    agg::rgba8 pixel(int x, int y) const
    {
        const unsigned char* p = image.getData() + (static_cast<size_t>(y) * image.getWidth() + x) * 4;
        return agg::rgba8(p[2], p[1], p[0], p[3]);
    }

private:
    Image& image;
};

struct Drawing {
    explicit Drawing(agg::rendering_buffer& rows) : format(rows), base(format), solid(base) {}
    agg::pixfmt_bgra32 format;
    agg::renderer_bgra base;
    agg::renderer_bgra_solid solid;
    agg::rasterizer_clipped rasteriser;
    agg::scanline_u8 scanline;
};

} // namespace

RenderingBuffer::RenderingBuffer(int width, int height, void* pixels)
{
    attach(width, height, pixels);
}

RenderingBuffer::RenderingBuffer(RenderingBuffer&&) noexcept = default;
RenderingBuffer& RenderingBuffer::operator=(RenderingBuffer&&) noexcept = default;
RenderingBuffer::~RenderingBuffer() = default;

void RenderingBuffer::attach(int width, int height, void* pixels)
{
    if (!state)
        state.reset(new State);
    VOSTREL_ASSERT(width >= 0 && height >= 0);
    state->width = width;
    state->height = height;
    state->pixels = pixels;
    if (pixels)
        state->rows.attach(static_cast<agg::int8u*>(pixels), width, height, width * 4);
    else
        state->rows.attach(nullptr, 0, 0, 0);
    if (state->fontRenderer)
        state->fontRenderer->setTarget(width, height, pixels);
}

int RenderingBuffer::getWidth() const { return state->width; }
int RenderingBuffer::getHeight() const { return state->height; }
void* RenderingBuffer::getPixels() const { return state->pixels; }

void RenderingBuffer::clear(const Vec4& color)
{
    if (!state->drawable())
        return;
    Drawing drawing(state->rows);
    drawing.base.clear(toColor(color));
}

void RenderingBuffer::strokePath(LinePath& source, double lineWidth)
{
    if (!state->drawable())
        return;
    Drawing drawing(state->rows);
    drawing.rasteriser.clip_box(0, 0, state->width, state->height);
    LinePathSource path(source);
    agg::conv_stroke<LinePathSource> stroke(path);
    stroke.width(lineWidth);
    stroke.line_cap(static_cast<agg::line_cap_e>(lineCap));
    stroke.line_join(lineJoin >= 0 && lineJoin <= 3 ? static_cast<agg::line_join_e>(lineJoin) : agg::miter_join);
    drawing.rasteriser.add_path(stroke);
    drawing.solid.color(toColor(colour));
    agg::render_scanlines(drawing.rasteriser, drawing.scanline, drawing.solid);
}

void RenderingBuffer::drawScaledSource(LinePath& source, Image& pattern, float lineWidth, bool scale)
{
    if (pattern.getChannels() != 4 || pattern.getWidth() <= 0 || pattern.getHeight() <= 0)
        VOSTREL_THROW("drawScaledSource needs a 4-channel pattern, not " << pattern.getWidth() << " x "
                                                                         << pattern.getHeight() << " x "
                                                                         << pattern.getChannels());
    if (scale && !(lineWidth > 0.0f))
        VOSTREL_THROW("drawScaledSource cannot scale a pattern to line width " << lineWidth);
    if (!state->drawable())
        return;
    Drawing drawing(state->rows);
    typedef agg::pattern_filter_bilinear_rgba8 Filter;
    typedef agg::line_image_pattern_pow2<Filter> Pattern;
    typedef agg::renderer_outline_image<agg::renderer_bgra, Pattern> Renderer;
    Filter filter;
    Pattern linePattern(filter);
    PatternSource patternSource(pattern);
    double horizontalScale = 1.0;
    if (scale) {
        agg::line_image_scale<PatternSource> scaled(patternSource, lineWidth);
        linePattern.create(scaled);
        horizontalScale = lineWidth / static_cast<double>(pattern.getHeight());
    } else {
        linePattern.create(patternSource);
    }
    Renderer renderer(drawing.base, linePattern);
    renderer.scale_x(horizontalScale);
    agg::rasterizer_outline_aa<Renderer> rasteriser(renderer);
    LinePathSource path(source);
    rasteriser.add_path(path);
}

void RenderingBuffer::ensureFontRenderer()
{
    if (!state->fontRenderer)
        state->fontRenderer.reset(FontRenderer::create(state->width, state->height, state->pixels));
}

int RenderingBuffer::loadFont(const std::string& fileName)
{
    ensureFontRenderer();
    return state->fontRenderer->loadFace(fileName.c_str());
}

int RenderingBuffer::loadFontFromMemory(const unsigned char* bytes, size_t size)
{
    ensureFontRenderer();
    return state->fontRenderer->loadFaceFromMemory(bytes, size);
}

void RenderingBuffer::setFont(int id)
{
    if (!state->fontRenderer) {
        if (id != -1)
            VOSTREL_THROW("RenderingBuffer::setFont() failed: no fonts loaded");
        state->selectedFont = -1;
        return;
    }
    // Stored before the renderer has its say: a refused id stays selected.
    state->selectedFont = id;
    state->fontRenderer->selectFace(id);
}

void RenderingBuffer::setFontSize(float size)
{
    state->fontSize = size;
    ensureFontRenderer();
    state->fontRenderer->setCharSize(static_cast<int>(size), 72, 72);
}

void RenderingBuffer::setFontTransform(float xx, float yx, float xy, float yy)
{
    state->fontTransform[0] = xx;
    state->fontTransform[1] = yx;
    state->fontTransform[2] = xy;
    state->fontTransform[3] = yy;
}

void RenderingBuffer::drawText(float x, float y, float strokeWidth, const char* text)
{
    if (state->selectedFont != -1) {
        ensureFontRenderer();
        const float offset[2] = {x, y};
        state->fontRenderer->setTransform(state->fontTransform, offset);
        state->fontRenderer->drawText(text);
        return;
    }
    if (!state->drawable())
        return;
    Drawing drawing(state->rows);
    drawing.rasteriser.clip_box(0, 0, state->width, state->height);
    agg::gsv_text glyphs;
    glyphs.size(state->fontSize);
    glyphs.flip(true);
    glyphs.start_point(x * state->width, y * state->height);
    glyphs.text(text);
    agg::conv_stroke<agg::gsv_text> outline(glyphs);
    outline.width(strokeWidth);
    outline.line_cap(agg::round_cap);
    drawing.rasteriser.add_path(outline);
    drawing.solid.color(toColor(textColour));
    agg::render_scanlines(drawing.rasteriser, drawing.scanline, drawing.solid);
}

void RenderingBuffer::loadSvgFile(const std::string& fileName)
{
    state->svgPaths.remove_all();
    try {
        agg::svg::parser parser(state->svgPaths);
        parser.parse_svg_file(fileName.c_str());
    } catch (const agg::svg::exception& error) {
        VOSTREL_THROW("Error parsing SVG-file '" << fileName << "': " << error.msg());
    }
    state->svgPaths.arrange_orientations(agg::path_flags_ccw);
}

void RenderingBuffer::loadSvgFromMemory(const char* bytes, size_t length)
{
    state->svgPaths.remove_all();
    try {
        agg::svg::parser parser(state->svgPaths);
        parser.parse_svg_memory(bytes, length);
    } catch (const agg::svg::exception& error) {
        VOSTREL_THROW("Error parsing SVG-input: " << error.msg());
    }
    state->svgPaths.arrange_orientations(agg::path_flags_ccw);
}

Vec2 RenderingBuffer::getSvgSize()
{
    double x1, y1, x2, y2;
    state->svgPaths.bounding_rect(&x1, &y1, &x2, &y2);
    return Vec2(static_cast<float>(x2 - x1), static_cast<float>(y2 - y1));
}

void RenderingBuffer::drawSvg(float x, float y, float opacity, float scale, float rotation, float expansion,
                              float gamma)
{
    if (!state->drawable())
        return;
    Drawing drawing(state->rows);
    const double px = state->width * static_cast<double>(x);
    const double py = state->height * static_cast<double>(y);
    double x1, y1, x2, y2;
    state->svgPaths.bounding_rect(&x1, &y1, &x2, &y2);
    const double cx = (x1 + x2) / 2.0, cy = (y1 + y2) / 2.0;
    drawing.rasteriser.gamma(agg::gamma_power(gamma));
    agg::trans_affine transform = agg::trans_affine_translation(-cx, -cy);
    transform *= agg::trans_affine_scaling(scale, scale);
    transform *= agg::trans_affine_rotation(rotation * agg::pi / 180.0);
    transform *= agg::trans_affine_translation(cx + px, cy + py);
    state->svgPaths.expand(expansion);
    state->svgPaths.render(drawing.rasteriser, drawing.scanline, drawing.solid, transform,
                           agg::rect_i(0, 0, state->width - 1, state->height - 1), opacity);
}

void RenderingBuffer::getSvgPaths(std::vector<SvgVertex>& vertices, double margin)
{
    const Vec2 bbox = getSvgSize();
    VOSTREL_ASSERT(!(bbox[0] == 0 && bbox[1] == 0));
    const double scale = 1.0 / (std::max(bbox[0], bbox[1]) + margin + margin);
    const float offset = static_cast<float>(scale * margin);
    vertices.clear();
    agg::path_storage& storage = state->svgPaths.storage();
    std::cout << "[getSvgPaths] Converting paths to vertices"
              << "\n  - Total vertices: " << storage.total_vertices() << "\n  - Bounding box:   (" << bbox[0]
              << " " << bbox[1] << ")"
              << "\n  - Uniform scale:  " << scale << "\n";
    agg::conv_curve<agg::path_storage> curved(storage);
    curved.rewind(0);
    double minX = 0.0, minY = 0.0;
    bool haveMin = false;
    bool lastWasStop = false;
    for (;;) {
        double vx, vy;
        const unsigned command = curved.vertex(&vx, &vy);
        if (agg::is_stop(command)) {
            if (lastWasStop)
                break;
            lastWasStop = true;
        } else {
            lastWasStop = false;
        }
        vertices.push_back(SvgVertex{static_cast<float>(vx), static_cast<float>(vy), static_cast<int>(command)});
        if (command >= 1 && command <= 7) {
            minX = haveMin ? std::min(minX, vx) : vx;
            minY = haveMin ? std::min(minY, vy) : vy;
            haveMin = true;
        }
    }
    for (SvgVertex& vertex : vertices) {
        if (vertex.command >= 1 && vertex.command <= 7) {
            vertex.x = static_cast<float>((vertex.x - minX) * scale + offset);
            vertex.y = static_cast<float>((vertex.y - minY) * scale + offset);
        }
    }
    std::cout << "  - Generated " << vertices.size() << " vertices\n";
}

} // namespace Vostrel
