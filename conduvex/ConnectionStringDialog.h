#pragma once
// The connection-string dialog as the exports reach it. The settings dialogs install the
// real one; while none is installed, or when it cannot be shown, a request for it counts
// as cancelled.
#include <optional>
#include <string>

// The edited text when the user accepted; nothing when cancelled or not shown. A nil
// caption keeps the dialog's own.
using TConnectionStringDialog = std::optional<std::string> (*)(const std::string& initial,
                                                                const char* caption);

// Nil removes the installed dialog.
void InstallConnectionStringDialog(TConnectionStringDialog dialog);
std::optional<std::string> ExecuteConnectionStringDialog(const std::string& initial,
                                                         const char* caption);
