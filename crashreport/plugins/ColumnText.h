#pragma once
// Helpers of the list sections: aligned columns and lines joined with CR LF.
#include <cstdint>
#include <string_view>
#include <vector>

#include "text/ZelTypes.h"

// The text followed by blanks up to width characters.
UnicodeString PadRight(std::u16string_view text, size_t width);
// Lower-case hexadecimal digits, padded on the left with "0" to at least digits characters.
UnicodeString LowerHex(uint64_t value, size_t digits = 1);
// The longest text's length plus one: the width of a column with a blank after it.
size_t ColumnWidth(const std::vector<UnicodeString>& column);
// Lines joined by CR LF, without one after the last.
UnicodeString JoinLines(const std::vector<UnicodeString>& lines);
