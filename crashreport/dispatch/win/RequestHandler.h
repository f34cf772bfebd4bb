#pragma once
// The handling of one request on the handling thread (or inline under the loader lock): the
// exception object with the option set of its class, the handler phases, the dialog or the
// automatic actions, and whether the host continues, restarts or closes.
#include <windows.h>

#include <cstdint>
#include <functional>
#include <mutex>

#include "dispatch/ExceptionHistory.h"
#include "dispatch/win/HandlingRequest.h"
#include "model/win/ZelException.h"

class TRequestHandler {
public:
    // Seconds since 1601-01-01 UTC.
    using TClock = std::function<uint64_t()>;

    void Handle(const THandlingRequest& request, TRequestCopies& copies);

    // The history of handled exceptions (taken over from a restarted predecessor at start-up).
    TExceptionHistory History() const;
    void SetHistory(const TExceptionHistory& history);
    // Replaces the clock (tests); null restores the system's.
    void SetClock(TClock clock);
    // The due test of AutoRestart or AutoClose of that value, now.
    bool IsDue(int32_t value) const;
    // Whether the thread works on the report being handled: its builder or its sender.
    bool IsReportThread(DWORD threadId) const;
    // A console program writes exceptions to standard output and never waits for a dialog.
    void SetConsoleMode(bool on);
    // A host that answers each failed request itself (a web-server extension) shows nothing and
    // no please-wait box: the complete report goes to the request's result text.
    void SetNoInterface(bool on);

private:
    class TCurrentException;

    TIntfPtr<TIZEException> CreateException(const THandlingRequest& request, TRequestCopies& copies) const;
    uint64_t Now() const;
    bool ConsoleMode() const;
    bool NoInterface() const;
    void EndOfHandling(TIZEException& exception, bool handled, TRequestCopies& copies);

    mutable std::mutex lock_;
    TIntfPtr<TIZEException> current_;
    TExceptionHistory history_;
    TClock clock_;
    bool consoleMode_ = false;
    bool noInterface_ = false;
};

// The request handling of this copy of the library.
TRequestHandler& RequestHandler();

// Saves the report into the bug-report file once per exception, when AutoSave says so (after
// sending: AutoSaveIfNotSent saves only a report that was not sent).
void AutoSaveReport(TIZEException& exception, bool afterSending);
// The completion callback of the automatic actions: send once, then copy to the clipboard.
void AutoSendCallback(bool complete, const UnicodeString& text, IZEException* exception);
// Makes sure the report is complete, saves it, and with wait waits for a background sender.
void FinishReport(TIZEException& exception, bool wait);
