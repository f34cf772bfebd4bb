#include "bitmap/BitmapPixels.h"

TBitmapPixels TBitmapPixels::Make(int32_t width, int32_t height)
{
    TBitmapPixels pixels;
    if (width <= 0 || height <= 0 || width > kMaxSide || height > kMaxSide ||
        int64_t{width} * height > kMaxPixels)
        return pixels;
    pixels.width = width;
    pixels.height = height;
    pixels.bits.assign(static_cast<size_t>(width) * static_cast<size_t>(height) * 4, 0);
    return pixels;
}
