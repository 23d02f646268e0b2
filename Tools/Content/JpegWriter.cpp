#include "Tools/Content/JpegWriter.h"

#include "Libs/Common/Exception.h"

#include <cstdio>
#include <jpeglib.h>
#include <memory>

namespace Vostrel {
namespace Content {

void writeJpegRgba(const std::string& path, int width, int height, const std::vector<uint8_t>& rgba, int quality)
{
    if (width <= 0 || height <= 0 || rgba.size() != static_cast<size_t>(width) * height * 4)
        VOSTREL_THROW("writeJpegRgba: " << path << ": " << width << " x " << height << " does not match "
                                        << rgba.size() << " bytes");
    std::unique_ptr<FILE, int (*)(FILE*)> file(std::fopen(path.c_str(), "wb"), &std::fclose);
    if (!file)
        VOSTREL_THROW("Cannot write " << path);
    jpeg_compress_struct info;
    jpeg_error_mgr errors;
    info.err = jpeg_std_error(&errors);
    jpeg_create_compress(&info);
    jpeg_stdio_dest(&info, file.get());
    info.image_width = static_cast<JDIMENSION>(width);
    info.image_height = static_cast<JDIMENSION>(height);
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, quality, TRUE);
    jpeg_start_compress(&info, TRUE);
    std::vector<uint8_t> row(static_cast<size_t>(width) * 3);
    for (int y = 0; y < height; ++y) {
        const uint8_t* source = &rgba[static_cast<size_t>(y) * width * 4];
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c)
                row[static_cast<size_t>(x) * 3 + c] = source[x * 4 + c];
        JSAMPROW pointer = row.data();
        jpeg_write_scanlines(&info, &pointer, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    if (std::fflush(file.get()) != 0)
        VOSTREL_THROW("Cannot write " << path);
}

} // namespace Content
} // namespace Vostrel
