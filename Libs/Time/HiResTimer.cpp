#include "Libs/Time/HiResTimer.h"

#include "Platform/Win32/Windows.h"

namespace Vostrel {

namespace {
// Program-wide, written by every timer's constructor.
int64_t frequency = 1;
double secondsPerTick = 1.0;
} // namespace

HiResTimer::HiResTimer() : start(0), offset(0.0f)
{
    LARGE_INTEGER value;
    QueryPerformanceFrequency(&value);
    frequency = value.QuadPart;
    secondsPerTick = 1.0 / static_cast<double>(frequency);
    start = readCounter();
}

void HiResTimer::reset(float newOffset)
{
    offset = newOffset;
    start = readCounter();
}

double HiResTimer::getTime(double factor) const
{
    return getTimeAt(readCounter(), factor);
}

double HiResTimer::getTimeAt(int64_t counter, double factor) const
{
    return static_cast<double>(counter - start) * secondsPerTick * factor + offset;
}

int64_t HiResTimer::getFrequency()
{
    return frequency;
}

int64_t HiResTimer::readCounter()
{
    LARGE_INTEGER value;
    QueryPerformanceCounter(&value);
    return value.QuadPart;
}

} // namespace Vostrel
