#pragma once

#include <cstdint>

namespace Vostrel::Video {

// 8x8 inverse DCTs, in place: 64 coefficients in raster order (each within
// [-2048, 2047]) become 64 samples within [-256, 255].

// The separable integer transform (rows, then columns).
void fastIdct(int16_t* block);
// The same transform one row and one column at a time in 64 bits; fastIdct
// gives its results, taking it for blocks outside [-2048, 2047].
void fastIdctScalar(int16_t* block);
// The double-precision transform, each sample rounded to nearest.
void doubleIdct(int16_t* block);

} // namespace Vostrel::Video
