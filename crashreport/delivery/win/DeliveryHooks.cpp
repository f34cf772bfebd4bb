#include "delivery/win/DeliveryHooks.h"

#include "delivery/win/PrintBugReport.h"
#include "delivery/win/SaveBugReport.h"
#include "delivery/win/SendBugReportEx.h"
#include "model/win/ExceptionHooks.h"
#include "model/win/ZelException.h"

namespace {

bool LoaderLocked()
{
    const auto& probe = ExceptionHooks().isLoaderLocked;
    return probe && probe(250);
}

// Holds the exception while a background send runs.
class TExceptionTarget : public IDeliveryTarget {
public:
    explicit TExceptionTarget(TIZEException& exception) : exception_(&exception) {}
    IZESettings& Settings() override { return exception_->Settings(); }
    bool ReportSaved() override { return exception_->GetSaved(); }
    void MarkSent() override { exception_->SetSent(true); }

private:
    TIntfPtr<TIZEException> exception_;
};

} // namespace

bool SendExceptionReport(TIZEException& exception, const UnicodeString& report, const TIntfPtr<INVBitmap>& screenShot,
                         HWND window, bool automatic, HANDLE* ownedHandle)
{
    TSendRequest request;
    request.report = report;
    request.screenShot = screenShot;
    request.parent = window;
    request.automatic = automatic;
    request.background = exception.Settings().SendInBackgr();
    request.target = std::make_shared<TExceptionTarget>(exception);
    return SendBugReportEx(request, ownedHandle);
}

void InstallDelivery()
{
    TExceptionHooks& hooks = ExceptionHooks();
    hooks.send = [](TIZEException& exception, const UnicodeString& report, const TIntfPtr<INVBitmap>& screenShot,
                    HWND window, HANDLE* ownedHandle) {
        SendExceptionReport(exception, report, screenShot, window, false, ownedHandle);
    };
    hooks.save = [](TIZEException& exception, const UnicodeString& report, HWND window) {
        TSaveHooks save;
        save.loaderLocked = LoaderLocked;
        SaveBugReport(u"", report, window, false, exception.Settings(), save);
    };
    hooks.print = [](TIZEException& exception, const UnicodeString& report, HWND window) {
        PrintBugReport(report, window, exception.Settings(), LoaderLocked);
    };
}
