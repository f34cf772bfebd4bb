#pragma once
// The host runtime's routines in its loaded packages, found by their mangled export names.
#include <windows.h>

#include <array>

#include "capture/RuntimeExportNames.h"

// The module found before when it exports the name; else the package base name + version +
// ".bpl" when loaded and exporting it; else the first loaded ".bpl" module that exports it.
HMODULE FindPackageExport(HMODULE foundBefore, const char* packageBaseName, unsigned version,
                          const char* exportName);

struct TPackageRoutines {
    std::array<const void*, kRuntimeRoutineCount> address{}; // by TRuntimeRoutine; null when not found
    bool alreadyPatched = false; // the found ShowException starts with a jump: nothing is taken

    const void* operator[](TRuntimeRoutine routine) const { return address[static_cast<size_t>(routine)]; }
};

// Looks every routine up in the loaded packages (the search reuses the module of the package
// it found before).
TPackageRoutines FindPackageRoutines();
