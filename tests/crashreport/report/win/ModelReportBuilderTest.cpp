#include <gtest/gtest.h>

#include <atomic>
#include <regex>
#include <set>

#include "CrashSite.h"
#include "ModelReportBuilder.h"
#include "ReportChecker.h"
#include "model/PluginRegistry.h"
#include "settings/FieldsList.h"
#include "settings/win/SharedSettings.h"
#include "text/Utf.h"
#include "threads/ThreadNameBuffer.h"

namespace {

// The section plug-in "slow": it notes its thread's priority, then waits to be let go or to
// see its priority raised.
struct TSlowPlugin {
    HANDLE go = nullptr;
    HANDLE entered = nullptr;
    bool untilRaised = false;
    std::atomic<int> firstPriority{THREAD_PRIORITY_ERROR_RETURN};
    std::atomic<int> lastPriority{THREAD_PRIORITY_ERROR_RETURN};
} slow;

void SlowPluginText(UnicodeString& text)
{
    slow.firstPriority = GetThreadPriority(GetCurrentThread());
    SetEvent(slow.entered);
    if (slow.untilRaised) {
        for (int i = 0; i < 600 && GetThreadPriority(GetCurrentThread()) != THREAD_PRIORITY_HIGHEST; ++i)
            Sleep(5);
    } else {
        WaitForSingleObject(slow.go, 5000);
    }
    slow.lastPriority = GetThreadPriority(GetCurrentThread());
    text = u"slow text";
}

struct TCallbackLog {
    std::vector<bool> completes;
    UnicodeString lastText;
} callbackLog;

void LogReport(bool complete, const UnicodeString& text, IZEException*)
{
    callbackLog.completes.push_back(complete);
    callbackLog.lastText = text;
}

std::string Narrow(const UnicodeString& text)
{
    return WideToUTF8(text);
}

class ModelReportBuilder : public testing::Test {
protected:
    static void SetUpTestSuite() { ASSERT_NE(ThreadNameBuffer().Open(), TBufferOpen::Failed); }
    static void TearDownTestSuite() { ThreadNameBuffer().Close(); }

    void SetUp() override
    {
        ASSERT_TRUE(OpenSettingsBuffer());
        ExceptionHooks() = TExceptionHooks{};
        InstallReportBuilder();
        RegisterBugReportPlugin(u"slow", u"waits", SlowPluginText, true);
        slow.go = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        slow.entered = CreateEventW(nullptr, TRUE, FALSE, nullptr);
        slow.untilRaised = false;
        callbackLog = {};
    }
    void TearDown() override
    {
        SetEvent(slow.go);
        ExceptionHooks() = TExceptionHooks{};
        UnregisterBugReportPlugin(u"slow");
        CloseHandle(slow.go);
        CloseHandle(slow.entered);
        CloseSettingsBuffer();
    }

    TIntfPtr<TIZEException> NewException(const TCrash& crash, bool onDemand = false)
    {
        TExceptionFacts facts;
        facts.exceptAddress = crash.Address();
        facts.crashedThreadId = crash.ThreadId();
        facts.context = &crash.Context();
        facts.buildOnDemand = onDemand;
        TIntfPtr<TIZEException> exception = NewZelException(GetModuleSettings(nullptr), facts);
        exception->SetCreateBugReport(true);
        EXPECT_TRUE(exception->Settings().SetSettingText("Plugins", u"slow"));
        EXPECT_TRUE(exception->Settings().SetSettingBool("ListThreads", false));
        return exception;
    }
};

} // namespace

TEST_F(ModelReportBuilder, TextWithoutWaitingShowsPlaceholdersUntilTheBuilderIsDone)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    const TIntfPtr<TIZEException> exception = NewException(crash);
    exception->GetBugReportSections();
    EXPECT_NE(0u, exception->GetBuilderThreadId()) << "another thread asked: the builder runs in its own";
    const TCheckedReport early = CheckReport(exception->GetBugReportText(false));
    EXPECT_TRUE(early.problems.empty()) << early.problems.front();
    EXPECT_EQ("will be calculated soon", early.Field("callstack crc"));
    ASSERT_NE(nullptr, early.Section("slow:"));
    EXPECT_EQ(std::vector<std::string>{">> will be calculated soon"}, early.Section("slow:")->lines);
    EXPECT_FALSE(exception->IsComplete());

    SetEvent(slow.go);
    const TCheckedReport done = CheckReport(exception->GetBugReport());
    EXPECT_TRUE(exception->IsComplete());
    EXPECT_TRUE(done.problems.empty()) << done.problems.front();
    EXPECT_EQ(std::vector<std::string>{"slow text"}, done.Section("slow:")->lines);
    char expected[40];
    std::snprintf(expected, sizeof expected, "$%08x, $%08x, $%08x", exception->GetCallstackCrc(0),
                  exception->GetCallstackCrc(1), exception->GetCallstackCrc(2));
    EXPECT_EQ(expected, done.Field("callstack crc"));
    for (const TCheckedSection& section : done.sections)
        EXPECT_NE(">> will be calculated soon", section.lines.front()) << section.title;
}

