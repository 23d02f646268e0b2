#include "Libs/Video/RgbWriter.h"

#include "Libs/Common/Exception.h"
#include "Libs/Video/Headers.h"
#include "Libs/Video/Vectorize.h"

#include <algorithm>
#include <new>

#if defined(__x86_64__) && defined(__GNUC__)
#define VOSTREL_AVX2_KERNELS 1
#include <immintrin.h>
#endif

namespace Vostrel::Video {

namespace {

const int kConversion[8][4] = {
    {117504, 138453, 13954, 34903}, {117504, 138453, 13954, 34903}, {104597, 132201, 25675, 53279},
    {104597, 132201, 25675, 53279}, {104448, 132798, 24759, 53109}, {104597, 132201, 25675, 53279},
    {104597, 132201, 25675, 53279}, {117579, 136230, 16907, 35559},
};

inline uint8_t clip8(int value)
{
    return static_cast<uint8_t>(std::clamp(value, 0, 255));
}

// Six taps as w = 128 (e_a + e_b) + r, every r a signed byte: the sum is
// then 128 (s_a + s_b) + R, and R (byte multiply-adds) stays within 16 bits.
// With u = s_a + s_b + 1 = 2 q + p, (sum + 128) >> 8 = q + ((R + 128 p) >> 8)
// exactly, all in 16-bit lanes. A dominant tap takes a = b.
struct ByteTaps {
    bool usable = false;
    int a = 0, b = 0;
    int8_t r[6] = {};
};

constexpr ByteTaps splitIntoBytes(const int (&w)[6])
{
    int dominant = 0;
    for (int k = 1; k < 6; ++k)
        if (w[k] > w[dominant])
            dominant = k;
    int second = dominant == 0 ? 1 : 0;
    for (int k = 0; k < 6; ++k)
        if (k != dominant && w[k] > w[second])
            second = k;
    // One tap near 256, else the two largest near 128 each.
    const int choices[2][2] = {{dominant, dominant}, {dominant, second}};
    for (const auto& choice : choices) {
        ByteTaps split;
        int positive = 0, negative = 0;
        bool bytes = true;
        for (int k = 0; k < 6; ++k) {
            const int r = w[k] - 128 * ((k == choice[0]) + (k == choice[1]));
            bytes = bytes && r >= -128 && r <= 127;
            if (r > 0)
                positive += r;
            else
                negative -= r;
            split.r[k] = static_cast<int8_t>(r);
        }
        // R, and R + 128 p, stay within 16 bits.
        if (bytes && std::max(positive, negative) * 255 + 128 <= 32767) {
            split.usable = true;
            split.a = choice[0];
            split.b = choice[1];
            return split;
        }
    }
    return ByteTaps();
}

// Six taps in 1/256.
struct Taps {
    constexpr Taps(int w0, int w1, int w2, int w3, int w4, int w5)
        : w{w0, w1, w2, w3, w4, w5}, bytes(splitIntoBytes(w))
    {
    }
    int w[6];
    ByteTaps bytes;
};

// Vertical, progressive frames: the two output rows around input row j.
constexpr Taps kProgressiveUpper(3, -16, 67, 227, -32, 7); // rows j-3 .. j+2
constexpr Taps kProgressiveLower(7, -32, 227, 67, -16, 3); // rows j-2 .. j+3
// Vertical, interlaced frames, within each field (rows two apart).
constexpr Taps kFieldSame(1, -7, 30, 248, -21, 5);       // top: rows j-6 .. j+4
constexpr Taps kFieldBetween(7, -35, 194, 110, -24, 4);  // top: rows j-4 .. j+6
constexpr Taps kBottomBetween(4, -24, 110, 194, -35, 7); // bottom: rows j-5 .. j+5
constexpr Taps kBottomSame(5, -21, 248, 30, -7, 1);      // bottom: rows j-3 .. j+7
// Horizontal: the odd samples between cosited ones (samples i-2 .. i+3), and
// both samples around sample i when chroma lies between luma samples
// (i-3 .. i+2 and i-2 .. i+3).
constexpr Taps kCosited(21, -52, 159, 159, -52, 21);
constexpr Taps kBetweenLeft(5, -21, 70, 228, -37, 11);
constexpr Taps kBetweenRight(11, -37, 228, 70, -21, 5);
static_assert(kProgressiveUpper.bytes.usable && kProgressiveLower.bytes.usable && kFieldSame.bytes.usable &&
                  kFieldBetween.bytes.usable && kBottomBetween.bytes.usable && kBottomSame.bytes.usable &&
                  kCosited.bytes.usable && kBetweenLeft.bytes.usable && kBetweenRight.bytes.usable,
              "every filter splits into byte taps");

// A factor in 1/65536 as high * 65536 + low with low within 16 bits, so that
// the products need only 16-bit multiplications and stay exact.
struct SplitFactor {
    explicit SplitFactor(int factor) : high((factor + 32768) >> 16), low(static_cast<int16_t>(factor - high * 65536)) {}
    int high;
    int16_t low;
};

struct Conversion {
    explicit Conversion(const int* f) : luma(76309), crv(f[0]), cbu(f[1]), cgu(f[2]), cgv(f[3]) {}
    SplitFactor luma, crv, cbu, cgu, cgv;
};

bool vectorExtensionsAllowed = true;

// out[i] = clip((sum of taps.w[k] * sources[k][i] + 128) >> 8).
VOSTREL_VECTOR_CLONES
void sixTapsPortable(const uint8_t* const sources[6], const Taps& taps, uint8_t* __restrict out, int count)
{
    const uint8_t* __restrict s0 = sources[0];
    const uint8_t* __restrict s1 = sources[1];
    const uint8_t* __restrict s2 = sources[2];
    const uint8_t* __restrict s3 = sources[3];
    const uint8_t* __restrict s4 = sources[4];
    const uint8_t* __restrict s5 = sources[5];
    const int w0 = taps.w[0], w1 = taps.w[1], w2 = taps.w[2], w3 = taps.w[3], w4 = taps.w[4], w5 = taps.w[5];
    for (int i = 0; i < count; ++i) {
        int sum = w0 * s0[i] + w1 * s1[i] + w2 * s2[i] + w3 * s3[i] + w4 * s4[i] + w5 * s5[i];
        out[i] = clip8((sum + 128) >> 8);
    }
}

// Packed RGB from one row of luma and full-resolution chroma.
VOSTREL_VECTOR_CLONES
void convertPortable(const uint8_t* __restrict y, const uint8_t* __restrict u, const uint8_t* __restrict v, int count,
                     const Conversion& c, uint8_t* __restrict rgb)
{
    const int lumaHigh = c.luma.high, crvHigh = c.crv.high, cbuHigh = c.cbu.high, cguHigh = c.cgu.high,
              cgvHigh = c.cgv.high;
    const int16_t lumaLow = c.luma.low, crvLow = c.crv.low, cbuLow = c.cbu.low, cguLow = c.cgu.low,
                  cgvLow = c.cgv.low;
    for (int x = 0; x < count; ++x) {
        const int16_t yy = static_cast<int16_t>(y[x] - 16);
        const int16_t uu = static_cast<int16_t>(u[x] - 128);
        const int16_t vv = static_cast<int16_t>(v[x] - 128);
        const int lumaTerm = yy * lumaHigh * 65536 + yy * lumaLow + 32768;
        rgb[3 * x] = clip8((lumaTerm + vv * crvHigh * 65536 + vv * crvLow) >> 16);
        rgb[3 * x + 1] = clip8((lumaTerm - uu * cguHigh * 65536 - uu * cguLow - vv * cgvHigh * 65536 - vv * cgvLow) >> 16);
        rgb[3 * x + 2] = clip8((lumaTerm + uu * cbuHigh * 65536 + uu * cbuLow) >> 16);
    }
}

#if VOSTREL_AVX2_KERNELS

// Two 16-bit factors for a multiply-add with pairs (a, b) of samples.
__attribute__((target("avx2"))) inline __m256i factorPair(int first, int second)
{
    return _mm256_set1_epi32(int(uint32_t(uint16_t(first)) | uint32_t(uint16_t(second)) << 16));
}

// 16 samples widened to 16 bits.
__attribute__((target("avx2"))) inline __m256i load16(const uint8_t* p)
{
    return _mm256_cvtepu8_epi16(_mm_loadu_si128(reinterpret_cast<const __m128i*>(p)));
}

// a * fa + b * fb + c * fc + d * fd + e * fe + f * ff for 16 samples in 32-bit
// sums, as the two halves that unpacking gives.
struct Sums {
    __m256i low, high;
};

__attribute__((target("avx2"))) inline void addPairs(Sums& sums, __m256i a, __m256i b, __m256i factors)
{
    sums.low = _mm256_add_epi32(sums.low, _mm256_madd_epi16(_mm256_unpacklo_epi16(a, b), factors));
    sums.high = _mm256_add_epi32(sums.high, _mm256_madd_epi16(_mm256_unpackhi_epi16(a, b), factors));
}

// (sums + half) >> Shift as 16 words in sample order: unpacking and
// packing both work within 128-bit lanes, so the order comes back.
template <int Shift>
__attribute__((target("avx2"))) inline __m256i narrow(const Sums& sums)
{
    const __m256i rounding = _mm256_set1_epi32(1 << (Shift - 1));
    return _mm256_packs_epi32(_mm256_srai_epi32(_mm256_add_epi32(sums.low, rounding), Shift),
                              _mm256_srai_epi32(_mm256_add_epi32(sums.high, rounding), Shift));
}

__attribute__((target("avx2"))) inline __m128i saturateToBytes(__m256i words)
{
    return _mm_packus_epi16(_mm256_castsi256_si128(words), _mm256_extracti128_si256(words, 1));
}

// Six taps at 16 consecutive samples from i on.
struct TapFactors {
    __m256i w01, w23, w45;
};

__attribute__((target("avx2"))) inline TapFactors tapFactors(const Taps& taps)
{
    return {factorPair(taps.w[0], taps.w[1]), factorPair(taps.w[2], taps.w[3]), factorPair(taps.w[4], taps.w[5])};
}

__attribute__((target("avx2"), always_inline)) inline __m128i sixTapsAt(const uint8_t* const sources[6], const TapFactors& f, int i)
{
    Sums sums{_mm256_setzero_si256(), _mm256_setzero_si256()};
    addPairs(sums, load16(sources[0] + i), load16(sources[1] + i), f.w01);
    addPairs(sums, load16(sources[2] + i), load16(sources[3] + i), f.w23);
    addPairs(sums, load16(sources[4] + i), load16(sources[5] + i), f.w45);
    return saturateToBytes(narrow<8>(sums));
}

struct ByteTapFactors {
    __m256i r01, r23, r45;
    int a, b;
};

__attribute__((target("avx2"))) inline ByteTapFactors byteTapFactors(const ByteTaps& taps)
{
    auto pair = [&](int k) {
        return int16_t(uint16_t(uint8_t(taps.r[k])) | uint16_t(uint8_t(taps.r[k + 1])) << 8);
    };
    return {_mm256_set1_epi16(pair(0)), _mm256_set1_epi16(pair(2)), _mm256_set1_epi16(pair(4)), taps.a, taps.b};
}

// One half (unpacked low or high bytes of each 128-bit lane) of 32 outputs.
template <bool High>
__attribute__((target("avx2"), always_inline)) inline __m256i byteTapsHalf(const __m256i s[6], __m256i sa, __m256i sb,
                                                                           const ByteTapFactors& f)
{
    const __m256i zero = _mm256_setzero_si256(), one = _mm256_set1_epi16(1);
#define VOSTREL_UNPACK(x, y) (High ? _mm256_unpackhi_epi8(x, y) : _mm256_unpacklo_epi8(x, y))
    const __m256i r = _mm256_add_epi16(_mm256_add_epi16(_mm256_maddubs_epi16(VOSTREL_UNPACK(s[0], s[1]), f.r01),
                                                        _mm256_maddubs_epi16(VOSTREL_UNPACK(s[2], s[3]), f.r23)),
                                       _mm256_maddubs_epi16(VOSTREL_UNPACK(s[4], s[5]), f.r45));
    const __m256i u = _mm256_add_epi16(_mm256_add_epi16(VOSTREL_UNPACK(sa, zero), VOSTREL_UNPACK(sb, zero)), one);
#undef VOSTREL_UNPACK
    const __m256i p = _mm256_slli_epi16(_mm256_and_si256(u, one), 7);
    return _mm256_add_epi16(_mm256_srli_epi16(u, 1), _mm256_srai_epi16(_mm256_add_epi16(r, p), 8));
}

// 32 outputs from i on.
__attribute__((target("avx2"), always_inline)) inline __m256i byteTapsAt(const uint8_t* const sources[6],
                                                                         const ByteTapFactors& f, int i)
{
    __m256i s[6];
    for (int k = 0; k < 6; ++k)
        s[k] = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sources[k] + i));
    const __m256i sa = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sources[f.a] + i));
    const __m256i sb = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(sources[f.b] + i));
    // Packing undoes the unpacking's order within each lane.
    return _mm256_packus_epi16(byteTapsHalf<false>(s, sa, sb, f), byteTapsHalf<true>(s, sa, sb, f));
}

