#pragma once

// Reads the SVG subset the engine draws (groups, paths, rectangles, lines,
// polylines, polygons, presentation attributes, style, colours, transforms)
// into a path store.

#include "Libs/Image/SvgPathRenderer.h"

#include <string>

namespace agg {
namespace svg {

class parser {
public:
    explicit parser(path_renderer& path);
    parser(const parser&) = delete;
    parser& operator=(const parser&) = delete;

    void parse_svg_file(const char* fname);
    void parse_svg_memory(const char* bytes, size_t length);

    // Attribute helpers, public for the tests of the individual rules.
    static rgba8 parse_color(const char* str);
    static double parse_double(const char* str);
    void parse_transform(const char* str);

private:
    static void start_element(void* data, const char* el, const char** attr);
    static void end_element(void* data, const char* el);

    void parse_attr(const char** attr);
    void parse_path(const char** attr);
    void parse_poly(const char** attr, bool close_flag);
    void parse_rect(const char** attr);
    void parse_line(const char** attr);
    void parse_style(const char* str);
    unsigned parse_matrix(const char* str);
    unsigned parse_translate(const char* str);
    unsigned parse_rotate(const char* str);
    unsigned parse_scale(const char* str);
    unsigned parse_skew_x(const char* str);
    unsigned parse_skew_y(const char* str);
    bool parse_attr(const char* name, const char* value);
    bool parse_name_value(const char* nv_start, const char* nv_end);
    void apply_transform(const trans_affine& matrix);

    path_renderer& m_path;
    path_tokenizer m_tokenizer;
    bool m_path_flag = false;
    std::string m_attr_name;
    std::string m_attr_value;
};

} // namespace svg
} // namespace agg
