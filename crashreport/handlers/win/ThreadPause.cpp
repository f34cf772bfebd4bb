#include "handlers/win/ThreadPause.h"

#include <algorithm>

#include "engine/win/ProcessLists.h"
#include "handlers/win/LibraryThreadRegistry.h"
#include "handlers/win/MainThreadHandlers.h"
#include "threads/ThreadNames.h"

void TThreadPause::SetHookInstaller(THookInstaller installer)
{
    const std::lock_guard<std::mutex> guard(lock_);
    installer_ = installer;
}

void TThreadPause::Pause(bool pause, DWORD keep)
{
    THookInstaller install = nullptr;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (!mainGate_) {
            mainGate_ = MakeManualEvent(true);
            othersGate_ = MakeManualEvent(true);
        }
        if (pause && !hooksInstalled_) {
            hooksInstalled_ = true;
            install = installer_;
        }
    }
    if (install)
        install();
    if (pause) {
        std::vector<DWORD> paused = ThreadsToPause(keep);
        const std::lock_guard<std::mutex> guard(lock_);
        paused_ = std::move(paused);
        ResetEvent(mainGate_.Get());
        ResetEvent(othersGate_.Get());
    } else {
        const std::lock_guard<std::mutex> guard(lock_);
        SetEvent(mainGate_.Get());
        SetEvent(othersGate_.Get());
        paused_.clear();
    }
    MainThreadHandlers().Wake();
}

void TThreadPause::Gate() const
{
    const DWORD lastError = GetLastError();
    const DWORD self = GetCurrentThreadId();
    HANDLE gate = nullptr;
    {
        const std::lock_guard<std::mutex> guard(lock_);
        if (self == MainThreadHandlers().ThreadId())
            gate = mainGate_.Get();
        else if (std::find(paused_.begin(), paused_.end(), self) != paused_.end())
            gate = othersGate_.Get();
    }
    if (gate)
        WaitForSingleObject(gate, INFINITE);
    SetLastError(lastError);
}

bool TThreadPause::LetMainThreadPass() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    if (!mainGate_ || WaitForSingleObject(mainGate_.Get(), 0) == WAIT_OBJECT_0)
        return false;
    SetEvent(mainGate_.Get());
    return true;
}

void TThreadPause::CloseMainThreadGate() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    if (mainGate_)
        ResetEvent(mainGate_.Get());
}

std::vector<DWORD> TThreadPause::PausedThreads() const
{
    const std::lock_guard<std::mutex> guard(lock_);
    return paused_;
}

std::vector<DWORD> TThreadPause::ThreadsToPause(DWORD keep) const
{
    const DWORD self = GetCurrentThreadId();
    const DWORD mainThread = MainThreadHandlers().ThreadId();
    const std::vector<uint32_t> library = RegisteredLibraryThreads();
    std::vector<DWORD> paused;
    for (const uint32_t thread : EnumerateThreads()) {
        if (thread == self || thread == mainThread || thread == keep ||
            std::find(library.begin(), library.end(), thread) != library.end())
            continue;
        const std::optional<TThreadEntryInfo> entry = GetThreadEntry(thread);
        if (entry && IsPausableStart(entry->startAddress))
            paused.push_back(thread);
    }
    return paused;
}

TThreadPause& ThreadPause()
{
    static TThreadPause pause;
    return pause;
}

bool IsPausableStart(const void* startAddress)
{
    HMODULE module = nullptr;
    if (!startAddress ||
        !GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCWSTR>(startAddress), &module))
        return false;
    return FindResourceW(module, L"EXCEPT", L"ZEL") != nullptr;
}
