#pragma once

#include "Libs/Math/Vec.h"

#include <cstdint>

namespace Vostrel {

// The program-wide Mersenne Twister (MT19937). Every user shares one state;
// the first draw of a run seeds it from the clock, so runs differ.

// state[0] = seed | 1, state[i] = state[i - 1] * 69069; the next draw reloads.
void seedMT(uint32_t seed);
// Regenerates the 624 words and returns the first, tempered.
uint32_t reloadMT();
// The next tempered word; the first draw of a run seeds with time * 2 + 1.
uint32_t randomUInt32();

// w * 2^-31 - 1 in double, rounded to float: [-1, 1), the largest words give 1.
float signedUnitFloat(uint32_t word);
float randomSignedUnitFloat();
// Rejection sampling: x, y, z drawn in this order until x² + y² + z² <= 1.
Vec3 randomPointInUnitSphere();

bool isRandomClockSeeded();
// Puts the generator back to its never-seeded start. For tests only.
void resetRandomGenerator();

// Operands for exercising exact geometric predicates, drawn from the
// runtime's rand (not the Mersenne Twister) with their binary exponents
// spread: wide over nine exponent bits, narrow over three, uniform not at all.
double wideDoubleRand();
double narrowDoubleRand();
double uniformDoubleRand();
float wideFloatRand();
float narrowFloatRand();
float uniformFloatRand();

} // namespace Vostrel
