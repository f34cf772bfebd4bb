#include "wizard/win/NVItems.h"

#include "wizard/PropertyValues.h"
#include "wizard/win/NVForm.h"

namespace {

constexpr int CaptionGap = 8;

int CheckMarkSize()
{
    return GetSystemMetrics(SM_CXMENUCHECK);
}

} // namespace

void TNVCheckBox::SetCaption(UnicodeString caption)
{
    caption_ = std::move(caption);
    Repaint();
}

void TNVCheckBox::SetChecked(bool checked)
{
    checked_ = checked;
    Repaint();
}

void TNVCheckBox::ReadProperty(std::u16string_view name, std::u16string_view value)
{
    if (name == u"Caption" || name == u"Text")
        caption_ = UnicodeString(value);
    else if (name == u"Checked")
        checked_ = ParseFlag(value);
    else
        TNVItem::ReadProperty(name, value);
}

int TNVCheckBox::NaturalWidth(HDC measure) const
{
    return MeasureText(measure, Form().CheckBoxFont(), WideOf(Caption())).cx + CheckMarkSize() + CaptionGap;
}

TSize TNVCheckBox::Measure(HDC measure, int availableWidth)
{
    const SIZE caption = MeasureText(measure, Form().CheckBoxFont(), WideOf(Caption()));
    const int width = caption.cx + CheckMarkSize() + CaptionGap;
    return {width < availableWidth ? width : availableWidth,
            (caption.cy > CheckMarkSize() ? caption.cy : CheckMarkSize()) + 2};
}

void TNVCheckBox::CreateWnd()
{
    CreateChild(L"BUTTON", BS_OWNERDRAW | BS_NOTIFY, Caption(), Form().CheckBoxFont());
}

void TNVCheckBox::DrawItem(const DRAWITEMSTRUCT& item)
{
    const HDC dc = item.hDC;
    const TBrush background(CreateSolidBrush(Form().ItemBackground()));
    FillRect(dc, &item.rcItem, background.Get());
    const int height = item.rcItem.bottom - item.rcItem.top;
    const int mark = CheckMarkSize();
    RECT box{item.rcItem.left, item.rcItem.top + (height - mark) / 2, item.rcItem.left + mark,
             item.rcItem.top + (height - mark) / 2 + mark};
    UINT state = DFCS_BUTTONCHECK | (checked_ ? DFCS_CHECKED : 0u);
    if (item.itemState & ODS_DISABLED)
        state |= DFCS_INACTIVE;
    DrawFrameControl(dc, &box, DFC_BUTTON, state);

    const TSelection font(dc, Form().CheckBoxFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(item.itemState & ODS_DISABLED ? COLOR_GRAYTEXT : COLOR_WINDOWTEXT));
    const std::wstring caption = WideOf(Caption());
    RECT text{box.right + CaptionGap / 2, item.rcItem.top, item.rcItem.right, item.rcItem.bottom};
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    if (item.itemState & ODS_FOCUS) {
        DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX | DT_CALCRECT);
        text.top = item.rcItem.top + 1;
        text.bottom = item.rcItem.bottom - 1;
        DrawFocusRect(dc, &text);
    }
}
