#pragma once

#include <cstdint>

namespace Vostrel {

// A stopwatch on the performance counter, in seconds from the last reset
// plus an offset.
class HiResTimer {
public:
    HiResTimer();

    // Restarts the count now; getTime then starts from offset.
    void reset(float offset = 0.0f);
    // (counter now - start) / frequency * factor + offset.
    double getTime(double factor = 1.0) const;
    // The same for a given counter reading.
    double getTimeAt(int64_t counter, double factor) const;

    int64_t getStart() const { return start; }
    float getOffset() const { return offset; }

    // The counter's ticks per second, as the last constructed timer read it.
    static int64_t getFrequency();
    static int64_t readCounter();

private:
    int64_t start;
    float offset;
};

} // namespace Vostrel
