#include "model/win/DialogWindow.h"

#include <cwchar>

#include "model/win/ExceptionHooks.h"

namespace {

BOOL CALLBACK TakeDialogWindow(HWND window, LPARAM found)
{
    DWORD processId = 0;
    GetWindowThreadProcessId(window, &processId);
    wchar_t className[64] = {};
    if (processId != GetCurrentProcessId() || !GetClassNameW(window, className, 64) ||
        std::wcscmp(className, kExceptionDialogClass) != 0)
        return TRUE;
    *reinterpret_cast<HWND*>(found) = window;
    return FALSE;
}

} // namespace

HWND FindDialogWindow()
{
    HWND found = nullptr;
    EnumWindows(&TakeDialogWindow, reinterpret_cast<LPARAM>(&found));
    return found;
}
