#pragma once
// The linker's ".map" text: segment table, detailed segment map (units), publics by value, line
// numbers and the entry point. Every column is checked against the line's length.
#include <string_view>

#include "debuginfo/MapFile.h"

// Adds what the text holds to the map (whose layout is set); false when it named nothing.
bool LoadLinkerMap(std::string_view text, TMapFile& map);
