// Presents one exception on standard output as a console or web-server program would:
// "presentation_writer console|console-quiet|cgi". The report and the message carry markup,
// console control sequences and non-ASCII text.
#include <cstring>

#include "dialog/box/win/DialogEnvironment.h"
#include "dialog/box/win/ShowException.h"
#include "settings/win/SharedSettings.h"
#include "settings/win/ZeSettings.h"

namespace {

class TFixedReportBuilder : public IZEReportBuilder {
public:
    void FillHeader(TIZEException&, TZelReportFields&) override {}
    void StartSections(TIZEException&, TZelReportFields&) override {}
    void WaitForReport(TIZEException& exception) override { exception.MarkComplete(); }
    UnicodeString AssembleText(const TReportFieldList&, const TReportFieldList&) override
    {
        return u"exception class   : EAccessViolation\r\n"
               u"exception message : </textarea><script>alert(\"x\")</script>\r\n"
               u"user name         : J\u00FCrgen \U0001F600 \x1B[2J & co\r\n";
    }
};

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || !OpenSettingsBuffer())
        return 2;
    const bool cgi = std::strcmp(argv[1], "cgi") == 0;
    const bool quiet = std::strcmp(argv[1], "console-quiet") == 0;
    TFixedReportBuilder builder;
    ExceptionHooks().builder = &builder;
    DialogEnvironment().presentation = cgi ? TPresentation::Cgi : TPresentation::Console;
    const TIntfPtr<TIZEException> exception = NewZelException(GetModuleSettings(nullptr), {});
    exception->SetCreateBugReport(true);
    exception->SetExceptMessage(u"Bad <b>pointer</b> \x1B[31mred");
    IZEModuleSettings& settings = exception->Settings();
    settings.SetTitleBar(u"Host & <Co>");
    settings.SetExceptMsg(u"Sorry!%LF%%exceptMsg%");
    settings.SetShowBtnVis(!quiet);
    ShowException(*exception);
    CloseSettingsBuffer();
    return 0;
}
