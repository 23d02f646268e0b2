#include "Libs/Video/RgbWriter.h"

#include "Libs/Common/Exception.h"
#include "Libs/Video/Headers.h"

#include <algorithm>
#include <new>

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

inline uint8_t filtered(int sum)
{
    return clip8((sum + 128) >> 8);
}

void resize(std::vector<uint8_t>& buffer, size_t size)
{
    try {
        buffer.resize(size);
    } catch (const std::bad_alloc&) {
        VOSTREL_THROW("malloc failed");
    }
}

} // namespace

const int* RgbWriter::conversionFactors(int matrixCoefficients)
{
    return kConversion[(matrixCoefficients >= 0 && matrixCoefficients < 8) ? matrixCoefficients : 0];
}

void RgbWriter::upsampleVertically(const uint8_t* in, uint8_t* out, int w, int h, bool progressiveFrame)
{
    auto row = [&](int index) { return in + size_t(index) * size_t(w); };
    auto outRow = [&](int index) { return out + size_t(index) * size_t(w); };
    if (progressiveFrame) {
        for (int j = 0; j < h; ++j) {
            auto at = [&](int k) { return row(std::clamp(j + k, 0, h - 1)); };
            const uint8_t *m3 = at(-3), *m2 = at(-2), *m1 = at(-1), *c = at(0), *p1 = at(1), *p2 = at(2),
                          *p3 = at(3);
            uint8_t* even = outRow(2 * j);
            uint8_t* odd = outRow(2 * j + 1);
            for (int i = 0; i < w; ++i) {
                even[i] = filtered(3 * m3[i] - 16 * m2[i] + 67 * m1[i] + 227 * c[i] - 32 * p1[i] + 7 * p2[i]);
                odd[i] = filtered(3 * p3[i] - 16 * p2[i] + 67 * p1[i] + 227 * c[i] - 32 * m1[i] + 7 * m2[i]);
            }
        }
        return;
    }
    // Each field is filtered within itself.
    for (int j = 0; j + 1 < h; j += 2) {
        auto top = [&](int k) { return row(std::clamp(j + k, 0, h - 2)); };
        auto bottom = [&](int k) { return row(std::clamp(j + k, 1, h - 1)); };
        {
            const uint8_t *m6 = top(-6), *m4 = top(-4), *m2 = top(-2), *c = top(0), *p2 = top(2), *p4 = top(4),
                          *p6 = top(6);
            uint8_t* a = outRow(2 * j);
            uint8_t* b = outRow(2 * j + 2);
            for (int i = 0; i < w; ++i) {
                a[i] = filtered(m6[i] - 7 * m4[i] + 30 * m2[i] + 248 * c[i] - 21 * p2[i] + 5 * p4[i]);
                b[i] = filtered(7 * m4[i] - 35 * m2[i] + 194 * c[i] + 110 * p2[i] - 24 * p4[i] + 4 * p6[i]);
            }
        }
        {
            const uint8_t *m5 = bottom(-5), *m3 = bottom(-3), *m1 = bottom(-1), *p1 = bottom(1), *p3 = bottom(3),
                          *p5 = bottom(5), *p7 = bottom(7);
            uint8_t* a = outRow(2 * j + 1);
            uint8_t* b = outRow(2 * j + 3);
            for (int i = 0; i < w; ++i) {
                a[i] = filtered(7 * p5[i] - 35 * p3[i] + 194 * p1[i] + 110 * m1[i] - 24 * m3[i] + 4 * m5[i]);
                b[i] = filtered(p7[i] - 7 * p5[i] + 30 * p3[i] + 248 * p1[i] - 21 * m1[i] + 5 * m3[i]);
            }
        }
    }
}

