#pragma once
// The exception dialog of this process, by which window 0 is resolved.
#include <windows.h>

// The first top-level window of this process whose class is the dialog's; null when none.
HWND FindDialogWindow();
