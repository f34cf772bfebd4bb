#pragma once
// Case rules of the crash library, independent of the runtime's locale. Comparisons fold
// 8-bit characters to lower case by code page 1252; UTF-16 characters above 255 compare
// unchanged. Whole-text upper and lower casing changes only a-z and three umlauts.
#include <array>
#include <cstdint>
#include <string_view>

#include "text/ZelTypes.h"

extern const std::array<uint8_t, 256> kFoldTable;

char FoldCharA(char c);
char16_t FoldCharW(char16_t c);

char UpCharA(char c);
AnsiString UpperCaseA(std::string_view text);
UnicodeString UpperCaseW(std::u16string_view text);
UnicodeString LowerCaseW(std::u16string_view text);

bool SameTextA(std::string_view a, std::string_view b);
bool SameTextW(std::u16string_view a, std::u16string_view b);
// Difference of the first differing folded characters, else of the lengths.
int CompareTextW(std::u16string_view a, std::u16string_view b);
