#include "debuginfo/Location.h"

#include <algorithm>

bool LocateAddress(const TMapFile& map, uint64_t address, TLocation& location)
{
    location = {};
    location.moduleFileName = map.ModuleFileName();
    if (!map.Valid())
        return false;
    location.unitName = map.FindSegment(true, address).unitName;
    uint64_t nextLine = 0;
    location.line = std::max(map.FindLine(address, nextLine), 0);
    const TMfPublic item = map.FindPublic(address);
    location.publicAddress = item.address;
    location.publicName = item.name;
    return true;
}
