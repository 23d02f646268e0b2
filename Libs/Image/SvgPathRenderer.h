#pragma once

// The store of an imported SVG document: paths with their styles and
// transforms, path-data interpretation, and drawing through AGG.

#include <agg_color_rgba.h>
#include <agg_conv_contour.h>
#include <agg_conv_curve.h>
#include <agg_conv_stroke.h>
#include <agg_conv_transform.h>
#include <agg_path_storage.h>
#include <agg_pixfmt_rgba.h>
#include <agg_rasterizer_scanline_aa.h>
#include <agg_renderer_base.h>
#include <agg_renderer_scanline.h>
#include <agg_scanline_u.h>
#include <agg_trans_affine.h>

#include <string>
#include <vector>

namespace agg {

// Clipping in doubles: coordinates far outside the buffer must not reach the
// rasteriser's fixed-point conversion.
typedef rasterizer_scanline_aa<rasterizer_sl_clip_dbl> rasterizer_clipped;
typedef renderer_base<pixfmt_bgra32> renderer_bgra;
typedef renderer_scanline_aa_solid<renderer_bgra> renderer_bgra_solid;

namespace svg {

class exception {
public:
    exception() = default;
    explicit exception(const char* format, ...);
    const char* msg() const { return message.c_str(); }

private:
    std::string message;
};

struct path_attributes {
    unsigned index = 0;
    rgba8 fill_color{0, 0, 0, 255};
    rgba8 stroke_color{0, 0, 0, 255};
    bool fill_flag = true;
    bool stroke_flag = false;
    bool even_odd_flag = false;
    line_join_e line_join = miter_join;
    line_cap_e line_cap = butt_cap;
    double miter_limit = 4.0;
    double stroke_width = 1.0;
    trans_affine transform;
};

class path_tokenizer {
public:
    path_tokenizer();
    void set_path_str(const char* str);
    bool next();
    double next(char cmd);
    char last_command() const { return m_last_command; }
    double last_number() const { return m_last_number; }

private:
    static void init_char_mask(char* mask, const char* chars);
    bool contains(const char* mask, unsigned c) const { return (mask[(c >> 3) & 31] & (1 << (c & 7))) != 0; }
    bool is_command(unsigned c) const { return contains(m_commands_mask, c); }
    bool is_numeric(unsigned c) const { return contains(m_numeric_mask, c); }
    bool is_separator(unsigned c) const { return contains(m_separators_mask, c); }
    bool parse_number();

    char m_separators_mask[256 / 8];
    char m_commands_mask[256 / 8];
    char m_numeric_mask[256 / 8];
    const char* m_path = nullptr;
    double m_last_number = 0.0;
    char m_last_command = 0;
};

// Coordinates beyond this many units are refused: they mean nothing in a
// picture and would make curve flattening and rasterising unbounded.
constexpr double max_coordinate = 1e7;

class path_renderer {
public:
    path_renderer();

    void remove_all();
    void begin_path();
    void end_path();
    void push_attr();
    void pop_attr();
    path_attributes& cur_attr();

    void fill(const rgba8& color);
    void stroke(const rgba8& color);
    void fill_none();
    void stroke_none();
    void even_odd(bool flag);
    void stroke_width(double w);
    void fill_opacity(double op);
    void stroke_opacity(double op);
    void line_join(line_join_e join);
    void line_cap(line_cap_e cap);
    void miter_limit(double ml);
    trans_affine& transform();

    void move_to(double x, double y, bool rel = false);
    void line_to(double x, double y, bool rel = false);
    void hline_to(double x, bool rel = false);
    void vline_to(double y, bool rel = false);
    void curve3(double x1, double y1, double x, double y, bool rel = false);
    void curve3(double x, double y, bool rel = false);
    void curve4(double x1, double y1, double x2, double y2, double x, double y, bool rel = false);
    void curve4(double x2, double y2, double x, double y, bool rel = false);
    void close_subpath();

    void parse_path(path_tokenizer& tok);

    // Contour width of filled paths (0 for none).
    void expand(double value) { m_expand = value; }

    unsigned attribute_count() const { return static_cast<unsigned>(m_attr_storage.size()); }
    const path_attributes& attribute(unsigned i) const { return m_attr_storage[i]; }
    path_storage& storage() { return m_storage; }

    // Re-orients every path with the given orientation flag.
    void arrange_orientations(path_flags_e orientation);
    // Bounding box of all paths, curves flattened, each under its own
    // transform; starts as (1, 1, 0, 0) when there are none.
    void bounding_rect(double* x1, double* y1, double* x2, double* y2);

    void render(rasterizer_clipped& ras, scanline_u8& sl, renderer_bgra_solid& ren, const trans_affine& mtx,
                const rect_i& cb, double opacity = 1.0);

private:
    void add_vertex(double x, double y, unsigned cmd, bool rel);
    void check(double x, double y) const;

    path_storage m_storage;
    std::vector<path_attributes> m_attr_storage;
    std::vector<path_attributes> m_attr_stack;
    trans_affine m_transform;
    double m_expand = 0.0;
};

} // namespace svg
} // namespace agg
