#include "capture/win/LibraryThread.h"

#include <memory>

#include "capture/win/RaiseRecord.h"
#include "capture/win/ThrowSnapshot.h"
#include "handlers/win/MainThreadHandlers.h"
#include "threads/ThreadNames.h"

namespace {

struct TThreadStart {
    TLibraryThreadProc routine;
    void* parameter;
};

struct TThreadRun {
    const TThreadStart& start;
    DWORD result = 0;
};

DWORD WINAPI LibraryThreadMain(void* parameter)
{
    const std::unique_ptr<TThreadStart> start(static_cast<TThreadStart*>(parameter));
    TThreadRun run{*start};
    RunLibraryThreadWork(
        [](void* data) {
            auto& thread = *static_cast<TThreadRun*>(data);
            thread.result = thread.start.routine(thread.start.parameter);
        },
        &run);
    return run.result;
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

std::exception_ptr RunLibraryThreadWork(void (*work)(void*), void* data) noexcept
{
    TThrowSnapshot snapshot;
    const TThrowSnapshotScope snapshotScope(snapshot);
    try {
        work(data);
        return nullptr;
    } catch (...) {
        snapshot.Freeze();
        // The raising frames lay below this one: a gap opened here reaches below them, the kept
        // stack goes back where it lay, and the report is made further down, so the trace of
        // this thread reads the raising code's stack.
        const size_t gapSize = snapshot.GapBelow(reinterpret_cast<uintptr_t>(__builtin_frame_address(0)));
        const auto gap = reinterpret_cast<uintptr_t>(gapSize ? __builtin_alloca(gapSize) : nullptr);
        snapshot.RestoreInto(gap, gap + gapSize);
        try {
            ReportEscapedException();
            SetThreadEntry(GetCurrentThreadId(), nullptr, {}, 0, nullptr, {});
        } catch (...) {
            // The thread ends all the same.
        }
        return std::current_exception();
    }
}

void ReportEscapedException()
{
    const bool external = CurrentExceptionIsExternal();
    const bool continueAllowed = !MainThreadHandlers().OnMainThread();
    ReportCaught(DescribeCurrentException(external ? TCaptureSource::SystemException : TCaptureSource::ThreadHandler,
                                          continueAllowed));
}
