// Library code that fails, compiled so that a fault unwinds as a C++ exception; exported, so that
// the report names it without debug information.
#include <windows.h>

#include <stdexcept>

namespace {

// Read at run time, so that the compiler cannot tell that the thrower never returns.
volatile bool throwing = true;
volatile int calls = 0;

} // namespace

extern "C" __declspec(dllexport) __attribute__((noinline)) void RoadFaultingWork()
{
    *static_cast<volatile int*>(nullptr) = 1;
}

extern "C" __declspec(dllexport) __attribute__((noinline)) void RoadThrowingWork()
{
    if (throwing)
        throw std::runtime_error("escaped from a library thread");
}

// The thrower's caller: its frame lies where the thread's catch later runs.
extern "C" __declspec(dllexport) __attribute__((noinline)) void RoadThrowingCaller()
{
    RoadThrowingWork();
    calls = calls + 1;
}
