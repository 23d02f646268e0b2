#pragma once

// Robust orientation and in-sphere tests after Shewchuk's adaptive-precision
// predicates, instantiated in single precision: every coordinate and every
// expansion component is a float. Each predicate first evaluates its
// determinant in plain arithmetic and returns when an error bound proves the
// sign; otherwise it refines in stages up to an exact evaluation, so the sign
// is always that of the exact determinant of the given floats.
// The expansion arithmetic they are built on is in Expansion.h.

#include "Libs/Math/Expansion.h"

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

inline constexpr PredicateConstants predicateConstants = exactinit();

// Four floats operated on lane by lane, each operation rounding exactly as
// the scalar one does.
typedef float Float4 __attribute__((vector_size(16)));
typedef int Int4 __attribute__((vector_size(16)));

inline float absolute(float a) { return a >= 0.0f ? a : -a; }
inline Float4 absolute(Float4 a)
{
    Int4 nonNegative = a >= Float4{};
    return (Float4)(((Int4)a & nonNegative) | ((Int4)(-a) & ~nonNegative));
}

// The first stage of insphere on float or Float4 coordinates: the determinant
// in plain arithmetic and the permanent that bounds its error. The sign of
// det is proven when |det| > isperrboundA * permanent.
template <typename Real>
inline void insphereEstimate(const Real* pa, const Real* pb, const Real* pc, const Real* pd, const Real* pe,
                             Real& det, Real& permanent)
{
    Real aex = pa[0] - pe[0], bex = pb[0] - pe[0], cex = pc[0] - pe[0], dex = pd[0] - pe[0];
    Real aey = pa[1] - pe[1], bey = pb[1] - pe[1], cey = pc[1] - pe[1], dey = pd[1] - pe[1];
    Real aez = pa[2] - pe[2], bez = pb[2] - pe[2], cez = pc[2] - pe[2], dez = pd[2] - pe[2];

    Real aexbey = aex * bey, bexaey = bex * aey;
    Real ab = aexbey - bexaey;
    Real bexcey = bex * cey, cexbey = cex * bey;
    Real bc = bexcey - cexbey;
    Real cexdey = cex * dey, dexcey = dex * cey;
    Real cd = cexdey - dexcey;
    Real dexaey = dex * aey, aexdey = aex * dey;
    Real da = dexaey - aexdey;
    Real aexcey = aex * cey, cexaey = cex * aey;
    Real ac = aexcey - cexaey;
    Real bexdey = bex * dey, dexbey = dex * bey;
    Real bd = bexdey - dexbey;

    Real abc = aez * bc - bez * ac + cez * ab;
    Real bcd = bez * cd - cez * bd + dez * bc;
    Real cda = cez * da + dez * ac + aez * cd;
    Real dab = dez * ab + aez * bd + bez * da;

    Real alift = aex * aex + aey * aey + aez * aez;
    Real blift = bex * bex + bey * bey + bez * bez;
    Real clift = cex * cex + cey * cey + cez * cez;
    Real dlift = dex * dex + dey * dey + dez * dez;

    det = (dlift * abc - clift * dab) + (blift * cda - alift * bcd);

    Real aezplus = absolute(aez), bezplus = absolute(bez), cezplus = absolute(cez), dezplus = absolute(dez);
    Real aexbeyplus = absolute(aexbey), bexaeyplus = absolute(bexaey);
    Real bexceyplus = absolute(bexcey), cexbeyplus = absolute(cexbey);
    Real cexdeyplus = absolute(cexdey), dexceyplus = absolute(dexcey);
    Real dexaeyplus = absolute(dexaey), aexdeyplus = absolute(aexdey);
    Real aexceyplus = absolute(aexcey), cexaeyplus = absolute(cexaey);
    Real bexdeyplus = absolute(bexdey), dexbeyplus = absolute(dexbey);
    permanent = ((cexdeyplus + dexceyplus) * bezplus + (dexbeyplus + bexdeyplus) * cezplus +
                 (bexceyplus + cexbeyplus) * dezplus) *
                    alift +
                ((dexaeyplus + aexdeyplus) * cezplus + (aexceyplus + cexaeyplus) * dezplus +
                 (cexdeyplus + dexceyplus) * aezplus) *
                    blift +
                ((aexbeyplus + bexaeyplus) * dezplus + (bexdeyplus + dexbeyplus) * aezplus +
                 (dexaeyplus + aexdeyplus) * bezplus) *
                    clift +
                ((bexceyplus + cexbeyplus) * aezplus + (cexaeyplus + aexceyplus) * bezplus +
                 (aexbeyplus + bexaeyplus) * cezplus) *
                    dlift;
}

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
// The exact determinant from the original coordinates (products of the
// coordinate pairs scaled by the z coordinates); its most significant
// component, which has the determinant's sign.
double orient3dexact(const float* pa, const float* pb, const float* pc, const float* pd);
double insphereadapt(const float* pa, const float* pb, const float* pc, const float* pd, const float* pe,
                     float permanent);
double insphereexact(const float* pa, const float* pb, const float* pc, const float* pd, const float* pe);

// Positive when pa, pb, pc run counter-clockwise, negative clockwise, 0 when
// collinear: the determinant of the rows pa - pc, pb - pc. Points are two
// floats (x, y).
double orient2d(const float* pa, const float* pb, const float* pc);
// Positive when pd lies inside the circle through pa, pb, pc if those run
// counter-clockwise, reversed otherwise; 0 when cocircular.
double incircle(const float* pa, const float* pb, const float* pc, const float* pd);

// Refining stages of the 2-D predicates; detsum and permanent as above.
double orient2dadapt(const float* pa, const float* pb, const float* pc, float detsum);
double orient2dexact(const float* pa, const float* pb, const float* pc);
double incircleadapt(const float* pa, const float* pb, const float* pc, const float* pd, float permanent);
double incircleexact(const float* pa, const float* pb, const float* pc, const float* pd);

// Exact evaluations from the exact coordinate differences, without the
// adaptive shortcuts.
double orient2dslow(const float* pa, const float* pb, const float* pc);
double orient3dslow(const float* pa, const float* pb, const float* pc, const float* pd);
double incircleslow(const float* pa, const float* pb, const float* pc, const float* pd);
double insphereslow(const float* pa, const float* pb, const float* pc, const float* pd, const float* pe);

// The plain rounded determinants: fast, sign not guaranteed near degeneracy.
double orient2dfast(const float* pa, const float* pb, const float* pc);
double incirclefast(const float* pa, const float* pb, const float* pc, const float* pd);
double orient3dfast(const float* pa, const float* pb, const float* pc, const float* pd);
double inspherefast(const float* pa, const float* pb, const float* pc, const float* pd, const float* pe);


} // namespace Vostrel
