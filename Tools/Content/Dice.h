#pragma once

#include <cstdint>

namespace Vostrel {
namespace Content {

// Fixed pseudo-random places, the same on every run and every machine.
class Dice {
public:
    explicit Dice(uint32_t seed) : state(seed) {}
    float unit()
    {
        state = state * 1664525u + 1013904223u;
        return static_cast<float>(state >> 8) / 16777216.0f;
    }
    float range(float low, float high) { return low + (high - low) * unit(); }

private:
    uint32_t state;
};

} // namespace Content
} // namespace Vostrel
