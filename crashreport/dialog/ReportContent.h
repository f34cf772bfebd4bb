#pragma once
// The report as the views take it: the header fields and the sections (title, body), either
// straight from the exception's lists or read back from the report text.
#include <string_view>

#include "dialog/SectionTables.h"

struct TReportContent {
    TFieldPairs header;
    // Title as written (thread titles end with ":" and may carry marks), body lines joined
    // by CR LF.
    TFieldPairs sections;
};

// Reads the report text format: header lines "name: value" up to the first empty line,
// then sections, each a title line and its body, separated by empty lines; a body line "."
// stands for an empty line.
TReportContent ParseReportText(std::u16string_view text);

// The title without a trailing ":" and blanks, for looking a section up by name.
std::u16string_view SectionName(std::u16string_view title);

// Thread titles hold the thread id as "$" + hexadecimal.
bool IsThreadSection(std::u16string_view title);
