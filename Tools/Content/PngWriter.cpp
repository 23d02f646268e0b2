#include "Tools/Content/PngWriter.h"

#include "Libs/Common/Exception.h"

#include <png.h>

#include <cstdio>

namespace Vostrel {
namespace Content {

namespace {

struct PngFile {
    std::FILE* file = nullptr;
    png_structp png = nullptr;
    png_infop info = nullptr;
    ~PngFile()
    {
        if (png)
            png_destroy_write_struct(&png, info ? &info : nullptr);
        if (file)
            std::fclose(file);
    }
};

} // namespace

void writePngRgba(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba)
{
    if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * height * 4)
        VOSTREL_THROW("writePngRgba: " << rgba.size() << " bytes are no " << width << " x " << height
                                       << " RGBA image for " << path);
    PngFile out;
    out.file = std::fopen(path.c_str(), "wb");
    if (!out.file)
        VOSTREL_THROW("Cannot write " << path);
    out.png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    if (out.png)
        out.info = png_create_info_struct(out.png);
    if (!out.info)
        VOSTREL_THROW("writePngRgba: libpng could not start " << path);
    std::vector<png_bytep> rows(static_cast<size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[y] = const_cast<png_bytep>(rgba.data() + static_cast<size_t>(y) * width * 4);
    // libpng reports its failures by a long jump back here.
    if (setjmp(png_jmpbuf(out.png)))
        VOSTREL_THROW("writePngRgba: libpng failed writing " << path);
    png_init_io(out.png, out.file);
    png_set_IHDR(out.png, out.info, width, height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_set_rows(out.png, out.info, rows.data());
    png_write_png(out.png, out.info, PNG_TRANSFORM_IDENTITY, nullptr);
    if (std::fflush(out.file) != 0 || std::ferror(out.file))
        VOSTREL_THROW("Cannot write " << path);
}

} // namespace Content
} // namespace Vostrel
