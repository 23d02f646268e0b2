#include "Platform/D3DX9/ImageFile.h"

#include "Platform/D3D9/TextureFormat.h"
#include "Platform/Runtime/Runtime.h"

#include <png.h>
// jpeglib.h needs FILE and size_t declared first.
#include <cstdio>
#include <jpeglib.h>

#include <csetjmp>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <utility>

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

// --- writing ---

// The pixels with the given channels, rows top first.
std::vector<uint8_t> packed(const Image& image, int channels)
{
    size_t count = static_cast<size_t>(image.width) * image.height;
    std::vector<uint8_t> result(count * channels);
    for (size_t i = 0; i < count; ++i) {
        const uint8_t* in = &image.rgba[i * 4];
        uint8_t* out = &result[i * channels];
        switch (channels) {
        case 1: out[0] = in[0]; break;
        case 2:
            out[0] = in[0];
            out[1] = in[3];
            break;
        default:
            for (int c = 0; c < channels; ++c)
                out[c] = in[c];
            break;
        }
    }
    return result;
}

void pngWrite(png_structp png, png_bytep data, png_size_t count)
{
    auto* file = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
    file->insert(file->end(), data, data + count);
}

void pngFlush(png_structp) {}

bool encodePngRows(png_structp png, png_infop info, const Image& image, int channels, std::vector<png_bytep>& rows)
{
    if (setjmp(png_jmpbuf(png)))
        return false;
    static const int COLOR_TYPES[] = {PNG_COLOR_TYPE_GRAY, PNG_COLOR_TYPE_GRAY_ALPHA, PNG_COLOR_TYPE_RGB,
                                      PNG_COLOR_TYPE_RGB_ALPHA};
    png_set_IHDR(png, info, image.width, image.height, 8, COLOR_TYPES[channels - 1], PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    png_write_image(png, rows.data());
    png_write_end(png, nullptr);
    return true;
}

bool encodePng(const Image& image, int channels, std::vector<uint8_t>& file, std::string& reason)
{
    std::vector<uint8_t> pixels = packed(image, channels);
    std::vector<png_bytep> rows(image.height);
    for (UINT y = 0; y < image.height; ++y)
        rows[y] = pixels.data() + static_cast<size_t>(y) * image.width * channels;
    PngSource errors = {nullptr, 0, 0, {}};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &errors, pngError, pngWarning);
    if (!png) {
        reason = "out of memory";
        return false;
    }
    png_infop info = png_create_info_struct(png);
    png_set_write_fn(png, &file, pngWrite, pngFlush);
    bool written = info && encodePngRows(png, info, image, channels, rows);
    png_destroy_write_struct(&png, info ? &info : nullptr);
    if (!written)
        reason = "PNG: " + errors.error;
    return written;
}

bool encodeJpegRows(jpeg_compress_struct& info, JpegError& error, const Image& image, int channels,
                    const std::vector<uint8_t>& pixels, unsigned char*& buffer, unsigned long& size)
{
    if (setjmp(error.jump))
        return false;
    jpeg_create_compress(&info);
    jpeg_mem_dest(&info, &buffer, &size);
    info.image_width = image.width;
    info.image_height = image.height;
    info.input_components = channels;
    info.in_color_space = channels == 1 ? JCS_GRAYSCALE : JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        JSAMPROW row = const_cast<uint8_t*>(pixels.data()) + static_cast<size_t>(info.next_scanline) * image.width * channels;
        jpeg_write_scanlines(&info, &row, 1);
    }
    jpeg_finish_compress(&info);
    return true;
}

bool encodeJpeg(const Image& image, int channels, std::vector<uint8_t>& file, std::string& reason)
{
    channels = channels <= 2 ? 1 : 3;
    std::vector<uint8_t> pixels = packed(image, channels);
    jpeg_compress_struct info = {};
    JpegError error = {};
    info.err = jpeg_std_error(&error.manager);
    error.manager.error_exit = jpegExit;
    error.manager.output_message = jpegMessage;
    unsigned char* buffer = nullptr;
    unsigned long size = 0;
    bool written = encodeJpegRows(info, error, image, channels, pixels, buffer, size);
    jpeg_destroy_compress(&info);
    if (written)
        file.assign(buffer, buffer + size);
    else
        reason = std::string("JPEG: ") + error.message;
    std::free(buffer);
    return written;
}

