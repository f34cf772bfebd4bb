#include "FaultingCode.h"

#include <windows.h>

int ReadThrough(const volatile int* pointer)
{
    return *pointer;
}

void WriteThrough(volatile int* pointer, int value)
{
    *pointer = value;
}

int Divide(int dividend, int divisor)
{
    const volatile int kept = divisor; // not folded away
    return dividend / kept;
}

namespace {

struct TCleanupCounter {
    int& cleanups;
    ~TCleanupCounter() { ++cleanups; }
};

} // namespace

__attribute__((noinline)) int ReadInFrame(const volatile int* pointer, int& cleanups)
{
    const TCleanupCounter counter{cleanups};
    volatile int local[8] = {};
    local[cleanups & 7] = static_cast<int>(GetTickCount());
    return local[0] + *pointer;
}
