// Frame pacing on the real clock: a wait ends at or after its deadline.
#include "skarn.h"

#include <gtest/gtest.h>

TEST(RealClock, WaitEndsAtOrAfterDeadline)
{
    for (int left : {67, 9, 0}) {
        int32_t base = clock_ms();
        wait_until_ms(base, left);
        int32_t now = clock_ms();
        EXPECT_GE(now - base, left);
        EXPECT_LT(now - base, left + 2000);  // sleeps in whole tens, never much longer
    }
}

TEST(RealClock, PartClockCountsMilliseconds)
{
    timer_start();
    int32_t base = clock_ms();
    wait_until_ms(base, 120);
    EXPECT_GE(timer_elapsed_ms(), 120);
    EXPECT_GE(timer_elapsed_tenths(), 1);
}
