#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace VostrelBench {

// A window picture scaled down, with the line that labels it.
struct SheetCell {
    std::string label;
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels; // BGRA words, rows top first
};

// Halves a picture's size until it is no wider than maxWidth (box filter).
SheetCell shrinkPicture(const uint32_t* pixels, int width, int height, int maxWidth, std::string label);

// Writes BGRA words (rows top first) as an opaque RGBA PNG file.
void writePicture(const std::string& path, const uint32_t* pixels, int width, int height);

// Writes the cells row by row, columns to a row, each under its label in
// the TrueType face, with a heading line, as one PNG.
void writeContactSheet(const std::string& path, const std::string& heading, const std::vector<SheetCell>& cells,
                       int columns, const std::string& fontFile);

} // namespace VostrelBench
