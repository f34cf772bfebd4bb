// The report views read a report text back into tabs, columns and rows: arbitrary text (bytes
// widened to UTF-16, so that line breaks, blanks and ">>" come often) never crashes them,
// and every row fits its table.
#include <cstdint>

#include "FuzzProperty.h"
#include "dialog/CallStackTable.h"
#include "dialog/ReportTabs.h"

namespace {

void CheckRows(const TViewTable& table)
{
    for (const TViewRow& row : table.rows) {
        if (row.spanning)
            Require(row.cells.size() == 1, "a spanning row holds one text");
        else
            Require(row.cells.size() <= std::max<size_t>(table.columns.size(), 1), "more cells than columns");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const UnicodeString text(data, data + size);
    const TReportContent report = ParseReportText(text);
    for (const TReportTab& tab : BuildReportTabs(report))
        CheckRows(BuildTabTable(report, tab));
    // Every kind of section over the whole text, as if it were one body.
    for (const char16_t* name : {u"cpu registers", u"stack dump", u"modules", u"processes", u"disassembling", u"x"})
        CheckRows(BuildSectionTable(name, text));
    CheckRows(BuildCallStackTable(text));
    return 0;
}
