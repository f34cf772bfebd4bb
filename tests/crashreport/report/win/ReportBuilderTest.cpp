#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <regex>
#include <stdexcept>

#include "CrashSite.h"
#include "ReportBuilder.h"
#include "ReportChecker.h"
#include "WinHandle.h"
#include "report/HexText.h"
#include "report/ReportText.h"
#include "threads/ThreadNameBuffer.h"
#include "threads/ThreadNames.h"
#include "text/Utf.h"

namespace {

std::string Hex8(uint64_t value)
{
    return WideToUTF8(HexDigits(value, 8));
}

std::string ThreadTitle(const std::string& name, uint32_t threadId)
{
    return name + " ($" + WideToUTF8(HexDigits(threadId, 1)) + ")";
}

TReportSubject CrashSubject(const TCrash& crash)
{
    TReportSubject subject;
    subject.crashedThreadId = crash.ThreadId();
    subject.exceptAddress = crash.Address();
    subject.context = crash.Context();
    subject.exceptClass = u"EAccessViolation";
    subject.exceptMessage = u"Access violation\r\nat  address";
    GetLocalTime(&subject.exceptTime);
    return subject;
}

TCheckedReport CheckedReport(const TReportSubject& subject)
{
    return CheckReport(ReportText(BuildReport(subject)));
}

size_t SectionIndex(const TCheckedReport& report, const std::string& titleStart)
{
    for (size_t i = 0; i < report.sections.size(); ++i) {
        if (report.sections[i].title.rfind(titleStart, 0) == 0)
            return i;
    }
    return report.sections.size();
}

class ReportBuilder : public testing::Test {
protected:
    static void SetUpTestSuite()
    {
        ASSERT_NE(ThreadNameBuffer().Open(), TBufferOpen::Failed);
        NameThread(GetCurrentThreadId(), u"main");
    }
    static void TearDownTestSuite() { ThreadNameBuffer().Close(); }
};

} // namespace

TEST_F(ReportBuilder, HeaderFieldsComeInTheirOrderPaddedToOneWidth)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    ASSERT_TRUE(crash.Captured());
    const TCheckedReport report = CheckedReport(CrashSubject(crash));
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
    const std::vector<std::string> order = {"date/time", "computer name", "user name", "operating system",
                                            "system up time", "program up time", "physical memory", "process id",
                                            "allocated memory", "largest free block", "command line", "executable",
                                            "current module", "exec. date/time", "compiled with", "zelExcept version",
                                            "callstack crc", "exception number", "exception class",
                                            "exception message"};
    size_t at = 0;
    for (const auto& [name, value] : report.header) {
        if (at < order.size() && name == order[at])
            ++at;
    }
    EXPECT_EQ(order.size(), at) << "missing or out of order: " << (at < order.size() ? order[at] : "");
    EXPECT_EQ("EAccessViolation", report.Field("exception class"));
    EXPECT_EQ("Access violation at address", report.Field("exception message"));
    EXPECT_EQ("$" + std::string(Hex8(GetCurrentProcessId())).erase(0, Hex8(GetCurrentProcessId()).find_first_not_of('0')),
              report.Field("process id"));
    EXPECT_TRUE(std::regex_match(*report.Field("date/time"),
                                 std::regex(R"(\d{4}-\d\d-\d\d, \d\d:\d\d:\d\d, \d+ms)")));
}

TEST_F(ReportBuilder, ExceptionNumbersCountUpAndAMessageLikeTheClassIsLeftOut)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    TReportSubject subject = CrashSubject(crash);
    subject.options.listThreads = false;
    subject.exceptMessage = subject.exceptClass;
    const TCheckedReport first = CheckedReport(subject);
    const TCheckedReport second = CheckedReport(subject);
    EXPECT_EQ(std::nullopt, first.Field("exception message"));
    EXPECT_EQ(std::stoll(*first.Field("exception number")) + 1, std::stoll(*second.Field("exception number")));
}

