#pragma once
// Lists of items in one text, separated by one character; indexes are 1-based.
#include <string_view>

#include "text/ZelTypes.h"

// Separators + 1; 0 for an empty text.
int ItemCountA(std::string_view text, char separator);
int ItemCountW(std::u16string_view text, char16_t separator);
// Empty for index 0 or beyond the count.
AnsiString ItemA(std::string_view text, int index, char separator);
UnicodeString ItemW(std::u16string_view text, int index, char16_t separator);
// True when item is one whole item of the list (Text: ignoring case); false for an empty item.
bool IsItemW(std::u16string_view text, std::u16string_view item, char16_t separator);
bool IsItemTextW(std::u16string_view text, std::u16string_view item, char16_t separator);
