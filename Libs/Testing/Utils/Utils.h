#pragma once

#include "Libs/Math/Vec.h"

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace Vostrel {

class Envelope;
namespace Core {
class Texture;
}

// A 32-bit word w as a value in [0, 1): w * 2^-32 as a float, except that
// the largest words, which that rounds up to 1.0, give the float just below.
float unitRandom(uint32_t word);
// The next word of the program-wide generator as a value in [0, 1).
float unitRandom();

// "#rrggbb" to (r, g, b, alpha), each channel over 255.
void parseHtmlColor(Vec4& out, const std::string& htmlColorCode, float alpha);

// A repeating pulse pattern, one step per digit: each pulse starts at the
// digit's value and falls to 0 just before the next step.
std::unique_ptr<Envelope> envelopeFromDigits(const std::string& digits, float step, float start);

// Appends the file's lines, each with its line end, in pieces of at most 127
// characters.
void ReadLines(const std::string& fileName, std::vector<std::string>& lines);

// The texture of a file through the by-name cache; not owned.
struct CachedTexture {
    explicit CachedTexture(const std::string& fileName);
    Core::Texture* texture;
};

struct NamedSetting {
    NamedSetting() = default;
    std::string name;
    float value = 0.001f;
    uint32_t words[5] = {0, 0, 0, 0, 0};
};

// Files the toolkit reads whole are refused past this size.
constexpr long maxToolkitFileBytes = 16L * 1024 * 1024;

} // namespace Vostrel
