#pragma once
// Runs a piece of the report that may fail in any way: a C++ exception or a fault of the
// processor stops that piece only. The piece must not hold our locks when it faults.
#include <exception>

#include "debuginfo/win/ExceptionGuard.h"
#include "text/Utf.h"

// False when the body raised; failure then says what was raised.
template <typename Body>
bool RunGuarded(Body&& body, UnicodeString& failure)
{
    try {
        if (CallGuarded([&body] { body(); }))
            return true;
        failure = u"a processor exception";
    } catch (const std::exception& error) {
        failure = UTF8ToWide(error.what());
    } catch (...) {
        failure = u"an unknown exception";
    }
    return false;
}

template <typename Body>
bool RunGuarded(Body&& body)
{
    UnicodeString failure;
    return RunGuarded(body, failure);
}
