#pragma once
// Searches by 1-based positions. FindStr/FindText look for sub starting at positions from
// first to last (backwards when first > last) and give the position of the match, 0 when
// there is none or a position is 0. Str compares exactly, Text through the case folding.
#include <string_view>

#include "text/CharSet.h"
#include "text/ZelTypes.h"

int FindStrA(std::string_view sub, std::string_view text, int first, int last);
int FindTextA(std::string_view sub, std::string_view text, int first, int last);
int FindStrW(std::u16string_view sub, std::u16string_view text, int first, int last);
int FindTextW(std::u16string_view sub, std::u16string_view text, int first, int last);

// True when sub is empty or occurs in text.
bool ContainsStrA(std::string_view sub, std::string_view text);
bool ContainsStrW(std::u16string_view sub, std::u16string_view text);
bool ContainsTextW(std::u16string_view sub, std::u16string_view text);

// First position, in scanning direction, whose character is (or is not) in the set.
int PosInSetA(const TCharSet& set, std::string_view text, int first, int last);
int PosInSetW(const TCharSet& set, std::u16string_view text, int first, int last);
int PosNotInSetW(const TCharSet& set, std::u16string_view text, int first, int last);

size_t StrLenA(const char* text);
size_t StrLenW(const char16_t* text);
