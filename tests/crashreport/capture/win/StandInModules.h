#pragma once
// Loads the stand-in modules that the build puts beside the test program.
#include <windows.h>

#include <string>

#include "support/LoadedModule.h"

inline HMODULE LoadBesideProgram(const wchar_t* fileName)
{
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path);
    full = full.substr(0, full.find_last_of(L"\\/") + 1) + fileName;
    return LoadLibraryW(full.c_str());
}

// A stand-in module beside the program, loaded for one test.
class TStandInModule : public TLoadedModule {
public:
    explicit TStandInModule(const wchar_t* fileName) : TLoadedModule(LoadBesideProgram(fileName)) {}
};
