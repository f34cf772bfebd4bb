#pragma once
// Parts of Windows paths ("\" separated), and identifiers.
#include <string_view>

#include "text/ZelTypes.h"

// After the last "\" (the whole text without one).
UnicodeString ExtractFileNameW(std::u16string_view path);
// Up to and including the last "\" (empty without one).
UnicodeString ExtractFilePathW(std::u16string_view path);
// From the last "." on, dot included (empty without one).
UnicodeString ExtractFileExtW(std::u16string_view path);
// "\\server\share\" of a server path, "C:\" of a drive path, else the path unchanged.
UnicodeString ExtractRootW(std::u16string_view path);

// Letters, "_" or characters above 255, then also digits and, when allowed, dots.
bool IsValidIdentW(std::u16string_view text, bool dotsAllowed);