// The kernels below run over blocks of 32 (or 16) samples; the last block
// starts at count - 32 (or 16), overlapping the one before rather than
// leaving a tail (each output comes from the inputs alone, so writing one
// twice gives the same bytes). They return how many samples they did: all,
// or none below one block.

__attribute__((target("avx2"))) int sixTapsAvx2(const uint8_t* const sources[6], const Taps& taps, uint8_t* out,
                                                int count)
{
    const ByteTaps& split = taps.bytes;
    if (split.usable && count >= 32) {
        const ByteTapFactors factors = byteTapFactors(split);
        for (int block = 0; block < count; block += 32) {
            const int i = std::min(block, count - 32);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + i), byteTapsAt(sources, factors, i));
        }
        return count;
    }
    if (count < 16)
        return 0;
    const TapFactors factors = tapFactors(taps);
    for (int block = 0; block < count; block += 16) {
        const int i = std::min(block, count - 16);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + i), sixTapsAt(sources, factors, i));
    }
    return count;
}

// A padded row doubled in width: the even outputs from the left taps (or
// the samples themselves when left is null), the odd ones from the right.
__attribute__((target("avx2"))) int upsampleAvx2(const uint8_t* s, const uint8_t* const left[6], const Taps* leftTaps,
                                                 const uint8_t* const right[6], const Taps& rightTaps, uint8_t* out,
                                                 int count)
{
    const ByteTaps& leftSplit = (leftTaps ? *leftTaps : rightTaps).bytes;
    const ByteTaps& rightSplit = rightTaps.bytes;
    if (leftSplit.usable && rightSplit.usable && count >= 32) {
        const ByteTapFactors leftFactors = byteTapFactors(leftSplit), rightFactors = byteTapFactors(rightSplit);
        for (int block = 0; block < count; block += 32) {
            const int i = std::min(block, count - 32);
            const __m256i even = left ? byteTapsAt(left, leftFactors, i)
                                      : _mm256_loadu_si256(reinterpret_cast<const __m256i*>(s + i));
            const __m256i odd = byteTapsAt(right, rightFactors, i);
            const __m256i low = _mm256_unpacklo_epi8(even, odd), high = _mm256_unpackhi_epi8(even, odd);
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i), _mm256_permute2x128_si256(low, high, 0x20));
            _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + 2 * i + 32),
                                _mm256_permute2x128_si256(low, high, 0x31));
        }
        return count;
    }
    if (count < 16)
        return 0;
    const TapFactors leftFactors = tapFactors(leftTaps ? *leftTaps : rightTaps);
    const TapFactors rightFactors = tapFactors(rightTaps);
    for (int block = 0; block < count; block += 16) {
        const int i = std::min(block, count - 16);
        const __m128i even = left ? sixTapsAt(left, leftFactors, i)
                                  : _mm_loadu_si128(reinterpret_cast<const __m128i*>(s + i));
        const __m128i odd = sixTapsAt(right, rightFactors, i);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i), _mm_unpacklo_epi8(even, odd));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 2 * i + 16), _mm_unpackhi_epi8(even, odd));
    }
    return count;
}

