#pragma once
// BMP files: the bitmap object's own image (54-byte headers and its 32-bit bits as they are)
// and a bounded reader of the uncompressed files other programs write.
#include <optional>
#include <span>
#include <string>

#include "bitmap/BitmapPixels.h"

// "BM", file size, reserved words, bits offset 54, the 40-byte header, then the bits.
std::string BuildBmp(const TBitmapPixels& pixels);

// Uncompressed files of 1, 4, 8, 24 or 32 bits a pixel, bottom-up or top-down, with an info
// header of 40 bytes or one of its longer versions. None for anything else or anything that
// does not fit the data; palette indices beyond the palette give black.
std::optional<TBitmapPixels> ReadBmp(std::span<const uint8_t> file);
