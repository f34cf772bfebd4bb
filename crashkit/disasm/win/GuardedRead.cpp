#include "GuardedRead.h"

#include <windows.h>

#include <algorithm>
#include <atomic>

#include "FaultGuard.h"

namespace {

constexpr DWORD kAnyReadable = 0x7E;   // readonly to execute-readwrite
constexpr DWORD kPlainReadable = 0x6E;  // the same without execute-only

// Execute-only pages are readable on most systems; the first fault there proves otherwise
// for the rest of the process.
std::atomic<bool> executeOnlyIsReadable{true};

TReadableClass ClassOf(const MEMORY_BASIC_INFORMATION& region) {
  if (region.State != MEM_COMMIT || (region.Protect & PAGE_GUARD) || !(region.Protect & kAnyReadable))
    return kNotReadable;
  return (region.Protect & kPlainReadable) ? kReadable : kExecuteOnly;
}

// The weakest class of the regions that [start, start + count) touches.
TReadableClass ClassOfSpan(std::uintptr_t start, std::size_t count) {
  if (count == 0) return kReadable;
  if (start + count < start) return kNotReadable;
  TReadableClass weakest = kReadable;
  for (std::uintptr_t at = start; at < start + count;) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) != sizeof region) return kNotReadable;
    weakest = std::min(weakest, ClassOf(region));
    if (weakest == kNotReadable) return kNotReadable;
    at = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
  }
  return weakest;
}

bool CopyExecuteOnly(std::uintptr_t source, void* destination, std::size_t count) {
  const void* from = reinterpret_cast<const void*>(source);
  if (executeOnlyIsReadable) {
    if (CopyUnderFaultGuard(destination, from, count)) return true;
    executeOnlyIsReadable = false;
  }
  DWORD old = 0;
  if (!VirtualProtect(const_cast<void*>(from), count, PAGE_EXECUTE_READ, &old)) return false;
  const bool copied = CopyUnderFaultGuard(destination, from, count);
  VirtualProtect(const_cast<void*>(from), count, old, &old);
  return copied;
}

}  // namespace

TReadableClass ClassInTable(const TDATryRead& table, std::uintptr_t start, std::size_t count) {
  const auto after = std::upper_bound(table.begin(), table.end(), start,
                                      [](std::uintptr_t at, const TReadableRange& range) { return at < range.start; });
  if (after == table.begin()) return kNotReadable;
  const TReadableRange& range = *(after - 1);
  if (start >= range.end || count > range.end - start) return kNotReadable;
  return range.kind;
}

bool TryRead(std::uintptr_t source, void* destination, std::size_t count, const TDATryRead* table) {
  const TReadableClass kind = table ? ClassInTable(*table, source, count) : ClassOfSpan(source, count);
  switch (kind) {
    case kReadable: return CopyUnderFaultGuard(destination, reinterpret_cast<const void*>(source), count);
    case kExecuteOnly: return CopyExecuteOnly(source, destination, count);
    case kNotReadable: break;
  }
  return false;
}

TDATryRead GetReadableRanges() {
  SYSTEM_INFO system{};
  GetSystemInfo(&system);
  const std::uintptr_t top = reinterpret_cast<std::uintptr_t>(system.lpMaximumApplicationAddress);
  TDATryRead table;
  table.reserve(64);
  for (std::uintptr_t at = 0; at <= top;) {
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<const void*>(at), &region, sizeof region) != sizeof region) break;
    const std::uintptr_t end = reinterpret_cast<std::uintptr_t>(region.BaseAddress) + region.RegionSize;
    if (end <= at) break;
    const TReadableClass kind = ClassOf(region);
    if (!table.empty() && table.back().kind == kind && table.back().end == at)
      table.back().end = end;
    else
      table.push_back({at, end, kind});
    at = end;
  }
  table.shrink_to_fit();
  return table;
}