// Byte k of each 16-byte part of 16 packed RGB pixels from the red, green
// and blue vectors: shuffle controls, 0x80 for bytes another vector fills.
struct InterleaveControls {
    alignas(16) uint8_t control[3][3][16]; // [part][channel][byte]
    InterleaveControls()
    {
        for (int part = 0; part < 3; ++part)
            for (int channel = 0; channel < 3; ++channel)
                for (int byte = 0; byte < 16; ++byte) {
                    int position = 16 * part + byte;
                    control[part][channel][byte] = position % 3 == channel ? uint8_t(position / 3) : 0x80;
                }
    }
};

__attribute__((target("avx2"))) int convertAvx2(const uint8_t* y, const uint8_t* u, const uint8_t* v, int count,
                                                const Conversion& c, uint8_t* rgb)
{
    static const InterleaveControls interleave;
    const __m256i lumaOffset = _mm256_set1_epi16(16), chromaOffset = _mm256_set1_epi16(128);
    const __m256i redLow = factorPair(c.luma.low, c.crv.low), blueLow = factorPair(c.luma.low, c.cbu.low);
    const __m256i greenLow = factorPair(c.luma.low, -c.cgu.low), greenLowV = factorPair(-c.cgv.low, 0);
    const __m256i lumaHigh = _mm256_set1_epi16(int16_t(c.luma.high)), crvHigh = _mm256_set1_epi16(int16_t(c.crv.high));
    const __m256i cbuHigh = _mm256_set1_epi16(int16_t(c.cbu.high)), cguHigh = _mm256_set1_epi16(int16_t(c.cgu.high));
    const __m256i cgvHigh = _mm256_set1_epi16(int16_t(c.cgv.high));
    const __m256i zero = _mm256_setzero_si256();
    int x = 0;
    for (; x + 16 <= count; x += 16) {
        const __m256i yy = _mm256_sub_epi16(load16(y + x), lumaOffset);
        const __m256i uu = _mm256_sub_epi16(load16(u + x), chromaOffset);
        const __m256i vv = _mm256_sub_epi16(load16(v + x), chromaOffset);
        const __m256i lumaPart = _mm256_mullo_epi16(yy, lumaHigh);

        // Each channel is floor(T / 65536), T = 65536 * high + low: the
        // high parts in 16 bits, the low parts as multiply-adds.
        Sums red{zero, zero}, green{zero, zero}, blue{zero, zero};
        addPairs(red, yy, vv, redLow);
        addPairs(green, yy, uu, greenLow);
        addPairs(green, vv, zero, greenLowV);
        addPairs(blue, yy, uu, blueLow);
        const __m256i redHigh = _mm256_add_epi16(lumaPart, _mm256_mullo_epi16(vv, crvHigh));
        const __m256i greenHigh = _mm256_sub_epi16(_mm256_sub_epi16(lumaPart, _mm256_mullo_epi16(uu, cguHigh)),
                                                   _mm256_mullo_epi16(vv, cgvHigh));
        const __m256i blueHigh = _mm256_add_epi16(lumaPart, _mm256_mullo_epi16(uu, cbuHigh));
        const __m128i channels[3] = {
            saturateToBytes(_mm256_add_epi16(narrow<16>(red), redHigh)),
            saturateToBytes(_mm256_add_epi16(narrow<16>(green), greenHigh)),
            saturateToBytes(_mm256_add_epi16(narrow<16>(blue), blueHigh)),
        };
        for (int part = 0; part < 3; ++part) {
            __m128i bytes = _mm_setzero_si128();
            for (int channel = 0; channel < 3; ++channel)
                bytes = _mm_or_si128(bytes, _mm_shuffle_epi8(channels[channel],
                                                             _mm_load_si128(reinterpret_cast<const __m128i*>(
                                                                 interleave.control[part][channel]))));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(rgb + 3 * x + 16 * part), bytes);
        }
    }
    return x;
}

