#pragma once
// Resources of a PE image read through its headers; every offset is checked by the reads.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "system/PeImage.h"

constexpr uint32_t kRcDataType = 10;

// The data of the first language of the resource with that type id and (upper-case) name.
std::optional<std::string> FindResourceData(const TImageView& image, uint32_t typeId, std::u16string_view name);
