#pragma once
// The message an exception is presented with: FrozenMsg for a freeze, else ExceptMsg, its
// exception placeholders filled from the exception object or from its finished report.
#include "model/win/ZelException.h"

UnicodeString ExceptionMessageText(TIZEException& exception);
// The report's "exception class", "exception message" and "error details" fill them.
UnicodeString ReportMessageText(TIZEException& exception, const UnicodeString& report);
