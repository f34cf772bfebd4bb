#pragma once
// The "stack dump" section: lines of 16 bytes from the stack pointer up, each the address, the
// bytes in hex in two groups of 8 and the bytes as characters.
#include <cstdint>
#include <span>

#include "text/ZelTypes.h"

inline constexpr size_t kStackDumpLineBytes = 16;
inline constexpr size_t kStackDumpMaxLines = 20;
inline constexpr size_t kStackDumpMaxBytes = kStackDumpLineBytes * kStackDumpMaxLines;

// bytes are those from start up to the end of the stack's region (at most kStackDumpMaxBytes
// are written); the rest of the last line stays blank.
UnicodeString StackDumpText(uint64_t start, std::span<const uint8_t> bytes);
