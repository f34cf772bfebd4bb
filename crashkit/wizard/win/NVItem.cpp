#include "wizard/win/NVItems.h"

#include "wizard/PropertyValues.h"
#include "wizard/win/NVForm.h"

namespace {

// Control identifiers start above the dialog-box commands (IDOK, IDCANCEL, ...).
constexpr int FirstControlId = 100;

} // namespace

void TNVItem::SetEnabled(bool enabled)
{
    enabled_ = enabled;
    if (window_ && !disabledByForm_)
        EnableWindow(window_, enabled);
}

void TNVItem::SetDisabledByForm(bool disabled)
{
    disabledByForm_ = disabled;
    if (window_)
        EnableWindow(window_, IsUsable());
}

void TNVItem::SetFocus()
{
    if (window_)
        ::SetFocus(window_);
}

void TNVItem::ReadProperty(std::u16string_view name, std::u16string_view value)
{
    if (name == u"Spacing")
        spacing_ = ParseMeasure(value, -MaxMeasure, MaxMeasure);
    else if (name == u"Enabled")
        enabled_ = ParseFlag(value);
    else if (name == u"OutputType")
        SetOutputOwnSection(IsOwnSectionOutput(value));
    else if (name == u"OutputName")
        outputName_ = UnicodeString(value);
}

void TNVItem::Place(const RECT& rect)
{
    rect_ = rect;
    CreateWnd();
}

HWND TNVItem::CreateChild(const wchar_t* className, DWORD style, std::u16string_view text, HFONT font)
{
    if (TabStop())
        style |= WS_TABSTOP;
    if (!IsUsable())
        style |= WS_DISABLED;
    const std::wstring caption = WideOf(text);
    window_ = CreateWindowExW(0, className, caption.c_str(), WS_CHILD | WS_VISIBLE | style, rect_.left, rect_.top,
                              rect_.right - rect_.left, rect_.bottom - rect_.top, form_.Handle(),
                              reinterpret_cast<HMENU>(static_cast<INT_PTR>(FirstControlId + index_)),
                              GetModuleHandleW(nullptr), nullptr);
    if (window_ && font)
        SendMessageW(window_, WM_SETFONT, reinterpret_cast<WPARAM>(font), FALSE);
    return window_;
}

void TNVItem::Repaint() const
{
    if (window_)
        InvalidateRect(window_, nullptr, TRUE);
    else if (form_.Handle())
        InvalidateRect(form_.Handle(), &rect_, TRUE);
}

void TNVLabel::SetCaption(UnicodeString caption)
{
    caption_ = std::move(caption);
    Repaint();
}

void TNVLabel::ReadProperty(std::u16string_view name, std::u16string_view value)
{
    if (name == u"Caption")
        caption_ = UnicodeString(value);
    else
        TNVItem::ReadProperty(name, value);
}

TSize TNVLabel::Measure(HDC measure, int availableWidth)
{
    const std::wstring caption = WideOf(Caption());
    const SIZE wrapped = MeasureText(measure, Form().TextFont(), caption, availableWidth);
    const SIZE oneLine = MeasureText(measure, Form().TextFont(), L"X");
    fieldCaption_ = IsFieldCaption(Caption(), wrapped.cy <= oneLine.cy);
    return {availableWidth, wrapped.cy};
}

void TNVLabel::Paint(HDC dc)
{
    const TSelection font(dc, Form().TextFont());
    SetBkMode(dc, TRANSPARENT);
    SetTextColor(dc, GetSysColor(IsUsable() ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
    RECT rect = rect_;
    const std::wstring caption = WideOf(Caption());
    DrawTextW(dc, caption.c_str(), static_cast<int>(caption.size()), &rect, DT_WORDBREAK | DT_NOPREFIX);
}
