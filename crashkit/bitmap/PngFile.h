#pragma once
// Indexed-colour PNG images of a bitmap: 256 colours through Wu's quantiser or 16 grey
// levels, one IDAT of "78 01", raw deflate and Adler-32. Every result is empty when no valid
// image can be made; the bitmap itself is never changed.
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "bitmap/BitmapPixels.h"
#include "bitmap/PaletteColour.h"

// Signature, IHDR, PLTE, IDAT and IEND of image data that is already filtered (a filter byte
// before each row). Empty for an empty palette or when deflate fails.
std::string BuildIndexedPng(int32_t width, int32_t height, int bitDepth, const std::vector<TPaletteColour>& palette,
                            std::span<const uint8_t> imageData);

// 8 bits a pixel, whatever the number of colours the quantiser found.
std::string BuildPng256(const TBitmapPixels& pixels);
// 4 bits a pixel, grey = (77 red + 151 green + 28 blue) >> 8 mapped to the nearest level.
std::string BuildPngGrey(const TBitmapPixels& pixels);
// The grey levels of the 16-grey image.
std::span<const uint8_t, 16> GreyLevels();

// The screenshot's choice by depth selector: 1 grey; 2 to 5 the 256-colour image unless it is
// larger than 50, 100, 200 or 300 KB and the grey one is smaller; otherwise 256 colours, or
// grey when that gives nothing.
std::string BuildPngForDepth(const TBitmapPixels& pixels, uint8_t depth);
