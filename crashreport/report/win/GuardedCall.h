#pragma once
// Runs a piece of the report that may fail in any way: a C++ exception or a fault of the
// processor stops that piece only. The piece must not hold our locks when it faults.
#include <cstdint>
#include <exception>

#include "debuginfo/win/ExceptionGuard.h"
#include "text/Utf.h"

// What stopped a piece.
struct TGuardFailure {
    UnicodeString text;
    uint32_t code = 0;     // of a processor exception; 0 for a C++ one
    uintptr_t address = 0; // where the processor exception was raised
};

// Notes the code and address of processor exceptions of the calling thread while it lives.
class TFaultNote {
public:
    explicit TFaultNote(TGuardFailure& failure);
    ~TFaultNote();
    TFaultNote(const TFaultNote&) = delete;
    TFaultNote& operator=(const TFaultNote&) = delete;

private:
    TGuardFailure* outer_;
};

// False when the body raised; failure then says what was raised.
template <typename Body>
bool RunGuarded(Body&& body, TGuardFailure& failure)
{
    try {
        const TFaultNote note(failure);
        if (CallGuarded([&body] { body(); }))
            return true;
        failure.text = u"a processor exception";
    } catch (const std::exception& error) {
        failure.text = UTF8ToWide(error.what());
    } catch (...) {
        failure.text = u"an unknown exception";
    }
    return false;
}

template <typename Body>
bool RunGuarded(Body&& body)
{
    TGuardFailure failure;
    return RunGuarded(body, failure);
}
