#pragma once
// Texts shared between the copies of the library in a process: one block on the process heap
// holding the ANSI text and its NUL, followed by the UTF-16 form and its NUL when the ANSI form
// loses anything. Any copy reads and frees any copy's blocks.
#include <string_view>

#include "text/ZelTypes.h"

// Null for an empty text.
void* MakeDualText(std::u16string_view text);
UnicodeString ReadDualText(const void* block);
void FreeDualText(void* block);

// Conversions through the system's ANSI code page.
UnicodeString SystemAnsiToWide(std::string_view text);
AnsiString WideToSystemAnsi(std::u16string_view text);

// Zero-filled block on the process heap, shared by every copy of the library.
void* SharedAlloc(size_t size);
void SharedFree(void* block);
size_t SharedSize(const void* block);
