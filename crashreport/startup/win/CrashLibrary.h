#pragma once
// Start and end of the crash library in the image that carries it, in a fixed order: the
// restart hand-over, the main settings and the module checks, the thread-name buffer, then,
// when enabled, the capture, the handling thread, the main thread's handler window, the freeze
// watchdog and the emergency reserve. The end undoes them in reverse.
#include <cstdint>

enum class TLibraryState : uint8_t {
    Inactive, // no settings, disabled, or a corrupt module file
    Active,
};

TLibraryState StartCrashLibrary();
void StopCrashLibrary();
