#include "engine/win/LiveObjectCheck.h"

#include <windows.h>

#include "engine/ExceptionObject.h"
#include "win32/MemoryAccess.h"

namespace {

// The image that holds an address: the allocation base of a committed region that names a
// module file.
class TLiveModuleLocator : public IModuleLocator {
public:
    std::optional<uint64_t> ModuleBaseOf(uint64_t address) const override
    {
        MEMORY_BASIC_INFORMATION region{};
        if (VirtualQuery(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)), &region, sizeof region)
                != sizeof region
            || region.State != MEM_COMMIT || !region.AllocationBase)
            return std::nullopt;
        wchar_t name[2];
        if (GetModuleFileNameW(static_cast<HMODULE>(region.AllocationBase), name, 2) == 0)
            return std::nullopt;
        return reinterpret_cast<uintptr_t>(region.AllocationBase);
    }
};

} // namespace

std::optional<TObjectClass> IsValidObject(const void* pointer, std::string_view ancestorName)
{
    if (!pointer)
        return std::nullopt;
    const TLiveMemoryReader memory;
    const TLiveModuleLocator modules;
    return CheckObject({memory, modules, sizeof(void*)}, reinterpret_cast<uintptr_t>(pointer), ancestorName);
}

UnicodeString GetExceptionClassName(const void* object)
{
    const TLiveMemoryReader memory;
    const TLiveModuleLocator modules;
    return ExceptionClassName({memory, modules, sizeof(void*)}, reinterpret_cast<uintptr_t>(object));
}

UnicodeString GetExceptionMessage(const void* object)
{
    const TLiveMemoryReader memory;
    const TLiveModuleLocator modules;
    return ExceptionMessage({memory, modules, sizeof(void*)}, reinterpret_cast<uintptr_t>(object));
}
