#include "bitmap/PngFile.h"

#include <array>
#include <cstdlib>

#include "bitmap/Adler32.h"
#include "bitmap/WuQuantizer.h"
#include "zip/Crc32.h"
#include "zip/Deflate.h"

namespace {

constexpr std::string_view kSignature = "\x89PNG\r\n\x1A\n";
constexpr uint8_t kIndexedColour = 3;
constexpr uint8_t kNoFilter = 0;
constexpr std::string_view kZlibHeader = "\x78\x01";
constexpr std::array<uint8_t, 16> kGreyLevels = {0,   28,  52,  73,  92,  109, 125, 140,
                                                 155, 170, 185, 199, 213, 227, 241, 255};
// The 256-colour image is kept when it is at most this large (selectors 2 to 5).
constexpr std::array<size_t, 4> kColourLimits = {51200, 102400, 204800, 307200};

void PutBe(std::string& out, uint32_t value)
{
    for (int shift = 24; shift >= 0; shift -= 8)
        out += static_cast<char>(value >> shift & 0xFF);
}

void PutChunk(std::string& out, std::string_view type, std::string_view data)
{
    PutBe(out, static_cast<uint32_t>(data.size()));
    const size_t typeAt = out.size();
    out += type;
    out += data;
    PutBe(out, ~UpdateCrc32(0xFFFFFFFF, out.data() + typeAt, static_cast<int64_t>(out.size() - typeAt)));
}

// "78 01", raw deflate and Adler-32; empty when deflate fails.
std::string ZlibStream(std::span<const uint8_t> data)
{
    const uint64_t capacity = data.size() * 11 / 10 + 12;
    std::string out(kZlibHeader);
    out.resize(kZlibHeader.size() + capacity);
    const std::optional<uint64_t> packed = Compress(data.data(), out.data() + kZlibHeader.size(), data.size(), capacity);
    if (!packed)
        return {};
    out.resize(kZlibHeader.size() + *packed);
    PutBe(out, Adler32(data));
    return out;
}

uint8_t Grey(const uint8_t* pixel)
{
    return static_cast<uint8_t>((77u * pixel[2] + 151u * pixel[1] + 28u * pixel[0]) >> 8);
}

uint8_t NearestGreyLevel(uint8_t grey)
{
    uint8_t best = 0;
    for (uint8_t i = 1; i < kGreyLevels.size(); ++i) {
        if (std::abs(kGreyLevels[i] - grey) < std::abs(kGreyLevels[best] - grey))
            best = i;
    }
    return best;
}

} // namespace

std::span<const uint8_t, 16> GreyLevels()
{
    return kGreyLevels;
}

std::string BuildIndexedPng(int32_t width, int32_t height, int bitDepth, const std::vector<TPaletteColour>& palette,
                            std::span<const uint8_t> imageData)
{
    if (palette.empty() || width <= 0 || height <= 0)
        return {};
    const std::string idat = ZlibStream(imageData);
    if (idat.empty())
        return {};
    std::string header;
    PutBe(header, static_cast<uint32_t>(width));
    PutBe(header, static_cast<uint32_t>(height));
    header += {static_cast<char>(bitDepth), static_cast<char>(kIndexedColour), 0, 0, 0};
    std::string plte;
    for (const TPaletteColour& colour : palette)
        plte += {static_cast<char>(colour.red), static_cast<char>(colour.green), static_cast<char>(colour.blue)};
    std::string out(kSignature);
    PutChunk(out, "IHDR", header);
    PutChunk(out, "PLTE", plte);
    PutChunk(out, "IDAT", idat);
    PutChunk(out, "IEND", {});
    return out;
}

std::string BuildPng256(const TBitmapPixels& pixels)
{
    const std::vector<TPaletteColour> palette = QuantizeWu(pixels, 256);
    const std::vector<uint8_t> indices = MapToPalette(pixels, palette);
    if (indices.empty())
        return {};
    const auto width = static_cast<size_t>(pixels.width);
    std::vector<uint8_t> image;
    image.reserve(indices.size() + static_cast<size_t>(pixels.height));
    for (size_t row = 0; row < indices.size(); row += width) {
        image.push_back(kNoFilter);
        image.insert(image.end(), indices.begin() + static_cast<ptrdiff_t>(row),
                     indices.begin() + static_cast<ptrdiff_t>(row + width));
    }
    return BuildIndexedPng(pixels.width, pixels.height, 8, palette, image);
}

std::string BuildPngGrey(const TBitmapPixels& pixels)
{
    if (pixels.Empty())
        return {};
    std::array<uint8_t, 256> levelOf{};
    for (int grey = 0; grey < 256; ++grey)
        levelOf[static_cast<size_t>(grey)] = NearestGreyLevel(static_cast<uint8_t>(grey));
    const size_t rowBytes = (static_cast<size_t>(pixels.width) + 1) / 2;
    std::vector<uint8_t> image;
    image.reserve((rowBytes + 1) * static_cast<size_t>(pixels.height));
    for (int32_t y = 0; y < pixels.height; ++y) {
        image.push_back(kNoFilter);
        const size_t rowStart = image.size();
        image.resize(rowStart + rowBytes, 0);
        for (int32_t x = 0; x < pixels.width; ++x) {
            const uint8_t level = levelOf[Grey(&pixels.bits[pixels.Offset(x, y)])];
            image[rowStart + static_cast<size_t>(x) / 2] |= static_cast<uint8_t>(x % 2 == 0 ? level << 4 : level);
        }
    }
    std::vector<TPaletteColour> palette;
    for (const uint8_t level : kGreyLevels)
        palette.push_back({level, level, level});
    return BuildIndexedPng(pixels.width, pixels.height, 4, palette, image);
}

std::string BuildPngForDepth(const TBitmapPixels& pixels, uint8_t depth)
{
    if (depth == 1)
        return BuildPngGrey(pixels);
    std::string colour = BuildPng256(pixels);
    if (colour.empty())
        return BuildPngGrey(pixels);
    if (depth >= 2 && depth <= 5 && colour.size() > kColourLimits[depth - 2u]) {
        std::string grey = BuildPngGrey(pixels);
        if (!grey.empty() && grey.size() < colour.size())
            return grey;
    }
    return colour;
}