void RgbWriter::upsampleHorizontally(const uint8_t* in, uint8_t* out, int w, int h, bool mpeg2)
{
    // Each row is copied with three samples of its ends repeated on both
    // sides, so the taps need no clamping.
    resize(paddedRow, size_t(w) + 6);
    uint8_t* padded = paddedRow.data() + 3;
    for (int y = 0; y < h; ++y) {
        const uint8_t* source = in + size_t(y) * size_t(w);
        uint8_t* target = out + size_t(y) * size_t(2 * w);
        std::copy(source, source + w, padded);
        for (int k = 1; k <= 3; ++k) {
            padded[-k] = source[0];
            padded[w - 1 + k] = source[w - 1];
        }
        const uint8_t* s = padded;
        if (mpeg2) {
            for (int i = 0; i < w; ++i) {
                target[2 * i] = s[i];
                target[2 * i + 1] =
                    filtered(21 * (s[i - 2] + s[i + 3]) - 52 * (s[i - 1] + s[i + 2]) + 159 * (s[i] + s[i + 1]));
            }
        } else {
            for (int i = 0; i < w; ++i) {
                target[2 * i] =
                    filtered(5 * s[i - 3] - 21 * s[i - 2] + 70 * s[i - 1] + 228 * s[i] - 37 * s[i + 1] + 11 * s[i + 2]);
                target[2 * i + 1] =
                    filtered(5 * s[i + 3] - 21 * s[i + 2] + 70 * s[i + 1] + 228 * s[i] - 37 * s[i - 1] + 11 * s[i - 2]);
            }
        }
    }
}

void RgbWriter::write(const FrameToWrite& frame, uint8_t* rgb)
{
    const int codedWidth = frame.codedWidth;
    const int codedHeight = frame.codedHeight;
    const uint8_t* cb = frame.planes[1];
    const uint8_t* cr = frame.planes[2];
    if (frame.chromaFormat != kChroma444) {
        const int halfWidth = codedWidth / 2;
        const uint8_t* cb422 = cb;
        const uint8_t* cr422 = cr;
        if (frame.chromaFormat == kChroma420) {
            for (int c = 0; c < 2; ++c)
                resize(chroma422[c], size_t(halfWidth) * size_t(codedHeight));
            upsampleVertically(cb, chroma422[0].data(), halfWidth, codedHeight / 2, frame.progressiveFrame);
            upsampleVertically(cr, chroma422[1].data(), halfWidth, codedHeight / 2, frame.progressiveFrame);
            cb422 = chroma422[0].data();
            cr422 = chroma422[1].data();
        }
        for (int c = 0; c < 2; ++c)
            resize(chroma444[c], size_t(codedWidth) * size_t(codedHeight));
        upsampleHorizontally(cb422, chroma444[0].data(), halfWidth, codedHeight, frame.mpeg2);
        upsampleHorizontally(cr422, chroma444[1].data(), halfWidth, codedHeight, frame.mpeg2);
        cb = chroma444[0].data();
        cr = chroma444[1].data();
    }

    const int* factors = conversionFactors(frame.matrixCoefficients);
    const int crv = factors[0], cbu = factors[1], cgu = factors[2], cgv = factors[3];
    auto convertRow = [&](int y) {
        const size_t offset = size_t(y) * size_t(codedWidth);
        const uint8_t* luma = frame.planes[0] + offset;
        const uint8_t* u = cb + offset;
        const uint8_t* v = cr + offset;
        for (int x = 0; x < frame.width; ++x) {
            const int yy = 76309 * (luma[x] - 16);
            const int uu = u[x] - 128;
            const int vv = v[x] - 128;
            rgb[0] = clip8((yy + crv * vv + 32768) >> 16);
            rgb[1] = clip8((yy - cgu * uu - cgv * vv + 32768) >> 16);
            rgb[2] = clip8((yy + cbu * uu + 32768) >> 16);
            rgb += 3;
        }
    };
    if (frame.fieldOrder) {
        for (int field = 0; field < 2; ++field)
            for (int row = 0; row < frame.height / 2; ++row)
                convertRow(2 * row + field);
    } else {
        for (int row = 0; row < frame.height; ++row)
            convertRow(row);
    }
}

} // namespace Vostrel::Video
