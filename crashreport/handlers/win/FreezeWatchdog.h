#pragma once
// The freeze watchdog: a thread that pings a thread's handler window at an interval and
// reports a freeze after ten unanswered pings, then waits longer for the next one. Only one
// watchdog of the process runs at a time (the watchdog mutex of the thread-name buffer); none
// pings while an exception is being handled.
#include <windows.h>

#include <atomic>
#include <memory>
#include <mutex>

#include "handlers/FreezeCounter.h"
#include "handlers/win/KernelHandle.h"

class TFreezeWatchdog {
public:
    // Hands the freeze to the exception handling; runs on the watchdog thread.
    using TFreezeReport = void (*)(void* context);

    static constexpr LRESULT kAnswer = 777;
    static constexpr DWORD kStopWaitMs = 500;

    TFreezeWatchdog() = default;
    ~TFreezeWatchdog() { Stop(); }
    TFreezeWatchdog(const TFreezeWatchdog&) = delete;
    TFreezeWatchdog& operator=(const TFreezeWatchdog&) = delete;

    // Watches the thread of the handler window; false without a window, or when running.
    bool Start(HWND window, int32_t freezeTimeoutMs, TFreezeReport report, void* context);
    void Stop();
    // Handling of an exception begins (true) or ends (false); calls nest.
    void MarkHandling(bool begin);

    bool Running() const { return running_; }
    DWORD ThreadId() const { return threadId_; }
    // 0 when not running.
    uint32_t Interval() const;
    uint32_t Misses() const;

private:
    static unsigned __stdcall ThreadMain(void* self);
    static void OnPing(void* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void Watch();
    bool WaitUntilIdle() const;
    bool MainThreadAnswered() const;

    HWND window_ = nullptr;
    DWORD windowThread_ = 0;
    UINT pingMessage_ = 0;
    TFreezeReport report_ = nullptr;
    void* context_ = nullptr;
    std::unique_ptr<TFreezeCounter> counter_;
    TKernelHandle stop_;
    TKernelHandle idle_; // set while no exception is being handled
    TKernelHandle thread_;
    TKernelHandle finished_; // set from system code as the thread's last step
    std::atomic<DWORD> threadId_{0};
    std::atomic<bool> running_{false};
    std::mutex busyLock_; // guards the busy count and running_ against Stop
    int busyCount_ = -1;
};

// The watchdog of this copy of the library.
TFreezeWatchdog& FreezeWatchdog();