TEST_F(ReportBuilder, ThreadSectionsTheCrashedThreadFirstThenMainThenTheOthers)
{
    const TWaitingThreads waiting({u"worker one", u""});
    const TCrash crash(TCrashSite::A, u"crasher");
    const TCheckedReport report = CheckedReport(CrashSubject(crash));
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
    ASSERT_FALSE(report.sections.empty());
    EXPECT_EQ(ThreadTitle("crasher", crash.ThreadId()) + ":", report.sections[0].title);
    ASSERT_EQ(ThreadTitle("main", GetCurrentThreadId()) + ":", report.sections.at(1).title);
    const size_t worker = SectionIndex(report, ThreadTitle("worker one", waiting.ThreadId(0)));
    const size_t unnamed = SectionIndex(report, ThreadTitle("thread", waiting.ThreadId(1)));
    ASSERT_LT(worker, report.sections.size());
    ASSERT_LT(unnamed, report.sections.size());
    EXPECT_LT(worker, SectionIndex(report, "cpu registers")) << "thread sections come first";
    for (const TCheckedSection& section : report.sections)
        EXPECT_NE(">> will be calculated soon", section.lines.front()) << section.title;
}

TEST_F(ReportBuilder, TheCrashedThreadsStackStartsAtTheCrashAddress)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    TReportSubject subject = CrashSubject(crash);
    subject.options.listThreads = false;
    const TCheckedReport report = CheckedReport(subject);
    ASSERT_EQ(1u, report.sections.size() - 3);
    const TCheckedSection& stack = report.sections[0];
    ASSERT_FALSE(stack.lines.empty());
    const std::string address = Hex8(crash.Address()) + " ";
    EXPECT_EQ(address, stack.lines[0].substr(0, address.size()));
    EXPECT_NE(std::string::npos, stack.lines[0].find("CrashSiteA")) << stack.lines[0];
}

TEST_F(ReportBuilder, RegistersAndStackDumpShowTheSavedContext)
{
    const TCrash crash(TCrashSite::B, u"crasher");
    const TCheckedReport report = CheckedReport(CrashSubject(crash));
    const TCheckedSection* registers = report.Section("cpu registers:");
    const TCheckedSection* dump = report.Section("stack dump:");
    ASSERT_NE(nullptr, registers);
    ASSERT_NE(nullptr, dump);
    const CONTEXT& c = crash.Context();
#if defined(__x86_64__)
    ASSERT_EQ(17u, registers->lines.size());
    EXPECT_EQ("rax = " + WideToUTF8(HexDigits(c.Rax, 16)), registers->lines[0]);
    EXPECT_EQ("rip = " + WideToUTF8(HexDigits(c.Rip, 16)), registers->lines[6]);
    EXPECT_EQ("r15 = " + WideToUTF8(HexDigits(c.R15, 16)), registers->lines[16]);
    const uint64_t stackPointer = c.Rsp;
#else
    const std::vector<std::string> expected = {"eax = " + Hex8(c.Eax), "ebx = " + Hex8(c.Ebx), "ecx = " + Hex8(c.Ecx),
                                               "edx = " + Hex8(c.Edx), "esi = " + Hex8(c.Esi), "edi = " + Hex8(c.Edi),
                                               "eip = " + Hex8(c.Eip), "esp = " + Hex8(c.Esp), "ebp = " + Hex8(c.Ebp)};
    EXPECT_EQ(expected, registers->lines);
    const uint64_t stackPointer = c.Esp;
#endif
    ASSERT_EQ(20u, dump->lines.size());
    const std::regex line(R"([0-9a-f]{8,16}  ([0-9a-f]{2} ){8}- ([0-9a-f]{2} ){8} .{16})");
    for (size_t i = 0; i < dump->lines.size(); ++i) {
        EXPECT_TRUE(std::regex_match(dump->lines[i], line)) << dump->lines[i];
        EXPECT_EQ(WideToUTF8(HexDigits(stackPointer + 16 * i, 8)), dump->lines[i].substr(0, dump->lines[i].find(' ')));
    }
    // The first bytes are those at the stack pointer.
    uint8_t first = 0;
    std::memcpy(&first, reinterpret_cast<const void*>(stackPointer), 1);
    EXPECT_EQ(WideToUTF8(HexDigits(first, 2)), dump->lines[0].substr(dump->lines[0].find("  ") + 2, 2));
}

