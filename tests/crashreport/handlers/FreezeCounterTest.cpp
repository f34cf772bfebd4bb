#include "handlers/FreezeCounter.h"

#include <gtest/gtest.h>

namespace {

// Misses until a report is due; 0 when none came within the limit.
unsigned MissesToReport(TFreezeCounter& counter, unsigned limit = 100)
{
    for (unsigned miss = 1; miss <= limit; ++miss) {
        if (counter.Missed())
            return miss;
    }
    return 0;
}

TEST(FreezeCounter, TenMissesMakeAReportAndTheNextComesAtHalfAgainTheInterval)
{
    TFreezeCounter counter(60000);
    EXPECT_EQ(counter.Interval(), 6000u);
    EXPECT_EQ(MissesToReport(counter), 10u);
    EXPECT_EQ(counter.Misses(), 0u);
    EXPECT_EQ(counter.Interval(), 9000u);
    EXPECT_EQ(MissesToReport(counter), 10u);
    EXPECT_EQ(counter.Interval(), 13500u);
}

TEST(FreezeCounter, AnAnswerStartsCountAndIntervalOver)
{
    TFreezeCounter counter(60000);
    ASSERT_EQ(MissesToReport(counter), 10u);
    for (int miss = 0; miss < 9; ++miss)
        EXPECT_FALSE(counter.Missed());
    counter.Answered();
    EXPECT_EQ(counter.Interval(), 6000u);
    EXPECT_EQ(counter.Misses(), 0u);
    EXPECT_EQ(MissesToReport(counter), 10u);
}

TEST(FreezeCounter, MissesClearedWhileHandlingDoNotCount)
{
    TFreezeCounter counter(1000);
    for (int miss = 0; miss < 9; ++miss)
        counter.Missed();
    counter.ClearMisses();
    EXPECT_EQ(MissesToReport(counter), 10u);
    // Clearing keeps the grown interval.
    EXPECT_EQ(counter.Interval(), 150u);
}

TEST(FreezeCounter, ShortOrNegativeTimeOutsStillWaitAMillisecond)
{
    for (const int32_t timeout : {0, 9, -5, INT32_MIN}) {
        TFreezeCounter counter(timeout);
        EXPECT_EQ(counter.Interval(), 1u) << timeout;
        EXPECT_EQ(MissesToReport(counter), 10u);
        EXPECT_GE(counter.Interval(), 1u);
    }
    EXPECT_EQ(TFreezeCounter(10).Interval(), 1u);
    EXPECT_EQ(TFreezeCounter(25).Interval(), 2u);
}

TEST(FreezeCounter, TheIntervalStopsGrowingBelowAnEndlessWait)
{
    TFreezeCounter counter(INT32_MAX);
    for (int report = 0; report < 8; ++report)
        ASSERT_EQ(MissesToReport(counter), 10u);
    EXPECT_EQ(counter.Interval(), TFreezeCounter::kLongestInterval);
}

} // namespace
