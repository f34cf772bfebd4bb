#pragma once
// A resource of a PE image by type and name (each a text, or "#" and a number), the first
// language found. Every count and position of the resource tree is checked against the image.
#include <optional>
#include <string>
#include <string_view>

#include "system/PeImage.h"

// Resources larger than this are taken for damage.
constexpr uint32_t kMaxResourceSize = 64u << 20;

std::optional<std::string> FindResourceData(const TImageView& image, std::u16string_view type, std::u16string_view name);
