#pragma once

// Exact float arithmetic after Shewchuk: the error-free transformations, which
// give a sum or product of floats as its rounded value and the exact error,
// and the expansion arithmetic built on them. Expansions are float arrays
// holding an exact sum as non-overlapping components, least significant
// first.

#include <cfloat>

// The error-free transformations below are exact only when every operation
// rounds once to float: no fused multiply-add, no reassociation, no wider
// intermediates. The build passes -ffp-contract=off -fno-fast-math.
#if defined(__FAST_MATH__)
#error "the exact predicates must not be compiled with fast-math"
#endif
static_assert(FLT_EVAL_METHOD == 0, "float expressions must be evaluated in float");

namespace Vostrel {

namespace ErrorFree {

// Dekker's splitter for float's 24-bit significand: 2^12 + 1.
inline constexpr float splitter = 4097.0f;

// x + y == a + b exactly, given |a| >= |b|.
inline void fastTwoSum(float a, float b, float& x, float& y)
{
    x = a + b;
    float bvirt = x - a;
    y = b - bvirt;
}

// x + y == a + b exactly.
inline void twoSum(float a, float b, float& x, float& y)
{
    x = a + b;
    float bvirt = x - a;
    float avirt = x - bvirt;
    float bround = b - bvirt;
    float around = a - avirt;
    y = around + bround;
}

// The rounding error of x = a - b.
inline void twoDiffTail(float a, float b, float x, float& y)
{
    float bvirt = a - x;
    float avirt = x + bvirt;
    float bround = bvirt - b;
    float around = a - avirt;
    y = around + bround;
}

inline void twoDiff(float a, float b, float& x, float& y)
{
    x = a - b;
    twoDiffTail(a, b, x, y);
}

// Dekker's split: hi + lo == a, each with at most 12 significant bits.
inline void split(float a, float& hi, float& lo)
{
    float c = splitter * a;
    float abig = c - a;
    hi = c - abig;
    lo = a - hi;
}

// x + y == a * b exactly, b already split.
inline void twoProductPresplit(float a, float b, float bhi, float blo, float& x, float& y)
{
    x = a * b;
    float ahi, alo;
    split(a, ahi, alo);
    float err1 = x - ahi * bhi;
    float err2 = err1 - alo * bhi;
    float err3 = err2 - ahi * blo;
    y = alo * blo - err3;
}

inline void twoProduct(float a, float b, float& x, float& y)
{
    float bhi, blo;
    split(b, bhi, blo);
    twoProductPresplit(a, b, bhi, blo, x, y);
}

// (x2, x1, x0) == (a1, a0) - b.
inline void twoOneDiff(float a1, float a0, float b, float& x2, float& x1, float& x0)
{
    float i;
    twoDiff(a0, b, i, x0);
    twoSum(a1, i, x2, x1);
}

// (x3, x2, x1, x0) == (a1, a0) - (b1, b0).
inline void twoTwoDiff(float a1, float a0, float b1, float b0, float& x3, float& x2, float& x1, float& x0)
{
    float j, z;
    twoOneDiff(a1, a0, b0, j, z, x0);
    twoOneDiff(j, z, b1, x3, x2, x1);
}

// (x3, x2, x1, x0) == (a1, a0) * b.
inline void twoOneProduct(float a1, float a0, float b, float& x3, float& x2, float& x1, float& x0)
{
    float bhi, blo, i, j, k, z;
    split(b, bhi, blo);
    twoProductPresplit(a0, b, bhi, blo, i, x0);
    twoProductPresplit(a1, b, bhi, blo, j, z);
    twoSum(i, z, k, x1);
    fastTwoSum(j, k, x3, x2);
}

// (x2, x1, x0) == (a1, a0) + b.
inline void twoOneSum(float a1, float a0, float b, float& x2, float& x1, float& x0)
{
    float i;
    twoSum(a0, b, i, x0);
    twoSum(a1, i, x2, x1);
}

// (x3, x2, x1, x0) == (a1, a0) + (b1, b0).
inline void twoTwoSum(float a1, float a0, float b1, float b0, float& x3, float& x2, float& x1, float& x0)
{
    float j, z;
    twoOneSum(a1, a0, b0, j, z, x0);
    twoOneSum(j, z, b1, x3, x2, x1);
}

} // namespace ErrorFree

// h = e + f, zero components removed. h must hold elen + flen floats; the
// result has at least one component. Returns its length.
int fastExpansionSumZeroelim(int elen, const float* e, int flen, const float* f, float* h);
// h = e * b, zero components removed. h must hold 2 * elen floats.
int scaleExpansionZeroelim(int elen, const float* e, float b, float* h);
// The same without zero elimination: h holds elen + flen and 2 * elen floats.
int fastExpansionSum(int elen, const float* e, int flen, const float* f, float* h);
int scaleExpansion(int elen, const float* e, float b, float* h);
// h = e + b; h holds elen + 1 floats.
int growExpansion(int elen, const float* e, float b, float* h);
int growExpansionZeroelim(int elen, const float* e, float b, float* h);
// h = e + f by repeated growing (any non-overlapping inputs); h holds
// elen + flen floats.
int expansionSum(int elen, const float* e, int flen, const float* f, float* h);
int expansionSumZeroelim(int elen, const float* e, int flen, const float* f, float* h);
// h = e + f in one merge; h holds elen + flen floats.
int linearExpansionSum(int elen, const float* e, int flen, const float* f, float* h);
int linearExpansionSumZeroelim(int elen, const float* e, int flen, const float* f, float* h);
// The same value in as few components as possible, largest one within an ulp
// of the value; h holds elen floats and may be e.
int compress(int elen, const float* e, float* h);
// x[7] .. x[0] == (a1 + a0) * (b1 + b0) exactly, for float pairs whose low
// part is below the high part's last bit (a rounded value and its error).
void twoTwoProduct(float a1, float a0, float b1, float b0, float x[8]);
// The expansion's value, rounded.
float estimate(int elen, const float* e);

} // namespace Vostrel
