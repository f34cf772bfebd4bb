#include "capture/win/LibraryThread.h"

#include <memory>

#include "capture/win/RaiseRecord.h"
#include "handlers/win/MainThreadHandlers.h"
#include "text/ZelException.h"
#include "threads/ThreadNames.h"

namespace {

struct TThreadStart {
    TLibraryThreadProc routine;
    void* parameter;
};

bool EscapedExceptionIsExternal()
{
    try {
        throw;
    } catch (const EExternal&) {
        return true;
    } catch (...) {
        return false;
    }
}

DWORD WINAPI LibraryThreadMain(void* parameter)
{
    const std::unique_ptr<TThreadStart> start(static_cast<TThreadStart*>(parameter));
    try {
        return start->routine(start->parameter);
    } catch (...) {
        try {
            ReportEscapedException();
            SetThreadEntry(GetCurrentThreadId(), nullptr, {}, 0, nullptr, {});
        } catch (...) {
            // The thread ends all the same.
        }
    }
    return 0;
}

} // namespace

HANDLE StartLibraryThread(TLibraryThreadProc routine, void* parameter, DWORD creationFlags, DWORD* threadId)
{
    auto start = std::make_unique<TThreadStart>(TThreadStart{routine, parameter});
    DWORD id = 0;
    const HANDLE thread = CreateThread(nullptr, 0, &LibraryThreadMain, start.get(), creationFlags, &id);
    if (!thread)
        return nullptr;
    start.release(); // the thread owns it now
    if (threadId)
        *threadId = id;
    return thread;
}

void ReportEscapedException()
{
    const bool external = EscapedExceptionIsExternal();
    const bool continueAllowed = !MainThreadHandlers().OnMainThread();
    ReportCaught(DescribeCurrentException(external ? TCaptureSource::SystemException : TCaptureSource::ThreadHandler,
                                          continueAllowed));
}
