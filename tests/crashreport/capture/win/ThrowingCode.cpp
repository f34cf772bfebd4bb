#include "ThrowingCode.h"

#include <stdexcept>

namespace {

volatile int calls = 0;

} // namespace

__attribute__((noinline)) void ThrowWithMarkedFrame(uintptr_t* markedArea)
{
    volatile uint32_t area[kMarkWords];
    for (size_t word = 0; word < kMarkWords; ++word)
        area[word] = kMark + static_cast<uint32_t>(word);
    *markedArea = reinterpret_cast<uintptr_t>(area); // read back only while the frame is kept
    if (calls >= 0)
        throw std::runtime_error("thrown with a marked frame");
}

__attribute__((noinline)) void CallThrowWithMarkedFrame(uintptr_t* markedArea)
{
    ThrowWithMarkedFrame(markedArea);
    calls = calls + 1;
}

uintptr_t ThrowerStart()
{
    return reinterpret_cast<uintptr_t>(&ThrowWithMarkedFrame);
}
