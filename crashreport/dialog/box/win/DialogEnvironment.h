#pragma once
// What the exception dialog learns from the rest of the library at start-up: how the process
// presents exceptions, the details hot key, the main thread and its synchronisation hook, and
// the due test of the automatic restart and close.
#include <windows.h>

#include <cstdint>
#include <functional>

enum class TPresentation : uint8_t {
    // The exception box or the assistant.
    Windows,
    // A line (and the report) on standard output.
    Console,
    // A web page on standard output.
    Cgi,
};

struct TDialogEnvironment {
    TPresentation presentation = TPresentation::Windows;
    // Ctrl+Alt+ this virtual key asks for the report; 0 none.
    UINT detailsHotKey = 0;
    // Thread messages of this thread go to the synchronisation hook while a box runs on it.
    DWORD mainThreadId = 0;
    std::function<void(const MSG& message)> synchronize;
    // AutoRestart or AutoClose of that value is due now; unset: only 1 is.
    std::function<bool(int32_t value)> autoActionDue;
    // Opens the page the box's link names; unset: the shell's "open" verb.
    std::function<void(const wchar_t* address)> openLink;
    // Sounds the box's alarm; unset: the system's sound of that type.
    std::function<void(UINT type)> beep;
};

// The process-wide environment; set up before the first exception is shown.
TDialogEnvironment& DialogEnvironment();

// The value's due test through the installed one.
bool AutoActionDue(int32_t value);

// The sound through the installed one.
void SoundAlarm(UINT type);
