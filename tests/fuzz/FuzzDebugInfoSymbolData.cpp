// The linker's debugger-symbol data ("FB09"/"FB0A") as the debug-information reader parses it.
// The input gets one of the two signatures, so that the walk reaches the directory ring.
#include <cstddef>
#include <cstdint>
#include <string>

#include "debuginfo/DebuggerSymbolData.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string bytes = std::string(data[0] & 1 ? "FB09" : "FB0A") + std::string(reinterpret_cast<const char*>(data) + 1, size - 1);
    TMapFile map(false);
    map.SetLayout({0x401000, 0x501000, 0x601000, 0x701000, 0, 0x1000});
    LoadDebuggerSymbolData(bytes, {true, 0x1000}, map);
    map.SortLines();
    uint64_t next = 0;
    map.FindLine(0x401010, next);
    map.FindPublic(0x401010);
    return 0;
}
