#pragma once
// The pictures of the box: a 40-byte bitmap header and n x n 32-bit pixels whose top byte is
// the alpha value, blended onto the background colour before they are drawn.
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

inline constexpr int kButtonPictureSize = 16;
inline constexpr int kBigPictureSize = 32;

struct TBlendedPicture {
    int size = 0;
    // Rows in the order the header gives (bottom-up unless its height is negative).
    bool topDown = false;
    // 0x00RRGGBB, as a 32-bit device-independent bitmap takes them.
    std::vector<uint32_t> pixels;
};

// None when the resource is not exactly header + size x size pixels.
std::optional<TBlendedPicture> BlendPicture(std::span<const uint8_t> resource, int size, uint32_t background);
