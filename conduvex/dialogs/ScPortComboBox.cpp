#include "dialogs/ScPortComboBox.h"

#include "serial/ScComPort.h"

#include <string>

namespace {

int32_t PortOfData(LRESULT data)
{
    return static_cast<int32_t>(static_cast<uint32_t>(data) & 0xFFFF);
}

TSerialPortState StateOfData(LRESULT data)
{
    return static_cast<TSerialPortState>(static_cast<uint32_t>(data) >> 16);
}

std::wstring ItemCaption(int32_t number)
{
    return L"COM " + std::to_wstring(number);
}

} // namespace

TScPortComboBox::TScPortComboBox(TPortProbe probe) : probe_(probe) {}

uint32_t TScPortComboBox::ItemData(int32_t number, TSerialPortState state)
{
    return (static_cast<uint32_t>(state) << 16) | (static_cast<uint32_t>(number) & 0xFFFF);
}

void TScPortComboBox::Attach(HWND combo)
{
    combo_ = combo;
    SetItemHeight();
    Fill();
}

void TScPortComboBox::SetComPort(TScComPort* port)
{
    comPort_ = port;
    if (port)
        SelectPort(port->ComNumber());
}

void TScPortComboBox::SetOptions(TScPortCtlOptions options)
{
    options_ = options;
    Fill();
}

void TScPortComboBox::SetMaxComPorts(uint16_t count)
{
    maxComPorts_ = count;
    Fill();
}

bool TScPortComboBox::Listed(TSerialPortState state) const
{
    if (!(options_ & pcCheckExist))
        return true;
    if (state == TSerialPortState::Absent)
        return false;
    return !(options_ & pcDisableOpen) || state == TSerialPortState::Free;
}

void TScPortComboBox::Fill()
{
    if (!combo_)
        return;
    SendMessageW(combo_, CB_RESETCONTENT, 0, 0);
    for (int32_t number = 1; number <= maxComPorts_; ++number) {
        const TSerialPortState state = probe_(number);
        if (!Listed(state))
            continue;
        const LRESULT index = SendMessageW(combo_, CB_ADDSTRING, 0,
                                           reinterpret_cast<LPARAM>(ItemCaption(number).c_str()));
        if (index >= 0)
            SendMessageW(combo_, CB_SETITEMDATA, static_cast<WPARAM>(index), ItemData(number, state));
    }
    SelectPort(selectedPort_);
}

void TScPortComboBox::SelectPort(int32_t number)
{
    selectedPort_ = number;
    if (!combo_)
        return;
    const LRESULT count = SendMessageW(combo_, CB_GETCOUNT, 0, 0);
    LRESULT found = CB_ERR;
    for (LRESULT index = 0; index < count && found == CB_ERR; ++index) {
        if (PortOfData(SendMessageW(combo_, CB_GETITEMDATA, static_cast<WPARAM>(index), 0)) == number)
            found = index;
    }
    SendMessageW(combo_, CB_SETCURSEL, static_cast<WPARAM>(found), 0);
}

void TScPortComboBox::ItemChosen()
{
    const LRESULT index = SendMessageW(combo_, CB_GETCURSEL, 0, 0);
    selectedPort_ =
        index == CB_ERR ? 0 : PortOfData(SendMessageW(combo_, CB_GETITEMDATA, static_cast<WPARAM>(index), 0));
    if (comPort_ && selectedPort_ != 0) {
        comPort_->SetComNumber(static_cast<uint16_t>(selectedPort_));
        if (!comPort_->Active())
            comPort_->Open();
    }
    Fill();
}

void TScPortComboBox::SetItemHeight()
{
    const auto font = reinterpret_cast<HFONT>(SendMessageW(combo_, WM_GETFONT, 0, 0));
    const HDC dc = GetDC(combo_);
    const HGDIOBJ previous = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
    TEXTMETRICW metrics{};
    GetTextMetricsW(dc, &metrics);
    SelectObject(dc, previous);
    ReleaseDC(combo_, dc);
    const LPARAM height = metrics.tmHeight + 5;
    SendMessageW(combo_, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), height);
    SendMessageW(combo_, CB_SETITEMHEIGHT, 0, height);
}

void TScPortComboBox::DrawItem(const DRAWITEMSTRUCT& item) const
{
    const bool selected = (item.itemState & ODS_SELECTED) != 0;
    const bool focused = (item.itemState & ODS_FOCUS) != 0;
    const bool enabled = IsWindowEnabled(combo_) != FALSE;
    int textColour = selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT;
    if (!enabled)
        textColour = COLOR_GRAYTEXT;
    else if (!selected && !focused && (options_ & pcHighlightOpen))
        textColour = StateOfData(static_cast<LRESULT>(item.itemData)) == TSerialPortState::InUse
                         ? COLOR_GRAYTEXT
                         : COLOR_BTNTEXT;
    FillRect(item.hDC, &item.rcItem, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
    if (item.itemID != static_cast<UINT>(-1)) {
        const std::wstring caption = ItemCaption(PortOfData(static_cast<LRESULT>(item.itemData)));
        RECT text = item.rcItem;
        text.left += 1;
        SetBkMode(item.hDC, TRANSPARENT);
        SetTextColor(item.hDC, GetSysColor(textColour));
        DrawTextW(item.hDC, caption.c_str(), static_cast<int>(caption.size()), &text,
                  DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
    if (focused)
        DrawFocusRect(item.hDC, &item.rcItem);
}
