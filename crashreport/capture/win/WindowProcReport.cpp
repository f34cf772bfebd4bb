#include "capture/win/WindowProcReport.h"

#include "capture/win/RaiseRecord.h"

void ReportWindowProcException(HWND window) noexcept
{
    try {
        if (const HWND captured = GetCapture())
            SendMessageW(captured, WM_CANCELMODE, 0, 0);
        TCaughtException caught = DescribeCurrentException(TCaptureSource::WindowProcedure, true);
        caught.firstExtra = reinterpret_cast<uintptr_t>(window);
        ReportCaught(caught);
    } catch (...) {
        // Reporting failed; the window procedure returns all the same.
    }
}
