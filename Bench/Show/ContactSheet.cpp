#include "Bench/Show/ContactSheet.h"

#include "Libs/Image/FontRenderer.h"
#include "Tools/Content/PngWriter.h"

#include <algorithm>
#include <cstring>
#include <memory>

namespace VostrelBench {

namespace {

const int margin = 8;
const int labelHeight = 20;
const int headingHeight = 32;
const uint32_t background = 0xFF303030u;

void drawLine(Vostrel::FontRenderer& font, int sheetHeight, int x, int top, int size, const std::string& text)
{
    font.setCharSize(size, 72, 72);
    const float identity[4] = {1.0f, 0.0f, 0.0f, 1.0f};
    // The pen's y counts up from the bottom edge; the base line sits a
    // quarter of the size above the line's bottom.
    const float pen[2] = {static_cast<float>(x), static_cast<float>(sheetHeight - top - size - size / 4)};
    font.setTransform(identity, pen);
    font.drawText(text.c_str());
}

} // namespace

SheetCell shrinkPicture(const uint32_t* pixels, int width, int height, int maxWidth, std::string label)
{
    SheetCell cell;
    cell.label = std::move(label);
    cell.width = width;
    cell.height = height;
    cell.pixels.assign(pixels, pixels + static_cast<size_t>(width) * height);
    while (cell.width > maxWidth && cell.width >= 2 && cell.height >= 2) {
        const int w = cell.width / 2, h = cell.height / 2;
        std::vector<uint32_t> half(static_cast<size_t>(w) * h);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                uint32_t out = 0;
                for (int shift = 0; shift < 32; shift += 8) {
                    uint32_t sum = 0;
                    for (int dy = 0; dy < 2; ++dy)
                        for (int dx = 0; dx < 2; ++dx)
                            sum += (cell.pixels[static_cast<size_t>(2 * y + dy) * cell.width + 2 * x + dx] >> shift) &
                                   0xFFu;
                    out |= ((sum + 2) / 4) << shift;
                }
                half[static_cast<size_t>(y) * w + x] = out;
            }
        cell.pixels.swap(half);
        cell.width = w;
        cell.height = h;
    }
    return cell;
}

void writeContactSheet(const std::string& path, const std::string& heading, const std::vector<SheetCell>& cells,
                       int columns, const std::string& fontFile)
{
    int cellWidth = 1, cellHeight = 1;
    for (const SheetCell& cell : cells) {
        cellWidth = std::max(cellWidth, cell.width);
        cellHeight = std::max(cellHeight, cell.height);
    }
    const int rows = std::max(1, (static_cast<int>(cells.size()) + columns - 1) / columns);
    const int width = margin + columns * (cellWidth + margin);
    const int height = headingHeight + rows * (labelHeight + cellHeight + margin) + margin;
    std::vector<uint32_t> sheet(static_cast<size_t>(width) * height, background);
    uint32_t* out = sheet.data();

    std::unique_ptr<Vostrel::FontRenderer> font(Vostrel::FontRenderer::create(width, height, out));
    font->selectFace(font->loadFace(fontFile.c_str()));
    drawLine(*font, height, margin, margin / 2, 18, heading);
    for (size_t i = 0; i < cells.size(); ++i) {
        const SheetCell& cell = cells[i];
        const int x = margin + static_cast<int>(i % columns) * (cellWidth + margin);
        const int top = headingHeight + static_cast<int>(i / columns) * (labelHeight + cellHeight + margin);
        drawLine(*font, height, x, top + 2, 13, cell.label);
        for (int y = 0; y < cell.height; ++y)
            std::memcpy(out + static_cast<size_t>(top + labelHeight + y) * width + x,
                        cell.pixels.data() + static_cast<size_t>(y) * cell.width, cell.width * sizeof(uint32_t));
    }
    font->releaseTarget();
    writePicture(path, sheet.data(), width, height);
}

void writePicture(const std::string& path, const uint32_t* pixels, int width, int height)
{
    std::vector<uint8_t> rgba(static_cast<size_t>(width) * height * 4);
    for (size_t i = 0; i < rgba.size() / 4; ++i) {
        rgba[4 * i] = static_cast<uint8_t>(pixels[i] >> 16);
        rgba[4 * i + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        rgba[4 * i + 2] = static_cast<uint8_t>(pixels[i]);
        rgba[4 * i + 3] = 0xFF;
    }
    Vostrel::Content::writePngRgba(path, width, height, rgba);
}

} // namespace VostrelBench
