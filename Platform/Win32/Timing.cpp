#include "Platform/Win32/Host.h"

#include <atomic>
#include <time.h>

namespace {

std::atomic<bool> virtualCounter{false};
std::atomic<int64_t> virtualNow{0};
std::atomic<int64_t> virtualStep{0};

int64_t monotonicNow()
{
    timespec now;
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<int64_t>(now.tv_sec) * 1000000000LL + now.tv_nsec;
}

} // namespace

namespace Win32Host {

void setVirtualCounter(bool on, int64_t stepPerReading)
{
    virtualNow = monotonicNow();
    virtualStep = stepPerReading;
    virtualCounter = on;
}

void advanceCounter(int64_t ticks)
{
    virtualNow += ticks;
}

} // namespace Win32Host

BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency)
{
    if (!frequency)
        return FALSE;
    frequency->QuadPart = 1000000000LL;
    return TRUE;
}

BOOL QueryPerformanceCounter(LARGE_INTEGER* counter)
{
    if (!counter)
        return FALSE;
    counter->QuadPart = virtualCounter ? virtualNow.fetch_add(virtualStep) : monotonicNow();
    return TRUE;
}

void Sleep(DWORD milliseconds)
{
    timespec wait;
    wait.tv_sec = milliseconds / 1000;
    wait.tv_nsec = static_cast<long>(milliseconds % 1000) * 1000000L;
    while (nanosleep(&wait, &wait) != 0) {
    }
}
