#include "dialog/ColumnList.h"

#include "text/CaseFolding.h"

TColumns ParseColumnList(std::u16string_view columnList)
{
    TColumns columns;
    if (columnList.empty())
        return columns;
    size_t start = 0;
    for (;;) {
        const size_t bar = columnList.find(u'|', start);
        std::u16string_view caption =
            columnList.substr(start, bar == std::u16string_view::npos ? columnList.npos : bar - start);
        TViewColumn column;
        if (!caption.empty() && caption.front() == u'^') {
            column.upperCaseHeader = true;
            caption.remove_prefix(1);
        }
        if (!caption.empty() && caption.front() == u' ') {
            column.rightAligned = true;
            caption.remove_prefix(1);
        }
        column.caption = UnicodeString(caption);
        columns.push_back(std::move(column));
        if (bar == std::u16string_view::npos)
            return columns;
        start = bar + 1;
    }
}

UnicodeString HeaderCaption(const TViewColumn& column)
{
    const UnicodeString caption = column.upperCaseHeader ? UpperCaseW(column.caption) : column.caption;
    UnicodeString shown;
    for (const char16_t c : caption) {
        shown += c;
        if (c == u'&')
            shown += u'&';
    }
    return shown;
}
