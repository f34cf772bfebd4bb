#pragma once
// What a code address is in a module's debug information: unit, function and line.
#include <cstdint>

#include "debuginfo/MapFile.h"

struct TLocation {
    UnicodeString moduleFileName;
    UnicodeString unitName;
    int32_t line = 0; // 0 when unknown
    uint64_t publicAddress = 0;
    UnicodeString publicName;
};

// False when the map holds no debug information.
bool LocateAddress(const TMapFile& map, uint64_t address, TLocation& location);
