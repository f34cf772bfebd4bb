#pragma once
// An owner-drawn drop-down list of COM ports ("COM %d"), each carrying its number in the
// low 16 bits of its item data and its probe state in the high 16. It wraps a combo box
// of a dialog (CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | CBS_DROPDOWNLIST); the dialog hands
// it the drawing and selection messages of that control.
#include "serial/SerialPortList.h"

#include <windows.h>

#include <cstdint>

class TScComPort;

enum TScPortCtlOption : uint8_t {
    pcCheckExist = 1,    // list only ports that exist
    pcDisableOpen = 2,   // with pcCheckExist: list only free ports
    pcHighlightOpen = 4, // draw ports in use grey
};
using TScPortCtlOptions = uint8_t;

class TScPortComboBox {
public:
    using TPortProbe = TSerialPortState (*)(int32_t number);

    explicit TScPortComboBox(TPortProbe probe = &ProbeSerialPort);

    // Takes the control over and fills it.
    void Attach(HWND combo);
    HWND Handle() const { return combo_; }

    TScComPort* ComPort() const { return comPort_; }
    // Linking a port selects its number. The component must outlive the link (or be
    // unlinked with nullptr first).
    void SetComPort(TScComPort* port);
    TScPortCtlOptions Options() const { return options_; }
    void SetOptions(TScPortCtlOptions options);
    uint16_t MaxComPorts() const { return maxComPorts_; }
    void SetMaxComPorts(uint16_t count);

    // 0 when none.
    int32_t SelectedPort() const { return selectedPort_; }
    // Selects the item of that number; none when it is not listed.
    void SelectPort(int32_t number);

    // Probes the ports again and lists them, keeping the selection when still listed.
    void Fill();
    // The user chose an item (CBN_SELCHANGE).
    void ItemChosen();
    void DrawItem(const DRAWITEMSTRUCT& item) const;

    static uint32_t ItemData(int32_t number, TSerialPortState state);

private:
    bool Listed(TSerialPortState state) const;
    void SetItemHeight();

    TPortProbe probe_;
    HWND combo_ = nullptr;
    TScComPort* comPort_ = nullptr;
    TScPortCtlOptions options_ = pcCheckExist;
    uint16_t maxComPorts_ = 4;
    int32_t selectedPort_ = 0;
};
