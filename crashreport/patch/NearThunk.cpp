#include "patch/NearThunk.h"

#include <windows.h>

#include <cstring>
#include <limits>

namespace {

constexpr uintptr_t kAllocationGranularity = 0x10000;
// Keep well inside the displacement's range so that the whole stub is reachable.
constexpr uintptr_t kReach = 0x7FF00000;
constexpr size_t kThunkBytes = 0x1000;

void* TryAllocateAt(uintptr_t address)
{
    MEMORY_BASIC_INFORMATION region{};
    if (VirtualQuery(reinterpret_cast<void*>(address), &region, sizeof region) != sizeof region
        || region.State != MEM_FREE)
        return nullptr;
    return VirtualAlloc(reinterpret_cast<void*>(address), kThunkBytes, MEM_RESERVE | MEM_COMMIT, PAGE_EXECUTE_READWRITE);
}

} // namespace

bool IsInJumpReach(const void* from, const void* to)
{
    if constexpr (sizeof(void*) == 4)
        return true; // the displacement wraps around the 4 GB address space
    const int64_t distance = static_cast<int64_t>(reinterpret_cast<uintptr_t>(to))
                             - static_cast<int64_t>(reinterpret_cast<uintptr_t>(from) + 5);
    return distance >= std::numeric_limits<int32_t>::min() && distance <= std::numeric_limits<int32_t>::max();
}

void* AllocateThunkNear(const void* site)
{
    const uintptr_t origin = reinterpret_cast<uintptr_t>(site) & ~(kAllocationGranularity - 1);
    const uintptr_t lowest = origin > kReach ? origin - kReach : kAllocationGranularity;
    const uintptr_t highest = std::numeric_limits<uintptr_t>::max() - origin > kReach
                                  ? origin + kReach
                                  : std::numeric_limits<uintptr_t>::max() - kAllocationGranularity;
    for (uintptr_t step = kAllocationGranularity; origin - step >= lowest || origin + step <= highest;
         step += kAllocationGranularity) {
        if (origin >= step && origin - step >= lowest)
            if (void* thunk = TryAllocateAt(origin - step))
                return thunk;
        if (origin + step <= highest)
            if (void* thunk = TryAllocateAt(origin + step))
                return thunk;
        if (origin < step && origin + step > highest)
            break;
    }
    return nullptr;
}

void ReleaseThunkMemory(void* thunk)
{
    if (thunk)
        VirtualFree(thunk, 0, MEM_RELEASE);
}

unsigned WriteAbsoluteJump(void* thunk, const void* target)
{
    // jmp [next instruction], then the target's address (x86_64 form; x86 never needs a stub).
    static constexpr uint8_t kJumpThroughNext[] = {0xFF, 0x25, 0, 0, 0, 0};
    auto* bytes = static_cast<uint8_t*>(thunk);
    std::memcpy(bytes, kJumpThroughNext, sizeof kJumpThroughNext);
    std::memcpy(bytes + sizeof kJumpThroughNext, &target, sizeof target);
    return sizeof kJumpThroughNext + sizeof target;
}
