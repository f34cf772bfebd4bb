#pragma once
// Runs code that may raise a structured exception (the debug helper's stubs do) and turns an
// error or warning exception into a false result. The code must not hold locks of ours or
// own resources when it is interrupted; C++ exceptions pass through.
#include <utility>

bool RunUnderExceptionGuard(void (*body)(void*), void* context);

template <typename Body>
bool CallGuarded(Body&& body)
{
    return RunUnderExceptionGuard([](void* context) { (*static_cast<Body*>(context))(); }, &body);
}
