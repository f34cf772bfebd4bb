#include "LoaderLock.h"

// The system header reads the thread's environment block through a segment register, which
// GCC takes for an access to an empty array.
#pragma GCC diagnostic ignored "-Warray-bounds"
#include <windows.h>

#include <cstddef>

namespace {

// Where the thread's environment block keeps the process environment block, and where that
// keeps its pointer to the loader's critical section.
#if defined(__x86_64__)
constexpr size_t kProcessBlockOffset = 0x60;
constexpr size_t kLoaderLockOffset = 0x110;
#else
constexpr size_t kProcessBlockOffset = 0x30;
constexpr size_t kLoaderLockOffset = 0xA0;
#endif

} // namespace

bool IsLoaderLocked()
{
    const auto* thread = reinterpret_cast<const unsigned char*>(NtCurrentTeb());
    const auto* environment = *reinterpret_cast<const unsigned char* const*>(thread + kProcessBlockOffset);
    const auto* lock = *reinterpret_cast<CRITICAL_SECTION* const*>(environment + kLoaderLockOffset);
    return lock && reinterpret_cast<uintptr_t>(lock->OwningThread) == GetCurrentThreadId();
}
