#pragma once
// What the handler lists and the pausing need to know of an exception being handled. The
// bug-report object implements it; tests implement it with plain values.
#include <cstdint>

enum class TAssistantOutcome : uint8_t {
    None,     // no assistant is named for the action, or it does not load
    Accepted, // the user finished it with OK; its fields went into the report
    Declined, // closed any other way
};

class IHandlerException {
public:
    virtual ~IHandlerException() = default;
    // The handling phase the exception is in (0, 1, 2, ...).
    virtual uint8_t Phase() const = 0;
    // False when the option set of the exception says NoHandlers.
    virtual bool HandlersAllowed() const = 0;
    virtual bool IsFreezeReport() const = 0;
    // The PauseThreads choice for this exception.
    virtual bool PausesThreads() const = 0;
    // Returns once the report text is complete.
    virtual void CompleteReport() = 0;
    // True when a report callback asked (by its flag) for the finished report before the
    // application restarts or closes.
    virtual bool ReportAwaited() const = 0;
    // Shows the send (0), save (1) or print (2) assistant of the exception's settings modally
    // over the owner window (opaque; 0 for none) and collects its fields.
    virtual TAssistantOutcome RunAssistant(uint8_t action, void* owner) = 0;
};
