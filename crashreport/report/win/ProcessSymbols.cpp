#include "ProcessSymbols.h"

#include "debuginfo/DebugInfoHooks.h"
#include "debuginfo/win/ProcessDebugInfo.h"
#include "system/PeImage.h"
#include "text/Utf.h"

namespace {

const void* Pointer(CodeAddress address)
{
    return reinterpret_cast<const void*>(static_cast<uintptr_t>(address));
}

} // namespace

const TMapFile& TProcessSymbols::MapAt(CodeAddress address) const
{
    MEMORY_BASIC_INFORMATION region{};
    uintptr_t base = 0;
    if (VirtualQuery(Pointer(address), &region, sizeof region) == sizeof region)
        base = reinterpret_cast<uintptr_t>(region.AllocationBase);
    auto found = maps_.find(base);
    if (found == maps_.end())
        found = maps_.emplace(base, FindMapFile(Pointer(address))).first;
    return *found->second;
}

std::string TProcessSymbols::NameOf(CodeAddress address) const
{
    return WideToUTF8(DebugInfoNameOf(MapAt(address), address));
}

std::uint32_t TProcessSymbols::LineOf(CodeAddress address) const
{
    int32_t line = 0;
    uint64_t rangeStart = 0;
    uint64_t rangeEnd = 0;
    DebugInfoLineOf(MapAt(address), address, line, rangeStart, rangeEnd);
    return static_cast<std::uint32_t>(line > 0 ? line : 0);
}

std::optional<TModuleRange> TProcessSymbols::ModuleOf(CodeAddress address) const
{
    const std::optional<TModuleIdentity> module = modules_.ModuleAt(address);
    if (!module)
        return std::nullopt;
    const std::optional<TPeHeaders> headers = ReadPeHeaders(modules_.Memory(), module->handle);
    const uint64_t end = module->handle + (headers ? headers->sizeOfImage : 0);
    return TModuleRange{static_cast<CodeAddress>(module->handle), static_cast<CodeAddress>(end),
                        WideToUTF8(module->fileName)};
}
