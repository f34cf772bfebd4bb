// Reading the report text back, and the tabs it gives.
#include "dialog/ReportTabs.h"

#include <gtest/gtest.h>

#include "DialogTestText.h"

namespace {

const UnicodeString SampleReport = Lines({
    u"date/time         : 2009-03-14, 15:09:26, 53ms",
    u"exception message : a: b",
    u"",
    u"main thread ($1a4):",
    u"00401000 app.exe Unit1 12 Foo",
    u".",
    u">> created by boot ($10) at:",
    u"",
    u"worker ($2b0): <suspended>",
    u">> will be calculated soon",
    u"",
    u"cpu registers:",
    u"eax = 0012ff40",
    u"",
    u"disassembling:",
    u"00401000   push ebp",
    u"",
    u"modules:",
    u"00400000 app.exe",
});

std::vector<std::string> Captions(const std::vector<TReportTab>& tabs)
{
    std::vector<std::string> captions;
    for (const TReportTab& tab : tabs)
        captions.push_back(Narrow(tab.caption));
    return captions;
}

TEST(ReportContentTest, HeaderAndSectionsOfTheReportText)
{
    const TReportContent report = ParseReportText(SampleReport);
    ASSERT_EQ(report.header.size(), 2u);
    EXPECT_EQ(Narrow(report.header[0].first), "date/time");
    EXPECT_EQ(Narrow(report.header[1].second), "a: b");
    ASSERT_EQ(report.sections.size(), 5u);
    EXPECT_EQ(Narrow(report.sections[0].first), "main thread ($1a4):");
    // The written "." stands for an empty line again.
    EXPECT_EQ(Narrow(report.sections[0].second), "00401000 app.exe Unit1 12 Foo\r\n\r\n>> created by boot ($10) at:");
    EXPECT_EQ(Narrow(report.sections[2].first), "cpu registers:");
    EXPECT_EQ(Narrow(UnicodeString(SectionName(report.sections[2].first))), "cpu registers");
    EXPECT_TRUE(ParseReportText(u"").sections.empty());
}

TEST(ReportTabsTest, TabsInSectionOrder)
{
    const TReportContent report = ParseReportText(SampleReport);
    const std::vector<TReportTab> tabs = BuildReportTabs(report);
    EXPECT_EQ(Captions(tabs), (std::vector<std::string>{"general", "call stacks", "cpu regs", "disasm", "modules"}));
    EXPECT_EQ(tabs[1].sections, (std::vector<size_t>{0, 1}));
    EXPECT_EQ(tabs[4].sections, (std::vector<size_t>{4}));
}

TEST(ReportTabsTest, OneThreadGivesTheSingularCaption)
{
    TReportContent report;
    report.sections = {{u"main thread ($1a4):", u"00401000 app.exe"}, {u"hardware", u"+ Ports"}};
    EXPECT_EQ(Captions(BuildReportTabs(report)), (std::vector<std::string>{"general", "call stack", "hardware"}));
    // Without any thread section the call-stack tab is there and empty.
    report.sections.erase(report.sections.begin());
    const std::vector<TReportTab> tabs = BuildReportTabs(report);
    EXPECT_EQ(Captions(tabs), (std::vector<std::string>{"general", "call stack", "hardware"}));
    EXPECT_TRUE(BuildTabTable(report, tabs[1]).rows.empty());
}

TEST(ReportTabsTest, LeakReportsStartWithTheirMemoryDumpOrCallStack)
{
    const TReportContent withDump = ParseReportText(Lines({
        u"allocation number : 17",
        u"size              : 24",
        u"",
        u"memory dump:",
        u"00a01000  41 42 43  ABC",
        u"",
        u"main thread ($1a4):",
        u"00401000 app.exe Unit1 12 Foo",
        u"",
        u"modules:",
        u"00400000 app.exe",
    }));
    const std::vector<TReportTab> tabs = BuildReportTabs(withDump);
    EXPECT_EQ(Captions(tabs), (std::vector<std::string>{"memory dump", "call stack", "modules"}));
    EXPECT_EQ(tabs[0].sections, (std::vector<size_t>{0}));
    EXPECT_EQ(tabs[1].sections, (std::vector<size_t>{1}));
    EXPECT_EQ(tabs[1].kind, TReportTabKind::CallStack);

    // Without the dump first the call stack leads; two threads after it make it plural.
    TReportContent withoutDump;
    withoutDump.header = {{u"Allocation Number", u"3"}};
    withoutDump.sections = {{u"main thread ($1a4):", u""}, {u"worker ($2b0):", u""}, {u"memory dump:", u""}};
    EXPECT_EQ(Captions(BuildReportTabs(withoutDump)), (std::vector<std::string>{"call stacks", "memory dump"}));
    // The same sections under an exception's header keep "general" and the dump's place.
    withoutDump.header = {{u"date/time", u"today"}, {u"allocation number", u"3"}};
    EXPECT_EQ(Captions(BuildReportTabs(withoutDump)),
              (std::vector<std::string>{"general", "call stacks", "memory dump"}));
}

TEST(ReportTabsTest, TheCallStackTabJoinsThreadsUnderHeadings)
{
    const TReportContent report = ParseReportText(SampleReport);
    const std::vector<TReportTab> tabs = BuildReportTabs(report);
    const TViewTable table = BuildTabTable(report, tabs[1]);
    // Heading, stack line, empty line, created-by comment, gap, heading, placeholder.
    ASSERT_EQ(table.rows.size(), 7u);
    EXPECT_TRUE(table.rows[0].followsBlank);
    EXPECT_EQ(Narrow(table.rows[0].cells[0]), "main thread ($1a4):");
    EXPECT_TRUE(table.rows[3].followsBlank);
    EXPECT_TRUE(table.rows[5].followsBlank);
    EXPECT_EQ(Narrow(table.rows[5].cells[0]), "worker ($2b0): <suspended>");
    EXPECT_FALSE(table.rows[6].followsBlank);

    const TViewTable general = BuildTabTable(report, tabs[0]);
    EXPECT_FALSE(general.fixedFont);
    EXPECT_EQ(general.rows.size(), 2u);
    EXPECT_EQ(BuildTabTable(report, tabs[2]).columns.size(), 2u);
}

} // namespace
