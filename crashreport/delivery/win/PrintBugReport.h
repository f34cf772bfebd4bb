#pragma once
// Prints a report on the printer the user picks: Courier New 8 point, each line word-wrapped
// within the margins, new pages as needed.
#include <windows.h>

#include <functional>

#include "settings/SettingAccessors.h"
#include "text/ZelTypes.h"

// Beeps instead of showing the print dialog while the loader lock is held.
void PrintBugReport(const UnicodeString& report, HWND owner, IZESettings& settings,
                    const std::function<bool()>& loaderLocked = {});

// The document on that printer's device context; false when the printer refused it.
bool PrintReportOn(HDC printer, const UnicodeString& report, const UnicodeString& documentName);
