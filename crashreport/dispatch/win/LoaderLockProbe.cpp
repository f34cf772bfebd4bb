#include "LoaderLockProbe.h"

// The system header reads the thread's environment block through a segment register, which
// GCC takes for an access to an empty array.
#pragma GCC diagnostic ignored "-Warray-bounds"
#include <windows.h>

#include <atomic>
#include <cstddef>

namespace {

// Where the thread's environment block keeps the process environment block, and where that
// keeps its pointers to the loader's lock and the fast process lock.
#if defined(__x86_64__)
constexpr size_t kProcessBlockOffset = 0x60;
constexpr size_t kLoaderLockOffset = 0x110;
constexpr size_t kFastLockOffset = 0x38;
#else
constexpr size_t kProcessBlockOffset = 0x30;
constexpr size_t kLoaderLockOffset = 0xA0;
constexpr size_t kFastLockOffset = 0x1C;
#endif
constexpr int kStepMs = 10;

std::atomic<bool> transition{false};

const CRITICAL_SECTION* ProcessLock(size_t offset)
{
    const auto* thread = reinterpret_cast<const unsigned char*>(NtCurrentTeb());
    const auto* environment = *reinterpret_cast<const unsigned char* const*>(thread + kProcessBlockOffset);
    return *reinterpret_cast<const CRITICAL_SECTION* const*>(environment + offset);
}

// A section counts as held while a thread owns it; one held by the caller can never be let go
// while it waits, so it is held for good.
bool Held(const CRITICAL_SECTION* section, bool& byCaller)
{
    if (!section)
        return false;
    const auto owner = reinterpret_cast<uintptr_t>(section->OwningThread);
    byCaller = byCaller || owner == GetCurrentThreadId();
    return owner != 0;
}

} // namespace

bool IsLoaderLocked(int milliseconds)
{
    if (transition.load())
        return true;
    for (;;) {
        bool byCaller = false;
        const bool held = Held(ProcessLock(kLoaderLockOffset), byCaller) | Held(ProcessLock(kFastLockOffset), byCaller);
        if (!held)
            return false;
        if (byCaller || milliseconds < 1)
            return true;
        milliseconds -= kStepMs;
        Sleep(kStepMs);
    }
}

void SetLibraryTransition(bool inProgress)
{
    transition = inProgress;
}
