#include "dialog/box/BoxPicture.h"

#include <gtest/gtest.h>

namespace {

std::vector<uint8_t> Resource(int size, int32_t headerHeight, uint32_t pixel)
{
    std::vector<uint8_t> bytes(40 + 4 * static_cast<size_t>(size) * static_cast<size_t>(size));
    for (int i = 0; i < 4; ++i)
        bytes[8 + static_cast<size_t>(i)] = static_cast<uint8_t>(static_cast<uint32_t>(headerHeight) >> (8 * i));
    for (size_t offset = 40; offset < bytes.size(); offset += 4)
        for (int i = 0; i < 4; ++i)
            bytes[offset + static_cast<size_t>(i)] = static_cast<uint8_t>(pixel >> (8 * i));
    return bytes;
}

TEST(BoxPictureTest, OnlyPicturesOfExactlyTheirSizeAreTaken)
{
    EXPECT_TRUE(BlendPicture(Resource(16, 16, 0), kButtonPictureSize, 0));
    EXPECT_TRUE(BlendPicture(Resource(32, 32, 0), kBigPictureSize, 0));
    EXPECT_FALSE(BlendPicture(Resource(32, 32, 0), kButtonPictureSize, 0));
    EXPECT_FALSE(BlendPicture(Resource(16, 16, 0), kBigPictureSize, 0));
    std::vector<uint8_t> longer = Resource(16, 16, 0);
    longer.push_back(0);
    EXPECT_FALSE(BlendPicture(longer, kButtonPictureSize, 0));
    longer.resize(40 + 4 * 16 * 16 - 1);
    EXPECT_FALSE(BlendPicture(longer, kButtonPictureSize, 0));
    EXPECT_FALSE(BlendPicture({}, kButtonPictureSize, 0));
}

TEST(BoxPictureTest, PixelsBlendOntoTheBackgroundByTheirAlphaPlusOne)
{
    const uint32_t background = 0x00D4D0C8;
    const auto opaque = BlendPicture(Resource(16, 16, 0xFF102030), 16, background);
    ASSERT_TRUE(opaque);
    EXPECT_EQ(opaque->pixels.front(), 0x00102030u);
    EXPECT_EQ(opaque->pixels.size(), 256u);
    // Alpha 0 still lets 1/256 of the pixel through.
    const auto clear = BlendPicture(Resource(16, 16, 0x00FFFFFF), 16, background);
    EXPECT_EQ(clear->pixels.back(), ((255u * 0xD4 + 0xFF) / 256) << 16 | ((255u * 0xD0 + 0xFF) / 256) << 8 |
                                        ((255u * 0xC8 + 0xFF) / 256));
    const auto half = BlendPicture(Resource(16, 16, 0x7F000000), 16, 0x00FFFFFF);
    EXPECT_EQ(half->pixels[7], 0x007F7F7Fu);
}

TEST(BoxPictureTest, RowOrderFollowsTheHeader)
{
    EXPECT_FALSE(BlendPicture(Resource(16, 16, 0), 16, 0)->topDown);
    EXPECT_TRUE(BlendPicture(Resource(16, -16, 0), 16, 0)->topDown);
}

} // namespace
