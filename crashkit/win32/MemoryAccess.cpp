#include "win32/MemoryAccess.h"

#include <cstring>

#include "system/SystemText.h"

namespace {

constexpr DWORD kReadableProtection =
    PAGE_READONLY | PAGE_READWRITE | PAGE_WRITECOPY | PAGE_EXECUTE_READ | PAGE_EXECUTE_READWRITE;

// The readable region around an address; false when there is none.
bool ReadableRegion(const void* address, uintptr_t& start, uintptr_t& end)
{
    MEMORY_BASIC_INFORMATION region;
    if (VirtualQuery(address, &region, sizeof region) != sizeof region || region.State != MEM_COMMIT ||
        (region.Protect & kReadableProtection) == 0 || (region.Protect & PAGE_GUARD) != 0)
        return false;
    start = reinterpret_cast<uintptr_t>(region.BaseAddress);
    end = start + region.RegionSize;
    return true;
}

} // namespace

bool IsBadReadArea(const void* address, size_t size)
{
    uintptr_t start = 0;
    uintptr_t end = 0;
    const auto first = reinterpret_cast<uintptr_t>(address);
    if (!ReadableRegion(address, start, end))
        return true;
    return size > end - first;
}

uint32_t TicksSince(uint32_t ticks)
{
    return TicksBetween(ticks, GetTickCount());
}

bool TLiveMemoryReader::Read(uint64_t address, void* out, size_t size) const
{
    if (address > UINTPTR_MAX || size > UINTPTR_MAX - address)
        return false;
    const auto first = static_cast<uintptr_t>(address);
    if (first < regionStart_ || first + size > regionEnd_) {
        if (!ReadableRegion(reinterpret_cast<const void*>(first), regionStart_, regionEnd_)) {
            regionStart_ = regionEnd_ = 0;
            return false;
        }
        if (first + size > regionEnd_)
            return false;
    }
    std::memcpy(out, reinterpret_cast<const void*>(first), size);
    return true;
}