// Uncompressed BMP: 24 bits, rows bottom first, padded to four bytes.
void encodeBmp(const Image& image, std::vector<uint8_t>& file)
{
    uint32_t rowBytes = (image.width * 3 + 3) & ~3u;
    uint32_t imageBytes = rowBytes * image.height;
    auto put = [&file](uint32_t value, int bytes) {
        for (int i = 0; i < bytes; ++i)
            file.push_back(static_cast<uint8_t>(value >> (8 * i)));
    };
    file.push_back('B');
    file.push_back('M');
    put(54 + imageBytes, 4);
    put(0, 4);
    put(54, 4);
    put(40, 4);
    put(image.width, 4);
    put(image.height, 4);
    put(1, 2);
    put(24, 2);
    put(0, 4);
    put(imageBytes, 4);
    put(2835, 4);
    put(2835, 4);
    put(0, 4);
    put(0, 4);
    for (UINT y = image.height; y-- > 0;) {
        size_t start = file.size();
        for (UINT x = 0; x < image.width; ++x) {
            const uint8_t* pixel = &image.rgba[(static_cast<size_t>(y) * image.width + x) * 4];
            file.push_back(pixel[2]);
            file.push_back(pixel[1]);
            file.push_back(pixel[0]);
        }
        file.resize(start + rowBytes, 0);
    }
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

bool encodeImage(const Image& image, int channels, D3DXIMAGE_FILEFORMAT format, std::vector<uint8_t>& file,
                 std::string& reason)
{
    file.clear();
    if (channels < 1 || channels > 4 || !withinLimits(image.width, image.height, reason) ||
        image.rgba.size() != static_cast<size_t>(image.width) * image.height * 4) {
        if (reason.empty())
            reason = "bad image";
        return false;
    }
    switch (format) {
    case D3DXIFF_PNG: return encodePng(image, channels, file, reason);
    case D3DXIFF_JPG: return encodeJpeg(image, channels, file, reason);
    case D3DXIFF_BMP: encodeBmp(image, file); return true;
    default: reason = "unsupported file format"; return false;
    }
}

Texels resampleImage(const Image& image, const RECT* source, UINT width, UINT height, D3DCOLOR colorKey)
{
    RECT area = source ? *source : RECT{0, 0, static_cast<LONG>(image.width), static_cast<LONG>(image.height)};
    uint64_t areaWidth = static_cast<uint64_t>(area.right - area.left);
    uint64_t areaHeight = static_cast<uint64_t>(area.bottom - area.top);
    Texels texels(static_cast<size_t>(width) * height);
    for (UINT y = 0; y < height; ++y) {
        UINT sourceY = static_cast<UINT>(area.top + y * areaHeight / height);
        for (UINT x = 0; x < width; ++x) {
            UINT sourceX = static_cast<UINT>(area.left + x * areaWidth / width);
            const uint8_t* pixel = &image.rgba[(static_cast<size_t>(sourceY) * image.width + sourceX) * 4];
            D3DCOLOR argb = D3DCOLOR_ARGB(pixel[3], pixel[0], pixel[1], pixel[2]);
            std::array<float, 4>& out = texels[static_cast<size_t>(y) * width + x];
            if (colorKey != 0 && argb == colorKey)
                out = {0.0f, 0.0f, 0.0f, 0.0f};
            else
                out = {pixel[0] / 255.0f, pixel[1] / 255.0f, pixel[2] / 255.0f, pixel[3] / 255.0f};
        }
    }
    return texels;
}

void storeTexels(const Texels& texels, UINT width, UINT height, D3DFORMAT format, uint8_t* bits, INT pitch)
{
    size_t bytes = static_cast<size_t>(D3D9::memoryPixelBytes(format));
    for (UINT y = 0; y < height; ++y) {
        uint8_t* row = bits + static_cast<ptrdiff_t>(y) * pitch;
        for (UINT x = 0; x < width; ++x)
            D3D9::encodeTexel(format, texels[static_cast<size_t>(y) * width + x], row + x * bytes);
    }
}

namespace {
// What the D3DX calls cannot return: they give only a result code.
thread_local std::string lastFailure;
} // namespace

bool readImageFile(const char* name, Image& image, bool headerOnly, std::string& reason)
{
    if (!name) {
        reason = "no file name";
        return false;
    }
    std::vector<uint8_t> bytes;
    const bool read = Runtime::readDataFile(name, bytes, size_t(1) << 30, reason) &&
                      decodeImage(bytes.data(), bytes.size(), image, headerOnly, reason);
    // Only the last read's failure is told: a stale one would blame the wrong file.
    lastFailure = read ? std::string() : reason;
    return read;
}

std::string takeImageFileFailure()
{
    return std::exchange(lastFailure, std::string());
}

} // namespace D3DX9