TEST_F(ModelReportBuilder, TheBuilderRunsAboveNormalAndIsRaisedWhileACallerWaits)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    const TIntfPtr<TIZEException> exception = NewException(crash);
    EXPECT_TRUE(exception->Settings().SetSettingBool("PlWaitBox", true));
    slow.untilRaised = true;
    exception->GetBugReportSections();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(slow.entered, 5000));
    exception->GetBugReport();
    EXPECT_EQ(THREAD_PRIORITY_ABOVE_NORMAL, slow.firstPriority.load());
    EXPECT_EQ(THREAD_PRIORITY_HIGHEST, slow.lastPriority.load());
}

TEST_F(ModelReportBuilder, ThreadRecordsFollowTheSections)
{
    const TCrash crash(TCrashSite::B, u"crasher");
    const TIntfPtr<TIZEException> exception = NewException(crash);
    SetEvent(slow.go);
    const TCheckedReport report = CheckReport(exception->GetBugReport());
    ASSERT_FALSE(report.sections.empty());
    EXPECT_EQ(crash.ThreadId(), exception->GetThreadId(0));
    EXPECT_EQ(0u, exception->GetThreadId(1)) << "ListThreads is off";
    EXPECT_FALSE(exception->GetThreadStack(0).empty());
    EXPECT_EQ(report.sections[0].lines.size(), exception->GetThreadStack(0).size());
}

TEST_F(ModelReportBuilder, OnDemandTheReportIsBuiltWhenItsTextIsFirstWaitedFor)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    const TIntfPtr<TIZEException> exception = NewException(crash, true);
    SetEvent(slow.go);
    exception->GetBugReportSections();
    EXPECT_EQ(0u, exception->GetBuilderThreadId());
    EXPECT_NE(std::string::npos, Narrow(exception->GetBugReportText(false)).find(">> will be calculated soon"));
    EXPECT_FALSE(exception->IsComplete());
    const std::string text = Narrow(exception->GetBugReport());
    EXPECT_TRUE(exception->IsComplete());
    EXPECT_EQ(std::string::npos, text.find("will be calculated soon")) << text;
}

// A callback that waits for the whole report while the report is built on demand in its own
// thread gets what there is so far instead of building it again inside the build. Changes do
// not name the exception to plain callbacks: it is kept from the registration call.
IZEException* waitedFor = nullptr;

void WaitForReportInCallback(bool complete, const UnicodeString&, IZEException* exception)
{
    if (exception || !waitedFor) { // fetching the text for the registration call may change it
        waitedFor = exception;
        return;
    }
    callbackLog.completes.push_back(complete);
    if (!complete)
        callbackLog.lastText = waitedFor->GetBugReport();
}

TEST_F(ModelReportBuilder, OnDemandACallbackWaitingForTheReportDuringItsBuildGetsTheTextSoFar)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    const TIntfPtr<TIZEException> exception = NewException(crash, true);
    SetEvent(slow.go);
    exception->GetBugReportSections();
    exception->RegisterBugReportCallback(WaitForReportInCallback, false);
    const std::string text = Narrow(exception->GetBugReport());
    EXPECT_TRUE(exception->IsComplete());
    EXPECT_EQ(std::string::npos, text.find("will be calculated soon")) << text;
    ASSERT_GE(callbackLog.completes.size(), 2u);
    EXPECT_TRUE(callbackLog.completes.back());
    EXPECT_FALSE(callbackLog.lastText.empty());
    waitedFor = nullptr;
}

// A callback of one report's on-demand build that waits for another report: in another thread
// (which waits for that report and is waited for here) or in its own.
struct TOtherReportWait {
    TIZEException* other = nullptr;
    bool armed = false;
    bool inOwnThread = false;
    bool finished = false; // the other report came back in time
    bool otherComplete = false;
} otherWait;

DWORD WINAPI WaitForOtherReport(void*)
{
    otherWait.other->GetBugReport();
    return 0;
}

void WaitForAnotherReportInCallback(bool complete, const UnicodeString&, IZEException*)
{
    if (!otherWait.armed || complete)
        return;
    otherWait.armed = false;
    if (otherWait.inOwnThread) {
        otherWait.other->GetBugReport();
        otherWait.finished = true;
    } else {
        const HANDLE thread = CreateThread(nullptr, 0, WaitForOtherReport, nullptr, 0, nullptr);
        otherWait.finished = thread && WaitForSingleObject(thread, 10000) == WAIT_OBJECT_0;
        if (thread)
            CloseHandle(thread);
    }
    otherWait.otherComplete = otherWait.other->IsComplete();
}

