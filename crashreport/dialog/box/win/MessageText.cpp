#include "dialog/box/win/MessageText.h"

#include "delivery/ReportTextOps.h"
#include "settings/FieldsList.h"
#include "settings/win/SettingPlaceholders.h"

namespace {

UnicodeString Expanded(TIZEException& exception, TExceptionPlaceholders values)
{
    const bool frozen = exception.GetExceptType() == TExceptType::Frozen;
    const UnicodeString text = frozen ? exception.Settings().FrozenMsg() : exception.Settings().ExceptMsg();
    TSettingPlaceholders placeholders(exception.Module(), std::move(values));
    return ExpandPlaceholders(text, placeholders);
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
    return Expanded(exception, {GetReportHeaderValue(report, "exception class"),
                                GetReportHeaderValue(report, "exception message"), u"%bugReport%",
                                GetReportSection(report, "error details")});
}
