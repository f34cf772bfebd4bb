#pragma once
// A palette entry of an indexed-colour image.
#include <cstdint>

struct TPaletteColour {
    uint8_t red = 0;
    uint8_t green = 0;
    uint8_t blue = 0;
    bool operator==(const TPaletteColour&) const = default;
};
