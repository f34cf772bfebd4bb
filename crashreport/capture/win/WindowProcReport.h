#pragma once
// Window procedures of the library run their work through GuardWindowProc: what escapes it is
// reported as an exception of the application's message handling (the window as sender) and
// the message gets the given result, as nothing may unwind into the system's frames.
#include <windows.h>

// Reports the exception being handled (inside a catch); a window holding the mouse capture is
// told to cancel its mode first.
void ReportWindowProcException(HWND window) noexcept;

template <class Work>
LRESULT GuardWindowProc(HWND window, Work&& work, LRESULT failed = 0) noexcept
{
    try {
        return work();
    } catch (...) {
        ReportWindowProcException(window);
        return failed;
    }
}
