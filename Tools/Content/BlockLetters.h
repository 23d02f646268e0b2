#pragma once

#include <vector>

namespace Vostrel {
namespace Content {

// The title's lettering: 5 x 7 block glyphs of the capitals the show writes
// and the digits, each lit cell a square a pixel smaller than its place.
struct CellBox {
    float x0, y0, x1, y1;
};

// The lit cells of a text, cellSize pixels a cell and six cells a
// character, from (left, top); characters without a glyph stay blank.
std::vector<CellBox> letterCells(const char* text, float left, float top, float cellSize);

// Distance from a point to a cell, 0 inside.
float distanceToCell(float x, float y, const CellBox& cell);

} // namespace Content
} // namespace Vostrel
