#include "dialogs/FTDIdialog.h"

#include "dialogs/SettingsDialogIds.h"

#include <string>

bool TfFTDIdialog::Execute()
{
    return RunModal(IDD_FTDI_DIALOG) == IDOK;
}

void TfFTDIdialog::OnInit()
{
    SetItemText(IDC_FTDI_BAUD_LABEL, L"Baud rate: " + std::to_wstring(baudRate_));
}

void TfFTDIdialog::OnCommand(int id, int, HWND)
{
    if (id == IDCANCEL)
        End(IDCANCEL);
}
