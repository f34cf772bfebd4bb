#include "bitmap/PngFile.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <random>

#include "PngReader.h"
#include "bitmap/Adler32.h"

namespace {

void SetPixel(TBitmapPixels& pixels, int32_t x, int32_t y, uint8_t red, uint8_t green, uint8_t blue)
{
    uint8_t* pixel = &pixels.bits[pixels.Offset(x, y)];
    pixel[0] = blue;
    pixel[1] = green;
    pixel[2] = red;
}

TBitmapPixels Noise(int32_t width, int32_t height, unsigned seed)
{
    TBitmapPixels pixels = TBitmapPixels::Make(width, height);
    std::mt19937 random(seed);
    for (size_t i = 0; i < pixels.bits.size(); ++i)
        pixels.bits[i] = i % 4 == 3 ? 0 : static_cast<uint8_t>(random());
    return pixels;
}

TEST(Adler32, MatchesZlibAcrossBlockBoundaries)
{
    EXPECT_EQ(1u, Adler32({}));
    const std::string text = "Wikipedia";
    EXPECT_EQ(0x11E60398u, Adler32({reinterpret_cast<const uint8_t*>(text.data()), text.size()}));
    // All 0xFF is the worst case for the sums between reductions.
    for (const size_t size : {size_t{3853}, size_t{3854}, size_t{3855}, size_t{1} << 20}) {
        const std::vector<uint8_t> data(size, 0xFF);
        EXPECT_EQ(adler32(1, data.data(), static_cast<uInt>(size)), Adler32(data)) << size;
    }
}

TEST(PngFile, OnePixelHasTheExactChunkLayoutAndZlibFraming)
{
    TBitmapPixels pixels = TBitmapPixels::Make(1, 1);
    SetPixel(pixels, 0, 0, 10, 200, 30);
    const std::string png = BuildPng256(pixels);
    const std::vector<TPngChunk> chunks = ReadChunks(png);
    ASSERT_EQ(4u, chunks.size());
    EXPECT_EQ("IHDR", chunks[0].type);
    EXPECT_EQ(std::string("\0\0\0\1\0\0\0\1\x08\x03\0\0\0", 13), chunks[0].data);
    EXPECT_EQ("PLTE", chunks[1].type);
    EXPECT_EQ(std::string("\x0A\xC8\x1E", 3), chunks[1].data);
    EXPECT_EQ("IDAT", chunks[2].type);
    const std::string& idat = chunks[2].data;
    EXPECT_EQ(std::string("\x78\x01", 2), idat.substr(0, 2));
    // Filter byte 0 and index 0; Adler-32 of those two bytes is 0x00020001.
    EXPECT_EQ(std::string("\0\2\0\1", 4), idat.substr(idat.size() - 4));
    EXPECT_EQ(std::string(2, '\0'), InflateIdat(idat, 2));
    EXPECT_EQ("IEND", chunks[3].type);
    EXPECT_TRUE(chunks[3].data.empty());
}

TEST(PngFile, FewColoursStillGetEightBitIndicesThatMatchThePalette)
{
    // Three colours in distinct 5-bit cells: the palette holds exactly them.
    TBitmapPixels pixels = TBitmapPixels::Make(3, 2);
    const uint8_t colours[3][3] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 248}};
    for (int32_t y = 0; y < 2; ++y) {
        for (int32_t x = 0; x < 3; ++x) {
            const auto& c = colours[(x + y) % 3];
            SetPixel(pixels, x, y, c[0], c[1], c[2]);
        }
    }
    const std::vector<TPngChunk> chunks = ReadChunks(BuildPng256(pixels));
    ASSERT_EQ(4u, chunks.size());
    EXPECT_EQ(8, chunks[0].data[8]);
    ASSERT_EQ(9u, chunks[1].data.size());
    const std::string image = InflateIdat(chunks[2].data, 8);
    ASSERT_EQ(8u, image.size());
    for (int32_t y = 0; y < 2; ++y) {
        EXPECT_EQ(0, image[static_cast<size_t>(y) * 4]);
        for (int32_t x = 0; x < 3; ++x) {
            const auto index = static_cast<uint8_t>(image[static_cast<size_t>(y) * 4 + 1 + static_cast<size_t>(x)]);
            ASSERT_LT(index, 3);
            const auto& c = colours[(x + y) % 3];
            EXPECT_EQ(std::string({static_cast<char>(c[0]), static_cast<char>(c[1]), static_cast<char>(c[2])}),
                      chunks[1].data.substr(index * 3u, 3));
        }
    }
}

