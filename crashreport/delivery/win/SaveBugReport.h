#pragma once
// Saves a report into the bug-report file (or a file the user picks), by the file's rules:
// appended, duplicates counted, the oldest reports dropped when it grew too big.
#include <windows.h>

#include <functional>

#include "settings/SettingAccessors.h"
#include "text/ZelTypes.h"

struct TSaveHooks {
    // Whether the loader lock is held: no dialog then.
    std::function<bool()> loaderLocked;
    // The report is now in the configured file (an automatic save of it).
    std::function<void()> markSaved;
};

// An empty file name means the configured file when automatic, else the user's choice in a
// save dialog over `parent`. True when the report was written.
bool SaveBugReport(const UnicodeString& fileName, const UnicodeString& report, HWND parent, bool automatic,
                   IZESettings& settings, const TSaveHooks& hooks = {});

// "%userappdata%\<program>\<file>": where the bug-report file goes when the program's folder
// is closed to the user.
UnicodeString UserAppDataPath(const UnicodeString& bugRepFile);

// Creates the folder and every missing parent; a trailing "\" is ignored.
bool ForceFolders(const UnicodeString& folder);
