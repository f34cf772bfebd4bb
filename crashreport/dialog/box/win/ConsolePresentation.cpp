#include "dialog/box/win/ConsolePresentation.h"

#include <string_view>

#include "dialog/box/ExceptionPage.h"
#include "dialog/box/SafeText.h"
#include "dialog/box/win/MessageText.h"
#include "text/Utf.h"

namespace {

void WriteBytes(HANDLE output, std::string_view bytes)
{
    while (!bytes.empty()) {
        DWORD written = 0;
        if (!WriteFile(output, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) || !written)
            return;
        bytes.remove_prefix(written);
    }
}

// A console shows the characters as they are; a file or pipe gets them as UTF-8.
void WriteText(std::u16string_view text)
{
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (!output || output == INVALID_HANDLE_VALUE)
        return;
    DWORD mode = 0;
    if (!GetConsoleMode(output, &mode)) {
        WriteBytes(output, WideToUTF8(text));
        return;
    }
    while (!text.empty()) {
        DWORD written = 0;
        if (!WriteConsoleW(output, text.data(), static_cast<DWORD>(text.size()), &written, nullptr) || !written)
            return;
        text.remove_prefix(written);
    }
}

} // namespace

void WriteExceptionToConsole(TIZEException& exception)
{
    IZEModuleSettings& settings = exception.Settings();
    WriteText(SafeLine(ExceptionMessageText(exception)) + u"\r\n");
    if (!settings.AutoShowBugRep() && !settings.ShowBtnVis())
        return;
    settings.SetPlWaitBox(false);
    WriteText(u"\r\n");
    WriteText(SafeLines(exception.GetBugReport()) + u"\r\n");
}

void WriteExceptionPage(TIZEException& exception)
{
    const UnicodeString report = exception.GetBugReport();
    const TExceptionPageTexts texts =
        ExceptionPageTexts(exception.Settings(), ReportMessageText(exception, report), report);
    const HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
    if (output && output != INVALID_HANDLE_VALUE)
        WriteBytes(output, std::string(kHtmlContentType) + BuildExceptionPage(texts));
}
