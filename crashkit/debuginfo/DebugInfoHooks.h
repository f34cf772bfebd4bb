#pragma once
// What the disassembler asks of the debug information: the name of a function start and the
// line of an address with the range of addresses that line covers.
#include <cstdint>

#include "debuginfo/MapFile.h"

// unit + "." + function for the exact start of a public (the function alone without a unit);
// " (" + the module's file name without folder + ")" follows a name holding "%". Empty
// elsewhere.
UnicodeString DebugInfoNameOf(const TMapFile& map, uint64_t address);

// Leaves line and range alone when the range holds the address and the line is not 0; else
// the line of the address (0 when unknown) from the address up to the next line's address.
void DebugInfoLineOf(const TMapFile& map, uint64_t address, int32_t& line, uint64_t& rangeStart, uint64_t& rangeEnd);
