#include "runtime/FaultReport.h"

#include <atomic>

namespace {

std::atomic<decltype(TFaultReporting::runThreadWork)> threadWorkRunner{nullptr};
std::atomic<decltype(TFaultReporting::windowProc)> windowProcReporter{nullptr};
std::atomic<decltype(TFaultReporting::thread)> threadReporter{nullptr};
std::atomic<decltype(TFaultReporting::boundary)> boundaryReporter{nullptr};

// The innermost window procedure of the library running on this thread, and whether the thread
// is one of the library's.
thread_local HWND currentWindow = nullptr;
thread_local bool libraryThread = false;

class TLibraryThreadMark {
public:
    TLibraryThreadMark() { libraryThread = true; }
    ~TLibraryThreadMark() { libraryThread = false; }
    TLibraryThreadMark(const TLibraryThreadMark&) = delete;
    TLibraryThreadMark& operator=(const TLibraryThreadMark&) = delete;
};

} // namespace

void SetFaultReporting(const TFaultReporting& reporting)
{
    threadWorkRunner = reporting.runThreadWork;
    windowProcReporter = reporting.windowProc;
    threadReporter = reporting.thread;
    boundaryReporter = reporting.boundary;
}

std::exception_ptr RunThreadWork(void (*work)(void*), void* data) noexcept
{
    const TLibraryThreadMark mark;
    if (const auto runner = threadWorkRunner.load())
        return runner(work, data);
    try {
        work(data);
        return nullptr;
    } catch (...) {
        return std::current_exception();
    }
}

void ReportWindowProcFault(HWND window) noexcept
{
    if (const auto reporter = windowProcReporter.load())
        reporter(window);
}

void ReportFaultWhereItRuns() noexcept
{
    if (currentWindow) {
        ReportWindowProcFault(currentWindow);
    } else if (libraryThread) {
        if (const auto reporter = threadReporter.load())
            reporter();
    } else if (const auto reporter = boundaryReporter.load()) {
        reporter();
    }
}

TWindowProcScope::TWindowProcScope(HWND window) : outer_(currentWindow)
{
    currentWindow = window;
}

TWindowProcScope::~TWindowProcScope()
{
    currentWindow = outer_;
}
