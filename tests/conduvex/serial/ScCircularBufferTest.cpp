#include "serial/ScCircularBuffer.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string TakeLinear(TScCircularBuffer& ring)
{
    const std::string bytes(reinterpret_cast<const char*>(ring.ReadPointer()), ring.LinearReadCount());
    ring.Remove(static_cast<uint32_t>(bytes.size()));
    return bytes;
}

TEST(ScCircularBuffer, FillsExactlyToItsSizeAndRefusesMore)
{
    TScCircularBuffer ring(8);
    EXPECT_TRUE(ring.Write("abcdefgh", 8));
    EXPECT_EQ(ring.UsedCount(), 8u);
    EXPECT_EQ(ring.FreeCount(), 0u);
    EXPECT_FALSE(ring.Write("x", 1));
    EXPECT_TRUE(ring.Remove(1));
    EXPECT_EQ(ring.FreeCount(), 1u);
    EXPECT_TRUE(ring.Write("x", 1));
    EXPECT_EQ(ring.UsedCount(), 8u);
}

TEST(ScCircularBuffer, RefusesWholeBlocksThatDoNotFitAndEmptyOnes)
{
    TScCircularBuffer ring(8);
    ASSERT_TRUE(ring.Write("abcde", 5));
    EXPECT_FALSE(ring.Write("1234", 4));
    EXPECT_EQ(ring.UsedCount(), 5u) << "a refused block must leave nothing behind";
    EXPECT_FALSE(ring.Write("", 0));
    EXPECT_EQ(TakeLinear(ring), "abcde");
}

TEST(ScCircularBuffer, WrapsAroundTheBlockEndInTwoLinearPieces)
{
    TScCircularBuffer ring(8);
    ASSERT_TRUE(ring.Write("abcdef", 6));
    ASSERT_TRUE(ring.Remove(4));
    ASSERT_TRUE(ring.Write("123456", 6)); // 2 bytes at the end, 4 at the start
    EXPECT_EQ(ring.UsedCount(), 8u);
    EXPECT_EQ(ring.LinearReadCount(), 4u);
    EXPECT_EQ(TakeLinear(ring), "ef12");
    EXPECT_EQ(TakeLinear(ring), "3456");
    EXPECT_EQ(ring.UsedCount(), 0u);
}

TEST(ScCircularBuffer, LinearReadOfAFullRingRunsToTheBlockEnd)
{
    TScCircularBuffer ring(4);
    ASSERT_TRUE(ring.Write("ab", 2));
    ASSERT_TRUE(ring.Remove(2));
    ASSERT_TRUE(ring.Write("wxyz", 4)); // full, indexes equal at 2
    EXPECT_EQ(ring.LinearReadCount(), 2u);
    EXPECT_EQ(TakeLinear(ring), "wx");
    EXPECT_EQ(TakeLinear(ring), "yz");
}

TEST(ScCircularBuffer, RemoveRefusesMoreThanIsUsedAndClearEmpties)
{
    TScCircularBuffer ring(8);
    ASSERT_TRUE(ring.Write("abc", 3));
    EXPECT_FALSE(ring.Remove(4));
    EXPECT_EQ(ring.UsedCount(), 3u);
    EXPECT_TRUE(ring.Remove(0));
    ring.Clear();
    EXPECT_EQ(ring.UsedCount(), 0u);
    EXPECT_EQ(ring.FreeCount(), 8u);
}

} // namespace
