#pragma once
// How form properties read their text values.
#include <cstdint>
#include <string_view>

#include "text/ZelTypes.h"

// "yes", "true" (any case) or "1".
bool ParseFlag(std::u16string_view value);
// Decimal, or hexadecimal after "$" or "0x", with an optional leading "-"; surrounding blanks
// are ignored. A non-digit counts as 0.
int32_t ParseNumber(std::u16string_view value);
// ParseNumber kept within the bounds of a window measure, so that sums of them cannot overflow.
int32_t ParseMeasure(std::u16string_view value, int32_t lowest, int32_t highest);
// "%lf%" (any case) becomes CR LF.
UnicodeString ExpandLineBreaks(std::u16string_view value);
// An "OutputType" that asks for an own section of the report.
bool IsOwnSectionOutput(std::u16string_view value);