bool useAvx2()
{
    static const bool available = __builtin_cpu_supports("avx2");
    return available && vectorExtensionsAllowed;
}

#endif

void sixTaps(const uint8_t* const sources[6], const Taps& taps, uint8_t* out, int count)
{
    int done = 0;
#if VOSTREL_AVX2_KERNELS
    if (useAvx2())
        done = sixTapsAvx2(sources, taps, out, count);
#endif
    if (done < count) {
        const uint8_t* rest[6];
        for (int k = 0; k < 6; ++k)
            rest[k] = sources[k] + done;
        sixTapsPortable(rest, taps, out + done, count - done);
    }
}

void convertSamples(const uint8_t* y, const uint8_t* u, const uint8_t* v, int count, const int* factors, uint8_t* rgb)
{
    const Conversion conversion(factors);
    int done = 0;
#if VOSTREL_AVX2_KERNELS
    if (useAvx2())
        done = convertAvx2(y, u, v, count, conversion, rgb);
#endif
    convertPortable(y + done, u + done, v + done, count - done, conversion, rgb + 3 * done);
}

VOSTREL_VECTOR_CLONES
void zipBytes(const uint8_t* __restrict even, const uint8_t* __restrict odd, uint8_t* __restrict out, int count)
{
    for (int i = 0; i < count; ++i) {
        out[2 * i] = even[i];
        out[2 * i + 1] = odd[i];
    }
}

