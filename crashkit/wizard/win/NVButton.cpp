#include "wizard/win/NVItems.h"

#include "wizard/PropertyValues.h"
#include "wizard/win/NVForm.h"

namespace {

TBottomButton BottomButtonOf(const TNVItem& button)
{
    switch (button.Index()) {
    case 0:
        return TBottomButton::Continue;
    case 1:
        return TBottomButton::Skip;
    default:
        return TBottomButton::Cancel;
    }
}

void FillRect(HDC dc, const RECT& rect, COLORREF color)
{
    const TBrush brush(CreateSolidBrush(color));
    ::FillRect(dc, &rect, brush.Get());
}

RECT Inset(const RECT& rect, int by)
{
    return {rect.left + by, rect.top + by, rect.right - by, rect.bottom - by};
}

void HorizontalLine(HDC dc, const RECT& rect, int y, COLORREF color)
{
    const TPen pen(CreatePen(PS_SOLID, 1, color));
    const TSelection selection(dc, pen.Get());
    MoveToEx(dc, rect.left + 2, y, nullptr);
    LineTo(dc, rect.right - 2, y);
}

void DrawCaption(HDC dc, RECT rect, const std::wstring& caption, COLORREF color)
{
    SetTextColor(dc, color);
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &rect,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

void PaintDisabled(HDC dc, const RECT& rect, const std::wstring& caption)
{
    FillRect(dc, rect, GetSysColor(COLOR_BTNFACE));
    FillRect(dc, Inset(rect, 2), AddColor(GetSysColor(COLOR_BTNFACE), 0x101010));
    DrawCaption(dc, rect, caption, RGB(255, 255, 255));
}

void PaintFocused(HDC dc, const RECT& rect, const std::wstring& caption, TButtonColors colors)
{
    FillRect(dc, rect, GetSysColor(COLOR_WINDOWTEXT));
    int line = 0;
    for (int y = rect.bottom - 3; y >= rect.top + 2; --y)
        HorizontalLine(dc, rect, y, FocusedGradientColor(colors.step, line++));
    {
        const TPen dots(CreatePen(PS_DOT, 1, colors.frame));
        const TSelection pen(dc, dots.Get());
        const TSelection brush(dc, GetStockObject(NULL_BRUSH));
        const RECT frame = Inset(rect, 3);
        Rectangle(dc, frame.left, frame.top, frame.right, frame.bottom);
    }
    DrawCaption(dc, rect, caption, GetSysColor(COLOR_WINDOW));
}

void PaintNormal(HDC dc, const RECT& rect, const std::wstring& caption, TButtonColors colors)
{
    FillRect(dc, rect, GetSysColor(COLOR_BTNSHADOW));
    FillRect(dc, Inset(rect, 2), GetSysColor(COLOR_BTNFACE));
    int line = 0;
    for (int y = rect.top + 3; y <= rect.bottom - 4; ++y)
        HorizontalLine(dc, rect, y, NormalGradientColor(colors.step, line++));
    for (int dx = -1; dx <= 1; ++dx) {
        for (int dy = -1; dy <= 1; ++dy) {
            if (dx != 0 || dy != 0)
                DrawCaption(dc, {rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy}, caption,
                            RGB(255, 255, 255));
        }
    }
    DrawCaption(dc, rect, caption, GetSysColor(COLOR_WINDOWTEXT));
}

} // namespace

void TNVButton::SetCaption(UnicodeString caption)
{
    caption_ = std::move(caption);
    if (Handle()) {
        SetWindowTextW(Handle(), WideOf(caption_).c_str());
        Repaint();
    }
}

void TNVButton::ReadProperty(std::u16string_view name, std::u16string_view value)
{
    if (name == u"MinWidth")
        minWidth_ = ParseMeasure(value, 0, MaxMeasure);
    else if (name == u"Caption")
        caption_ = UnicodeString(value);
    else if (name == u"NoOwnerDraw")
        noOwnerDraw_ = ParseFlag(value);
    else if (name == u"Visible")
        hidden_ = !ParseFlag(value);
    else
        TNVItem::ReadProperty(name, value);
}

HFONT TNVButton::CaptionFont() const
{
    return OwnerDraw() ? Form().ButtonFont() : Form().PlainButtonFont();
}

int TNVButton::NaturalWidth(HDC measure) const
{
    const SIZE caption = MeasureText(measure, CaptionFont(), WideOf(Caption()));
    return ItemButtonSize({caption.cx, caption.cy}, minWidth_).width;
}

TSize TNVButton::Measure(HDC measure, int)
{
    const SIZE caption = MeasureText(measure, CaptionFont(), WideOf(Caption()));
    return ItemButtonSize({caption.cx, caption.cy}, minWidth_);
}

TSize TNVButton::MeasureBottom(HDC measure) const
{
    const SIZE caption = MeasureText(measure, CaptionFont(), WideOf(Caption()));
    return BottomButtonSize({caption.cx, caption.cy}, OwnerDraw(), hidden_);
}

void TNVButton::CreateWnd()
{
    if (hidden_)
        return;
    CreateChild(L"BUTTON", BS_NOTIFY | (OwnerDraw() ? BS_OWNERDRAW : BS_PUSHBUTTON), Caption(), CaptionFont());
}

void TNVButton::DrawItem(const DRAWITEMSTRUCT& item)
{
    const std::wstring caption = WideOf(Caption());
    const TButtonColors colors = BottomButtonColors(BottomButtonOf(*this));
    const HDC dc = item.hDC;
    const TSelection font(dc, Form().ButtonFont());
    SetBkMode(dc, TRANSPARENT);
    if (item.itemState & ODS_DISABLED)
        PaintDisabled(dc, item.rcItem, caption);
    else if (item.itemState & ODS_FOCUS)
        PaintFocused(dc, item.rcItem, caption, colors);
    else
        PaintNormal(dc, item.rcItem, caption, colors);
}
