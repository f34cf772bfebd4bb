#include <windows.h>

#include "plugins/win/ListPlugins.h"
#include "win32/PathNames.h"

namespace {

constexpr size_t kInitialModules = 32;

// The module's full path when the allocation base is a loaded module; empty otherwise.
UnicodeString ModulePath(void* allocationBase)
{
    wchar_t path[MAX_PATH + 1] = {};
    const DWORD length = GetModuleFileNameW(static_cast<HMODULE>(allocationBase), path, MAX_PATH);
    return UnicodeString(reinterpret_cast<const char16_t*>(path), length);
}

} // namespace

std::vector<TModuleRecord> CollectModules()
{
    std::vector<TModuleRecord> modules;
    modules.reserve(kInitialModules);
    uintptr_t address = 0;
    MEMORY_BASIC_INFORMATION region{};
    while (VirtualQuery(reinterpret_cast<const void*>(address), &region, sizeof region) == sizeof region) {
        if (region.AllocationBase && region.AllocationBase == region.BaseAddress) {
            const UnicodeString path = ModulePath(region.AllocationBase);
            if (!path.empty()) {
                modules.push_back({reinterpret_cast<uintptr_t>(region.AllocationBase), SplitImagePath(path).fileName,
                                   GetFileVersionStr(path), path});
            }
        }
        const uintptr_t next = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= address)
            break;
        address = next;
    }
    return modules;
}

UnicodeString ListModules()
{
    return ModuleListText(CollectModules());
}
