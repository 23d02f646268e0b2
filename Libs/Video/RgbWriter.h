#pragma once

// Conversion of a decoded YCbCr frame into packed 24-bit RGB: chroma brought
// to full resolution by fixed 6-tap filters, then a fixed-point matrix chosen
// by matrix_coefficients.

#include <cstdint>
#include <vector>

namespace Vostrel::Video {

struct FrameToWrite {
    const uint8_t* planes[3];
    int codedWidth;
    int codedHeight;
    int chromaFormat;
    int width;  // pixels written per row
    int height; // rows written
    bool mpeg2; // chroma sited with the even luma samples (else between them)
    bool progressiveFrame;
    bool fieldOrder; // all top-field rows, then all bottom-field rows
    int matrixCoefficients;
};

class RgbWriter {
public:
    // Writes width * height * 3 bytes to rgb.
    void write(const FrameToWrite& frame, uint8_t* rgb);

    // The conversion factors (crv, cbu, cgu, cgv) in units of 1/65536;
    // reserved values of matrix_coefficients take the first row.
    static const int* conversionFactors(int matrixCoefficients);

private:
    void upsampleVertically(const uint8_t* in, uint8_t* out, int width, int height, bool progressiveFrame);
    void upsampleHorizontally(const uint8_t* in, uint8_t* out, int width, int height, bool mpeg2);

    std::vector<uint8_t> chroma422[2];
    std::vector<uint8_t> chroma444[2];
    std::vector<uint8_t> paddedRow;
};

} // namespace Vostrel::Video
