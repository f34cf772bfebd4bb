#pragma once
// The times of the last ten fully handled exceptions (seconds since 1601-01-01 UTC, newest
// first, 0 = empty), which decide whether an automatic restart or close is due, and which a
// restarted process takes over from its predecessor.
#include <array>
#include <cstdint>
#include <span>

class TExceptionHistory {
public:
    static constexpr size_t kSlots = 10;
    static constexpr size_t kStateSize = kSlots * sizeof(uint64_t);

    // The oldest time falls out; now becomes the newest.
    void Record(uint64_t nowSeconds);
    // N = 0 never, 1 always; N >= 2 only when every slot holds a time at most N seconds old.
    bool IsDue(int32_t limitSeconds, uint64_t nowSeconds) const;

    // The hand-over form: the slots as little-endian 64-bit values, newest first.
    std::array<uint8_t, kStateSize> Save() const;
    // A state of another size is ignored.
    void Load(std::span<const uint8_t> state);

    uint64_t Slot(size_t index) const { return index < kSlots ? slots_[index] : 0; }

private:
    std::array<uint64_t, kSlots> slots_{};
};
