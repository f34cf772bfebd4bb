#include <gtest/gtest.h>

#include <numeric>
#include <vector>

#include "report/CallstackCrc.h"
#include "report/HeaderValues.h"
#include "report/RegisterText.h"
#include "report/StackDumpText.h"
#include "report/ThreadSection.h"
#include "zip/Crc32.h"

TEST(RegisterText, OneLinePerRegisterInTheArchitecturesWidth)
{
    EXPECT_EQ(u"eax = 0012ff40\r\nebx = 00000000\r\neip = ffffffff",
              RegistersText({{{u"eax", 0x12ff40}, {u"ebx", 0}, {u"eip", 0xffffffff}}, 8}));
    EXPECT_EQ(u"rax = 000000000012ff40\r\nr15 = ffffffff00000001",
              RegistersText({{{u"rax", 0x12ff40}, {u"r15", 0xffffffff00000001ull}}, 16}));
}

TEST(StackDumpText, FullLinesShowHexInTwoGroupsAndPrintableCharacters)
{
    std::vector<uint8_t> bytes(16);
    std::iota(bytes.begin(), bytes.end(), uint8_t{0x3f});
    bytes[15] = 0x7f;
    EXPECT_EQ(u"0012ff40  3f 40 41 42 43 44 45 46 - 47 48 49 4a 4b 4c 4d 7f  ?@ABCDEFGHIJKLM.",
              StackDumpText(0x12ff40, bytes));
}

TEST(StackDumpText, BytesPastTheRegionEndAreBlank)
{
    const std::vector<uint8_t> bytes(20, 0x41);
    const UnicodeString text = StackDumpText(0x1000, bytes);
    const UnicodeString second = text.substr(text.find(u"\r\n") + 2);
    EXPECT_EQ(u"00001010  41 41 41 41 " + UnicodeString(4 * 3 + 2 + 8 * 3 + 1, u' ') + u"AAAA", second);
    const std::vector<uint8_t> few(3, 0x41);
    EXPECT_EQ(u"00000010  41 41 41" + UnicodeString(5 * 3 + 2 + 8 * 3 + 1, u' ') + u" AAA", StackDumpText(0x10, few));
}

TEST(StackDumpText, AtMostTwentyLinesAndNoneForNoBytes)
{
    const std::vector<uint8_t> bytes(1000, 0);
    const UnicodeString text = StackDumpText(0x1000, bytes);
    EXPECT_EQ(19, std::count(text.begin(), text.end(), u'\n'));
    EXPECT_TRUE(text.ends_with(u"00 00  ................"));
    EXPECT_NE(UnicodeString::npos, text.find(u"00001130  "));
    EXPECT_EQ(u"", StackDumpText(0x1000, {}));
}

TEST(ThreadSection, TitlesCarryNameIdLevelAndMarks)
{
    EXPECT_EQ(u"main ($1a4):", ThreadSectionTitle({u"main", 0x1a4}));
    EXPECT_EQ(u"thread ($b):", ThreadSectionTitle({u"", 11}));
    EXPECT_EQ(u"worker ($10), inner exception level 2: <suspended> <priority:-2>",
              ThreadSectionTitle({u"worker", 16, 2, true, -2}));
}

TEST(ThreadSection, BodiesGetTheInnerExceptionFirstAndTheCreatorBeforeTheLastLine)
{
    EXPECT_EQ(u">> EInner, went wrong\r\nline1\r\nline2", ThreadSectionBody(u"line1\r\nline2", {1, u"EInner", u"went wrong", {}}));
    EXPECT_EQ(u"line1\r\n>> created by main ($1) at:\r\nline2",
              ThreadSectionBody(u"line1\r\nline2", {0, {}, {}, u"main ($1)"}));
    EXPECT_EQ(u">> created by main at:\r\nonly", ThreadSectionBody(u"only", {0, {}, {}, u"main"}));
    EXPECT_EQ(u">> stack not accessible", ThreadSectionBody(u">> stack not accessible", {0, {}, {}, u"main"}));
    EXPECT_EQ(u">> stack not accessible", StackNotAccessibleText(u""));
    EXPECT_EQ(u">> stack not accessible, exception location: \r\n00401000 +0 ???",
              StackNotAccessibleText(u"00401000 +0 ???"));
}

