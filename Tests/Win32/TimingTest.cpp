#include "Platform/Win32/Windows.h"

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
