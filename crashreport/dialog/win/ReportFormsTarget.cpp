#include "dialog/win/ReportFormsTarget.h"

#include "dialog/win/ContactForm.h"
#include "dialog/win/ScreenshotForm.h"
#include "model/win/IZEException.h"
#include "wizard/win/NVAssistant.h"

void TExceptionFormsTarget::SetMailFrom(const UnicodeString& sender)
{
    exception_.Settings().SetMailFrom(sender);
}

TIntfPtr<INVBitmap> TExceptionFormsTarget::ScreenShot()
{
    return exception_.GetScreenShot();
}

void TExceptionFormsTarget::SetScreenShot(const TIntfPtr<INVBitmap>& bitmap)
{
    exception_.SetScreenShot(bitmap);
}

bool TExceptionFormsTarget::AttachScreenShot()
{
    return exception_.GetAppendScreenShot();
}

void TExceptionFormsTarget::SetAttachScreenShot(bool attach)
{
    exception_.SetAppendScreenShot(attach);
}

IReportFormsTarget* FormsTargetOf(const TNVForm& form)
{
    if (form.UserData())
        return static_cast<IReportFormsTarget*>(form.UserData());
    return form.Assistant() ? static_cast<IReportFormsTarget*>(form.Assistant()->UserData()) : nullptr;
}

void InstallReportFormHandlers()
{
    SetWizardFormHandlers(&HandleContactForm, &HandleScreenshotForm);
}
