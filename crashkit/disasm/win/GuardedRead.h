#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// Reads of foreign memory that never fault: access is judged with VirtualQuery first, and the
// copy itself runs under a per-thread fault guard. ReadProcessMemory is no guard: under Wine
// it claims success on guard, no-access and reserved pages.

enum TReadableClass : std::uint8_t { kNotReadable = 0, kExecuteOnly = 1, kReadable = 2 };

struct TReadableRange {
  std::uintptr_t start = 0;
  std::uintptr_t end = 0;  // exclusive
  TReadableClass kind = kNotReadable;
};

// Readable ranges of the whole user address space, sorted by address (TDATryRead).
using TDATryRead = std::vector<TReadableRange>;

// Copies count bytes from source to destination; false, without touching any byte that is
// not readable (guard pages included), when any of them cannot be read. With a table, the
// table judges the span instead of VirtualQuery.
bool TryRead(std::uintptr_t source, void* destination, std::size_t count, const TDATryRead* table = nullptr);

// A table of the whole user address space, up to lpMaximumApplicationAddress.
TDATryRead GetReadableRanges();

// The class of the range that holds all of [start, start + count); kNotReadable when none.
TReadableClass ClassInTable(const TDATryRead& table, std::uintptr_t start, std::size_t count);
