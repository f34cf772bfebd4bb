#pragma once
// What one report view shows: its columns and its rows, worked out from a report section.
#include <vector>

#include "text/ZelTypes.h"

struct TViewColumn {
    UnicodeString caption;
    bool rightAligned = false;
    // The header shows the caption in upper case.
    bool upperCaseHeader = false;
};

using TColumns = std::vector<TViewColumn>;

struct TViewRow {
    // One text per column; a spanning row holds one text drawn across all columns.
    std::vector<UnicodeString> cells;
    bool spanning = false;
    // A spanning row right after an empty line: a heading, drawn bold over a rule, and the
    // row above it gets no separator line.
    bool followsBlank = false;
};

using TItems = std::vector<TViewRow>;

struct TViewTable {
    TColumns columns;
    // Sections without captions are shown without a column header.
    bool hasHeader = false;
    // Report sections use the fixed font; the general tab the dialog font.
    bool fixedFont = true;
    TItems rows;
};