TEST_F(ModelReportBuilder, OnDemandACallbackWaitingForAnotherReportDoesNotLockUp)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    SetEvent(slow.go);
    for (const bool inOwnThread : {false, true}) {
        SCOPED_TRACE(inOwnThread ? "in the callback's thread" : "in another thread");
        const TIntfPtr<TIZEException> first = NewException(crash, true);
        const TIntfPtr<TIZEException> second = NewException(crash, true);
        first->GetBugReportSections();
        second->GetBugReportSections();
        otherWait = {second.Get(), false, inOwnThread, false, false};
        first->RegisterBugReportCallback(WaitForAnotherReportInCallback, false);
        otherWait.armed = true;
        const std::string text = Narrow(first->GetBugReport());
        EXPECT_TRUE(otherWait.finished) << "the other report's build waited for this one's";
        EXPECT_TRUE(otherWait.otherComplete) << "the other report was not built";
        EXPECT_TRUE(first->IsComplete());
        EXPECT_EQ(std::string::npos, text.find("will be calculated soon")) << text;
        EXPECT_EQ(std::string::npos, Narrow(second->GetBugReportText(false)).find("will be calculated soon"));
        first->UnregisterBugReportCallback(WaitForAnotherReportInCallback);
    }
}

TEST_F(ModelReportBuilder, CallbacksSeeTheReportGrowAndLastTheCompleteText)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    const TIntfPtr<TIZEException> exception = NewException(crash);
    exception->RegisterBugReportCallback(LogReport, false);
    exception->GetBugReportSections();
    SetEvent(slow.go);
    const UnicodeString text = exception->GetBugReport();
    ASSERT_GE(callbackLog.completes.size(), 3u) << "at registration, per section and at the end";
    EXPECT_FALSE(callbackLog.completes.front());
    EXPECT_TRUE(callbackLog.completes.back());
    EXPECT_EQ(text, callbackLog.lastText);
}

TEST_F(ModelReportBuilder, TheDisassemblyKeepsItsColumnsThroughTheSectionList)
{
#if defined(__x86_64__)
    GTEST_SKIP() << "the disassembler decodes 32-bit code only";
#else
    const TCrash crash(TCrashSite::A, u"crasher");
    const TIntfPtr<TIZEException> exception = NewException(crash);
    EXPECT_TRUE(exception->Settings().SetSettingInt("LimitDisAsm", 0));
    SetEvent(slow.go);
    const TCheckedReport report = CheckReport(exception->GetBugReport());
    const TCheckedSection* disassembly = report.Section("disassembling:");
    ASSERT_NE(nullptr, disassembly);
    ASSERT_GE(disassembly->lines.size(), 2u);
    // Every instruction line puts its address in the same column, the first one too.
    std::string text;
    std::set<size_t> columns;
    const std::regex address("[0-9a-f]{8} ");
    for (const std::string& line : disassembly->lines) {
        text += line + "\n";
        std::smatch found;
        if (std::regex_search(line, found, address))
            columns.insert(static_cast<size_t>(found.position(0)));
    }
    EXPECT_EQ(1u, columns.size()) << text;
#endif
}

TEST_F(ModelReportBuilder, AnotherReportsBuilderIsLeftOutOfTheThreads)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    const TIntfPtr<TIZEException> busy = NewException(crash);
    busy->GetBugReportSections();
    ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(slow.entered, 5000)) << "its builder waits in the plug-in";
    const uint32_t busyBuilder = busy->GetBuilderThreadId();
    ASSERT_NE(0u, busyBuilder);

    const TIntfPtr<TIZEException> listing = NewException(crash);
    EXPECT_TRUE(listing->Settings().SetSettingBool("ListThreads", true));
    EXPECT_TRUE(listing->Settings().SetSettingText("Plugins", u""));
    listing->GetBugReport();
    int threads = 0;
    for (; listing->GetThreadId(threads) != 0; ++threads)
        EXPECT_NE(busyBuilder, listing->GetThreadId(threads)) << "traced while it builds the other report";
    EXPECT_GT(threads, 2) << "every other thread is listed";
    SetEvent(slow.go);
    busy->GetBugReport();
}

TEST_F(ModelReportBuilder, TheErrorDetailsFieldGivesItsSection)
{
    const TCrash crash(TCrashSite::A, u"crasher");
    const TIntfPtr<TIZEException> exception = NewException(crash);
    exception->GetBugReportSections();
    // Described while the builder works.
    exception->Settings().Fields()->SetValue(u"Error Details", u"pressed print");
    SetEvent(slow.go);
    const TCheckedReport report = CheckReport(exception->GetBugReport());
    ASSERT_NE(nullptr, report.Section("error details:"));
    EXPECT_EQ(std::vector<std::string>{"pressed print"}, report.Section("error details:")->lines);
}
