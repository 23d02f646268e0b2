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
    void upsampleRow(const uint8_t* in, uint8_t* out, int width, bool mpeg2);

    // One row at a time goes through the filters and the conversion, so the
    // work stays in the cache.
    std::vector<uint8_t> row422[2];
    std::vector<uint8_t> row444[2];
    std::vector<uint8_t> paddedRow;
    std::vector<uint8_t> evenSamples, oddSamples;
};

// Row `row` of a 4:2:0 chroma plane (width x height samples) brought to full
// height by the writer's vertical filter.
void verticalChromaRow(const uint8_t* plane, int width, int height, int row, bool progressiveFrame, uint8_t* out);

// Whether the writer may use the processor's vector extensions where it has
// them (the default); the portable loops give the same bytes.
void allowVectorExtensions(bool allowed);

} // namespace Vostrel::Video
