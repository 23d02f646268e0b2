#include "Platform/Win32/Host.h"

#include <gtest/gtest.h>

namespace {

TEST(TimingTest, CounterNeverRunsBackwards)
{
    LARGE_INTEGER frequency;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_GT(frequency.QuadPart, 0);
    LARGE_INTEGER first;
    LARGE_INTEGER second;
    ASSERT_TRUE(QueryPerformanceCounter(&first));
    ASSERT_TRUE(QueryPerformanceCounter(&second));
    EXPECT_GE(second.QuadPart, first.QuadPart);
    EXPECT_FALSE(QueryPerformanceCounter(nullptr));
}

} // namespace

namespace {

TEST(TimingTest, VirtualCounterMovesOnlyWhenTold)
{
    struct Case {
        int64_t step, advance;
    };
    for (const Case& c : {Case{0, 0}, Case{0, 1000}, Case{7, 0}, Case{7, -3}}) {
        Win32Host::setVirtualCounter(true, c.step);
        LARGE_INTEGER first, second, third;
        QueryPerformanceCounter(&first);
        QueryPerformanceCounter(&second);
        Win32Host::advanceCounter(c.advance);
        QueryPerformanceCounter(&third);
        Win32Host::setVirtualCounter(false);
        EXPECT_EQ(second.QuadPart - first.QuadPart, c.step) << c.step;
        EXPECT_EQ(third.QuadPart - second.QuadPart, c.step + c.advance) << c.step;
    }
}

} // namespace
