#pragma once
// The linker's debugger-symbol data ("FB09" or "FB0A"): a ring of subsection directories with
// a names table, modules with their code segments, source files with line numbers, and
// symbols. Every position, count and record is checked against the data, and the directory
// ring is walked at most once around.
#include <string_view>

#include "debuginfo/MapFile.h"

struct TSymbolDataOptions {
    bool acceptFB09 = true;
    // Distance between the starts of the module's first and second section, added to the
    // lines of segment 2 when that section is code too; 0 otherwise.
    uint64_t secondCodeSectionOffset = 0;
};

// False (nothing added) when the data is not of an accepted form.
bool LoadDebuggerSymbolData(std::string_view data, const TSymbolDataOptions& options, TMapFile& map);
