#pragma once
// Draws one row of a report view: tinted cells, the selection frame, the separator line and
// the spanning rows (headings bold over a rule, comments in grey).
#include <windows.h>

#include <vector>

#include "dialog/ViewTable.h"

struct TRowPaint {
    HDC dc = nullptr;
    RECT bounds{};
    // Left to right, in pixels.
    std::vector<int> columnWidths;
    bool selected = false;
    bool lowColour = false;
    // The row below is a heading: no separator line under this one.
    bool nextFollowsBlank = false;
    HFONT font = nullptr;
    HFONT boldFont = nullptr;
};

void PaintViewRow(const TRowPaint& paint, const TViewRow& row, const TColumns& columns);

// Displays of fewer than 15 bits per pixel get the reduced colours.
bool IsLowColourDisplay(HDC dc);
