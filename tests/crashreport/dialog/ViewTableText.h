#pragma once
// A view table's captions and cells as narrow strings, for the table tests' comparisons.
#include <string>
#include <vector>

#include "DialogTestText.h"
#include "dialog/ColumnList.h"
#include "dialog/ViewTable.h"

inline std::vector<std::string> Captions(const TViewTable& table)
{
    std::vector<std::string> captions;
    for (const TViewColumn& column : table.columns)
        captions.push_back(Narrow(HeaderCaption(column)));
    return captions;
}

inline std::vector<std::string> Row(const TViewTable& table, size_t index)
{
    std::vector<std::string> cells;
    for (const UnicodeString& cell : table.rows.at(index).cells)
        cells.push_back(Narrow(cell));
    return cells;
}
