// A console program carrying the crash library: a C++ exception escapes one of the library's
// threads and the library presents it. Argument "report" also asks for the report, "close"
// closes the program after the exception. Exit code 0 when the thread ended and no window of
// this process was ever visible meanwhile, 6 as soon as one is, 5 when the thread never ended.
#include <windows.h>

#include <stdexcept>
#include <string>

#include "capture/win/LibraryThread.h"
#include "settings/win/ZeSettings.h"
#include "startup/win/CrashLibrary.h"

namespace {

constexpr DWORD kWaitMs = 20000;
constexpr DWORD kWindowPollMs = 10;

bool windowSeen = false;

BOOL CALLBACK NoteVisibleWindow(HWND window, LPARAM)
{
    DWORD process = 0;
    GetWindowThreadProcessId(window, &process);
    if (process == GetCurrentProcessId() && IsWindowVisible(window))
        windowSeen = true;
    return TRUE;
}

DWORD ThrowingWork(void*)
{
    throw std::runtime_error("escaped from a console host");
}

} // namespace

int main(int argc, char** argv)
{
    const std::string command = argc > 1 ? argv[1] : "";
    if (StartCrashLibrary() != TLibraryState::Active)
        return 3;
    const TSettingsRef own = GetModuleSettings(GetModuleHandleW(nullptr));
    own->SetGnShowCfg(0);
    own->SetPlWaitBox(false);
    own->SetSettingBool("AutoSave", false);
    own->SetSettingBool("ShowBtnVis", false);
    own->SetSettingBool("AutoShowBugRep", command == "report");
    own->SetSettingInt("AutoClose", command == "close" ? 1 : 0);
    const HANDLE thread = StartLibraryThread(&ThrowingWork, nullptr, 0, nullptr);
    if (!thread)
        return 4;
    // A dialog would wait for a click: the poll sees it and ends the program at once.
    DWORD waited = 0;
    while (WaitForSingleObject(thread, kWindowPollMs) == WAIT_TIMEOUT && waited < kWaitMs) {
        EnumWindows(&NoteVisibleWindow, 0);
        // No orderly end while a dialog runs on the handling thread.
        if (windowSeen)
            TerminateProcess(GetCurrentProcess(), 6);
        waited += kWindowPollMs;
    }
    const bool ended = WaitForSingleObject(thread, 0) == WAIT_OBJECT_0;
    CloseHandle(thread);
    StopCrashLibrary();
    return ended ? 0 : 5;
}
