#pragma once
// File names and folders the crash engine works with, as UTF-16 text.
#include <windows.h>

#include "text/ZelTypes.h"

// The module's full file name (0: the main program).
UnicodeString GetModuleFileNameText(HMODULE module);
// The main program's name without folder and extension + ".zelExcept", inside the user's
// temporary folder, both created, with a trailing "\"; empty without a temporary folder.
UnicodeString GetLibraryTempFolder();
// Deletes the files of that folder, then the folder.
void EmptyLibraryTempFolder();
UnicodeString GetComputerNameText();
// A shell folder of the current user (CSIDL number); the main program's folder when it has no
// path. With or without a trailing "\" as asked.
UnicodeString GetSpecialFolder(int folderId, bool trailingBackslash);
// A path made absolute against the main program's folder.
UnicodeString ExpandProgramPathText(const UnicodeString& path);
