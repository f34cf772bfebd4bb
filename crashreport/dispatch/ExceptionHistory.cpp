#include "ExceptionHistory.h"

#include <algorithm>

void TExceptionHistory::Record(uint64_t nowSeconds)
{
    std::shift_right(slots_.begin(), slots_.end(), 1);
    slots_[0] = nowSeconds;
}

bool TExceptionHistory::IsDue(int32_t limitSeconds, uint64_t nowSeconds) const
{
    if (limitSeconds <= 0)
        return false;
    if (limitSeconds == 1)
        return true;
    const auto limit = static_cast<uint64_t>(limitSeconds);
    return std::all_of(slots_.begin(), slots_.end(), [&](uint64_t time) {
        // A time "from the future" (clock set back) counts as recent.
        return time != 0 && (time >= nowSeconds || nowSeconds - time <= limit);
    });
}

std::array<uint8_t, TExceptionHistory::kStateSize> TExceptionHistory::Save() const
{
    std::array<uint8_t, kStateSize> state{};
    for (size_t slot = 0; slot < kSlots; ++slot)
        for (size_t byte = 0; byte < sizeof(uint64_t); ++byte)
            state[slot * sizeof(uint64_t) + byte] = static_cast<uint8_t>(slots_[slot] >> (8 * byte));
    return state;
}

void TExceptionHistory::Load(std::span<const uint8_t> state)
{
    if (state.size() != kStateSize)
        return;
    for (size_t slot = 0; slot < kSlots; ++slot) {
        uint64_t time = 0;
        for (size_t byte = 0; byte < sizeof(uint64_t); ++byte)
            time |= static_cast<uint64_t>(state[slot * sizeof(uint64_t) + byte]) << (8 * byte);
        slots_[slot] = time;
    }
}
