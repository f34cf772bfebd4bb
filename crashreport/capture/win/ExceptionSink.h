#pragma once
// Where every capture point hands what it caught: the exception handling of the library takes
// it from here. Until a sink is set, captured exceptions go nowhere.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "text/ZelTypes.h"

enum class TRequestKind : uint8_t { Exception = 0, Freeze = 1, RaiseNotification = 2 };

// Which capture point reported.
enum class TCaptureSource : uint8_t {
    ReportCurrent = 0,
    Freeze = 1,
    UtilityShowException = 3,
    AppShowException = 4,
    WindowProcedure = 5,
    CgiApplication = 6,
    WebExtension = 7,
    RuntimeError = 11,
    ThreadHandler = 13,
    SystemException = 14,
    RaiseNotification = 15,
};

// An exception that was current when a newer one was raised on the same thread.
struct TCaughtInner {
    AnsiString className;
    AnsiString message;
    bool external = false; // an operating-system exception
    const void* address = nullptr;
};

struct TCaughtException {
    TRequestKind kind = TRequestKind::Exception;
    TCaptureSource source = TCaptureSource::ReportCurrent;
    const void* object = nullptr; // the thrown object, when known
    AnsiString className;
    AnsiString message;
    const void* address = nullptr; // where it was raised or the fault happened
    bool continueAllowed = true;
    const CONTEXT* context = nullptr; // of a fault, when known
    const EXCEPTION_RECORD* record = nullptr; // of a fault, when known
    uintptr_t firstExtra = 0;         // the window of a window procedure
    uintptr_t secondExtra = 0;
    std::vector<TCaughtInner> inner; // oldest first
    // Receives the complete report when the handling shows nothing (a host without an interface
    // answers its failed request with it); null: none wanted.
    UnicodeString* resultText = nullptr;
};

class IExceptionSink {
public:
    virtual ~IExceptionSink() = default;
    // Returns when the exception was handled (reported, shown, sent as the settings say).
    virtual void HandleException(const TCaughtException& exception) = 0;
    // The thread that handles exceptions: nothing it raises is notified.
    virtual DWORD HandlingThreadId() const { return 0; }
};

// Replaces the sink; null takes it away. The sink must outlive its use.
void SetExceptionSink(IExceptionSink* sink);
IExceptionSink* ExceptionSink();
// Hands the exception to the sink, when there is one.
void ReportCaught(const TCaughtException& exception);
