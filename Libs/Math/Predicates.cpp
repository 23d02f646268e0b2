#include "Libs/Math/Predicates.h"

#include <utility>

namespace Vostrel {

using namespace ErrorFree;

namespace {

constexpr const PredicateConstants& constants = predicateConstants;
static_assert(constants.epsilon == 1.0f / 16777216.0f, "float has a 24-bit significand");
static_assert(constants.splitter == splitter, "the splitter the expansion arithmetic uses");

// The exact x^2 + y^2 as a four-component expansion.
inline void squaredLength(float x, float y, float out[4])
{
    float x1, x0, y1, y0;
    twoProduct(x, x, x1, x0);
    twoProduct(y, y, y1, y0);
    twoTwoSum(x1, x0, y1, y0, out[3], out[2], out[1], out[0]);
}

// The exact a1 b2 - a2 b1 of two float pairs as a four-component expansion.
inline void crossDifference(float a1, float b2, float a2, float b1, float out[4])
{
    float p1, p0, q1, q0;
    twoProduct(a1, b2, p1, p0);
    twoProduct(a2, b1, q1, q0);
    twoTwoDiff(p1, p0, q1, q0, out[3], out[2], out[1], out[0]);
}

// A running exact sum whose storage alternates between two buffers.
template <int Size> struct Accumulator {
    float first[Size];
    float second[Size];
    float* now = first;
    float* other = second;
    int length = 0;

    void add(int elen, const float* e)
    {
        length = fastExpansionSumZeroelim(length, now, elen, e, other);
        std::swap(now, other);
    }
    float top() const { return now[length - 1]; }
};

} // namespace

double orient3d(const float* pa, const float* pb, const float* pc, const float* pd)
{
    float adx = pa[0] - pd[0], bdx = pb[0] - pd[0], cdx = pc[0] - pd[0];
    float ady = pa[1] - pd[1], bdy = pb[1] - pd[1], cdy = pc[1] - pd[1];
    float adz = pa[2] - pd[2], bdz = pb[2] - pd[2], cdz = pc[2] - pd[2];

    float bdxcdy = bdx * cdy, cdxbdy = cdx * bdy;
    float cdxady = cdx * ady, adxcdy = adx * cdy;
    float adxbdy = adx * bdy, bdxady = bdx * ady;

    float det = adz * (bdxcdy - cdxbdy) + bdz * (cdxady - adxcdy) + cdz * (adxbdy - bdxady);
    float permanent = (absolute(bdxcdy) + absolute(cdxbdy)) * absolute(adz) +
                      (absolute(cdxady) + absolute(adxcdy)) * absolute(bdz) +
                      (absolute(adxbdy) + absolute(bdxady)) * absolute(cdz);
    float errbound = constants.o3derrboundA * permanent;
    if (det > errbound || -det > errbound)
        return det;
    return orient3dadapt(pa, pb, pc, pd, permanent);
}

double orient3dadapt(const float* pa, const float* pb, const float* pc, const float* pd, float permanent)
{
    float adx = pa[0] - pd[0], bdx = pb[0] - pd[0], cdx = pc[0] - pd[0];
    float ady = pa[1] - pd[1], bdy = pb[1] - pd[1], cdy = pc[1] - pd[1];
    float adz = pa[2] - pd[2], bdz = pb[2] - pd[2], cdz = pc[2] - pd[2];

    float bc[4], ca[4], ab[4];
    crossDifference(bdx, cdy, cdx, bdy, bc);
    crossDifference(cdx, ady, adx, cdy, ca);
    crossDifference(adx, bdy, bdx, ady, ab);

    float adet[8], bdet[8], cdet[8], abdet[16];
    int alen = scaleExpansionZeroelim(4, bc, adz, adet);
    int blen = scaleExpansionZeroelim(4, ca, bdz, bdet);
    int clen = scaleExpansionZeroelim(4, ab, cdz, cdet);
    int ablen = fastExpansionSumZeroelim(alen, adet, blen, bdet, abdet);

    Accumulator<192> fin;
    fin.length = fastExpansionSumZeroelim(ablen, abdet, clen, cdet, fin.now);

    float det = estimate(fin.length, fin.now);
    float errbound = constants.o3derrboundB * permanent;
    if (det >= errbound || -det >= errbound)
        return det;

    float adxtail, bdxtail, cdxtail, adytail, bdytail, cdytail, adztail, bdztail, cdztail;
    twoDiffTail(pa[0], pd[0], adx, adxtail);
    twoDiffTail(pb[0], pd[0], bdx, bdxtail);
    twoDiffTail(pc[0], pd[0], cdx, cdxtail);
    twoDiffTail(pa[1], pd[1], ady, adytail);
    twoDiffTail(pb[1], pd[1], bdy, bdytail);
    twoDiffTail(pc[1], pd[1], cdy, cdytail);
    twoDiffTail(pa[2], pd[2], adz, adztail);
    twoDiffTail(pb[2], pd[2], bdz, bdztail);
    twoDiffTail(pc[2], pd[2], cdz, cdztail);

    if (adxtail == 0.0f && bdxtail == 0.0f && cdxtail == 0.0f && adytail == 0.0f && bdytail == 0.0f &&
        cdytail == 0.0f && adztail == 0.0f && bdztail == 0.0f && cdztail == 0.0f)
        return det;

    errbound = constants.o3derrboundC * permanent + constants.resulterrbound * absolute(det);
    det += (adz * ((bdx * cdytail + cdy * bdxtail) - (bdy * cdxtail + cdx * bdytail)) +
            adztail * (bdx * cdy - bdy * cdx)) +
           (bdz * ((cdx * adytail + ady * cdxtail) - (cdy * adxtail + adx * cdytail)) +
            bdztail * (cdx * ady - cdy * adx)) +
           (cdz * ((adx * bdytail + bdy * adxtail) - (ady * bdxtail + bdx * adytail)) +
            cdztail * (adx * bdy - ady * bdx));
    if (det >= errbound || -det >= errbound)
        return det;

    // The products of one rounded difference with one tail: at_b is the part of
    // ab that a's tails contribute, and so on.
    float at_b[4], at_c[4], bt_c[4], bt_a[4], ct_a[4], ct_b[4];
    int at_blen, at_clen, bt_clen, bt_alen, ct_alen, ct_blen;
    auto tailPair = [](float xtail, float ytail, float firstY, float firstX, float secondY, float secondX,
                       float* first, int& firstLen, float* second, int& secondLen) {
        // first = xtail * firstY - ytail * firstX, second = ytail * secondX - xtail * secondY
        if (xtail == 0.0f) {
            if (ytail == 0.0f) {
                first[0] = 0.0f;
                firstLen = 1;
                second[0] = 0.0f;
                secondLen = 1;
            } else {
                twoProduct(-ytail, firstX, first[1], first[0]);
                firstLen = 2;
                twoProduct(ytail, secondX, second[1], second[0]);
                secondLen = 2;
            }
        } else if (ytail == 0.0f) {
            twoProduct(xtail, firstY, first[1], first[0]);
            firstLen = 2;
            twoProduct(-xtail, secondY, second[1], second[0]);
            secondLen = 2;
        } else {
            crossDifference(xtail, firstY, ytail, firstX, first);
            firstLen = 4;
            crossDifference(ytail, secondX, xtail, secondY, second);
            secondLen = 4;
        }
    };
    tailPair(adxtail, adytail, bdy, bdx, cdy, cdx, at_b, at_blen, at_c, at_clen);
    tailPair(bdxtail, bdytail, cdy, cdx, ady, adx, bt_c, bt_clen, bt_a, bt_alen);
    tailPair(cdxtail, cdytail, ady, adx, bdy, bdx, ct_a, ct_alen, ct_b, ct_blen);

    float bct[8], cat[8], abt[8], u[4], v[12], w[16];
    int bctlen = fastExpansionSumZeroelim(bt_clen, bt_c, ct_blen, ct_b, bct);
    int wlength = scaleExpansionZeroelim(bctlen, bct, adz, w);
    fin.add(wlength, w);

    int catlen = fastExpansionSumZeroelim(ct_alen, ct_a, at_clen, at_c, cat);
    wlength = scaleExpansionZeroelim(catlen, cat, bdz, w);
    fin.add(wlength, w);

    int abtlen = fastExpansionSumZeroelim(at_blen, at_b, bt_alen, bt_a, abt);
    wlength = scaleExpansionZeroelim(abtlen, abt, cdz, w);
    fin.add(wlength, w);

    if (adztail != 0.0f)
        fin.add(scaleExpansionZeroelim(4, bc, adztail, v), v);
    if (bdztail != 0.0f)
        fin.add(scaleExpansionZeroelim(4, ca, bdztail, v), v);
    if (cdztail != 0.0f)
        fin.add(scaleExpansionZeroelim(4, ab, cdztail, v), v);

    // Products of two tails, times the third difference and its tail.
    auto tailTail = [&](float xtail, float ytail, float z, float ztail) {
        float t1, t0;
        twoProduct(xtail, ytail, t1, t0);
        twoOneProduct(t1, t0, z, u[3], u[2], u[1], u[0]);
        fin.add(4, u);
        if (ztail != 0.0f) {
            twoOneProduct(t1, t0, ztail, u[3], u[2], u[1], u[0]);
            fin.add(4, u);
        }
    };
    if (adxtail != 0.0f) {
        if (bdytail != 0.0f)
            tailTail(adxtail, bdytail, cdz, cdztail);
        if (cdytail != 0.0f)
            tailTail(-adxtail, cdytail, bdz, bdztail);
    }
    if (bdxtail != 0.0f) {
        if (cdytail != 0.0f)
            tailTail(bdxtail, cdytail, adz, adztail);
        if (adytail != 0.0f)
            tailTail(-bdxtail, adytail, cdz, cdztail);
    }
    if (cdxtail != 0.0f) {
        if (adytail != 0.0f)
            tailTail(cdxtail, adytail, bdz, bdztail);
        if (bdytail != 0.0f)
            tailTail(-cdxtail, bdytail, adz, adztail);
    }

    if (adztail != 0.0f)
        fin.add(scaleExpansionZeroelim(bctlen, bct, adztail, w), w);
    if (bdztail != 0.0f)
        fin.add(scaleExpansionZeroelim(catlen, cat, bdztail, w), w);
    if (cdztail != 0.0f)
        fin.add(scaleExpansionZeroelim(abtlen, abt, cdztail, w), w);

    return fin.top();
}

namespace {

// The exact 3 x 3 minors of the x, y columns with a column of ones, from the
// original coordinates: abc = ab + bc - ac and its rotations, each an
// expansion of up to 12 floats.
void planarMinors(const float* pa, const float* pb, const float* pc, const float* pd, float abc[12], int& abclength,
                  float bcd[12], int& bcdlength, float cda[12], int& cdalength, float dab[12], int& dablength)
{
    float ab[4], bc[4], cd[4], da[4], ac[4], bd[4];
    crossDifference(pa[0], pb[1], pb[0], pa[1], ab);
    crossDifference(pb[0], pc[1], pc[0], pb[1], bc);
    crossDifference(pc[0], pd[1], pd[0], pc[1], cd);
    crossDifference(pd[0], pa[1], pa[0], pd[1], da);
    crossDifference(pa[0], pc[1], pc[0], pa[1], ac);
    crossDifference(pb[0], pd[1], pd[0], pb[1], bd);

    float temp8[8];
    int templength = fastExpansionSumZeroelim(4, cd, 4, da, temp8);
    cdalength = fastExpansionSumZeroelim(templength, temp8, 4, ac, cda);
    templength = fastExpansionSumZeroelim(4, da, 4, ab, temp8);
    dablength = fastExpansionSumZeroelim(templength, temp8, 4, bd, dab);
    for (int i = 0; i < 4; ++i) {
        bd[i] = -bd[i];
        ac[i] = -ac[i];
    }
    templength = fastExpansionSumZeroelim(4, ab, 4, bc, temp8);
    abclength = fastExpansionSumZeroelim(templength, temp8, 4, ac, abc);
    templength = fastExpansionSumZeroelim(4, bc, 4, cd, temp8);
    bcdlength = fastExpansionSumZeroelim(templength, temp8, 4, bd, bcd);
}

} // namespace

double orient3dexact(const float* pa, const float* pb, const float* pc, const float* pd)
{
    float cda[12], dab[12], abc[12], bcd[12];
    int abclength, bcdlength, cdalength, dablength;
    planarMinors(pa, pb, pc, pd, abc, abclength, bcd, bcdlength, cda, cdalength, dab, dablength);

    float adet[24], bdet[24], cdet[24], ddet[24], abdet[48], cddet[48], deter[96];
    int alength = scaleExpansionZeroelim(bcdlength, bcd, pa[2], adet);
    int blength = scaleExpansionZeroelim(cdalength, cda, -pb[2], bdet);
    int clength = scaleExpansionZeroelim(dablength, dab, pc[2], cdet);
    int dlength = scaleExpansionZeroelim(abclength, abc, -pd[2], ddet);
    int ablength = fastExpansionSumZeroelim(alength, adet, blength, bdet, abdet);
    int cdlength = fastExpansionSumZeroelim(clength, cdet, dlength, ddet, cddet);
    int deterlength = fastExpansionSumZeroelim(ablength, abdet, cdlength, cddet, deter);
    return deter[deterlength - 1];
}

double insphere(const float* pa, const float* pb, const float* pc, const float* pd, const float* pe)
{
    float det, permanent;
    insphereEstimate(pa, pb, pc, pd, pe, det, permanent);
    float errbound = constants.isperrboundA * permanent;
    if (det > errbound || -det > errbound)
        return det;
    return insphereadapt(pa, pb, pc, pd, pe, permanent);
}

namespace {

// One lifted cofactor of the in-sphere determinant: the exact
// (first * fz + second * sz + third * tz) * (x^2 + y^2 + z^2) * sign.
int liftedTerm(const float* first, float fz, const float* second, float sz, const float* third, float tz,
               float x, float y, float z, float sign, float* out)
{
    float temp8a[8], temp8b[8], temp8c[8], temp16[16], temp24[24], temp48[48];
    float xdet[96], ydet[96], zdet[96], xydet[192];
    int temp8alen = scaleExpansionZeroelim(4, first, fz, temp8a);
    int temp8blen = scaleExpansionZeroelim(4, second, sz, temp8b);
    int temp8clen = scaleExpansionZeroelim(4, third, tz, temp8c);
    int temp16len = fastExpansionSumZeroelim(temp8alen, temp8a, temp8blen, temp8b, temp16);
    int temp24len = fastExpansionSumZeroelim(temp8clen, temp8c, temp16len, temp16, temp24);
    int temp48len = scaleExpansionZeroelim(temp24len, temp24, x, temp48);
    int xlen = scaleExpansionZeroelim(temp48len, temp48, sign * x, xdet);
    temp48len = scaleExpansionZeroelim(temp24len, temp24, y, temp48);
    int ylen = scaleExpansionZeroelim(temp48len, temp48, sign * y, ydet);
    temp48len = scaleExpansionZeroelim(temp24len, temp24, z, temp48);
    int zlen = scaleExpansionZeroelim(temp48len, temp48, sign * z, zdet);
    int xylen = fastExpansionSumZeroelim(xlen, xdet, ylen, ydet, xydet);
    return fastExpansionSumZeroelim(xylen, xydet, zlen, zdet, out);
}

} // namespace

double insphereadapt(const float* pa, const float* pb, const float* pc, const float* pd, const float* pe,
                     float permanent)
{
    float aex = pa[0] - pe[0], bex = pb[0] - pe[0], cex = pc[0] - pe[0], dex = pd[0] - pe[0];
    float aey = pa[1] - pe[1], bey = pb[1] - pe[1], cey = pc[1] - pe[1], dey = pd[1] - pe[1];
    float aez = pa[2] - pe[2], bez = pb[2] - pe[2], cez = pc[2] - pe[2], dez = pd[2] - pe[2];

    float ab[4], bc[4], cd[4], da[4], ac[4], bd[4];
    crossDifference(aex, bey, bex, aey, ab);
    crossDifference(bex, cey, cex, bey, bc);
    crossDifference(cex, dey, dex, cey, cd);
    crossDifference(dex, aey, aex, dey, da);
    crossDifference(aex, cey, cex, aey, ac);
    crossDifference(bex, dey, dex, bey, bd);

    float adet[288], bdet[288], cdet[288], ddet[288], abdet[576], cddet[576], fin1[1152];
    int alen = liftedTerm(cd, bez, bd, -cez, bc, dez, aex, aey, aez, -1.0f, adet);
    int blen = liftedTerm(da, cez, ac, dez, cd, aez, bex, bey, bez, 1.0f, bdet);
    int clen = liftedTerm(ab, dez, bd, aez, da, bez, cex, cey, cez, -1.0f, cdet);
    int dlen = liftedTerm(bc, aez, ac, -bez, ab, cez, dex, dey, dez, 1.0f, ddet);

    int ablen = fastExpansionSumZeroelim(alen, adet, blen, bdet, abdet);
    int cdlen = fastExpansionSumZeroelim(clen, cdet, dlen, ddet, cddet);
    int finlength = fastExpansionSumZeroelim(ablen, abdet, cdlen, cddet, fin1);

    float det = estimate(finlength, fin1);
    float errbound = constants.isperrboundB * permanent;
    if (det >= errbound || -det >= errbound)
        return det;

    float aextail, aeytail, aeztail, bextail, beytail, beztail;
    float cextail, ceytail, ceztail, dextail, deytail, deztail;
    twoDiffTail(pa[0], pe[0], aex, aextail);
    twoDiffTail(pa[1], pe[1], aey, aeytail);
    twoDiffTail(pa[2], pe[2], aez, aeztail);
    twoDiffTail(pb[0], pe[0], bex, bextail);
    twoDiffTail(pb[1], pe[1], bey, beytail);
    twoDiffTail(pb[2], pe[2], bez, beztail);
    twoDiffTail(pc[0], pe[0], cex, cextail);
    twoDiffTail(pc[1], pe[1], cey, ceytail);
    twoDiffTail(pc[2], pe[2], cez, ceztail);
    twoDiffTail(pd[0], pe[0], dex, dextail);
    twoDiffTail(pd[1], pe[1], dey, deytail);
    twoDiffTail(pd[2], pe[2], dez, deztail);
    if (aextail == 0.0f && aeytail == 0.0f && aeztail == 0.0f && bextail == 0.0f && beytail == 0.0f &&
        beztail == 0.0f && cextail == 0.0f && ceytail == 0.0f && ceztail == 0.0f && dextail == 0.0f &&
        deytail == 0.0f && deztail == 0.0f)
        return det;

    errbound = constants.isperrboundC * permanent + constants.resulterrbound * absolute(det);
    float abeps = (aex * beytail + bey * aextail) - (aey * bextail + bex * aeytail);
    float bceps = (bex * ceytail + cey * bextail) - (bey * cextail + cex * beytail);
    float cdeps = (cex * deytail + dey * cextail) - (cey * dextail + dex * ceytail);
    float daeps = (dex * aeytail + aey * dextail) - (dey * aextail + aex * deytail);
    float aceps = (aex * ceytail + cey * aextail) - (aey * cextail + cex * aeytail);
    float bdeps = (bex * deytail + dey * bextail) - (bey * dextail + dex * beytail);
    det += (((bex * bex + bey * bey + bez * bez) *
                 ((cez * daeps + dez * aceps + aez * cdeps) + (ceztail * da[3] + deztail * ac[3] + aeztail * cd[3])) +
             (dex * dex + dey * dey + dez * dez) *
                 ((aez * bceps - bez * aceps + cez * abeps) + (aeztail * bc[3] - beztail * ac[3] + ceztail * ab[3]))) -
            ((aex * aex + aey * aey + aez * aez) *
                 ((bez * cdeps - cez * bdeps + dez * bceps) + (beztail * cd[3] - ceztail * bd[3] + deztail * bc[3])) +
             (cex * cex + cey * cey + cez * cez) *
                 ((dez * abeps + aez * bdeps + bez * daeps) + (deztail * ab[3] + aeztail * bd[3] + beztail * da[3])))) +
           2.0f * (((bex * bextail + bey * beytail + bez * beztail) * (cez * da[3] + dez * ac[3] + aez * cd[3]) +
                    (dex * dextail + dey * deytail + dez * deztail) * (aez * bc[3] - bez * ac[3] + cez * ab[3])) -
                   ((aex * aextail + aey * aeytail + aez * aeztail) * (bez * cd[3] - cez * bd[3] + dez * bc[3]) +
                    (cex * cextail + cey * ceytail + cez * ceztail) * (dez * ab[3] + aez * bd[3] + bez * da[3])));
    if (det >= errbound || -det >= errbound)
        return det;

    return insphereexact(pa, pb, pc, pd, pe);
}

namespace {

// The exact first * z1 + second * z2 + third * z3 of three 2x2 minors.
int minorTriple(const float* first, float z1, const float* second, float z2, const float* third, float z3,
                float* out)
{
    float temp8a[8], temp8b[8], temp16[16];
    int temp8alen = scaleExpansionZeroelim(4, first, z1, temp8a);
    int temp8blen = scaleExpansionZeroelim(4, second, z2, temp8b);
    int temp16len = fastExpansionSumZeroelim(temp8alen, temp8a, temp8blen, temp8b, temp16);
    temp8alen = scaleExpansionZeroelim(4, third, z3, temp8a);
    return fastExpansionSumZeroelim(temp8alen, temp8a, temp16len, temp16, out);
}

// (plus1 + plus2 - minus1 - minus2) * (x^2 + y^2 + z^2) of one point p.
int liftedCofactor(int plus1len, const float* plus1, int plus2len, const float* plus2, int minus1len,
                   const float* minus1, int minus2len, const float* minus2, const float* p, float* out)
{
    float temp48a[48], temp48b[48], cofactor[96], temp192[192];
    float det384x[384], det384y[384], det384z[384], detxy[768];
    int temp48alen = fastExpansionSumZeroelim(plus1len, plus1, plus2len, plus2, temp48a);
    int temp48blen = fastExpansionSumZeroelim(minus1len, minus1, minus2len, minus2, temp48b);
    for (int i = 0; i < temp48blen; ++i)
        temp48b[i] = -temp48b[i];
    int cofactorlen = fastExpansionSumZeroelim(temp48alen, temp48a, temp48blen, temp48b, cofactor);
    int xlen = scaleExpansionZeroelim(cofactorlen, cofactor, p[0], temp192);
    xlen = scaleExpansionZeroelim(xlen, temp192, p[0], det384x);
    int ylen = scaleExpansionZeroelim(cofactorlen, cofactor, p[1], temp192);
    ylen = scaleExpansionZeroelim(ylen, temp192, p[1], det384y);
    int zlen = scaleExpansionZeroelim(cofactorlen, cofactor, p[2], temp192);
    zlen = scaleExpansionZeroelim(zlen, temp192, p[2], det384z);
    int xylen = fastExpansionSumZeroelim(xlen, det384x, ylen, det384y, detxy);
    return fastExpansionSumZeroelim(xylen, detxy, zlen, det384z, out);
}

} // namespace

double insphereexact(const float* pa, const float* pb, const float* pc, const float* pd, const float* pe)
{
    float ab[4], bc[4], cd[4], de[4], ea[4], ac[4], bd[4], ce[4], da[4], eb[4];
    crossDifference(pa[0], pb[1], pb[0], pa[1], ab);
    crossDifference(pb[0], pc[1], pc[0], pb[1], bc);
    crossDifference(pc[0], pd[1], pd[0], pc[1], cd);
    crossDifference(pd[0], pe[1], pe[0], pd[1], de);
    crossDifference(pe[0], pa[1], pa[0], pe[1], ea);
    crossDifference(pa[0], pc[1], pc[0], pa[1], ac);
    crossDifference(pb[0], pd[1], pd[0], pb[1], bd);
    crossDifference(pc[0], pe[1], pe[0], pc[1], ce);
    crossDifference(pd[0], pa[1], pa[0], pd[1], da);
    crossDifference(pe[0], pb[1], pb[0], pe[1], eb);

    float abc[24], bcd[24], cde[24], dea[24], eab[24], abd[24], bce[24], cda[24], deb[24], eac[24];
    int abclen = minorTriple(bc, pa[2], ac, -pb[2], ab, pc[2], abc);
    int bcdlen = minorTriple(cd, pb[2], bd, -pc[2], bc, pd[2], bcd);
    int cdelen = minorTriple(de, pc[2], ce, -pd[2], cd, pe[2], cde);
    int dealen = minorTriple(ea, pd[2], da, -pe[2], de, pa[2], dea);
    int eablen = minorTriple(ab, pe[2], eb, -pa[2], ea, pb[2], eab);
    int abdlen = minorTriple(bd, pa[2], da, pb[2], ab, pd[2], abd);
    int bcelen = minorTriple(ce, pb[2], eb, pc[2], bc, pe[2], bce);
    int cdalen = minorTriple(da, pc[2], ac, pd[2], cd, pa[2], cda);
    int deblen = minorTriple(eb, pd[2], bd, pe[2], de, pb[2], deb);
    int eaclen = minorTriple(ac, pe[2], ce, pa[2], ea, pc[2], eac);

    float adet[1152], bdet[1152], cdet[1152], ddet[1152], edet[1152];
    int alen = liftedCofactor(cdelen, cde, bcelen, bce, deblen, deb, bcdlen, bcd, pa, adet);
    int blen = liftedCofactor(dealen, dea, cdalen, cda, eaclen, eac, cdelen, cde, pb, bdet);
    int clen = liftedCofactor(eablen, eab, deblen, deb, abdlen, abd, dealen, dea, pc, cdet);
    int dlen = liftedCofactor(abclen, abc, eaclen, eac, bcelen, bce, eablen, eab, pd, ddet);
    int elen = liftedCofactor(bcdlen, bcd, abdlen, abd, cdalen, cda, abclen, abc, pe, edet);

    float abdet[2304], cddet[2304], cdedet[3456], deter[5760];
    int ablen = fastExpansionSumZeroelim(alen, adet, blen, bdet, abdet);
    int cdlen = fastExpansionSumZeroelim(clen, cdet, dlen, ddet, cddet);
    int cdelen2 = fastExpansionSumZeroelim(cdlen, cddet, elen, edet, cdedet);
    int deterlen = fastExpansionSumZeroelim(ablen, abdet, cdelen2, cdedet, deter);
    return deter[deterlen - 1];
}

} // namespace Vostrel

