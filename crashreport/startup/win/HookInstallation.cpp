#include "HookInstallation.h"

#include "bitmap/win/ScreenCapture.h"
#include "capture/win/WindowProcReport.h"
#include "debuginfo/win/ProcessDebugInfo.h"
#include "delivery/win/DeliveryHooks.h"
#include "delivery/win/SendBugReportEx.h"
#include "dialog/box/win/DialogEnvironment.h"
#include "dialog/box/win/ShowException.h"
#include "dispatch/win/HostEnd.h"
#include "dispatch/win/LoaderLockProbe.h"
#include "dispatch/win/RequestEntry.h"
#include "dispatch/win/RequestHandler.h"
#include "handlers/win/FreezeWatchdog.h"
#include "handlers/win/MainThreadHandlers.h"
#include "model/win/HandlerExceptionView.h"
#include "report/win/ModelReportBuilder.h"
#include "startup/win/LibraryThreads.h"
#include "startup/win/ProcessPresentation.h"
#include "wizard/win/NVForm.h"

namespace {

bool FireList(TIZEException& exception, HWND window, THandlerKind kind, uint8_t action)
{
    THandlerExceptionView view{TIntfPtr<TIZEException>(&exception)};
    bool handled = false;
    FireHandlers(window, kind, action, handled, view);
    return handled;
}

// A form names any routine of its own by unit and function; a fault in a form is reported as one
// of the library's window procedures.
void GiveWizardItsCallbacks()
{
    SetWizardActionLookup([](std::u16string_view unitName, std::u16string_view functionName) {
        return reinterpret_cast<TNVActionProc>(FindOwnRoutine(unitName, functionName));
    });
    SetWizardExceptionHook(&ReportWindowProcException);
}

} // namespace

void InstallExceptionHooks()
{
    InstallReportBuilder([] { return LibraryThreadIds(); });
    TExceptionHooks& hooks = ExceptionHooks();
    hooks.fireExceptionHandlers = [](TIZEException& exception) {
        FireList(exception, nullptr, THandlerKind::Exception, 0);
    };
    hooks.fireActionHandlers = [](TIZEException& exception, HWND window, TUserAction action) {
        return FireList(exception, window, THandlerKind::Action, static_cast<uint8_t>(action));
    };
    hooks.endOfHandling = [](TIZEException& exception, bool) { FinishReport(exception, true); };
    hooks.restart = [](TIZEException&) { RestartApplication(u"", SaveExceptionHistory(), true); };
    hooks.close = [](TIZEException&) { CloseApplication(); };
    hooks.isLoaderLocked = &IsLoaderLocked;
    hooks.captureScreen = [](bool appOnly) { return CaptureScreen(appOnly); };
    InstallDelivery();
    DeliveryEnvironment().pauseWatchdog = [](bool pause) { FreezeWatchdog().MarkHandling(pause); };
    GiveWizardItsCallbacks();
    InstallExceptionDialog();
    SetUpPresentation();
    DialogEnvironment().autoActionDue = &AutoEndDue;
}

void RemoveExceptionHooks()
{
    SetWizardActionLookup(nullptr);
    SetWizardExceptionHook(nullptr);
    ExceptionHooks() = TExceptionHooks{};
}