TEST(CallstackCrc, TheThirdContinuesTheSecondOverEachRelevantThread)
{
    TCallstackCrc crc;
    crc.Start(0x1234abcd, 0xdeadbeef);
    EXPECT_EQ(u"$1234abcd, $deadbeef, $deadbeef", crc.Text());
    EXPECT_EQ(31u, crc.Text().size()); // the duplicate check keys on 31 characters
    crc.Continue(0x01020304);
    const uint8_t bytes[4] = {4, 3, 2, 1};
    EXPECT_EQ(UpdateCrc32(0xdeadbeef, bytes, 4), crc.Value(2));
    EXPECT_EQ(0xdeadbeefu, crc.Value(1));
    EXPECT_EQ(0u, crc.Value(3));
    EXPECT_EQ(0u, crc.Value(-1));
    TCallstackCrc other;
    other.Start(0x1234abcd, 0xdeadbeef);
    other.Continue(0x01020305);
    EXPECT_NE(crc.Value(2), other.Value(2));
}

TEST(HeaderValues, DatesAndTimes)
{
    EXPECT_EQ(u"2009-03-14, 15:09:26, 53ms", ReportDateTimeText({2009, 3, 14, 15, 9, 26, 53}));
    EXPECT_EQ(u"2009-03-04, 05:00:06, 0ms", ReportDateTimeText({2009, 3, 4, 5, 0, 6, 0}));
    EXPECT_EQ(u"2024-12-01 07:05", FileDateTimeText({2024, 12, 1, 7, 5, 59, 999}));
}

TEST(HeaderValues, DurationsShowTheTwoLargestNonZeroUnits)
{
    EXPECT_EQ(u"1 day 3 hours", DurationText(86400 + 3 * 3600 + 59));
    EXPECT_EQ(u"5 minutes 1 second", DurationText(301));
    EXPECT_EQ(u"2 days 1 second", DurationText(2 * 86400 + 1));
    EXPECT_EQ(u"1 hour", DurationText(3600));
    EXPECT_EQ(u"0 seconds", DurationText(-5));
    EXPECT_EQ(u"750 milliseconds", ProgramUpTimeText(750));
    EXPECT_EQ(u"1 second", ProgramUpTimeText(1999));
}

TEST(HeaderValues, MemoryProcessorsAndOthers)
{
    constexpr uint64_t mb = 1024 * 1024;
    EXPECT_EQ(u"2/1024 MB (free/total)", PhysicalMemoryText(mb + mb / 2, 1024 * mb + mb / 2 - 1));
    EXPECT_EQ(std::nullopt, ProcessorField(u"", 4));
    const auto single = ProcessorField(u"Fast  CPU    3 GHz", 1);
    ASSERT_TRUE(single);
    EXPECT_EQ(u"processor", single->name);
    EXPECT_EQ(u"Fast CPU 3 GHz", single->value);
    const auto several = ProcessorField(u"Fast CPU", 8);
    ASSERT_TRUE(several);
    EXPECT_EQ(u"processors", several->name);
    EXPECT_EQ(u"8x Fast CPU", several->value);
    EXPECT_EQ(u"1024x768, 32 bit", DisplayModeText(1024, 768, 32));
    EXPECT_EQ(u"anna  <admin>", UserNameText(u"anna", true));
    EXPECT_EQ(u"owner / firm", RegisteredOwnerText(u"owner", u"firm"));
    EXPECT_EQ(u"owner", RegisteredOwnerText(u"owner", u""));
}

TEST(HeaderValues, AMessageEqualToItsClassIsLeftOut)
{
    EXPECT_EQ(std::nullopt, ExceptionMessageValue(u"EAbort", u"EAbort"));
    EXPECT_EQ(u"line one line two", ExceptionMessageValue(u"line one\r\n  line two", u"EAbort"));
    EXPECT_EQ(u"bell and tab", ExceptionMessageValue(u" \abell and\t tab\r\n", u"EAbort"));
    EXPECT_EQ(u"Unknown", ExceptionMessageValue(u"\x01 \r\n", u"EAbort"));
}