TEST(PngFile, GreyRowsOfOddWidthEndWithAnEmptyLowNibble)
{
    TBitmapPixels pixels = TBitmapPixels::Make(3, 2);
    for (int32_t x = 0; x < 3; ++x) {
        SetPixel(pixels, x, 0, 255, 255, 255); // grey 255: level 15
        SetPixel(pixels, x, 1, 0, 0, 255);     // grey 27: nearest level 28 (1)
    }
    const std::vector<TPngChunk> chunks = ReadChunks(BuildPngGrey(pixels));
    ASSERT_EQ(4u, chunks.size());
    EXPECT_EQ(4, chunks[0].data[8]);
    ASSERT_EQ(48u, chunks[1].data.size());
    EXPECT_EQ(std::string("\0\xFF\xF0\0\x11\x10", 6), InflateIdat(chunks[2].data, 6));
}

TEST(PngFile, GreyLevelsAreTheNearestFirstOfEquals)
{
    TBitmapPixels pixels = TBitmapPixels::Make(2, 1);
    // Grey 14 is as far from 0 as from 28: the first level wins. Grey 15 goes to 28.
    SetPixel(pixels, 0, 0, 14, 14, 14);
    SetPixel(pixels, 1, 0, 15, 15, 15);
    const std::vector<TPngChunk> chunks = ReadChunks(BuildPngGrey(pixels));
    ASSERT_EQ(4u, chunks.size());
    EXPECT_EQ(std::string("\0\x01", 2), InflateIdat(chunks[2].data, 2));
}

TEST(PngFile, EmptyBitmapOrPaletteGivesNoImage)
{
    EXPECT_TRUE(BuildPng256(TBitmapPixels{}).empty());
    EXPECT_TRUE(BuildPngGrey(TBitmapPixels{}).empty());
    EXPECT_TRUE(BuildPngForDepth(TBitmapPixels{}, 8).empty());
    const uint8_t data[2] = {0, 0};
    EXPECT_TRUE(BuildIndexedPng(1, 1, 8, {}, data).empty());
}

TEST(PngFile, DepthSelectorPicksGreyOnlyWhenColourIsTooLargeAndGreySmaller)
{
    const TBitmapPixels noise = Noise(300, 300, 17);
    const std::string colour = BuildPng256(noise);
    const std::string grey = BuildPngGrey(noise);
    ASSERT_GT(colour.size(), 51200u);
    ASSERT_LT(grey.size(), colour.size());
    EXPECT_EQ(grey, BuildPngForDepth(noise, 1));
    EXPECT_EQ(grey, BuildPngForDepth(noise, 2));
    EXPECT_EQ(colour, BuildPngForDepth(noise, 8));
    EXPECT_EQ(colour, BuildPngForDepth(noise, 0));
    // Under the largest limit the colour image stays.
    const TBitmapPixels small = Noise(100, 100, 18);
    EXPECT_EQ(BuildPng256(small), BuildPngForDepth(small, 5));
}

TEST(PngFile, NoiseKeepsEveryIndexInsideThePalette)
{
    const TBitmapPixels noise = Noise(97, 61, 5);
    const std::vector<TPngChunk> chunks = ReadChunks(BuildPng256(noise));
    ASSERT_EQ(4u, chunks.size());
    const size_t paletteSize = chunks[1].data.size() / 3;
    EXPECT_EQ(256u, paletteSize);
    const std::string image = InflateIdat(chunks[2].data, 98u * 61u);
    ASSERT_EQ(98u * 61u, image.size());
    for (size_t i = 0; i < image.size(); ++i) {
        if (i % 98 == 0)
            EXPECT_EQ(0, image[i]);
        else
            ASSERT_LT(static_cast<uint8_t>(image[i]), paletteSize);
    }
}

} // namespace
