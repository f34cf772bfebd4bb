#pragma once
// Start and end of the crash library in the image that carries it, in a fixed order: the
// restart hand-over, the main settings and the module checks, the thread-name buffer, then,
// when enabled, the capture, the handling thread, the main thread's handler window, the freeze
// watchdog and the emergency reserve. The end undoes them in reverse.
#include <cstdint>

enum class TLibraryState : uint8_t {
    Inactive, // no settings, or disabled
    Active,
    Corrupt, // a checked module file is corrupt: the image that carries the library must not load
};

TLibraryState StartCrashLibrary();
void StopCrashLibrary();
// What the last start came to (Inactive before any).
TLibraryState CrashLibraryState();
