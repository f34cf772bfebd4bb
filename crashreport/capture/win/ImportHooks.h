#pragma once
// Redirection of a system function through the import tables of loaded modules: every
// import-table entry that holds the function's address gets the replacement, and back.
#include <windows.h>

struct TImportHook {
    const char* moduleName;   // exporting module, e.g. "user32.dll"
    const char* functionName;
    const void* routine;      // the function as the library's code sees it (may be an import stub), or null
    const void* replacement;
    void* original = nullptr; // the function's export address, found by the first HookImport
};

// Whether the library lives in the host's main program (then hooks reach every module).
bool LibraryInMainProgram();

// Replaces the entries in every module of the process when allModules is set or the library
// lives in the main program, else only in the library's own image. False when the function is
// not exported.
bool HookImport(TImportHook& hook, bool allModules);
// Puts the original back wherever the replacement stands.
void UnhookImport(TImportHook& hook, bool allModules);

// Replaces one value by another in every import-table entry of the module; the count replaced.
// The walk ends at a descriptor without a name, or at one whose table lies outside the image
// (then damaged is set).
unsigned ReplaceImportEntries(HMODULE module, const void* from, const void* to, bool* damaged = nullptr);
