#include "delivery/BugReportFile.h"

#include <gtest/gtest.h>

#include <map>

namespace {

constexpr char kSep[] = "\r\n\r\n";

struct TReportValues {
    std::string time = "2026-12-09, 05:00:00, 1ms";
    std::string crc = "$11111111, $22222222, $33333333";
    std::string exceptionClass = "EAccessViolation";
    std::string version = "1.0";
    std::string execTime = "2026-12-01 10:00";
    std::string body = "main thread ($1a4):\r\n00401000 +000 app.exe";
};

std::string Line(const std::string& name, const std::string& value)
{
    return name + std::string(18 - name.size(), ' ') + ": " + value + "\r\n";
}

std::string Report(const TReportValues& values, const std::string& count = "")
{
    std::string report = Line("date/time", values.time) + Line("executable", "app.exe") +
                         Line("current module", "app.exe") + Line("exec. date/time", values.execTime);
    if (!values.version.empty())
        report += Line("version", values.version);
    report += Line("callstack crc", values.crc);
    if (!count.empty())
        report += Line("count", count);
    if (!values.exceptionClass.empty())
        report += Line("exception class", values.exceptionClass);
    return report + Line("exception message", "boom") + "\r\n" + values.body;
}

TReportValues At(const std::string& time)
{
    TReportValues values;
    values.time = time;
    return values;
}

TEST(BugReportFile, FirstReportGoesAfterAnEmptyLine)
{
    const std::string report = Report({});
    EXPECT_EQ(UpdateBugReportFile("", report, {}), kSep + report);
    TBugReportFileRules overwrite;
    overwrite.append = false;
    EXPECT_EQ(UpdateBugReportFile(kSep + Report(At("1")), report, overwrite), kSep + report);
}

TEST(BugReportFile, SecondCopyOfACrashReplacesTheFirstAndCountsIt)
{
    const std::string first = Report(At("1"));
    const std::string other = Report([] {
        TReportValues values = At("2");
        values.crc = "$44444444, $22222222, $33333333";
        return values;
    }());
    const std::string file = kSep + first + kSep + other;
    const std::string second = UpdateBugReportFile(file, Report(At("3")), {});
    EXPECT_EQ(second, kSep + other + kSep + Report(At("3"), "2"));
    // The count goes on from the copy's count.
    EXPECT_EQ(UpdateBugReportFile(second, Report(At("4")), {}), kSep + other + kSep + Report(At("4"), "3"));
}

TEST(BugReportFile, OnlyTheLatestCopyIsReplaced)
{
    const std::string file = kSep + Report(At("1")) + kSep + Report(At("2"), "2");
    EXPECT_EQ(UpdateBugReportFile(file, Report(At("3")), {}), kSep + Report(At("1")) + kSep + Report(At("3"), "3"));
}

TEST(BugReportFile, DefinitionChoosesHowManyChecksumsMustMatch)
{
    TReportValues later = At("2");
    later.crc = "$11111111, $22222222, $99999999";
    const std::string file = kSep + Report(At("1"));
    TBugReportFileRules rules;
    rules.dupExceptDef = 2;
    EXPECT_EQ(UpdateBugReportFile(file, Report(later), rules), file + kSep + Report(later));
    rules.dupExceptDef = 1;
    EXPECT_EQ(UpdateBugReportFile(file, Report(later), rules), kSep + Report(later, "2"));
    later.crc = "$11111111, $88888888, $99999999";
    EXPECT_EQ(UpdateBugReportFile(file, Report(later), rules), file + kSep + Report(later));
    rules.dupExceptDef = 0;
    EXPECT_EQ(UpdateBugReportFile(file, Report(later), rules), kSep + Report(later, "2"));
    rules.noDupExcepts = false;
    EXPECT_EQ(UpdateBugReportFile(file, Report(later), rules), file + kSep + Report(later));
}

TEST(BugReportFile, FreezesFollowTheirOwnRules)
{
    TReportValues freeze = At("1");
    freeze.exceptionClass.clear();
    const std::string file = kSep + Report(freeze);
    freeze.time = "2";
    TBugReportFileRules rules;
    rules.noDupExcepts = false;
    EXPECT_EQ(UpdateBugReportFile(file, Report(freeze), rules), kSep + Report(freeze, "2"));
    rules.noDupFreezes = false;
    rules.noDupExcepts = true;
    EXPECT_EQ(UpdateBugReportFile(file, Report(freeze), rules), file + kSep + Report(freeze));
}

TEST(BugReportFile, OtherProgramsVersionsAndOddChecksumsAreNoDuplicates)
{
    const std::string file = kSep + Report(At("1"));
    TReportValues changed = At("2");
    changed.version = "1.1";
    EXPECT_EQ(UpdateBugReportFile(file, Report(changed), {}), file + kSep + Report(changed));
    changed = At("2");
    changed.exceptionClass = "EZeroDivide";
    EXPECT_EQ(UpdateBugReportFile(file, Report(changed), {}), file + kSep + Report(changed));
    // Without a version the program's date decides.
    TReportValues unversioned = At("1");
    unversioned.version.clear();
    const std::string plain = kSep + Report(unversioned);
    unversioned.time = "2";
    EXPECT_EQ(UpdateBugReportFile(plain, Report(unversioned), {}), kSep + Report(unversioned, "2"));
    unversioned.execTime = "2026-12-02 11:00";
    EXPECT_EQ(UpdateBugReportFile(plain, Report(unversioned), {}), plain + kSep + Report(unversioned));
    // A checksum text of another length is never searched for.
    TReportValues odd = At("1");
    odd.crc = "$11111111, $22222222";
    const std::string oddFile = kSep + Report(odd);
    odd.time = "2";
    EXPECT_EQ(UpdateBugReportFile(oddFile, Report(odd), {}), oddFile + kSep + Report(odd));
}

// Reports of exactly `size` bytes with their separator.
std::string SizedReport(const std::string& time, size_t size)
{
    TReportValues values = At(time);
    std::string crc(1, '$');
    values.crc = std::move(crc.append(8, time[0]).append(", $22222222, $33333333"));
    values.body.clear();
    const size_t bare = Report(values).size() + 4;
    values.body = std::string(size - bare, 'x');
    return kSep + Report(values);
}

TEST(BugReportFile, OldestReportsGoUntilLessThanThreeQuartersOfTheLimitStay)
{
    const std::string a = SizedReport("a", 300), b = SizedReport("b", 300), c = SizedReport("c", 300),
                      d = SizedReport("d", 300);
    ASSERT_EQ((a + b + c + d).size(), 1200u);
    const std::string report = Report(At("9"));
    TBugReportFileRules rules;
    rules.maxFileSize = 1000;
    EXPECT_EQ(UpdateBugReportFile(a + b + c + d, report, rules), c + d + kSep + report);
    // With a limit of 1200, 900 bytes would not be less than 900.
    const std::string f = SizedReport("f", 300);
    rules.maxFileSize = 1200;
    EXPECT_EQ(UpdateBugReportFile(a + b + c + d + f, report, rules), d + f + kSep + report);
    rules.maxFileSize = 1000;
    // Not larger than the limit: nothing goes.
    EXPECT_EQ(UpdateBugReportFile(a + b + c, report, rules), a + b + c + kSep + report);
    // The newest alone is too big: nothing goes either.
    const std::string huge = SizedReport("h", 1100);
    EXPECT_EQ(UpdateBugReportFile(a + huge, report, rules), a + huge + kSep + report);
}

TEST(BugReportFile, DuplicateIsCutBeforeTheOldestGo)
{
    const std::string a = SizedReport("a", 400), b = SizedReport("b", 400), c = SizedReport("c", 400);
    TReportValues again = At("9");
    again.crc = "$cccccccc, $22222222, $33333333";
    TBugReportFileRules rules;
    rules.maxFileSize = 1000;
    EXPECT_EQ(UpdateBugReportFile(a + b + c, Report(again), rules), b + kSep + Report(again, "2"));
}

TEST(BugReportFile, TextBeforeTheFirstReportGoesWithIt)
{
    const std::string file = "stray text" + std::string(kSep) + Report(At("1"));
    EXPECT_EQ(UpdateBugReportFile(file, Report(At("2")), {}), "stray text" + std::string(kSep) + Report(At("2"), "2"));
    const std::string bare = Report(At("1"));
    EXPECT_EQ(UpdateBugReportFile(bare, Report(At("2")), {}), kSep + Report(At("2"), "2"));
}

} // namespace
