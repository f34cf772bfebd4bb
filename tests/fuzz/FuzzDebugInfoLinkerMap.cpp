// The linker's ".map" text as the debug-information reader parses it, then look-ups.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "debuginfo/LinkerMapFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMapFile map(false);
    map.SetLayout({0x401000, 0x501000, 0x601000, 0x701000, 0});
    LoadLinkerMap(std::string_view(reinterpret_cast<const char*>(data), size), map);
    map.SortLines();
    map.JoinSegments(true);
    uint64_t next = 0;
    map.FindLine(0x401010, next);
    map.FindPublic(0x401010);
    return 0;
}
