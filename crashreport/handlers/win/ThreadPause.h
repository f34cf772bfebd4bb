#pragma once
// Pausing of the host's threads while an exception is handled: two gates (the main thread,
// the paused threads) that the message-retrieval hooks pass through.
#include <windows.h>

#include <mutex>
#include <vector>

#include "handlers/win/KernelHandle.h"

class TThreadPause {
public:
    using THookInstaller = void (*)();

    // Installed on the first pause (not on a resume before it): puts the gate into the message
    // retrieval.
    void SetHookInstaller(THookInstaller installer);

    // Pause: closes both gates and notes the threads to pause (not the calling one, not the
    // main thread, not keep; only threads whose named start routine lies in a module with the
    // library's debug information). Resume: opens both gates. Either way the main thread is
    // woken.
    void Pause(bool pause, DWORD keep);
    // Waits at the gate of the calling thread while it is closed; keeps the last error.
    void Gate() const;
    // Opens the main thread's gate for a call to the main thread; true when it was closed.
    bool LetMainThreadPass() const;
    void CloseMainThreadGate() const;

    std::vector<DWORD> PausedThreads() const;

private:
    std::vector<DWORD> ThreadsToPause(DWORD keep) const;

    mutable std::mutex lock_;
    THookInstaller installer_ = nullptr;
    bool hooksInstalled_ = false;
    TKernelHandle mainGate_;
    TKernelHandle othersGate_;
    std::vector<DWORD> paused_;
};

// The pause state of this copy of the library.
TThreadPause& ThreadPause();

// Whether a thread started at that routine may be paused: its module carries the library's
// debug information.
bool IsPausableStart(const void* startAddress);
