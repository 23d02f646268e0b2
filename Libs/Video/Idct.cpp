#include "Libs/Video/Idct.h"

#include <algorithm>
#include <cmath>

namespace Vostrel::Video {

namespace {

// 2048 * sqrt(2) * cos(k * pi / 16), rounded.
constexpr int64_t W1 = 2841;
constexpr int64_t W2 = 2676;
constexpr int64_t W3 = 2408;
constexpr int64_t W5 = 1609;
constexpr int64_t W6 = 1108;
constexpr int64_t W7 = 565;

// The butterflies shared by both passes: of the even part the sum and the
// difference of the c0 and c4 terms and the rotated c2, c6 terms (x2, x3);
// the odd part's x4 to x7.
inline void lastStages(int64_t sum, int64_t difference, int64_t x2, int64_t x3, int64_t x4, int64_t x5, int64_t x6,
                       int64_t x7, int64_t* out)
{
    int64_t x8 = sum;
    int64_t x0 = difference;
    int64_t x1 = x4 + x6;
    x4 -= x6;
    x6 = x5 + x7;
    x5 -= x7;
    x7 = x8 + x3;
    x8 -= x3;
    x3 = x0 + x2;
    x0 -= x2;
    x2 = (181 * (x4 + x5) + 128) >> 8;
    x4 = (181 * (x4 - x5) + 128) >> 8;
    out[0] = x7 + x1;
    out[1] = x3 + x2;
    out[2] = x0 + x4;
    out[3] = x8 + x6;
    out[4] = x8 - x6;
    out[5] = x0 - x4;
    out[6] = x3 - x2;
    out[7] = x7 - x1;
}

// 64-bit intermediates: valid blocks never come near 32 bits, but blocks
// that damaged data can produce would overflow them.
inline void rowPass(const int16_t* in, int64_t* out)
{
    int64_t x1 = in[4], x2 = in[6], x3 = in[2], x4 = in[1], x5 = in[7], x6 = in[5], x7 = in[3];
    if (!(x1 | x2 | x3 | x4 | x5 | x6 | x7)) {
        int64_t value = in[0] * 8;
        for (int i = 0; i < 8; ++i)
            out[i] = value;
        return;
    }
    x1 *= 2048;
    int64_t x0 = in[0] * 2048 + 128;

    int64_t x8 = W7 * (x4 + x5);
    x4 = x8 + (W1 - W7) * x4;
    x5 = x8 - (W1 + W7) * x5;
    x8 = W3 * (x6 + x7);
    x6 = x8 - (W3 - W5) * x6;
    x7 = x8 - (W3 + W5) * x7;

    const int64_t sum = x0 + x1, difference = x0 - x1;
    x1 = W6 * (x3 + x2);
    x2 = x1 - (W2 + W6) * x2;
    x3 = x1 + (W2 - W6) * x3;

    int64_t sums[8];
    lastStages(sum, difference, x2, x3, x4, x5, x6, x7, sums);
    for (int i = 0; i < 8; ++i)
        out[i] = sums[i] >> 8;
}

inline int16_t clipSample(int64_t value)
{
    return static_cast<int16_t>(std::clamp<int64_t>(value, -256, 255));
}

inline void columnPass(const int64_t* in, int16_t* out)
{
    int64_t x1 = in[8 * 4], x2 = in[8 * 6], x3 = in[8 * 2], x4 = in[8 * 1], x5 = in[8 * 7],
            x6 = in[8 * 5], x7 = in[8 * 3];
    if (!(x1 | x2 | x3 | x4 | x5 | x6 | x7)) {
        int16_t value = clipSample((in[0] + 32) >> 6);
        for (int i = 0; i < 8; ++i)
            out[8 * i] = value;
        return;
    }
    x1 *= 256;
    int64_t x0 = in[0] * 256 + 8192;

    int64_t x8 = W7 * (x4 + x5) + 4;
    x4 = (x8 + (W1 - W7) * x4) >> 3;
    x5 = (x8 - (W1 + W7) * x5) >> 3;
    x8 = W3 * (x6 + x7) + 4;
    x6 = (x8 - (W3 - W5) * x6) >> 3;
    x7 = (x8 - (W3 + W5) * x7) >> 3;

    const int64_t sum = x0 + x1, difference = x0 - x1;
    x1 = W6 * (x3 + x2) + 4;
    x2 = (x1 - (W2 + W6) * x2) >> 3;
    x3 = (x1 + (W2 - W6) * x3) >> 3;

    int64_t sums[8];
    lastStages(sum, difference, x2, x3, x4, x5, x6, x7, sums);
    for (int i = 0; i < 8; ++i)
        out[8 * i] = clipSample(sums[i] >> 14);
}

struct CosineTable {
    double c[8][8]; // [frequency][sample]
    CosineTable()
    {
        const double pi = 3.14159265358979323846;
        for (int i = 0; i < 8; ++i)
            for (int j = 0; j < 8; ++j)
                c[i][j] = (i == 0 ? std::sqrt(0.125) : 0.5) * std::cos(pi / 8.0 * i * (j + 0.5));
    }
};

} // namespace

void fastIdct(int16_t* block)
{
    int64_t rows[64];
    for (int r = 0; r < 8; ++r)
        rowPass(block + 8 * r, rows + 8 * r);
    for (int c = 0; c < 8; ++c)
        columnPass(rows + c, block + c);
}

void doubleIdct(int16_t* block)
{
    static const CosineTable table;
    double partial[8][8]; // [vertical frequency][x]
    for (int v = 0; v < 8; ++v)
        for (int x = 0; x < 8; ++x) {
            double sum = 0.0;
            for (int u = 0; u < 8; ++u)
                sum += table.c[u][x] * block[8 * v + u];
            partial[v][x] = sum;
        }
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 8; ++x) {
            double sum = 0.0;
            for (int v = 0; v < 8; ++v)
                sum += table.c[v][y] * partial[v][x];
            block[8 * y + x] = static_cast<int16_t>(std::clamp(std::floor(sum + 0.5), -256.0, 255.0));
        }
}

} // namespace Vostrel::Video