// Row r of the chroma brought to full height: the six input rows and taps
// that make it.
void verticalTaps(int r, int h, bool progressiveFrame, const uint8_t* plane, int width, const uint8_t* rows[6],
                  const Taps*& taps)
{
    auto row = [&](int index, int low, int high) { return plane + size_t(std::clamp(index, low, high)) * width; };
    if (progressiveFrame) {
        const int j = r / 2;
        const int first = r % 2 == 0 ? j - 3 : j - 2;
        taps = r % 2 == 0 ? &kProgressiveUpper : &kProgressiveLower;
        for (int k = 0; k < 6; ++k)
            rows[k] = row(first + k, 0, h - 1);
        return;
    }
    // Field rows come two apart; top-field rows stay within the even input
    // rows, bottom-field rows within the odd ones.
    int first;
    int low = 0, high = h - 2;
    switch (r % 4) {
    case 0: // 2j, j even
        first = r / 2 - 6;
        taps = &kFieldSame;
        break;
    case 2: // 2j + 2
        first = (r - 2) / 2 - 4;
        taps = &kFieldBetween;
        break;
    case 1: // 2j + 1
        first = (r - 1) / 2 - 5;
        taps = &kBottomBetween;
        low = 1;
        high = h - 1;
        break;
    default: // 2j + 3
        first = (r - 3) / 2 - 3;
        taps = &kBottomSame;
        low = 1;
        high = h - 1;
        break;
    }
    for (int k = 0; k < 6; ++k)
        rows[k] = row(first + 2 * k, low, high);
}

