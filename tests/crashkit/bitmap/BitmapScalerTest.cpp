#include "bitmap/BitmapScaler.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

TEST(BitmapScaler, FitsTheBoxWithTheAspectRatioKept)
{
    EXPECT_EQ((TBitmapSize{100, 50}), FitSize(200, 100, 100, 100));
    EXPECT_EQ((TBitmapSize{400, 200}), FitSize(200, 100, 400, 400));
    EXPECT_EQ((TBitmapSize{50, 100}), FitSize(100, 200, 100, 100));
    EXPECT_EQ((TBitmapSize{300, 150}), FitSize(200, 100, 300, 150));
    // A side that would round to nothing keeps one pixel.
    EXPECT_EQ((TBitmapSize{10, 1}), FitSize(1000, 1, 10, 10));
}

TEST(BitmapScaler, RefusesZeroSizesAndComputesLargeOnesWithoutOverflow)
{
    EXPECT_FALSE(FitSize(0, 100, 10, 10));
    EXPECT_FALSE(FitSize(100, 100, 0, 10));
    EXPECT_FALSE(FitSize(100, 100, 10, -1));
    EXPECT_EQ((TBitmapSize{0x7FFFFFFF, 0x7FFFFFFF / 2}), FitSize(65536, 32768, 0x7FFFFFFF, 0x7FFFFFFF));
    EXPECT_FALSE(ScaleToFit(TBitmapPixels{}, 10, 10));
    EXPECT_FALSE(ScaleToFit(TBitmapPixels::Make(4, 4), 0, 10));
}

TEST(BitmapScaler, SolidColourStaysSolidUpAndDown)
{
    // The sampled filter's weights sum to one only within about one percent.
    TBitmapPixels pixels = TBitmapPixels::Make(7, 5);
    for (size_t i = 0; i < pixels.bits.size(); i += 4) {
        pixels.bits[i] = 40;
        pixels.bits[i + 1] = 128;
        pixels.bits[i + 2] = 250;
    }
    for (const auto& [w, h] : {std::pair{70, 50}, std::pair{3, 3}, std::pair{1, 1}}) {
        const std::optional<TBitmapPixels> scaled = ScaleToFit(pixels, w, h);
        ASSERT_TRUE(scaled);
        for (size_t i = 0; i < scaled->bits.size(); i += 4) {
            EXPECT_NEAR(40, scaled->bits[i], 3);
            EXPECT_NEAR(128, scaled->bits[i + 1], 3);
            EXPECT_NEAR(250, scaled->bits[i + 2], 3);
        }
    }
}

TEST(BitmapScaler, KeepsAnEdgeWhereItWasAndClampsTheOvershoot)
{
    // Left half black, right half white, doubled in width: the cubic's overshoot is clamped
    // and the edge lands in the middle.
    TBitmapPixels pixels = TBitmapPixels::Make(8, 1);
    for (int32_t x = 4; x < 8; ++x)
        for (size_t c = 0; c < 3; ++c)
            pixels.bits[pixels.Offset(x, 0) + c] = 255;
    const std::optional<TBitmapPixels> scaled = ScaleToFit(pixels, 16, 2);
    ASSERT_TRUE(scaled);
    ASSERT_EQ(16, scaled->width);
    ASSERT_EQ(2, scaled->height);
    for (int32_t y = 0; y < 2; ++y) {
        EXPECT_EQ(0, scaled->bits[scaled->Offset(0, y)]);
        EXPECT_EQ(0, scaled->bits[scaled->Offset(5, y)]);
        EXPECT_EQ(255, scaled->bits[scaled->Offset(10, y)]);
        EXPECT_EQ(255, scaled->bits[scaled->Offset(15, y)]);
    }
}

} // namespace
