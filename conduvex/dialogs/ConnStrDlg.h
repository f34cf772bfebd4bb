#pragma once
// The connection-string dialog: one page per provider, and the connection string rebuilt
// from the page's fields after every change, ready for the host to take.
#include "dialogs/ModalDialog.h"
#include "dialogs/ScPortComboBox.h"

#include <cstdint>
#include <optional>
#include <string>

enum class TConnStrPage : int { Serial = 0, TcpClient = 1, UdpClient = 2, FtdUsb = 3 };

// What the fields of the shown page hold; an empty text or an undecided box is left out.
struct TConnStrFields {
    TConnStrPage page = TConnStrPage::Serial;
    int32_t comPort = 0; // 0: none chosen
    std::string baudrate;
    std::string databits;
    std::optional<bool> dtr;
    std::optional<bool> rts;
    std::string host;
    int32_t port = 10001;
    std::string serialNumber;
};

std::string ConnStrTextOf(const TConnStrFields& fields);

// The page of a provider name in any letter case (long or short form); none when unknown.
std::optional<TConnStrPage> PageOfProvider(const std::string& provider);

class TfConnStrDlg : public TModalDialog {
public:
    static constexpr uint16_t kListedComPorts = 255;

    // True when the user accepted; the text is then the dialog's connection string. A
    // caption (in the system's code page) replaces the dialog's own.
    bool Execute(const char* caption, std::string& text);

private:
    void OnInit() override;
    void OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    void FillLists();
    void FillDeviceList();
    void DeviceChosen();
    void SpreadText(const std::string& text);
    void ShowPage(TConnStrPage page);
    TConnStrPage CurrentPage() const;
    TConnStrFields ReadFields() const;
    std::string ItemText8(int id) const;
    void SetItemText8(int id, const std::string& text);
    void SetCheck(int id, bool on);
    void Rebuild();

    TScPortComboBox ports_;
    std::wstring caption_;
    std::string text_;
    bool accepted_ = false;
    bool loading_ = false;
};

// Shows the dialog modally; see TfConnStrDlg::Execute.
bool ShowConnStrDialog(const char* caption, std::string& text);