void resize(std::vector<uint8_t>& buffer, size_t size)
{
    try {
        if (buffer.size() < size)
            buffer.resize(size);
    } catch (const std::bad_alloc&) {
        VOSTREL_THROW("malloc failed");
    }
}

} // namespace

void allowVectorExtensions(bool allowed)
{
    vectorExtensionsAllowed = allowed;
}

void verticalChromaRow(const uint8_t* plane, int width, int height, int row, bool progressiveFrame, uint8_t* out)
{
    const uint8_t* sources[6];
    const Taps* taps;
    verticalTaps(row, height, progressiveFrame, plane, width, sources, taps);
    sixTaps(sources, *taps, out, width);
}

const int* RgbWriter::conversionFactors(int matrixCoefficients)
{
    return kConversion[(matrixCoefficients >= 0 && matrixCoefficients < 8) ? matrixCoefficients : 0];
}

void RgbWriter::upsampleRow(const uint8_t* in, uint8_t* out, int w, bool mpeg2)
{
    // Three samples of each end repeated outwards, so the taps need no clamping.
    uint8_t* padded = paddedRow.data();
    std::copy(in, in + w, padded + 3);
    for (int k = 0; k < 3; ++k) {
        padded[k] = in[0];
        padded[w + 3 + k] = in[w - 1];
    }
    const uint8_t* s = padded + 3;
    const uint8_t* const right[6] = {s - 2, s - 1, s, s + 1, s + 2, s + 3};
    const uint8_t* const left[6] = {s - 3, s - 2, s - 1, s, s + 1, s + 2};
#if VOSTREL_AVX2_KERNELS
    if (useAvx2() && upsampleAvx2(s, mpeg2 ? nullptr : left, mpeg2 ? nullptr : &kBetweenLeft, right,
                                  mpeg2 ? kCosited : kBetweenRight, out, w) == w)
        return;
#endif
    if (mpeg2) {
        // Chroma sited with the even luma samples.
        sixTaps(right, kCosited, oddSamples.data(), w);
        zipBytes(s, oddSamples.data(), out, w);
    } else {
        // Chroma between the luma samples.
        sixTaps(left, kBetweenLeft, evenSamples.data(), w);
        sixTaps(right, kBetweenRight, oddSamples.data(), w);
        zipBytes(evenSamples.data(), oddSamples.data(), out, w);
    }
}

