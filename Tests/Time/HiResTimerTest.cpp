#include "Libs/Time/HiResTimer.h"
#include "Platform/Win32/Windows.h"

#include <gtest/gtest.h>

using Vostrel::HiResTimer;

TEST(HiResTimer, ReadsTheCounterAtItsFrequency)
{
    HiResTimer timer;
    LARGE_INTEGER frequency;
    ASSERT_TRUE(QueryPerformanceFrequency(&frequency));
    EXPECT_EQ(HiResTimer::getFrequency(), frequency.QuadPart);
    EXPECT_EQ(timer.getOffset(), 0.0f);
    EXPECT_LE(timer.getStart(), HiResTimer::readCounter());
}

TEST(HiResTimer, ScalesTheElapsedTicksAndAddsTheOffset)
{
    HiResTimer timer;
    timer.reset(0.5f);
    const int64_t start = timer.getStart(), second = HiResTimer::getFrequency();
    struct Case {
        int64_t ticks;
        double factor, seconds;
    };
    const Case cases[] = {
        {0, 1.0, 0.5}, {second, 2.0, 2.5}, {second, 1.0, 1.5}, {second / 4, 1.0, 0.75},
        {3 * second, 0.0, 0.5}, {-second, 1.0, -0.5}, {10 * second, 0.5, 5.5},
    };
    for (const Case& c : cases)
        EXPECT_DOUBLE_EQ(timer.getTimeAt(start + c.ticks, c.factor), c.seconds) << c.ticks << " ticks";
}

TEST(HiResTimer, ResetRestartsFromTheOffset)
{
    HiResTimer timer;
    int64_t before = HiResTimer::readCounter();
    timer.reset(-2.25f);
    int64_t after = HiResTimer::readCounter();
    EXPECT_EQ(timer.getOffset(), -2.25f);
    EXPECT_GE(timer.getStart(), before);
    EXPECT_LE(timer.getStart(), after);
    // With factor 0 the reading is the offset, whenever it is taken.
    EXPECT_EQ(timer.getTime(0.0), -2.25);
    // The counter never runs backwards, so a reading never precedes the reset.
    EXPECT_GE(timer.getTime(), -2.25);
}
