#pragma once

// The subset of the Win32 API the engine calls, over SDL2 and POSIX.

#include <cstdint>

typedef int BOOL;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef int64_t LONGLONG;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

union LARGE_INTEGER {
    struct {
        DWORD LowPart;
        LONG HighPart;
    } u;
    LONGLONG QuadPart;
};

// The performance counter runs on the monotonic clock in nanoseconds.
BOOL QueryPerformanceFrequency(LARGE_INTEGER* frequency);
BOOL QueryPerformanceCounter(LARGE_INTEGER* counter);
void Sleep(DWORD milliseconds);
