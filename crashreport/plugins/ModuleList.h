#pragma once
// The loaded modules as a report section: one aligned line per module.
#include <cstdint>
#include <vector>

#include "text/ZelTypes.h"

struct TModuleRecord {
    uintptr_t base = 0;
    UnicodeString fileName;
    UnicodeString version;
    UnicodeString path;
};

// The base address in lower-case hex of the pointer's width, the file name and the version each
// padded to its column, then the full path.
UnicodeString ModuleListText(const std::vector<TModuleRecord>& modules);
