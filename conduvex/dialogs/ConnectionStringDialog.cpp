#include "dialogs/ConnectionStringDialog.h"

#include "dialogs/ConnStrDlg.h"

namespace {

std::optional<std::string> RunConnStrDialog(const std::string& initial, const char* caption)
{
    std::string text = initial;
    if (!ShowConnStrDialog(caption, text))
        return std::nullopt;
    return text;
}

TConnectionStringDialog& Installed()
{
    static TConnectionStringDialog dialog = nullptr;
    return dialog;
}

} // namespace

void InstallConnectionStringDialog(TConnectionStringDialog dialog)
{
    Installed() = dialog;
}

std::optional<std::string> ExecuteConnectionStringDialog(const std::string& initial,
                                                         const char* caption)
{
    const TConnectionStringDialog dialog = Installed();
    return dialog ? dialog(initial, caption) : RunConnStrDialog(initial, caption);
}
