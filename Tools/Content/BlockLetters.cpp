#include "Tools/Content/BlockLetters.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace Vostrel {
namespace Content {

namespace {

// One string per row.
struct Glyph {
    char letter;
    const char* rows[7];
};

const Glyph glyphs[] = {
    {'V', {"X...X", "X...X", "X...X", "X...X", "X...X", ".X.X.", "..X.."}},
    {'O', {".XXX.", "X...X", "X...X", "X...X", "X...X", "X...X", ".XXX."}},
    {'S', {".XXXX", "X....", "X....", ".XXX.", "....X", "....X", "XXXX."}},
    {'T', {"XXXXX", "..X..", "..X..", "..X..", "..X..", "..X..", "..X.."}},
    {'R', {"XXXX.", "X...X", "X...X", "XXXX.", "X.X..", "X..X.", "X...X"}},
    {'E', {"XXXXX", "X....", "X....", "XXXX.", "X....", "X....", "XXXXX"}},
    {'L', {"X....", "X....", "X....", "X....", "X....", "X....", "XXXXX"}},
    {'0', {".XXX.", "X...X", "X..XX", "X.X.X", "XX..X", "X...X", ".XXX."}},
    {'1', {"..X..", ".XX..", "..X..", "..X..", "..X..", "..X..", ".XXX."}},
    {'2', {".XXX.", "X...X", "....X", "...X.", "..X..", ".X...", "XXXXX"}},
    {'3', {"XXXX.", "....X", "....X", ".XXX.", "....X", "....X", "XXXX."}},
    {'4', {"...X.", "..XX.", ".X.X.", "X..X.", "XXXXX", "...X.", "...X."}},
    {'5', {"XXXXX", "X....", "XXXX.", "....X", "....X", "X...X", ".XXX."}},
    {'6', {"..XX.", ".X...", "X....", "XXXX.", "X...X", "X...X", ".XXX."}},
    {'7', {"XXXXX", "....X", "...X.", "..X..", ".X...", ".X...", ".X..."}},
    {'8', {".XXX.", "X...X", "X...X", ".XXX.", "X...X", "X...X", ".XXX."}},
    {'9', {".XXX.", "X...X", "X...X", ".XXXX", "....X", "...X.", ".XX.."}},
};

} // namespace

std::vector<CellBox> letterCells(const char* text, float left, float top, float cellSize)
{
    std::vector<CellBox> cells;
    for (int i = 0; text[i]; ++i) {
        const Glyph* glyph = std::find_if(std::begin(glyphs), std::end(glyphs),
                                          [&](const Glyph& g) { return g.letter == text[i]; });
        if (glyph == std::end(glyphs))
            continue;
        for (int row = 0; row < 7; ++row)
            for (int column = 0; column < 5; ++column)
                if (glyph->rows[row][column] == 'X') {
                    const float x = left + (i * 6 + column) * cellSize;
                    const float y = top + row * cellSize;
                    cells.push_back({x + 1.0f, y + 1.0f, x + cellSize - 1.0f, y + cellSize - 1.0f});
                }
    }
    return cells;
}

float distanceToCell(float x, float y, const CellBox& cell)
{
    const float dx = std::max({cell.x0 - x, 0.0f, x - cell.x1});
    const float dy = std::max({cell.y0 - y, 0.0f, y - cell.y1});
    return std::sqrt(dx * dx + dy * dy);
}

} // namespace Content
} // namespace Vostrel
