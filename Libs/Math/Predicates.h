#pragma once

// Robust orientation and in-sphere tests after Shewchuk's adaptive-precision
// predicates, instantiated in single precision: every coordinate and every
// expansion component is a float. Each predicate first evaluates its
// determinant in plain arithmetic and returns when an error bound proves the
// sign; otherwise it refines in stages up to an exact evaluation, so the sign
// is always that of the exact determinant of the given floats.
//
// Expansions are float arrays holding an exact sum as non-overlapping
// components, least significant first.

namespace Vostrel {

struct PredicateConstants {
    float epsilon;  // 2^-24: half an ulp of 1
    float splitter; // 2^12 + 1: splits a float into two 12-bit halves
    float resulterrbound;
    float ccwerrboundA, ccwerrboundB, ccwerrboundC;
    float o3derrboundA, o3derrboundB, o3derrboundC;
    float iccerrboundA, iccerrboundB, iccerrboundC;
    float isperrboundA, isperrboundB, isperrboundC;
};

// Derives the machine epsilon and splitter by probing float arithmetic, and
// the error bounds from them (computed in double, stored as float). Evaluated
// once at compile time for the predicates; callable at run time as a check.
constexpr PredicateConstants exactinit()
{
    float half = 0.5f;
    float epsilon = 1.0f;
    float splitter = 1.0f;
    float check = 1.0f;
    float lastcheck = 1.0f;
    bool everyOther = true;
    do {
        lastcheck = check;
        epsilon *= half;
        if (everyOther)
            splitter *= 2.0f;
        everyOther = !everyOther;
        check = 1.0f + epsilon;
    } while (check != 1.0f && check != lastcheck);
    splitter += 1.0f;

    const double e = epsilon;
    PredicateConstants c{};
    c.epsilon = epsilon;
    c.splitter = splitter;
    c.resulterrbound = static_cast<float>((3.0 + 8.0 * e) * e);
    c.ccwerrboundA = static_cast<float>((3.0 + 16.0 * e) * e);
    c.ccwerrboundB = static_cast<float>((2.0 + 12.0 * e) * e);
    c.ccwerrboundC = static_cast<float>((9.0 + 64.0 * e) * e * e);
    c.o3derrboundA = static_cast<float>((7.0 + 56.0 * e) * e);
    c.o3derrboundB = static_cast<float>((3.0 + 28.0 * e) * e);
    c.o3derrboundC = static_cast<float>((26.0 + 288.0 * e) * e * e);
    c.iccerrboundA = static_cast<float>((10.0 + 96.0 * e) * e);
    c.iccerrboundB = static_cast<float>((4.0 + 48.0 * e) * e);
    c.iccerrboundC = static_cast<float>((44.0 + 576.0 * e) * e * e);
    c.isperrboundA = static_cast<float>((16.0 + 224.0 * e) * e);
    c.isperrboundB = static_cast<float>((5.0 + 72.0 * e) * e);
    c.isperrboundC = static_cast<float>((71.0 + 1408.0 * e) * e * e);
    return c;
}

// h = e + f, zero components removed. h must hold elen + flen floats; the
// result has at least one component. Returns its length.
int fastExpansionSumZeroelim(int elen, const float* e, int flen, const float* f, float* h);
// h = e * b, zero components removed. h must hold 2 * elen floats.
int scaleExpansionZeroelim(int elen, const float* e, float b, float* h);
// The expansion's value, rounded.
float estimate(int elen, const float* e);

// Positive when pd lies below the plane through pa, pb, pc (seen from above,
// pa, pb, pc run counter-clockwise), negative above, 0 when coplanar: the
// determinant of the rows pa - pd, pb - pd, pc - pd. Points are three floats.
double orient3d(const float* pa, const float* pb, const float* pc, const float* pd);
// Positive when pe lies inside the sphere through pa, pb, pc, pd if those are
// positively oriented (orient3d > 0), reversed otherwise; 0 when cospherical.
double insphere(const float* pa, const float* pb, const float* pc, const float* pd, const float* pe);

// The refining stages; permanent is the first stage's bound on the magnitude
// of the determinant's terms (an infinite one forces the exact evaluation).
double orient3dadapt(const float* pa, const float* pb, const float* pc, const float* pd, float permanent);
double insphereadapt(const float* pa, const float* pb, const float* pc, const float* pd, const float* pe,
                     float permanent);
double insphereexact(const float* pa, const float* pb, const float* pc, const float* pd, const float* pe);

} // namespace Vostrel