TEST_F(ReportBuilder, DisassemblyMarksTheCrashLine)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    TReportSubject subject = CrashSubject(crash);
    subject.options.listThreads = false;
    subject.options.limitDisAsm = 0;
    const TCheckedReport report = CheckedReport(subject);
    const TCheckedSection* disassembly = report.Section("disassembling:");
    ASSERT_NE(nullptr, disassembly);
#if defined(__x86_64__)
    ASSERT_EQ(1u, disassembly->lines.size());
    EXPECT_NE(std::string::npos, disassembly->lines[0].find("not available on this architecture"));
#else
    // The whole function: from its entry, past the marked crash line.
    const std::string address = Hex8(crash.Address());
    const std::string entry = Hex8(reinterpret_cast<uintptr_t>(
        GetProcAddress(GetModuleHandleW(L"crashreport_report_sites.dll"), "CrashSiteA")));
    std::string text;
    size_t marked = 0;
    size_t entryLine = disassembly->lines.size();
    for (size_t i = 0; i < disassembly->lines.size(); ++i) {
        const std::string& line = disassembly->lines[i];
        text += line + "\n";
        const size_t at = line.find(address + " ");
        if (at != std::string::npos && line.compare(at + 9, 1, ">") == 0)
            marked = i;
        if (line.find(entry + " ") != std::string::npos)
            entryLine = std::min(entryLine, i);
    }
    EXPECT_GT(marked, 0u) << "the crash line is marked and follows the entry\n" << text;
    EXPECT_LT(entryLine, marked) << text;
#endif
}

TEST_F(ReportBuilder, CallstackChecksumsAreStableForOneSiteAndDifferBetweenSites)
{
    const std::regex format(R"(\$[0-9a-f]{8}, \$[0-9a-f]{8}, \$[0-9a-f]{8})");
    std::vector<std::string> crcs;
    for (const TCrashSite site : {TCrashSite::A, TCrashSite::A, TCrashSite::B}) {
        const TCrash crash(site, u"crasher");
        TReportSubject subject = CrashSubject(crash);
        subject.options.listThreads = false;
        const TCheckedReport report = CheckedReport(subject);
        ASSERT_TRUE(report.Field("callstack crc"));
        crcs.push_back(*report.Field("callstack crc"));
        EXPECT_TRUE(std::regex_match(crcs.back(), format)) << crcs.back();
    }
    EXPECT_EQ(crcs[0], crcs[1]);
    EXPECT_NE(crcs[0].substr(0, 10), crcs[2].substr(0, 10)) << "the first item's checksum names the site";
}

TEST_F(ReportBuilder, ListThreadsOffReportsOnlyTheCrashedThread)
{
    const TWaitingThreads waiting({u"worker one"});
    const TCrash crash(TCrashSite::A, u"crasher");
    TReportSubject subject = CrashSubject(crash);
    subject.options.listThreads = false;
    subject.options.cpuRegs = false;
    subject.options.stackDump = false;
    subject.options.showDisAsm = false;
    const TCheckedReport report = CheckedReport(subject);
    ASSERT_EQ(1u, report.sections.size());
    EXPECT_EQ(ThreadTitle("crasher", crash.ThreadId()) + ":", report.sections[0].title);
}

TEST_F(ReportBuilder, AFreezeReportsTheMainThreadFirstWithoutAClass)
{
    TReportSubject subject;
    subject.frozen = true;
    subject.options.frozenMsg = u"frozen for good";
    subject.options.showDisAsm = false;
    GetLocalTime(&subject.exceptTime);
    const TCheckedReport report = CheckedReport(subject);
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
    EXPECT_EQ(std::nullopt, report.Field("exception class"));
    EXPECT_EQ("frozen for good", report.Field("exception message"));
    ASSERT_FALSE(report.sections.empty());
    EXPECT_EQ(ThreadTitle("main", GetCurrentThreadId()) + ":", report.sections[0].title);
    EXPECT_EQ(nullptr, report.Section("cpu registers")) << "no context, no registers";
}

