#include "dialogs/TCPIPDialog.h"

#include "dialogs/SettingsDialogIds.h"

#include <commctrl.h>

#include <array>

namespace {

constexpr uint32_t kHighestPort = 65535;

struct TCaption {
    int id;
    const wchar_t* text;
};

constexpr std::array<TCaption, 7> kCaptions = {{
    {IDC_HOST_LABEL, L"Host IP"},
    {IDC_PORT_LABEL, L"Port"},
    {IDC_LISTEN_PORT_LABEL, L"Local port"},
    {IDC_LOCAL_PORT_AUTO, L"Automatic local port"},
    {IDOK, L"OK"},
    {IDCANCEL, L"Cancel"},
    {IDC_APPLY, L"Apply"},
}};

constexpr int kRemoteControls[] = {IDC_HOST_LABEL, IDC_HOST, IDC_PORT_LABEL, IDC_PORT, IDC_PORT_SPIN};
constexpr int kLocalControls[] = {IDC_LISTEN_PORT_LABEL, IDC_LISTEN_PORT, IDC_LISTEN_PORT_SPIN};

void InsertPage(HWND pages, int index, const wchar_t* caption)
{
    TCITEMW page{};
    page.mask = TCIF_TEXT;
    page.pszText = const_cast<wchar_t*>(caption);
    SendMessageW(pages, TCM_INSERTITEMW, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&page));
}

} // namespace

TfTCPIPDialog::TfTCPIPDialog(std::wstring caption, const TTcpIpSettings& settings, bool udp)
    : caption_(std::move(caption)), settings_(settings), udp_(udp)
{
}

std::optional<TTcpIpSettings> TfTCPIPDialog::Execute()
{
    applied_.reset();
    RunModal(IDD_TCPIP_DIALOG);
    return applied_;
}

void TfTCPIPDialog::OnInit()
{
    SetCaptions();
    SetItemText(IDC_HOST, WideFrom(settings_.host, CP_ACP));
    PreparePort(IDC_PORT, IDC_PORT_SPIN, settings_.port);
    PreparePort(IDC_LISTEN_PORT, IDC_LISTEN_PORT_SPIN, settings_.localPort);
    SendMessageW(Item(IDC_LOCAL_PORT_AUTO), BM_SETCHECK,
                 udp_ && settings_.localPort == 0 ? BST_CHECKED : BST_UNCHECKED, 0);
    ShowPage(0);
    EnableItem(IDC_APPLY, false);
}

void TfTCPIPDialog::SetCaptions()
{
    SetWindowTextW(Window(), caption_.c_str());
    for (const TCaption& caption : kCaptions)
        SetItemText(caption.id, caption.text);
    const HWND pages = Item(IDC_TCPIP_PAGES);
    InsertPage(pages, 0, L"Remote");
    if (udp_)
        InsertPage(pages, 1, L"Local");
}

void TfTCPIPDialog::PreparePort(int edit, int spin, uint16_t value)
{
    SendMessageW(Item(spin), UDM_SETRANGE32, 0, kHighestPort);
    SetDlgItemInt(Window(), edit, value, FALSE);
}

void TfTCPIPDialog::ShowPage(int page)
{
    SendMessageW(Item(IDC_TCPIP_PAGES), TCM_SETCURSEL, static_cast<WPARAM>(page), 0);
    for (const int id : kRemoteControls)
        ShowItem(id, page == 0);
    for (const int id : kLocalControls)
        ShowItem(id, page == 1);
}

std::optional<uint16_t> TfTCPIPDialog::PortOf(int edit) const
{
    BOOL read = FALSE;
    const UINT value = GetDlgItemInt(Window(), edit, &read, FALSE);
    if (!read || value > kHighestPort)
        return std::nullopt;
    return static_cast<uint16_t>(value);
}

bool TfTCPIPDialog::Store()
{
    const bool automaticLocalPort =
        SendMessageW(Item(IDC_LOCAL_PORT_AUTO), BM_GETCHECK, 0, 0) == BST_CHECKED;
    const std::optional<uint16_t> port = PortOf(IDC_PORT);
    const std::optional<uint16_t> localPort =
        automaticLocalPort ? std::optional<uint16_t>(0) : PortOf(IDC_LISTEN_PORT);
    if (!port || !localPort) {
        MessageBeep(MB_ICONWARNING);
        const int wrong = port ? IDC_LISTEN_PORT : IDC_PORT;
        ShowPage(wrong == IDC_PORT ? 0 : 1);
        SendMessageW(Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(wrong)), TRUE);
        return false;
    }
    applied_ = TTcpIpSettings{NarrowFrom(ItemText(IDC_HOST), CP_ACP), *port, *localPort};
    return true;
}

void TfTCPIPDialog::OnCommand(int id, int code, HWND)
{
    switch (id) {
    case IDOK:
        if (Store())
            End(IDOK);
        return;
    case IDCANCEL:
        End(IDCANCEL);
        return;
    case IDC_APPLY:
        if (Store()) {
            EnableItem(IDC_APPLY, false);
            SendMessageW(Window(), WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(Item(IDOK)), TRUE);
        }
        return;
    case IDC_LOCAL_PORT_AUTO:
        if (code == BN_CLICKED)
            EnableItem(IDC_LISTEN_PORT,
                       SendMessageW(Item(IDC_LOCAL_PORT_AUTO), BM_GETCHECK, 0, 0) != BST_CHECKED);
        return;
    default:
        if (code == EN_CHANGE)
            EnableItem(IDC_APPLY, true);
    }
}

bool TfTCPIPDialog::OnMessage(UINT message, WPARAM, LPARAM lParam, INT_PTR&)
{
    if (message != WM_NOTIFY)
        return false;
    const auto& header = *reinterpret_cast<const NMHDR*>(lParam);
    if (header.idFrom != IDC_TCPIP_PAGES || header.code != static_cast<UINT>(TCN_SELCHANGE))
        return false;
    ShowPage(static_cast<int>(SendMessageW(Item(IDC_TCPIP_PAGES), TCM_GETCURSEL, 0, 0)));
    return true;
}

namespace {

std::optional<TTcpIpSettings> RunTcpIpDialog(const std::string& caption,
                                             const TTcpIpSettings& settings, bool udp)
{
    TfTCPIPDialog dialog(WideFrom(caption, kCentralEuropeanCodePage), settings, udp);
    return dialog.Execute();
}

} // namespace

bool ShowTCPDialog(const std::string& caption, std::string& host, uint16_t& port)
{
    const std::optional<TTcpIpSettings> applied = RunTcpIpDialog(caption, {host, port, 0}, false);
    if (!applied)
        return false;
    host = applied->host;
    port = applied->port;
    return true;
}

bool ShowUDPDialog(const std::string& caption, std::string& host, uint16_t& port,
                   uint16_t& localPort)
{
    const std::optional<TTcpIpSettings> applied =
        RunTcpIpDialog(caption, {host, port, localPort}, true);
    if (!applied)
        return false;
    host = applied->host;
    port = applied->port;
    localPort = applied->localPort;
    return true;
}
