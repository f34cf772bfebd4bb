#include "Ticks.h"

#include <gtest/gtest.h>

#include <cstdint>

TEST(TickDeadline, PassesOnlyWhenStrictlyLater)
{
    TTickDeadline deadline(1000, 180);
    EXPECT_FALSE(deadline.Passed(1000));
    EXPECT_FALSE(deadline.Passed(1180));
    EXPECT_TRUE(deadline.Passed(1181));
    EXPECT_EQ(deadline.Remaining(1100), 80u);
    EXPECT_EQ(deadline.Remaining(1200), 0u);
}

TEST(TickDeadline, SurvivesTheCounterWrap)
{
    const uint32_t start = UINT32_MAX - 50;
    TTickDeadline deadline(start, 100);
    EXPECT_FALSE(deadline.Passed(UINT32_MAX));
    EXPECT_FALSE(deadline.Passed(49)); // 100 ms after the start, across the wrap
    EXPECT_TRUE(deadline.Passed(50));
    EXPECT_EQ(deadline.Remaining(0), 49u);
}

TEST(TickDeadline, RestartMovesTheDeadline)
{
    TTickDeadline deadline(0, 10);
    deadline.Restart(500, 150);
    EXPECT_FALSE(deadline.Passed(650));
    EXPECT_TRUE(deadline.Passed(651));
}

TEST(TickDeadline, UntilPassedIsTheWaitAfterWhichItHasPassed)
{
    TTickDeadline deadline(1000, 180);
    EXPECT_EQ(deadline.UntilPassed(1000), 181u);
    EXPECT_TRUE(deadline.Passed(1000 + deadline.UntilPassed(1000)));
    EXPECT_EQ(deadline.UntilPassed(1180), 1u);
    EXPECT_EQ(deadline.UntilPassed(1181), 0u);
    EXPECT_EQ(TTickDeadline(0, UINT32_MAX).UntilPassed(0), UINT32_MAX);
}
