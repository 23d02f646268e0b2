#include "Libs/Math/Random.h"

#include "Platform/Runtime/Runtime.h"

#include <ctime>

namespace Vostrel {

namespace {

const int stateSize = 624;
const int shift = 397;
const uint32_t matrixA = 0x9908B0DFu;
const uint32_t upperMask = 0x80000000u;
const uint32_t lowerMask = 0x7FFFFFFFu;

// All users run on the frame-loop thread; there is no lock.
uint32_t state[stateSize];
int next = 0;
int left = -1; // -1: never seeded
bool clockSeeded = false;

uint32_t temper(uint32_t y)
{
    y ^= y >> 11;
    y ^= (y << 7) & 0x9D2C5680u;
    y ^= (y << 15) & 0xEFC60000u;
    y ^= y >> 18;
    return y;
}

// Multiplies by 2, 4, 16, 256, ... (each factor the square of the one
// before) for every bit of selector among the masks 512..lastMask.
template <typename T> T spreadExponent(T value, int selector, int lastMask)
{
    T factor = 2;
    for (int mask = 512; mask <= lastMask; mask *= 2, factor *= factor)
        if (selector & mask)
            value *= factor;
    return value;
}

// Arithmetic shifts of a value centred on 2^30, as the operand recipes
// were written for.
double doubleFromDraws(int a, int b)
{
    return static_cast<double>(a - 1073741824) * 8388608.0 + static_cast<double>(b >> 8);
}

float floatFromDraw(int a)
{
    return static_cast<float>((a - 1073741824) >> 6);
}

} // namespace

void seedMT(uint32_t seed)
{
    uint32_t x = seed | 1u;
    state[0] = x;
    for (int i = 1; i < stateSize; ++i)
        state[i] = x *= 69069u;
    left = 0;
}

uint32_t reloadMT()
{
    if (left < -1)
        seedMT(4357u);
    for (int i = 0; i < stateSize; ++i) {
        uint32_t y = (state[i] & upperMask) | (state[(i + 1) % stateSize] & lowerMask);
        state[i] = state[(i + shift) % stateSize] ^ (y >> 1) ^ ((y & 1u) ? matrixA : 0u);
    }
    left = stateSize - 1;
    next = 1;
    return temper(state[0]);
}

uint32_t randomUInt32()
{
    if (--left < 0) {
        if (!clockSeeded) {
            seedMT(static_cast<uint32_t>(std::time(nullptr)) * 2u + 1u);
            clockSeeded = true;
        }
        return reloadMT();
    }
    return temper(state[next++]);
}

float signedUnitFloat(uint32_t word)
{
    return static_cast<float>(word * (1.0 / 2147483648.0) - 1.0);
}

float randomSignedUnitFloat()
{
    return signedUnitFloat(randomUInt32());
}

Vec3 randomPointInUnitSphere()
{
    for (;;) {
        float x = randomSignedUnitFloat();
        float y = randomSignedUnitFloat();
        float z = randomSignedUnitFloat();
        if (double(x) * x + double(y) * y + double(z) * z <= 1.0)
            return Vec3(x, y, z);
    }
}

bool isRandomClockSeeded()
{
    return clockSeeded;
}

void resetRandomGenerator()
{
    next = 0;
    left = -1;
    clockSeeded = false;
}

double wideDoubleRand()
{
    int a = Runtime::rand();
    int b = Runtime::rand();
    int c = Runtime::rand();
    return spreadExponent(doubleFromDraws(a, b), c, 131072);
}

double narrowDoubleRand()
{
    int a = Runtime::rand();
    int b = Runtime::rand();
    int c = Runtime::rand();
    return spreadExponent(doubleFromDraws(a, b), c, 2048);
}

double uniformDoubleRand()
{
    int a = Runtime::rand();
    int b = Runtime::rand();
    return doubleFromDraws(a, b);
}

float wideFloatRand()
{
    int a = Runtime::rand();
    int b = Runtime::rand();
    return spreadExponent(floatFromDraw(a), b, 16384);
}

float narrowFloatRand()
{
    int a = Runtime::rand();
    int b = Runtime::rand();
    return spreadExponent(floatFromDraw(a), b, 2048);
}

float uniformFloatRand()
{
    return floatFromDraw(Runtime::rand());
}

} // namespace Vostrel
