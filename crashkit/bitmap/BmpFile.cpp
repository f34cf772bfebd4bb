#include "bitmap/BmpFile.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace {

constexpr uint32_t kFileHeaderSize = 14;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kBitsOffset = kFileHeaderSize + kInfoHeaderSize;
constexpr uint32_t kNoCompression = 0;
// Info header sizes of the versions that begin like the 40-byte one.
constexpr std::array<uint32_t, 5> kInfoHeaderSizes = {40, 52, 56, 108, 124};

void PutLe(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
}

uint32_t GetLe(std::span<const uint8_t> data, size_t at, int bytes)
{
    uint32_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | data[at + static_cast<size_t>(i)];
    return value;
}

struct TBmpLayout {
    int32_t width = 0;
    int32_t height = 0; // absolute
    bool topDown = false;
    uint32_t bitCount = 0;
    uint64_t bitsOffset = 0;
    uint64_t stride = 0;
    std::span<const uint8_t> palette; // 4 bytes an entry: blue, green, red, unused
};

bool IsPaletted(uint32_t bitCount)
{
    return bitCount == 1 || bitCount == 4 || bitCount == 8;
}

std::optional<TBmpLayout> ReadLayout(std::span<const uint8_t> file)
{
    if (file.size() < kBitsOffset || file[0] != 'B' || file[1] != 'M')
        return std::nullopt;
    const uint32_t infoSize = GetLe(file, 14, 4);
    bool knownInfo = false;
    for (const uint32_t size : kInfoHeaderSizes)
        knownInfo = knownInfo || size == infoSize;
    if (!knownInfo || file.size() < kFileHeaderSize + uint64_t{infoSize})
        return std::nullopt;
    TBmpLayout layout;
    const auto signedHeight = static_cast<int32_t>(GetLe(file, 22, 4));
    layout.width = static_cast<int32_t>(GetLe(file, 18, 4));
    layout.bitCount = GetLe(file, 28, 2);
    if (GetLe(file, 26, 2) != 1 || GetLe(file, 30, 4) != kNoCompression || layout.width <= 0 ||
        signedHeight == 0 || signedHeight == INT32_MIN)
        return std::nullopt;
    if (!IsPaletted(layout.bitCount) && layout.bitCount != 24 && layout.bitCount != 32)
        return std::nullopt;
    layout.topDown = signedHeight < 0;
    layout.height = std::abs(signedHeight);
    if (TBitmapPixels::Make(layout.width, layout.height).Empty())
        return std::nullopt;
    layout.bitsOffset = GetLe(file, 10, 4);
    layout.stride = (uint64_t{static_cast<uint32_t>(layout.width)} * layout.bitCount + 31) / 32 * 4;
    if (layout.bitsOffset + layout.stride * static_cast<uint64_t>(layout.height) > file.size())
        return std::nullopt;
    if (IsPaletted(layout.bitCount)) {
        const uint64_t used = GetLe(file, 46, 4);
        const uint64_t entries = used == 0 || used > (1u << layout.bitCount) ? (1u << layout.bitCount) : used;
        const uint64_t paletteStart = kFileHeaderSize + uint64_t{infoSize};
        // A palette cut short by the bits or the file end keeps only its whole entries.
        const uint64_t paletteEnd = std::min<uint64_t>(paletteStart + entries * 4, std::min<uint64_t>(
                                                       layout.bitsOffset, file.size()));
        if (paletteEnd > paletteStart)
            layout.palette = file.subspan(paletteStart, (paletteEnd - paletteStart) / 4 * 4);
    }
    return layout;
}

void CopyPixel(const TBmpLayout& layout, std::span<const uint8_t> row, int32_t x, uint8_t* target)
{
    if (layout.bitCount >= 24) {
        const size_t at = static_cast<size_t>(x) * (layout.bitCount / 8);
        target[0] = row[at];
        target[1] = row[at + 1];
        target[2] = row[at + 2];
        return;
    }
    const uint64_t bit = uint64_t{static_cast<uint32_t>(x)} * layout.bitCount;
    const uint32_t mask = (1u << layout.bitCount) - 1;
    const size_t index = row[bit / 8] >> (8 - layout.bitCount - bit % 8) & mask;
    if (index * 4 < layout.palette.size()) {
        target[0] = layout.palette[index * 4];
        target[1] = layout.palette[index * 4 + 1];
        target[2] = layout.palette[index * 4 + 2];
    }
}

} // namespace

std::string BuildBmp(const TBitmapPixels& pixels)
{
    const auto imageSize = static_cast<uint32_t>(pixels.bits.size());
    std::string out;
    out.reserve(kBitsOffset + imageSize);
    out += "BM";
    PutLe(out, imageSize + kBitsOffset, 4);
    PutLe(out, 0, 4);
    PutLe(out, kBitsOffset, 4);
    PutLe(out, kInfoHeaderSize, 4);
    PutLe(out, static_cast<uint32_t>(pixels.width), 4);
    PutLe(out, static_cast<uint32_t>(pixels.height), 4);
    PutLe(out, 1, 2);
    PutLe(out, 32, 2);
    PutLe(out, kNoCompression, 4);
    PutLe(out, imageSize, 4);
    out.append(16, '\0'); // resolution and colour counts
    out.append(reinterpret_cast<const char*>(pixels.bits.data()), pixels.bits.size());
    return out;
}

std::optional<TBitmapPixels> ReadBmp(std::span<const uint8_t> file)
{
    const std::optional<TBmpLayout> layout = ReadLayout(file);
    if (!layout)
        return std::nullopt;
    TBitmapPixels pixels = TBitmapPixels::Make(layout->width, layout->height);
    for (int32_t y = 0; y < layout->height; ++y) {
        const int32_t fileRow = layout->topDown ? y : layout->height - 1 - y;
        const auto row = file.subspan(layout->bitsOffset + layout->stride * static_cast<uint64_t>(fileRow),
                                      layout->stride);
        for (int32_t x = 0; x < layout->width; ++x)
            CopyPixel(*layout, row, x, &pixels.bits[pixels.Offset(x, y)]);
    }
    return pixels;
}
