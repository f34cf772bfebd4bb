#pragma once
// The library's own debug information, as a module's resource ("ZEL"/"EXCEPT") or a ".zel"
// side file: a marker, a header and an enciphered compressed stream of segments, publics and
// line items relative to the code start. tools/debuginfo/make_debuginfo.py writes it.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "debuginfo/MapFile.h"

struct TOwnDebugInfoHeader {
    uint32_t version = 0;
    uint32_t stamp1 = 0; // header dwords that name the data in a "MinDebugInfo" text
    uint32_t stamp2 = 0;
    bool reduced = false; // names left out
    std::string_view payload;
};

// None for data without the marker, of another version or whose payload runs past its end.
std::optional<TOwnDebugInfoHeader> ReadOwnDebugInfoHeader(std::string_view data);
// The "MinDebugInfo" text that names the data: total length and the two stamps in hex.
AnsiString OwnDebugInfoStamp(std::string_view data, const TOwnDebugInfoHeader& header);
// The key the payload is enciphered under.
std::string OwnDebugInfoKey(size_t payloadLength);

// Reads the unpacked stream into the map; false when it is damaged (the map then holds part).
bool ReadOwnDebugInfoContent(std::string_view content, bool reduced, TMapFile& map);
// Adds the content to the map (whose layout is set). False, with nothing added, for damaged
// data, or when the map holds a "MinDebugInfo" text that does not name this data.
bool LoadOwnDebugInfo(std::string_view data, TMapFile& map);
// The same without the "MinDebugInfo" check.
bool LoadOwnDebugInfoPayload(const TOwnDebugInfoHeader& header, TMapFile& map);
