#include "Libs/Video/Idct.h"

#include "Libs/Video/Vectorize.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstring>

namespace Vostrel::Video {

namespace {

// 2048 * sqrt(2) * cos(k * pi / 16), rounded.
constexpr int W1 = 2841;
constexpr int W2 = 2676;
constexpr int W3 = 2408;
constexpr int W5 = 1609;
constexpr int W6 = 1108;
constexpr int W7 = 565;

// The stages below serve one sample (int64_t) and eight lanes of 32-bit
// samples alike; they are inlined into each caller, so that the lanes take
// the vector instructions of the caller's target.
#define VOSTREL_IDCT_INLINE inline __attribute__((always_inline))

typedef int32_t Lanes __attribute__((vector_size(32)));
// Always inlined, so no call passes lanes by value: no ABI to keep.
#if defined(__clang__)
#pragma clang diagnostic ignored "-Wpsabi"
#elif defined(__GNUC__)
#pragma GCC diagnostic ignored "-Wpsabi"
#endif
typedef int16_t ShortLanes __attribute__((vector_size(16)));

// (181 * x + 128) >> 8 without forming 181 * x, which overflows 32 bits for
// extreme blocks: x = 256 h + l with 0 <= l < 256.
template <typename T>
VOSTREL_IDCT_INLINE T rotate181(T x)
{
    return 181 * (x >> 8) + ((181 * (x & 255) + 128) >> 8);
}

// The butterflies shared by both passes: of the even part the sum and the
// difference of the c0 and c4 terms and the rotated c2, c6 terms (x2, x3);
// the odd part's x4 to x7.
template <typename T>
VOSTREL_IDCT_INLINE void lastStages(T sum, T difference, T x2, T x3, T x4, T x5, T x6, T x7, T* out)
{
    T x8 = sum;
    T x0 = difference;
    T x1 = x4 + x6;
    x4 -= x6;
    x6 = x5 + x7;
    x5 -= x7;
    x7 = x8 + x3;
    x8 -= x3;
    x3 = x0 + x2;
    x0 -= x2;
    x2 = rotate181(x4 + x5);
    x4 = rotate181(x4 - x5);
    out[0] = x7 + x1;
    out[1] = x3 + x2;
    out[2] = x0 + x4;
    out[3] = x8 + x6;
    out[4] = x8 - x6;
    out[5] = x0 - x4;
    out[6] = x3 - x2;
    out[7] = x7 - x1;
}

// One row: in[k] is coefficient k; out[i] sample i before the columns.
template <typename T>
VOSTREL_IDCT_INLINE void rowStages(const T* in, T* out)
{
    T x1 = in[4] * 2048, x2 = in[6], x3 = in[2], x4 = in[1], x5 = in[7], x6 = in[5], x7 = in[3];
    const T x0 = in[0] * 2048 + 128;

    T x8 = W7 * (x4 + x5);
    x4 = x8 + (W1 - W7) * x4;
    x5 = x8 - (W1 + W7) * x5;
    x8 = W3 * (x6 + x7);
    x6 = x8 - (W3 - W5) * x6;
    x7 = x8 - (W3 + W5) * x7;

    const T sum = x0 + x1, difference = x0 - x1;
    x1 = W6 * (x3 + x2);
    x2 = x1 - (W2 + W6) * x2;
    x3 = x1 + (W2 - W6) * x3;

    T sums[8];
    lastStages(sum, difference, x2, x3, x4, x5, x6, x7, sums);
    for (int i = 0; i < 8; ++i)
        out[i] = sums[i] >> 8;
}

// One column: in[k] is row k's value; out[i] sample i, not yet clipped.
template <typename T>
VOSTREL_IDCT_INLINE void columnStages(const T* in, T* out)
{
    T x1 = in[4] * 256, x2 = in[6], x3 = in[2], x4 = in[1], x5 = in[7], x6 = in[5], x7 = in[3];
    const T x0 = in[0] * 256 + 8192;

    T x8 = W7 * (x4 + x5) + 4;
    x4 = (x8 + (W1 - W7) * x4) >> 3;
    x5 = (x8 - (W1 + W7) * x5) >> 3;
    x8 = W3 * (x6 + x7) + 4;
    x6 = (x8 - (W3 - W5) * x6) >> 3;
    x7 = (x8 - (W3 + W5) * x7) >> 3;

    const T sum = x0 + x1, difference = x0 - x1;
    x1 = W6 * (x3 + x2) + 4;
    x2 = (x1 - (W2 + W6) * x2) >> 3;
    x3 = (x1 + (W2 - W6) * x3) >> 3;

    T sums[8];
    lastStages(sum, difference, x2, x3, x4, x5, x6, x7, sums);
    for (int i = 0; i < 8; ++i)
        out[i] = sums[i] >> 14;
}

// 64-bit intermediates: any 16-bit coefficients, however extreme.
inline void rowPass(const int16_t* in, int64_t* out)
{
    if (!(in[1] | in[2] | in[3] | in[4] | in[5] | in[6] | in[7])) {
        const int64_t value = in[0] * 8;
        for (int i = 0; i < 8; ++i)
            out[i] = value;
        return;
    }
    int64_t wide[8];
    for (int k = 0; k < 8; ++k)
        wide[k] = in[k];
    rowStages(wide, out);
}

inline int16_t clipSample(int64_t value)
{
    return static_cast<int16_t>(std::clamp<int64_t>(value, -256, 255));
}

inline void columnPass(const int64_t* in, int16_t* out)
{
    int64_t column[8];
    for (int k = 0; k < 8; ++k)
        column[k] = in[8 * k];
    int64_t samples[8];
    if (!(column[1] | column[2] | column[3] | column[4] | column[5] | column[6] | column[7])) {
        for (int i = 0; i < 8; ++i)
            samples[i] = (column[0] + 32) >> 6;
    } else {
        columnStages(column, samples);
    }
    for (int i = 0; i < 8; ++i)
        out[8 * i] = clipSample(samples[i]);
}

// 8 x 8 lanes transposed: unpacking pairs, then pairs of pairs, then halves.
VOSTREL_IDCT_INLINE void transpose(Lanes* m)
{
    Lanes a[8], b[8];
    for (int i = 0; i < 8; i += 2) {
        a[i] = __builtin_shufflevector(m[i], m[i + 1], 0, 8, 1, 9, 4, 12, 5, 13);
        a[i + 1] = __builtin_shufflevector(m[i], m[i + 1], 2, 10, 3, 11, 6, 14, 7, 15);
    }
    for (int i = 0; i < 8; i += 4)
        for (int j = 0; j < 2; ++j) {
            b[i + j] = __builtin_shufflevector(a[i + j], a[i + j + 2], 0, 1, 8, 9, 4, 5, 12, 13);
            b[i + j + 2] = __builtin_shufflevector(a[i + j], a[i + j + 2], 2, 3, 10, 11, 6, 7, 14, 15);
        }
    // b[0..3] hold rows 0-3, b[4..7] rows 4-7, each row split across lanes 0-3 and 4-7.
    const int order[4] = {0, 2, 1, 3};
    for (int k = 0; k < 4; ++k) {
        m[k] = __builtin_shufflevector(b[order[k]], b[order[k] + 4], 0, 1, 2, 3, 8, 9, 10, 11);
        m[k + 4] = __builtin_shufflevector(b[order[k]], b[order[k] + 4], 4, 5, 6, 7, 12, 13, 14, 15);
    }
}

// The whole block in 32-bit lanes, rows side by side, when every
// coefficient is within [-2048, 2047]: then no intermediate leaves 30 bits
// and the result is that of the 64-bit passes. False (block untouched)
// otherwise.
VOSTREL_VECTOR_CLONES
bool idctInLanes(int16_t* block)
{
    ShortLanes rows[8];
    std::memcpy(rows, block, sizeof(rows));
    ShortLanes outside = {};
    for (const ShortLanes& row : rows)
        outside |= (row < -2048) | (row > 2047);
    uint64_t flags[2];
    std::memcpy(flags, &outside, sizeof(flags));
    if (flags[0] | flags[1])
        return false;

    Lanes m[8];
    for (int r = 0; r < 8; ++r)
        m[r] = __builtin_convertvector(rows[r], Lanes);
    transpose(m); // m[k]: coefficient k of each row
    Lanes passed[8];
    rowStages(m, passed); // passed[i]: sample i of each row
    transpose(passed);    // passed[r]: row r
    Lanes samples[8];
    columnStages(passed, samples); // samples[i]: row i
    const Lanes low = Lanes{} - 256, high = Lanes{} + 255;
    for (int i = 0; i < 8; ++i) {
        const Lanes below = samples[i] < low, above = samples[i] > high;
        const Lanes clipped = (below & low) | (above & high) | (~(below | above) & samples[i]);
        rows[i] = __builtin_convertvector(clipped, ShortLanes);
    }
    std::memcpy(block, rows, sizeof(rows));
    return true;
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
    if (!idctInLanes(block))
        fastIdctScalar(block);
}

void fastIdctScalar(int16_t* block)
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
