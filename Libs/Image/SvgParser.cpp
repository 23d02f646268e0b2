#include "Libs/Image/SvgParser.h"

#include "Libs/Common/Exception.h"
#include "Libs/Common/StringUtils.h"

#include <expat.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

namespace agg {
namespace svg {

namespace {

struct named_color {
    char name[22];
    int8u r, g, b;
};

// The SVG 1.1 colour keywords, sorted for bisection.
const named_color colors[] = {
    {"aliceblue", 240, 248, 255}, {"antiquewhite", 250, 235, 215}, {"aqua", 0, 255, 255},
    {"aquamarine", 127, 255, 212}, {"azure", 240, 255, 255}, {"beige", 245, 245, 220},
    {"bisque", 255, 228, 196}, {"black", 0, 0, 0}, {"blanchedalmond", 255, 235, 205},
    {"blue", 0, 0, 255}, {"blueviolet", 138, 43, 226}, {"brown", 165, 42, 42},
    {"burlywood", 222, 184, 135}, {"cadetblue", 95, 158, 160}, {"chartreuse", 127, 255, 0},
    {"chocolate", 210, 105, 30}, {"coral", 255, 127, 80}, {"cornflowerblue", 100, 149, 237},
    {"cornsilk", 255, 248, 220}, {"crimson", 220, 20, 60}, {"cyan", 0, 255, 255},
    {"darkblue", 0, 0, 139}, {"darkcyan", 0, 139, 139}, {"darkgoldenrod", 184, 134, 11},
    {"darkgray", 169, 169, 169}, {"darkgreen", 0, 100, 0}, {"darkgrey", 169, 169, 169},
    {"darkkhaki", 189, 183, 107}, {"darkmagenta", 139, 0, 139}, {"darkolivegreen", 85, 107, 47},
    {"darkorange", 255, 140, 0}, {"darkorchid", 153, 50, 204}, {"darkred", 139, 0, 0},
    {"darksalmon", 233, 150, 122}, {"darkseagreen", 143, 188, 143}, {"darkslateblue", 72, 61, 139},
    {"darkslategray", 47, 79, 79}, {"darkslategrey", 47, 79, 79}, {"darkturquoise", 0, 206, 209},
    {"darkviolet", 148, 0, 211}, {"deeppink", 255, 20, 147}, {"deepskyblue", 0, 191, 255},
    {"dimgray", 105, 105, 105}, {"dimgrey", 105, 105, 105}, {"dodgerblue", 30, 144, 255},
    {"firebrick", 178, 34, 34}, {"floralwhite", 255, 250, 240}, {"forestgreen", 34, 139, 34},
    {"fuchsia", 255, 0, 255}, {"gainsboro", 220, 220, 220}, {"ghostwhite", 248, 248, 255},
    {"gold", 255, 215, 0}, {"goldenrod", 218, 165, 32}, {"gray", 128, 128, 128},
    {"green", 0, 128, 0}, {"greenyellow", 173, 255, 47}, {"grey", 128, 128, 128},
    {"honeydew", 240, 255, 240}, {"hotpink", 255, 105, 180}, {"indianred", 205, 92, 92},
    {"indigo", 75, 0, 130}, {"ivory", 255, 255, 240}, {"khaki", 240, 230, 140},
    {"lavender", 230, 230, 250}, {"lavenderblush", 255, 240, 245}, {"lawngreen", 124, 252, 0},
    {"lemonchiffon", 255, 250, 205}, {"lightblue", 173, 216, 230}, {"lightcoral", 240, 128, 128},
    {"lightcyan", 224, 255, 255}, {"lightgoldenrodyellow", 250, 250, 210}, {"lightgray", 211, 211, 211},
    {"lightgreen", 144, 238, 144}, {"lightgrey", 211, 211, 211}, {"lightpink", 255, 182, 193},
    {"lightsalmon", 255, 160, 122}, {"lightseagreen", 32, 178, 170}, {"lightskyblue", 135, 206, 250},
    {"lightslategray", 119, 136, 153}, {"lightslategrey", 119, 136, 153}, {"lightsteelblue", 176, 196, 222},
    {"lightyellow", 255, 255, 224}, {"lime", 0, 255, 0}, {"limegreen", 50, 205, 50},
    {"linen", 250, 240, 230}, {"magenta", 255, 0, 255}, {"maroon", 128, 0, 0},
    {"mediumaquamarine", 102, 205, 170}, {"mediumblue", 0, 0, 205}, {"mediumorchid", 186, 85, 211},
    {"mediumpurple", 147, 112, 219}, {"mediumseagreen", 60, 179, 113}, {"mediumslateblue", 123, 104, 238},
    {"mediumspringgreen", 0, 250, 154}, {"mediumturquoise", 72, 209, 204}, {"mediumvioletred", 199, 21, 133},
    {"midnightblue", 25, 25, 112}, {"mintcream", 245, 255, 250}, {"mistyrose", 255, 228, 225},
    {"moccasin", 255, 228, 181}, {"navajowhite", 255, 222, 173}, {"navy", 0, 0, 128},
    {"oldlace", 253, 245, 230}, {"olive", 128, 128, 0}, {"olivedrab", 107, 142, 35},
    {"orange", 255, 165, 0}, {"orangered", 255, 69, 0}, {"orchid", 218, 112, 214},
    {"palegoldenrod", 238, 232, 170}, {"palegreen", 152, 251, 152}, {"paleturquoise", 175, 238, 238},
    {"palevioletred", 219, 112, 147}, {"papayawhip", 255, 239, 213}, {"peachpuff", 255, 218, 185},
    {"peru", 205, 133, 63}, {"pink", 255, 192, 203}, {"plum", 221, 160, 221},
    {"powderblue", 176, 224, 230}, {"purple", 128, 0, 128}, {"red", 255, 0, 0},
    {"rosybrown", 188, 143, 143}, {"royalblue", 65, 105, 225}, {"saddlebrown", 139, 69, 19},
    {"salmon", 250, 128, 114}, {"sandybrown", 244, 164, 96}, {"seagreen", 46, 139, 87},
    {"seashell", 255, 245, 238}, {"sienna", 160, 82, 45}, {"silver", 192, 192, 192},
    {"skyblue", 135, 206, 235}, {"slateblue", 106, 90, 205}, {"slategray", 112, 128, 144},
    {"slategrey", 112, 128, 144}, {"snow", 255, 250, 250}, {"springgreen", 0, 255, 127},
    {"steelblue", 70, 130, 180}, {"tan", 210, 180, 140}, {"teal", 0, 128, 128},
    {"thistle", 216, 191, 216}, {"tomato", 255, 99, 71}, {"turquoise", 64, 224, 208},
    {"violet", 238, 130, 238}, {"wheat", 245, 222, 179}, {"white", 255, 255, 255},
    {"whitesmoke", 245, 245, 245}, {"yellow", 255, 255, 0}, {"yellowgreen", 154, 205, 50},
};

struct expat_deleter {
    void operator()(XML_ParserStruct* p) const { XML_ParserFree(p); }
};
struct file_closer {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

double checked(double value)
{
    if (!std::isfinite(value) || std::fabs(value) > max_coordinate)
        throw exception("Number out of range: %g", value);
    return value;
}

const char* skip_spaces(const char* str)
{
    while (*str == ' ')
        ++str;
    return str;
}

// Numbers between the parentheses of a transform function.
unsigned parse_transform_args(const char* str, double* args, unsigned max_na, unsigned* na)
{
    *na = 0;
    const char* ptr = str;
    while (*ptr && *ptr != '(')
        ++ptr;
    if (*ptr == 0)
        throw exception("parse_transform_args: Invalid syntax");
    const char* end = ptr;
    while (*end && *end != ')')
        ++end;
    if (*end == 0)
        throw exception("parse_transform_args: Invalid syntax");
    while (ptr < end) {
        if (std::strchr("0123456789+-.eE", *ptr) && *ptr) {
            if (*na >= max_na)
                throw exception("parse_transform_args: Too many arguments");
            args[(*na)++] = checked(std::atof(ptr));
            while (ptr < end && *ptr && std::strchr("0123456789+-.eE", *ptr))
                ++ptr;
        } else {
            ++ptr;
        }
    }
    return unsigned(end - str);
}

} // namespace

parser::parser(path_renderer& path) : m_path(path) {}

void parser::parse_svg_file(const char* fname)
{
    std::unique_ptr<XML_ParserStruct, expat_deleter> p(XML_ParserCreate(nullptr));
    if (!p)
        throw exception("Couldn't allocate memory for parser");
    XML_SetUserData(p.get(), this);
    XML_SetElementHandler(p.get(), start_element, end_element);
    std::unique_ptr<std::FILE, file_closer> fd(Vostrel::openDataFileOrSayWhy(fname, "r"));
    if (!fd)
        throw exception("Couldn't open file %s", fname);
    char buffer[512];
    bool done = false;
    do {
        const size_t len = std::fread(buffer, 1, sizeof buffer, fd.get());
        done = len < sizeof buffer;
        if (done && Vostrel::sayWhyReadFailed(fd.get(), fname))
            throw exception("Couldn't read file %s", fname);
        if (!XML_Parse(p.get(), buffer, static_cast<int>(len), done))
            throw exception("%s at line %d\n", XML_ErrorString(XML_GetErrorCode(p.get())),
                            static_cast<int>(XML_GetCurrentLineNumber(p.get())));
    } while (!done);
}

void parser::parse_svg_memory(const char* bytes, size_t length)
{
    std::unique_ptr<XML_ParserStruct, expat_deleter> p(XML_ParserCreate(nullptr));
    if (!p)
        throw exception("Couldn't allocate memory for parser");
    XML_SetUserData(p.get(), this);
    XML_SetElementHandler(p.get(), start_element, end_element);
    if (length > 0x7fffffff)
        throw exception("SVG input too large");
    if (!XML_Parse(p.get(), bytes, static_cast<int>(length), 1))
        throw exception("%s at line %d\n", XML_ErrorString(XML_GetErrorCode(p.get())),
                        static_cast<int>(XML_GetCurrentLineNumber(p.get())));
}

void parser::start_element(void* data, const char* el, const char** attr)
{
    parser& self = *static_cast<parser*>(data);
    if (std::strcmp(el, "g") == 0) {
        self.m_path.push_attr();
        self.parse_attr(attr);
    } else if (std::strcmp(el, "path") == 0) {
        if (self.m_path_flag)
            throw exception("start_element: Nested path");
        self.m_path.begin_path();
        self.parse_path(attr);
        self.m_path.end_path();
        self.m_path_flag = true;
    } else if (std::strcmp(el, "rect") == 0) {
        self.parse_rect(attr);
    } else if (std::strcmp(el, "line") == 0) {
        self.parse_line(attr);
    } else if (std::strcmp(el, "polyline") == 0) {
        self.parse_poly(attr, false);
    } else if (std::strcmp(el, "polygon") == 0) {
        self.parse_poly(attr, true);
    }
}

void parser::end_element(void* data, const char* el)
{
    parser& self = *static_cast<parser*>(data);
    if (std::strcmp(el, "g") == 0)
        self.m_path.pop_attr();
    else if (std::strcmp(el, "path") == 0)
        self.m_path_flag = false;
}

void parser::parse_attr(const char** attr)
{
    for (int i = 0; attr[i]; i += 2) {
        if (std::strcmp(attr[i], "style") == 0)
            parse_style(attr[i + 1]);
        else
            parse_attr(attr[i], attr[i + 1]);
    }
}

void parser::parse_path(const char** attr)
{
    for (int i = 0; attr[i]; i += 2) {
        if (std::strcmp(attr[i], "d") == 0) {
            m_tokenizer.set_path_str(attr[i + 1]);
            m_path.parse_path(m_tokenizer);
        } else {
            const char* tmp[4] = {attr[i], attr[i + 1], nullptr, nullptr};
            parse_attr(tmp);
        }
    }
}

rgba8 parser::parse_color(const char* str)
{
    str = skip_spaces(str);
    if (*str == '#') {
        // Without a hexadecimal digit there is no colour to read.
        if (!std::isxdigit(static_cast<unsigned char>(str[1])))
            throw exception("parse_color: Invalid color '%s'", Vostrel::StringUtils::printable(str).c_str());
        const unsigned long c = std::strtoul(str + 1, nullptr, 16);
        return rgba8(int8u((c >> 16) & 0xFF), int8u((c >> 8) & 0xFF), int8u(c & 0xFF), 255);
    }
    const size_t len = std::strlen(str);
    if (len > 21)
        throw exception("parse_color: Invalid color name '%s'", Vostrel::StringUtils::printable(str).c_str());
    size_t lo = 0, hi = sizeof colors / sizeof colors[0];
    while (lo < hi) {
        const size_t mid = (lo + hi) / 2;
        const int cmp = std::strcmp(str, colors[mid].name);
        if (cmp == 0)
            return rgba8(colors[mid].r, colors[mid].g, colors[mid].b, 255);
        if (cmp < 0)
            hi = mid;
        else
            lo = mid + 1;
    }
    throw exception("parse_color: Invalid color name '%s'", Vostrel::StringUtils::printable(str).c_str());
}

double parser::parse_double(const char* str)
{
    return checked(std::atof(skip_spaces(str)));
}

bool parser::parse_attr(const char* name, const char* value)
{
    if (std::strcmp(name, "style") == 0) {
        parse_style(value);
    } else if (std::strcmp(name, "fill") == 0) {
        if (std::strcmp(value, "none") == 0)
            m_path.fill_none();
        else
            m_path.fill(parse_color(value));
    } else if (std::strcmp(name, "fill-opacity") == 0) {
        m_path.fill_opacity(parse_double(value));
    } else if (std::strcmp(name, "stroke") == 0) {
        if (std::strcmp(value, "none") == 0)
            m_path.stroke_none();
        else
            m_path.stroke(parse_color(value));
    } else if (std::strcmp(name, "stroke-width") == 0) {
        m_path.stroke_width(parse_double(value));
    } else if (std::strcmp(name, "stroke-linecap") == 0) {
        if (std::strcmp(value, "butt") == 0)
            m_path.line_cap(butt_cap);
        else if (std::strcmp(value, "round") == 0)
            m_path.line_cap(round_cap);
        else if (std::strcmp(value, "square") == 0)
            m_path.line_cap(square_cap);
    } else if (std::strcmp(name, "stroke-linejoin") == 0) {
        if (std::strcmp(value, "miter") == 0)
            m_path.line_join(miter_join);
        else if (std::strcmp(value, "round") == 0)
            m_path.line_join(round_join);
        else if (std::strcmp(value, "bevel") == 0)
            m_path.line_join(bevel_join);
    } else if (std::strcmp(name, "stroke-miterlimit") == 0) {
        m_path.miter_limit(parse_double(value));
    } else if (std::strcmp(name, "stroke-opacity") == 0) {
        m_path.stroke_opacity(parse_double(value));
    } else if (std::strcmp(name, "transform") == 0) {
        parse_transform(value);
    } else {
        return false;
    }
    return true;
}

bool parser::parse_name_value(const char* nv_start, const char* nv_end)
{
    const char* str = nv_start;
    while (str < nv_end && *str != ':')
        ++str;
    const char* val = str;
    while (str > nv_start && (*str == ':' || std::isspace(static_cast<unsigned char>(*str))))
        --str;
    ++str;
    m_attr_name.assign(nv_start, str);
    while (val < nv_end && (*val == ':' || std::isspace(static_cast<unsigned char>(*val))))
        ++val;
    m_attr_value.assign(val, nv_end);
    return parse_attr(m_attr_name.c_str(), m_attr_value.c_str());
}

void parser::parse_style(const char* str)
{
    while (*str) {
        while (*str && std::isspace(static_cast<unsigned char>(*str)))
            ++str;
        const char* nv_start = str;
        while (*str && *str != ';')
            ++str;
        const char* nv_end = str;
        while (nv_end > nv_start && (*(nv_end - 1) == ';' || std::isspace(static_cast<unsigned char>(*(nv_end - 1)))))
            --nv_end;
        if (nv_end > nv_start)
            parse_name_value(nv_start, nv_end);
        if (*str)
            ++str;
    }
}

void parser::parse_rect(const char** attr)
{
    double x = 0.0, y = 0.0, w = 0.0, h = 0.0;
    m_path.begin_path();
    for (int i = 0; attr[i]; i += 2) {
        if (!parse_attr(attr[i], attr[i + 1])) {
            if (std::strcmp(attr[i], "x") == 0) x = parse_double(attr[i + 1]);
            if (std::strcmp(attr[i], "y") == 0) y = parse_double(attr[i + 1]);
            if (std::strcmp(attr[i], "width") == 0) w = parse_double(attr[i + 1]);
            if (std::strcmp(attr[i], "height") == 0) h = parse_double(attr[i + 1]);
        }
    }
    if (w != 0.0 && h != 0.0) {
        if (w < 0.0)
            throw exception("parse_rect: Invalid width: %f", w);
        if (h < 0.0)
            throw exception("parse_rect: Invalid height: %f", h);
        m_path.move_to(x, y);
        m_path.line_to(x + w, y);
        m_path.line_to(x + w, y + h);
        m_path.line_to(x, y + h);
        m_path.close_subpath();
    }
    m_path.end_path();
}

void parser::parse_line(const char** attr)
{
    double x1 = 0.0, y1 = 0.0, x2 = 0.0, y2 = 0.0;
    m_path.begin_path();
    for (int i = 0; attr[i]; i += 2) {
        if (!parse_attr(attr[i], attr[i + 1])) {
            if (std::strcmp(attr[i], "x1") == 0) x1 = parse_double(attr[i + 1]);
            if (std::strcmp(attr[i], "y1") == 0) y1 = parse_double(attr[i + 1]);
            if (std::strcmp(attr[i], "x2") == 0) x2 = parse_double(attr[i + 1]);
            if (std::strcmp(attr[i], "y2") == 0) y2 = parse_double(attr[i + 1]);
        }
    }
    m_path.move_to(x1, y1);
    m_path.line_to(x2, y2);
    m_path.end_path();
}

void parser::parse_poly(const char** attr, bool close_flag)
{
    m_path.begin_path();
    for (int i = 0; attr[i]; i += 2) {
        if (!parse_attr(attr[i], attr[i + 1]) && std::strcmp(attr[i], "points") == 0) {
            m_tokenizer.set_path_str(attr[i + 1]);
            if (!m_tokenizer.next())
                throw exception("parse_poly: Too few coordinates");
            const double x = m_tokenizer.last_number();
            if (!m_tokenizer.next())
                throw exception("parse_poly: Too few coordinates");
            const double y = m_tokenizer.last_number();
            m_path.move_to(x, y);
            while (m_tokenizer.next()) {
                const double px = m_tokenizer.last_number();
                if (!m_tokenizer.next())
                    throw exception("parse_poly: Odd number of coordinates");
                m_path.line_to(px, m_tokenizer.last_number());
            }
        }
    }
    if (close_flag)
        m_path.close_subpath();
    m_path.end_path();
}

void parser::apply_transform(const trans_affine& matrix)
{
    trans_affine& current = m_path.transform();
    current.premultiply(matrix);
    const double values[6] = {current.sx, current.shy, current.shx, current.sy, current.tx, current.ty};
    for (double v : values)
        if (!std::isfinite(v) || std::fabs(v) > 1e12)
            throw exception("parse_transform: Transform out of range");
}

void parser::parse_transform(const char* str)
{
    while (*str) {
        if (std::islower(static_cast<unsigned char>(*str)) || std::isupper(static_cast<unsigned char>(*str))) {
            if (std::strncmp(str, "matrix", 6) == 0) str += parse_matrix(str);
            else if (std::strncmp(str, "translate", 9) == 0) str += parse_translate(str);
            else if (std::strncmp(str, "rotate", 6) == 0) str += parse_rotate(str);
            else if (std::strncmp(str, "scale", 5) == 0) str += parse_scale(str);
            else if (std::strncmp(str, "skewX", 5) == 0) str += parse_skew_x(str);
            else if (std::strncmp(str, "skewY", 5) == 0) str += parse_skew_y(str);
            else ++str;
        } else {
            ++str;
        }
    }
}

unsigned parser::parse_matrix(const char* str)
{
    double args[6];
    unsigned na = 0;
    const unsigned len = parse_transform_args(str, args, 6, &na);
    if (na != 6)
        throw exception("parse_matrix: Invalid number of arguments");
    apply_transform(trans_affine(args[0], args[1], args[2], args[3], args[4], args[5]));
    return len;
}

// Functions without a number inside their parentheses are refused: they
// have no meaning to give.
unsigned parser::parse_translate(const char* str)
{
    double args[2];
    unsigned na = 0;
    const unsigned len = parse_transform_args(str, args, 2, &na);
    if (na == 0)
        throw exception("parse_translate: Invalid number of arguments");
    if (na == 1)
        args[1] = 0.0;
    apply_transform(trans_affine_translation(args[0], args[1]));
    return len;
}

unsigned parser::parse_rotate(const char* str)
{
    double args[3];
    unsigned na = 0;
    const unsigned len = parse_transform_args(str, args, 3, &na);
    if (na == 1) {
        apply_transform(trans_affine_rotation(deg2rad(args[0])));
    } else if (na == 3) {
        trans_affine t = trans_affine_translation(-args[1], -args[2]);
        t *= trans_affine_rotation(deg2rad(args[0]));
        t *= trans_affine_translation(args[1], args[2]);
        apply_transform(t);
    } else {
        throw exception("parse_rotate: Invalid number of arguments");
    }
    return len;
}

unsigned parser::parse_scale(const char* str)
{
    double args[2];
    unsigned na = 0;
    const unsigned len = parse_transform_args(str, args, 2, &na);
    if (na == 0)
        throw exception("parse_scale: Invalid number of arguments");
    if (na == 1)
        args[1] = args[0];
    apply_transform(trans_affine_scaling(args[0], args[1]));
    return len;
}

unsigned parser::parse_skew_x(const char* str)
{
    double arg;
    unsigned na = 0;
    const unsigned len = parse_transform_args(str, &arg, 1, &na);
    if (na == 0)
        throw exception("parse_skew_x: Invalid number of arguments");
    apply_transform(trans_affine_skewing(deg2rad(arg), 0.0));
    return len;
}

unsigned parser::parse_skew_y(const char* str)
{
    double arg;
    unsigned na = 0;
    const unsigned len = parse_transform_args(str, &arg, 1, &na);
    if (na == 0)
        throw exception("parse_skew_y: Invalid number of arguments");
    apply_transform(trans_affine_skewing(0.0, deg2rad(arg)));
    return len;
}

} // namespace svg
} // namespace agg
