#include "ProcessDebugInfo.h"

#include "WinModuleSystem.h"
#include "debuginfo/MapFileCache.h"

namespace {

TMapFileCache& Cache()
{
    static TMapFileCache cache;
    return cache;
}

const TWinModuleSystem& Modules()
{
    static const TWinModuleSystem modules;
    return modules;
}

bool Locate(const void* address, TLocation& location)
{
    const std::shared_ptr<const TMapFile> map = FindMapFile(address);
    return LocateAddress(*map, reinterpret_cast<uintptr_t>(address), location);
}

} // namespace

std::shared_ptr<const TMapFile> FindMapFile(const void* address)
{
    const void* at = address ? address : reinterpret_cast<const void*>(&FindMapFile);
    return Cache().Find(Modules(), reinterpret_cast<uintptr_t>(at));
}

uintptr_t FindOwnRoutine(std::u16string_view unitName, std::u16string_view name)
{
    const std::shared_ptr<const TMapFile> map = FindMapFile(nullptr);
    return map->Valid() ? static_cast<uintptr_t>(map->FindPublicAddress(true, unitName, false, name)) : 0;
}

__attribute__((noinline)) bool GetLocation(const void* address, TLocation& location)
{
    return Locate(address ? address : __builtin_return_address(0), location);
}

__attribute__((noinline)) bool GetMyLocation(TLocation& location)
{
    return Locate(__builtin_return_address(0), location);
}