TEST_F(ReportBuilder, PluginsThatFailGetTheirFailureAsTextAndTheReportCompletes)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    TReportSubject subject = CrashSubject(crash);
    subject.options.listThreads = false;
    subject.sectionPlugins = {{u"good", [] { return UnicodeString(u"line 1\r\n\r\nline 3"); }},
                              {u"throws", []() -> UnicodeString { throw std::runtime_error("no list today"); }},
                              {u"faults", []() -> UnicodeString { return UnicodeString(1, *static_cast<volatile char16_t*>(nullptr)); }}};
    subject.headerPlugins = {{u"build", [] { return UnicodeString(u"nightly"); }},
                             {u"broken", []() -> UnicodeString { throw std::runtime_error("gone"); }}};
    const TCheckedReport report = CheckedReport(subject);
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
    ASSERT_NE(nullptr, report.Section("good:"));
    EXPECT_EQ((std::vector<std::string>{"line 1", ".", "line 3"}), report.Section("good:")->lines);
    ASSERT_NE(nullptr, report.Section("throws:"));
    EXPECT_NE(std::string::npos, report.Section("throws:")->lines[0].find("no list today"));
    ASSERT_NE(nullptr, report.Section("faults:"));
    ASSERT_EQ(2u, report.Section("faults:")->lines.size());
    EXPECT_EQ(">> plugin \"faults\" raised exception $c0000005 at:", report.Section("faults:")->lines[0]);
    EXPECT_TRUE(std::regex_match(report.Section("faults:")->lines[1], std::regex("[0-9a-f]{8,16} .*")))
        << report.Section("faults:")->lines[1];
    EXPECT_EQ("nightly", report.Field("build"));
    EXPECT_EQ(std::nullopt, report.Field("broken"));
    EXPECT_NE("will be calculated soon", report.Field("callstack crc"));
}

TEST_F(ReportBuilder, AThreadStartedByANamedThreadNamesItsCreatorBeforeItsOldestCall)
{
    const TWaitingThreads waiting({u"child"});
    SetThreadEntry(waiting.ThreadId(0), nullptr, u"child", GetCurrentThreadId(), nullptr, u"");
    const TCrash crash(TCrashSite::A, u"crasher");
    const TCheckedReport report = CheckedReport(CrashSubject(crash));
    const TCheckedSection* child = report.Section(ThreadTitle("child", waiting.ThreadId(0)));
    ASSERT_NE(nullptr, child);
    ASSERT_GE(child->lines.size(), 2u);
    EXPECT_EQ(">> created by main at:", child->lines[child->lines.size() - 2]);
    EXPECT_EQ(1, std::count(child->lines.begin(), child->lines.end(), ">> created by main at:"));
}

TEST_F(ReportBuilder, InnerExceptionsGetSectionsOfTheirOwnLedByTheirClassAndMessage)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    TReportSubject subject = CrashSubject(crash);
    subject.options.listThreads = false;
    subject.innerExceptions = {{crash.ThreadId(), crash.Address(), u"EInner", u"first failure", crash.Context()}};
    const TCheckedReport report = CheckedReport(subject);
    EXPECT_TRUE(report.problems.empty()) << report.problems.front();
    ASSERT_GE(report.sections.size(), 2u);
    EXPECT_EQ(ThreadTitle("crasher", crash.ThreadId()) + ":", report.sections[0].title);
    EXPECT_EQ(ThreadTitle("crasher", crash.ThreadId()) + ", inner exception level 1:", report.sections[1].title);
    ASSERT_GE(report.sections[1].lines.size(), 2u);
    EXPECT_EQ(">> EInner, first failure", report.sections[1].lines[0]);
    EXPECT_EQ(report.sections[0].lines[0], report.sections[1].lines[1]) << "traced from the same registers";
}

