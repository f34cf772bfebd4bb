#include "progress/ProgressAreas.h"

#include <gtest/gtest.h>

namespace {

TEST(ProgressAreas, BarTruncatesInsideTheAreaBeforeAddingItsStart)
{
    TProgressAreas areas;
    areas.Add(u"first", 1000);
    areas.Add(u"second", 3000);
    ASSERT_TRUE(areas.SetArea(1));
    areas.SetPosition(500);
    EXPECT_EQ(625, areas.BarValue());
    TProgressAreas small;
    small.Add(u"first", 1);
    small.Add(u"second", 3);
    ASSERT_TRUE(small.SetArea(1));
    small.SetPosition(500);
    EXPECT_EQ(500, small.BarValue());
}

TEST(ProgressAreas, AreaIndicesAndTexts)
{
    TProgressAreas areas;
    EXPECT_EQ(u"", areas.CurrentText());
    areas.SetPosition(300);
    EXPECT_EQ(300, areas.BarValue()); // no weight: the position itself
    areas.Add(u"sending", 10);
    areas.Add(u"", 10);
    areas.Add(u"done", 20);
    EXPECT_FALSE(areas.SetArea(0));
    EXPECT_FALSE(areas.SetArea(-1));
    EXPECT_FALSE(areas.SetArea(4));
    ASSERT_TRUE(areas.SetArea(1));
    EXPECT_EQ(u"sending", areas.CurrentText());
    EXPECT_EQ(0, areas.Position());
    EXPECT_EQ((std::vector<UnicodeString>{u"sending", u"done"}), areas.TextsFromCurrent());
    ASSERT_TRUE(areas.SetArea(3));
    EXPECT_EQ(2, areas.Current());
    EXPECT_EQ(1000, areas.Position());
    EXPECT_EQ(1000, areas.BarValue());
    areas.Clear();
    EXPECT_EQ(0u, areas.Count());
    EXPECT_EQ(0, areas.Current());
}

TEST(ProgressAreas, HugeWeightsAndStrayPositionsStayInRange)
{
    TProgressAreas areas;
    areas.Add(u"a", uint64_t{1} << 61);
    areas.Add(u"b", uint64_t{1} << 61);
    ASSERT_TRUE(areas.SetArea(1));
    areas.SetPosition(1000);
    EXPECT_EQ(1000, areas.BarValue());
    areas.SetPosition(-5);
    EXPECT_EQ(500, areas.BarValue());
    areas.SetPosition(5000);
    EXPECT_EQ(1000, areas.BarValue());
}

} // namespace
