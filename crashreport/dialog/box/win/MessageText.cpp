#include "dialog/box/win/MessageText.h"

#include "delivery/ReportTextOps.h"
#include "settings/FieldsList.h"
#include "settings/win/SettingPlaceholders.h"

namespace {

UnicodeString Expanded(const UnicodeString& text, HMODULE module, TExceptionPlaceholders values)
{
    TSettingPlaceholders placeholders(module, std::move(values));
    return ExpandPlaceholders(text, placeholders);
}

UnicodeString Expanded(TIZEException& exception, TExceptionPlaceholders values)
{
    const bool frozen = exception.GetExceptType() == TExceptType::Frozen;
    const UnicodeString text = frozen ? exception.Settings().FrozenMsg() : exception.Settings().ExceptMsg();
    return Expanded(text, exception.Module(), std::move(values));
}

TExceptionPlaceholders ReportPlaceholders(const UnicodeString& report)
{
    return {GetReportHeaderValue(report, "exception class"), GetReportHeaderValue(report, "exception message"),
            u"%bugReport%", GetReportSection(report, "error details")};
}

} // namespace

UnicodeString ExceptionMessageText(TIZEException& exception)
{
    const auto fields = exception.Settings().Fields();
    return Expanded(exception, {exception.GetExceptClass(), exception.GetExceptMessage(), u"%bugReport%",
                                fields ? fields->Value(u"Error Details") : UnicodeString(u"%errorDetails%")});
}

UnicodeString ReportMessageText(TIZEException& exception, const UnicodeString& report)
{
    return Expanded(exception, ReportPlaceholders(report));
}

UnicodeString ReportMessageText(IZEModuleSettings& settings, HMODULE module, const UnicodeString& report)
{
    return Expanded(settings.ExceptMsg(), module, ReportPlaceholders(report));
}

TExceptionPageTexts ExceptionPageTexts(IZEModuleSettings& settings, UnicodeString message, UnicodeString report)
{
    TExceptionPageTexts texts;
    texts.report = std::move(report);
    texts.title = settings.TitleBar();
    texts.message = std::move(message);
    texts.continueCaption = settings.ContinueBtnTxt();
    texts.continueVisible = settings.ContinueBtnVis();
    texts.showCaption = settings.ShowBtnTxt();
    texts.showVisible = settings.ShowBtnVis();
    texts.autoShowReport = settings.AutoShowBugRep();
    return texts;
}
