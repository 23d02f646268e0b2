#include "Platform/D3DX9/ImageFile.h"

#include "Platform/Runtime/Runtime.h"

#include <png.h>
// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
#include <jpeglib.h>

#include <csetjmp>
#include <cstring>
#include <memory>

namespace D3DX9 {

namespace {

bool withinLimits(uint64_t width, uint64_t height, std::string& reason)
{
    if (width == 0 || height == 0 || width > maxImageSide || height > maxImageSide ||
        width * height > maxImagePixels) {
        reason = "image size " + std::to_string(width) + " x " + std::to_string(height) + " out of range";
        return false;
    }
    return true;
}

// --- PNG ---

struct PngSource {
    const uint8_t* data;
    size_t size;
    size_t at;
    std::string error;
};

void pngRead(png_structp png, png_bytep out, png_size_t count)
{
    auto* source = static_cast<PngSource*>(png_get_io_ptr(png));
    if (count > source->size - source->at)
        png_error(png, "file ends early");
    std::memcpy(out, source->data + source->at, count);
    source->at += count;
}

void pngError(png_structp png, png_const_charp message)
{
    static_cast<PngSource*>(png_get_error_ptr(png))->error = message;
    png_longjmp(png, 1);
}

void pngWarning(png_structp, png_const_charp) {}

// Everything between setjmp and the end lives in the caller, so a longjmp
// skips no destructor.
bool decodePngRows(png_structp png, png_infop info, Image& image, bool headerOnly, std::vector<png_bytep>& rows,
                   std::vector<uint8_t>& pixels, int& channels, std::string& reason)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    png_set_user_limits(png, maxImageSide, maxImageSide);
    png_read_info(png, info);
    png_uint_32 width = png_get_image_width(png, info);
    png_uint_32 height = png_get_image_height(png, info);
    if (!withinLimits(width, height, reason))
        return false;
    int colorType = png_get_color_type(png, info);
    bool transparency = png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    png_set_strip_16(png);
    png_set_packing(png);
    if (colorType == PNG_COLOR_TYPE_PALETTE)
        png_set_palette_to_rgb(png);
    if (colorType == PNG_COLOR_TYPE_GRAY)
        png_set_expand_gray_1_2_4_to_8(png);
    if (transparency)
        png_set_tRNS_to_alpha(png);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    channels = png_get_channels(png, info);
    image.width = width;
    image.height = height;
    image.fileFormat = D3DXIFF_PNG;
    switch (channels) {
    case 1: image.format = D3DFMT_L8; break;
    case 2: image.format = D3DFMT_A8L8; break;
    case 3: image.format = D3DFMT_R8G8B8; break;
    default: image.format = D3DFMT_A8R8G8B8; break;
    }
    if (headerOnly)
        return true;
    if (png_get_rowbytes(png, info) != static_cast<size_t>(width) * channels)
        png_error(png, "unexpected row layout");
    pixels.resize(static_cast<size_t>(width) * height * channels);
    rows.resize(height);
    for (png_uint_32 y = 0; y < height; ++y)
        rows[y] = pixels.data() + static_cast<size_t>(y) * width * channels;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    return true;
}

// Spreads 1 to 4 channels (grey, grey alpha, RGB, RGBA) into RGBA.
void expandToRgba(const std::vector<uint8_t>& pixels, int channels, Image& image)
{
    size_t count = static_cast<size_t>(image.width) * image.height;
    image.rgba.resize(count * 4);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* in = &pixels[i * channels];
        uint8_t* out = &image.rgba[i * 4];
        if (channels <= 2) {
            out[0] = out[1] = out[2] = in[0];
            out[3] = channels == 2 ? in[1] : 255;
        } else {
            out[0] = in[0];
            out[1] = in[1];
            out[2] = in[2];
            out[3] = channels == 4 ? in[3] : 255;
        }
    }
}

bool decodePng(const uint8_t* data, size_t size, Image& image, bool headerOnly, std::string& reason)
{
    PngSource source = {data, size, 0, {}};
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, pngError, pngWarning);
    if (!png) {
        reason = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    png_set_read_fn(png, &source, pngRead);
    std::vector<png_bytep> rows;
    std::vector<uint8_t> pixels;
    int channels = 0;
    bool read = info && decodePngRows(png, info, image, headerOnly, rows, pixels, channels, reason);
    png_destroy_read_struct(&png, info ? &info : nullptr, nullptr);
    if (!read) {
        if (reason.empty())
            reason = "PNG: " + source.error;
        return false;
    }
    if (!headerOnly)
        expandToRgba(pixels, channels, image);
    return true;
}

