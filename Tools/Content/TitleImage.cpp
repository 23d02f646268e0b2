// "data/Textures/title.png": the loading screen's title, stretched over the
// window. Block letters with a glow on a dark blue ground; the band where
// the progress bar runs (a fiftieth of the height around 90 % down) is kept
// near black so the blue bar reads against it.
#include "Tools/Content/BlockLetters.h"
#include "Tools/Content/ContentWriter.h"
#include "Tools/Content/PngWriter.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <vector>

namespace Vostrel {
namespace Content {

namespace {

const int titleSize = 512;

uint8_t toByte(float value)
{
    return static_cast<uint8_t>(std::lround(std::clamp(value, 0.0f, 1.0f) * 255.0f));
}

std::vector<uint8_t> titlePixels()
{
    const float cell = 10.0f;
    const char* word = "VOSTREL";
    const float wordWidth = (7 * 6 - 1) * cell;
    const std::vector<CellBox> cells = letterCells(word, (titleSize - wordWidth) / 2, 165.0f, cell);
    const float ruleY = 262.0f;
    const float ruleLeft = (titleSize - wordWidth) / 2;
    const float ruleRight = ruleLeft + wordWidth;
    const float barTop = 0.86f * titleSize;
    const float barBottom = 0.94f * titleSize;

    std::vector<uint8_t> rgba(static_cast<size_t>(titleSize) * titleSize * 4);
    for (int y = 0; y < titleSize; ++y)
        for (int x = 0; x < titleSize; ++x) {
            const float px = x + 0.5f, py = y + 0.5f;
            const float down = py / titleSize;
            float r = 0.04f - 0.03f * down, g = 0.055f - 0.04f * down, b = 0.14f - 0.1f * down;
            if (x % 32 == 0 || y % 32 == 0) {
                r += 0.02f;
                g += 0.035f;
                b += 0.06f;
            }
            float nearest = 1e9f;
            for (const CellBox& box : cells)
                nearest = std::min(nearest, distanceToCell(px, py, box));
            const float core = std::clamp(1.5f - nearest, 0.0f, 1.0f);
            const float glow = 0.55f * std::exp(-nearest / 10.0f);
            float rule = 0.0f;
            if (px >= ruleLeft && px <= ruleRight)
                rule = 0.6f * std::exp(-std::fabs(py - ruleY) / 1.2f);
            r += 0.70f * core + 0.10f * glow + 0.2f * rule;
            g += 0.86f * core + 0.35f * glow + 0.5f * rule;
            b += 1.00f * core + 0.90f * glow + 0.9f * rule;
            if (py >= barTop && py <= barBottom) {
                r *= 0.2f;
                g *= 0.2f;
                b *= 0.2f;
            }
            uint8_t* pixel = &rgba[(static_cast<size_t>(y) * titleSize + x) * 4];
            pixel[0] = toByte(r);
            pixel[1] = toByte(g);
            pixel[2] = toByte(b);
            pixel[3] = 255;
        }
    return rgba;
}

RegisterContentWriter titleWriter("title", [](const std::string& root) {
    writePngRgba(prepareOutputPath(root, "data/Textures/title.png"), titleSize, titleSize, titlePixels());
});

} // namespace

} // namespace Content
} // namespace Vostrel
