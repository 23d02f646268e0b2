#include "Libs/Image/SvgPathRenderer.h"

#include "Libs/Common/StringUtils.h"

#include <agg_bounding_rect.h>

#include <algorithm>
#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace agg {
namespace svg {

exception::exception(const char* format, ...)
{
    if (!format)
        return;
    char buffer[4096];
    va_list arguments;
    va_start(arguments, format);
    std::vsnprintf(buffer, sizeof buffer, format, arguments);
    va_end(arguments);
    message = buffer;
}

// ---------------------------------------------------------------- tokenizer

namespace {
const char separators[] = " ,\t\n\r";
const char commands[] = "+-MmZzLlHhVvCcSsQqTtAaFfPp";
const char numeric[] = ".Ee0123456789";
} // namespace

path_tokenizer::path_tokenizer()
{
    init_char_mask(m_commands_mask, commands);
    init_char_mask(m_numeric_mask, numeric);
    init_char_mask(m_separators_mask, separators);
}

void path_tokenizer::init_char_mask(char* mask, const char* chars)
{
    std::memset(mask, 0, 256 / 8);
    for (; *chars; ++chars) {
        const unsigned c = static_cast<unsigned char>(*chars);
        mask[c >> 3] |= 1 << (c & 7);
    }
}

void path_tokenizer::set_path_str(const char* str)
{
    m_path = str;
    m_last_command = 0;
    m_last_number = 0.0;
}

bool path_tokenizer::next()
{
    if (!m_path)
        return false;
    while (*m_path && !is_command(static_cast<unsigned char>(*m_path)) &&
           !is_numeric(static_cast<unsigned char>(*m_path))) {
        if (!is_separator(static_cast<unsigned char>(*m_path)))
            throw exception("path_tokenizer::next : Invalid Character %s",
                            Vostrel::StringUtils::printable(std::string(1, *m_path)).c_str());
        ++m_path;
    }
    if (*m_path == 0)
        return false;
    if (is_command(static_cast<unsigned char>(*m_path))) {
        if (*m_path != '-' && *m_path != '+') {
            m_last_command = *m_path++;
            while (*m_path && is_separator(static_cast<unsigned char>(*m_path)))
                ++m_path;
            if (*m_path == 0)
                return true;
        }
    }
    return parse_number();
}

bool path_tokenizer::parse_number()
{
    char buffer[256];
    char* end = buffer + sizeof buffer - 1;
    char* out = buffer;
    while (out < end && (*m_path == '-' || *m_path == '+'))
        *out++ = *m_path++;
    while (out < end && is_numeric(static_cast<unsigned char>(*m_path)))
        *out++ = *m_path++;
    *out = 0;
    m_last_number = std::atof(buffer);
    if (!std::isfinite(m_last_number))
        throw exception("path_tokenizer::next : Number out of range: %s", buffer);
    return true;
}

double path_tokenizer::next(char cmd)
{
    if (!next())
        throw exception("parse_path: Unexpected end of path");
    if (last_command() != cmd)
        throw exception("parse_path: Command %c: bad or missing parameters", cmd);
    return last_number();
}

// ------------------------------------------------------------ path renderer

path_renderer::path_renderer() = default;

void path_renderer::remove_all()
{
    m_storage.remove_all();
    m_attr_storage.clear();
    m_attr_stack.clear();
    m_transform.reset();
}

void path_renderer::begin_path()
{
    push_attr();
    const unsigned index = m_storage.start_new_path();
    m_attr_storage.push_back(cur_attr());
    m_attr_storage.back().index = index;
}

void path_renderer::end_path()
{
    if (m_attr_storage.empty())
        throw exception("end_path : The path was not begun");
    path_attributes attr = cur_attr();
    const unsigned index = m_attr_storage.back().index;
    m_attr_storage.back() = attr;
    m_attr_storage.back().index = index;
    pop_attr();
}

void path_renderer::push_attr()
{
    if (m_attr_stack.empty())
        m_attr_stack.push_back(path_attributes());
    else
        m_attr_stack.push_back(m_attr_stack.back());
}

void path_renderer::pop_attr()
{
    if (m_attr_stack.empty())
        throw exception("pop_attr : Attribute stack is empty");
    m_attr_stack.pop_back();
}

path_attributes& path_renderer::cur_attr()
{
    if (m_attr_stack.empty())
        throw exception("cur_attr : Attribute stack is empty");
    return m_attr_stack.back();
}

namespace {
int8u alpha_of(double op)
{
    return static_cast<int8u>(std::min(std::max(op, 0.0), 1.0) * 255.0 + 0.5);
}
} // namespace

void path_renderer::fill(const rgba8& color)
{
    path_attributes& attr = cur_attr();
    attr.fill_color = color;
    attr.fill_flag = true;
}

void path_renderer::stroke(const rgba8& color)
{
    path_attributes& attr = cur_attr();
    attr.stroke_color = color;
    attr.stroke_flag = true;
}

void path_renderer::fill_none() { cur_attr().fill_flag = false; }
void path_renderer::stroke_none() { cur_attr().stroke_flag = false; }
void path_renderer::even_odd(bool flag) { cur_attr().even_odd_flag = flag; }

void path_renderer::stroke_width(double w)
{
    path_attributes& attr = cur_attr();
    attr.stroke_width = w;
    attr.stroke_flag = true;
}

void path_renderer::fill_opacity(double op) { cur_attr().fill_color.a = alpha_of(op); }
void path_renderer::stroke_opacity(double op) { cur_attr().stroke_color.a = alpha_of(op); }
void path_renderer::line_join(line_join_e join) { cur_attr().line_join = join; }
void path_renderer::line_cap(line_cap_e cap) { cur_attr().line_cap = cap; }
void path_renderer::miter_limit(double ml) { cur_attr().miter_limit = ml; }
trans_affine& path_renderer::transform() { return cur_attr().transform; }

void path_renderer::check(double x, double y) const
{
    if (!(std::fabs(x) <= max_coordinate && std::fabs(y) <= max_coordinate))
        throw exception("path_renderer: Coordinate out of range: %g, %g", x, y);
}

void path_renderer::add_vertex(double x, double y, unsigned cmd, bool rel)
{
    if (rel)
        m_storage.rel_to_abs(&x, &y);
    check(x, y);
    if (cmd == path_cmd_move_to)
        m_storage.move_to(x, y);
    else
        m_storage.line_to(x, y);
}

void path_renderer::move_to(double x, double y, bool rel) { add_vertex(x, y, path_cmd_move_to, rel); }
void path_renderer::line_to(double x, double y, bool rel) { add_vertex(x, y, path_cmd_line_to, rel); }

void path_renderer::hline_to(double x, bool rel)
{
    double x2 = 0.0, y2 = 0.0;
    if (m_storage.total_vertices()) {
        m_storage.vertex(m_storage.total_vertices() - 1, &x2, &y2);
        if (rel)
            x += x2;
        line_to(x, y2);
    }
}

void path_renderer::vline_to(double y, bool rel)
{
    double x2 = 0.0, y2 = 0.0;
    if (m_storage.total_vertices()) {
        m_storage.vertex(m_storage.total_vertices() - 1, &x2, &y2);
        if (rel)
            y += y2;
        line_to(x2, y);
    }
}

void path_renderer::curve3(double x1, double y1, double x, double y, bool rel)
{
    if (rel) {
        m_storage.rel_to_abs(&x1, &y1);
        m_storage.rel_to_abs(&x, &y);
    }
    check(x1, y1);
    check(x, y);
    m_storage.curve3(x1, y1, x, y);
}

void path_renderer::curve3(double, double, bool)
{
    throw exception("curve3(x, y) : NOT IMPLEMENTED YET");
}

void path_renderer::curve4(double x1, double y1, double x2, double y2, double x, double y, bool rel)
{
    if (rel) {
        m_storage.rel_to_abs(&x1, &y1);
        m_storage.rel_to_abs(&x2, &y2);
        m_storage.rel_to_abs(&x, &y);
    }
    check(x1, y1);
    check(x2, y2);
    check(x, y);
    m_storage.curve4(x1, y1, x2, y2, x, y);
}

void path_renderer::curve4(double, double, double, double, bool)
{
    throw exception("curve4(x2, y2, x, y) : NOT IMPLEMENTED YET");
}

void path_renderer::close_subpath() { m_storage.end_poly(path_flags_close); }

void path_renderer::parse_path(path_tokenizer& tok)
{
    while (tok.next()) {
        double arg[10];
        const char cmd = tok.last_command();
        switch (cmd) {
        case 'M': case 'm':
            arg[0] = tok.last_number();
            arg[1] = tok.next(cmd);
            move_to(arg[0], arg[1], cmd == 'm');
            break;
        case 'L': case 'l':
            arg[0] = tok.last_number();
            arg[1] = tok.next(cmd);
            line_to(arg[0], arg[1], cmd == 'l');
            break;
        case 'V': case 'v':
            vline_to(tok.last_number(), cmd == 'v');
            break;
        case 'H': case 'h':
            hline_to(tok.last_number(), cmd == 'h');
            break;
        case 'Q': case 'q':
            arg[0] = tok.last_number();
            for (int i = 1; i < 4; ++i)
                arg[i] = tok.next(cmd);
            curve3(arg[0], arg[1], arg[2], arg[3], cmd == 'q');
            break;
        case 'T': case 't':
            arg[0] = tok.last_number();
            arg[1] = tok.next(cmd);
            curve3(arg[0], arg[1], cmd == 't');
            break;
        case 'C': case 'c':
            arg[0] = tok.last_number();
            for (int i = 1; i < 6; ++i)
                arg[i] = tok.next(cmd);
            curve4(arg[0], arg[1], arg[2], arg[3], arg[4], arg[5], cmd == 'c');
            break;
        case 'S': case 's':
            arg[0] = tok.last_number();
            for (int i = 1; i < 4; ++i)
                arg[i] = tok.next(cmd);
            curve4(arg[0], arg[1], arg[2], arg[3], cmd == 's');
            break;
        case 'A': case 'a':
            throw exception("parse_path: Command A: NOT IMPLEMENTED YET");
        case 'Z': case 'z':
            close_subpath();
            break;
        default:
            throw exception("parse_path: Invalid Command %c", cmd);
        }
    }
}

// AGG's arrange_orientations_all_paths reads the command after a path's last
// vertex even when there is none, past the end of a full 256-vertex block;
// this is the same walk, stopping at the last vertex.
void path_renderer::arrange_orientations(path_flags_e orientation)
{
    if (orientation == path_flags_none)
        return;
    const unsigned total = m_storage.total_vertices();
    unsigned start = 0;
    while (start < total) {
        start = m_storage.arrange_polygon_orientation(start, orientation);
        if (start < total && is_stop(m_storage.command(start)))
            ++start;
    }
}

void path_renderer::bounding_rect(double* x1, double* y1, double* x2, double* y2)
{
    *x1 = *y1 = 1.0;
    *x2 = *y2 = 0.0;
    bool first = true;
    conv_curve<path_storage> curved(m_storage);
    for (const path_attributes& attr : m_attr_storage) {
        trans_affine mtx = attr.transform;
        conv_transform<conv_curve<path_storage>> transformed(curved, mtx);
        transformed.rewind(attr.index);
        double x, y;
        unsigned cmd;
        while (!is_stop(cmd = transformed.vertex(&x, &y))) {
            if (!is_vertex(cmd))
                continue;
            if (first) {
                *x1 = *x2 = x;
                *y1 = *y2 = y;
                first = false;
            } else {
                *x1 = std::min(*x1, x);
                *y1 = std::min(*y1, y);
                *x2 = std::max(*x2, x);
                *y2 = std::max(*y2, y);
            }
        }
    }
}

namespace {

// Device extent of a path's control points under a transform, widened by
// the given margin in path units; false when it is not usable.
bool extent_reasonable(path_storage& storage, unsigned index, const trans_affine& mtx, double margin)
{
    // Far beyond any buffer: flattening such a path would take unbounded time.
    const double limit = 1e6;
    const double scale = mtx.scale();
    const double grow = std::fabs(margin) * scale;
    if (!std::isfinite(grow) || grow > limit)
        return false;
    storage.rewind(index);
    double x, y;
    unsigned cmd;
    while (!is_stop(cmd = storage.vertex(&x, &y))) {
        if (!is_vertex(cmd))
            continue;
        mtx.transform(&x, &y);
        if (!(std::fabs(x) + grow <= limit && std::fabs(y) + grow <= limit))
            return false;
    }
    return true;
}

rgba8 with_opacity(rgba8 color, double opacity)
{
    color.a = alpha_of(color.a / 255.0 * opacity);
    return color;
}

} // namespace

void path_renderer::render(rasterizer_clipped& ras, scanline_u8& sl, renderer_bgra_solid& ren,
                           const trans_affine& mtx, const rect_i& cb, double opacity)
{
    // The box names pixels; the rasteriser clips at their outer edges, else
    // the last column and row would never be covered.
    ras.clip_box(cb.x1, cb.y1, cb.x2 + 1.0, cb.y2 + 1.0);
    conv_curve<path_storage> curved(m_storage);
    conv_stroke<conv_curve<path_storage>> curved_stroked(curved);
    conv_transform<conv_stroke<conv_curve<path_storage>>> curved_stroked_trans(curved_stroked, m_transform);
    conv_transform<conv_curve<path_storage>> curved_trans(curved, m_transform);
    conv_contour<conv_transform<conv_curve<path_storage>>> curved_trans_contour(curved_trans);
    curved_trans_contour.auto_detect_orientation(false);

    for (const path_attributes& attr : m_attr_storage) {
        m_transform = attr.transform;
        m_transform *= mtx;
        const double a = (m_transform.sx + m_transform.shx) * 0.707106781;
        const double b = (m_transform.shy + m_transform.sy) * 0.707106781;
        const double s = std::sqrt(a * a + b * b);
        curved.approximation_scale(std::pow(s, 0.75));
        curved_trans_contour.width(m_expand);

        // SVG has no miter limit below 1; below it AGG's miter of two
        // collinear segments divides zero by zero.
        const double miterLimit = std::max(1.0, attr.miter_limit);
        const double margin = std::max(attr.fill_flag ? std::fabs(m_expand) : 0.0,
                                       attr.stroke_flag ? attr.stroke_width * miterLimit : 0.0);
        if (!extent_reasonable(m_storage, attr.index, m_transform, margin))
            continue;

        if (attr.fill_flag) {
            ras.reset();
            ras.filling_rule(attr.even_odd_flag ? fill_even_odd : fill_non_zero);
            if (std::fabs(m_expand) < 0.0001) {
                ras.add_path(curved_trans, attr.index);
            } else {
                curved_trans_contour.miter_limit(miterLimit);
                ras.add_path(curved_trans_contour, attr.index);
            }
            ren.color(with_opacity(attr.fill_color, opacity));
            render_scanlines(ras, sl, ren);
        }

        if (attr.stroke_flag) {
            curved_stroked.width(attr.stroke_width);
            curved_stroked.line_join(attr.line_join);
            curved_stroked.line_cap(attr.line_cap);
            curved_stroked.miter_limit(miterLimit);
            ras.reset();
            ras.filling_rule(fill_non_zero);
            ras.add_path(curved_stroked_trans, attr.index);
            ren.color(with_opacity(attr.stroke_color, opacity));
            render_scanlines(ras, sl, ren);
        }
    }
}

} // namespace svg
} // namespace agg
