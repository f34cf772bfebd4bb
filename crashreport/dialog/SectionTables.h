#pragma once
// The views of the report's header and of its sections other than the call stacks.
#include <string_view>
#include <utility>
#include <vector>

#include "dialog/ViewTable.h"

using TFieldPairs = std::vector<std::pair<UnicodeString, UnicodeString>>;

// The "general" tab: one row per header field.
TViewTable BuildHeaderTable(const TFieldPairs& header);

// A section by its name: registers, stack dump, modules, processes and disassembly get their
// captions; any other section shows the columns found in it without a header.
TViewTable BuildSectionTable(std::u16string_view name, std::u16string_view text);

// Columns found in the text, captioned by the column list when it is not empty: a column
// the column list lacks joins the last captioned one, a caption without a column stays
// empty.
TViewTable BuildDetectedTable(std::u16string_view text, std::u16string_view columnList);

// "address" (or "line" when the listing carries source lines), "asm code", "comments".
TViewTable BuildDisassemblyTable(std::u16string_view text);

// Address, the sixteen bytes in hexadecimal, the same bytes as characters.
TViewTable BuildStackDumpTable(std::u16string_view text);

// A comment or empty line, drawn across all columns without the ">> " in front.
TViewRow SpanningRow(std::u16string_view trimmedLine, bool followsBlank);
