// The ".jdbg" side file as the debug-information reader parses it, then look-ups.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "debuginfo/JdbgFile.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    TMapFile map;
    map.SetLayout({0x10001000, 0x10101000, 0, 0, 0});
    LoadJdbg(std::string_view(reinterpret_cast<const char*>(data), size), map);
    map.SortLines();
    uint64_t next = 0;
    map.FindLine(0x10001010, next);
    map.FindPublic(0x10001010);
    return 0;
}
