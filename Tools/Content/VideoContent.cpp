#include "Tools/Content/VideoContent.h"

#include "Libs/Common/Exception.h"
#include "Tools/Content/BlockLetters.h"
#include "Tools/Content/ContentWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <sstream>

namespace Vostrel {
namespace Content {

void writeVideo(const std::string& path, int width, int height, int frames, const FramePainter& paint)
{
    if (width <= 0 || height <= 0 || width % 2 || height % 2 || frames <= 0)
        VOSTREL_THROW("writeVideo: cannot make " << frames << " frames of " << width << " x " << height);
    std::ostringstream command;
    command << "ffmpeg -nostdin -y -loglevel error -f rawvideo -pix_fmt rgb24 -s " << width << "x" << height
            << " -r 25 -i - -threads 1 -fflags +bitexact -flags +bitexact -c:v mpeg1video -q:v 2 -g 12 -bf 2"
            << " -f mpeg1video '" << path << "'";
    std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.str().c_str(), "w"), &pclose);
    if (!pipe)
        VOSTREL_THROW("writeVideo: cannot run ffmpeg for " << path);
    std::vector<uint8_t> frame(static_cast<size_t>(width) * height * 3);
    for (int k = 0; k < frames; ++k) {
        paint(k, width, height, frame);
        if (std::fwrite(frame.data(), 1, frame.size(), pipe.get()) != frame.size())
            VOSTREL_THROW("writeVideo: ffmpeg stopped taking frames for " << path);
    }
    const int status = pclose(pipe.release());
    if (status != 0)
        VOSTREL_THROW("writeVideo: ffmpeg failed (status " << status << ") writing " << path);
}

void flatFrameColour(int frame, unsigned char rgb[3])
{
    const int k = frame % 216;
    rgb[0] = static_cast<unsigned char>(20 + 40 * (k % 6));
    rgb[1] = static_cast<unsigned char>(20 + 40 * ((k / 6) % 6));
    rgb[2] = static_cast<unsigned char>(20 + 40 * (k / 36));
}

void writeFlatColourVideo(const std::string& path, int width, int height, int frames)
{
    writeVideo(path, width, height, frames, [](int k, int, int, std::vector<uint8_t>& rgb) {
        unsigned char colour[3];
        flatFrameColour(k, colour);
        for (size_t i = 0; i < rgb.size(); i += 3)
            std::copy(colour, colour + 3, rgb.begin() + i);
    });
}

namespace {

// A fixed number in 0..1 for each cell and purpose.
float cellNumber(size_t cell, uint32_t purpose)
{
    uint32_t h = static_cast<uint32_t>(cell) * 2654435761u + purpose * 40503u;
    h = (h ^ (h >> 15)) * 2246822519u;
    h ^= h >> 13;
    return static_cast<float>(h & 0xffffu) / 65535.0f;
}

float ease(float k)
{
    k = std::clamp(k, 0.0f, 1.0f);
    return k * k * (3 - 2 * k);
}

uint8_t toByte(float value) { return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f)); }

} // namespace

