#pragma once
// The debug information of the modules of this process, each built once and kept until the
// library unloads.
#include <cstdint>
#include <memory>
#include <string_view>

#include "debuginfo/Location.h"
#include "debuginfo/MapFile.h"

// The object of the module holding the address (this library's own module for null).
std::shared_ptr<const TMapFile> FindMapFile(const void* address);

// The address of the routine of this library's module that its debug information names so
// (TMapFile::FindPublicAddress, the name ignoring case); 0 when there is none.
uintptr_t FindOwnRoutine(std::u16string_view unitName, std::u16string_view name);

// The location of the address (the caller's return address for null); false when its module
// has no debug information. Negative lines become 0.
bool GetLocation(const void* address, TLocation& location);
// The location of the caller's return address.
bool GetMyLocation(TLocation& location);
