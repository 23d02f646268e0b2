#include "Libs/Math/Expansion.h"

namespace Vostrel {

using namespace ErrorFree;

void twoTwoProduct(float a1, float a0, float b1, float b0, float x[8])
{
    float a0hi, a0lo, a1hi, a1lo, bhi, blo, i, j, k, l, m, n, t0, t1, t2;
    auto productPresplit = [](float a, float ahi, float alo, float b, float bh, float bl, float& hi, float& lo) {
        hi = a * b;
        float err1 = hi - ahi * bh;
        float err2 = err1 - alo * bh;
        float err3 = err2 - ahi * bl;
        lo = alo * bl - err3;
    };
    split(a0, a0hi, a0lo);
    split(b0, bhi, blo);
    productPresplit(a0, a0hi, a0lo, b0, bhi, blo, i, x[0]);
    split(a1, a1hi, a1lo);
    productPresplit(a1, a1hi, a1lo, b0, bhi, blo, j, t0);
    twoSum(i, t0, k, t1);
    fastTwoSum(j, k, l, t2);
    split(b1, bhi, blo);
    productPresplit(a0, a0hi, a0lo, b1, bhi, blo, i, t0);
    twoSum(t1, t0, k, x[1]);
    twoSum(t2, k, j, t1);
    twoSum(l, j, m, t2);
    productPresplit(a1, a1hi, a1lo, b1, bhi, blo, j, t0);
    twoSum(i, t0, n, t0);
    twoSum(t1, t0, i, x[2]);
    twoSum(t2, i, k, t1);
    twoSum(m, k, l, t2);
    twoSum(j, n, k, t0);
    twoSum(t1, t0, j, x[3]);
    twoSum(t2, j, i, t1);
    twoSum(l, i, m, t2);
    twoSum(t1, k, i, x[4]);
    twoSum(t2, i, k, x[5]);
    twoSum(m, k, x[7], x[6]);
}

namespace {

// Appends a component; the zero-eliminating forms drop zeros.
template <bool DropZeros> inline void emit(float* h, int& hindex, float hh)
{
    if (!DropZeros || hh != 0.0f)
        h[hindex++] = hh;
}

// The last component closes the expansion; a zero one is kept only when it
// would otherwise be empty.
template <bool DropZeros> inline int finish(float* h, int hindex, float q)
{
    if (!DropZeros || q != 0.0f || hindex == 0)
        h[hindex++] = q;
    return hindex;
}

template <bool DropZeros> int fastExpansionSumImpl(int elen, const float* e, int flen, const float* f, float* h)
{
    // Merges by magnitude; the next component of each input is read only when
    // one remains, so inputs exactly as long as their arrays are safe.
    float enow = e[0];
    float fnow = f[0];
    int eindex = 0, findex = 0, hindex = 0;
    auto advanceE = [&] {
        if (++eindex < elen)
            enow = e[eindex];
    };
    auto advanceF = [&] {
        if (++findex < flen)
            fnow = f[findex];
    };
    float q, qnew, hh;
    if ((fnow > enow) == (fnow > -enow)) {
        q = enow;
        advanceE();
    } else {
        q = fnow;
        advanceF();
    }
    if (eindex < elen && findex < flen) {
        if ((fnow > enow) == (fnow > -enow)) {
            fastTwoSum(enow, q, qnew, hh);
            advanceE();
        } else {
            fastTwoSum(fnow, q, qnew, hh);
            advanceF();
        }
        q = qnew;
        emit<DropZeros>(h, hindex, hh);
        while (eindex < elen && findex < flen) {
            if ((fnow > enow) == (fnow > -enow)) {
                twoSum(q, enow, qnew, hh);
                advanceE();
            } else {
                twoSum(q, fnow, qnew, hh);
                advanceF();
            }
            q = qnew;
            emit<DropZeros>(h, hindex, hh);
        }
    }
    while (eindex < elen) {
        twoSum(q, enow, qnew, hh);
        advanceE();
        q = qnew;
        emit<DropZeros>(h, hindex, hh);
    }
    while (findex < flen) {
        twoSum(q, fnow, qnew, hh);
        advanceF();
        q = qnew;
        emit<DropZeros>(h, hindex, hh);
    }
    return finish<DropZeros>(h, hindex, q);
}

template <bool DropZeros> int scaleExpansionImpl(int elen, const float* e, float b, float* h)
{
    float bhi, blo, q, hh, product1, product0, sum;
    split(b, bhi, blo);
    twoProductPresplit(e[0], b, bhi, blo, q, hh);
    int hindex = 0;
    emit<DropZeros>(h, hindex, hh);
    for (int eindex = 1; eindex < elen; ++eindex) {
        twoProductPresplit(e[eindex], b, bhi, blo, product1, product0);
        twoSum(q, product0, sum, hh);
        emit<DropZeros>(h, hindex, hh);
        if (DropZeros)
            fastTwoSum(product1, sum, q, hh);
        else
            twoSum(product1, sum, q, hh);
        emit<DropZeros>(h, hindex, hh);
    }
    return finish<DropZeros>(h, hindex, q);
}

} // namespace

int fastExpansionSumZeroelim(int elen, const float* e, int flen, const float* f, float* h)
{
    return fastExpansionSumImpl<true>(elen, e, flen, f, h);
}
int fastExpansionSum(int elen, const float* e, int flen, const float* f, float* h)
{
    return fastExpansionSumImpl<false>(elen, e, flen, f, h);
}
int scaleExpansionZeroelim(int elen, const float* e, float b, float* h)
{
    return scaleExpansionImpl<true>(elen, e, b, h);
}
int scaleExpansion(int elen, const float* e, float b, float* h)
{
    return scaleExpansionImpl<false>(elen, e, b, h);
}

namespace {

template <bool DropZeros> int growExpansionImpl(int elen, const float* e, float b, float* h)
{
    float q = b, qnew, hh;
    int hindex = 0;
    for (int eindex = 0; eindex < elen; ++eindex) {
        twoSum(q, e[eindex], qnew, hh);
        q = qnew;
        emit<DropZeros>(h, hindex, hh);
    }
    return finish<DropZeros>(h, hindex, q);
}

// Grows the running sum by each component of f in turn, in place in h.
template <bool DropZeros> int expansionSumImpl(int elen, const float* e, int flen, const float* f, float* h)
{
    int hlength = growExpansionImpl<DropZeros>(elen, e, f[0], h);
    for (int findex = 1; findex < flen; ++findex) {
        // Without elimination the lowest findex components are final: the
        // grown part starts above them.
        int first = DropZeros ? 0 : findex;
        hlength = first + growExpansionImpl<DropZeros>(hlength - first, h + first, f[findex], h + first);
    }
    return hlength;
}

template <bool DropZeros> int linearExpansionSumImpl(int elen, const float* e, int flen, const float* f, float* h)
{
    float enow = e[0];
    float fnow = f[0];
    int eindex = 0, findex = 0;
    // Takes the smaller-magnitude next component of e or f.
    auto next = [&] {
        float taken;
        if (eindex < elen && (findex >= flen || (fnow > enow) == (fnow > -enow))) {
            taken = enow;
            if (++eindex < elen)
                enow = e[eindex];
        } else {
            taken = fnow;
            if (++findex < flen)
                fnow = f[findex];
        }
        return taken;
    };
    float g0 = next();
    float qbig, qsmall, qnew, r, hh;
    fastTwoSum(next(), g0, qbig, qsmall);
    int hindex = 0;
    for (int count = 0; count < elen + flen - 2; ++count) {
        fastTwoSum(next(), qsmall, r, hh);
        emit<DropZeros>(h, hindex, hh);
        twoSum(qbig, r, qnew, qsmall);
        qbig = qnew;
    }
    emit<DropZeros>(h, hindex, qsmall);
    return finish<DropZeros>(h, hindex, qbig);
}

} // namespace

int growExpansion(int elen, const float* e, float b, float* h) { return growExpansionImpl<false>(elen, e, b, h); }
int growExpansionZeroelim(int elen, const float* e, float b, float* h)
{
    return growExpansionImpl<true>(elen, e, b, h);
}
int expansionSum(int elen, const float* e, int flen, const float* f, float* h)
{
    return expansionSumImpl<false>(elen, e, flen, f, h);
}
int expansionSumZeroelim(int elen, const float* e, int flen, const float* f, float* h)
{
    return expansionSumImpl<true>(elen, e, flen, f, h);
}
int linearExpansionSum(int elen, const float* e, int flen, const float* f, float* h)
{
    return linearExpansionSumImpl<false>(elen, e, flen, f, h);
}
int linearExpansionSumZeroelim(int elen, const float* e, int flen, const float* f, float* h)
{
    return linearExpansionSumImpl<true>(elen, e, flen, f, h);
}

int compress(int elen, const float* e, float* h)
{
    // Top down, gathering each run that sums without error into one
    // component, then bottom up to make the components non-adjacent.
    int bottom = elen - 1;
    float q = e[bottom], qnew, small;
    for (int eindex = elen - 2; eindex >= 0; --eindex) {
        fastTwoSum(q, e[eindex], qnew, small);
        if (small != 0.0f) {
            h[bottom--] = qnew;
            q = small;
        } else {
            q = qnew;
        }
    }
    int top = 0;
    for (int hindex = bottom + 1; hindex < elen; ++hindex) {
        fastTwoSum(h[hindex], q, qnew, small);
        if (small != 0.0f)
            h[top++] = small;
        q = qnew;
    }
    h[top] = q;
    return top + 1;
}

float estimate(int elen, const float* e)
{
    float q = e[0];
    for (int i = 1; i < elen; ++i)
        q += e[i];
    return q;
}

} // namespace Vostrel
