#include "delivery/ReportTextOps.h"

#include <gtest/gtest.h>

namespace {

constexpr char kReport[] = "date/time          : 2026-12-09, 05:00:00, 1ms\r\n"
                           "processors         : 2x Intel\r\n"
                           "version            :   1.2.3  \r\n"
                           "callstack crc      : $01234567, $89abcdef, $00000000\r\n"
                           "exception message  : Access violation: read of 0\r\n"
                           "empty              :\r\n"
                           "\r\n"
                           "main thread ($1a4):\r\n"
                           "00401000 +000 app.exe\r\n"
                           "\r\n"
                           "modules:\r\n"
                           "app.exe";

TEST(ReportTextOps, HeaderValuesAreTrimmedAndMatchWholeNamesOnly)
{
    EXPECT_EQ(GetReportHeaderValue(kReport, "date/time"), "2026-12-09, 05:00:00, 1ms");
    EXPECT_EQ(GetReportHeaderValue(kReport, "version"), "1.2.3");
    EXPECT_EQ(GetReportHeaderValue(kReport, "exception message"), "Access violation: read of 0");
    EXPECT_EQ(GetReportHeaderValue(kReport, "processors"), "2x Intel");
    EXPECT_EQ(GetReportHeaderValue(kReport, "processor"), "");
    EXPECT_EQ(GetReportHeaderValue(kReport, "empty"), "");
    EXPECT_EQ(GetReportHeaderValue(kReport, "missing"), "");
    EXPECT_EQ(GetReportHeaderValue(kReport, ""), "");
    EXPECT_EQ(GetReportHeaderValue(u"date/time : x\r\nexception class : EFault", "exception class"), u"EFault");
}

TEST(ReportTextOps, SectionRunsToTheNextEmptyLine)
{
    const std::u16string report(kReport, kReport + sizeof(kReport) - 1);
    EXPECT_EQ(GetReportSection(report, "main thread ($1a4)"), u"\r\n00401000 +000 app.exe");
    EXPECT_EQ(GetReportSection(report, "modules"), u"\r\napp.exe");
    EXPECT_EQ(GetReportSection(report, "version"), u"");
}

TEST(ReportTextOps, InsertedLineTakesTheAnchorsColonColumn)
{
    const std::string inserted = InsertReportHeaderLine(kReport, "callstack crc", "count", "2");
    EXPECT_NE(inserted.find("callstack crc      : $01234567, $89abcdef, $00000000\r\n"
                            "count              : 2\r\n"
                            "exception message  :"),
              std::string::npos);
    EXPECT_EQ(inserted.size(), std::string(kReport).size() + 24);
    EXPECT_EQ(InsertReportHeaderLine("a : 1", "a", "longer name", "2"), "a : 1\r\nlonger name: 2");
    EXPECT_EQ(InsertReportHeaderLine(kReport, "missing", "count", "2"), kReport);
}

TEST(ReportTextOps, SameValueComparesOneHeaderLine)
{
    EXPECT_TRUE(SameReportHeaderValue("a: 1\r\nb: 2", "b : 2\r\na: 3", "b"));
    EXPECT_FALSE(SameReportHeaderValue("a: 1\r\nb: 2", "b : 2\r\na: 3", "a"));
    EXPECT_TRUE(SameReportHeaderValue("a: 1", "b: 2", "c"));
}

} // namespace
