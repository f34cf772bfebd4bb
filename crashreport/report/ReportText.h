#pragma once
// The bug-report text, the format the saved file, the mail body and the dialog's views read:
// the header's "name: value" lines with the names padded to one width, then each section as
// a blank line, its title line and its body lines.
#include <span>
#include <string_view>

#include "ReportFacts.h"

// CR LF, CR and LF become blanks, and runs of blanks one blank.
UnicodeString SingleLineValue(std::u16string_view value);

// Lines joined by CR LF; every name padded with blanks to the longest name + 1. Names and
// values stand on one line whatever they hold.
UnicodeString HeaderText(std::span<const THeaderField> header);

// CR LF, CR LF, the title on one line (":" appended when it holds none), then one CR LF-led line per body
// line: trailing blanks removed, an empty line written as ".". A body not yet calculated is
// written as the placeholder.
UnicodeString SectionText(const TReportSection& section);

UnicodeString ReportText(const TReportFacts& facts);
