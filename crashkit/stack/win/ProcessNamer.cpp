#include "ProcessNamer.h"

#include <cstdint>

#include "debuginfo/Location.h"
#include "debuginfo/win/ProcessDebugInfo.h"

namespace {

std::shared_ptr<const TMapFile> MapAt(CodeAddress address)
{
    if (address == 0)
        return nullptr; // null asks for this library's own module
    std::shared_ptr<const TMapFile> map = FindMapFile(reinterpret_cast<const void*>(static_cast<uintptr_t>(address)));
    if (!map || address < map->Layout().codeStart || address >= map->Layout().codeEnd)
        return nullptr;
    return map;
}

UnicodeString WithoutFolder(const UnicodeString& path)
{
    const size_t slash = path.find_last_of(u"\\/");
    return slash == UnicodeString::npos ? path : path.substr(slash + 1);
}

} // namespace

std::optional<TCodeName> TProcessNamer::Name(CodeAddress address) const
{
    const std::shared_ptr<const TMapFile> map = MapAt(address);
    if (!map)
        return std::nullopt;
    TCodeName name;
    name.module = WithoutFolder(map->ModuleFileName());
    TLocation location;
    if (!LocateAddress(*map, address, location))
        return name;
    name.hasDebugInfo = true;
    name.unit = location.unitName;
    name.function = location.publicName;
    name.functionStart = static_cast<CodeAddress>(location.publicAddress);
    name.line = location.line;
    return name;
}

UnicodeString TProcessNamer::ModuleNote(CodeAddress address) const
{
    const std::shared_ptr<const TMapFile> map = MapAt(address);
    if (!map)
        return {};
    return UnicodeString(map->MinDebugInfo().begin(), map->MinDebugInfo().end());
}
