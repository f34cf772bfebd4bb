#include "ProcessNamer.h"

#include <windows.h>

#include <cstdint>

#include "MapFileNamer.h"
#include "win32/MemoryAccess.h"
#include "debuginfo/win/ProcessDebugInfo.h"

namespace {

UnicodeString WithoutFolder(const UnicodeString& path)
{
    const size_t slash = path.find_last_of(u"\\/");
    return slash == UnicodeString::npos ? path : path.substr(slash + 1);
}

} // namespace

void TProcessNamer::Add(uintptr_t handle) const
{
    TModule& module = modules_[handle];
    module.map = FindMapFile(reinterpret_cast<const void*>(handle));
    if (!module.map || module.map->Valid())
        return;
    const TLiveMemoryReader memory;
    if (const std::optional<TPeHeaders> headers = ReadPeHeaders(memory, handle))
        module.exports = TExportTable(TLoadedImage(memory, handle, *headers), handle, module.map->Layout());
}

const TProcessNamer::TModule* TProcessNamer::ImageAt(TItemAddress address) const
{
    // Only mapped images are modules; the region's allocation base is the module handle.
    MEMORY_BASIC_INFORMATION region{};
    const auto* pointer = reinterpret_cast<const void*>(static_cast<uintptr_t>(address));
    if (address == 0 || VirtualQuery(pointer, &region, sizeof region) != sizeof region || region.Type != MEM_IMAGE)
        return nullptr;
    const auto handle = reinterpret_cast<uintptr_t>(region.AllocationBase);
    if (!modules_.count(handle)) {
        if (prepared_)
            return nullptr;
        Add(handle);
    }
    const TModule& module = modules_.at(handle);
    return module.map ? &module : nullptr;
}

const TProcessNamer::TModule* TProcessNamer::ModuleAt(TItemAddress address) const
{
    const TModule* module = ImageAt(address);
    if (!module || address < module->map->Layout().codeStart || address >= module->map->Layout().codeEnd)
        return nullptr;
    return module;
}

bool TProcessNamer::InModuleData(TItemAddress address) const
{
    const TModule* module = ImageAt(address);
    return module && InDataOf(*module->map, address);
}

void TProcessNamer::ForEachFunction(const TFunctionVisitor& visit) const
{
    AddLoadedModules();
    for (const auto& [handle, module] : modules_) {
        if (module.map)
            VisitFunctions(*module.map, &module.exports, visit);
    }
}

std::optional<TCodeName> TProcessNamer::Name(TItemAddress address) const
{
    const TModule* module = ModuleAt(address);
    if (!module)
        return std::nullopt;
    return NameInMap(*module->map, WithoutFolder(module->map->ModuleFileName()), address, &module->exports);
}

UnicodeString TProcessNamer::ModuleNote(TItemAddress address) const
{
    const TModule* module = ModuleAt(address);
    return module ? ModuleNoteOf(*module->map) : UnicodeString();
}

void TProcessNamer::AddLoadedModules() const
{
    if (prepared_)
        return;
    MEMORY_BASIC_INFORMATION region{};
    for (uintptr_t at = 0; VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) == sizeof region;) {
        const auto handle = reinterpret_cast<uintptr_t>(region.AllocationBase);
        if (region.Type == MEM_IMAGE && !modules_.count(handle))
            Add(handle);
        const uintptr_t next = reinterpret_cast<uintptr_t>(region.BaseAddress) + region.RegionSize;
        if (next <= at)
            break;
        at = next;
    }
}

void TProcessNamer::Prepare() const
{
    AddLoadedModules();
    prepared_ = true;
}
