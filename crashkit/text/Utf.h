#pragma once
// UTF-8 and UTF-16 conversions. Malformed input (stray continuation bytes, overlong forms,
// unpaired surrogates) becomes U+FFFD instead of being passed on.
#include <string_view>

#include "text/ZelTypes.h"

UnicodeString UTF8ToWide(std::string_view text);
AnsiString WideToUTF8(std::u16string_view text);
// The units of the character that starts at `at`: 2 for a surrogate pair, else 1.
size_t CharacterUnitsAt(std::u16string_view text, size_t at);
// Keeps the low byte of each unit, up to the first zero unit.
AnsiString WideToAnsiRaw(std::u16string_view text);
