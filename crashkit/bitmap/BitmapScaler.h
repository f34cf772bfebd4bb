#pragma once
// Resampling of a bitmap into a box with its aspect ratio kept, through the Mitchell-Netravali
// cubic filter (B = C = 1/3) in two passes, rows then columns.
#include <optional>

#include "bitmap/BitmapPixels.h"

struct TBitmapSize {
    int32_t width = 0;
    int32_t height = 0;
    bool operator==(const TBitmapSize&) const = default;
};

// The size that fits a width x height image into maxWidth x maxHeight; none for a side that is
// not positive.
std::optional<TBitmapSize> FitSize(int32_t width, int32_t height, int32_t maxWidth, int32_t maxHeight);

// None for an empty bitmap or a box that is not positive.
std::optional<TBitmapPixels> ScaleToFit(const TBitmapPixels& pixels, int32_t maxWidth, int32_t maxHeight);
