#include "bitmap/BmpFile.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::span<const uint8_t> Bytes(const std::string& data)
{
    return {reinterpret_cast<const uint8_t*>(data.data()), data.size()};
}

void PutLe(std::string& out, uint32_t value, int bytes)
{
    for (int i = 0; i < bytes; ++i)
        out += static_cast<char>(value >> (8 * i) & 0xFF);
}

// A BMP file as another program writes it, with the given header fields, palette and rows.
std::string BmpFileOf(int32_t width, int32_t height, uint16_t bitCount, const std::string& palette,
                      const std::string& rows, uint32_t paletteEntries = 0)
{
    std::string out = "BM";
    const auto offset = static_cast<uint32_t>(54 + palette.size());
    PutLe(out, offset + static_cast<uint32_t>(rows.size()), 4);
    PutLe(out, 0, 4);
    PutLe(out, offset, 4);
    PutLe(out, 40, 4);
    PutLe(out, static_cast<uint32_t>(width), 4);
    PutLe(out, static_cast<uint32_t>(height), 4);
    PutLe(out, 1, 2);
    PutLe(out, bitCount, 2);
    PutLe(out, 0, 4);
    PutLe(out, static_cast<uint32_t>(rows.size()), 4);
    out.append(8, '\0');
    PutLe(out, paletteEntries, 4);
    PutLe(out, 0, 4);
    return out + palette + rows;
}

std::string PixelAt(const TBitmapPixels& pixels, int32_t x, int32_t topY)
{
    return std::string(reinterpret_cast<const char*>(&pixels.bits[pixels.Offset(x, topY)]), 4);
}

TEST(BmpFile, OwnImageHasFixedHeadersAndTheBitsAsStored)
{
    TBitmapPixels pixels = TBitmapPixels::Make(2, 3);
    for (size_t i = 0; i < pixels.bits.size(); ++i)
        pixels.bits[i] = static_cast<uint8_t>(i);
    const std::string bmp = BuildBmp(pixels);
    std::string expected = "BM";
    PutLe(expected, 54 + 24, 4);
    PutLe(expected, 0, 4);
    PutLe(expected, 54, 4);
    PutLe(expected, 40, 4);
    PutLe(expected, 2, 4);
    PutLe(expected, 3, 4);
    PutLe(expected, 1, 2);
    PutLe(expected, 32, 2);
    PutLe(expected, 0, 4);
    PutLe(expected, 24, 4);
    expected.append(16, '\0');
    expected.append(reinterpret_cast<const char*>(pixels.bits.data()), pixels.bits.size());
    EXPECT_EQ(expected, bmp);
    const std::optional<TBitmapPixels> back = ReadBmp(Bytes(bmp));
    ASSERT_TRUE(back);
    EXPECT_EQ(2, back->width);
    EXPECT_EQ(3, back->height);
    for (size_t i = 0; i < pixels.bits.size(); ++i)
        EXPECT_EQ(i % 4 == 3 ? 0 : pixels.bits[i], back->bits[i]) << i;
}

TEST(BmpFile, ReadsPaddedTwentyFourBitRowsBottomUp)
{
    // 1 x 2: each row of 3 bytes padded to 4; the first stored row is the bottom one.
    const std::string rows("\x01\x02\x03\xEE\x04\x05\x06\xEE", 8);
    const std::optional<TBitmapPixels> pixels = ReadBmp(Bytes(BmpFileOf(1, 2, 24, "", rows)));
    ASSERT_TRUE(pixels);
    EXPECT_EQ(std::string("\x04\x05\x06\x00", 4), PixelAt(*pixels, 0, 0));
    EXPECT_EQ(std::string("\x01\x02\x03\x00", 4), PixelAt(*pixels, 0, 1));
}

TEST(BmpFile, ReadsPalettedTopDownRowsAndBlackensIndicesBeyondThePalette)
{
    const std::string palette("\x10\x20\x30\x00\x40\x50\x60\x00", 8);
    // 4 bits a pixel, 3 pixels: indices 1, 0, 5 (5 is beyond the two-entry palette).
    const std::string rows("\x10\x50\x00\x00", 4);
    const std::optional<TBitmapPixels> pixels = ReadBmp(Bytes(BmpFileOf(3, -1, 4, palette, rows, 2)));
    ASSERT_TRUE(pixels);
    EXPECT_EQ(std::string("\x40\x50\x60\x00", 4), PixelAt(*pixels, 0, 0));
    EXPECT_EQ(std::string("\x10\x20\x30\x00", 4), PixelAt(*pixels, 1, 0));
    EXPECT_EQ(std::string(4, '\0'), PixelAt(*pixels, 2, 0));
}

TEST(BmpFile, ReadsOneBitRowsHighBitFirst)
{
    const std::string palette("\0\0\0\0\xFF\xFF\xFF\0", 8);
    const std::string rows("\xA0\0\0\0", 4);
    const std::optional<TBitmapPixels> pixels = ReadBmp(Bytes(BmpFileOf(3, 1, 1, palette, rows)));
    ASSERT_TRUE(pixels);
    EXPECT_EQ(std::string("\xFF\xFF\xFF\0", 4), PixelAt(*pixels, 0, 0));
    EXPECT_EQ(std::string(4, '\0'), PixelAt(*pixels, 1, 0));
    EXPECT_EQ(std::string("\xFF\xFF\xFF\0", 4), PixelAt(*pixels, 2, 0));
}

TEST(BmpFile, RefusesWhatItCannotReadSafely)
{
    const std::string rows(8, '\0');
    const std::string good = BmpFileOf(1, 2, 24, "", rows);
    ASSERT_TRUE(ReadBmp(Bytes(good)));
    EXPECT_FALSE(ReadBmp(Bytes(good.substr(0, good.size() - 1)))); // rows cut short
    EXPECT_FALSE(ReadBmp(Bytes(good.substr(0, 20))));               // headers cut short
    EXPECT_FALSE(ReadBmp({}));
    EXPECT_FALSE(ReadBmp(Bytes("XY" + good.substr(2))));
    EXPECT_FALSE(ReadBmp(Bytes(BmpFileOf(0, 2, 24, "", rows))));
    EXPECT_FALSE(ReadBmp(Bytes(BmpFileOf(1, 0, 24, "", rows))));
    EXPECT_FALSE(ReadBmp(Bytes(BmpFileOf(1, INT32_MIN, 24, "", rows))));
    EXPECT_FALSE(ReadBmp(Bytes(BmpFileOf(1, 2, 16, "", rows))));
    EXPECT_FALSE(ReadBmp(Bytes(BmpFileOf(0x10000000, 0x10000000, 32, "", rows))));
    std::string compressed = good;
    compressed[30] = 1;
    EXPECT_FALSE(ReadBmp(Bytes(compressed)));
    // A bits offset far beyond the file.
    std::string farBits = good;
    farBits[13] = '\x7F';
    EXPECT_FALSE(ReadBmp(Bytes(farBits)));
}

} // namespace