TEST_F(ReportBuilder, ErrorDetailsFromTheUserBecomeASectionOfTheirOwn)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    TReportSubject subject = CrashSubject(crash);
    subject.options.listThreads = false;
    const TCheckedReport without = CheckedReport(subject);
    EXPECT_EQ(nullptr, without.Section("error details"));
    subject.errorDetails = u"saved twice\r\nthen it broke  ";
    const TCheckedReport report = CheckedReport(subject);
    ASSERT_NE(nullptr, report.Section("error details:"));
    EXPECT_EQ((std::vector<std::string>{"saved twice", "then it broke"}), report.Section("error details:")->lines);
}

TEST_F(ReportBuilder, TheLibrarysOwnThreadsAreLeftOut)
{
    const TWaitingThreads waiting({u"watchdog", u"worker"});
    const TCrash crash(TCrashSite::A, u"crasher");
    TReportSubject subject = CrashSubject(crash);
    subject.hiddenThreads = {waiting.ThreadId(0)};
    const TCheckedReport report = CheckedReport(subject);
    EXPECT_EQ(nullptr, report.Section(ThreadTitle("watchdog", waiting.ThreadId(0))));
    EXPECT_NE(nullptr, report.Section(ThreadTitle("worker", waiting.ThreadId(1))));
}

TEST_F(ReportBuilder, TitlesMarkSuspendedThreadsAndPrioritiesOtherThanNormal)
{
    TWaitingThreads waiting({u"sleeper", u"lowly"});
    ASSERT_NE(static_cast<DWORD>(-1), SuspendThread(waiting.Handle(0)));
    ASSERT_TRUE(SetThreadPriority(waiting.Handle(1), THREAD_PRIORITY_LOWEST));
    const TCrash crash(TCrashSite::A, u"crasher");
    const TCheckedReport report = CheckedReport(CrashSubject(crash));
    ResumeThread(waiting.Handle(0));
    EXPECT_NE(nullptr, report.Section(ThreadTitle("sleeper", waiting.ThreadId(0)) + ": <suspended>"));
    EXPECT_NE(nullptr, report.Section(ThreadTitle("lowly", waiting.ThreadId(1)) + ": <priority:-2>"));
    EXPECT_NE(nullptr, report.Section(ThreadTitle("main", GetCurrentThreadId()) + ":"));
    EXPECT_EQ(nullptr, report.Section(ThreadTitle("main", GetCurrentThreadId()) + ": <"));
}

namespace {

DWORD WINAPI WaitForEvent(void* event)
{
    return WaitForSingleObject(event, INFINITE);
}

DWORD WINAPI RecordedRoutine(void*)
{
    return 0;
}

} // namespace

TEST_F(ReportBuilder, ThreadsCarryTheRoutineTheyStartedWith)
{
    const TWinHandle release(CreateEventW(nullptr, TRUE, FALSE, nullptr));
    DWORD threadId = 0;
    const TWinHandle thread(CreateThread(nullptr, 0, WaitForEvent, release.Get(), 0, &threadId));
    ASSERT_TRUE(thread);
    // The system's record, where it keeps one (Wine does not).
    const uintptr_t system = ThreadStartAddressOf(threadId);
    EXPECT_TRUE(system == 0 || system == reinterpret_cast<uintptr_t>(&WaitForEvent)) << system;
    // The thread list's record comes first.
    SetThreadEntry(threadId, nullptr, u"waiter", 0, reinterpret_cast<const void*>(&RecordedRoutine), u"");
    const TCrash crash(TCrashSite::A, u"crasher");
    const std::vector<TReportThread> threads = PlanThreads(CrashSubject(crash));
    const auto planned = std::find_if(threads.begin(), threads.end(),
                                      [&](const TReportThread& entry) { return entry.threadId == threadId; });
    ASSERT_NE(threads.end(), planned);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(&RecordedRoutine), planned->startAddress);
    SetEvent(release.Get());
    WaitForSingleObject(thread.Get(), INFINITE);
    SetThreadEntry(threadId, nullptr, u"", 0, nullptr, u"");
}