void RgbWriter::write(const FrameToWrite& frame, uint8_t* rgb)
{
    const int codedWidth = frame.codedWidth;
    const int codedHeight = frame.codedHeight;
    const int chromaWidth = frame.chromaFormat == kChroma444 ? codedWidth : codedWidth / 2;
    for (std::vector<uint8_t>* buffer : {&row444[0], &row444[1], &row422[0], &row422[1], &evenSamples, &oddSamples})
        resize(*buffer, size_t(codedWidth));
    resize(paddedRow, size_t(chromaWidth) + 6);

    const int* factors = conversionFactors(frame.matrixCoefficients);
    const int rows = frame.fieldOrder ? 2 * (frame.height / 2) : frame.height;
    for (int n = 0; n < rows; ++n) {
        // Output rows in frame order, or all top-field rows then all bottom-field rows.
        const int y = frame.fieldOrder ? (n < frame.height / 2 ? 2 * n : 2 * (n - frame.height / 2) + 1) : n;
        const uint8_t* chroma[2];
        for (int c = 0; c < 2; ++c) {
            const uint8_t* plane = frame.planes[1 + c];
            if (frame.chromaFormat == kChroma444) {
                chroma[c] = plane + size_t(y) * codedWidth;
                continue;
            }
            const uint8_t* half = plane + size_t(y) * chromaWidth;
            if (frame.chromaFormat == kChroma420) {
                const uint8_t* sources[6];
                const Taps* taps;
                verticalTaps(y, codedHeight / 2, frame.progressiveFrame, plane, chromaWidth, sources, taps);
                sixTaps(sources, *taps, row422[c].data(), chromaWidth);
                half = row422[c].data();
            }
            upsampleRow(half, row444[c].data(), chromaWidth, frame.mpeg2);
            chroma[c] = row444[c].data();
        }
        convertSamples(frame.planes[0] + size_t(y) * codedWidth, chroma[0], chroma[1], frame.width, factors,
                       rgb + size_t(n) * frame.width * 3);
    }
}

} // namespace Vostrel::Video
