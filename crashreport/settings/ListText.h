#pragma once
// Lists kept in one setting text: items between separators.
#include <string_view>
#include <vector>

#include "text/ZelTypes.h"

// No items for an empty text.
std::vector<UnicodeString> SplitListText(std::u16string_view text, char16_t separator);
UnicodeString JoinListText(const std::vector<UnicodeString>& items, char16_t separator);
