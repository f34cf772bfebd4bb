#include "binding/NotificationWindow.h"

#include "ConduvexError.h"

namespace {

// The module this code lives in (Iobrant.dll, or a test program).
HINSTANCE OwnModule()
{
    HMODULE module = nullptr;
    GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCSTR>(&OwnModule), &module);
    return module;
}

void RegisterOnce(const char* className, WNDPROC procedure)
{
    WNDCLASSEXA windowClass{};
    windowClass.cbSize = sizeof(windowClass);
    windowClass.lpfnWndProc = procedure;
    windowClass.hInstance = OwnModule();
    windowClass.lpszClassName = className;
    if (!RegisterClassExA(&windowClass) && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        throw EConduvexError(std::string("Can not register window class ") + className, kErrApi);
}

} // namespace

TNotificationWindow::TNotificationWindow(const char* className, WNDPROC procedure, LONG_PTR userData)
{
    RegisterOnce(className, procedure);
    window_ = CreateWindowExA(0, className, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, OwnModule(), nullptr);
    if (!window_)
        throw EConduvexError(std::string("Can not create window of class ") + className, kErrApi);
    SetWindowLongPtrA(window_, GWLP_USERDATA, userData);
}

TNotificationWindow::~TNotificationWindow()
{
    SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
    if (GetWindowThreadProcessId(window_, nullptr) == GetCurrentThreadId())
        DestroyWindow(window_);
    else
        PostMessageA(window_, WM_CLOSE, 0, 0);
}

void TNotificationWindow::ForgetClass(const char* className)
{
    ::UnregisterClassA(className, OwnModule());
}