void paintTitleAnimation(int frame, int width, int height, std::vector<uint8_t>& rgb)
{
    const float cell = width * 0.0215f;
    const float wordWidth = 41 * cell;
    const float left = (width - wordWidth) / 2, top = height * 0.36f;
    std::vector<CellBox> cells = letterCells("VOSTREL", left, top, cell);
    const float t = static_cast<float>(frame);

    // The title's ground, its grid drifting to the left.
    const size_t pixels = static_cast<size_t>(width) * height;
    std::vector<float> r(pixels), g(pixels), b(pixels), core(pixels, 0.0f), glow(pixels, 0.0f);
    const int grid = std::max(4, width / 16);
    const int drift = frame / 2;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t i = static_cast<size_t>(y) * width + x;
            const float down = (y + 0.5f) / height;
            const bool line = (x + drift) % grid == 0 || y % grid == 0;
            r[i] = 0.04f - 0.012f * down + (line ? 0.02f : 0.0f);
            g[i] = 0.055f - 0.016f * down + (line ? 0.035f : 0.0f);
            b[i] = 0.14f - 0.035f * down + (line ? 0.06f : 0.0f);
        }

    // The word stands, bursts (each cell flies off to its own place), drifts
    // and gathers again; while it stands a wave runs along it and a light
    // sweeps through it.
    const float sweep = std::fmod(t + 20.0f, 45.0f) / 45.0f * (wordWidth + 8 * cell) + left - 4 * cell;
    for (size_t c = 0; c < cells.size(); ++c) {
        CellBox box = cells[c];
        const float out = ease((t - 30.0f - 10.0f * cellNumber(c, 1)) / 20.0f);
        const float back = ease((t - 80.0f - 30.0f * cellNumber(c, 2)) / 30.0f);
        const float away = out * (1 - back);
        const float angle = 6.2831853f * cellNumber(c, 3) + 0.01f * t;
        const float reach = width * (0.3f + 0.4f * cellNumber(c, 4)) * away;
        const float wave = std::sin(0.25f * t - 0.35f * (box.x0 - left) / cell) * 0.5f * cell * (1 - away);
        const float dx = std::cos(angle) * reach, dy = std::sin(angle) * reach + wave;
        box = {box.x0 + dx, box.y0 + dy, box.x1 + dx, box.y1 + dy};
        const float centre = (box.x0 + box.x1) / 2;
        const float light =
            1.0f - 0.55f * away + 0.8f * (1 - away) * std::exp(-std::pow((centre - sweep) / (2 * cell), 2.0f));
        const int reachPixels = static_cast<int>(5 * cell);
        const int x0 = std::max(0, static_cast<int>(box.x0) - reachPixels);
        const int x1 = std::min(width - 1, static_cast<int>(box.x1) + reachPixels);
        const int y0 = std::max(0, static_cast<int>(box.y0) - reachPixels);
        const int y1 = std::min(height - 1, static_cast<int>(box.y1) + reachPixels);
        for (int y = y0; y <= y1; ++y)
            for (int x = x0; x <= x1; ++x) {
                const size_t i = static_cast<size_t>(y) * width + x;
                const float d = distanceToCell(x + 0.5f, y + 0.5f, box);
                core[i] = std::max(core[i], std::clamp(1.5f - d, 0.0f, 1.0f) * light);
                glow[i] = std::max(glow[i], 0.55f * std::exp(-d / cell) * light);
            }
    }
    // The rule under the word grows from its middle while the word stands.
    const float ruleY = top + 9 * cell;
    const float ruleHalf =
        wordWidth / 2 * (ease(t / 20.0f) * (1 - ease((t - 30.0f) / 15.0f)) + ease((t - 110.0f) / 20.0f));
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t i = static_cast<size_t>(y) * width + x;
            const float rule = std::fabs(x + 0.5f - width / 2.0f) <= ruleHalf
                                   ? 0.6f * std::exp(-std::fabs(y + 0.5f - ruleY) / 1.2f)
                                   : 0.0f;
            r[i] += 0.70f * core[i] + 0.10f * glow[i] + 0.2f * rule;
            g[i] += 0.86f * core[i] + 0.35f * glow[i] + 0.5f * rule;
            b[i] += 1.00f * core[i] + 0.90f * glow[i] + 0.9f * rule;
        }

    // The frame's number, small and dim in the bottom right corner.
    char number[8];
    std::snprintf(number, sizeof number, "%03d", frame % 1000);
    const float digitCell = std::max(2.0f, width / 128.0f);
    const float numberLeft = width - 4 - 17 * digitCell, numberTop = height - 4 - 7 * digitCell;
    for (const CellBox& box : letterCells(number, numberLeft, numberTop, digitCell))
        for (int y = static_cast<int>(box.y0) - 1; y <= static_cast<int>(box.y1) + 1; ++y)
            for (int x = static_cast<int>(box.x0) - 1; x <= static_cast<int>(box.x1) + 1; ++x) {
                if (x < 0 || y < 0 || x >= width || y >= height)
                    continue;
                const size_t i = static_cast<size_t>(y) * width + x;
                const float lit = std::clamp(1.5f - distanceToCell(x + 0.5f, y + 0.5f, box), 0.0f, 1.0f);
                r[i] += 0.45f * lit;
                g[i] += 0.7f * lit;
                b[i] += 0.85f * lit;
            }

    for (size_t i = 0; i < pixels; ++i) {
        rgb[3 * i] = toByte(r[i]);
        rgb[3 * i + 1] = toByte(g[i]);
        rgb[3 * i + 2] = toByte(b[i]);
    }
}

namespace {

const RegisterContentWriter video("video", [](const std::string& root) {
    writeVideo(prepareOutputPath(root, "data/Videos/mov2005-6.mpg"), 256, 256, 150, paintTitleAnimation);
});

} // namespace

} // namespace Content
} // namespace Vostrel
