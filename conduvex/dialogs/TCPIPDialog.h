#pragma once
// The TCP/UDP settings dialog: remote host and port, for UDP also the local port, with
// Apply. Whatever was applied (by Apply or OK) is the result, even when the dialog is
// cancelled afterwards.
#include "dialogs/ModalDialog.h"

#include <cstdint>
#include <optional>
#include <string>

struct TTcpIpSettings {
    std::string host;
    uint16_t port = 0;
    uint16_t localPort = 0;
};

class TfTCPIPDialog : public TModalDialog {
public:
    // The caption is UTF-16; udp shows the "Local" page.
    TfTCPIPDialog(std::wstring caption, const TTcpIpSettings& settings, bool udp);

    // The applied settings; none when nothing was applied.
    std::optional<TTcpIpSettings> Execute();

private:
    void OnInit() override;
    void OnCommand(int id, int code, HWND control) override;
    bool OnMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR& result) override;

    void SetCaptions();
    void PreparePort(int edit, int spin, uint16_t value);
    void ShowPage(int page);
    // False (and the field focused) when a port does not fit 16 bits.
    bool Store();
    std::optional<uint16_t> PortOf(int edit) const;

    std::wstring caption_;
    TTcpIpSettings settings_;
    bool udp_;
    std::optional<TTcpIpSettings> applied_;
};

// Captions come in Windows-1250, the code page of the providers' Czech texts. True when
// the user applied settings; host, port and local port then hold them.
bool ShowTCPDialog(const std::string& caption, std::string& host, uint16_t& port);
bool ShowUDPDialog(const std::string& caption, std::string& host, uint16_t& port,
                   uint16_t& localPort);

// Windows-1250 (Central European), the code page of the providers' captions.
inline constexpr UINT kCentralEuropeanCodePage = 1250;
