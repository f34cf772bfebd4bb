#include "dialog/win/ViewRowPainter.h"

#include "dialog/ViewColours.h"
#include "wizard/win/GdiObjects.h"

namespace {

constexpr int CellInsetLeft = 4;
constexpr int FirstCellInsetLeft = 6;
constexpr int CellInsetRight = 4;
constexpr int CellInsetTop = 2;

void Fill(HDC dc, const RECT& rect, TColour colour)
{
    const TBrush brush(CreateSolidBrush(colour));
    FillRect(dc, &rect, brush.Get());
}

void DrawCellText(HDC dc, RECT rect, const UnicodeString& cell, bool rightAligned)
{
    const std::wstring text = WideOf(DisplayText(cell));
    UINT format = DT_SINGLELINE | DT_NOPREFIX | (IsDrivePath(cell) ? DT_PATH_ELLIPSIS : DT_END_ELLIPSIS);
    if (rightAligned)
        format |= DT_RIGHT;
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &rect, format);
}

void PaintSpanning(const TRowPaint& paint, const TViewRow& row)
{
    Fill(paint.dc, paint.bounds, CellBackground(0, 1, true, paint.selected, paint.lowColour));
    RECT text = paint.bounds;
    text.left += FirstCellInsetLeft;
    text.top += CellInsetTop;
    text.right -= CellInsetRight;
    const UnicodeString caption = row.cells.empty() ? UnicodeString() : row.cells.front();
    if (row.followsBlank) {
        const TSelection font(paint.dc, paint.boldFont);
        SetTextColor(paint.dc, RGB(0, 0, 0));
        DrawCellText(paint.dc, text, caption, false);
        RECT rule = paint.bounds;
        rule.left += FirstCellInsetLeft;
        rule.right -= CellInsetRight;
        rule.top = rule.bottom - 2;
        Fill(paint.dc, rule, paint.selected ? SelectedHeadingRuleColour : HeadingRuleColour);
        return;
    }
    const TSelection font(paint.dc, paint.font);
    SetTextColor(paint.dc, CommentTextColour);
    DrawCellText(paint.dc, text, caption, false);
}

void PaintCells(const TRowPaint& paint, const TViewRow& row, const TColumns& columns)
{
    const TSelection font(paint.dc, paint.font);
    SetTextColor(paint.dc, RGB(0, 0, 0));
    const int count = static_cast<int>(paint.columnWidths.size());
    int left = paint.bounds.left;
    for (int column = 0; column < count; ++column) {
        RECT cell{left, paint.bounds.top, left + paint.columnWidths[static_cast<size_t>(column)], paint.bounds.bottom};
        // The last column fills the rest of the row.
        if (column == count - 1 && cell.right < paint.bounds.right)
            cell.right = paint.bounds.right;
        left = cell.right;
        Fill(paint.dc, cell, CellBackground(column, count, false, paint.selected, paint.lowColour));
        if (static_cast<size_t>(column) >= row.cells.size())
            continue;
        RECT text = cell;
        text.left += column == 0 ? FirstCellInsetLeft : CellInsetLeft;
        text.right -= CellInsetRight;
        text.top += CellInsetTop;
        const bool right = static_cast<size_t>(column) < columns.size() && columns[static_cast<size_t>(column)].rightAligned;
        DrawCellText(paint.dc, text, row.cells[static_cast<size_t>(column)], right);
    }
}

} // namespace

bool IsLowColourDisplay(HDC dc)
{
    return GetDeviceCaps(dc, BITSPIXEL) * GetDeviceCaps(dc, PLANES) < 15;
}

void PaintViewRow(const TRowPaint& paint, const TViewRow& row, const TColumns& columns)
{
    SetBkMode(paint.dc, TRANSPARENT);
    if (row.spanning)
        PaintSpanning(paint, row);
    else
        PaintCells(paint, row, columns);
    if (paint.selected) {
        const TBrush frame(CreateSolidBrush(SelectionFrameColour(paint.lowColour)));
        FrameRect(paint.dc, &paint.bounds, frame.Get());
    } else if (!paint.nextFollowsBlank) {
        RECT line = paint.bounds;
        line.top = line.bottom - 1;
        Fill(paint.dc, line, RowSeparatorColour(paint.lowColour));
    }
}
