#pragma once
// The compact binary ".jdbg" side file: units, publics and line numbers as delta-coded 7-bit
// variable-length integers, names packed in a names area. Every position is checked.
#include <string_view>

#include "debuginfo/MapFile.h"

// False (nothing added) when the data is no ".jdbg" file or fails its check value.
bool LoadJdbg(std::string_view data, TMapFile& map);
