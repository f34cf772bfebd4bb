#pragma once
// Where a module's code and data lie, found in its PE headers the way the debug information
// is laid out against them.
#include <cstdint>
#include <optional>

#include "debuginfo/MapFileTypes.h"
#include "system/PeImage.h"

// base is the address the module is (or would be) loaded at. None when a header is unreadable.
std::optional<TModuleLayout> ReadModuleLayout(const TImageView& image, uint64_t base);
// The image base its optional header asks for; none when unreadable.
std::optional<uint64_t> PreferredImageBase(const TImageView& image);
