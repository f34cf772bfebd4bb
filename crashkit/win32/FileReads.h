#pragma once
// Whole reads of a file's bytes.
#include <windows.h>

#include <cstdint>

// Reads exactly `size` bytes at the file's position, in pieces (one ReadFile call moves at most
// 4 GB). False on an error or a short read before the end the size promised: the file changed.
bool ReadExactly(HANDLE file, char* data, uint64_t size);
