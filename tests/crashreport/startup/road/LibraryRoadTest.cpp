// The whole road inside one program that carries the library: capture, HandleException, the
// handling thread, the report builder and the automatic save, as the library's start sets them up.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "capture/win/LibraryThread.h"
#include "engine/win/LibraryFolders.h"
#include "handlers/win/FreezeWatchdog.h"
#include "handlers/win/MainThreadHandlers.h"
#include "settings/win/ZeSettings.h"
#include "startup/win/CrashLibrary.h"
#include "threads/ThreadNames.h"

extern "C" void RoadFaultingWork();
extern "C" void RoadThrowingCaller();

namespace {

constexpr DWORD kWaitMs = 20000;
constexpr int32_t kFreezeTimeoutMs = 600;

UnicodeString ReportFile()
{
    const UnicodeString folder = GetLibraryTempFolder();
    return folder.substr(0, folder.size() - 1) + u"-road-report.txt";
}

std::string ReadReports()
{
    const UnicodeString file = ReportFile();
    std::ifstream in(std::filesystem::path(std::wstring(file.begin(), file.end())), std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

// Every saved report starts after an empty line with its "date/time" line.
constexpr char kReportStart[] = "\r\n\r\ndate/time";

size_t ReportCount()
{
    const std::string text = ReadReports();
    size_t found = 0;
    for (size_t at = text.find(kReportStart); at != std::string::npos; at = text.find(kReportStart, at + 1))
        ++found;
    return found;
}

// Pumps the calling thread's messages until the file holds that many reports.
bool WaitForReports(size_t count)
{
    const DWORD started = GetTickCount();
    while (GetTickCount() - started < kWaitMs) {
        if (ReportCount() >= count)
            return true;
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
            DispatchMessageW(&message);
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return false;
}

DWORD RunInLibraryThread(TLibraryThreadProc work)
{
    DWORD threadId = 0;
    const HANDLE thread = StartLibraryThread(work, nullptr, 0, &threadId);
    EXPECT_TRUE(thread);
    EXPECT_EQ(WaitForSingleObject(thread, kWaitMs), WAIT_OBJECT_0);
    CloseHandle(thread);
    return threadId;
}

// The report of that number (1 = the oldest) in the file.
// The lines of the crashed thread's call stack, most recent first.
std::vector<std::string> CallStack(const std::string& report, DWORD threadId)
{
    char title[32];
    std::snprintf(title, sizeof title, "thread ($%lx", static_cast<unsigned long>(threadId));
    std::vector<std::string> lines;
    size_t at = report.find(title);
    if (at == std::string::npos)
        return lines;
    for (at = report.find('\n', at) + 1; at < report.size() && report[at] != '\r'; at = report.find('\n', at) + 1)
        lines.push_back(report.substr(at, report.find('\r', at) - at));
    return lines;
}

std::string NthReport(size_t number)
{
    const std::string text = ReadReports();
    size_t at = std::string::npos;
    for (size_t index = 0; index < number; ++index)
        at = text.find(kReportStart, at == std::string::npos ? 0 : at + 1);
    if (at == std::string::npos)
        return {};
    const size_t next = text.find(kReportStart, at + 1);
    return text.substr(at, next == std::string::npos ? std::string::npos : next - at);
}

class LibraryRoad : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        const TSettingsRef own = GetModuleSettings(GetModuleHandleW(nullptr));
        own->SetSettingBool("CheckFreeze", true);
        own->SetSettingInt("FreezeTimeout", kFreezeTimeoutMs);
        const UnicodeString file = ReportFile();
        DeleteFileW(reinterpret_cast<LPCWSTR>(file.c_str()));
        ASSERT_EQ(StartCrashLibrary(), TLibraryState::Active);
        ASSERT_TRUE(FreezeWatchdog().Running()) << "the watchdog needs the main thread's handler window";
        // No dialog: the automatic actions save the report and the program goes on.
        own->SetGnShowCfg(4);
        own->SetBugRepFile(file);
        own->SetPlWaitBox(false);
    }

    static void TearDownTestSuite() { StopCrashLibrary(); }
};

DWORD ThrowingWork(void*)
{
    RoadThrowingCaller();
    return 0;
}

DWORD FaultingWork(void*)
{
    RoadFaultingWork();
    return 0;
}

DWORD NamingWork(void*)
{
    // Type, name, thread (-1: the calling one), flags, one word each on either architecture.
    const ULONG_PTR info[] = {0x1000, reinterpret_cast<ULONG_PTR>("named by the debugger convention"),
                              static_cast<ULONG_PTR>(-1), 0};
    RaiseException(0x406D1388, 0, 4, info);
    const auto entry = GetThreadEntry(GetCurrentThreadId());
    return entry && entry->name == u"named by the debugger convention" ? 0 : 1;
}

TEST_F(LibraryRoad, ACppExceptionEscapingALibraryThreadIsReportedAndTheProgramGoesOn)
{
    const DWORD threadId = RunInLibraryThread(&ThrowingWork);
    ASSERT_TRUE(WaitForReports(1)) << ReadReports();
    const std::string report = NthReport(1);
    EXPECT_NE(report.find("std::runtime_error"), std::string::npos) << report;
    EXPECT_NE(report.find("escaped from a library thread"), std::string::npos);
    char id[16];
    std::snprintf(id, sizeof id, "($%lx)", static_cast<unsigned long>(threadId));
    EXPECT_NE(report.find(id), std::string::npos) << "the thread that raised is in the report";
    // Traced from what the raise kept: the frames were gone when the thread's catch reported.
    const std::vector<std::string> stack = CallStack(report, threadId);
    ASSERT_GE(stack.size(), 2u) << report;
    EXPECT_NE(stack[0].find("RoadThrowingWork"), std::string::npos) << "the thrower first\n" << report;
    EXPECT_NE(stack[1].find("RoadThrowingCaller"), std::string::npos) << "then its caller\n" << report;
}

TEST_F(LibraryRoad, AnAccessViolationInTheLibrarysCodeIsReportedWithItsSiteFirst)
{
    const DWORD threadId = RunInLibraryThread(&FaultingWork);
    ASSERT_TRUE(WaitForReports(2)) << ReadReports();
    const std::string report = NthReport(2);
    EXPECT_NE(report.find("Access violation"), std::string::npos) << report;
    const std::vector<std::string> stack = CallStack(report, threadId);
    ASSERT_FALSE(stack.empty()) << report;
    EXPECT_NE(stack[0].find("RoadFaultingWork"), std::string::npos) << "the crash site is named first\n" << report;
}

TEST_F(LibraryRoad, TheThreadNamingExceptionNamesAndReportsNothing)
{
    const std::string before = ReadReports();
    DWORD threadId = 0;
    const HANDLE thread = StartLibraryThread(&NamingWork, nullptr, 0, &threadId);
    ASSERT_TRUE(thread);
    ASSERT_EQ(WaitForSingleObject(thread, kWaitMs), WAIT_OBJECT_0);
    DWORD exitCode = 1;
    GetExitCodeThread(thread, &exitCode);
    CloseHandle(thread);
    EXPECT_EQ(exitCode, 0u) << "the thread was named";
    EXPECT_EQ(ReadReports(), before);
}

TEST_F(LibraryRoad, AFrozenMainThreadIsReportedOnceItStopsAnswering)
{
    const std::string before = ReadReports();
    // The main thread answers nothing for a while.
    Sleep(4 * kFreezeTimeoutMs);
    ASSERT_TRUE(WaitForReports(3)) << ReadReports().substr(before.size());
    const std::string report = NthReport(3);
    EXPECT_NE(report.find("frozen"), std::string::npos) << report;
    EXPECT_NE(report.find("main thread"), std::string::npos);
}

} // namespace
