#pragma once
// The pixels of a 32-bit device-independent bitmap as the bitmap object keeps them: 4 bytes a
// pixel (blue, green, red, unused), rows bottom-up, no padding.
#include <cstddef>
#include <cstdint>
#include <vector>

struct TBitmapPixels {
    int32_t width = 0;
    int32_t height = 0;
    std::vector<uint8_t> bits;

    // The largest bitmap handled: its bits stay well below 2 GB.
    static constexpr int64_t kMaxPixels = int64_t{1} << 28;
    static constexpr int32_t kMaxSide = 1 << 16;

    // A black bitmap; empty when a side is not positive or the size is beyond the limits.
    static TBitmapPixels Make(int32_t width, int32_t height);

    bool Empty() const { return bits.empty(); }
    // Byte offset of pixel (x, y), y counted from the top row.
    size_t Offset(int32_t x, int32_t topY) const
    {
        return (static_cast<size_t>(height - 1 - topY) * static_cast<size_t>(width) + static_cast<size_t>(x)) * 4;
    }
};
