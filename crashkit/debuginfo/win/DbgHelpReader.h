#pragma once
// A program database read through the system's debug helper (dbghelp.dll): functions and, where
// the helper has them, lines. Every use is serialised across the process by a named mutex that
// is waited for with a time-out, and every call into the helper is guarded: some of its entry
// points are stubs that raise.
#include "debuginfo/MapFile.h"

// False when the helper, one of its entry points or the module cannot be had, or the mutex
// is not free in time.
bool LoadProgramDatabase(const UnicodeString& moduleFileName, uint64_t moduleBase, TMapFile& map);
