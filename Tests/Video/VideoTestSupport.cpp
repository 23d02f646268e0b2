#include "Tests/Video/VideoTestSupport.h"

#include "Libs/Common/Exception.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <iterator>
#include <random>
#include <stdexcept>
#include <sys/stat.h>
#include <unistd.h>

namespace VideoTest {

namespace {

std::string hashed(const std::string& text)
{
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%016zx", std::hash<std::string>()(text));
    return buffer;
}

bool exists(const std::string& path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0;
}

void run(const std::string& command)
{
    if (std::system(command.c_str()) != 0)
        throw std::runtime_error("command failed: " + command);
}

std::string extensionOf(const std::string& name)
{
    std::string::size_type dot = name.find_last_of('.');
    return dot == std::string::npos ? "" : name.substr(dot);
}

// Runs `make(temporaryPath)` unless the file exists, then moves the result
// into place, so that test processes running side by side never see a
// partial file.
std::string generated(const std::string& name, const std::string& recipe,
                      const std::function<void(const std::string&)>& make)
{
    std::string extension = extensionOf(name);
    std::string stem = name.substr(0, name.size() - extension.size());
    std::string path = generatedDirectory() + "/" + stem + "-" + hashed(recipe) + extension;
    if (exists(path))
        return path;
    std::string temporary =
        generatedDirectory() + "/tmp-" + std::to_string(::getpid()) + "-" + stem + extension;
    make(temporary);
    if (std::rename(temporary.c_str(), path.c_str()) != 0)
        throw std::runtime_error("cannot move " + temporary);
    return path;
}

YuvFrame cropped(const Vostrel::VideoFrameView& view)
{
    YuvFrame frame;
    frame.width = view.width;
    frame.height = view.height;
    frame.chromaWidth = view.chromaFormat == 3 ? view.width : (view.width + 1) / 2;
    frame.chromaHeight = view.chromaFormat == 1 ? (view.height + 1) / 2 : view.height;
    for (int p = 0; p < 3; ++p) {
        int w = p ? frame.chromaWidth : frame.width;
        int h = p ? frame.chromaHeight : frame.height;
        for (int y = 0; y < h; ++y)
            frame.planes[p].insert(frame.planes[p].end(), view.planes[p] + y * view.strides[p],
                                   view.planes[p] + y * view.strides[p] + w);
    }
    return frame;
}

DecodedStream decodeWith(Vostrel::VideoDecoder& decoder, int outputWidth, int outputHeight)
{
    DecodedStream result;
    decoder.setFrameObserver([&](const Vostrel::VideoFrameView& view) {
        result.frames.push_back(cropped(view));
        result.views.push_back(view);
    });
    std::vector<uint8_t> rgb(size_t(outputWidth) * outputHeight * 3);
    for (;;) {
        int more = Vostrel::Decode_Next_Frame(decoder, rgb.data());
        if (Vostrel::Video_Frame_Written(decoder)) {
            const YuvFrame& last = result.frames.back();
            result.rgb.emplace_back(rgb.begin(), rgb.begin() + size_t(last.width) * last.height * 3);
        }
        if (!more)
            break;
        ++result.pictures;
    }
    return result;
}

} // namespace

std::string generatedDirectory()
{
    static const std::string directory = [] {
        std::string path = VIDEO_TEST_GENERATED;
        ::mkdir(path.c_str(), 0755);
        return path;
    }();
    return directory;
}

std::string ffmpegStream(const std::string& name, const std::string& arguments)
{
    return generated(name, arguments, [&](const std::string& output) {
        run("ffmpeg -v error -nostdin -y -threads 1 " + arguments + " -threads 1 " + output);
    });
}

std::vector<YuvFrame> ffmpegFrames(const std::string& stream, const std::string& pixelFormat, int width, int height)
{
    std::string recipe = stream + " " + pixelFormat;
    std::string path = generated("reference.yuv", recipe, [&](const std::string& output) {
        run("ffmpeg -v error -nostdin -y -threads 1 -i " + stream +
            " -fps_mode passthrough -f rawvideo -pix_fmt " + pixelFormat + " " + output);
    });
    std::vector<uint8_t> bytes = readFile(path);
    YuvFrame shape;
    shape.width = width;
    shape.height = height;
    shape.chromaWidth = pixelFormat == "yuv444p" ? width : (width + 1) / 2;
    shape.chromaHeight = pixelFormat == "yuv420p" ? (height + 1) / 2 : height;
    size_t lumaSize = size_t(width) * height;
    size_t chromaSize = size_t(shape.chromaWidth) * shape.chromaHeight;
    size_t frameSize = lumaSize + 2 * chromaSize;
    std::vector<YuvFrame> frames;
    for (size_t offset = 0; offset + frameSize <= bytes.size(); offset += frameSize) {
        YuvFrame frame = shape;
        const uint8_t* p = bytes.data() + offset;
        frame.planes[0].assign(p, p + lumaSize);
        frame.planes[1].assign(p + lumaSize, p + lumaSize + chromaSize);
        frame.planes[2].assign(p + lumaSize + chromaSize, p + frameSize);
        frames.push_back(std::move(frame));
    }
    return frames;
}

std::string writeFile(const std::string& name, const std::vector<uint8_t>& bytes)
{
    std::string recipe(bytes.begin(), bytes.end());
    return generated(name, recipe, [&](const std::string& output) {
        std::ofstream out(output, std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    });
}

std::vector<uint8_t> readFile(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

DecodedStream decodeFile(const std::string& path, int outputWidth, int outputHeight, bool doubleIdct)
{
    Vostrel::VideoDecoder decoder;
    decoder.setMessageStreams(nullptr, nullptr);
    decoder.setDoubleIdct(doubleIdct);
    Vostrel::Set_Video_Output_Size(decoder, outputWidth, outputHeight);
    Vostrel::Open_Video_Stream(decoder, path.c_str());
    return decodeWith(decoder, outputWidth, outputHeight);
}

DecodedStream decodeBytes(const std::vector<uint8_t>& bytes, int outputWidth, int outputHeight)
{
    Vostrel::VideoDecoder decoder;
    decoder.setMessageStreams(nullptr, nullptr);
    decoder.setOutputSize(outputWidth, outputHeight);
    decoder.openMemory(bytes.data(), bytes.size());
    return decodeWith(decoder, outputWidth, outputHeight);
}

std::vector<uint8_t> blockyFrames(int width, int height, int frames, bool chroma422, unsigned seed)
{
    std::mt19937 random(seed);
    auto value = [&](int low, int high) { return uint8_t(8 * std::uniform_int_distribution<int>(low / 8, high / 8)(random)); };
    std::vector<uint8_t> bytes;
    const int chromaHeight = chroma422 ? height : height / 2;
    for (int f = 0; f < frames; ++f) {
        std::vector<uint8_t> luma(size_t(width) * height), cb(size_t(width / 2) * chromaHeight), cr(cb.size());
        for (int my = 0; my < height / 16; ++my)
            for (int mx = 0; mx < width / 16; ++mx) {
                uint8_t y = value(16, 232), u = value(16, 240), v = value(16, 240);
                for (int yy = 0; yy < 16; ++yy)
                    for (int xx = 0; xx < 16; ++xx)
                        luma[size_t(16 * my + yy) * width + 16 * mx + xx] = y;
                const int rows = chroma422 ? 16 : 8;
                for (int yy = 0; yy < rows; ++yy)
                    for (int xx = 0; xx < 8; ++xx) {
                        cb[size_t(rows * my + yy) * (width / 2) + 8 * mx + xx] = u;
                        cr[size_t(rows * my + yy) * (width / 2) + 8 * mx + xx] = v;
                    }
            }
        bytes.insert(bytes.end(), luma.begin(), luma.end());
        bytes.insert(bytes.end(), cb.begin(), cb.end());
        bytes.insert(bytes.end(), cr.begin(), cr.end());
    }
    return bytes;
}

int countWrittenFrames(Vostrel::VideoDecoder& decoder, int outputWidth, int outputHeight)
{
    std::vector<uint8_t> rgb(size_t(outputWidth) * outputHeight * 3);
    int written = 0;
    for (;;) {
        int more = decoder.decodeNextFrame(rgb.data());
        written += decoder.frameWritten();
        if (!more)
            return written;
    }
}

double psnr(const YuvFrame& a, const YuvFrame& b)
{
    double squares = 0;
    size_t count = 0;
    for (int p = 0; p < 3; ++p) {
        if (a.planes[p].size() != b.planes[p].size())
            return 0;
        for (size_t i = 0; i < a.planes[p].size(); ++i) {
            double d = double(a.planes[p][i]) - double(b.planes[p][i]);
            squares += d * d;
        }
        count += a.planes[p].size();
    }
    if (squares == 0)
        return 99;
    return 10 * std::log10(255.0 * 255.0 * double(count) / squares);
}

int maxDifference(const YuvFrame& a, const YuvFrame& b)
{
    int worst = 0;
    for (int p = 0; p < 3; ++p) {
        if (a.planes[p].size() != b.planes[p].size())
            return 256;
        for (size_t i = 0; i < a.planes[p].size(); ++i)
            worst = std::max(worst, std::abs(int(a.planes[p][i]) - int(b.planes[p][i])));
    }
    return worst;
}

std::vector<uint8_t> referenceRgb(const YuvFrame& frame, bool mpeg2, bool progressiveFrame, bool fieldOrder,
                                  int matrixCoefficients)
{
    const int w = frame.width, h = frame.height;
    auto clip = [](int v) { return std::min(255, std::max(0, v)); };
    auto tap = [&](int sum) { return clip((sum + 128) >> 8); };

    // Chroma at full height (4:2:2 layout).
    const int cw = frame.chromaWidth;
    std::vector<int> chroma422[2];
    for (int c = 0; c < 2; ++c) {
        const std::vector<uint8_t>& plane = frame.planes[1 + c];
        chroma422[c].assign(size_t(cw) * h, 0);
        if (frame.chromaHeight == h) {
            std::copy(plane.begin(), plane.end(), chroma422[c].begin());
            continue;
        }
        const int ch = frame.chromaHeight;
        auto in = [&](int x, int y, int low, int high) { return int(plane[size_t(std::clamp(y, low, high)) * cw + x]); };
        for (int x = 0; x < cw; ++x) {
            if (progressiveFrame) {
                for (int j = 0; j < ch; ++j) {
                    auto at = [&](int k) { return in(x, j + k, 0, ch - 1); };
                    chroma422[c][size_t(2 * j) * cw + x] =
                        tap(3 * at(-3) - 16 * at(-2) + 67 * at(-1) + 227 * at(0) - 32 * at(1) + 7 * at(2));
                    chroma422[c][size_t(2 * j + 1) * cw + x] =
                        tap(3 * at(3) - 16 * at(2) + 67 * at(1) + 227 * at(0) - 32 * at(-1) + 7 * at(-2));
                }
            } else {
                for (int j = 0; j + 1 < ch; j += 2) {
                    auto top = [&](int k) { return in(x, j + k, 0, ch - 2); };
                    auto bottom = [&](int k) { return in(x, j + k, 1, ch - 1); };
                    chroma422[c][size_t(2 * j) * cw + x] =
                        tap(top(-6) - 7 * top(-4) + 30 * top(-2) + 248 * top(0) - 21 * top(2) + 5 * top(4));
                    chroma422[c][size_t(2 * j + 2) * cw + x] =
                        tap(7 * top(-4) - 35 * top(-2) + 194 * top(0) + 110 * top(2) - 24 * top(4) + 4 * top(6));
                    chroma422[c][size_t(2 * j + 1) * cw + x] = tap(7 * bottom(5) - 35 * bottom(3) + 194 * bottom(1) +
                                                                   110 * bottom(-1) - 24 * bottom(-3) + 4 * bottom(-5));
                    chroma422[c][size_t(2 * j + 3) * cw + x] = tap(bottom(7) - 7 * bottom(5) + 30 * bottom(3) +
                                                                   248 * bottom(1) - 21 * bottom(-1) + 5 * bottom(-3));
                }
            }
        }
    }

    // Chroma at full width.
    std::vector<int> chroma444[2];
    for (int c = 0; c < 2; ++c) {
        if (cw == w) {
            chroma444[c] = chroma422[c];
            continue;
        }
        chroma444[c].assign(size_t(w) * h, 0);
        for (int y = 0; y < h; ++y) {
            auto s = [&](int i) { return chroma422[c][size_t(y) * cw + std::clamp(i, 0, cw - 1)]; };
            for (int i = 0; i < cw; ++i) {
                int even, odd;
                if (mpeg2) {
                    even = s(i);
                    odd = tap(21 * (s(i - 2) + s(i + 3)) - 52 * (s(i - 1) + s(i + 2)) + 159 * (s(i) + s(i + 1)));
                } else {
                    even = tap(5 * s(i - 3) - 21 * s(i - 2) + 70 * s(i - 1) + 228 * s(i) - 37 * s(i + 1) + 11 * s(i + 2));
                    odd = tap(5 * s(i + 3) - 21 * s(i + 2) + 70 * s(i + 1) + 228 * s(i) - 37 * s(i - 1) + 11 * s(i - 2));
                }
                if (2 * i < w)
                    chroma444[c][size_t(y) * w + 2 * i] = even;
                if (2 * i + 1 < w)
                    chroma444[c][size_t(y) * w + 2 * i + 1] = odd;
            }
        }
    }

    static const int factors[8][4] = {
        {117504, 138453, 13954, 34903}, {117504, 138453, 13954, 34903}, {104597, 132201, 25675, 53279},
        {104597, 132201, 25675, 53279}, {104448, 132798, 24759, 53109}, {104597, 132201, 25675, 53279},
        {104597, 132201, 25675, 53279}, {117579, 136230, 16907, 35559},
    };
    const int* f = factors[matrixCoefficients >= 0 && matrixCoefficients < 8 ? matrixCoefficients : 0];
    std::vector<int> rows;
    if (fieldOrder) {
        for (int y = 0; y < h / 2; ++y)
            rows.push_back(2 * y);
        for (int y = 0; y < h / 2; ++y)
            rows.push_back(2 * y + 1);
    } else {
        for (int y = 0; y < h; ++y)
            rows.push_back(y);
    }
    std::vector<uint8_t> rgb;
    for (int y : rows)
        for (int x = 0; x < w; ++x) {
            int luma = 76309 * (frame.planes[0][size_t(y) * w + x] - 16);
            int u = chroma444[0][size_t(y) * w + x] - 128;
            int v = chroma444[1][size_t(y) * w + x] - 128;
            rgb.push_back(uint8_t(clip((luma + f[0] * v + 32768) >> 16)));
            rgb.push_back(uint8_t(clip((luma - f[2] * u - f[3] * v + 32768) >> 16)));
            rgb.push_back(uint8_t(clip((luma + f[1] * u + 32768) >> 16)));
        }
    return rgb;
}

} // namespace VideoTest
