#include "ExceptionGuard.h"

#include "FaultGuard.h"

namespace {

// Errors (0xC...) and warnings (0x8...); C++ exceptions and debugger notices are neither.
bool IsGuarded(uint32_t code)
{
    return (code & 0x80000000) != 0;
}

} // namespace

bool RunUnderExceptionGuard(void (*body)(void*), void* context)
{
    return RunUnderFaultGuard(IsGuarded, body, context);
}
