#pragma once
// The exception-handling thread: reads requests from its pipe one at a time, handles each,
// sets the request's event and wakes the requesting thread's message loop. It lives from the
// library's start to its end, at the highest priority.
#include <windows.h>

#include <atomic>
#include <functional>

#include "WinHandle.h"
#include "dispatch/win/HandlingRequest.h"

class THandlingThread {
public:
    // Runs on the handling thread with the request and its copies (never null).
    using THandler = std::function<void(const THandlingRequest& request, TRequestCopies& copies)>;

    static constexpr DWORD kStopWaitMs = 500;

    THandlingThread() = default;
    ~THandlingThread() { Stop(); }
    THandlingThread(const THandlingThread&) = delete;
    THandlingThread& operator=(const THandlingThread&) = delete;

    // False when the pipe or the thread cannot be made.
    bool Start(THandler handler);
    // Sends the stop request when the loader lock allows waiting, else only closes the pipe,
    // and waits for the thread to finish; one still in a report after that is terminated.
    void Stop();

    // Writes the whole request; false when fewer bytes went in (nothing will be handled then).
    // The request's copies gain the reference the handling thread will own.
    bool Submit(const THandlingRequest& request);

    DWORD ThreadId() const { return threadId_.load(); }
    bool Running() const { return static_cast<bool>(thread_); }

    // Writes raw bytes into the pipe (for the tests of short and stop requests).
    bool WriteRaw(const void* bytes, DWORD size);
    // Bytes written and not yet read.
    DWORD PendingBytes() const;

private:
    static unsigned __stdcall ThreadMain(void* self);
    void Loop();
    void HandleOne(const THandlingRequest& request);

    THandler handler_;
    TWinHandle readEnd_;
    TWinHandle writeEnd_;
    TWinHandle thread_;
    // Set from system code as the thread's last step (win32/ThreadLife.h).
    TWinHandle finished_;
    std::atomic<DWORD> threadId_{static_cast<DWORD>(-1)};
};

// The handling thread of this copy of the library.
THandlingThread& HandlingThread();
