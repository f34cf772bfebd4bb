// The views of the header and of the sections other than call stacks.
#include "dialog/SectionTables.h"

#include <gtest/gtest.h>

#include "DialogTestText.h"
#include "ViewTableText.h"
#include "dialog/ColumnList.h"

namespace {

TEST(ColumnListTest, MarksAreReadAndDropped)
{
    const TColumns columns = ParseColumnList(u"^handle|file name| version|^ rel.|a&b");
    ASSERT_EQ(columns.size(), 5u);
    EXPECT_TRUE(columns[0].upperCaseHeader);
    EXPECT_FALSE(columns[0].rightAligned);
    EXPECT_TRUE(columns[2].rightAligned);
    EXPECT_EQ(Narrow(columns[2].caption), "version");
    EXPECT_TRUE(columns[3].upperCaseHeader && columns[3].rightAligned);
    EXPECT_EQ(Narrow(HeaderCaption(columns[3])), "REL.");
    EXPECT_EQ(Narrow(HeaderCaption(columns[4])), "a&&b");
    EXPECT_TRUE(ParseColumnList(u"").empty());
    EXPECT_EQ(ParseColumnList(u"address|").size(), 2u);
}

TEST(SectionTablesTest, HeaderFieldsInTheDialogFont)
{
    const TViewTable table = BuildHeaderTable({{u"date/time", u"2009-03-14, 15:09:26, 53ms"}, {u"user name", u""}});
    EXPECT_FALSE(table.fixedFont);
    EXPECT_EQ(Captions(table), (std::vector<std::string>{"description", "value"}));
    EXPECT_EQ(Row(table, 1), (std::vector<std::string>{"user name", ""}));
}

TEST(SectionTablesTest, RegistersSplitAtTheEqualsSign)
{
    const TViewTable table = BuildSectionTable(u"cpu registers", Lines({u"eax = 0012ff40", u"ebx = 7ffd3000", u"ecx = 00000001"}));
    EXPECT_EQ(Captions(table), (std::vector<std::string>{"reg.", "content"}));
    EXPECT_EQ(Row(table, 2), (std::vector<std::string>{"ecx", "00000001"}));
}

TEST(SectionTablesTest, StackDumpLinesSplitIntoAddressBytesAndCharacters)
{
    const UnicodeString text = Lines({
        u"0012ff40  41 42 43 20 45 46 47 48 - 00 01 02 03 04 05 06 07  ABC EFGH........",
        u"0012ff50  61 62 63 64 7e 7f 80 ff - 00 00 00 00 00 00 00 00  abcd~...........",
    }) + u"\r\n0012ff60  31 32" + UnicodeString(46, u' ') + u"12";
    const TViewTable table = BuildSectionTable(u"stack dump", text);
    EXPECT_EQ(Captions(table), (std::vector<std::string>{"address", "data - hexadecimal", "data - chars"}));
    EXPECT_EQ(Row(table, 0), (std::vector<std::string>{"0012ff40", "41 42 43 20 45 46 47 48 - 00 01 02 03 04 05 06 07",
                                                       "ABC EFGH........"}));
    EXPECT_EQ(Row(table, 2), (std::vector<std::string>{"0012ff60", "31 32", "12"}));
}

TEST(SectionTablesTest, ModulePathsWithBlanksStayWhole)
{
    const UnicodeString text = Lines({
        u"00400000 host.exe     1.0.0.0 C:\\Program Files\\Host\\host.exe",
        u"10000000 Conduvex.dll 1.0.0.0 C:\\Program Files\\Host\\Conduvex.dll",
    });
    const TViewTable table = BuildSectionTable(u"modules", text);
    EXPECT_EQ(Captions(table), (std::vector<std::string>{"HANDLE", "file name", "version", "path"}));
    EXPECT_TRUE(table.columns[2].rightAligned);
    EXPECT_EQ(Row(table, 1), (std::vector<std::string>{"10000000", "Conduvex.dll", "1.0.0.0",
                                                       "C:\\Program Files\\Host\\Conduvex.dll"}));
}

TEST(SectionTablesTest, ProcessColumnsFollowWhatTheListHolds)
{
    const UnicodeString plain =
        Lines({u"004 System   normal", u"1a8 host.exe high   C:\\host", u"2c0 x.exe    idle   C:\\x"});
    EXPECT_EQ(Captions(BuildSectionTable(u"processes", plain)),
              (std::vector<std::string>{"ID", "file name", "priority", "path"}));
    const UnicodeString counts = Lines(
        {u"004 System   0  0 normal", u"1a8 host.exe 12 7 high   C:\\host", u"2c0 x.exe    3  1 idle   C:\\x"});
    EXPECT_EQ(Captions(BuildSectionTable(u"processes", counts)),
              (std::vector<std::string>{"ID", "file name", "gdi objects", "user objects", "priority", "path"}));
    const UnicodeString all = Lines({u"004 System   0 0  0 normal", u"1a8 host.exe 1 12 7 high   C:\\host",
                                     u"2c0 x.exe    1 3  1 idle   C:\\x"});
    EXPECT_EQ(Captions(BuildSectionTable(u"processes", all)).size(), 7u);
}

TEST(SectionTablesTest, OtherSectionsShowTheirColumnsWithoutHeader)
{
    const UnicodeString text = Lines({u"+ Display adapters", u"  - Standard VGA", u">> a note", u"", u">> after a gap"});
    const TViewTable table = BuildSectionTable(u"hardware", text);
    EXPECT_FALSE(table.hasHeader);
    EXPECT_EQ(table.columns.size(), 2u);
    EXPECT_EQ(Row(table, 1), (std::vector<std::string>{"", "- Standard VGA"}));
    EXPECT_TRUE(table.rows[2].spanning);
    EXPECT_FALSE(table.rows[2].followsBlank);
    EXPECT_TRUE(table.rows[3].spanning);
    EXPECT_TRUE(table.rows[4].followsBlank);
    EXPECT_EQ(Row(table, 4), (std::vector<std::string>{"after a gap"}));
}

TEST(DisassemblyTableTest, AddressInstructionAndComment)
{
    const UnicodeString text = Lines({
        u"",
        u"public Foo:  ; function entry point",
        u"00401000   push ebp",
        u"00401001 > mov eax, [$00402000]              ; 'text; with a semicolon'",
        u"00401006   call Bar\t; Bar (other.dll)",
        u"; ---------------------------------------------------------",
        u"[...]",
    });
    const TViewTable table = BuildSectionTable(u"disassembling", text);
    EXPECT_EQ(Captions(table), (std::vector<std::string>{"address", "asm code", "comments"}));
    EXPECT_EQ(Row(table, 1), (std::vector<std::string>{"", "public Foo:", "function entry point"}));
    EXPECT_EQ(Row(table, 3), (std::vector<std::string>{"00401001", "> mov eax, [$00402000]", "'text; with a semicolon'"}));
    EXPECT_EQ(Row(table, 4), (std::vector<std::string>{"00401006", "call Bar", "Bar (other.dll)"}));
    EXPECT_TRUE(table.rows[5].spanning);
    EXPECT_EQ(Row(table, 6), (std::vector<std::string>{"", "[...]", ""}));
}

TEST(DisassemblyTableTest, SourceLinesMakeTheFirstColumnTheLine)
{
    const UnicodeString text = Lines({u"12 00401000   push ebp", u"   00401001   mov ebp, esp", u"13 00401003   ret"});
    const TViewTable table = BuildSectionTable(u"disassembling", text);
    EXPECT_EQ(Captions(table), (std::vector<std::string>{"line", "asm code", "comments"}));
    EXPECT_EQ(Row(table, 1), (std::vector<std::string>{"", "00401001   mov ebp, esp", ""}));
    EXPECT_EQ(Row(table, 2), (std::vector<std::string>{"13", "00401003   ret", ""}));
}

} // namespace
