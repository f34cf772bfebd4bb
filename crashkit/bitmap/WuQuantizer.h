#pragma once
// Wu's variance-minimising colour quantiser over a 33 x 33 x 33 histogram of 5-bit channels,
// and the mapping of pixels to the nearest palette entry.
#include <cstdint>
#include <vector>

#include "bitmap/BitmapPixels.h"
#include "bitmap/PaletteColour.h"

// Up to maxColours entries, each the mean colour of one box; fewer when the image has fewer
// distinct 5-bit colours. Empty for an empty bitmap.
std::vector<TPaletteColour> QuantizeWu(const TBitmapPixels& pixels, int maxColours);

// One palette index a pixel, rows from the top: the nearest entry by the sum of the absolute
// channel differences (the first of equals), looked up once for each 5-bit colour.
std::vector<uint8_t> MapToPalette(const TBitmapPixels& pixels, const std::vector<TPaletteColour>& palette);
