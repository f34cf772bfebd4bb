// The stack dump: every line is the address, two blanks, sixteen bytes in hexadecimal (a "- "
// after the eighth, three blanks for a byte past the readable region), a blank and the
// bytes as characters. Its hexadecimal part is full of aligned blanks, so the columns come
// from this layout rather than from column detection.
#include "dialog/SectionTables.h"

#include "dialog/ColumnList.h"
#include "dialog/SectionLayout.h"
#include "text/TextEdit.h"

namespace {

// Two blanks after the address, 8 x 3 + 2 + 8 x 3 characters of bytes, one blank.
constexpr size_t HexOffset = 2;
constexpr size_t HexLength = 50;
constexpr size_t CharsOffset = HexOffset + HexLength + 1;

} // namespace

TViewTable BuildStackDumpTable(std::u16string_view text)
{
    TViewTable table;
    table.columns = ParseColumnList(u"address|data - hexadecimal|data - chars");
    table.hasHeader = true;
    for (const TDALine& line : SplitSectionLines(text)) {
        std::u16string_view body = text.substr(static_cast<size_t>(line.start));
        body = body.substr(0, std::min(body.find(u'\r'), body.find(u'\n')));
        const UnicodeString trimmed = TrimW(body);
        if (trimmed.empty() || line.length < 0) {
            table.rows.push_back(SpanningRow(trimmed, false));
            continue;
        }
        const size_t addressEnd = std::min(body.find(u' '), body.size());
        const std::u16string_view rest = body.substr(addressEnd);
        TViewRow row;
        row.cells.emplace_back(body.substr(0, addressEnd));
        row.cells.push_back(TrimW(rest.substr(std::min(HexOffset, rest.size()), HexLength)));
        row.cells.emplace_back(rest.size() > CharsOffset ? rest.substr(CharsOffset) : std::u16string_view());
        table.rows.push_back(std::move(row));
    }
    return table;
}
