#pragma once
// HandleException: what a capture point caught becomes a request for the handling thread; the
// raising thread waits for it (the main thread pumps its messages meanwhile). Under the loader
// lock the request is handled right here instead, as no thread could answer.
#include <windows.h>

#include <functional>

#include "capture/win/ExceptionSink.h"
#include "dispatch/win/HandlingThread.h"

class TExceptionDispatcher final : public IExceptionSink {
public:
    struct TSeams {
        // Handles a request on the raising thread (under the loader lock).
        THandlingThread::THandler handleInline;
        // Ends the host for an abort that may not continue.
        std::function<void()> closeHost;
        // A thread that works on the report being handled (its builder, its sender): what it
        // raises is not reported, or a fault there would report itself for ever.
        std::function<bool(DWORD threadId)> isReportThread;
        // The thread whose messages are pumped while it waits (0: none).
        std::function<DWORD()> mainThreadId;
        // Handlers run on the main thread for the handling thread right now.
        std::function<bool()> mainThreadBusy;
        // Whether the loader lock stays held that long.
        std::function<bool(int milliseconds)> loaderLocked;
        // Hands an access violation to the system's fault reporting when that is there and the
        // settings of the faulting module want it; true when it was handed over.
        std::function<bool(const EXCEPTION_RECORD& record, const CONTEXT& context)> reportSystemFault;
    };

    TExceptionDispatcher(THandlingThread& thread, TSeams seams) : thread_(thread), seams_(std::move(seams)) {}

    void HandleException(const TCaughtException& exception) override;
    DWORD HandlingThreadId() const override { return thread_.ThreadId(); }

private:
    bool Ignored() const;
    // True once the request was handled (not when its waiter gave up).
    bool Submit(const THandlingRequest& request, TRequestCopies& copies) const;
    bool WaitPumping(HANDLE event) const;

    THandlingThread& thread_;
    TSeams seams_;
};
