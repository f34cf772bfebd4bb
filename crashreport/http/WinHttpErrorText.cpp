#include "http/WinHttpErrorText.h"

#include <windows.h>
#include <winhttp.h>

#include "http/WinHttpApi.h"
#include "win32/SysErrorMessage.h"

namespace {

bool IsWinHttpCode(uint32_t code) { return code >= WINHTTP_ERROR_BASE && code <= WINHTTP_ERROR_LAST; }

class TLocalText {
public:
    ~TLocalText()
    {
        if (text)
            LocalFree(text);
    }
    char* text = nullptr;
};

// One line: the table's texts end in CR LF.
AnsiString FromWinHttpTable(uint32_t code)
{
    const HMODULE library = WinHttpApi().library;
    if (!library)
        return {};
    TLocalText buffer;
    const DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_HMODULE |
                                            FORMAT_MESSAGE_IGNORE_INSERTS,
                                        library, code, LANG_USER_DEFAULT, reinterpret_cast<LPSTR>(&buffer.text), 0,
                                        nullptr);
    AnsiString text = length != 0 && buffer.text ? AnsiString(buffer.text, length) : AnsiString();
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
        text.pop_back();
    return text;
}

} // namespace

AnsiString WinHttpErrorText(uint32_t code)
{
    AnsiString text = IsWinHttpCode(code) ? FromWinHttpTable(code) : AnsiString();
    return text.empty() ? SysErrorMessageA(code) : text;
}
