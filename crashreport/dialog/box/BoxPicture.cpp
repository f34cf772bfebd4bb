#include "dialog/box/BoxPicture.h"

namespace {

constexpr size_t kHeaderSize = 40;
constexpr size_t kHeightOffset = 8;

uint32_t ReadUInt32(std::span<const uint8_t> bytes, size_t offset)
{
    return static_cast<uint32_t>(bytes[offset]) | static_cast<uint32_t>(bytes[offset + 1]) << 8 |
           static_cast<uint32_t>(bytes[offset + 2]) << 16 | static_cast<uint32_t>(bytes[offset + 3]) << 24;
}

uint32_t BlendChannel(uint32_t background, uint32_t pixel, uint32_t weight)
{
    return ((256 - weight) * background + weight * pixel) / 256;
}

uint32_t Blend(uint32_t pixel, uint32_t background)
{
    const uint32_t weight = (pixel >> 24) + 1;
    uint32_t result = 0;
    for (const int shift : {0, 8, 16})
        result |= BlendChannel((background >> shift) & 0xFF, (pixel >> shift) & 0xFF, weight) << shift;
    return result;
}

} // namespace

std::optional<TBlendedPicture> BlendPicture(std::span<const uint8_t> resource, int size, uint32_t background)
{
    const size_t count = static_cast<size_t>(size) * static_cast<size_t>(size);
    if (size <= 0 || resource.size() != kHeaderSize + 4 * count)
        return std::nullopt;
    TBlendedPicture picture;
    picture.size = size;
    picture.topDown = static_cast<int32_t>(ReadUInt32(resource, kHeightOffset)) < 0;
    picture.pixels.reserve(count);
    for (size_t i = 0; i < count; ++i)
        picture.pixels.push_back(Blend(ReadUInt32(resource, kHeaderSize + 4 * i), background));
    return picture;
}
