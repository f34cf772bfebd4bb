// The library's own debug information: the unpacked stream of segments, publics and lines
// (first byte 0, or 1 for reduced data), or the whole enciphered form (any other first byte),
// then look-ups over whatever was read.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "debuginfo/OwnDebugInfo.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view input(reinterpret_cast<const char*>(data) + 1, size - 1);
    TMapFile map;
    TModuleLayout layout;
    layout.codeStart = 0x10000000;
    layout.codeEnd = 0x10100000;
    map.SetLayout(layout);
    if (data[0] <= 1)
        ReadOwnDebugInfoContent(input, data[0] == 1, map);
    else
        LoadOwnDebugInfo(input, map);
    map.SortLines();
    uint64_t next = 0;
    for (uint64_t address : {layout.codeStart, layout.codeStart + 0x1234, layout.codeEnd - 1}) {
        map.FindLine(address, next);
        map.FindPublic(address);
        map.FindSegment(true, address);
    }
    map.FindPublicAddress(true, u"Unit", false, u"Name");
    return 0;
}
