#pragma once
// A thrower whose frame holds a marked area, for the checks of what a raise keeps of its stack.
#include <cstddef>
#include <cstdint>

constexpr size_t kMarkWords = 16;
constexpr uint32_t kMark = 0x5EA51DE5;

// Fills its marked area, tells where it lies, and throws a std::runtime_error.
void ThrowWithMarkedFrame(uintptr_t* markedArea);
// The same through a caller of its own.
void CallThrowWithMarkedFrame(uintptr_t* markedArea);
// Where the thrower's code lies: [start, start + extent).
uintptr_t ThrowerStart();
constexpr uintptr_t kThrowerExtent = 512;
