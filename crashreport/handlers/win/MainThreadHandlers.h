#pragma once
// Handlers that must run on the main thread get there through a registered message of the
// hidden handler window of the thread that started the library: a probe (answered 777 within
// 1500 ms) first, then the run itself.
#include <windows.h>

#include <atomic>

#include "handlers/HandlerLists.h"

class TMainThreadHandlers {
public:
    static constexpr LRESULT kAnswer = 777;
    static constexpr UINT kProbeTimeoutMs = 1500;

    TMainThreadHandlers() = default;
    ~TMainThreadHandlers() { Stop(); }
    TMainThreadHandlers(const TMainThreadHandlers&) = delete;
    TMainThreadHandlers& operator=(const TMainThreadHandlers&) = delete;

    // Makes the calling thread the main thread; false without a handler window (the thread is
    // the main thread all the same, but its handlers run nowhere else).
    bool Start();
    // On the main thread, or from another while the main thread still runs.
    void Stop();

    HWND Window() const { return window_; }
    DWORD ThreadId() const { return threadId_; }
    bool OnMainThread() const { return threadId_ != 0 && GetCurrentThreadId() == threadId_; }
    // Handlers run on the main thread right now.
    bool Busy() const { return busy_; }

    // Runs the main thread's handlers of the run there; false when the main thread does not
    // answer the probe.
    bool RunOnMainThread(THandlerRun& run);
    // Makes the main thread look at its queue.
    void Wake() const;

private:
    static void OnMessage(void* self, HWND window, UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);

    // Set and cleared on the main thread, read by every thread.
    std::atomic<HWND> window_{nullptr};
    std::atomic<DWORD> threadId_{0};
    std::atomic<UINT> message_{0};
    std::atomic<bool> busy_{false};
};

// The main-thread handlers of this copy of the library.
TMainThreadHandlers& MainThreadHandlers();

// Fires the list: the handlers of the calling thread, those of the main thread through its
// window (or here when it does not answer or the exception is a freeze report), and for an
// unhandled send, save or print with an owner window the assistant of that action.
void FireHandlers(HWND owner, THandlerKind kind, uint8_t action, bool& handled, IHandlerException& exception);
