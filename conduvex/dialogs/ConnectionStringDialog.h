#pragma once
// The connection-string dialog as the exports reach it: the real one (ConnStrDlg.h) unless
// a stand-in is installed. A dialog that cannot be shown (no display) counts as cancelled.
#include <optional>
#include <string>

// The edited text when the user accepted; nothing when cancelled or not shown. A nil
// caption keeps the dialog's own.
using TConnectionStringDialog = std::optional<std::string> (*)(const std::string& initial,
                                                                const char* caption);

// Nil restores the real dialog.
void InstallConnectionStringDialog(TConnectionStringDialog dialog);
std::optional<std::string> ExecuteConnectionStringDialog(const std::string& initial,
                                                         const char* caption);