// --- JPEG ---

struct JpegError {
    jpeg_error_mgr manager;
    std::jmp_buf jump;
    char message[JMSG_LENGTH_MAX];
};

void jpegExit(j_common_ptr info)
{
    auto* error = reinterpret_cast<JpegError*>(info->err);
    info->err->format_message(info, error->message);
    std::longjmp(error->jump, 1);
}

void jpegMessage(j_common_ptr) {}

bool decodeJpegRows(jpeg_decompress_struct& info, JpegError& error, const uint8_t* data, size_t size, Image& image,
                    bool headerOnly, std::vector<uint8_t>& pixels, int& channels, std::string& reason)
{
    if (setjmp(error.jump))
        return false;
    jpeg_create_decompress(&info);
    // Bounds what a hostile file can make the library allocate.
    info.mem->max_memory_to_use = 256L << 20;
    jpeg_mem_src(&info, data, static_cast<unsigned long>(size));
    jpeg_read_header(&info, TRUE);
    if (!withinLimits(info.image_width, info.image_height, reason))
        return false;
    bool grey = info.jpeg_color_space == JCS_GRAYSCALE;
    if (!grey && info.jpeg_color_space != JCS_YCbCr && info.jpeg_color_space != JCS_RGB) {
        reason = "JPEG: unsupported colour space";
        return false;
    }
    info.out_color_space = grey ? JCS_GRAYSCALE : JCS_RGB;
    image.width = info.image_width;
    image.height = info.image_height;
    image.fileFormat = D3DXIFF_JPG;
    image.format = grey ? D3DFMT_L8 : D3DFMT_X8R8G8B8;
    if (headerOnly)
        return true;
    jpeg_start_decompress(&info);
    channels = info.output_components;
    if ((channels != 1 && channels != 3) || info.output_width != image.width || info.output_height != image.height) {
        reason = "JPEG: unexpected output layout";
        return false;
    }
    pixels.resize(static_cast<size_t>(image.width) * image.height * channels);
    while (info.output_scanline < info.output_height) {
        JSAMPROW row = pixels.data() + static_cast<size_t>(info.output_scanline) * image.width * channels;
        jpeg_read_scanlines(&info, &row, 1);
    }
    jpeg_finish_decompress(&info);
    return true;
}

bool decodeJpeg(const uint8_t* data, size_t size, Image& image, bool headerOnly, std::string& reason)
{
    jpeg_decompress_struct info = {};
    JpegError error = {};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegExit;
    error.manager.output_message = jpegMessage;
    std::vector<uint8_t> pixels;
    int channels = 0;
    bool read = decodeJpegRows(info, error, data, size, image, headerOnly, pixels, channels, reason);
    jpeg_destroy_decompress(&info);
    if (!read) {
        if (reason.empty())
            reason = std::string("JPEG: ") + error.message;
        return false;
    }
    if (!headerOnly)
        expandToRgba(pixels, channels, image);
    return true;
}

} // namespace

bool decodeImage(const uint8_t* data, size_t size, Image& image, bool headerOnly, std::string& reason)
{
    image = Image();
    static const uint8_t pngSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (size >= 8 && std::memcmp(data, pngSignature, 8) == 0)
        return decodePng(data, size, image, headerOnly, reason);
    if (size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF)
        return decodeJpeg(data, size, image, headerOnly, reason);
    reason = "neither PNG nor JPEG";
    return false;
}

bool readImageFile(const char* name, Image& image, bool headerOnly, std::string& reason)
{
    if (!name) {
        reason = "no file name";
        return false;
    }
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> file(Runtime::openDataFile(name, "rb"), std::fclose);
    if (!file) {
        reason = std::string("cannot open ") + name;
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t count;
    while ((count = std::fread(chunk, 1, sizeof(chunk), file.get())) > 0) {
        bytes.insert(bytes.end(), chunk, chunk + count);
        if (bytes.size() > (size_t(1) << 30)) {
            reason = "file too large";
            return false;
        }
    }
    return decodeImage(bytes.data(), bytes.size(), image, headerOnly, reason);
}

} // namespace D3DX9
