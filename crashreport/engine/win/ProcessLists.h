#pragma once
// The current process's threads and modules, and thread handles by id.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "text/ZelTypes.h"

struct TModuleEntry {
    HMODULE module;
    UnicodeString fileName; // without folder
};

// In the order in which the system lists them.
std::vector<uint32_t> EnumerateThreads();
// Every image in the address space, in address order.
std::vector<TModuleEntry> EnumerateModules();
// A handle that child processes do not inherit; 0 when the thread cannot be opened.
HANDLE OpenThreadHandle(uint32_t threadId, DWORD access);
