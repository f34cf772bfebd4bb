#pragma once
// The converter's settings dialog: it shows the baud rate; its three buttons do nothing,
// so it can only be closed (Escape or the close box), never accepted.
#include "dialogs/ModalDialog.h"

#include <cstdint>

class TfFTDIdialog : public TModalDialog {
public:
    explicit TfFTDIdialog(uint32_t baudRate) : baudRate_(baudRate) {}

    // True when it ended with OK.
    bool Execute();

private:
    void OnInit() override;
    void OnCommand(int id, int code, HWND control) override;

    uint32_t baudRate_;
};
