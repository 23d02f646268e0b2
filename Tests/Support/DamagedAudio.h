#pragma once

#include <random>
#include <string>

namespace VostrelTest {

// Flips count bits, chosen by a generator seeded with seed, among the bytes
// from..to, as a damaged copy of a file has them.
inline void flipBits(std::string& bytes, size_t from, size_t to, int count, unsigned seed)
{
    std::mt19937_64 random(seed);
    for (int k = 0; k < count; ++k) {
        const size_t bit = from * 8 + random() % ((to - from) * 8);
        bytes[bit / 8] = static_cast<char>(bytes[bit / 8] ^ (1 << (bit % 8)));
    }
}

// Overwrites the bytes from from on with noise, the same for every run, as
// data that turns to noise part-way has them.
inline void turnToNoise(std::string& bytes, size_t from)
{
    for (size_t k = from; k < bytes.size(); ++k)
        bytes[k] = static_cast<char>((k * 2654435761u) >> 13);
}

} // namespace VostrelTest
