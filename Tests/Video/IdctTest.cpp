#include "Libs/Video/Idct.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>

using namespace Vostrel::Video;

namespace {

// The random source of the IEEE 1180 procedure: uniform integers in [-low, high].
class Ieee1180Random {
public:
    long next(long low, long high)
    {
        state = state * 1103515245u + 12345u;
        long i = static_cast<long>(state & 0x7FFFFFFEu);
        double x = double(i) / double(0x7FFFFFFF);
        x *= double(low + high + 1);
        return static_cast<long>(x) - low;
    }

private:
    uint32_t state = 1;
};

// Forward DCT in double precision with the same orthonormal scaling.
void forwardDct(const int* pixels, int16_t* coefficients)
{
    const double pi = 3.14159265358979323846;
    double c[8][8];
    for (int i = 0; i < 8; ++i)
        for (int j = 0; j < 8; ++j)
            c[i][j] = (i == 0 ? std::sqrt(0.125) : 0.5) * std::cos(pi / 8.0 * i * (j + 0.5));
    for (int v = 0; v < 8; ++v)
        for (int u = 0; u < 8; ++u) {
            double sum = 0;
            for (int y = 0; y < 8; ++y)
                for (int x = 0; x < 8; ++x)
                    sum += c[v][y] * c[u][x] * pixels[8 * y + x];
            coefficients[8 * v + u] = static_cast<int16_t>(std::clamp(std::floor(sum + 0.5), -2048.0, 2047.0));
        }
}

struct AccuracyCase {
    long low;
    long high;
    int sign;
};

} // namespace

// IEEE 1180-1990: 10000 random blocks per range and sign, compared with the
// double-precision transform.
TEST(IdctTest, IntegerTransformMeetsIeee1180AgainstTheDoubleTransform)
{
    const AccuracyCase cases[] = {{256, 255, 1}, {256, 255, -1}, {5, 5, 1}, {5, 5, -1}, {300, 300, 1}, {300, 300, -1}};
    for (const AccuracyCase& c : cases) {
        Ieee1180Random random;
        long errorSum[64] = {};
        long squareSum[64] = {};
        int peak = 0;
        const int blocks = 10000;
        for (int b = 0; b < blocks; ++b) {
            int pixels[64];
            for (int i = 0; i < 64; ++i)
                pixels[i] = static_cast<int>(random.next(c.low, c.high)) * c.sign;
            int16_t reference[64], tested[64];
            forwardDct(pixels, reference);
            std::copy(reference, reference + 64, tested);
            doubleIdct(reference);
            fastIdct(tested);
            for (int i = 0; i < 64; ++i) {
                int error = tested[i] - reference[i];
                peak = std::max(peak, std::abs(error));
                errorSum[i] += error;
                squareSum[i] += error * error;
            }
        }
        double totalError = 0, totalSquare = 0;
        for (int i = 0; i < 64; ++i) {
            EXPECT_LE(double(squareSum[i]) / blocks, 0.06) << "pixel mean square error at " << i << " range " << c.low;
            EXPECT_LE(std::fabs(double(errorSum[i]) / blocks), 0.015) << "pixel mean error at " << i << " range " << c.low;
            totalError += double(errorSum[i]);
            totalSquare += double(squareSum[i]);
        }
        EXPECT_LE(peak, 1) << "range " << c.low << " sign " << c.sign;
        EXPECT_LE(totalSquare / (64.0 * blocks), 0.02) << "range " << c.low << " sign " << c.sign;
        EXPECT_LE(std::fabs(totalError / (64.0 * blocks)), 0.0015) << "range " << c.low << " sign " << c.sign;
    }
}

// A coded block with only its DC coefficient is flat at DC / 8, rounded
// with halves upwards by the integer transform.
TEST(IdctTest, DcOnlyBlockIsFlat)
{
    const struct {
        int dc;
        int flat;
    } cases[] = {{0, 0}, {8, 1}, {12, 2}, {11, 1}, {-8, -1}, {-12, -1}, {-13, -2}, {1016, 127},
                 {2047, 255}, {-2048, -256}, {-2047, -256}};
    for (const auto& c : cases) {
        int16_t block[64] = {};
        block[0] = static_cast<int16_t>(c.dc);
        fastIdct(block);
        for (int16_t v : block)
            ASSERT_EQ(v, c.flat) << "dc " << c.dc;
    }
}

// Mismatch control turns the coefficient 63 of an all-zero block to 1; the
// decoder skips such blocks, which is right only because they transform to 0.
TEST(IdctTest, MismatchOnlyBlockTransformsToZero)
{
    for (void (*transform)(int16_t*) : {fastIdct, doubleIdct}) {
        int16_t block[64] = {};
        block[63] = 1;
        transform(block);
        for (int16_t v : block)
            EXPECT_EQ(v, 0);
    }
}

// Blocks that no encoder makes but damaged data can: full-scale
// coefficients everywhere. The samples stay in range (and the sanitizers see
// no overflow).
TEST(IdctTest, FullScaleBlocksStayInRange)
{
    const int patterns[][2] = {{2047, 2047}, {-2048, -2048}, {2047, -2048}, {-2048, 2047}};
    for (const auto& pattern : patterns) {
        for (int layout = 0; layout < 3; ++layout) {
            int16_t block[64];
            for (int i = 0; i < 64; ++i) {
                bool first = layout == 0 ? true : layout == 1 ? ((i / 8 + i % 8) % 2 == 0) : (i % 3 == 0);
                block[i] = static_cast<int16_t>(first ? pattern[0] : pattern[1]);
            }
            int16_t copy[64];
            std::copy(block, block + 64, copy);
            fastIdct(block);
            doubleIdct(copy);
            for (int i = 0; i < 64; ++i) {
                EXPECT_GE(block[i], -256);
                EXPECT_LE(block[i], 255);
                EXPECT_GE(copy[i], -256);
                EXPECT_LE(copy[i], 255);
            }
        }
    }
}

// The transform in vector lanes gives the 64-bit transform's samples, on
// blocks as coded (few coefficients), dense full-range blocks and
// full-scale extremes; blocks beyond [-2048, 2047] take the 64-bit path.
TEST(IdctTest, LanesGiveTheSamplesOf64BitPasses)
{
    Ieee1180Random random;
    for (int trial = 0; trial < 30000; ++trial) {
        int16_t block[64] = {};
        switch (trial % 4) {
        case 0: // sparse: a DC and a few small coefficients
            block[0] = static_cast<int16_t>(random.next(2048, 2047));
            for (long k = random.next(0, 10); k > 0; --k)
                block[random.next(0, 63)] = static_cast<int16_t>(random.next(60, 60));
            break;
        case 1:
            for (int16_t& v : block)
                v = static_cast<int16_t>(random.next(2048, 2047));
            break;
        case 2:
            for (int16_t& v : block)
                v = random.next(0, 1) ? 2047 : -2048;
            break;
        default:
            for (int16_t& v : block)
                v = static_cast<int16_t>(random.next(32768, 32767));
            break;
        }
        int16_t scalar[64];
        std::copy(block, block + 64, scalar);
        fastIdct(block);
        fastIdctScalar(scalar);
        ASSERT_TRUE(std::equal(block, block + 64, scalar)) << "trial " << trial;
    }
}
