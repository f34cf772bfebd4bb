#include "ProcessNamer.h"

#include <windows.h>

#include <cstdint>

#include "MapFileNamer.h"
#include "debuginfo/win/ProcessDebugInfo.h"

namespace {

UnicodeString WithoutFolder(const UnicodeString& path)
{
    const size_t slash = path.find_last_of(u"\\/");
    return slash == UnicodeString::npos ? path : path.substr(slash + 1);
}

} // namespace

const TMapFile* TProcessNamer::MapAt(TItemAddress address) const
{
    // Only mapped images are modules; the region's allocation base is the module handle.
    MEMORY_BASIC_INFORMATION region{};
    const auto* pointer = reinterpret_cast<const void*>(static_cast<uintptr_t>(address));
    if (address == 0 || VirtualQuery(pointer, &region, sizeof region) != sizeof region || region.Type != MEM_IMAGE)
        return nullptr;
    const auto handle = reinterpret_cast<uintptr_t>(region.AllocationBase);
    auto found = modules_.find(handle);
    if (found == modules_.end()) {
        if (prepared_)
            return nullptr;
        found = modules_.emplace(handle, FindMapFile(pointer)).first;
    }
    const TMapFile* map = found->second.get();
    if (!map || address < map->Layout().codeStart || address >= map->Layout().codeEnd)
        return nullptr;
    return map;
}

std::optional<TCodeName> TProcessNamer::Name(TItemAddress address) const
{
    const TMapFile* map = MapAt(address);
    if (!map)
        return std::nullopt;
    return NameInMap(*map, WithoutFolder(map->ModuleFileName()), address);
}

UnicodeString TProcessNamer::ModuleNote(TItemAddress address) const
{
    const TMapFile* map = MapAt(address);
    return map ? ModuleNoteOf(*map) : UnicodeString();
}

void TProcessNamer::Prepare() const
{
    MEMORY_BASIC_INFORMATION region{};
    for (uintptr_t at = 0; VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) == sizeof region;) {
        const auto handle = reinterpret_cast<uintptr_t>(region.AllocationBase);
        if (region.Type == MEM_IMAGE && !modules_.count(handle))
            modules_.emplace(handle, FindMapFile(region.AllocationBase));
        const uintptr_t next = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
    prepared_ = true;
}
