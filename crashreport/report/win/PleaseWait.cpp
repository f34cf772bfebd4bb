#include "PleaseWait.h"

#include "progress/win/IProgressAlert.h"

namespace {

std::wstring Wide(const UnicodeString& text)
{
    return std::wstring(text.begin(), text.end());
}

} // namespace

TPleaseWait::TPleaseWait(TIZEException& exception) : exception_(exception)
{
    IZEModuleSettings& settings = exception.Settings();
    if (!settings.PlWaitBox())
        return;
    TIntfPtr<IProgressAlert> alert = NewProgressAlert(Wide(settings.PlWaitTitle()), CrashLibraryModule(), L"ZEIPLWAIT");
    alert->AddArea(Wide(settings.PlWaitText()), 1);
    if (!alert->Show(nullptr, true))
        return;
    alert_ = alert;
    exception_.SetPleaseWaitAlert(alert_);
}

TPleaseWait::~TPleaseWait()
{
    if (!alert_)
        return;
    exception_.SetPleaseWaitAlert(nullptr);
    alert_->Close();
}

void TPleaseWait::Pump()
{
    if (alert_)
        alert_->ProcessMessages();
}

void TExceptionProgress::SetPosition(int position)
{
    if (const TIntfPtr<IProgressAlert> alert = exception_.PleaseWaitAlert())
        alert->SetPosition(position);
}
