// Time to build a complete bug report (header, every thread's stack, registers, stack dump,
// disassembly) for a process with 10 threads, one of them the "crashed" one, stopped with its
// registers taken, with the default list sections (modules, processes, hardware). Like a host, it
// has Conduvex.dll loaded (from beside it), so the first report reads that DLL's debug
// information too; a host's first crash is its first report, so the aim holds for that one.
// Not a test: prints its figures. Aim: under 300 ms under Wine.
#include <windows.h>

#include <chrono>
#include <cstdio>
#include <thread>
#include <vector>

#include "ReportBuilder.h"
#include "plugins/win/ListPlugins.h"
#include "report/ReportText.h"
#include "threads/ThreadNameBuffer.h"
#include "threads/ThreadNames.h"

namespace {

constexpr int kThreads = 10;
constexpr int kRounds = 5;
constexpr double kAimMs = 300;

__attribute__((noinline)) void Wait(HANDLE release, int depth)
{
    if (depth > 0)
        Wait(release, depth - 1);
    else
        WaitForSingleObject(release, INFINITE);
    asm volatile("" ::: "memory");
}

double Milliseconds(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main()
{
    HMODULE library = LoadLibraryW(L"Conduvex.dll");
    ThreadNameBuffer().Open();
    NameThread(GetCurrentThreadId(), u"main");
    HANDLE release = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    std::vector<std::thread> workers;
    for (int i = 0; i < kThreads - 1; ++i) {
        workers.emplace_back([release, i] {
            NameThread(GetCurrentThreadId(), u"worker " + std::u16string(1, static_cast<char16_t>(u'0' + i)));
            Wait(release, 3 + i);
        });
    }
    Sleep(200);
    HANDLE crashed = pthread_gethandle(workers.front().native_handle());
    SuspendThread(crashed);
    TReportSubject subject;
    subject.crashedThreadId = GetThreadId(crashed);
    CONTEXT context{};
    context.ContextFlags = CONTEXT_FULL;
    GetThreadContext(crashed, &context);
    subject.context = context;
    subject.exceptClass = u"EAccessViolation";
    subject.exceptMessage = u"Access violation";
    GetLocalTime(&subject.exceptTime);
    subject.sectionPlugins = {{u"modules", ListModules}, {u"processes", ListProcesses}, {u"hardware", ListHardware}};

    auto start = std::chrono::steady_clock::now();
    size_t length = ReportText(BuildReport(subject)).size();
    const double first = Milliseconds(start);
    start = std::chrono::steady_clock::now();
    for (int round = 0; round < kRounds; ++round)
        length = ReportText(BuildReport(subject)).size();
    const double later = Milliseconds(start) / kRounds;
    start = std::chrono::steady_clock::now();
    TReportBuilder header(subject);
    header.Header();
    const double headerOnly = Milliseconds(start);
    std::printf("report of %d threads%s: first %.1f ms (debug information loaded), then %.1f ms each "
                "(header alone %.1f ms); %zu characters\n",
                kThreads, library ? " with Conduvex.dll loaded" : " (Conduvex.dll not found)", first, later, headerOnly,
                length);
    std::printf("aim of %.0f ms %s by the first report, %s by later ones\n", kAimMs, first < kAimMs ? "met" : "MISSED",
                later < kAimMs ? "met" : "MISSED");

    ResumeThread(crashed);
    SetEvent(release);
    for (std::thread& worker : workers)
        worker.join();
    CloseHandle(release);
    if (library)
        FreeLibrary(library);
    return 0;
}
