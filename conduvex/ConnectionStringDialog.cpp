#include "ConnectionStringDialog.h"

namespace {

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
    if (!dialog)
        return std::nullopt;
    return dialog(initial, caption);
}
