#include <gtest/gtest.h>

#include "dispatch/ExceptionHistory.h"

namespace {

constexpr uint64_t kNow = 13'000'000'000;

TExceptionHistory WithTimes(std::initializer_list<uint64_t> oldestFirst)
{
    TExceptionHistory history;
    for (const uint64_t time : oldestFirst)
        history.Record(time);
    return history;
}

TEST(ExceptionHistory, RecordKeepsTheNewestTenNewestFirst)
{
    TExceptionHistory history;
    for (uint64_t time = 1; time <= 12; ++time)
        history.Record(time);
    EXPECT_EQ(history.Slot(0), 12u);
    EXPECT_EQ(history.Slot(9), 3u);
    EXPECT_EQ(history.Slot(10), 0u) << "beyond the slots";
}

TEST(ExceptionHistory, ZeroIsNeverAndOneIsAlwaysDue)
{
    const TExceptionHistory empty;
    EXPECT_FALSE(empty.IsDue(0, kNow));
    EXPECT_FALSE(empty.IsDue(-5, kNow));
    EXPECT_TRUE(empty.IsDue(1, kNow));
}

TEST(ExceptionHistory, DueOnlyWhenTenExceptionsFellWithinTheLimit)
{
    TExceptionHistory history;
    for (int count = 1; count <= 9; ++count) {
        history.Record(kNow);
        EXPECT_FALSE(history.IsDue(60, kNow)) << "only " << count << " recorded";
    }
    history.Record(kNow);
    EXPECT_TRUE(history.IsDue(60, kNow));
    EXPECT_TRUE(history.IsDue(2, kNow));
}

TEST(ExceptionHistory, OneExceptionOlderThanTheLimitKeepsItFromBeingDue)
{
    TExceptionHistory history = WithTimes({kNow - 61, kNow, kNow, kNow, kNow, kNow, kNow, kNow, kNow, kNow});
    EXPECT_FALSE(history.IsDue(60, kNow));
    EXPECT_TRUE(history.IsDue(61, kNow)) << "exactly at the limit counts";
    // The next exception pushes the old one out.
    history.Record(kNow);
    EXPECT_TRUE(history.IsDue(60, kNow));
}

TEST(ExceptionHistory, HandOverStateRoundTripsAndRejectsOtherSizes)
{
    const TExceptionHistory history = WithTimes({1, 0x0102030405060708ull, kNow});
    const auto state = history.Save();
    ASSERT_EQ(state.size(), 80u);
    EXPECT_EQ(state[0], static_cast<uint8_t>(kNow & 0xFF)) << "newest first, little-endian";
    EXPECT_EQ(state[8], 0x08);
    EXPECT_EQ(state[15], 0x01);

    TExceptionHistory loaded;
    loaded.Load(state);
    for (size_t slot = 0; slot < TExceptionHistory::kSlots; ++slot)
        EXPECT_EQ(loaded.Slot(slot), history.Slot(slot)) << slot;

    TExceptionHistory untouched = WithTimes({7});
    untouched.Load(std::span<const uint8_t>(state.data(), 79));
    EXPECT_EQ(untouched.Slot(0), 7u);
}

} // namespace
