#pragma once
// The message an exception is presented with: FrozenMsg for a freeze, else ExceptMsg, its
// exception placeholders filled from the exception object or from its finished report.
#include "dialog/box/ExceptionPage.h"
#include "model/win/ZelException.h"

UnicodeString ExceptionMessageText(TIZEException& exception);
// The report's "exception class", "exception message" and "error details" fill them.
UnicodeString ReportMessageText(TIZEException& exception, const UnicodeString& report);
// The same for a report without its exception object: ExceptMsg of these settings of the module.
UnicodeString ReportMessageText(IZEModuleSettings& settings, HMODULE module, const UnicodeString& report);

// What the exception page shows of a finished report under these settings.
TExceptionPageTexts ExceptionPageTexts(IZEModuleSettings& settings, UnicodeString message, UnicodeString report);
