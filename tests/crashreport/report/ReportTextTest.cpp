#include <gtest/gtest.h>

#include "ReportChecker.h"
#include "report/ReportText.h"

namespace {

TReportFacts SampleFacts()
{
    TReportFacts facts;
    facts.header = {{u"date/time", u"2009-03-14, 15:09:26, 53ms"},
                    {u"exception message", u"Access violation\r\nat   address\r00401000\nin module"},
                    {u"callstack crc", kFieldPlaceholder}};
    facts.sections = {{u"main ($1a4):", u"00401000 +0 ???"},
                      {u"cpu registers", u"eax = 00000001"},
                      {u"modules", std::nullopt}};
    return facts;
}

} // namespace

TEST(ReportText, HeaderNamesArePaddedToTheLongestNamePlusOne)
{
    const TCheckedReport report = CheckReport(ReportText(SampleFacts()));
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
    const UnicodeString header = HeaderText(SampleFacts().header);
    EXPECT_TRUE(header.starts_with(u"date/time         : 2009-03-14, 15:09:26, 53ms\r\n"
                                   u"exception message : "));
    ASSERT_EQ(3u, report.header.size());
    EXPECT_EQ("callstack crc", report.header[2].first);
}

TEST(ReportText, HeaderValuesStandOnOneLineWithSingleBlanks)
{
    EXPECT_EQ(u"Access violation at address 00401000 in module",
              SingleLineValue(u"Access violation\r\nat   address\r00401000\nin module"));
    EXPECT_EQ(u" a b ", SingleLineValue(u"\r\n a  \r\n b \n"));
    EXPECT_EQ(u"", SingleLineValue(u""));
    EXPECT_EQ(u"", HeaderText({}));
}

TEST(ReportText, SectionTitlesGetAColonOnlyWhenTheyHoldNone)
{
    const TCheckedReport report = CheckReport(ReportText(SampleFacts()));
    ASSERT_EQ(3u, report.sections.size());
    EXPECT_EQ("main ($1a4):", report.sections[0].title);
    EXPECT_EQ("cpu registers:", report.sections[1].title);
    EXPECT_EQ("modules:", report.sections[2].title);
    EXPECT_EQ(u"\r\n\r\nx: y:\r\nbody", SectionText({u"x: y:", u"body"}));
}

TEST(ReportText, BodyLinesAreSplitTrimmedAndEmptyOnesDotted)
{
    EXPECT_EQ(u"\r\n\r\ns:\r\na\r\n.\r\nb\r\nc\r\n.\r\nd\r\n.",
              SectionText({u"s", u"a  \r\n   \r\nb\rc\r\n\nd\r\n"}));
    EXPECT_EQ(u"\r\n\r\ns:\r\n.", SectionText({u"s", u""}));
    EXPECT_EQ(u"\r\n\r\ns:\r\n  indented", SectionText({u"s", u"  indented  "}));
}

TEST(ReportText, SectionsNotYetCalculatedShowThePlaceholder)
{
    const TCheckedReport report = CheckReport(ReportText(SampleFacts()));
    ASSERT_EQ(3u, report.sections.size());
    EXPECT_EQ(std::vector<std::string>{">> will be calculated soon"}, report.sections[2].lines);
    EXPECT_EQ("will be calculated soon", report.Field("callstack crc"));
}

TEST(ReportText, NamesAndTitlesWithLineBreaksCannotBreakTheFormat)
{
    TReportFacts facts;
    facts.header = {{u"plug\r\nin", u"value"}, {u"a", u"b"}};
    facts.sections = {{u"two\nlines", u"body"}, {u"\r\n", u"x"}};
    const TCheckedReport report = CheckReport(ReportText(facts));
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
    ASSERT_EQ(2u, report.header.size());
    EXPECT_EQ("plug in", report.header[0].first);
    ASSERT_EQ(2u, report.sections.size());
    EXPECT_EQ("two lines:", report.sections[0].title);
}

TEST(ReportText, TheCheckerRejectsBrokenReports)
{
    // The checker itself must see faults, or the tests that rely on it prove nothing.
    EXPECT_FALSE(CheckReport(u"a  : 1\r\nbb: 2").problems.empty());
    EXPECT_FALSE(CheckReport(u"a: 1\r\n\r\ntitle\r\nline").problems.empty());
    EXPECT_FALSE(CheckReport(u"a: 1\r\n\r\nt:\r\nline \r\n").problems.empty());
    EXPECT_FALSE(CheckReport(u"a: 1\nb: 2").problems.empty());
    EXPECT_TRUE(CheckReport(u"a  : 1\r\nbb : 2\r\n\r\nt:\r\nline").problems.empty());
}

TEST(ReportFacts, FieldsAreReplacedByNameAndSectionsFoundByTitle)
{
    TReportFacts facts = SampleFacts();
    facts.SetField(kCallstackCrcField, u"$00000001, $00000002, $00000003");
    facts.SetField(u"extra", u"x");
    ASSERT_EQ(4u, facts.header.size());
    EXPECT_EQ(u"$00000001, $00000002, $00000003", facts.header[2].value);
    ASSERT_NE(nullptr, facts.Section(u"modules"));
    EXPECT_EQ(nullptr, facts.Section(u"hardware"));
    facts.Section(u"modules")->body = u"list";
    EXPECT_EQ(u"list", facts.sections[2].body);
}
