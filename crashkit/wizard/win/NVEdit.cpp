#include "wizard/win/NVItems.h"

#include <string>

#include "wizard/PropertyValues.h"
#include "wizard/win/NVForm.h"

namespace {

UnicodeString WindowText(HWND window)
{
    const int length = GetWindowTextLengthW(window);
    std::wstring text(static_cast<size_t>(length > 0 ? length : 0) + 1, L'\0');
    const int copied = GetWindowTextW(window, text.data(), static_cast<int>(text.size()));
    return UnicodeString(text.begin(), text.begin() + (copied > 0 ? copied : 0));
}

} // namespace

void TNVEdit::SetFocus()
{
    TNVItem::SetFocus();
    if (Handle())
        SendMessageW(Handle(), EM_SETSEL, 0, -1);
}

void TNVEdit::SetOptional(bool optional)
{
    optional_ = optional;
    Form().CheckContinue();
}

UnicodeString TNVEdit::Text() const
{
    return Handle() ? WindowText(Handle()) : text_;
}

void TNVEdit::SetText(UnicodeString text)
{
    if (Handle() && WindowText(Handle()) != text)
        SetWindowTextW(Handle(), WideOf(text).c_str());
    text_ = std::move(text);
    Form().FireAction(TNVAction::Change, this);
}

void TNVEdit::ReadBack()
{
    if (Handle())
        text_ = WindowText(Handle());
}

void TNVEdit::SetColored(bool colored)
{
    colored_ = colored;
    Repaint();
}

void TNVEdit::SetValid(bool valid)
{
    invalid_ = !valid;
    Repaint();
    Form().CheckContinue();
}

void TNVEdit::SetOutputOwnSection(bool ownSection)
{
    TNVItem::SetOutputOwnSection(ownSection && MultiLine());
}

void TNVEdit::ReadProperty(std::u16string_view name, std::u16string_view value)
{
    if (name == u"Text")
        text_ = ExpandLineBreaks(value);
    else if (name == u"Lines")
        lines_ = ParseMeasure(value, 1, MaxEditLines);
    else if (name == u"Optional")
        optional_ = ParseFlag(value);
    else if (name == u"Colored")
        colored_ = ParseFlag(value);
    else if (name == u"Valid")
        invalid_ = !ParseFlag(value);
    else
        TNVItem::ReadProperty(name, value);
    // "OutputType" may come before "Lines".
    if (name == u"Lines" && !MultiLine())
        TNVItem::SetOutputOwnSection(false);
}

TSize TNVEdit::Measure(HDC measure, int availableWidth)
{
    const SIZE line = MeasureText(measure, Form().TextFont(), L"Xg");
    return {availableWidth, line.cy * (MultiLine() ? lines_ : 1) + 2};
}

void TNVEdit::CreateWnd()
{
    const DWORD style = MultiLine() ? ES_MULTILINE | ES_WANTRETURN | ES_AUTOVSCROLL | WS_VSCROLL : ES_AUTOHSCROLL;
    CreateChild(L"EDIT", style, text_, Form().TextFont());
}

RECT TNVEdit::FrameRect() const
{
    return {rect_.left - 3, rect_.top - 3, rect_.right + 3, rect_.bottom + 3};
}

void TNVEdit::Paint(HDC dc)
{
    const COLORREF frame = Form().HasFocus(*this) ? GetSysColor(COLOR_BTNSHADOW)
                                                  : MidColor(GetSysColor(COLOR_BTNFACE), RGB(255, 255, 255));
    const TBrush brush(CreateSolidBrush(frame));
    const RECT outer = FrameRect();
    FillRect(dc, &outer, brush.Get());
}
