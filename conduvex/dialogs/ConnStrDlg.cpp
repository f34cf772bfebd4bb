#include "dialogs/ConnStrDlg.h"

#include "ConnectionString.h"
#include "ftdi/Ftd2xx.h"
#include "ftdi/FtdiDeviceLookup.h"
#include "dialogs/SettingsDialogIds.h"

#include <commctrl.h>

#include <algorithm>
#include <array>
#include <cctype>

namespace {

// Rebuilding after a list choice waits until the list's edit shows the chosen text.
constexpr UINT kRebuildLater = WM_APP + 1;

constexpr std::array<const wchar_t*, 16> kBaudrates = {
    L"",      L"110",   L"300",   L"600",    L"1200",   L"2400",   L"4800",   L"9600",
    L"14400", L"19200", L"38400", L"56000", L"57600", L"115200", L"128000", L"256000"};
constexpr std::array<const wchar_t*, 6> kDatabits = {L"", L"4", L"5", L"6", L"7", L"8"};
// A device on the local network, then this machine.
constexpr std::array<const wchar_t*, 2> kPresetHosts = {L"192.168.1.100", L"127.0.0.1"};
constexpr std::array<const wchar_t*, 4> kPageCaptions = {L"Serial port", L"TCP client",
                                                         L"UDP client", L"FTD USB"};

struct TPageControl {
    TConnStrPage page;
    int id;
};

constexpr TPageControl kPageControls[] = {
    {TConnStrPage::Serial, IDC_COM_PORT_GROUP},       {TConnStrPage::Serial, IDC_COM_PORT},
    {TConnStrPage::Serial, IDC_COM_BAUDRATE_GROUP},   {TConnStrPage::Serial, IDC_COM_BAUDRATE},
    {TConnStrPage::Serial, IDC_COM_DATABITS_GROUP},   {TConnStrPage::Serial, IDC_COM_DATABITS},
    {TConnStrPage::Serial, IDC_COM_DTR},              {TConnStrPage::Serial, IDC_COM_RTS},
    {TConnStrPage::TcpClient, IDC_TCP_HOST_GROUP},    {TConnStrPage::TcpClient, IDC_TCP_HOST},
    {TConnStrPage::TcpClient, IDC_TCP_PORT_GROUP},    {TConnStrPage::TcpClient, IDC_TCP_PORT},
    {TConnStrPage::UdpClient, IDC_UDP_HOST_GROUP},    {TConnStrPage::UdpClient, IDC_UDP_HOST},
    {TConnStrPage::UdpClient, IDC_UDP_PORT_GROUP},    {TConnStrPage::UdpClient, IDC_UDP_PORT},
    {TConnStrPage::FtdUsb, IDC_FTD_DEVICE_GROUP},     {TConnStrPage::FtdUsb, IDC_FTD_DEVICES},
    {TConnStrPage::FtdUsb, IDC_FTD_REGEN},            {TConnStrPage::FtdUsb, IDC_USB_SERIAL_GROUP},
    {TConnStrPage::FtdUsb, IDC_USB_SERIAL},           {TConnStrPage::FtdUsb, IDC_USB_BAUDRATE_GROUP},
    {TConnStrPage::FtdUsb, IDC_USB_BAUDRATE},
};

struct TProviderPage {
    const char* longName;
    const char* shortName;
    TConnStrPage page;
};

constexpr TProviderPage kProviderPages[] = {
    {"SERIAL_PORT", "COM", TConnStrPage::Serial},
    {"TCP_CLIENT", "TCP", TConnStrPage::TcpClient},
    {"UDP_CLIENT", "UDP", TConnStrPage::UdpClient},
    {"FTD_USB", "FTD", TConnStrPage::FtdUsb},
};

std::string Uppered(std::string text)
{
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return text;
}

void AppendIfGiven(std::string& text, const char* key, const std::string& value)
{
    if (!value.empty())
        text += std::string(";") + key + "=" + value;
}

void AppendIfDecided(std::string& text, const char* key, std::optional<bool> value)
{
    if (value)
        text += std::string(";") + key + "=" + (*value ? "True" : "False");
}

template <size_t N>
void FillList(HWND list, const std::array<const wchar_t*, N>& items)
{
    for (const wchar_t* item : items)
        SendMessageW(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
}

std::optional<bool> CheckState(HWND box)
{
    switch (SendMessageW(box, BM_GETCHECK, 0, 0)) {
    case BST_CHECKED:
        return true;
    case BST_UNCHECKED:
        return false;
    default:
        return std::nullopt;
    }
}

bool IsRebuildingChange(int code)
{
    return code == EN_CHANGE || code == CBN_EDITCHANGE || code == BN_CLICKED;
}

} // namespace

std::string ConnStrTextOf(const TConnStrFields& fields)
{
    std::string text;
    switch (fields.page) {
    case TConnStrPage::Serial:
        text = "provider=SERIAL_PORT";
        if (fields.comPort != 0)
            text += ";comport=" + std::to_string(fields.comPort);
        AppendIfGiven(text, "baudrate", fields.baudrate);
        AppendIfGiven(text, "databits", fields.databits);
        AppendIfDecided(text, "dtr", fields.dtr);
        AppendIfDecided(text, "rts", fields.rts);
        break;
    case TConnStrPage::TcpClient:
    case TConnStrPage::UdpClient:
        text = fields.page == TConnStrPage::TcpClient ? "provider=TCP_CLIENT" : "provider=UDP_CLIENT";
        AppendIfGiven(text, "host", fields.host);
        text += ";port=" + std::to_string(fields.port);
        break;
    case TConnStrPage::FtdUsb:
        text = "provider=FTD_USB";
        AppendIfGiven(text, "serial_number", fields.serialNumber);
        AppendIfGiven(text, "baudrate", fields.baudrate);
        break;
    }
    return text;
}

std::optional<TConnStrPage> PageOfProvider(const std::string& provider)
{
    const std::string name = Uppered(provider);
    for (const TProviderPage& entry : kProviderPages) {
        if (name == entry.longName || name == entry.shortName)
            return entry.page;
    }
    return std::nullopt;
}

bool TfConnStrDlg::Execute(const char* caption, std::string& text)
{
    caption_ = caption ? WideFrom(caption, CP_ACP) : std::wstring();
    text_ = text;
    accepted_ = false;
    RunModal(IDD_CONN_STR_DLG);
    if (accepted_)
        text = text_;
    return accepted_;
}

void TfConnStrDlg::OnInit()
{
    if (!caption_.empty())
        SetWindowTextW(Window(), caption_.c_str());
    loading_ = true;
    FillLists();
    FillDeviceList();
    SpreadText(text_);
    loading_ = false;
    if (!text_.empty())
        SetItemText8(IDC_CONN_STRING, TConnectionString(text_).GetText());
}

void TfConnStrDlg::FillLists()
{
    const HWND pages = Item(IDC_PAGE_PROVIDER);
    for (size_t index = 0; index < kPageCaptions.size(); ++index) {
        TCITEMW page{};
        page.mask = TCIF_TEXT;
        page.pszText = const_cast<wchar_t*>(kPageCaptions[index]);
        SendMessageW(pages, TCM_INSERTITEMW, index, reinterpret_cast<LPARAM>(&page));
    }
    ShowPage(TConnStrPage::Serial);
    ports_.SetMaxComPorts(kListedComPorts);
    ports_.Attach(Item(IDC_COM_PORT));
    FillList(Item(IDC_COM_BAUDRATE), kBaudrates);
    FillList(Item(IDC_USB_BAUDRATE), kBaudrates);
    FillList(Item(IDC_COM_DATABITS), kDatabits);
    FillList(Item(IDC_TCP_HOST), kPresetHosts);
    FillList(Item(IDC_UDP_HOST), kPresetHosts);
    for (const int box : {IDC_COM_DTR, IDC_COM_RTS})
        SendMessageW(Item(box), BM_SETCHECK, BST_INDETERMINATE, 0);
    for (const int port : {IDC_TCP_PORT, IDC_UDP_PORT}) {
        SendMessageW(Item(port), EM_SETLIMITTEXT, 5, 0);
        SetDlgItemInt(Window(), port, 10001, FALSE);
    }
}

// Devices whose description cannot be read, or is empty, are left out.
void TfConnStrDlg::FillDeviceList()
{
    const HWND list = Item(IDC_FTD_DEVICES);
    SendMessageW(list, CB_RESETCONTENT, 0, 0);
    uint32_t count = 0;
    if (!ftd2xx::Ftd2xxLoaded() || ftd2xx::GetFTDeviceCount(count) != ftd2xx::kFtOk)
        return;
    for (uint32_t index = 0; index < count; ++index) {
        TFtdiDeviceDetail detail;
        if (QueryFtdiDetail(static_cast<int32_t>(index), detail) != ftd2xx::kFtOk ||
            detail.description.empty())
            continue;
        const LRESULT item = SendMessageW(
            list, CB_ADDSTRING, 0,
            reinterpret_cast<LPARAM>(WideFrom(detail.description, CP_ACP).c_str()));
        if (item >= 0)
            SendMessageW(list, CB_SETITEMDATA, static_cast<WPARAM>(item), index);
    }
}

void TfConnStrDlg::DeviceChosen()
{
    const HWND list = Item(IDC_FTD_DEVICES);
    const LRESULT item = SendMessageW(list, CB_GETCURSEL, 0, 0);
    TFtdiDeviceDetail detail;
    const bool known =
        item != CB_ERR && ftd2xx::Ftd2xxLoaded() &&
        QueryFtdiDetail(static_cast<int32_t>(SendMessageW(list, CB_GETITEMDATA, static_cast<WPARAM>(item), 0)),
                        detail) == ftd2xx::kFtOk;
    SetItemText8(IDC_USB_SERIAL, known ? detail.serialNumber : std::string());
}

void TfConnStrDlg::SpreadText(const std::string& text)
{
    if (text.empty())
        return;
    SetItemText8(IDC_CONN_STRING, text);
    const TConnectionString settings(text);
    const std::optional<TConnStrPage> page = PageOfProvider(settings.GetValueDef("provider", ""));
    if (!page)
        return;
    ShowPage(*page);
    switch (*page) {
    case TConnStrPage::Serial:
        ports_.SelectPort(settings.GetInt("comport", 0));
        SetItemText8(IDC_COM_BAUDRATE, settings.GetValueDef("baudrate", ""));
        SendMessageW(Item(IDC_COM_DATABITS), CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(WideFrom(settings.GetValueDef("databits", ""), CP_ACP).c_str()));
        SetCheck(IDC_COM_DTR, settings.GetBool("dtr", true));
        SetCheck(IDC_COM_RTS, settings.GetBool("rts", true));
        break;
    case TConnStrPage::TcpClient:
    case TConnStrPage::UdpClient: {
        const bool tcp = *page == TConnStrPage::TcpClient;
        SetDlgItemInt(Window(), tcp ? IDC_TCP_PORT : IDC_UDP_PORT,
                      static_cast<UINT>(settings.GetInt("port", 10001)), FALSE);
        SetItemText8(tcp ? IDC_TCP_HOST : IDC_UDP_HOST, settings.GetValueDef("host", ""));
        break;
    }
    case TConnStrPage::FtdUsb:
        SetItemText8(IDC_USB_SERIAL, settings.GetValueDef("serial_number", ""));
        SetItemText8(IDC_USB_BAUDRATE, settings.GetValueDef("baudrate", ""));
        break;
    }
}

void TfConnStrDlg::SetCheck(int id, bool on)
{
    SendMessageW(Item(id), BM_SETCHECK, on ? BST_CHECKED : BST_UNCHECKED, 0);
}

void TfConnStrDlg::ShowPage(TConnStrPage page)
{
    SendMessageW(Item(IDC_PAGE_PROVIDER), TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
    for (const TPageControl& control : kPageControls)
        ShowItem(control.id, control.page == page);
}

TConnStrPage TfConnStrDlg::CurrentPage() const
{
    const LRESULT page = SendMessageW(Item(IDC_PAGE_PROVIDER), TCM_GETCURSEL, 0, 0);
    return page < 0 ? TConnStrPage::Serial : static_cast<TConnStrPage>(page);
}

std::string TfConnStrDlg::ItemText8(int id) const
{
    return NarrowFrom(ItemText(id), CP_ACP);
}

void TfConnStrDlg::SetItemText8(int id, const std::string& text)
{
    SetItemText(id, WideFrom(text, CP_ACP));
}

TConnStrFields TfConnStrDlg::ReadFields() const
{
    TConnStrFields fields;
    fields.page = CurrentPage();
    switch (fields.page) {
    case TConnStrPage::Serial:
        fields.comPort = ports_.SelectedPort();
        fields.baudrate = ItemText8(IDC_COM_BAUDRATE);
        fields.databits = ItemText8(IDC_COM_DATABITS);
        fields.dtr = CheckState(Item(IDC_COM_DTR));
        fields.rts = CheckState(Item(IDC_COM_RTS));
        break;
    case TConnStrPage::TcpClient:
    case TConnStrPage::UdpClient: {
        const bool tcp = fields.page == TConnStrPage::TcpClient;
        fields.host = ItemText8(tcp ? IDC_TCP_HOST : IDC_UDP_HOST);
        fields.port = static_cast<int32_t>(
            GetDlgItemInt(Window(), tcp ? IDC_TCP_PORT : IDC_UDP_PORT, nullptr, FALSE));
        break;
    }
    case TConnStrPage::FtdUsb:
        fields.serialNumber = ItemText8(IDC_USB_SERIAL);
        fields.baudrate = ItemText8(IDC_USB_BAUDRATE);
        break;
    }
    return fields;
}

void TfConnStrDlg::Rebuild()
{
    if (!loading_)
        SetItemText8(IDC_CONN_STRING, ConnStrTextOf(ReadFields()));
}

void TfConnStrDlg::OnCommand(int id, int code, HWND)
{
    switch (id) {
    case IDOK:
        text_ = ItemText8(IDC_CONN_STRING);
        accepted_ = true;
        End(IDOK);
        return;
    case IDCANCEL:
        accepted_ = false;
        End(IDCANCEL);
        return;
    case IDC_CONN_STRING:
        return;
    case IDC_FTD_REGEN:
        FillDeviceList();
        return;
    case IDC_COM_PORT:
        if (code == CBN_SELCHANGE) {
            ports_.ItemChosen();
            Rebuild();
        }
        return;
    case IDC_FTD_DEVICES:
        if (code == CBN_SELCHANGE)
            DeviceChosen();
        return;
    default:
        if (code == CBN_SELCHANGE)
            PostMessageW(Window(), kRebuildLater, 0, 0);
        else if (IsRebuildingChange(code))
            Rebuild();
    }
}

bool TfConnStrDlg::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result)
{
    switch (message) {
    case kRebuildLater:
        Rebuild();
        return true;
    case WM_NOTIFY: {
        const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
        if (header.idFrom != IDC_PAGE_PROVIDER || header.code != static_cast<UINT>(TCN_SELCHANGE))
            return false;
        ShowPage(CurrentPage());
        Rebuild();
        return true;
    }
    case WM_DRAWITEM:
        if (wParam != IDC_COM_PORT)
            return false;
        ports_.DrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
        result = TRUE;
        return true;
    default:
        return false;
    }
}

bool ShowConnStrDialog(const char* caption, std::string& text)
{
    TfConnStrDlg dialog;
    return dialog.Execute(caption, text);
}
