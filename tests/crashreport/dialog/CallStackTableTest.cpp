// Which column of a call stack holds which item, and the rows the view shows.
#include "dialog/CallStackTable.h"

#include <gtest/gtest.h>

#include "DialogTestText.h"
#include "ViewTableText.h"
#include "dialog/ColumnList.h"

namespace {

TStackRoles RolesOf(std::u16string_view text)
{
    return FindStackRoles(TSectionLayout(text, false));
}

// The stack tracer's layout with every column: relative address, module, unit, right-aligned
// line, relative line, function.
const UnicodeString FullStack = Lines({
    u"00401a2c +1c  Conduvex.dll ScComPort.cpp 120 +4  TScComPort::Open",
    u"00401b00 +200 Conduvex.dll Main.cpp        9 +12 main",
    u"7c80b713 +37  kernel32.dll                       BaseProcessStart",
});

TEST(StackRolesTest, EveryColumnOfTheTracersLayout)
{
    EXPECT_EQ(RolesOf(FullStack), (TStackRoles{1, 2, 3, 4, 5, 6}));
    const TViewTable table = BuildCallStackTable(FullStack);
    EXPECT_EQ(Captions(table),
              (std::vector<std::string>{"ADDRESS", "REL.", "module", "unit", "line", "rel.", "function"}));
    EXPECT_TRUE(table.columns[4].rightAligned);
    EXPECT_EQ(Row(table, 0),
              (std::vector<std::string>{"00401a2c", "+1c", "Conduvex.dll", "ScComPort.cpp", "120", "+4", "TScComPort::Open"}));
    EXPECT_EQ(Row(table, 2),
              (std::vector<std::string>{"7c80b713", "+37", "kernel32.dll", "", "", "", "BaseProcessStart"}));
}

TEST(StackRolesTest, NoRelativeAddressUnlessEveryLineHasAPlusAndHexDigits)
{
    const UnicodeString text = Lines({
        u"00401a2c +1c  app.exe Unit1 12 Foo",
        u"00401b00 +2g  app.exe Unit2 34 Bar",
    });
    const TStackRoles roles = RolesOf(text);
    EXPECT_EQ(roles[static_cast<size_t>(TStackRole::RelativeAddress)], -1);
    EXPECT_EQ(roles[static_cast<size_t>(TStackRole::Module)], 1);
}

TEST(StackRolesTest, ThreeAndFourColumnsWithoutADigitColumn)
{
    const UnicodeString three = Lines({u"00401000 kernel32.dll BaseProcessStart", u"7c801000 ntdll.dll    RtlUserStart"});
    EXPECT_EQ(RolesOf(three), (TStackRoles{-1, 1, -1, -1, -1, 2}));
    EXPECT_EQ(Captions(BuildCallStackTable(three)), (std::vector<std::string>{"ADDRESS", "module", "function"}));

    const UnicodeString four = Lines({u"00401000 app.exe Unit1 Foo", u"00401010 app.exe Unit2 Bar"});
    EXPECT_EQ(RolesOf(four), (TStackRoles{-1, 1, 2, -1, -1, 3}));

    // Names that are no identifiers: the column count decides.
    const UnicodeString unnamed = Lines({u"00401000 app.exe ?? ??", u"00401010 app.exe ?? ??"});
    EXPECT_EQ(RolesOf(unnamed), (TStackRoles{-1, 1, 2, -1, -1, 3}));
    // Names of reduced debug information count as names: the first name column is the
    // function when it is the last.
    const UnicodeString reduced = Lines({u"00401000 app.exe ?? public%1", u"00401010 app.exe ?? segment%2"});
    EXPECT_EQ(RolesOf(reduced), (TStackRoles{-1, 1, -1, -1, -1, 3}));
}

TEST(StackRolesTest, AModuleNameSplitByDetectionStaysWhole)
{
    const UnicodeString text = Lines({u"00401000 my app.exe Unit1 12 Foo", u"00401010 my app.exe Unit2 34 Bar"});
    EXPECT_EQ(RolesOf(text), (TStackRoles{-1, 1, 3, 4, -1, 5}));
    EXPECT_EQ(Row(BuildCallStackTable(text), 1), (std::vector<std::string>{"00401010", "my app.exe", "Unit2", "34", "Bar"}));
}

TEST(StackRolesTest, ALoneLineKeepsAFunctionNameWithBlanksWhole)
{
    // One line backs every blank: the function's own blanks split it into columns.
    const UnicodeString text = u"00401000 +1c app.exe Unit1 12 +4 operator new(unsigned int)";
    EXPECT_EQ(RolesOf(text), (TStackRoles{1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(Row(BuildCallStackTable(text), 0),
              (std::vector<std::string>{"00401000", "+1c", "app.exe", "Unit1", "12", "+4", "operator new(unsigned int)"}));
}

TEST(StackRolesTest, TheRelativeAddressIsNeverTakenForTheFunction)
{
    const UnicodeString text = Lines({u"00401000 +1c app.exe", u"00401010 +2f app.exe"});
    EXPECT_EQ(RolesOf(text), (TStackRoles{1, 2, -1, -1, -1, -1}));
    const UnicodeString withFunction = Lines({u"00401000 +1c app.exe Foo", u"00401010 +2f app.exe Bar"});
    EXPECT_EQ(RolesOf(withFunction), (TStackRoles{1, 2, -1, -1, -1, 3}));
}

TEST(CallStackTableTest, CommentLinesSpanAllColumns)
{
    const UnicodeString text = Lines({
        u">> main thread ($1a4):",
        u"00401000 app.exe Unit1 12 Foo",
        u">> a note between",
        u"00401010 app.exe Unit2 34 Bar",
    });
    const TViewTable table = BuildCallStackTable(text);
    ASSERT_EQ(table.rows.size(), 4u);
    EXPECT_TRUE(table.rows[2].spanning);
    EXPECT_EQ(Row(table, 2), (std::vector<std::string>{"a note between"}));
    EXPECT_FALSE(table.rows[2].followsBlank);
    // The heading opens the view.
    EXPECT_TRUE(table.rows[0].spanning);
    EXPECT_TRUE(table.rows[0].followsBlank);
    EXPECT_EQ(Row(table, 0), (std::vector<std::string>{"main thread ($1a4):"}));
}

TEST(CallStackTableTest, CreatedBlocksAreAnalysedOneByOne)
{
    const UnicodeString text = Lines({
        u">> worker ($2b0):",
        u"00401000 app.exe Unit1   12 Foo",
        u"00401010 app.exe Unit22 345 Barr",
        u">> created by main ($1a4) at:",
        u"00402000 +10 app.exe StartThread",
        u"00402010 +2f app.exe main",
    });
    const std::vector<std::u16string_view> pieces = SplitStackPieces(text);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[0].substr(pieces[0].size() - 4), u"Barr");
    EXPECT_EQ(pieces[1].substr(0, 10), u">> created");

    const TViewTable table = BuildCallStackTable(text);
    EXPECT_EQ(Captions(table), (std::vector<std::string>{"ADDRESS", "REL.", "module", "unit", "line", "function"}));
    EXPECT_EQ(Row(table, 2), (std::vector<std::string>{"00401010", "", "app.exe", "Unit22", "345", "Barr"}));
    EXPECT_TRUE(table.rows[3].spanning);
    EXPECT_FALSE(table.rows[3].followsBlank);
    EXPECT_EQ(Row(table, 5), (std::vector<std::string>{"00402010", "+2f", "app.exe", "", "", "main"}));
}

TEST(CallStackTableTest, ACreatedCommentAfterAnotherCommentDoesNotCut)
{
    const UnicodeString text = Lines({u">> worker ($2b0):", u">> stack not accessible", u">> created by main at:"});
    EXPECT_EQ(SplitStackPieces(text).size(), 1u);
    EXPECT_TRUE(SplitStackPieces(u"").empty());
    EXPECT_TRUE(BuildCallStackTable(u"").rows.empty());
}

TEST(CallStackTableTest, HeadingsFollowTheEmptyLineBetweenThreads)
{
    const UnicodeString text = Lines({
        u">> main ($1a4):",
        u"00401000 app.exe Unit1 12 Foo",
        u"",
        u">> worker ($2b0):",
        u">> will be calculated soon",
    });
    const TViewTable table = BuildCallStackTable(text);
    ASSERT_EQ(table.rows.size(), 5u);
    EXPECT_TRUE(table.rows[2].spanning);
    EXPECT_FALSE(table.rows[2].followsBlank);
    EXPECT_TRUE(table.rows[3].followsBlank);
    EXPECT_FALSE(table.rows[4].followsBlank);
    EXPECT_EQ(Row(table, 4), (std::vector<std::string>{"will be calculated soon"}));
}

TEST(CallStackTableTest, ThreadSectionsOfDifferentLayoutsAreAnalysedApart)
{
    const UnicodeString text = Lines({
        u">> main ($1a4):",
        u"00401a2c +1c  app.exe Unit1   12 +4 Foo",
        u"00401b00 +200 app.exe Unit22 345 +1 Barr",
        u"",
        u">> worker ($2b0):",
        u"00403a10 +30 app.exe Thread.cpp 77 +12 Run",
    });
    const std::vector<std::u16string_view> pieces = SplitStackPieces(text);
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[1].substr(0, 5), u"\r\n>> ");
    const TViewTable table = BuildCallStackTable(text);
    ASSERT_EQ(table.rows.size(), 6u);
    EXPECT_EQ(Row(table, 2), (std::vector<std::string>{"00401b00", "+200", "app.exe", "Unit22", "345", "+1", "Barr"}));
    EXPECT_EQ(Row(table, 5), (std::vector<std::string>{"00403a10", "+30", "app.exe", "Thread.cpp", "77", "+12", "Run"}));
    EXPECT_TRUE(table.rows[3].spanning);
    EXPECT_TRUE(table.rows[4].followsBlank);
}

TEST(CallStackTableTest, NoHeadingMarkWhenTheFirstBlockIsAnInternalError)
{
    const UnicodeString text = Lines({u">> main ($1a4):", u">> internal error in FillFinalOutput:", u"00401000 +0 ???",
                                      u"", u">> worker ($2b0):", u">> internal error in InDeepChecks:", u"",
                                      u">> third ($3c0):", u">> stack not accessible"});
    const TViewTable table = BuildCallStackTable(text);
    ASSERT_EQ(table.rows.size(), 9u);
    EXPECT_FALSE(table.rows[0].followsBlank);
    EXPECT_FALSE(table.rows[4].followsBlank);
    EXPECT_TRUE(table.rows[7].followsBlank);
}

TEST(CallStackTableTest, ALineOfABlockWithoutBreaksIsOneCell)
{
    const TViewTable table = BuildCallStackTable(Lines({u">> t ($1):", u"00401000"}));
    EXPECT_EQ(Row(table, 1), (std::vector<std::string>{"00401000"}));
    EXPECT_EQ(Captions(table), (std::vector<std::string>{"ADDRESS"}));
}

} // namespace