namespace Vostrel {

double orient2dfast(const float* pa, const float* pb, const float* pc)
{
    float acx = pa[0] - pc[0], bcx = pb[0] - pc[0];
    float acy = pa[1] - pc[1], bcy = pb[1] - pc[1];
    return acx * bcy - acy * bcx;
}

double orient2dexact(const float* pa, const float* pb, const float* pc)
{
    // ax (by - cy) + bx (cy - ay) + cx (ay - by), each term exact in four floats.
    float aterms[4], bterms[4], cterms[4], v[8], w[12];
    crossDifference(pa[0], pb[1], pa[0], pc[1], aterms);
    crossDifference(pb[0], pc[1], pb[0], pa[1], bterms);
    crossDifference(pc[0], pa[1], pc[0], pb[1], cterms);
    int vlength = fastExpansionSumZeroelim(4, aterms, 4, bterms, v);
    int wlength = fastExpansionSumZeroelim(vlength, v, 4, cterms, w);
    return w[wlength - 1];
}

double orient2d(const float* pa, const float* pb, const float* pc)
{
    float detleft = (pa[0] - pc[0]) * (pb[1] - pc[1]);
    float detright = (pa[1] - pc[1]) * (pb[0] - pc[0]);
    float det = detleft - detright;
    float detsum;
    // Terms of opposite sign (or a zero) cannot cancel: the rounded sign holds.
    if (detleft > 0.0f) {
        if (detright <= 0.0f)
            return det;
        detsum = detleft + detright;
    } else if (detleft < 0.0f) {
        if (detright >= 0.0f)
            return det;
        detsum = -detleft - detright;
    } else {
        return det;
    }
    float errbound = constants.ccwerrboundA * detsum;
    if (det >= errbound || -det >= errbound)
        return det;
    return orient2dadapt(pa, pb, pc, detsum);
}

double orient2dadapt(const float* pa, const float* pb, const float* pc, float detsum)
{
    float acx = pa[0] - pc[0], bcx = pb[0] - pc[0];
    float acy = pa[1] - pc[1], bcy = pb[1] - pc[1];

    float b[4];
    crossDifference(acx, bcy, acy, bcx, b);
    float det = estimate(4, b);
    float errbound = constants.ccwerrboundB * detsum;
    if (det >= errbound || -det >= errbound)
        return det;

    float acxtail, bcxtail, acytail, bcytail;
    twoDiffTail(pa[0], pc[0], acx, acxtail);
    twoDiffTail(pb[0], pc[0], bcx, bcxtail);
    twoDiffTail(pa[1], pc[1], acy, acytail);
    twoDiffTail(pb[1], pc[1], bcy, bcytail);
    if (acxtail == 0.0f && acytail == 0.0f && bcxtail == 0.0f && bcytail == 0.0f)
        return det;

    errbound = constants.ccwerrboundC * detsum + constants.resulterrbound * absolute(det);
    det += (acx * bcytail + bcy * acxtail) - (acy * bcxtail + bcx * acytail);
    if (det >= errbound || -det >= errbound)
        return det;

    float u[4], c1[8], c2[12], d[16];
    crossDifference(acxtail, bcy, acytail, bcx, u);
    int c1length = fastExpansionSumZeroelim(4, b, 4, u, c1);
    crossDifference(acx, bcytail, acy, bcxtail, u);
    int c2length = fastExpansionSumZeroelim(c1length, c1, 4, u, c2);
    crossDifference(acxtail, bcytail, acytail, bcxtail, u);
    int dlength = fastExpansionSumZeroelim(c2length, c2, 4, u, d);
    return d[dlength - 1];
}

double orient3dfast(const float* pa, const float* pb, const float* pc, const float* pd)
{
    float adx = pa[0] - pd[0], bdx = pb[0] - pd[0], cdx = pc[0] - pd[0];
    float ady = pa[1] - pd[1], bdy = pb[1] - pd[1], cdy = pc[1] - pd[1];
    float adz = pa[2] - pd[2], bdz = pb[2] - pd[2], cdz = pc[2] - pd[2];
    return adx * (bdy * cdz - bdz * cdy) + bdx * (cdy * adz - cdz * ady) + cdx * (ady * bdz - adz * bdy);
}

double inspherefast(const float* pa, const float* pb, const float* pc, const float* pd, const float* pe)
{
    float det, permanent;
    insphereEstimate(pa, pb, pc, pd, pe, det, permanent);
    return det;
}

namespace {

// The lifted term (x^2 + y^2) * minor of the in-circle determinant, where
// minor is an exact expansion of up to 12 components and x, y are floats.
int liftedMinor(int minorLength, const float* minor, float x, float y, float* out)
{
    float x1[24], x2[48], y1[24], y2[48];
    int x1length = scaleExpansionZeroelim(minorLength, minor, x, x1);
    int x2length = scaleExpansionZeroelim(x1length, x1, x, x2);
    int y1length = scaleExpansionZeroelim(minorLength, minor, y, y1);
    int y2length = scaleExpansionZeroelim(y1length, y1, y, y2);
    return fastExpansionSumZeroelim(x2length, x2, y2length, y2, out);
}

} // namespace

double incirclefast(const float* pa, const float* pb, const float* pc, const float* pd)
{
    float adx = pa[0] - pd[0], ady = pa[1] - pd[1];
    float bdx = pb[0] - pd[0], bdy = pb[1] - pd[1];
    float cdx = pc[0] - pd[0], cdy = pc[1] - pd[1];
    float abdet = adx * bdy - bdx * ady;
    float bcdet = bdx * cdy - cdx * bdy;
    float cadet = cdx * ady - adx * cdy;
    float alift = adx * adx + ady * ady;
    float blift = bdx * bdx + bdy * bdy;
    float clift = cdx * cdx + cdy * cdy;
    return alift * bcdet + blift * cadet + clift * abdet;
}

double incircle(const float* pa, const float* pb, const float* pc, const float* pd)
{
    float adx = pa[0] - pd[0], bdx = pb[0] - pd[0], cdx = pc[0] - pd[0];
    float ady = pa[1] - pd[1], bdy = pb[1] - pd[1], cdy = pc[1] - pd[1];

    float bdxcdy = bdx * cdy, cdxbdy = cdx * bdy;
    float alift = adx * adx + ady * ady;
    float cdxady = cdx * ady, adxcdy = adx * cdy;
    float blift = bdx * bdx + bdy * bdy;
    float adxbdy = adx * bdy, bdxady = bdx * ady;
    float clift = cdx * cdx + cdy * cdy;

    float det = alift * (bdxcdy - cdxbdy) + blift * (cdxady - adxcdy) + clift * (adxbdy - bdxady);
    float permanent = (absolute(bdxcdy) + absolute(cdxbdy)) * alift +
                      (absolute(cdxady) + absolute(adxcdy)) * blift +
                      (absolute(adxbdy) + absolute(bdxady)) * clift;
    float errbound = constants.iccerrboundA * permanent;
    if (det > errbound || -det > errbound)
        return det;
    return incircleadapt(pa, pb, pc, pd, permanent);
}

double incircleadapt(const float* pa, const float* pb, const float* pc, const float* pd, float permanent)
{
    float adx = pa[0] - pd[0], bdx = pb[0] - pd[0], cdx = pc[0] - pd[0];
    float ady = pa[1] - pd[1], bdy = pb[1] - pd[1], cdy = pc[1] - pd[1];

    float bc[4], ca[4], ab[4];
    crossDifference(bdx, cdy, cdx, bdy, bc);
    crossDifference(cdx, ady, adx, cdy, ca);
    crossDifference(adx, bdy, bdx, ady, ab);

    float adet[32], bdet[32], cdet[32], abdet[64];
    int alength = liftedMinor(4, bc, adx, ady, adet);
    int blength = liftedMinor(4, ca, bdx, bdy, bdet);
    int clength = liftedMinor(4, ab, cdx, cdy, cdet);
    int ablength = fastExpansionSumZeroelim(alength, adet, blength, bdet, abdet);
    Accumulator<1152> fin;
    fin.length = fastExpansionSumZeroelim(ablength, abdet, clength, cdet, fin.now);

    float det = estimate(fin.length, fin.now);
    float errbound = constants.iccerrboundB * permanent;
    if (det >= errbound || -det >= errbound)
        return det;

    float adxtail, bdxtail, cdxtail, adytail, bdytail, cdytail;
    twoDiffTail(pa[0], pd[0], adx, adxtail);
    twoDiffTail(pa[1], pd[1], ady, adytail);
    twoDiffTail(pb[0], pd[0], bdx, bdxtail);
    twoDiffTail(pb[1], pd[1], bdy, bdytail);
    twoDiffTail(pc[0], pd[0], cdx, cdxtail);
    twoDiffTail(pc[1], pd[1], cdy, cdytail);
    if (adxtail == 0.0f && bdxtail == 0.0f && cdxtail == 0.0f && adytail == 0.0f && bdytail == 0.0f &&
        cdytail == 0.0f)
        return det;

    errbound = constants.iccerrboundC * permanent + constants.resulterrbound * absolute(det);
    det += ((adx * adx + ady * ady) * ((bdx * cdytail + cdy * bdxtail) - (bdy * cdxtail + cdx * bdytail)) +
            2.0f * (adx * adxtail + ady * adytail) * (bdx * cdy - bdy * cdx)) +
           ((bdx * bdx + bdy * bdy) * ((cdx * adytail + ady * cdxtail) - (cdy * adxtail + adx * cdytail)) +
            2.0f * (bdx * bdxtail + bdy * bdytail) * (cdx * ady - cdy * adx)) +
           ((cdx * cdx + cdy * cdy) * ((adx * bdytail + bdy * adxtail) - (ady * bdxtail + bdx * adytail)) +
            2.0f * (cdx * cdxtail + cdy * cdytail) * (adx * bdy - ady * bdx));
    if (det >= errbound || -det >= errbound)
        return det;

    // Exact squared lengths, needed only for the other points' tails.
    float aa[4], bb[4], cc[4];
    if (bdxtail != 0.0f || bdytail != 0.0f || cdxtail != 0.0f || cdytail != 0.0f)
        squaredLength(adx, ady, aa);
    if (cdxtail != 0.0f || cdytail != 0.0f || adxtail != 0.0f || adytail != 0.0f)
        squaredLength(bdx, bdy, bb);
    if (adxtail != 0.0f || adytail != 0.0f || bdxtail != 0.0f || bdytail != 0.0f)
        squaredLength(cdx, cdy, cc);

    // Each point p with its successor q and predecessor r in (a, b, c): the
    // terms linear in p's tails, then those of higher order.
    struct Corner {
        float x, y, xtail, ytail;
        const float* minor; // the cross product of q and r
        const float* square;
        float xtminor[8], ytminor[8];
        int xtminorLength, ytminorLength;
    };
    Corner corners[3] = {{adx, ady, adxtail, adytail, bc, aa, {}, {}, 0, 0},
                         {bdx, bdy, bdxtail, bdytail, ca, bb, {}, {}, 0, 0},
                         {cdx, cdy, cdxtail, cdytail, ab, cc, {}, {}, 0, 0}};
    float temp8[8], temp16a[16], temp16b[16], temp16c[16], temp32a[32], temp32b[32], temp48[48], temp64[64];
    auto addThree = [&](int alen, const float* a16, int blen, const float* b16, int clen, const float* c16) {
        int temp32alength = fastExpansionSumZeroelim(alen, a16, blen, b16, temp32a);
        int temp48length = fastExpansionSumZeroelim(clen, c16, temp32alength, temp32a, temp48);
        fin.add(temp48length, temp48);
    };
    for (int i = 0; i < 3; ++i) {
        Corner& p = corners[i];
        const Corner& q = corners[(i + 1) % 3];
        const Corner& r = corners[(i + 2) % 3];
        if (p.xtail != 0.0f) {
            p.xtminorLength = scaleExpansionZeroelim(4, p.minor, p.xtail, p.xtminor);
            int alen = scaleExpansionZeroelim(p.xtminorLength, p.xtminor, 2.0f * p.x, temp16a);
            float rsq[8], qsq[8];
            int rlen = scaleExpansionZeroelim(4, r.square, p.xtail, rsq);
            int blen = scaleExpansionZeroelim(rlen, rsq, q.y, temp16b);
            int qlen = scaleExpansionZeroelim(4, q.square, p.xtail, qsq);
            int clen = scaleExpansionZeroelim(qlen, qsq, -r.y, temp16c);
            addThree(alen, temp16a, blen, temp16b, clen, temp16c);
        }
        if (p.ytail != 0.0f) {
            p.ytminorLength = scaleExpansionZeroelim(4, p.minor, p.ytail, p.ytminor);
            int alen = scaleExpansionZeroelim(p.ytminorLength, p.ytminor, 2.0f * p.y, temp16a);
            float qsq[8], rsq[8];
            int qlen = scaleExpansionZeroelim(4, q.square, p.ytail, qsq);
            int blen = scaleExpansionZeroelim(qlen, qsq, r.x, temp16b);
            int rlen = scaleExpansionZeroelim(4, r.square, p.ytail, rsq);
            int clen = scaleExpansionZeroelim(rlen, rsq, -q.x, temp16c);
            addThree(alen, temp16a, blen, temp16b, clen, temp16c);
        }
    }
    for (int i = 0; i < 3; ++i) {
        const Corner& p = corners[i];
        const Corner& q = corners[(i + 1) % 3];
        const Corner& r = corners[(i + 2) % 3];
        if (p.xtail == 0.0f && p.ytail == 0.0f)
            continue;
        // t: the minor's part linear in q's and r's tails; tt: quadratic.
        float t[8], tt[4];
        int tlength, ttlength;
        if (q.xtail != 0.0f || q.ytail != 0.0f || r.xtail != 0.0f || r.ytail != 0.0f) {
            float u[4], v[4], i1, i0, j1, j0;
            twoProduct(q.xtail, r.y, i1, i0);
            twoProduct(q.x, r.ytail, j1, j0);
            twoTwoSum(i1, i0, j1, j0, u[3], u[2], u[1], u[0]);
            twoProduct(r.xtail, -q.y, i1, i0);
            twoProduct(r.x, -q.ytail, j1, j0);
            twoTwoSum(i1, i0, j1, j0, v[3], v[2], v[1], v[0]);
            tlength = fastExpansionSumZeroelim(4, u, 4, v, t);
            crossDifference(q.xtail, r.ytail, r.xtail, q.ytail, tt);
            ttlength = 4;
        } else {
            t[0] = 0.0f;
            tlength = 1;
            tt[0] = 0.0f;
            ttlength = 1;
        }
        // The terms of second and third order in p's tail.
        auto higherOrder = [&](float coordinate, float tail, int tailTLength, const float* tailT) {
            float tailTT[8];
            int t32alength = scaleExpansionZeroelim(tailTLength, tailT, tail, temp32a);
            int tailTTLength = scaleExpansionZeroelim(ttlength, tt, tail, tailTT);
            int t16alength = scaleExpansionZeroelim(tailTTLength, tailTT, 2.0f * coordinate, temp16a);
            int t16blength = scaleExpansionZeroelim(tailTTLength, tailTT, tail, temp16b);
            int t32blength = fastExpansionSumZeroelim(t16alength, temp16a, t16blength, temp16b, temp32b);
            int t64length = fastExpansionSumZeroelim(t32alength, temp32a, t32blength, temp32b, temp64);
            fin.add(t64length, temp64);
        };
        if (p.xtail != 0.0f) {
            float tailT[16];
            int alen = scaleExpansionZeroelim(p.xtminorLength, p.xtminor, p.xtail, temp16a);
            int tailTLength = scaleExpansionZeroelim(tlength, t, p.xtail, tailT);
            int t32alength = scaleExpansionZeroelim(tailTLength, tailT, 2.0f * p.x, temp32a);
            int t48length = fastExpansionSumZeroelim(alen, temp16a, t32alength, temp32a, temp48);
            fin.add(t48length, temp48);
            if (q.ytail != 0.0f) {
                int len8 = scaleExpansionZeroelim(4, r.square, p.xtail, temp8);
                int len16 = scaleExpansionZeroelim(len8, temp8, q.ytail, temp16a);
                fin.add(len16, temp16a);
            }
            if (r.ytail != 0.0f) {
                int len8 = scaleExpansionZeroelim(4, q.square, -p.xtail, temp8);
                int len16 = scaleExpansionZeroelim(len8, temp8, r.ytail, temp16a);
                fin.add(len16, temp16a);
            }
            higherOrder(p.x, p.xtail, tailTLength, tailT);
        }
        if (p.ytail != 0.0f) {
            float tailT[16];
            int alen = scaleExpansionZeroelim(p.ytminorLength, p.ytminor, p.ytail, temp16a);
            int tailTLength = scaleExpansionZeroelim(tlength, t, p.ytail, tailT);
            int t32alength = scaleExpansionZeroelim(tailTLength, tailT, 2.0f * p.y, temp32a);
            int t48length = fastExpansionSumZeroelim(alen, temp16a, t32alength, temp32a, temp48);
            fin.add(t48length, temp48);
            higherOrder(p.y, p.ytail, tailTLength, tailT);
        }
    }
    return fin.top();
}

double incircleexact(const float* pa, const float* pb, const float* pc, const float* pd)
{
    float cda[12], dab[12], abc[12], bcd[12];
    int abclength, bcdlength, cdalength, dablength;
    planarMinors(pa, pb, pc, pd, abc, abclength, bcd, bcdlength, cda, cdalength, dab, dablength);

    float adet[96], bdet[96], cdet[96], ddet[96], abdet[192], cddet[192], deter[384];
    int alength = liftedMinor(bcdlength, bcd, pa[0], pa[1], adet);
    int blength = liftedMinor(cdalength, cda, pb[0], pb[1], bdet);
    int clength = liftedMinor(dablength, dab, pc[0], pc[1], cdet);
    int dlength = liftedMinor(abclength, abc, pd[0], pd[1], ddet);
    for (int i = 0; i < blength; ++i)
        bdet[i] = -bdet[i];
    for (int i = 0; i < dlength; ++i)
        ddet[i] = -ddet[i];
    int ablength = fastExpansionSumZeroelim(alength, adet, blength, bdet, abdet);
    int cdlength = fastExpansionSumZeroelim(clength, cdet, dlength, ddet, cddet);
    int deterlength = fastExpansionSumZeroelim(ablength, abdet, cdlength, cddet, deter);
    return deter[deterlength - 1];
}

namespace {

// Exact differences of two points' coordinates, as (rounded, tail) pairs.
struct ExactDifference {
    float x, xtail, y, ytail, z, ztail;
    ExactDifference(const float* p, const float* q, bool withZ)
    {
        twoDiff(p[0], q[0], x, xtail);
        twoDiff(p[1], q[1], y, ytail);
        z = ztail = 0.0f;
        if (withZ)
            twoDiff(p[2], q[2], z, ztail);
    }
};

// The exact p.x q.y - q.x p.y of two exact differences: 16 floats.
int crossOfDifferences(const ExactDifference& p, const ExactDifference& q, float* out)
{
    float pxqy[8], qxpy[8];
    twoTwoProduct(p.x, p.xtail, q.y, q.ytail, pxqy);
    twoTwoProduct(q.x, q.xtail, -p.y, -p.ytail, qxpy);
    return fastExpansionSumZeroelim(8, pxqy, 8, qxpy, out);
}

// e * (v + vtail)^2 exactly, for an expansion e of up to MaxLength floats:
// 12 * MaxLength floats.
template <int MaxLength> int scaleBySquare(int elen, const float* e, float v, float vtail, float* out)
{
    float ev[2 * MaxLength], evv[4 * MaxLength], evt[2 * MaxLength], evvt[4 * MaxLength], evtvt[4 * MaxLength],
        partial[8 * MaxLength];
    int evLength = scaleExpansionZeroelim(elen, e, v, ev);
    int evvLength = scaleExpansionZeroelim(evLength, ev, v, evv);
    int evtLength = scaleExpansionZeroelim(elen, e, vtail, evt);
    int evvtLength = scaleExpansionZeroelim(evtLength, evt, v, evvt);
    for (int i = 0; i < evvtLength; ++i)
        evvt[i] *= 2.0f;
    int evtvtLength = scaleExpansionZeroelim(evtLength, evt, vtail, evtvt);
    int partialLength = fastExpansionSumZeroelim(evvLength, evv, evvtLength, evvt, partial);
    return fastExpansionSumZeroelim(partialLength, partial, evtvtLength, evtvt, out);
}

// e * (v + vtail) exactly: 4 * elen floats.
int scaleByPair(int elen, const float* e, float v, float vtail, float* out)
{
    float ev[32], evt[32];
    int evLength = scaleExpansionZeroelim(elen, e, v, ev);
    int evtLength = scaleExpansionZeroelim(elen, e, vtail, evt);
    return fastExpansionSumZeroelim(evLength, ev, evtLength, evt, out);
}

} // namespace

double orient2dslow(const float* pa, const float* pb, const float* pc)
{
    ExactDifference ac(pa, pc, false), bc(pb, pc, false);
    float deter[16];
    int deterLength = crossOfDifferences(ac, bc, deter);
    return deter[deterLength - 1];
}

double orient3dslow(const float* pa, const float* pb, const float* pc, const float* pd)
{
    ExactDifference ad(pa, pd, true), bd(pb, pd, true), cd(pc, pd, true);
    // Each z (with its tail) times the cross product of the other two.
    const ExactDifference* rows[3] = {&ad, &bd, &cd};
    float terms[3][64];
    int lengths[3];
    for (int i = 0; i < 3; ++i) {
        const ExactDifference& p = *rows[i];
        float cross[16];
        int crossLength = crossOfDifferences(*rows[(i + 1) % 3], *rows[(i + 2) % 3], cross);
        lengths[i] = scaleByPair(crossLength, cross, p.z, p.ztail, terms[i]);
    }
    float ab[128], deter[192];
    int abLength = fastExpansionSumZeroelim(lengths[0], terms[0], lengths[1], terms[1], ab);
    int deterLength = fastExpansionSumZeroelim(abLength, ab, lengths[2], terms[2], deter);
    return deter[deterLength - 1];
}

double incircleslow(const float* pa, const float* pb, const float* pc, const float* pd)
{
    ExactDifference ad(pa, pd, false), bd(pb, pd, false), cd(pc, pd, false);
    // Each lifted length (x^2 + y^2, with tails) times the cross product of
    // the other two.
    const ExactDifference* rows[3] = {&ad, &bd, &cd};
    float terms[3][384];
    int lengths[3];
    for (int i = 0; i < 3; ++i) {
        const ExactDifference& p = *rows[i];
        float cross[16], xpart[192], ypart[192];
        int crossLength = crossOfDifferences(*rows[(i + 1) % 3], *rows[(i + 2) % 3], cross);
        int xLength = scaleBySquare<16>(crossLength, cross, p.x, p.xtail, xpart);
        int yLength = scaleBySquare<16>(crossLength, cross, p.y, p.ytail, ypart);
        lengths[i] = fastExpansionSumZeroelim(xLength, xpart, yLength, ypart, terms[i]);
    }
    float ab[768], deter[1152];
    int abLength = fastExpansionSumZeroelim(lengths[0], terms[0], lengths[1], terms[1], ab);
    int deterLength = fastExpansionSumZeroelim(abLength, ab, lengths[2], terms[2], deter);
    return deter[deterLength - 1];
}

namespace {

// z1 m1 + z2 m2 + z3 m3 for exact z's (with tails) and 16-float minors: 192
// floats.
struct ZTerm {
    float z, ztail;
    int length;
    const float* minor;
};
int sumOfZTerms(const ZTerm (&terms)[3], float* out)
{
    float scaled[3][64], partial[128];
    int lengths[3];
    for (int i = 0; i < 3; ++i)
        lengths[i] = scaleByPair(terms[i].length, terms[i].minor, terms[i].z, terms[i].ztail, scaled[i]);
    int partialLength = fastExpansionSumZeroelim(lengths[0], scaled[0], lengths[1], scaled[1], partial);
    return fastExpansionSumZeroelim(partialLength, partial, lengths[2], scaled[2], out);
}

// |p|^2 * minor, negated if asked, for a 192-float minor: 6912 floats.
int liftBy(const ExactDifference& p, int minorLength, const float* minor, bool negate, float* out)
{
    float xpart[2304], ypart[2304], xy[4608];
    int xLength = scaleBySquare<192>(minorLength, minor, p.x, p.xtail, xpart);
    int yLength = scaleBySquare<192>(minorLength, minor, p.y, p.ytail, ypart);
    int xyLength = fastExpansionSumZeroelim(xLength, xpart, yLength, ypart, xy);
    int zLength = scaleBySquare<192>(minorLength, minor, p.z, p.ztail, xpart);
    int length = fastExpansionSumZeroelim(xyLength, xy, zLength, xpart, out);
    if (negate)
        for (int i = 0; i < length; ++i)
            out[i] = -out[i];
    return length;
}

} // namespace

double insphereslow(const float* pa, const float* pb, const float* pc, const float* pd, const float* pe)
{
    ExactDifference a(pa, pe, true), b(pb, pe, true), c(pc, pe, true), d(pd, pe, true);
    float ab[16], bc[16], cd[16], da[16], ac[16], bd[16], ca[16], db[16];
    int abLength = crossOfDifferences(a, b, ab), bcLength = crossOfDifferences(b, c, bc);
    int cdLength = crossOfDifferences(c, d, cd), daLength = crossOfDifferences(d, a, da);
    int acLength = crossOfDifferences(a, c, ac), bdLength = crossOfDifferences(b, d, bd);
    int caLength = crossOfDifferences(c, a, ca), dbLength = crossOfDifferences(d, b, db);

    // abc = az bc - bz ac + cz ab and its rotations, each a 3x3 minor.
    float abc[192], bcd[192], cda[192], dab[192];
    int abcLength = sumOfZTerms({{a.z, a.ztail, bcLength, bc}, {b.z, b.ztail, caLength, ca}, {c.z, c.ztail, abLength, ab}}, abc);
    int bcdLength = sumOfZTerms({{b.z, b.ztail, cdLength, cd}, {c.z, c.ztail, dbLength, db}, {d.z, d.ztail, bcLength, bc}}, bcd);
    int cdaLength = sumOfZTerms({{c.z, c.ztail, daLength, da}, {d.z, d.ztail, acLength, ac}, {a.z, a.ztail, cdLength, cd}}, cda);
    int dabLength = sumOfZTerms({{d.z, d.ztail, abLength, ab}, {a.z, a.ztail, bdLength, bd}, {b.z, b.ztail, daLength, da}}, dab);

    // (|d|^2 abc - |c|^2 dab) + (|b|^2 cda - |a|^2 bcd)
    float terms[4][6912], first[13824], second[13824], deter[27648];
    int dLength = liftBy(d, abcLength, abc, false, terms[0]);
    int cLength = liftBy(c, dabLength, dab, true, terms[1]);
    int bLength = liftBy(b, cdaLength, cda, false, terms[2]);
    int aLength = liftBy(a, bcdLength, bcd, true, terms[3]);
    int firstLength = fastExpansionSumZeroelim(dLength, terms[0], cLength, terms[1], first);
    int secondLength = fastExpansionSumZeroelim(bLength, terms[2], aLength, terms[3], second);
    int deterLength = fastExpansionSumZeroelim(firstLength, first, secondLength, second, deter);
    return deter[deterLength - 1];
}

} // namespace Vostrel
