#pragma once
// A hidden message-only window of the creating thread that receives notifications sent to
// it, carrying one pointer-sized value for its window procedure.
#include <windows.h>

class TNotificationWindow {
public:
    // Registers the class (once per module) with `procedure` and creates the window.
    // Throws EConduvexError when the system refuses either.
    TNotificationWindow(const char* className, WNDPROC procedure, LONG_PTR userData);
    // Destroyed in place on the creating thread; from another thread the window only
    // loses its value and is told to close itself when its thread next reads messages.
    ~TNotificationWindow();
    TNotificationWindow(const TNotificationWindow&) = delete;
    TNotificationWindow& operator=(const TNotificationWindow&) = delete;

    HWND Handle() const { return window_; }
    // The system keeps a library's classes after the library is unloaded; a class left
    // behind would point a reloaded library's windows at code no longer there.
    static void ForgetClass(const char* className);
    static LONG_PTR UserDataOf(HWND window) { return GetWindowLongPtrA(window, GWLP_USERDATA); }

private:
    HWND window_ = nullptr;
};
