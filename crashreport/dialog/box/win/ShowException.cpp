#include "dialog/box/win/ShowException.h"

#include "dialog/box/win/ConsolePresentation.h"
#include "dialog/box/win/DialogEnvironment.h"
#include "dialog/box/win/ExceptionAssistant.h"
#include "dialog/box/win/ExceptionBox.h"
#include "dialog/win/ReportFormsTarget.h"

namespace {

enum class TShowSetting : uint8_t { Box = 0, Assistant = 1, SimpleWithDetails = 2, Simple = 3 };

} // namespace

void RunExceptionBox(TIZEException& exception, TBoxKind kind)
{
    bool reopened = false;
    for (;;) {
        TExceptionBox box(exception, kind, reopened);
        if (!box.Run())
            return;
        IZEModuleSettings& settings = exception.Settings();
        settings.SetAutoShowBugRep(true);
        settings.SetAutoContinue(false);
        settings.SetAutoRestart(0);
        settings.SetAutoClose(0);
        kind = TBoxKind::Full;
        reopened = true;
    }
}

void ShowException(TIZEException& exception)
{
    switch (DialogEnvironment().presentation) {
    case TPresentation::Console:
        WriteExceptionToConsole(exception);
        return;
    case TPresentation::Cgi:
        WriteExceptionPage(exception);
        return;
    case TPresentation::Windows:
        break;
    }
    switch (static_cast<TShowSetting>(exception.GetShowSetting())) {
    case TShowSetting::Assistant:
        if (!RunExceptionAssistant(exception))
            RunExceptionBox(exception, TBoxKind::Full);
        return;
    case TShowSetting::SimpleWithDetails:
        RunExceptionBox(exception, TBoxKind::SimpleWithDetails);
        return;
    case TShowSetting::Simple:
        RunExceptionBox(exception, TBoxKind::Simple);
        return;
    case TShowSetting::Box:
        break;
    }
    RunExceptionBox(exception, TBoxKind::Full);
}

void InstallExceptionDialog()
{
    InstallReportFormHandlers();
    TExceptionHooks& hooks = ExceptionHooks();
    hooks.show = [](TIZEException& exception) { ShowException(exception); };
    hooks.runAssistant = [](TIZEException& exception, uint8_t action, void* owner) {
        return RunActionAssistant(exception, action, static_cast<HWND>(owner));
    };
}
