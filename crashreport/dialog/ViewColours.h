#pragma once
// Colours of the report views' rows (0x00BBGGRR, as the system's colour values), for full
// colour displays and for displays of fewer than 15 bits per pixel.
#include <cstdint>

#include "text/ZelTypes.h"

using TColour = uint32_t;

constexpr TColour Rgb(uint8_t red, uint8_t green, uint8_t blue)
{
    return red | (static_cast<TColour>(green) << 8) | (static_cast<TColour>(blue) << 16);
}

constexpr TColour White = Rgb(255, 255, 255);
constexpr TColour HeadingRuleColour = Rgb(192, 192, 192);
constexpr TColour SelectedHeadingRuleColour = Rgb(160, 160, 160);
constexpr TColour CommentTextColour = Rgb(96, 96, 96);

// Columns 0, 4, 8, ... are tinted blue, columns 2, 6, 10, ... red, the others white; a
// spanning row and a view of one column are white. A selected row is darker.
TColour CellBackground(int column, int columnCount, bool spanning, bool selected, bool lowColour);
TColour SelectionFrameColour(bool lowColour);
// The line along the bottom of an unselected row.
TColour RowSeparatorColour(bool lowColour);

// A cell's text as one line on screen: tabs and other control characters become blanks.
UnicodeString DisplayText(const UnicodeString& cell);

// Whether a cell's text is a path that is shortened in its middle (a drive letter, ":" and
// "\") rather than at its end.
bool IsDrivePath(const UnicodeString& cell);
