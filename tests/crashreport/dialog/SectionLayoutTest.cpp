// Column detection over fixed-width section texts.
#include "dialog/SectionLayout.h"

#include <gtest/gtest.h>

#include "DialogTestText.h"

namespace {

std::vector<std::string> Cells(const TSectionLayout& layout, size_t line)
{
    std::vector<std::string> cells;
    for (int column = 0; column < layout.ColumnCount(); ++column)
        cells.push_back(Narrow(layout.Cell(line, column)));
    return cells;
}

TEST(SectionLinesTest, CutsAtLineBreaksAndMarksComments)
{
    const std::vector<TDALine> lines = SplitSectionLines(u"ab\r\n>> note\rcd\ne\r\n");
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[0].start, 0);
    EXPECT_EQ(lines[0].length, 2);
    EXPECT_EQ(lines[1].start, 4);
    EXPECT_EQ(lines[1].length, -1);
    EXPECT_EQ(lines[2].start, 12);
    EXPECT_EQ(lines[2].length, 2);
    EXPECT_EQ(lines[3].start, 15);
    EXPECT_EQ(lines[3].length, 1);
    EXPECT_TRUE(SplitSectionLines(u"").empty());
}

TEST(SectionLayoutTest, ABlankSharedByEveryLineSplitsThere)
{
    const UnicodeString text = Lines({u"aaaaaaaaaaaaaaaaaaaa bbbb", u"cccccccccccccccccccc dd", u"eeeeeeeeeeeeeeeeeeee f"});
    const TSectionLayout layout(text, true);
    ASSERT_EQ(layout.Breaks(), (TDAPiece{20}));
    EXPECT_EQ(Cells(layout, 1), (std::vector<std::string>{"cccccccccccccccccccc", "dd"}));
}

TEST(SectionLayoutTest, ABlankOfOneLineOnlySplitsNothing)
{
    const TSectionLayout layout(Lines({u"aaaaa bbbbb", u"cccccccccccc", u"ddddddddddd"}), false);
    EXPECT_EQ(layout.ColumnCount(), 1);
}

TEST(SectionLayoutTest, ARunOfBlanksIsOneBreakBeforeTheNextColumn)
{
    // Padded columns: only the blank that some line continues with text backs the break.
    const TSectionLayout layout(Lines({u"a     xyz", u"bbbb  x", u"cc    xy"}), false);
    ASSERT_EQ(layout.Breaks(), (TDAPiece{5}));
    EXPECT_EQ(Cells(layout, 0), (std::vector<std::string>{"a", "xyz"}));
}

TEST(SectionLayoutTest, ShortLinesAndCommentsNeitherBlockNorBack)
{
    const TSectionLayout layout(Lines({u"abc def ghi", u">> a comment at any width", u"xyz"}), false);
    ASSERT_EQ(layout.Breaks(), (TDAPiece{3, 7}));
    EXPECT_TRUE(layout.IsComment(1));
    EXPECT_EQ(Cells(layout, 2), (std::vector<std::string>{"xyz", "", ""}));
}

TEST(SectionLayoutTest, SeparatorCharactersBecomeBlanks)
{
    const TSectionLayout layout(Lines({u"eax = 0012ff40", u"ebx = 7ffd3000", u"ecx | 00000001"}), true);
    // "=" and "|" differ in the third line: only the blanks around them stay breaks.
    ASSERT_EQ(layout.ColumnCount(), 3);
    const TSectionLayout registers(Lines({u"eax = 0012ff40", u"ebx = 7ffd3000"}), true);
    ASSERT_EQ(registers.ColumnCount(), 2);
    EXPECT_EQ(Cells(registers, 1), (std::vector<std::string>{"ebx", "7ffd3000"}));
    const TSectionLayout colons(Lines({u"name: value one", u"next: two"}), true);
    EXPECT_EQ(Cells(colons, 0), (std::vector<std::string>{"name", "value one"}));
}

TEST(SectionLayoutTest, TwoSupportingLinesWhenAsked)
{
    // Only the first line reaches past position 2; alone it backs the break only when one
    // supporter is enough.
    const UnicodeString text = Lines({u"ab cd", u"ab"});
    EXPECT_EQ(TSectionLayout(text, false).ColumnCount(), 2);
    EXPECT_EQ(TSectionLayout(text, true).ColumnCount(), 1);
    // One line alone needs one supporter even when two are asked for.
    EXPECT_EQ(TSectionLayout(u"ab cd", true).ColumnCount(), 2);
}

TEST(SectionLayoutTest, ReachingAColumn)
{
    const TSectionLayout layout(Lines({u"aaa bbb ccc", u"aaa bb", u"aaa bbb c"}), false);
    ASSERT_EQ(layout.ColumnCount(), 3);
    EXPECT_FALSE(layout.Reaches(1, 1));
    EXPECT_TRUE(layout.Reaches(2, 1));
    EXPECT_TRUE(layout.Reaches(2, 2));
    EXPECT_FALSE(layout.Reaches(1, 2));
}

} // namespace
