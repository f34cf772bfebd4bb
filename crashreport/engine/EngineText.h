#pragma once
// Text helpers of the crash engine that need no operating system.
#include <cstdint>
#include <string_view>

#include "text/ZelTypes.h"

// Cut at the last "." (the dot included); unchanged without one.
UnicodeString RemoveExtension(std::u16string_view text);
// Trailing "." and "!" removed, one "." appended.
UnicodeString EndWithFullStop(std::u16string_view text);
// ";" becomes ",", runs of "," collapse and both ends lose theirs; the number of items.
int NormalizeAddressList(UnicodeString& text);
// An absolute path against the main program's full file name; "\.\" and "\..\" resolved.
UnicodeString ExpandProgramPath(std::u16string_view path, std::u16string_view mainProgram);
// Suffix of the library's named kernel objects: "$" + the process id in lower-case hexadecimal.
UnicodeString ProcessSuffix(uint32_t processId);
