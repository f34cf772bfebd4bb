#include "debuginfo/DebugInfoHooks.h"

#include <algorithm>

#include "text/FilePaths.h"

UnicodeString DebugInfoNameOf(const TMapFile& map, uint64_t address)
{
    const TMfPublic item = map.FindPublic(address);
    if (!item.valid || item.address != address)
        return {};
    const UnicodeString unit = map.FindSegment(true, address).unitName;
    UnicodeString name = unit.empty() ? item.name : unit + u"." + item.name;
    if (name.find(u'%') != UnicodeString::npos)
        name += u" (" + ExtractFileNameW(map.ModuleFileName()) + u")";
    return name;
}

void DebugInfoLineOf(const TMapFile& map, uint64_t address, int32_t& line, uint64_t& rangeStart, uint64_t& rangeEnd)
{
    if (line != 0 && address >= rangeStart && address < rangeEnd)
        return;
    uint64_t next = 0;
    line = std::max(map.FindLine(address, next), 0);
    rangeStart = address;
    rangeEnd = next;
}
