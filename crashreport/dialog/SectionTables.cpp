#include "dialog/SectionTables.h"

#include <climits>

#include "dialog/ColumnList.h"
#include "dialog/SectionLayout.h"
#include "text/CaseFolding.h"
#include "text/TextEdit.h"

namespace {

struct TSectionColumnList {
    std::u16string_view name;
    std::u16string_view columnList;
};

constexpr TSectionColumnList FixedColumnLists[] = {
    {u"cpu registers", u"reg.|content"},
    {u"modules", u"^handle|file name| version|path"},
};

// The process list shows a session column and the two object counts only when it lists
// them; the number of columns found tells which.
std::u16string_view ProcessesColumnList(int columns)
{
    switch (columns) {
    case 5:
        return u"^id|file name|session|priority|path";
    case 6:
        return u"^id|file name|gdi objects|user objects|priority|path";
    default:
        return columns >= 7 ? u"^id|file name|session|gdi objects|user objects|priority|path"
                            : u"^id|file name|priority|path";
    }
}

bool IsComment(std::u16string_view trimmed)
{
    return trimmed.size() >= 2 && trimmed[0] == u'>' && trimmed[1] == u'>';
}

} // namespace

TViewRow SpanningRow(std::u16string_view trimmedLine, bool followsBlank)
{
    TViewRow row;
    row.spanning = true;
    row.followsBlank = followsBlank;
    row.cells.emplace_back(trimmedLine.size() > 3 ? trimmedLine.substr(3) : std::u16string_view());
    return row;
}

TViewTable BuildHeaderTable(const TFieldPairs& header)
{
    TViewTable table;
    table.columns = ParseColumnList(u"description|value");
    table.hasHeader = true;
    table.fixedFont = false;
    for (const auto& [name, value] : header)
        table.rows.push_back({{name, value}, false, false});
    return table;
}

TViewTable BuildDetectedTable(std::u16string_view text, std::u16string_view columnList)
{
    const TSectionLayout layout(text, true);
    TViewTable table;
    table.hasHeader = !columnList.empty();
    table.columns =
        columnList.empty() ? TColumns(static_cast<size_t>(layout.ColumnCount())) : ParseColumnList(columnList);
    const int shown = static_cast<int>(table.columns.size());
    bool previousEmpty = false;
    for (size_t line = 0; line < layout.LineCount(); ++line) {
        const UnicodeString trimmed = TrimW(layout.Line(line));
        if (trimmed.empty() || IsComment(trimmed)) {
            table.rows.push_back(SpanningRow(trimmed, previousEmpty && !trimmed.empty()));
            previousEmpty = trimmed.empty();
            continue;
        }
        previousEmpty = false;
        TViewRow row;
        for (int column = 0; column < shown; ++column) {
            if (column >= layout.ColumnCount()) {
                row.cells.emplace_back();
                continue;
            }
            const int end = column == shown - 1 ? INT_MAX : layout.ColumnEnd(column);
            row.cells.push_back(TrimW(layout.Span(line, layout.ColumnStart(column), end)));
        }
        table.rows.push_back(std::move(row));
    }
    return table;
}

TViewTable BuildSectionTable(std::u16string_view name, std::u16string_view text)
{
    if (SameTextW(name, u"disassembling"))
        return BuildDisassemblyTable(text);
    if (SameTextW(name, u"stack dump"))
        return BuildStackDumpTable(text);
    if (SameTextW(name, u"processes"))
        return BuildDetectedTable(text, ProcessesColumnList(TSectionLayout(text, true).ColumnCount()));
    for (const TSectionColumnList& fixed : FixedColumnLists) {
        if (SameTextW(name, fixed.name))
            return BuildDetectedTable(text, fixed.columnList);
    }
    return BuildDetectedTable(text, {});
}
