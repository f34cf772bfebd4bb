#pragma once
// Whether an open file's content holds a text, so that a multipart boundary can be chosen that
// the file, sent as it is, does not forge.
#include <windows.h>

#include <string_view>

// Reads from the start; a file that cannot be read holds nothing, as its upload fails anyway.
bool FileHolds(HANDLE file, std::string_view text);
